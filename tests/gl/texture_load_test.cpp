#include "GLTest.h"
#include "TestImage.h"

#include "gl/effects/Conversion.h"
#include "gl/texture/Selection.h"
#include "gl/texture/Texture.h"
#include "gl/texture/TextureBuffer.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace OGL_TESK_AE;
using tesk_test::Fourcc;
using tesk_test::RunOnWorker;
using tesk_test::TestImage;

namespace {

using Pixel = std::array<float, 4>;

// A float texture of an exact size that tests can load into and read back.
class ProbeTexture : public Texture {
public:
    ProbeTexture(int width, int height) {
        key = TextureKey(GL_TEXTURE_RECTANGLE_ARB, width, height, GL_RGBA32F_ARB, true);
        // Loading goes into the bound texture, as the textures that load images bind first.
        BindTexture();
    }
    // The whole texture, bottom row first.
    std::vector<Pixel> Read() {
        std::vector<Pixel> pixels(static_cast<size_t>(GetWidth()) * GetHeight());
        Selection<TextureBuffer> selection(*Buffer());
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(0, 0, GetWidth(), GetHeight(), GL_RGBA, GL_FLOAT, pixels.data());
        return pixels;
    }
};

enum class Channel { U8, U16, Half, Float };

// A host layout and how its pixels sit in memory.
struct Layout {
    const char* name;
    int32_t code;
    int32_t bitDepth;
    int32_t white;
    Channel channel;
    int order[4]; // memory position of r, g, b, a
};

const Layout kLayouts[] = {
    {"rgba8", Fourcc("RGBA"), 32, 255, Channel::U8, {0, 1, 2, 3}},
    {"rgba8-white200", Fourcc("RGBA"), 32, 200, Channel::U8, {0, 1, 2, 3}},
    {"argb8", 32, 32, 255, Channel::U8, {1, 2, 3, 0}},
    {"bgra8", Fourcc("BGRA"), 32, 255, Channel::U8, {2, 1, 0, 3}},
    {"rgba16", Fourcc("RGBA"), 64, 65535, Channel::U16, {0, 1, 2, 3}},
    {"ae16", Fourcc("RGBA"), 64, 32768, Channel::U16, {0, 1, 2, 3}},
    {"ten-bit", Fourcc("RGBA"), 64, 1023, Channel::U16, {0, 1, 2, 3}},
    {"argb16", 32, 64, 65535, Channel::U16, {1, 2, 3, 0}},
    {"bgra16-white32768", Fourcc("BGRA"), 64, 32768, Channel::U16, {2, 1, 0, 3}},
    {"half", Fourcc("RGBA"), 64, 1, Channel::Half, {0, 1, 2, 3}},
    {"float", Fourcc("RGBA"), 128, 1, Channel::Float, {0, 1, 2, 3}},
    {"argb-float", 32, 128, 1, Channel::Float, {1, 2, 3, 0}},
};

// Half-float bits of a value k / 1024 (k in 1..1024, exactly representable).
uint16_t HalfOf(float v) {
    if (v == 0.0f) return 0;
    int exponent = 0;
    const float mantissa = std::frexp(v, &exponent); // v = mantissa * 2^exponent, 0.5 <= m < 1
    const int biased = exponent - 1 + 15;
    const int fraction = static_cast<int>(std::lround((mantissa * 2.0f - 1.0f) * 1024.0f));
    return static_cast<uint16_t>((biased << 10) | fraction);
}

// Random channel values that the layout holds exactly, and their meaning as 0..1 values.
class Source {
public:
    Source(const Layout& layout, int width, int height, bool bottomUp, uint32_t seed)
        : fLayout(layout),
          fImage(width, height, layout.code, layout.bitDepth, layout.white, bottomUp,
                 (width * layout.bitDepth / 8 + 31) & ~15), // padded rows
          fValues(static_cast<size_t>(width) * height) {
        std::mt19937 random(seed);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                Pixel& value = fValues[static_cast<size_t>(y) * width + x];
                for (int c = 0; c < 4; ++c) value[c] = Put(x, y, layout.order[c], random());
            }
    }
    // The expected texel at (x, y) of a texture loaded one to one, y counted from the bottom.
    const Pixel& Expected(int x, int y) const {
        const int row = fImage.IsBottomUp() ? y : fImage.GetHeight() - 1 - y;
        return fValues[static_cast<size_t>(row) * fImage.GetWidth() + x];
    }
    TestImage& Image() { return fImage; }
    float Step() const {
        switch (fLayout.channel) {
        case Channel::U8:
        case Channel::U16:
            return 1.0f / float(fLayout.white);
        case Channel::Half:
            return 1.0f / 1024.0f;
        default:
            return 1e-6f;
        }
    }

private:
    float Put(int x, int y, int slot, uint32_t bits) {
        uint8_t* p = fImage.Row(y) + x * fLayout.bitDepth / 8;
        switch (fLayout.channel) {
        case Channel::U8: {
            const uint8_t v = static_cast<uint8_t>(bits % (fLayout.white + 1));
            p[slot] = v;
            return float(v) / float(fLayout.white);
        }
        case Channel::U16: {
            const uint16_t v = static_cast<uint16_t>(bits % (fLayout.white + 1));
            std::memcpy(p + 2 * slot, &v, 2);
            return float(v) / float(fLayout.white);
        }
        case Channel::Half: {
            const float v = float(bits % 1025) / 1024.0f;
            const uint16_t h = HalfOf(v);
            std::memcpy(p + 2 * slot, &h, 2);
            return v;
        }
        default: {
            const float v = float(bits % 100001) / 100000.0f;
            std::memcpy(p + 4 * slot, &v, 4);
            return v;
        }
        }
    }

