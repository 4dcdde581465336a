#include "common/Thread.h"

#include "common/Implementation/WorkerBackend.h"

#include <exception>

bool gBlockAllEventsNotNeededForNestedRender = false;

namespace OGL_TESK_AE {

Thread* sThread = nullptr;

namespace {

constexpr int32_t kPollMilliseconds = 4;
constexpr int32_t kForever = 0x7FFFFFFF;

WorkerBackend* sBackend = nullptr;

// Each host thread keeps the text of its own last failure, so that a caller reads its own
// error even when another caller's task has run since.
thread_local std::string tLastError;
thread_local bool tHasLastError = false;

} // namespace

WorkerBackend::~WorkerBackend() = default;

void Thread::SetBackend(WorkerBackend* backend) {
    sBackend = backend;
}

WorkerBackend& Thread::Backend() {
    return sBackend ? *sBackend : DefaultWorkerBackend();
}

Thread::Thread() {
    fStart.ResetEvent();
    fDone.ResetEvent();
    fQuit.ResetEvent();
}

Thread::~Thread() {
    Finalize();
    JoinThread();
}

void Thread::SetError(const char* text) {
    fErrorCopy = text ? text : "";
    fError = fErrorCopy.c_str();
}

const char* Thread::ErrorMessage() const {
    if (IsThread()) return fError;
    // A host thread reads its own last failure; one that has handed the worker nothing yet has
    // none. The worker's own text belongs to whichever caller it is serving, and reading it here
    // would race with that task writing it.
    return tHasLastError ? tLastError.c_str() : "Unknown error.";
}

bool Thread::Execute(bool (*task)(void*), void* data) {
    if (IsThread()) {
        fResult = task ? task(data) : false;
        return fResult;
    }
    TESK_AE::StLock lock(fLock, kForever);
    // Everything the worker reads is in place before it can start: a worker that fails to make
    // its context writes the result fields right away.
    fTask = task;
    fData = data;
    fResult = false;
    fDone.ResetEvent();
    // A worker that failed to make its context never took the start signal of the call that
    // started it. Left set, a fresh worker would run this task at that stale signal and then
    // once more at this call's own, with no task, overwriting the result and the error text.
    fStart.ResetEvent();
    if (!IsRunning()) {
        fEnding = false;
        StartThread();
    }
    fStart.SetEvent();
    for (;;) {
        if (fDone.WaitForEvent(kPollMilliseconds)) break;
        if (!IsRunning()) break;
    }
    fDone.ResetEvent();
    // A worker that failed to make its context is on its way out: wait for it, so that the
    // next caller starts a fresh one instead of handing a task to a thread that is leaving.
    if (fEnding) JoinThread();
    const bool result = fResult;
    tLastError = fError;
    tHasLastError = true;
    return result;
}

bool Thread::Process() {
    WorkerBackend& backend = Backend();
    bool started = false;
    try {
        started = backend.Start();
    } catch (...) {
        started = false;
    }
    if (started) {
        for (;;) {
            if (fQuit.WaitForEvent(0)) break;
            if (fStart.WaitForEvent(kPollMilliseconds)) {
                ThreadExecute();
                fStart.ResetEvent();
                fDone.SetEvent();
            }
        }
    } else {
        fError = "OpenGL context failure.";
        fResult = false;
        fEnding = true;
    }
    try {
        backend.Stop();
    } catch (...) {
    }
    fDone.SetEvent();
    return false;
}

void Thread::ThreadExecute() {
    fResult = false;
    fError = "Unknown error.";
    if (!fTask) {
        fError = "Internal error: missing function.";
        return;
    }
    if (!fData) {
        fError = "Internal error: missing data.";
        return;
    }
    bool (*task)(void*) = fTask;
    void* data = fData;
    fTask = nullptr;
    fData = nullptr;
    try {
        fResult = Backend().Run(task, data);
    } catch (const std::exception& e) {
        SetError(e.what());
        fResult = false;
    } catch (...) {
        fError = "Unknown error.";
        fResult = false;
    }
}

void Thread::Finalize() {
    if (!IsRunning()) return;
    if (IsThread()) {
        // The worker cannot wait for itself; it leaves its loop at the next poll.
        fQuit.SetEvent();
        return;
    }
    fDone.ResetEvent();
    fQuit.SetEvent();
    while (!fDone.WaitForEvent(kPollMilliseconds) && IsRunning()) {
    }
    fDone.ResetEvent();
    JoinThread();
    fQuit.ResetEvent();
}

} // namespace OGL_TESK_AE
