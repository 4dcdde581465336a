#include "NoContext.h"

#include "ops/BasicOps.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace OGL_TESK_AE;

// Null, empty and short-rowed buffers are the bad-input sweep's (tests/gl/harness_bad_input.cpp).
TEST(BufferQueries, AlphaLumaAndMaximum) {
    Buffer<RGBAPixelType<float>> rgba;
    ASSERT_TRUE(rgba.Resize(5, 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) rgba.Row(y)[x] = {-1.0f, -0.5f, -2.0f, 1.0f};
    EXPECT_FALSE(HasAlpha(&rgba)); // every alpha exactly 1
    EXPECT_FALSE(HasLuma(&rgba));
    EXPECT_EQ(MaxLuma(&rgba), 0.0f);              // all negative: the floor of 0 stays
    rgba.Row(2)[4] = {0.5f, 1.0f, 0.25f, 0.999f}; // the last pixel of the last row
    EXPECT_TRUE(HasAlpha(&rgba));
    EXPECT_TRUE(HasLuma(&rgba));
    EXPECT_FLOAT_EQ(MaxLuma(&rgba), 0.30f * 0.5f + 0.59f * 1.0f + 0.11f * 0.25f);
    rgba.Row(0)[0] = {0.0f, NAN, 0.0f, 1.0f};
    EXPECT_TRUE(HasLuma(&rgba)); // NaN is not <= 0

    Buffer<AlphaPixelType<float>> alpha;
    ASSERT_TRUE(alpha.Resize(3, 2));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) alpha.Row(y)[x].alpha = 1.0f;
    EXPECT_FALSE(HasAlpha(&alpha));
    alpha.Row(1)[2].alpha = 0.0f;
    EXPECT_TRUE(HasAlpha(&alpha));
    Buffer<LumaPixelType<float>> luma;
    ASSERT_TRUE(luma.Resize(1, 1));
    luma.Row(0)[0].luma = 2.0f;
    EXPECT_FALSE(HasAlpha(&luma));
}

TEST(BufferQueries, InvertCoversTheCommonArea) {
    tesk_test::NoContext noContext;
    Buffer<LumaPixelType<float>> source, destination;
    ASSERT_TRUE(source.Resize(4, 3));
    ASSERT_TRUE(destination.Resize(3, 5));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) source.Row(y)[x].luma = 0.1f * float(x + 4 * y);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 3; ++x) destination.Row(y)[x].luma = -7.0f;
    Invert(&source, &destination);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 3; ++x) {
            const float expected = y < 3 ? 1.0f - 0.1f * float(x + 4 * y) : -7.0f;
            EXPECT_FLOAT_EQ(destination.Row(y)[x].luma, expected) << x << "," << y;
        }
}
