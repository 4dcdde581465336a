#pragma once

#include "platform/WaitResult.h"

#include <condition_variable>
#include <mutex>

namespace TESK_AE {
namespace platform {

// A Win32-style event: auto-reset events release one waiter and clear themselves; manual-reset
// events stay signalled until reset.
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
    std::mutex fGuard;
    std::condition_variable fChanged;
    const bool fManualReset;
    bool fSignalled;
};

} // namespace platform
} // namespace TESK_AE
