#include "GLTest.h"
#include "HostLayouts.h"
#include "OpsReference.h"

#include "common/Buffer.h"
#include "common/Shared.h"
#include "common/StaticList.h"
#include "common/PhaseTimer.h"
#include "ops/BasicOps.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

// Compares every pixel of image with expected(x, y); stops at the first difference.
void ExpectPixels(const Layout& layout, TestImage& image,
                  const std::function<RGBA(int, int)>& expected, float tolerance,
                  const std::string& what) {
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) {
            const RGBA want = expected(x, y), got = Get(layout, image, x, y);
            for (int c = 0; c < 4; ++c)
                if (std::fabs(got[c] - want[c]) > tolerance) {
                    ADD_FAILURE() << what << " " << layout.name << " at (" << x << ", " << y
                                  << ") channel " << c << ": got " << got[c] << ", expected "
                                  << want[c];
                    return;
                }
        }
}

RGBA At(const std::vector<RGBA>& pixels, int width, int x, int y) {
    return pixels[static_cast<size_t>(y) * width + x];
}

class BasicOps : public ::testing::TestWithParam<Layout> {};

} // namespace

TEST_P(BasicOps, PerPixelOperationsMatchTheirFormulas) {
    const Layout& layout = GetParam();
    const Layout& floatLayout = HostLayouts().back();
    const int w = 37, h = 23;
    TestImage source = MakeImage(layout, w, h);
    const std::vector<RGBA> s = FillRandom(layout, source, 11);
    const float tolerance = Tolerance(layout);

    TestImage premultiplied = MakeImage(layout, w, h);
    Premultiply(&source, &premultiplied);
    ExpectPixels(
        layout, premultiplied,
        [&](int x, int y) {
            const RGBA p = At(s, w, x, y);
            return RGBA{p[0] * p[3], p[1] * p[3], p[2] * p[3], p[3]};
        },
        tolerance, "Premultiply");

    // Copies between layouts go through the card.
    TestImage asFloat = MakeImage(floatLayout, w, h, true);
    Copy(&source, &asFloat);
    ExpectPixels(
        floatLayout, asFloat, [&](int x, int y) { return At(s, w, x, y); }, tolerance,
        "Copy to float");
    TestImage back = MakeImage(layout, w, h);
    Copy(&asFloat, &back);
    ExpectPixels(
        layout, back, [&](int x, int y) { return At(s, w, x, y); }, tolerance, "Copy from float");

    TestImage cleared = MakeImage(layout, w, h);
    Clear(&cleared, Color(0.25f, 0.5f, 0.75f, 1.0f));
    ExpectPixels(
        layout, cleared,
        [](int, int) {
            return RGBA{0.25f, 0.5f, 0.75f, 1.0f};
        },
        tolerance, "Clear");

    // Colour over the image where the mask lets it through.
    TestImage mask = MakeImage(layout, w, h);
    const std::vector<RGBA> m = FillRandom(layout, mask, 12);
    const Color colour(0.9f, 0.1f, 0.4f, 0.8f);
    for (bool inverse : {false, true}) {
        TestImage masked = MakeImage(layout, w, h);
        (inverse ? RenderInvMask : RenderMask)(&mask, &source, &masked, colour);
        ExpectPixels(
            layout, masked,
            [&](int x, int y) {
                const RGBA i = At(s, w, x, y);
                const float ma = At(m, w, x, y)[3];
                const float t = colour.a * (inverse ? 1.0f - ma : ma);
                return RGBA{i[0] * (1 - t) + colour.r * t, i[1] * (1 - t) + colour.g * t,
                            i[2] * (1 - t) + colour.b * t, i[3] * (1 - t) + t};
            },
            2 * tolerance, inverse ? "RenderInvMask" : "RenderMask");
    }

    // The destination keeps its colour and takes the source's alpha.
    TestImage withAlpha = MakeImage(layout, w, h);
    const std::vector<RGBA> d = FillRandom(layout, withAlpha, 13);
    CopyAlpha(&source, &withAlpha);
    ExpectPixels(
        layout, withAlpha,
        [&](int x, int y) {
            RGBA p = At(d, w, x, y);
            p[3] = At(s, w, x, y)[3];
            return p;
        },
        tolerance, "CopyAlpha");

    Buffer<AlphaPixelType<float>> alpha;
    ASSERT_TRUE(alpha.Resize(&source));
    GetAlpha(&source, &alpha);
    Buffer<LumaPixelType<float>> luma;
    ASSERT_TRUE(luma.Resize(&source));
    GetLuma(&source, &luma);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const RGBA p = At(s, w, x, y);
            ASSERT_NEAR(alpha.Row(y)[x].alpha, p[3], tolerance) << layout.name << " alpha";
            ASSERT_NEAR(luma.Row(y)[x].luma, p[3] * (0.30f * p[0] + 0.59f * p[1] + 0.11f * p[2]),
                        2 * tolerance)
                << layout.name << " luma at " << x << "," << y;
        }
    EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
}

