#include "platform/Spin.h"

#include <sched.h>
#include <time.h>

namespace TESK_AE {
namespace platform {

uint64_t Spin::NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

void Spin::Pause(uint32_t looks) {
    // An answer usually comes within the first microsecond; after that the looks leave the core
    // to any thread that has work for it.
    if (looks < 64) {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#elif defined(__aarch64__)
        asm volatile("yield");
#endif
    } else {
        sched_yield();
    }
}

void Spin::Learn(uint64_t waitedNs) {
    const uint32_t budget = fBudgetNs.load(std::memory_order_relaxed);
    uint32_t next;
    if (waitedNs <= kLongestNs)
        next = waitedNs * 2 < kShortestNs
                   ? kShortestNs
                   : (waitedNs * 2 > kLongestNs ? kLongestNs : static_cast<uint32_t>(waitedNs * 2));
    else
        next = budget / 2 < kShortestNs ? kShortestNs : budget / 2;
    fBudgetNs.store(next, std::memory_order_relaxed);
}

} // namespace platform
} // namespace TESK_AE
