#include "common/Implementation/HalfFloat.h"

#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TESK_HAVE_F16C_PATH 1
#endif

namespace OGL_TESK_AE {

namespace {

uint32_t Bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float FromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// To nearest, ties to even, whatever rounding mode the thread is in.
float RoundToEven(float value) {
    const float down = std::floor(value), fraction = value - down;
    const bool up = fraction > 0.5f || (fraction == 0.5f && std::fmod(down, 2.0f) != 0.0f);
    return up ? down + 1.0f : down;
}

float ClampToUnit(float value) {
    // Written so that NaN fails both tests and becomes 0.
    return value > 0.0f ? (value < 1.0f ? value : 1.0f) : 0.0f;
}

#if TESK_HAVE_F16C_PATH
bool HasF16C() {
    static const bool has = __builtin_cpu_supports("avx") && __builtin_cpu_supports("f16c");
    return has;
}

template <int Mode>
__attribute__((target("avx,f16c"))) size_t FloatsToHalvesF16C(const float* in, uint16_t* out,
                                                              size_t count) {
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i halves = _mm256_cvtps_ph(_mm256_loadu_ps(in + i), Mode);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), halves);
    }
    return i;
}

__attribute__((target("avx,f16c"))) size_t HalvesToFloatsF16C(const uint16_t* in, float* out,
                                                              size_t count, bool clampToUnit) {
    size_t i = 0;
    const __m256 zero = _mm256_setzero_ps(), one = _mm256_set1_ps(1.0f);
    for (; i + 8 <= count; i += 8) {
        __m256 values = _mm256_cvtph_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)));
        // max returns its second operand for NaN, so NaN becomes 0 as in ClampToUnit.
        if (clampToUnit) values = _mm256_min_ps(_mm256_max_ps(values, zero), one);
        _mm256_storeu_ps(out + i, values);
    }
    return i;
}

bool HasAvx2() {
    static const bool has = HasF16C() && __builtin_cpu_supports("avx2");
    return has;
}

// pshufb masks for two pixels: r g b a gathered from their memory slots, and back.
__attribute__((target("ssse3"))) __m128i GatherMask(const int order[4]) {
    alignas(16) int8_t mask[16];
    for (int i = 0; i < 16; ++i) mask[i] = -1;
    for (int p = 0; p < 2; ++p)
        for (int c = 0; c < 4; ++c) mask[4 * p + c] = static_cast<int8_t>(4 * p + order[c]);
    return _mm_load_si128(reinterpret_cast<const __m128i*>(mask));
}

__attribute__((target("ssse3"))) __m128i ScatterMask(const int order[4]) {
    alignas(16) int8_t mask[16];
    for (int i = 0; i < 16; ++i) mask[i] = -1;
    for (int p = 0; p < 2; ++p)
        for (int c = 0; c < 4; ++c) mask[4 * p + order[c]] = static_cast<int8_t>(4 * p + c);
    return _mm_load_si128(reinterpret_cast<const __m128i*>(mask));
}

template <int Mode>
__attribute__((target("avx2,f16c"))) size_t BytesToHalvesAvx2(const uint8_t* in, uint16_t* out,
                                                              size_t pixels, const int order[4]) {
    const __m128i gather = GatherMask(order);
    const __m256 scale = _mm256_set1_ps(1.0f / 255.0f);
    size_t i = 0;
    for (; i + 2 <= pixels; i += 2) {
        const __m128i bytes =
            _mm_shuffle_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + 4 * i)), gather);
        const __m256 values = _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(bytes)), scale);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i), _mm256_cvtps_ph(values, Mode));
    }
    return i;
}

__attribute__((target("avx2,f16c"))) size_t HalvesToBytesAvx2(const uint16_t* in, uint8_t* out,
                                                              size_t pixels, const int order[4]) {
    const __m128i scatter = ScatterMask(order);
    const __m256 zero = _mm256_setzero_ps(), one = _mm256_set1_ps(1.0f),
                 white = _mm256_set1_ps(255.0f);
    size_t i = 0;
    for (; i + 2 <= pixels; i += 2) {
        __m256 values =
            _mm256_cvtph_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * i)));
        // max returns its second operand for NaN, which so becomes 0.
        values = _mm256_min_ps(_mm256_max_ps(values, zero), one);
        // Rounded here, not by the conversion, which would follow whatever rounding mode the
        // thread was left in.
        values = _mm256_round_ps(_mm256_mul_ps(values, white),
                                 _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
        const __m256i ints = _mm256_cvttps_epi32(values);
        const __m128i words =
            _mm_packus_epi32(_mm256_castsi256_si128(ints), _mm256_extracti128_si256(ints, 1));
        const __m128i bytes = _mm_shuffle_epi8(_mm_packus_epi16(words, words), scatter);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * i), bytes);
    }
    return i;
}
#endif

} // namespace

