#include "common/Shared.h"

#include "common/OpaqueBuffer.h"

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

// Idle image blocks are not kept between calls: a plug-in may go a long time before the next.
Shared::~Shared() { OpaqueBuffer::FinalizePool(); }

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
    static_cast<Shared*>(task)->Run();
    return true;
}

bool Shared::ThreadQueue() {
    return EnsureWorker()->Execute(ThreadTask, this);
}

} // namespace OGL_TESK_AE
