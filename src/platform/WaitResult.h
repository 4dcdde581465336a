#pragma once

#include <cstdint>

namespace TESK_AE {
namespace platform {

// The outcome of waiting on a kernel object, as the Win32 wait functions report it.
enum class WaitResult { Signalled, Timeout, Failed };

// A waitable kernel object (mutex or event) behind an opaque handle.
class KernelObject {
public:
    virtual ~KernelObject() = default;
    virtual WaitResult Wait(uint32_t milliseconds) = 0;
};

} // namespace platform
} // namespace TESK_AE
