// Host images into textures: every layout in either row order, fits, masks, the half floats
// the library makes itself; the textures made of images; and the resource list across releases
// of the library.

#include "GLTest.h"
#include "HostLayouts.h"
#include "OpsReference.h"

#include "common/Errors.h"
#include "common/StaticList.h"
#include "gl/effects/Conversion.h"
#include "gl/effects/EffectProgram.h"
#include "gl/effects/GLSL.h"
#include "gl/texture/ImageTextures.h"
#include "gl/texture/Implementation/Transfer.h"
#include "gl/texture/Texture.h"
#include "gl/texture/TiledTexture.h"
#include "ops/BasicOps.h"

#include <algorithm>
#include <random>

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

const int32_t kRGBA = Fourcc("RGBA");

// A texture of an exact size and texel format, bound, as textures bind before they load.
class ProbeTexture : public Texture {
public:
    ProbeTexture(int width, int height, GLenum format = GL_RGBA32F_ARB, bool fit = false) {
        key = TextureKey(GL_TEXTURE_RECTANGLE_ARB, width, height, format, true);
        if (fit) SetFit();
        BindTexture();
    }
    template <class T = float> std::vector<T> Read() {
        return ReadTexels<T>(Buffer(), GetWidth(), GetHeight());
    }
};

// The host layouts, and a few more that exercise the white level and the swizzles.
std::vector<Layout> LoadLayoutList() {
    std::vector<Layout> layouts = HostLayouts();
    layouts.push_back({"rgba8_white200", kRGBA, 32, 200, Channel::U8, {0, 1, 2, 3}});
    layouts.push_back({"ten_bit", kRGBA, 64, 1023, Channel::U16, {0, 1, 2, 3}});
    layouts.push_back({"argb16", 32, 64, 65535, Channel::U16, {1, 2, 3, 0}});
    layouts.push_back({"argb_float", 32, 128, 1, Channel::Float, {1, 2, 3, 0}});
    return layouts;
}

class LoadLayouts : public ::testing::TestWithParam<Layout> {};

} // namespace

// Every texel arrives as the layout holds it, normalised, in either row order: in a float
// texture up to float rounding, in a 16-bit one up to its step. Into half floats, the shortcuts
// around the drawing pass (rows turned over, floats or bytes converted on the CPU) must give
// the texels of the pass, which a fit of the same size always takes.
TEST_P(LoadLayouts, TexelsArriveNormalisedUprightAndAsTheDrawingPassMakesThem) {
    const Layout& layout = GetParam();
    for (bool bottomUp : {true, false}) {
        SCOPED_TRACE(bottomUp ? "bottom-up" : "top-down");
        TestImage image = MakeImage(layout, 300, 7, bottomUp);
        const std::vector<RGBA> held = FillRandom(layout, image, 7u + bottomUp);
        RunOnWorker([&] {
            const auto load = [&](auto type, GLenum format, bool fit) {
                ProbeTexture texture(300, 7, format, fit);
                texture.LoadTexture(&image, Region(0, 0, 300, 7), Region(0, 0, 300, 7), false);
                return texture.Read<decltype(type)>();
            };
            const size_t n = held.size() * 4;
            EXPECT_TRUE(PixelsNear(load(0.0f, GL_RGBA32F_ARB, false), &held[0][0], n, 300, 2e-6));
            EXPECT_TRUE(PixelsNear(load(0.0f, GL_RGBA16, false), &held[0][0], n, 300, 1.0 / 65535));
            EXPECT_TRUE(PixelsNear(load(uint16_t(), GL_RGBA16F_ARB, false),
                                   load(uint16_t(), GL_RGBA16F_ARB, true), n, 300));
        });
    }
}

INSTANTIATE_TEST_SUITE_P(HostLayouts, LoadLayouts, ::testing::ValuesIn(LoadLayoutList()),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                             return std::string(info.param.name);
                         });

// A fit draws the source's shape letterboxed in the middle of the target, a stretch over all of
// it, and a processing step applies to what is loaded (premultiplied here).
TEST(TextureLoad, FitLetterboxesStretchFillsAndProcessingApplies) {
    RunOnWorker([] {
        TestImage red(100, 50, kRGBA, 128, 1, true);
        FillChannels<float>(red, [](int, int, int c) { return c == 0 ? 1.0f : c == 3 ? 0.5f : 0; });
        ProbeTexture texture(100, 100, GL_RGBA32F_ARB, true);
        texture.LoadTexture(&red, Region(0, 0, 100, 50), Region(0, 0, 100, 100), false);
        std::vector<float> texels = texture.Read();
        for (int y = 0; y < 100; ++y)
            ASSERT_EQ(texels[(y * 100 + 50) * 4 + 3], y >= 25 && y < 75 ? 0.5f : 0.0f) << y;
        texture.SetStretch();
        texture.SetLoadProcessing(&Conversion::sPremultiply);
        texture.LoadTexture(&red, Region(0, 0, 100, 50), Region(0, 0, 100, 100), false);
        texels = texture.Read();
        for (int i : {0, 3, 99 * 400 + 396}) EXPECT_FLOAT_EQ(texels[i], 0.5f) << i; // all over
    });
}

