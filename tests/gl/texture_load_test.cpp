#include "GLTest.h"
#include "HostLayouts.h"

#include "gl/effects/Conversion.h"
#include "gl/effects/EffectProgram.h"
#include "gl/effects/GLSL.h"
#include "gl/texture/Texture.h"

#include <random>

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

// A texture of an exact size and texel format that tests can load into and read back.
class ProbeTexture : public Texture {
public:
    ProbeTexture(int width, int height, GLenum format = GL_RGBA32F_ARB, bool fit = false) {
        key = TextureKey(GL_TEXTURE_RECTANGLE_ARB, width, height, format, true);
        if (fit) SetFit();
        // Loading goes into the bound texture, as the textures that load images bind first.
        BindTexture();
    }
    // The whole texture, bottom row first.
    template <class T = float> std::vector<T> Read() {
        return ReadTexels<T>(Buffer(), GetWidth(), GetHeight());
    }
};

// The host layouts, and a few more that exercise the white level and the swizzles.
std::vector<Layout> LoadLayoutList() {
    std::vector<Layout> layouts = HostLayouts();
    layouts.push_back({"rgba8_white200", Fourcc("RGBA"), 32, 200, Channel::U8, {0, 1, 2, 3}});
    layouts.push_back({"ten_bit", Fourcc("RGBA"), 64, 1023, Channel::U16, {0, 1, 2, 3}});
    layouts.push_back({"argb16", 32, 64, 65535, Channel::U16, {1, 2, 3, 0}});
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
            // Loaded into a float texture, every value arrives as the layout holds it, up to
            // float rounding in the normalisation.
            EXPECT_TRUE(PixelsNear(texture.Read(), &held[0][0], held.size() * 4, 13, 2e-6))
                << layout.name << (bottomUp ? " bottom-up" : " top-down");
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
        FillChannels<float>(red, [](int, int, int c) { return c == 0 ? 1.0f : c == 3 ? 0.5f : 0; });
        ProbeTexture texture(100, 100);
        texture.SetFit();
        texture.LoadTexture(&red, Region(0, 0, 100, 50), Region(0, 0, 100, 100), false);
        std::vector<float> texels = texture.Read();
        for (int y = 0; y < 100; ++y) {
            const bool inside = y >= 25 && y < 75;
            ASSERT_EQ(texels[(y * 100 + 50) * 4 + 3], inside ? 0.5f : 0.0f) << y;
        }

        texture.SetStretch();
        texture.SetLoadProcessing(&Conversion::sPremultiply);
        texture.LoadTexture(&red, Region(0, 0, 100, 50), Region(0, 0, 100, 100), false);
        texels = texture.Read();
        EXPECT_FLOAT_EQ(texels[0], 0.5f); // premultiplied red
        EXPECT_FLOAT_EQ(texels[3], 0.5f);
        EXPECT_FLOAT_EQ(texels[(99 * 100 + 99) * 4], 0.5f); // the whole target is covered
    });
}

// A mask multiplies alpha only; its rows follow its own row order (top-down here, so memory row
// 0 is the top: texture row 1). Textures load when first applied, which may be while the
// caller's own program is current: loading, straight or through the drawing pass a fit takes,
// must not run through it, and it must be current again afterwards.
TEST(TextureLoad, MaskMultipliesAlphaOnlyWhateverProgramIsCurrent) {
    RunOnWorker([] {
        GLSL::Shader red(GL_FRAGMENT_SHADER, "#version 110\nvoid main() { gl_FragColor = "
                                             "vec4(1.0, 0.0, 0.0, 1.0); }\n");
        EffectProgram program(&red);
        TestImage floats(4, 2, Fourcc("RGBA"), 128, 1, true);
        FillChannels<float>(floats, [](int, int, int c) { return 0.2f * (c + 1); });
        TestImage bytes(4, 2, Fourcc("RGBA"), 32, 255, false);
        FillChannels<uint8_t>(bytes, [](int, int, int c) { return c ? 255 - 127 * (c == 1) : 0; });
        TestImage mask(4, 2, Fourcc("RGBA"), 32, 255, false);
        for (int x = 0; x < 4; ++x) mask.Row(0)[x * 4 + 3] = 255, mask.Row(1)[x * 4 + 3] = 51;
        const Region all(0, 0, 4, 2);
        for (bool fit : {false, true}) {
            ProbeTexture texture(4, 2, GL_RGBA32F_ARB, fit);
            program.Apply();
            const GLuint current = CurrentProgram();
            ASSERT_NE(current, 0u);
            texture.LoadTexture(fit ? &bytes : &floats, all, all, false);
            texture.MaskTexture(&mask, all, all, false);
            EXPECT_EQ(CurrentProgram(), current);
            TESK_GL(glUseProgram)(0);
            const float colour[4] = {fit ? 0.0f : 0.2f, fit ? 128 / 255.0f : 0.4f,
                                     fit ? 1.0f : 0.6f, fit ? 1.0f : 0.8f};
            std::vector<float> expected(4 * 2 * 4);
            for (size_t i = 0; i < expected.size(); ++i)
                expected[i] = colour[i % 4] * (i % 4 == 3 && i < 16 ? 0.2f : 1.0f);
            EXPECT_TRUE(PixelsNear(texture.Read(), expected, expected.size(), 4, 1e-6)) << fit;
        }
    });
}

