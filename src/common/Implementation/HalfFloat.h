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

// Pixels of four 8-bit channels, r g b a at the memory slots order[0..3], into RGBA halves of
// value / 255 (the product with 1/255 in float, rounded to half in the given mode).
void BytesToHalves(const uint8_t* in, uint16_t* out, size_t pixels, const int order[4],
                   HalfRounding rounding);
// RGBA halves into pixels of four 8-bit channels: each clamped to [0, 1] (NaN to 0), times 255,
// rounded to nearest even, stored at its slot of order.
void HalvesToBytes(const uint16_t* in, uint8_t* out, size_t pixels, const int order[4]);

} // namespace OGL_TESK_AE