TEST_P(BasicOps, PlacementAndResampling) {
    const Layout& layout = GetParam();
    const int sw = 20, sh = 10;
    TestImage source = MakeImage(layout, sw, sh);
    const Picture s = FillPicture(layout, source, 21);
    const float tolerance = Tolerance(layout);
    const RGBA transparent{0, 0, 0, 0};

    // Centred at its own size; the rest is transparent.
    TestImage centred = MakeImage(layout, 31, 17);
    Center(&source, &centred);
    ExpectPixels(
        layout, centred,
        [&](int x, int y) {
            const int u = x - (31 - sw) / 2, v = y - (17 - sh) / 2;
            return u >= 0 && u < sw && v >= 0 && v < sh ? s.At(u, v) : transparent;
        },
        tolerance, "Center");

    // Resampling: a pixel centre maps to (x + 0.5) * k in the source, filtered bilinearly.
    for (const auto& size : {std::pair<int, int>{10, 5}, std::pair<int, int>{33, 27}}) {
        TestImage resized = MakeImage(layout, size.first, size.second);
        Resize(&source, &resized);
        const double kx = double(sw) / size.first, ky = double(sh) / size.second;
        ExpectPixels(
            layout, resized,
            [&](int x, int y) { return Bilinear(s, (x + 0.5) * kx, (y + 0.5) * ky); },
            tolerance + kFilterTolerance, "Resize");
    }

    // Fit: 20 x 10 into 16 x 16 keeps the shape, 16 x 8, centred vertically.
    TestImage fitted = MakeImage(layout, 16, 16);
    FitInto(&source, &fitted);
    ExpectPixels(
        layout, fitted,
        [&](int x, int y) {
            if (y < 4 || y >= 12) return transparent;
            return Bilinear(s, (x + 0.5) * 1.25, (y - 4 + 0.5) * 1.25);
        },
        tolerance + kFilterTolerance, "FitInto");
}

INSTANTIATE_TEST_SUITE_P(HostLayouts, BasicOps, ::testing::ValuesIn(HostLayouts()),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                             return std::string(info.param.name);
                         });

TEST(BasicOpsTiles, LargeImagesCrossTileBordersWithoutSeams) {
    const Layout& layout = HostLayouts().front(); // 8-bit RGBA
    const int w = 2100, h = 1100;                 // four tiles of at most 2048 x 1080
    TestImage source = MakeImage(layout, w, h);
    const Picture s = FillPicture(layout, source, 31);
    TestImage premultiplied = MakeImage(layout, w, h);
    Premultiply(&source, &premultiplied);
    ExpectPixels(
        layout, premultiplied, [&](int x, int y) { return Premultiplied(s.At(x, y)); },
        Tolerance(layout), "Premultiply across tiles");

    TestImage resized = MakeImage(layout, 1500, 1200);
    Resize(&source, &resized);
    const double kx = double(w) / 1500, ky = double(h) / 1200;
    ExpectPixels(
        layout, resized, [&](int x, int y) { return Bilinear(s, (x + 0.5) * kx, (y + 0.5) * ky); },
        Tolerance(layout) + kFilterTolerance, "Resize across tiles");
}

// Repeating calls must not make textures or render buffers: the tile target and a source
// larger than a tile go back to the caches in an order that lets each find its own again.
// (Returned the other way, the target takes the source's texture, and its depth buffer of that
// size is over the render-buffer budget, so both are made anew on every call.)
TEST(BasicOpsTiles, RepeatedCallsReuseTheirTextures) {
    const Layout& layout = HostLayouts().front();
    TestImage source = MakeImage(layout, 3000, 1500);
    FillRandom(layout, source, 5);
    TestImage resized = MakeImage(layout, 1500, 750), small = MakeImage(layout, 64, 64);
    TestImage smallSource = MakeImage(layout, 64, 64);
    FillRandom(layout, smallSource, 6);
    int64_t made[3] = {};
    for (int i = 0; i < 3; ++i) {
        Resize(&source, &resized);
        Premultiply(&smallSource, &small);
        made[i] = PhaseTimes::Count(Phase::Allocation);
    }
    EXPECT_EQ(made[2], made[0]);
    EXPECT_EQ(made[1], made[0]);
}

