#pragma once

#include <cstdint>
#include <string>

namespace OGL_TESK_AE {
namespace shadertext {

// Numbers as C's atoi and "%d" read them (leading blanks, sign, digits; 0 when unreadable),
// without the undefined behaviour of an overflow: the value wraps to 32 bits.
int32_t ReadInt(const char* text);
// As "%f"; 0 when unreadable.
float ReadFloat(const char* text);
// Toward zero, saturated to the int32 range; NaN gives 0.
int32_t Truncate(float value);

// Throws Error with text, kept in a buffer that the next such error overwrites.
[[noreturn]] void Fail(const std::string& text);

} // namespace shadertext
} // namespace OGL_TESK_AE