// Textures load when first applied, which may be while the caller's own program is current:
// the drawing pass a fit takes must not run through it, and it must be current again after.
// A mask multiplies alpha only; its rows follow its own row order (top-down here, so memory
// row 0 is texture row 1).
TEST(TextureLoad, LoadsAndMasksWhateverProgramIsCurrent) {
    RunOnWorker([] {
        GLSL::Shader white(GL_FRAGMENT_SHADER, "void main() { gl_FragColor = vec4(1.0); }\n");
        EffectProgram program(&white);
        TestImage bytes(4, 2), mask(4, 2);
        FillChannels<uint8_t>(bytes, [](int, int, int c) { return c ? 255 - 127 * (c == 1) : 0; });
        FillChannels<uint8_t>(mask, [](int, int y, int c) { return c < 3 ? 0 : y ? 51 : 255; });
        ProbeTexture texture(4, 2, GL_RGBA32F_ARB, true);
        program.Apply();
        const GLuint current = CurrentProgram();
        texture.LoadTexture(&bytes, Region(0, 0, 4, 2), Region(0, 0, 4, 2), false);
        texture.MaskTexture(&mask, Region(0, 0, 4, 2), Region(0, 0, 4, 2), false);
        EXPECT_TRUE(current && CurrentProgram() == current);
        TESK_GL(glUseProgram)(0);
        const float colour[4] = {0, 128 / 255.0f, 1, 1};
        const std::vector<float> texels = texture.Read();
        for (size_t i = 0; i < 32; ++i)
            EXPECT_NEAR(texels[i], colour[i % 4] * (i % 4 == 3 && i < 16 ? 0.2f : 1), 1e-6) << i;
    });
}

// A layout OpenGL takes no pixels in leaves its region (columns 1 and 2) transparent rather
// than showing what the recycled texture held, which may be another caller's picture.
TEST(TextureLoad, UnknownLayoutsLoadAsTransparent) {
    RunOnWorker([] {
        TestImage red(4, 2, kRGBA, 128, 1, true), unknown(2, 2, Fourcc("zzzz"), 32, 255, false);
        FillChannels<float>(red, [](int, int, int c) { return c % 3 ? 0.0f : 1.0f; });
        std::memset(unknown.Bytes(), 0x7f, unknown.ByteCount());
        ProbeTexture texture(4, 2);
        texture.LoadTexture(&red, Region(0, 0, 4, 2), Region(0, 0, 4, 2), false);
        texture.LoadTexture(&unknown, Region(0, 0, 2, 2), Region(1, 0, 2, 2), false);
        const std::vector<float> texels = texture.Read();
        for (size_t i = 0; i < texels.size(); ++i)
            EXPECT_EQ(texels[i], i / 4 % 4 % 3 || i % 4 % 3 ? 0.0f : 1.0f) << i;
    });
}

// One round of every kind of load first: the programs they use are made on first use, and
// those a release of the library swept off the list come back on it when they make their
// OpenGL objects again. After that, loads of any size and layout give back all they take.
TEST(TextureLoad, RepeatedLoadsLeakNothing) {
    RunOnWorker([] {
        const auto live = [] {
            int n = 0;
            for (Resource* r = Resource::LiveHead(); r; r = r->LiveNext()) ++n;
            return n;
        };
        std::mt19937 random(3);
        const auto load = [&](int cycle) {
            const int w = 1 + random() % 40, h = 1 + random() % 30;
            TestImage image(w, h, cycle % 2 ? 32 : kRGBA, cycle % 3 ? 32 : 64,
                            cycle % 3 ? 255 : 65535, cycle % 4 == 0);
            ProbeTexture texture(w, h);
            texture.LoadTexture(&image, Region(0, 0, w, h), Region(0, 0, w, h), false);
            texture.Read();
        };
        for (int cycle = 0; cycle < 12; ++cycle) load(cycle);
        TextureFactory& cache = TextureBuffer::Factory();
        cache.Finalize();
        const int resources = live(), total = cache.TotalBytes(), inUse = cache.InUseBytes();
        for (int cycle = 0; cycle < 200; ++cycle) load(cycle);
        EXPECT_EQ(cache.InUseBytes(), inUse);
        cache.Finalize();
        EXPECT_EQ(cache.TotalBytes(), total);
        EXPECT_EQ(live(), resources);
    });
}

