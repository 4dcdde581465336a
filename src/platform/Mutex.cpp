#include "platform/Mutex.h"

#include "platform/Threads.h"

#include <chrono>

namespace TESK_AE {
namespace platform {

WaitResult Mutex::Wait(uint32_t milliseconds) {
    const uint32_t self = CurrentThreadId();
    std::unique_lock<std::mutex> lock(fGuard);
    if (fCount > 0 && fOwner == self) {
        ++fCount;
        return WaitResult::Signalled;
    }
    const auto isFree = [this] { return fCount == 0; };
    if (!fFree.wait_for(lock, std::chrono::milliseconds(milliseconds), isFree))
        return WaitResult::Timeout;
    fOwner = self;
    fCount = 1;
    return WaitResult::Signalled;
}

bool Mutex::Release() {
    std::lock_guard<std::mutex> lock(fGuard);
    if (fCount == 0 || fOwner != CurrentThreadId()) return false;
    if (--fCount == 0) {
        fOwner = 0;
        fFree.notify_one();
    }
    return true;
}

} // namespace platform
} // namespace TESK_AE