// GetAlpha and GetLuma draw over whole tiles without clearing them first; a tile that the
// stretched source does not reach (a 1-pixel source over 4000 pixels: the first tile's share
// rounds down to nothing) must still come out transparent, not as what the previous call left
// in the render target.
TEST(BasicOpsEdges, StretchedBuffersClearTilesTheSourceMisses) {
    const Layout& layout = HostLayouts().front(); // 8-bit RGBA
    const int w = 4000, h = 12;
    TestImage opaque = MakeImage(layout, w, h), dot = MakeImage(layout, 1, 1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) Put(layout, opaque, x, y, RGBA{1, 1, 1, 1});
    Put(layout, dot, 0, 0, RGBA{1, 0, 0, 1});
    Buffer<AlphaPixelType<float>> alpha;
    Buffer<LumaPixelType<float>> luma;
    ASSERT_TRUE(alpha.Resize(w, h));
    ASSERT_TRUE(luma.Resize(w, h));
    GetAlpha(&opaque, &alpha);
    GetAlpha(&dot, &alpha);
    GetLuma(&opaque, &luma);
    GetLuma(&dot, &luma);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; x += 7) {
            const bool reached = x >= 2048;
            ASSERT_EQ(alpha.Row(y)[x].alpha, reached ? 1.0f : 0.0f) << x << "," << y;
            ASSERT_NEAR(luma.Row(y)[x].luma, reached ? 0.30f : 0.0f, 1e-3f) << x << "," << y;
        }
}

// A clear renders one pixel and repeats it. An opaque colour laid over an image through an
// opaque mask is rendered tile by tile and must come out as the same pixels; the row padding
// is left alone.
TEST(BasicOpsEdges, ClearRepeatsTheRenderedPixelExactly) {
    for (const Layout& layout : HostLayouts())
        for (bool bottomUp : {false, true}) {
            const int w = 37, h = 9, pixel = layout.bitDepth / 8, rowBytes = (w + 4) * pixel;
            auto make = [&] {
                return TestImage(w, h, layout.code, layout.bitDepth, layout.white, bottomUp,
                                 rowBytes);
            };
            TestImage cleared = make(), masked = make(), mask = make(), image = make();
            std::memset(cleared.Bytes(), 0xab, cleared.ByteCount());
            FillRandom(layout, image, 4);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) Put(layout, mask, x, y, RGBA{0, 0, 0, 1});
            const Color colour(1.25f, 0.4f, -0.1f, 1.0f);
            Clear(&cleared, colour);
            RenderMask(&mask, &image, &masked, colour);
            for (int y = 0; y < h; ++y) {
                ASSERT_EQ(std::memcmp(cleared.Row(y), masked.Row(y), w * pixel), 0)
                    << layout.name << (bottomUp ? " bottom-up" : " top-down") << " row " << y;
                for (int b = w * pixel; b < rowBytes; ++b)
                    ASSERT_EQ(cleared.Row(y)[b], 0xab) << layout.name << " padding";
            }
        }
}

// Between 8-bit layouts a copy goes through half floats and back, which loses nothing: every
// byte must arrive unchanged, in its new place, whichever way each image's rows run. Two of the
// copies are large enough to put parts of the image on four tiles.
TEST(BasicOpsTiles, EightBitCopiesAreExactInEveryRowOrder) {
    std::vector<Layout> bytes;
    for (const Layout& layout : HostLayouts())
        if (layout.channel == Channel::U8) bytes.push_back(layout);
    auto check = [](const Layout& from, bool fromBottomUp, const Layout& to, bool toBottomUp, int w,
                    int h) {
        TestImage source = MakeImage(from, w, h, fromBottomUp);
        TestImage destination = MakeImage(to, w, h, toBottomUp);
        const std::vector<RGBA> held = FillRandom(from, source, 17u + w);
        Copy(&source, &destination);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_TRUE(Get(to, destination, x, y) == held[static_cast<size_t>(y) * w + x])
                    << from.name << (fromBottomUp ? " bottom-up" : "") << " to " << to.name
                    << (toBottomUp ? " bottom-up" : "") << " at " << x << "," << y;
    };
    for (const Layout& from : bytes)
        for (const Layout& to : bytes)
            for (int orders = 0; orders < 4; ++orders)
                check(from, orders & 1, to, orders & 2, 37, 23);
    check(bytes[0], false, bytes[1], false, 2100, 1090);
    check(bytes[1], true, bytes[2], false, 2100, 1090);
}

