#include "common/Shared.h"

#include "common/OpaqueBuffer.h"

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

// Idle image blocks are not kept between calls: a plug-in may go a long time before the next.
Shared::~Shared() { OpaqueBuffer::FinalizePool(); }

bool Shared::IsThread() { return sThread && sThread->IsThread(); }

const char* Shared::ErrorMessage() { return sThread ? sThread->ErrorMessage() : "Unknown"; }

bool Shared::ThreadTask(void* task) {
    if (!task) return false;
    static_cast<Shared*>(task)->Run();
    return true;
}

bool Shared::ThreadQueue() { return EnsureWorker()->Execute(ThreadTask, this); }

} // namespace OGL_TESK_AE
