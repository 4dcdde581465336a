#include "platform/Event.h"

#include <chrono>
#include <thread>

namespace TESK_AE {
namespace platform {

namespace {

// Long enough to cover a hand-over and a short task, short enough not to matter when the
// answer takes longer and the waiter goes to sleep after all.
constexpr auto kSpin = std::chrono::microseconds(40);

inline void Relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
}

} // namespace

bool Event::Consume() {
    if (!fSignalled.load(std::memory_order_relaxed)) return false;
    if (!fManualReset) fSignalled.store(false, std::memory_order_relaxed);
    return true;
}

WaitResult Event::Wait(uint32_t milliseconds) {
    if (milliseconds > 0 && !fSignalled.load(std::memory_order_acquire)) {
        const auto until = std::chrono::steady_clock::now() + kSpin;
        do {
            for (int i = 0; i < 64 && !fSignalled.load(std::memory_order_acquire); ++i) Relax();
        } while (!fSignalled.load(std::memory_order_acquire) &&
                 std::chrono::steady_clock::now() < until);
    }
    std::unique_lock<std::mutex> lock(fGuard);
    if (Consume()) return WaitResult::Signalled;
    // A zero time-out is a poll: no trip into the kernel for a wait that cannot succeed.
    if (milliseconds == 0) return WaitResult::Timeout;
    if (!fChanged.wait_for(lock, std::chrono::milliseconds(milliseconds),
                           [this] { return fSignalled.load(std::memory_order_relaxed); }))
        return WaitResult::Timeout;
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