TEST(BasicOpsEdges, NamedValuesAndInvalidImages) {
    const Layout& floatLayout = HostLayouts().back();
    TestImage one = MakeImage(floatLayout, 1, 1);
    Put(floatLayout, one, 0, 0, {1.0f, 0.5f, 0.25f, 0.5f});
    TestImage out = MakeImage(floatLayout, 1, 1);
    Premultiply(&one, &out);
    const RGBA p = Get(floatLayout, out, 0, 0);
    EXPECT_FLOAT_EQ(p[0], 0.5f);
    EXPECT_FLOAT_EQ(p[1], 0.25f);
    EXPECT_FLOAT_EQ(p[2], 0.125f);
    EXPECT_FLOAT_EQ(p[3], 0.5f);

    // Invalid images: a silent return, the destination untouched.
    TestImage untouched = MakeImage(floatLayout, 2, 2);
    Put(floatLayout, untouched, 1, 1, {0.1f, 0.2f, 0.3f, 0.4f});
    TestImage noBase = MakeImage(floatLayout, 2, 2);
    noBase.SetBaseAddress(nullptr);
    Premultiply(&noBase, &untouched);
    Copy(nullptr, &untouched);
    RenderMask(nullptr, &one, &untouched, Color::White);
    EXPECT_FLOAT_EQ(Get(floatLayout, untouched, 1, 1)[2], 0.3f);
}

TEST(BasicOpsEdges, FastPathsNeverTouchTheCard) {
    // With the context made to fail, anything that needs the card leaves its destination as it
    // was; the memory paths still work.
    const Layout& layout = HostLayouts().front();
    TESK_AE::StaticList::Decrement(); // stops the worker the suite holds
    setenv("TESK_AE_FAIL_CONTEXT", "1", 1);
    TestImage source = MakeImage(layout, 9, 4);
    const std::vector<RGBA> s = FillRandom(layout, source, 41);
    TestImage copy = MakeImage(layout, 9, 4), resized = MakeImage(layout, 9, 4);
    Copy(&source, &copy);
    Resize(&source, &resized);
    TestImage cleared = MakeImage(layout, 9, 4);
    FillRandom(layout, cleared, 42);
    Clear(&cleared, Color::Transparent);
    TestImage viaCard = MakeImage(layout, 9, 4);
    Clear(&viaCard, Color(0.0f, 0.0f, 0.0f, 0.5f));
    const std::string error = Shared::ErrorMessage();
    unsetenv("TESK_AE_FAIL_CONTEXT");
    TESK_AE::StaticList::Increment();

    ExpectPixels(
        layout, copy, [&](int x, int y) { return At(s, 9, x, y); }, 0.0f, "Copy bytes");
    ExpectPixels(
        layout, resized, [&](int x, int y) { return At(s, 9, x, y); }, 0.0f, "Resize bytes");
    ExpectPixels(
        layout, cleared,
        [](int, int) {
            return RGBA{0, 0, 0, 0};
        },
        0.0f, "Clear bytes");
    EXPECT_EQ(error, "OpenGL context failure.");
    // The half-transparent clear needed the card, which was not there.
    ExpectPixels(
        layout, viaCard,
        [](int, int) {
            return RGBA{0, 0, 0, 0};
        },
        0.0f, "Clear untouched");
    TestImage again = MakeImage(layout, 9, 4);
    Clear(&again, Color(0.0f, 0.0f, 0.0f, 0.5f)); // the card is back
    ExpectPixels(
        layout, again,
        [](int, int) {
            return RGBA{0, 0, 0, 0.5f};
        },
        1.0f / 255, "Clear via card");
}

TEST(BasicOpsThreads, EightHostThreadsAtOnce) {
    const Layout& layout = HostLayouts()[1]; // code 32
    std::vector<std::thread> threads;
    std::vector<int> failures(8, 0);
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([t, &layout, &failures] {
            for (int round = 0; round < 3; ++round) {
                const int w = 5 + t, h = 3 + round;
                TestImage source = MakeImage(layout, w, h);
                const std::vector<RGBA> s = FillRandom(layout, source, uint32_t(100 * t + round));
                TestImage out = MakeImage(layout, w, h);
                Premultiply(&source, &out);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const RGBA p = At(s, w, x, y), got = Get(layout, out, x, y);
                        for (int c = 0; c < 3; ++c)
                            failures[t] += std::fabs(got[c] - p[c] * p[3]) > Tolerance(layout);
                    }
            }
        });
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < 8; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
}