uint16_t FloatToHalf(float value, HalfRounding rounding) {
    uint32_t x = Bits(value);
    const uint32_t sign = (x >> 16) & 0x8000u;
    x &= 0x7fffffffu;
    if (x > 0x7f800000u) return static_cast<uint16_t>(sign | 0x7e00u); // NaN
    if (rounding == HalfRounding::TowardZero) {
        if (x == 0x7f800000u) return static_cast<uint16_t>(sign | 0x7c00u);
        if (x >= 0x47800000u) return static_cast<uint16_t>(sign | 0x7bffu); // 65536 and above
        if (x < 0x38800000u) // subnormal steps of 2^-24; the conversion to integer truncates
            return static_cast<uint16_t>(sign | static_cast<uint32_t>(FromBits(x) * 16777216.0f));
        return static_cast<uint16_t>(sign | ((x - 0x38000000u) >> 13));
    }
    if (x >= 0x47800000u) // 65536 and above, infinity
        return static_cast<uint16_t>(sign | 0x7c00u);
    if (x < 0x38800000u) {
        // Below the smallest normal half: adding 0.5 lets the float unit round the mantissa at
        // the half's subnormal step, to nearest even.
        const uint32_t magic = 0x3f000000u;
        return static_cast<uint16_t>(sign | (Bits(FromBits(x) + FromBits(magic)) - magic));
    }
    // Rebias the exponent and round the 13 dropped bits to nearest even; a carry may run into
    // the exponent, up to infinity for 65520 and above.
    const uint32_t odd = (x >> 13) & 1u;
    x += 0xc8000000u + 0xfffu + odd; // (15 - 127) << 23, modulo 2^32
    return static_cast<uint16_t>(sign | (x >> 13));
}

float HalfToFloat(uint16_t value) {
    const uint32_t sign = static_cast<uint32_t>(value & 0x8000u) << 16;
    const uint32_t exponent = (value >> 10) & 0x1fu;
    const uint32_t mantissa = value & 0x3ffu;
    if (exponent == 0) {
        const float magnitude = static_cast<float>(mantissa) * 5.9604645e-8f; // 2^-24
        return sign ? -magnitude : magnitude;
    }
    if (exponent == 31) return FromBits(sign | 0x7f800000u | (mantissa << 13));
    return FromBits(sign | ((exponent + 112u) << 23) | (mantissa << 13));
}

void FloatsToHalves(const float* in, uint16_t* out, size_t count, HalfRounding rounding) {
    size_t i = 0;
#if TESK_HAVE_F16C_PATH
    if (HasF16C())
        i = rounding == HalfRounding::TowardZero
                ? FloatsToHalvesF16C<_MM_FROUND_TO_ZERO>(in, out, count)
                : FloatsToHalvesF16C<_MM_FROUND_TO_NEAREST_INT>(in, out, count);
#endif
    for (; i < count; ++i) out[i] = FloatToHalf(in[i], rounding);
}

void HalvesToFloats(const uint16_t* in, float* out, size_t count, bool clampToUnit) {
    size_t i = 0;
#if TESK_HAVE_F16C_PATH
    if (HasF16C()) i = HalvesToFloatsF16C(in, out, count, clampToUnit);
#endif
    for (; i < count; ++i) {
        const float value = HalfToFloat(in[i]);
        out[i] = clampToUnit ? ClampToUnit(value) : value;
    }
}

void CopyFloats(const float* in, float* out, size_t count, bool clampToUnit) {
    if (!clampToUnit) {
        std::memmove(out, in, count * sizeof(float));
        return;
    }
    for (size_t i = 0; i < count; ++i) out[i] = ClampToUnit(in[i]);
}

void BytesToHalves(const uint8_t* in, uint16_t* out, size_t pixels, const int order[4],
                   HalfRounding rounding) {
    size_t i = 0;
#if TESK_HAVE_F16C_PATH
    if (HasAvx2())
        i = rounding == HalfRounding::TowardZero
                ? BytesToHalvesAvx2<_MM_FROUND_TO_ZERO>(in, out, pixels, order)
                : BytesToHalvesAvx2<_MM_FROUND_TO_NEAREST_INT>(in, out, pixels, order);
#endif
    for (; i < pixels; ++i)
        for (int c = 0; c < 4; ++c)
            out[4 * i + c] = FloatToHalf(float(in[4 * i + order[c]]) * (1.0f / 255.0f), rounding);
}

void HalvesToBytes(const uint16_t* in, uint8_t* out, size_t pixels, const int order[4]) {
    size_t i = 0;
#if TESK_HAVE_F16C_PATH
    if (HasAvx2()) i = HalvesToBytesAvx2(in, out, pixels, order);
#endif
    for (; i < pixels; ++i)
        for (int c = 0; c < 4; ++c)
            out[4 * i + order[c]] =
                static_cast<uint8_t>(RoundToEven(ClampToUnit(HalfToFloat(in[4 * i + c])) * 255.0f));
}

} // namespace OGL_TESK_AE
