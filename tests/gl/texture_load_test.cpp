#include "GLTest.h"
#include "HostLayouts.h"

#include "gl/context/EntryPoints.h"
#include "gl/effects/Conversion.h"
#include "gl/effects/EffectProgram.h"
#include "gl/effects/GLSL.h"
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
using namespace tesk_test;

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

// The host layouts, and a few more that exercise the white level and the swizzles.
std::vector<Layout> LoadLayoutList() {
    std::vector<Layout> layouts = HostLayouts();
    layouts.push_back({"rgba8_white200", Fourcc("RGBA"), 32, 200, Channel::U8, {0, 1, 2, 3}});
    layouts.push_back({"ten_bit", Fourcc("RGBA"), 64, 1023, Channel::U16, {0, 1, 2, 3}});
    layouts.push_back({"argb16", 32, 64, 65535, Channel::U16, {1, 2, 3, 0}});
    layouts.push_back({"bgra16_white32768", Fourcc("BGRA"), 64, 32768, Channel::U16, {2, 1, 0, 3}});
    layouts.push_back({"argb_float", 32, 128, 1, Channel::Float, {1, 2, 3, 0}});
    return layouts;
}

class LoadLayouts : public ::testing::TestWithParam<Layout> {};

} // namespace

TEST_P(LoadLayouts, EveryTexelArrivesNormalisedAndRightWayUp) {
    const Layout& layout = GetParam();
    for (bool bottomUp : {true, false}) {
        TestImage image = MakeImage(layout, 13, 5, bottomUp);
        const std::vector<RGBA> held = FillRandom(layout, image, 7u + bottomUp);
        RunOnWorker([&] {
            ProbeTexture texture(13, 5);
            const Region all(0, 0, 13, 5);
            texture.LoadTexture(&image, all, all, false);
            const std::vector<Pixel> texels = texture.Read();
            // Loaded into a float texture, every value arrives as the layout holds it, up to
            // float rounding in the normalisation.
            const float tolerance = 2e-6f;
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 13; ++x)
                    for (int c = 0; c < 4; ++c)
                        ASSERT_NEAR(texels[static_cast<size_t>(y) * 13 + x][c],
                                    held[static_cast<size_t>(y) * 13 + x][c], tolerance)
                            << layout.name << (bottomUp ? " bottom-up" : " top-down") << " at " << x
                            << "," << y << " channel " << c;
        });
    }
}

INSTANTIATE_TEST_SUITE_P(HostLayouts, LoadLayouts, ::testing::ValuesIn(LoadLayoutList()),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                             return std::string(info.param.name);
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

// Textures load when first applied, which may be while the caller's own program is current:
// the load's plain passes must not run through it, and it must be current again afterwards.
TEST(TextureLoad, PlainPassesIgnoreTheCallersProgram) {
    RunOnWorker([] {
        GLSL::Shader red(GL_FRAGMENT_SHADER, "#version 110\nvoid main() { gl_FragColor = "
                                             "vec4(1.0, 0.0, 0.0, 1.0); }\n");
        EffectProgram program(&red);
        TestImage image(4, 2, Fourcc("RGBA"), 32, 255, false); // 8-bit, top-down
        TestImage mask(4, 2, Fourcc("RGBA"), 32, 255, false);
        for (int i = 0; i < 8; ++i) {
            const uint8_t pixel[4] = {0, 128, 255, 255};
            std::memcpy(image.Bytes() + 4 * i, pixel, 4);
            mask.Bytes()[4 * i + 3] = 51;
        }
        ProbeTexture texture(4, 2);
        texture.SetFit(); // fit mode always draws
        const Region all(0, 0, 4, 2);
        program.Apply();
        const GLint current = [] {
            GLint name = 0;
            glGetIntegerv(GL_CURRENT_PROGRAM, &name);
            return name;
        }();
        ASSERT_NE(current, 0);
        texture.LoadTexture(&image, all, all, false);
        texture.MaskTexture(&mask, all, all, false);
        GLint after = 0;
        glGetIntegerv(GL_CURRENT_PROGRAM, &after);
        EXPECT_EQ(after, current);
        TESK_GL(glUseProgram)(0);
        for (const Pixel& texel : texture.Read()) {
            EXPECT_NEAR(texel[0], 0.0f, 1e-6);
            EXPECT_NEAR(texel[2], 1.0f, 1e-6);
            EXPECT_NEAR(texel[3], 0.2f, 1e-6);
        }
    });
}

// A layout OpenGL takes no pixels in leaves the region transparent, not what the texture held.
TEST(TextureLoad, UnknownLayoutsLoadAsTransparent) {
    RunOnWorker([] {
        TestImage red(4, 2, Fourcc("RGBA"), 128, 1, true);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x) red.At<Pixel>(x, y) = {1.0f, 0.0f, 0.0f, 1.0f};
        TestImage unknown(2, 2, Fourcc("zzzz"), 32, 255, false);
        std::memset(unknown.Bytes(), 0x7f, unknown.ByteCount());
        ProbeTexture texture(4, 2);
        texture.LoadTexture(&red, Region(0, 0, 4, 2), Region(0, 0, 4, 2), false);
        texture.LoadTexture(&unknown, Region(0, 0, 2, 2), Region(1, 0, 2, 2), false);
        const std::vector<Pixel> texels = texture.Read();
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x) {
                const float expected = x == 1 || x == 2 ? 0.0f : 1.0f;
                EXPECT_EQ(texels[y * 4 + x][0], expected) << x << "," << y;
                EXPECT_EQ(texels[y * 4 + x][3], expected) << x << "," << y;
            }
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

// Pixels that only need turning over or converting to half floats take shortcuts around the
// drawing pass (and a fit of the same size always draws): each layout, in either row order,
// must give the same half-float texels both ways.
TEST(TextureLoad, ShortcutsGiveTheTexelsOfTheDrawingPass) {
    for (const Layout& layout : HostLayouts())
        for (bool bottomUp : {true, false}) {
            TestImage image = MakeImage(layout, 300, 7, bottomUp);
            FillRandom(layout, image, 3u + bottomUp);
            RunOnWorker([&] {
                std::vector<uint16_t> texels[2];
                for (int fit = 0; fit < 2; ++fit) {
                    class HalfTexture : public Texture {
                    public:
                        HalfTexture(bool fitted) {
                            key =
                                TextureKey(GL_TEXTURE_RECTANGLE_ARB, 300, 7, GL_RGBA16F_ARB, true);
                            if (fitted) SetFit();
                            BindTexture();
                        }
                    } texture(fit == 1);
                    const Region all(0, 0, 300, 7);
                    texture.LoadTexture(&image, all, all, false);
                    texels[fit].resize(300 * 7 * 4);
                    Selection<TextureBuffer> selection(*texture.Buffer());
                    glPixelStorei(GL_PACK_ALIGNMENT, 4);
                    glReadPixels(0, 0, 300, 7, GL_RGBA, GL_HALF_FLOAT_ARB, texels[fit].data());
                }
                size_t differ = 0;
                for (size_t i = 0; i < texels[0].size(); ++i)
                    differ += texels[0][i] != texels[1][i];
                EXPECT_EQ(differ, 0u) << layout.name << (bottomUp ? " bottom-up" : " top-down");
            });
        }
}
