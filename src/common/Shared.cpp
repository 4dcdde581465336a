#include "common/Shared.h"

#include "common/OpaqueBuffer.h"
#include "common/Implementation/Prologue.h"

#include "platform/Mutex.h"

namespace OGL_TESK_AE {

namespace {
TESK_AE::platform::Mutex sCreation;
}

// sThread is an exported plain pointer that dispatchers read without a lock; atomic loads and
// stores on it keep that read well defined while a first caller creates the worker.
Thread* CurrentWorker() {
    return __atomic_load_n(&sThread, __ATOMIC_ACQUIRE);
}

Thread* EnsureWorker() {
    if (Thread* worker = CurrentWorker()) return worker;
    sCreation.Wait(0x7FFFFFFF);
    Thread* worker = CurrentWorker();
    if (!worker) {
        worker = new Thread();
        __atomic_store_n(&sThread, worker, __ATOMIC_RELEASE);
    }
    sCreation.Release();
    return worker;
}

Shared::~Shared() {}

bool Shared::IsThread() {
    Thread* worker = CurrentWorker();
    return worker && worker->IsThread();
}

const char* Shared::ErrorMessage() {
    Thread* worker = CurrentWorker();
    return worker ? worker->ErrorMessage() : "Unknown";
}

bool Shared::ThreadTask(void* task) {
    if (!task) return false;
    // Idle image blocks are not kept between calls: a plug-in may go a long time before the
    // next. They are freed here, on the worker, once the task is done (also when it threw):
    // the memory cache is the worker's alone, and freeing it from the caller's thread as the
    // task object dies would race with the next caller's task.
    struct PoolRelease {
        ~PoolRelease() { OpaqueBuffer::FinalizePool(); }
    } release;
    static_cast<Shared*>(task)->Run();
    return true;
}

bool Shared::ThreadQueue() {
    if (EnsureWorker()->Execute(ThreadTask, this)) return true;
    // The operation that handed this task over stopped on the worker: its reason is the text
    // the worker left for this thread.
    Refuse(ErrorMessage());
    return false;
}

} // namespace OGL_TESK_AE
