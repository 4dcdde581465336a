#include "common/Shared.h"

#include "platform/Mutex.h"

namespace OGL_TESK_AE {

namespace {
TESK_AE::platform::Mutex sCreation;
}

Thread* EnsureWorker() {
    if (sThread) return sThread;
    sCreation.Wait(0x7FFFFFFF);
    if (!sThread) sThread = new Thread();
    sCreation.Release();
    return sThread;
}

Shared::~Shared() {}

bool Shared::IsThread() {
    return sThread && sThread->IsThread();
}

const char* Shared::ErrorMessage() {
    return sThread ? sThread->ErrorMessage() : "Unknown";
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
