#include "NoContext.h"

#include "ops/BasicOps.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace OGL_TESK_AE;

namespace {
template <class Pixel> void Fill(Buffer<Pixel>& buffer, int width, int height, const Pixel& value) {
    ASSERT_TRUE(buffer.Resize(width, height));
    for (int i = 0; i < width * height; ++i) buffer.Row(i / width)[i % width] = value;
}
} // namespace

// The last pixel of the last row decides, so the scans must cover every row to its end.
TEST(BufferQueries, AlphaLumaAndMaximum) {
    Buffer<RGBAPixelType<float>> rgba;
    Fill(rgba, 5, 3, {-1.0f, -0.5f, -2.0f, 1.0f}); // every alpha exactly 1, all luma negative
    EXPECT_FALSE(HasAlpha(&rgba) || HasLuma(&rgba));
    EXPECT_EQ(MaxLuma(&rgba), 0.0f); // the floor of 0 stays
    rgba.Row(2)[4] = {0.5f, 1.0f, 0.25f, 0.999f};
    EXPECT_TRUE(HasAlpha(&rgba) && HasLuma(&rgba));
    EXPECT_FLOAT_EQ(MaxLuma(&rgba), 0.30f * 0.5f + 0.59f * 1.0f + 0.11f * 0.25f);
    rgba.Row(2)[4] = {0.0f, NAN, 0.0f, 1.0f};
    EXPECT_TRUE(HasLuma(&rgba)); // NaN is not <= 0
    Buffer<AlphaPixelType<float>> alpha;
    Fill(alpha, 3, 2, {1.0f});
    EXPECT_FALSE(HasAlpha(&alpha));
    alpha.Row(1)[2].alpha = 0.0f;
    EXPECT_TRUE(HasAlpha(&alpha));
    Buffer<LumaPixelType<float>> luma;
    Fill(luma, 1, 1, {2.0f});
    EXPECT_FALSE(HasAlpha(&luma));
}

TEST(BufferQueries, InvertCoversTheCommonArea) {
    tesk_test::NoContext noContext;
    Buffer<LumaPixelType<float>> source, destination;
    Fill(source, 4, 3, {0.0f});
    Fill(destination, 3, 5, {-7.0f});
    for (int i = 0; i < 12; ++i) source.Row(i / 4)[i % 4].luma = 0.1f * float(i);
    Invert(&source, &destination);
    for (int i = 0; i < 15; ++i) {
        const int x = i % 3, y = i / 3;
        EXPECT_FLOAT_EQ(destination.Row(y)[x].luma, y < 3 ? 1.0f - 0.1f * float(x + 4 * y) : -7.0f)
            << x << "," << y;
    }
}
