#include "GLTest.h"

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

TestImage FloatImage(int width, int height, bool bottomUp, int padBytes = 0) {
    return TestImage(width, height, Fourcc("RGBA"), 128, 1, bottomUp, width * 16 + padBytes);
}

TextureKey HalfKey(int width, int height) {
    return TextureKey(GL_TEXTURE_RECTANGLE_ARB, width, height, GL_RGBA16F_ARB, true);
}

float Clamp01(float v) {
    return std::fmin(std::fmax(v, 0.0f), 1.0f);
}

} // namespace

// The library rounds floats to halves itself; the texels must be those the driver makes of the
// same floats. The values sit on and around the midpoints between neighbouring halves, where a
// rounding rule shows.
TEST(FloatRows, HalvesMatchTheDriversOwnConversion) {
    RunOnWorker([] {
        const int width = 256, height = 64;
        TestImage image = FloatImage(width, height, true);
        float* values = reinterpret_cast<float*>(image.Bytes());
        const size_t count = static_cast<size_t>(width) * height * 4;
        for (size_t i = 0; i < count; ++i) {
            // From subnormal halves to beyond the largest half, both signs.
            const int exponent = static_cast<int>(i % 36) - 19;
            const float step = std::ldexp(1.0f, exponent - 10);
            const float low = std::ldexp(1.0f, exponent) + step * static_cast<float>(i % 1021);
            const float mid = low + step * 0.5f;
            const float pick[4] = {mid, std::nextafter(mid, 0.0f), std::nextafter(mid, 1e9f), low};
            values[i] = pick[(i / 32) % 4] * ((i / 128) % 2 ? -1.0f : 1.0f);
        }
        TextureBuffer driver(HalfKey(width, height)), library(HalfKey(width, height));
        const Region all(0, 0, width, height);
        driver.Bind();
        driver.LoadImageNative(&image, all, all, false);
        library.Bind();
        ASSERT_TRUE(library.LoadFloatRows(&image, all, all, false));
        EXPECT_TRUE(PixelsNear(ReadTexels<uint16_t>(&library, width, height),
                               ReadTexels<uint16_t>(&driver, width, height), count, width));
    });
}

// A region of a padded image, turned over into a region of a larger texture and read back
// turned over into another padded image: every texel lands where its row order says, nothing
// else is touched, and the way out clamps to [0, 1] when asked.
TEST(FloatRows, RegionsTurnOverBothWaysAndStayInside) {
    RunOnWorker([] {
        TestImage source = FloatImage(37, 23, false, 48);
        FillChannels<float>(source, [](int x, int y, int c) { // multiples of 1/64 from -2 to 3
            return static_cast<float>((x * 7 + y * 13 + c * 5) % 320) / 64 - 2;
        });
        TextureBuffer texture(HalfKey(32, 24));
        texture.Bind();
        ASSERT_TRUE(
            texture.LoadFloatRows(&source, Region(5, 3, 20, 11), Region(2, 4, 20, 11), true));
        // Texel row 4 + t gets memory row 13 - t from column 5 on; a new texture is clear.
        const std::vector<float> texels = ReadTexels<float>(&texture, 32, 24);
        std::vector<float> expected(texels.size(), 0.0f);
        for (int t = 0; t < 11; ++t)
            std::memcpy(&expected[((4 + t) * 32 + 2) * 4], source.Row(13 - t) + 5 * 16, 20 * 16);
        EXPECT_TRUE(PixelsNear(texels, expected, texels.size(), 32));

        // Back into memory row 16 - t from column 1 on, clamped; nothing else changes.
        TestImage out = FloatImage(30, 20, false, 32);
        std::memset(out.Bytes(), 0x5a, out.ByteCount());
        std::vector<uint8_t> want(out.Bytes(), out.Bytes() + out.ByteCount());
        {
            Selection<TextureBuffer> selection(texture);
            ASSERT_TRUE(texture.ReadFloatRows(&out, Region(1, 6, 20, 11), Region(2, 4, 20, 11),
                                              true, true));
        }
        for (int t = 0; t < 11; ++t)
            for (int i = 0; i < 20 * 4; ++i) {
                const float v = Clamp01(texels[((4 + t) * 32 + 2) * 4 + i]);
                std::memcpy(&want[(16 - t) * (30 * 16 + 32) + 16 + i * 4], &v, 4);
            }
        EXPECT_TRUE(SameBytes(std::vector<uint8_t>(out.Bytes(), out.Bytes() + out.ByteCount()),
                              want, 32, 16));
    });
}

TEST(FloatRows, DeclinesWhatItDoesNotHandle) {
    RunOnWorker([] {
        TestImage bytes(8, 8, Fourcc("RGBA"), 32, 255, true);
        TestImage floats = FloatImage(8, 8, true);
        const Region all(0, 0, 8, 8);
        TextureBuffer half(HalfKey(8, 8));
        TextureBuffer byteTexture(TextureKey(GL_TEXTURE_RECTANGLE_ARB, 8, 8, GL_RGBA8, true));
        EXPECT_FALSE(half.LoadFloatRows(&bytes, all, all, false));
        EXPECT_FALSE(byteTexture.LoadFloatRows(&floats, all, all, false));
        {
            Selection<TextureBuffer> selection(half);
            EXPECT_FALSE(half.ReadFloatRows(&bytes, all, all, false, false));
            // Only the texture being read knows its texel type.
            TextureBuffer other(HalfKey(8, 8));
            EXPECT_FALSE(other.ReadFloatRows(&floats, all, all, false, false));
            EXPECT_TRUE(half.ReadFloatRows(&floats, all, all, false, false));
        }
    });
}

// Luminance is OpenGL's sum of the colour channels and alpha its fourth channel, read from the
// same texels by the driver; clamping first must equal reading texels that were clamped.
TEST(FloatRows, LuminanceAndAlphaMatchTheDriversReads) {
    RunOnWorker([] {
        const int width = 64, height = 16;
        std::vector<float> values(width * height * 4), clamped(values.size());
        uint32_t state = 12345;
        for (size_t i = 0; i < values.size(); ++i) {
            state = state * 1664525u + 1013904223u;
            values[i] = static_cast<float>(state >> 20) / 1365.0f - 1.0f; // -1 to 2
            clamped[i] = Clamp01(values[i]);
        }
        TextureBuffer texture(HalfKey(width, height)), clampedTexture(HalfKey(width, height));
        for (auto* pair : {&texture, &clampedTexture}) {
            pair->Bind();
            glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
            glTexSubImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, 0, 0, width, height, GL_RGBA, GL_FLOAT,
                            pair == &texture ? values.data() : clamped.data());
        }
        const Region all(0, 0, width, height);
        for (GLenum format : {GL_LUMINANCE, GL_ALPHA})
            for (bool clamp : {false, true}) {
                const std::vector<float> expected =
                    ReadTexels<float>(clamp ? &clampedTexture : &texture, width, height, format);
                TestImage out(width, height,
                              format == GL_LUMINANCE ? GL_LUMINANCE32F_ARB : GL_ALPHA32F_ARB, 32, 1,
                              true);
                {
                    Selection<TextureBuffer> selection(texture);
                    ASSERT_TRUE(texture.ReadFloatRows(&out, all, all, false, clamp));
                }
                EXPECT_TRUE(PixelsNear(reinterpret_cast<const float*>(out.Bytes()), expected,
                                       expected.size(), width, 0, 1))
                    << format << " clamp " << clamp;
            }
    });
}
