#pragma once

#include <atomic>
#include <cstdint>

namespace TESK_AE {
namespace platform {

// Watches for a signal that another thread is about to give, for a bounded few microseconds,
// before the caller goes to sleep on it.
//
// A sleeping wait costs a wake-up of 20 to 25 us on these machines, and a hand-over to the
// worker and back is two of them; watching answers within a microsecond. But a watcher that
// keeps watching while the other side does real work takes a core that llvmpipe's rasteriser
// threads need. So the watch gives the core away between looks, and learns how long to watch
// from how long the waits took: twice the last answer's delay while answers come within
// kLongestNs, and half the last watch (down to kShortestNs) after a wait that took longer. A
// stream of long tasks then costs a short look each, and a stream of short ones is answered at
// once.
class Spin {
public:
    static constexpr uint32_t kShortestNs = 500;
    static constexpr uint32_t kLongestNs = 40000;

    static uint64_t NowNs();

    // Watches from `startNs` until `ready()` is true or the watch is over; true when it became
    // ready.
    template <class Ready> bool Until(Ready ready, uint64_t startNs) {
        const uint64_t budget = fBudgetNs.load(std::memory_order_relaxed);
        for (uint32_t looks = 1;; ++looks) {
            if (ready()) return true;
            if (NowNs() - startNs >= budget) return false;
            Pause(looks);
        }
    }

    // What the whole wait took, watching and sleeping: the next watch's length follows it.
    void Learn(uint64_t waitedNs);

private:
    // A processor pause for the first looks, a yield of the core after them.
    static void Pause(uint32_t looks);

    std::atomic<uint32_t> fBudgetNs{kLongestNs};
};

} // namespace platform
} // namespace TESK_AE