// A layout OpenGL takes no pixels in leaves the region transparent, not what the texture held.
TEST(TextureLoad, UnknownLayoutsLoadAsTransparent) {
    RunOnWorker([] {
        TestImage red(4, 2, Fourcc("RGBA"), 128, 1, true);
        FillChannels<float>(red, [](int, int, int c) { return c == 0 || c == 3 ? 1.0f : 0.0f; });
        TestImage unknown(2, 2, Fourcc("zzzz"), 32, 255, false);
        std::memset(unknown.Bytes(), 0x7f, unknown.ByteCount());
        ProbeTexture texture(4, 2);
        texture.LoadTexture(&red, Region(0, 0, 4, 2), Region(0, 0, 4, 2), false);
        texture.LoadTexture(&unknown, Region(0, 0, 2, 2), Region(1, 0, 2, 2), false);
        std::vector<float> expected(4 * 2 * 4, 0.0f);
        for (int y = 0; y < 2; ++y)
            for (int x : {0, 3}) expected[(y * 4 + x) * 4] = expected[(y * 4 + x) * 4 + 3] = 1;
        EXPECT_TRUE(PixelsNear(texture.Read(), expected, expected.size(), 4));
    });
}

TEST(TextureLoad, RepeatedLoadsLeakNothing) {
    RunOnWorker([] {
        auto liveResources = [] {
            int n = 0;
            for (Resource* r = Resource::LiveHead(); r; r = r->LiveNext()) ++n;
            return n;
        };
        std::mt19937 random(3);
        const auto load = [&](int cycle) {
            const int w = 1 + static_cast<int>(random() % 40),
                      h = 1 + static_cast<int>(random() % 30);
            TestImage image(w, h, cycle % 2 ? 32 : Fourcc("RGBA"), cycle % 3 ? 32 : 64,
                            cycle % 3 ? 255 : 65535, cycle % 4 == 0);
            ProbeTexture texture(w, h);
            texture.LoadTexture(&image, Region(0, 0, w, h), Region(0, 0, w, h), false);
            texture.Read();
        };
        // One round of every kind of load first: the programs they use are made on first use,
        // and those a release of the library swept off the list come back on it when they make
        // their OpenGL objects again.
        for (int cycle = 0; cycle < 12; ++cycle) load(cycle);
        TextureFactory& cache = TextureBuffer::Factory();
        cache.Finalize();
        const int live = liveResources();
        const int total = cache.TotalBytes(), inUse = cache.InUseBytes();
        for (int cycle = 0; cycle < 200; ++cycle) load(cycle);
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
                for (bool fit : {false, true}) {
                    ProbeTexture texture(300, 7, GL_RGBA16F_ARB, fit);
                    texture.LoadTexture(&image, Region(0, 0, 300, 7), Region(0, 0, 300, 7), false);
                    texels[fit] = texture.Read<uint16_t>();
                }
                EXPECT_TRUE(PixelsNear(texels[0], texels[1], texels[0].size(), 300))
                    << layout.name << (bottomUp ? " bottom-up" : " top-down");
            });
        }
}
