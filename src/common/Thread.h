#pragma once

#include "common/Export.h"
#include "common/Sync.h"

#include <string>

namespace OGL_TESK_AE {

class WorkerBackend;

// The one worker thread that owns the offscreen context. Callers from other threads hand it a
// task and block until it has run; calls made on the worker itself run in place.
class TESK_API Thread : public TESK_AE::XSyncThread {
public:
    Thread();
    ~Thread() override;

    bool Process() override;
    bool Execute(bool (*task)(void*), void* data);
    // Asks the worker to end and waits until it has.
    void Finalize();
    // The text of the calling thread's last failed task (or of the worker's last task, for
    // threads that never handed one over).
    const char* ErrorMessage() const;

    // Replaces the graphics back-end (null restores the default). Only while no worker runs.
    static void SetBackend(WorkerBackend* backend);
    static WorkerBackend& Backend();

private:
    void ThreadExecute();
    void SetError(const char* text);

    TESK_AE::XSyncMutex fLock;
    TESK_AE::XSyncEvent fStart;
    TESK_AE::XSyncEvent fDone;
    TESK_AE::XSyncEvent fQuit;
    bool (*fTask)(void*) = nullptr;
    void* fData = nullptr;
    bool fResult = false;
    const char* fError = "Unknown error.";
    // The worker keeps its own copy of exception texts: an exception's buffer may be reused.
    std::string fErrorCopy;
    // Set by a worker that is ending on its own (context failure) before it signals done.
    bool fEnding = false;
};

TESK_API extern Thread* sThread;

} // namespace OGL_TESK_AE

TESK_API extern bool gBlockAllEventsNotNeededForNestedRender;