// The library rounds floats to halves itself; the texels must be those the driver makes of the
// same floats, which sit on and around the midpoints between neighbouring halves (where a
// rounding rule shows), from subnormal halves to beyond the largest, both signs.
TEST(FloatRows, HalvesMatchTheDriversOwnConversion) {
    RunOnWorker([] {
        TestImage image(256, 64, kRGBA, 128, 1, true);
        float* values = reinterpret_cast<float*>(image.Bytes());
        for (size_t i = 0; i < image.ByteCount() / 4; ++i) {
            const int exponent = static_cast<int>(i % 36) - 19;
            const float low = std::ldexp(1 + float(i % 1021) / 1024, exponent);
            const float mid = std::ldexp(1 + (float(i % 1021) + 0.5f) / 1024, exponent);
            const float pick[4] = {mid, std::nextafter(mid, 0.0f), std::nextafter(mid, 1e9f), low};
            values[i] = pick[(i / 32) % 4] * ((i / 128) % 2 ? -1.0f : 1.0f);
        }
        const TextureKey half(GL_TEXTURE_RECTANGLE_ARB, 256, 64, GL_RGBA16F_ARB, true);
        TextureBuffer driver(half), library(half);
        const Region all(0, 0, 256, 64);
        driver.Bind();
        driver.LoadImageNative(&image, all, all, false);
        library.Bind();
        const transfer::Plan plan =
            transfer::PlanLoad(&image, library, all, all, false, false, false);
        ASSERT_EQ(plan.path, transfer::Path::kFloatTexels);
        transfer::Load(plan, library, &image, all, all);
        EXPECT_TRUE(PixelsNear(ReadTexels<uint16_t>(&library, 256, 64),
                               ReadTexels<uint16_t>(&driver, 256, 64), image.ByteCount() / 4, 256));
    });
}

// Regions count rows from the bottom of the picture: (0, 0, 100, 10) of a top-down image is
// its last ten memory rows. The same region again keeps what is loaded though the image
// changed; another reloads, and beyond its right and top edges the last texels repeat, so that
// filtering at the edge sees nothing else.
TEST(SubImageTexture, LoadsItsRegionOnceFromTheRightRowsAndRepeatsItsEdges) {
    RunOnWorker([] {
        TestImage image(100, 100);
        image.FillRandomBytes(21);
        SubImageTexture texture(&image);
        const auto load = [&](const Region& r) {
            texture.SetRegion(r);
            texture.Apply();
            return ReadTexels(texture.Buffer(), int(r.Width()) + 1, int(r.Height()) + 1);
        };
        const auto expected = [&](int x0, int y0, int w, int h) {
            return Gather(w + 1, h + 1, 4, [&](int x, int y) {
                return image.Row(99 - y0 - std::min(y, h - 1)) + (x0 + std::min(x, w - 1)) * 4;
            });
        };
        const std::vector<uint8_t> loaded = load(Region(0, 0, 100, 10));
        EXPECT_TRUE(SameBytes(loaded, expected(0, 0, 100, 10), 101));
        image.FillRandomBytes(22);
        EXPECT_TRUE(SameBytes(load(Region(0, 0, 100, 10)), loaded, 101));
        EXPECT_TRUE(SameBytes(load(Region(20, 10, 50, 10)), expected(20, 10, 50, 10), 51));
        texture.SetImage(nullptr);
        EXPECT_FALSE(texture.GetRegion().IsValid() || texture.IsLoaded());
    });
}

// A transparent ring of one texel around the image in either row order, the texture matrix
// spanning the image inside it.
TEST(BorderTexture, SurroundsTheImageWithATransparentRing) {
    RunOnWorker([] {
        for (bool bottomUp : {true, false}) {
            TestImage image(10, 10, kRGBA, 32, 255, bottomUp);
            image.FillRandomBytes(24 + bottomUp);
            for (size_t i = 3; i < image.ByteCount(); i += 4) image.Bytes()[i] |= 1; // no clear
            BorderTexture texture;
            texture.SetImage(&image);
            texture.Apply();
            const std::array<GLfloat, 16> m = Floats(GL_TEXTURE_MATRIX);
            EXPECT_TRUE(m[0] == 10 && m[12] == 1 && m[13] == 1);
            static const uint8_t clear[4] = {};
            const auto expected = Gather(12, 12, 4, [&](int x, int y) -> const uint8_t* {
                return x % 11 && y % 11 ? image.Row(bottomUp ? y - 1 : 10 - y) + x * 4 - 4 : clear;
            });
            EXPECT_TRUE(SameBytes(ReadTexels(texture.Buffer(), 12, 12), expected, 12)) << bottomUp;
        }
        EXPECT_THROW(BorderTexture().Load(), OpenGLError);
    });
}

