#include "HostLayouts.h"

#include "common/HalfFloat.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

using namespace OGL_TESK_AE;

namespace {

bool IsHalfNaN(uint16_t h) {
    return (h & 0x7c00) == 0x7c00 && (h & 0x3ff) != 0;
}

} // namespace

TEST(HalfFloat, FloatToHalfRoundsInBothModesAloneAndInBulk) {
    // Each float, both signs, with the half it must become to nearest even and toward zero.
    std::vector<float> in;
    std::vector<uint16_t> want[2];
    const auto add = [&](float value, int nearest, int towardZero) {
        for (int sign : {0, 0x8000}) {
            in.push_back(sign ? -value : value);
            want[0].push_back(uint16_t(nearest | sign));
            want[1].push_back(uint16_t(towardZero | sign));
        }
    };
    // Around every finite half: the half itself, the midpoint to the next one (a tie) with the
    // floats either side of it, and the float just below the next half. The step above the
    // largest half leads to infinity at 65520.
    for (int h = 0; h < 0x7c00; ++h) {
        const float lo = tesk_test::HalfToFloat(uint16_t(h));
        const float hi = h == 0x7bff ? 65536.0f : tesk_test::HalfToFloat(uint16_t(h + 1));
        const float mid = (lo + hi) / 2;
        add(lo, h, h);
        add(mid, h + (h & 1), h);
        add(std::nextafter(mid, 0.0f), h, h);
        add(std::nextafter(mid, hi), h + 1, h);
        add(std::nextafter(hi, 0.0f), h + 1, h);
    }
    add(1e10f, 0x7c00, 0x7bff);
    add(INFINITY, 0x7c00, 0x7c00);
    for (size_t i = 0; i < in.size(); ++i) {
        ASSERT_EQ(FloatToHalf(in[i]), want[0][i]) << in[i];
        ASSERT_EQ(FloatToHalf(in[i], HalfRounding::TowardZero), want[1][i]) << in[i];
    }
    // The bulk form (vector instructions where the processor has them) gives the same bits; the
    // NaNs at the end straddle its last group of eight and the scalar tail.
    const size_t count = in.size();
    in.resize(count + 13, NAN);
    for (int zero : {0, 1}) {
        std::vector<uint16_t> out(in.size());
        FloatsToHalves(in.data(), out.data(), in.size(),
                       zero ? HalfRounding::TowardZero : HalfRounding::ToNearestEven);
        for (size_t i = 0; i < in.size(); ++i)
            ASSERT_TRUE(i < count ? out[i] == want[zero][i] : IsHalfNaN(out[i])) << in[i];
    }
}

// Every half, plus a tail for the scalar loop; clamped, NaN becomes 0. The float-to-float copy
// clamps the same way.
TEST(HalfFloat, HalfToFloatIsExactAndBothCopiesClampOnRequest) {
    std::vector<uint16_t> all(65536 + 3);
    for (size_t i = 0; i < all.size(); ++i) all[i] = uint16_t(i);
    std::vector<float> plain(all.size()), clamped(all.size());
    HalvesToFloats(all.data(), plain.data(), all.size(), false);
    HalvesToFloats(all.data(), clamped.data(), all.size(), true);
    const auto same = [](float a, float b) { return a == b && std::signbit(a) == std::signbit(b); };
    for (size_t i = 0; i < all.size(); ++i) {
        const float expected = tesk_test::HalfToFloat(all[i]), alone = HalfToFloat(all[i]);
        if (std::isnan(expected))
            ASSERT_TRUE(std::isnan(alone) && std::isnan(plain[i]) && clamped[i] == 0.0f) << i;
        else
            ASSERT_TRUE(same(alone, expected) && same(plain[i], expected) &&
                        clamped[i] == std::fmin(std::fmax(expected, 0.0f), 1.0f))
                << i;
    }
    const float in[5] = {-2.0f, 0.25f, 1.5f, NAN, INFINITY};
    std::array<float, 5> out;
    CopyFloats(in, out.data(), 5, true);
    EXPECT_EQ(out, (std::array<float, 5>{0.0f, 0.25f, 1.0f, 0.0f, 1.0f}));
    CopyFloats(in, out.data(), 5, false);
    EXPECT_TRUE(out[2] == 1.5f && std::isnan(out[3]));
}
