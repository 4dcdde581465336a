#include "HostLayouts.h"

#include "common/HalfFloat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
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
    EXPECT_EQ(FloatToHalf(65519.996f), 0x7bffu);
    EXPECT_EQ(FloatToHalf(65520.0f), 0x7c00u);
    EXPECT_EQ(FloatToHalf(1e10f), 0x7c00u);
    EXPECT_EQ(FloatToHalf(-INFINITY), 0xfc00u);
    EXPECT_EQ(FloatToHalf(std::ldexp(1.0f, -25)), 0u);         // tie below the first step
    EXPECT_EQ(FloatToHalf(NextUp(std::ldexp(1.0f, -25))), 1u); // just above it
    EXPECT_EQ(FloatToHalf(-0.0f), 0x8000u);
    const uint16_t nan = FloatToHalf(NAN);
    EXPECT_EQ(nan & 0x7c00u, 0x7c00u);
    EXPECT_NE(nan & 0x3ffu, 0u);
    const float in[9] = {NAN, NAN, NAN, NAN, NAN, NAN, NAN, NAN, NAN};
    uint16_t out[9];
    FloatsToHalves(in, out, 9);
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
    float out[5];
    CopyFloats(in, out, 5, true);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(out[1], 0.25f);
    EXPECT_EQ(out[2], 1.0f);
    EXPECT_EQ(out[3], 0.0f);
    EXPECT_EQ(out[4], 1.0f);
    CopyFloats(in, out, 5, false);
    EXPECT_EQ(out[2], 1.5f);
    EXPECT_TRUE(std::isnan(out[3]));
}

} // namespace
