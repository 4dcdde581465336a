#include "GLTest.h"
#include "TestImage.h"

#include "gl/texture/Selection.h"
#include "gl/texture/TextureBuffer.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstring>
#include <vector>

using namespace OGL_TESK_AE;
using tesk_test::Fourcc;
using tesk_test::RunOnWorker;
using tesk_test::TestImage;

namespace {

TestImage FloatImage(int width, int height, bool bottomUp, int padBytes = 0) {
    return TestImage(width, height, Fourcc("RGBA"), 128, 1, bottomUp, width * 16 + padBytes);
}

float& At(TestImage& image, int x, int y, int channel) {
    return reinterpret_cast<float*>(image.Row(y) + x * 16)[channel];
}

std::vector<uint16_t> ReadHalves(TextureBuffer& buffer) {
    std::vector<uint16_t> texels(static_cast<size_t>(buffer.Width()) * buffer.Height() * 4);
    Selection<TextureBuffer> selection(buffer);
    EXPECT_TRUE(selection.IsSelected());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, buffer.Width(), buffer.Height(), GL_RGBA, GL_HALF_FLOAT_ARB, texels.data());
    return texels;
}

TextureKey HalfKey(int width, int height) {
    return TextureKey(GL_TEXTURE_RECTANGLE_ARB, width, height, GL_RGBA16F_ARB, true);
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
        const std::vector<uint16_t> expected = ReadHalves(driver), actual = ReadHalves(library);
        size_t differ = 0, first = count;
        for (size_t i = 0; i < count; ++i)
            if (expected[i] != actual[i] && differ++ == 0) first = i;
        EXPECT_EQ(differ, 0u) << "first at " << first << ": " << values[first] << " became "
                              << actual[first] << ", the driver made " << expected[first];
    });
}

// A region of a padded image, turned over into a region of a larger texture and read back
// turned over into another padded image: every texel lands where its row order says, nothing
// else is touched, and the way out clamps to [0, 1] when asked.
TEST(FloatRows, RegionsTurnOverBothWaysAndStayInside) {
    RunOnWorker([] {
        TestImage source = FloatImage(37, 23, false, 48);
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x)
                for (int c = 0; c < 4; ++c) // multiples of 1/64 from -2 to 3: exact halves
                    At(source, x, y, c) =
                        static_cast<float>((x * 7 + y * 13 + c * 5) % 320) / 64 - 2;
        const Region src(5, 3, 20, 11), dst(2, 4, 20, 11);
        TextureBuffer texture(HalfKey(32, 24));
        texture.Bind();
        ASSERT_TRUE(texture.LoadFloatRows(&source, src, dst, true));

        std::vector<float> texels(32 * 24 * 4);
        {
            Selection<TextureBuffer> selection(texture);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadPixels(0, 0, 32, 24, GL_RGBA, GL_FLOAT, texels.data());
        }
        for (int ty = 0; ty < 24; ++ty)
            for (int tx = 0; tx < 32; ++tx)
                for (int c = 0; c < 4; ++c) {
                    const float texel = texels[(ty * 32 + tx) * 4 + c];
                    const int i = tx - dst.XOrigin(), t = ty - dst.YOrigin();
                    if (i < 0 || i >= 20 || t < 0 || t >= 11) {
                        ASSERT_EQ(texel, 0.0f) << tx << "," << ty; // a new texture is clear
                        continue;
                    }
                    ASSERT_EQ(texel, At(source, src.XOrigin() + i, src.YOrigin() + 10 - t, c))
                        << tx << "," << ty << "," << c;
                }

        TestImage out = FloatImage(30, 20, false, 32);
        std::memset(out.Bytes(), 0x5a, out.ByteCount());
        const std::vector<uint8_t> before(out.Bytes(), out.Bytes() + out.ByteCount());
        const Region imageRegion(1, 6, 20, 11);
        {
            Selection<TextureBuffer> selection(texture);
            ASSERT_TRUE(texture.ReadFloatRows(&out, imageRegion, dst, true, true));
        }
        for (int y = 0; y < 20; ++y)
            for (int b = 0; b < 30 * 16 + 32; ++b) {
                const int x = b / 16, c = (b % 16) / 4;
                const int i = x - imageRegion.XOrigin(), f = 10 - (y - imageRegion.YOrigin());
                const bool inside = b < 30 * 16 && i >= 0 && i < 20 && f >= 0 && f <= 10;
                if (!inside) {
                    ASSERT_EQ(out.Row(y)[b], before[y * (30 * 16 + 32) + b]) << x << "," << y;
                    continue;
                }
                if (b % 4) continue;
                const float texel = texels[((dst.YOrigin() + f) * 32 + dst.XOrigin() + i) * 4 + c];
                ASSERT_EQ(At(out, x, y, c), std::fmin(std::fmax(texel, 0.0f), 1.0f))
                    << x << "," << y << "," << c;
            }
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
            clamped[i] = std::fmin(std::fmax(values[i], 0.0f), 1.0f);
        }
        TextureBuffer texture(HalfKey(width, height)), clampedTexture(HalfKey(width, height));
        for (auto* pair : {&texture, &clampedTexture}) {
            pair->Bind();
            glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
            glTexSubImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, 0, 0, width, height, GL_RGBA, GL_FLOAT,
                            pair == &texture ? values.data() : clamped.data());
        }
        const Region all(0, 0, width, height);
        for (GLenum format : {GL_LUMINANCE, GL_ALPHA}) {
            const int32_t colorSpace =
                format == GL_LUMINANCE ? GL_LUMINANCE32F_ARB : GL_ALPHA32F_ARB;
            for (bool clamp : {false, true}) {
                std::vector<float> expected(width * height);
                {
                    Selection<TextureBuffer> selection(clamp ? clampedTexture : texture);
                    glPixelStorei(GL_PACK_ALIGNMENT, 4);
                    glReadPixels(0, 0, width, height, format, GL_FLOAT, expected.data());
                }
                TestImage out(width, height, colorSpace, 32, 1, true);
                {
                    Selection<TextureBuffer> selection(texture);
                    ASSERT_TRUE(texture.ReadFloatRows(&out, all, all, false, clamp));
                }
                for (int y = 0; y < height; ++y)
                    for (int x = 0; x < width; ++x)
                        ASSERT_EQ(out.At<float>(x, y), expected[y * width + x])
                            << format << " clamp " << clamp << " at " << x << "," << y;
            }
        }
    });
}