    const Layout& fLayout;
    TestImage fImage;
    std::vector<Pixel> fValues;
};

class LoadLayouts : public ::testing::TestWithParam<Layout> {};

} // namespace

TEST_P(LoadLayouts, EveryTexelArrivesNormalisedAndRightWayUp) {
    const Layout& layout = GetParam();
    for (bool bottomUp : {true, false}) {
        Source source(layout, 13, 5, bottomUp, 7u + bottomUp);
        RunOnWorker([&] {
            ProbeTexture texture(13, 5);
            const Region all(0, 0, 13, 5);
            texture.LoadTexture(&source.Image(), all, all, false);
            const std::vector<Pixel> texels = texture.Read();
            const float tolerance = source.Step() * 0.5f + 1e-6f;
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 13; ++x)
                    for (int c = 0; c < 4; ++c)
                        ASSERT_NEAR(texels[static_cast<size_t>(y) * 13 + x][c],
                                    source.Expected(x, y)[c], tolerance)
                            << layout.name << (bottomUp ? " bottom-up" : " top-down") << " at " << x
                            << "," << y << " channel " << c;
        });
    }
}

INSTANTIATE_TEST_SUITE_P(HostLayouts, LoadLayouts, ::testing::ValuesIn(kLayouts),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (ch == '-') ch = '_';
                             return name;
                         });

TEST(TextureLoad, FitLetterboxesAndStretchFillsAndProcessingApplies) {
    RunOnWorker([] {
        TestImage red(100, 50, Fourcc("RGBA"), 128, 1, true);
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 100; ++x) red.At<Pixel>(x, y) = {1.0f, 0.0f, 0.0f, 0.5f};
        ProbeTexture texture(100, 100);
        texture.SetFit();
        texture.LoadTexture(&red, Region(0, 0, 100, 50), Region(0, 0, 100, 100), false);
        std::vector<Pixel> texels = texture.Read();
        for (int y = 0; y < 100; ++y) {
            const bool inside = y >= 25 && y < 75;
            ASSERT_EQ(texels[static_cast<size_t>(y) * 100 + 50][3], inside ? 0.5f : 0.0f) << y;
        }

        texture.SetStretch();
        texture.SetLoadProcessing(&Conversion::sPremultiply);
        texture.LoadTexture(&red, Region(0, 0, 100, 50), Region(0, 0, 100, 100), false);
        texels = texture.Read();
        EXPECT_FLOAT_EQ(texels[0][0], 0.5f); // premultiplied red
        EXPECT_FLOAT_EQ(texels[0][3], 0.5f);
        EXPECT_FLOAT_EQ(texels[99 * 100 + 99][0], 0.5f); // the whole target is covered
    });
}

TEST(TextureLoad, MaskMultipliesAlphaOnly) {
    RunOnWorker([] {
        TestImage colour(4, 2, Fourcc("RGBA"), 128, 1, true);
        TestImage mask(4, 2, Fourcc("RGBA"), 32, 255, false); // 8-bit, top-down
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x) {
                colour.At<Pixel>(x, y) = {0.2f, 0.4f, 0.6f, 0.8f};
                mask.Row(y)[x * 4 + 3] = y == 0 ? 255 : 51; // top row opaque, bottom 0.2
            }
        ProbeTexture texture(4, 2);
        const Region all(0, 0, 4, 2);
        texture.LoadTexture(&colour, all, all, false);
        texture.MaskTexture(&mask, all, all, false);
        const std::vector<Pixel> texels = texture.Read();
        // Memory row 0 of the top-down mask is the picture's top: texture row 1.
        EXPECT_NEAR(texels[1 * 4 + 2][3], 0.8f, 1e-6);
        EXPECT_NEAR(texels[0 * 4 + 2][3], 0.8f * 0.2f, 1e-6);
        EXPECT_NEAR(texels[0 * 4 + 2][0], 0.2f, 1e-6);
        EXPECT_NEAR(texels[0 * 4 + 2][2], 0.6f, 1e-6);
    });
}

TEST(TextureLoad, RepeatedLoadsLeakNothing) {
    RunOnWorker([] {
        auto liveResources = [] {
            int n = 0;
            for (Resource* r = Resource::LiveHead(); r; r = r->LiveNext()) ++n;
            return n;
        };
        TextureFactory& cache = TextureBuffer::Factory();
        cache.Finalize();
        const int live = liveResources();
        const int total = cache.TotalBytes(), inUse = cache.InUseBytes();
        std::mt19937 random(3);
        for (int cycle = 0; cycle < 200; ++cycle) {
            const int w = 1 + static_cast<int>(random() % 40),
                      h = 1 + static_cast<int>(random() % 30);
            TestImage image(w, h, cycle % 2 ? 32 : Fourcc("RGBA"), cycle % 3 ? 32 : 64,
                            cycle % 3 ? 255 : 65535, cycle % 4 == 0);
            ProbeTexture texture(w, h);
            texture.LoadTexture(&image, Region(0, 0, w, h), Region(0, 0, w, h), false);
            texture.Read();
        }
        EXPECT_EQ(cache.InUseBytes(), inUse);
        cache.Finalize();
        EXPECT_EQ(cache.TotalBytes(), total);
        EXPECT_EQ(liveResources(), live);
    });
}
