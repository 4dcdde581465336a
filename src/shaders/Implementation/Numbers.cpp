#include "shaders/Implementation/Numbers.h"

#include "common/Errors.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace OGL_TESK_AE {
namespace shadertext {

namespace {

// Errors keep a pointer to their text; parse errors are made on the worker thread only.
char sErrorText[4096];

} // namespace

int32_t ReadInt(const char* text) {
    if (!text) return 0;
    const long long value = std::strtoll(text, nullptr, 10);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long long>(value)));
}

float ReadFloat(const char* text) {
    float value = 0.0f;
    if (!text || std::sscanf(text, "%f", &value) != 1) return 0.0f;
    return value;
}

int32_t Truncate(float value) {
    if (!(value == value)) return 0;
    if (value >= 2147483647.0f) return INT32_MAX;
    if (value <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(value);
}

void Fail(const std::string& text) {
    const size_t n = text.size() < sizeof sErrorText - 1 ? text.size() : sizeof sErrorText - 1;
    std::memcpy(sErrorText, text.data(), n);
    sErrorText[n] = '\0';
    throw Error(sErrorText);
}

} // namespace shadertext
} // namespace OGL_TESK_AE
