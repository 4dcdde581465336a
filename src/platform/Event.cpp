#include "platform/Event.h"

#include <chrono>

namespace TESK_AE {
namespace platform {

bool Event::Consume() {
    if (!fSignalled.load(std::memory_order_relaxed)) return false;
    if (!fManualReset) fSignalled.store(false, std::memory_order_relaxed);
    return true;
}

WaitResult Event::Wait(uint32_t milliseconds) {
    const uint64_t start = milliseconds != 0 ? Spin::NowNs() : 0;
    if (milliseconds != 0)
        fSpin.Until([this] { return fSignalled.load(std::memory_order_acquire); }, start);
    std::unique_lock<std::mutex> lock(fGuard);
    if (Consume()) {
        if (milliseconds != 0) fSpin.Learn(Spin::NowNs() - start);
        return WaitResult::Signalled;
    }
    // A zero time-out is a poll: no trip into the kernel for a wait that cannot succeed.
    if (milliseconds == 0) return WaitResult::Timeout;
    const bool signalled = fChanged.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] {
        return fSignalled.load(std::memory_order_relaxed);
    });
    fSpin.Learn(signalled ? Spin::NowNs() - start : UINT64_MAX);
    if (!signalled) return WaitResult::Timeout;
    Consume();
    return WaitResult::Signalled;
}

void Event::Set() {
    {
        std::lock_guard<std::mutex> lock(fGuard);
        fSignalled.store(true, std::memory_order_release);
    }
    if (fManualReset)
        fChanged.notify_all();
    else
        fChanged.notify_one();
}

void Event::Reset() {
    std::lock_guard<std::mutex> lock(fGuard);
    fSignalled.store(false, std::memory_order_relaxed);
}

} // namespace platform
} // namespace TESK_AE
