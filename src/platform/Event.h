#pragma once

#include "platform/WaitResult.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace TESK_AE {
namespace platform {

// A Win32-style event: auto-reset events release one waiter and clear themselves; manual-reset
// events stay signalled until reset.
//
// A waiter first watches the event for a few microseconds before it sleeps: the worker's
// hand-overs are mostly short, and a thread that never went to sleep answers far sooner than
// one the scheduler has to wake.
class Event final : public KernelObject {
public:
    explicit Event(bool manualReset, bool initiallySignalled = false)
        : fManualReset(manualReset), fSignalled(initiallySignalled) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    WaitResult Wait(uint32_t milliseconds) override;
    void Set();
    void Reset();

private:
    bool Consume(); // takes the signal (auto-reset) if it is there; fGuard held

    std::mutex fGuard;
    std::condition_variable fChanged;
    const bool fManualReset;
    // Written under fGuard; read without it only to decide whether to stop spinning.
    std::atomic<bool> fSignalled;
};

} // namespace platform
} // namespace TESK_AE
