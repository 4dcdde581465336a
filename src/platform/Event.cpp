#include "platform/Event.h"

#include <chrono>

namespace TESK_AE {
namespace platform {

WaitResult Event::Wait(uint32_t milliseconds) {
    std::unique_lock<std::mutex> lock(fGuard);
    if (!fChanged.wait_for(lock, std::chrono::milliseconds(milliseconds),
                           [this] { return fSignalled; }))
        return WaitResult::Timeout;
    if (!fManualReset) fSignalled = false;
    return WaitResult::Signalled;
}

void Event::Set() {
    {
        std::lock_guard<std::mutex> lock(fGuard);
        fSignalled = true;
    }
    if (fManualReset)
        fChanged.notify_all();
    else
        fChanged.notify_one();
}

void Event::Reset() {
    std::lock_guard<std::mutex> lock(fGuard);
    fSignalled = false;
}

} // namespace platform
} // namespace TESK_AE
