#pragma once

#include "platform/Spin.h"
#include "platform/WaitResult.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace TESK_AE {
namespace platform {

// A Win32-style event: auto-reset events release one waiter and clear themselves; manual-reset
// events stay signalled until reset.
//
// A waiter with time to wait watches the event briefly before it sleeps (see Spin): the worker
// and its callers hand each other short tasks, and a sleep's wake-up would cost more than most of
// them.
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

    Spin fSpin;
    std::mutex fGuard;
    std::condition_variable fChanged;
    const bool fManualReset;
    // Written under fGuard; watched without it while a waiter spins.
    std::atomic<bool> fSignalled;
};

} // namespace platform
} // namespace TESK_AE
