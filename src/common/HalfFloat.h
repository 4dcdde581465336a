#pragma once

#include <cstddef>
#include <cstdint>

namespace OGL_TESK_AE {

// IEEE half-precision conversions for moving pixels between host float images and half-float
// textures on the CPU. Drivers without a fast path for that pair convert one value at a time;
// these use the processor's conversion instructions where it has them.
//
// Float to half rounds as IEEE arithmetic does in the chosen mode: to nearest, ties to even
// (finite values from 65520 up become infinity), or toward zero (finite values beyond the
// largest half become 65504). Infinities stay infinite and NaN stays NaN. Half to float is
// exact.
enum class HalfRounding { ToNearestEven, TowardZero };

uint16_t FloatToHalf(float value, HalfRounding rounding = HalfRounding::ToNearestEven);
float HalfToFloat(uint16_t value);

void FloatsToHalves(const float* in, uint16_t* out, size_t count,
                    HalfRounding rounding = HalfRounding::ToNearestEven);
// clampToUnit: results limited to [0, 1], NaN becoming 0.
void HalvesToFloats(const uint16_t* in, float* out, size_t count, bool clampToUnit);
// The float-to-float counterpart, for float textures.
void CopyFloats(const float* in, float* out, size_t count, bool clampToUnit);

} // namespace OGL_TESK_AE
