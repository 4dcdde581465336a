#include "HostLayouts.h"

#include "common/HalfFloat.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

using namespace OGL_TESK_AE;

namespace {

uint32_t Bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

float NextUp(float f) {
    return std::nextafter(f, INFINITY);
}
float NextDown(float f) {
    return std::nextafter(f, -INFINITY);
}

// Floats around every positive finite half: the half itself, the midpoint to the next one
// (exactly, when a float can hold it) and the floats on either side of that midpoint, each with
// the half it must round to.
struct Case {
    float value;
    uint16_t expected;   // to nearest even
    uint16_t towardZero; // the half at or below the magnitude
};

std::vector<Case> RoundingCases() {
    std::vector<Case> cases;
    for (uint16_t h = 0; h < 0x7c00; ++h) {
        const uint16_t next = static_cast<uint16_t>(h + 1);
        const double lo = tesk_test::HalfToFloat(h);
        // The step above the largest half leads to infinity at 65520.
        const double hi = next == 0x7c00 ? 65536.0 : tesk_test::HalfToFloat(next);
        const float mid = static_cast<float>((lo + hi) / 2);
        EXPECT_EQ(static_cast<double>(mid), (lo + hi) / 2) << h; // every midpoint is a float
        const uint16_t even = (h & 1) ? next : h;
        cases.push_back({static_cast<float>(lo), h, h});
        cases.push_back({mid, even, h});
        cases.push_back({NextDown(mid), h, h});
        cases.push_back({NextUp(mid), next, h});
        cases.push_back({NextDown(static_cast<float>(hi)), next, h});
    }
    cases.push_back({1e10f, 0x7c00, 0x7bff});
    cases.push_back({INFINITY, 0x7c00, 0x7c00});
    const size_t positive = cases.size();
    for (size_t i = 0; i < positive; ++i)
        cases.push_back({-cases[i].value, static_cast<uint16_t>(cases[i].expected | 0x8000),
                         static_cast<uint16_t>(cases[i].towardZero | 0x8000)});
    return cases;
}

TEST(HalfFloat, FloatToHalfRoundsInBothModes) {
    const std::vector<Case> cases = RoundingCases();
    ASSERT_FALSE(HasFailure());
    std::vector<float> in;
    for (const Case& c : cases) {
        ASSERT_EQ(FloatToHalf(c.value), c.expected) << c.value;
        ASSERT_EQ(FloatToHalf(c.value, HalfRounding::TowardZero), c.towardZero) << c.value;
        in.push_back(c.value);
    }
    // The bulk form (vector instructions where the processor has them) gives the same bits; an
    // odd count leaves a tail for the scalar loop.
    in.push_back(1.0f / 3.0f);
    std::vector<uint16_t> out(in.size()), zero(in.size());
    FloatsToHalves(in.data(), out.data(), in.size());
    FloatsToHalves(in.data(), zero.data(), in.size(), HalfRounding::TowardZero);
    for (size_t i = 0; i < cases.size(); ++i) {
        ASSERT_EQ(out[i], cases[i].expected) << in[i];
        ASSERT_EQ(zero[i], cases[i].towardZero) << in[i];
    }
    EXPECT_EQ(out.back(), FloatToHalf(1.0f / 3.0f));
    EXPECT_EQ(zero.back(), FloatToHalf(1.0f / 3.0f, HalfRounding::TowardZero));
}

TEST(HalfFloat, SpecialValues) {
    const std::pair<float, uint16_t> rows[] = {
        {65519.996f, 0x7bff},
        {65520.0f, 0x7c00},
        {1e10f, 0x7c00},
        {-INFINITY, 0xfc00},
        {-0.0f, 0x8000},
        {std::ldexp(1.0f, -25), 0},         // tie below the first step
        {NextUp(std::ldexp(1.0f, -25)), 1}, // just above it
    };
    for (const auto& [in, expected] : rows) EXPECT_EQ(FloatToHalf(in), expected) << in;
    // NaN stays NaN, alone and in the bulk form.
    std::array<float, 9> nans;
    nans.fill(NAN);
    std::array<uint16_t, 10> out;
    FloatsToHalves(nans.data(), out.data(), 9);
    out[9] = FloatToHalf(NAN);
    for (uint16_t h : out) EXPECT_TRUE((h & 0x7c00u) == 0x7c00u && (h & 0x3ffu) != 0) << h;
}

TEST(HalfFloat, HalfToFloatIsExactAndClampsOnRequest) {
    std::vector<uint16_t> all(65536 + 3);
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint16_t>(i);
    std::vector<float> plain(all.size()), clamped(all.size());
    HalvesToFloats(all.data(), plain.data(), all.size(), false);
    HalvesToFloats(all.data(), clamped.data(), all.size(), true);
    for (size_t i = 0; i < all.size(); ++i) {
        const uint16_t h = all[i];
        const double expected = tesk_test::HalfToFloat(h);
        if (std::isnan(expected)) {
            ASSERT_TRUE(std::isnan(HalfToFloat(h))) << h;
            ASSERT_TRUE(std::isnan(plain[i])) << h;
            ASSERT_EQ(clamped[i], 0.0f) << h;
            continue;
        }
        ASSERT_EQ(static_cast<double>(HalfToFloat(h)), expected) << h;
        ASSERT_EQ(Bits(plain[i]), Bits(HalfToFloat(h))) << h; // also the sign of zero
        const double unit = expected < 0 ? 0.0 : (expected > 1 ? 1.0 : expected);
        ASSERT_EQ(static_cast<double>(clamped[i]), unit) << h;
    }
}

TEST(HalfFloat, CopyFloatsClampsOnRequest) {
    const float in[5] = {-2.0f, 0.25f, 1.5f, NAN, INFINITY};
    std::array<float, 5> out;
    CopyFloats(in, out.data(), 5, true);
    EXPECT_EQ(out, (std::array<float, 5>{0.0f, 0.25f, 1.0f, 0.0f, 1.0f}));
    CopyFloats(in, out.data(), 5, false);
    EXPECT_TRUE(out[2] == 1.5f && std::isnan(out[3]));
}

} // namespace
