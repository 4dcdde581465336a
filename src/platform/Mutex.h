#pragma once

#include "platform/WaitResult.h"

#include <condition_variable>
#include <mutex>

namespace TESK_AE {
namespace platform {

// A mutex with the semantics of a Win32 mutex object: the owning thread may take it again
// (each take needs a release), other threads wait with a time-out, and only the owner can
// release it.
class Mutex final : public KernelObject {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    WaitResult Wait(uint32_t milliseconds) override;
    // False when the calling thread does not own the mutex.
    bool Release();

private:
    std::mutex fGuard;
    std::condition_variable fFree;
    uint32_t fOwner = 0;
    uint32_t fCount = 0;
};

} // namespace platform
} // namespace TESK_AE