// Only the leading images whose textures fit the budget are kept, missing ones counting for
// nothing: 7 x 2048 x 2048 x 16 = 469762048 bytes fit 512000000 and an 8th does not; 1000 x
// 700 counts as 1024 x 512 (8388608 bytes), so 61 fit, and with every third image missing the
// 62nd present is at index 91. Of three loaded, index 5 is texture 2, and preselected indices
// pick which image each texture shows.
TEST(MultiImageTexture, KeepsWhatFitsTheBudgetAndAppliesByIndexOrSelection) {
    RunOnWorker([] {
        TestImage large(2048, 2048, kRGBA, 32, 255, false, 4),
            medium(1000, 700, kRGBA, 32, 255, false, 4); // only sizes count
        std::vector<const XIImage*> larges(200, &large), gaps(120, &medium);
        for (int i = 2; i < 120; i += 3) gaps[i] = nullptr;
        MultiImageTexture set;
        set.SetImages(larges.data(), 200, true, nullptr);
        EXPECT_EQ(set.GetTextureCount(), 7);
        set.SetImages(gaps.data(), 120, false, nullptr);
        EXPECT_EQ(set.GetTextureCount(), 91);
        TestImage red(16, 16), clear(16, 16);
        FillChannels<uint32_t>(red, [](int, int, int) { return 0xFF0000FFu; });
        const XIImage* images[] = {&red, &clear, &clear};
        set.SetImages(images, 3, true, nullptr);
        int indices[] = {2, 0};
        set.PreSelectTextures(indices, 2);
        set.ApplyTexture(0, true); // texture 1, showing image 0
        ASSERT_TRUE(set.GetTexture(1)->Buffer());
        EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), GLint(set.GetTexture(1)->Buffer()->Name()));
        EXPECT_EQ(Texel(set.GetTexture(1)->Buffer(), 15, 15),
                  (std::array<uint8_t, 4>{255, 0, 0, 255}));
        set.ApplyTexture(5, false);
        ASSERT_TRUE(set.GetTexture(2)->Buffer());
        EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), GLint(set.GetTexture(2)->Buffer()->Name()));
    });
}

// Static programs and caches outlive the context: each last release of the library sweeps them
// off the resource list, and what they make in the next context must be listed again, or the
// next release would leave its names to the context after.
TEST(ResourceLifecycles, OperationsWorkInEachOfThreeContextsAndEachReleaseEmptiesTheList) {
    const Layout& layout = HostLayouts().front();
    for (uint32_t lifecycle = 0; lifecycle < 3; ++lifecycle) {
        TestImage source = MakeImage(layout, 13, 7), destination = MakeImage(layout, 13, 7);
        Picture expected = FillPicture(layout, source, 61u + lifecycle);
        for (RGBA& pixel : expected.pixels) pixel = Premultiplied(pixel);
        Premultiply(&source, &destination);
        EXPECT_EQ(FirstDifference(layout, destination, expected, Tolerance(layout)), "")
            << lifecycle;
        EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
        TESK_AE::StaticList::Decrement();
        EXPECT_EQ(Resource::LiveHead(), nullptr) << lifecycle;
        TESK_AE::StaticList::Increment();
    }
}

// A static texture applied in a later context must not bind a name it saw in an earlier one:
// names start over with each context, and there the name may be a texture of another target.
TEST(ResourceLifecycles, StaticTexturesBindNoNameFromAnEarlierContext) {
    const Layout& layout = HostLayouts().front();
    TestImage source = MakeImage(layout, 5, 3), destination = MakeImage(layout, 5, 3);
    FillPicture(layout, source, 7u);
    // CopyAlpha keeps its alpha texture in a static; a fresh context gives it a low name.
    TESK_AE::StaticList::Decrement();
    TESK_AE::StaticList::Increment();
    CopyAlpha(&source, &destination);
    TESK_AE::StaticList::Decrement();
    TESK_AE::StaticList::Increment();
    std::vector<GLuint> names(64);
    ASSERT_TRUE(RunOnWorker([&] {
        glGenTextures(GLsizei(names.size()), names.data());
        for (GLuint name : names) glBindTexture(GL_TEXTURE_2D, name);
    }));
    CopyAlpha(&source, &destination);
    // The check before the task fails on an error CopyAlpha left.
    EXPECT_TRUE(RunOnWorker([&] { glDeleteTextures(GLsizei(names.size()), names.data()); }));
}
