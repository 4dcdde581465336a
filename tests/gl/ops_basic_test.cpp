// Every basic operation against its CPU reference over the host layouts, and what that sweep does
// not reach: seams between tiles, the caches' return order, the clear-skip guard, and clears and
// 8-bit copies that must come out exact.

#include "Operations.h"

#include "common/PhaseTimer.h"
#include "common/Reason.h"

using namespace OGL_TESK_AE;
using namespace tesk_test;

using BasicOps = ::testing::TestWithParam<std::tuple<Layout, Operation>>;

TEST_P(BasicOps, MatchesItsCpuReference) {
    for (int pairing = 0; pairing < 3; ++pairing)
        CheckRow(std::get<1>(GetParam()), std::get<0>(GetParam()), pairing);
}

INSTANTIATE_TEST_SUITE_P(HostLayouts, BasicOps,
                         ::testing::Combine(::testing::ValuesIn(HostLayouts()),
                                            ::testing::ValuesIn(Operations())),
                         ::testing::PrintToStringParamName());

// Six tiles of at most 2048 x 540. Between 8-bit layouts a copy goes through half floats and
// back, which loses nothing: across the seams too, every byte must arrive in its new place. A
// blur sums a tile in bands of rows.
TEST(BasicOpsTiles, LargeImagesCrossTileBordersWithoutSeams) {
    const Layout& rgba8 = HostLayouts().front();
    Held source(Kind::Image, rgba8, 2100, 1100, false, 31), none(Kind::None, rgba8, 0, 0, false, 0);
    Held premultiplied(Kind::Image, rgba8, 2100, 1100, false, 32);
    Held resized(Kind::Image, rgba8, 1500, 1200, false, 33);
    Held copied(Kind::Image, HostLayouts()[1], 2100, 1100, true, 34); // argb8, bottom-up
    EXPECT_TRUE(RunAndCompare(OperationNamed("Premultiply"), source, none, premultiplied, {}));
    EXPECT_TRUE(RunAndCompare(OperationNamed("Resize"), source, none, resized, {}));
    Copy(source.Get(), copied.Get());
    EXPECT_TRUE(PixelsNear(copied.Read().pixels, source.held.pixels, 2100));
    EXPECT_TRUE(RunAndCompare(OperationNamed("Blur"), source, none, premultiplied, {}));
}

// Repeating calls must not make textures or render buffers: the tile target and a source
// larger than a tile go back to the caches in an order that lets each find its own again.
// (Returned the other way, the target takes the source's texture, and its depth buffer of that
// size is over the render-buffer budget, so both are made anew on every call.)
TEST(BasicOpsTiles, RepeatedCallsReuseTheirTextures) {
    const Layout& rgba8 = HostLayouts().front();
    TestImage source = MakeImage(rgba8, 3000, 1500), small = MakeImage(rgba8, 64, 64);
    TestImage resized = MakeImage(rgba8, 1500, 750), premultiplied = MakeImage(rgba8, 64, 64);
    int64_t made[3] = {};
    for (int64_t& count : made) {
        Resize(&source, &resized);
        Premultiply(&small, &premultiplied);
        count = PhaseTimes::Count(Phase::Allocation);
    }
    EXPECT_EQ(std::vector<int64_t>(made, made + 3), std::vector<int64_t>(3, made[0]));
}

// GetAlpha and GetLuma draw over whole tiles without clearing them first; a tile that the
// stretched source does not reach (a 1-pixel source over 4000 pixels: the first tile's share
// rounds down to nothing) must still come out transparent, not as what the previous call left
// in the render target.
TEST(BasicOpsEdges, StretchedBuffersClearTilesTheSourceMisses) {
    const int w = 4000, h = 12;
    TestImage white = MakeImage(HostLayouts()[0], w, h), dot = MakeImage(HostLayouts()[0], 1, 1);
    std::memset(white.Bytes(), 0xff, white.ByteCount());
    Put(HostLayouts()[0], dot, 0, 0, RGBA{1, 0, 0, 1});
    AlphaBuffer alpha;
    LumaBuffer luma;
    ASSERT_TRUE(alpha.Resize(w, h) && luma.Resize(w, h));
    GetAlpha(&white, &alpha), GetAlpha(&dot, &alpha);
    GetLuma(&white, &luma), GetLuma(&dot, &luma);
    for (int i = 0; i < w * h; i += 7) {
        const float reached = i % w >= 2048;
        ASSERT_EQ(alpha.Row(i / w)[i % w].alpha, reached) << i % w << "," << i / w;
        ASSERT_NEAR(luma.Row(i / w)[i % w].luma, 0.30f * reached, 1e-3f) << i % w << "," << i / w;
    }
}

// A clear renders one pixel and repeats it. An opaque colour laid over an image through an
// opaque mask is rendered tile by tile and must come out as the same bytes; the row padding is
// left alone by both.
TEST(BasicOpsEdges, ClearRepeatsTheRenderedPixelExactly) {
    const Color colour(1.25f, 0.4f, -0.1f, 1.0f);
    for (const Layout& layout : HostLayouts())
        for (bool up : {false, true}) {
            Held image(Kind::Image, layout, 37, 9, up, 4),
                cleared(Kind::Image, layout, 37, 9, up, 5);
            TestImage mask = MakeImage(layout, 37, 9, up), masked = MakeImage(layout, 37, 9, up);
            for (int i = 0; i < 37 * 9; ++i) Put(layout, mask, i % 37, i / 37, RGBA{0, 0, 0, 1});
            Clear(cleared.Get(), colour);
            RenderMask(&mask, image.Get(), &masked, colour);
            EXPECT_EQ(std::memcmp(cleared.image.Bytes(), masked.Bytes(), masked.ByteCount()), 0)
                << layout.name << (up ? " bottom-up" : "");
        }
}

// The same in small images between each pair of 8-bit layouts (the first three), whichever way
// each image's rows run.
TEST(BasicOpsTiles, EightBitCopiesAreExactInEveryRowOrder) {
    for (int i = 0; i < 36; ++i) {
        const Layout &from = HostLayouts()[size_t(i / 12)], &to = HostLayouts()[size_t(i / 4 % 3)];
        Held a(Kind::Image, from, 37, 23, i & 1, 54), d(Kind::Image, to, 37, 23, i & 2, 18);
        Copy(a.Get(), d.Get());
        EXPECT_TRUE(PixelsNear(d.Read().pixels, a.held.pixels, 37))
            << from.name << " to " << to.name << ", rows " << i % 4;
    }
}

// A front that cannot be used (null, no pixels, no width) is a transparent front: the operations
// that blend one over a back run, and give what a valid, fully transparent front gives (Over:
// the back), where returning early would leave the destination's old pixels as the result.
// The destination starts as random pixels.
TEST(BasicOpsEdges, AnUnusableFrontIsATransparentFront) {
    const Layout& layout = HostLayouts().front();
    Held transparent(Kind::Image, layout, 37, 23, false, 1);
    std::memset(transparent.image.Bytes(), 0, transparent.image.ByteCount());
    TestImage narrow = MakeImage(layout, 0, 23), empty = MakeImage(layout, 37, 23);
    empty.SetBaseAddress(nullptr);
    for (const Operation& op : Operations()) {
        if (!op.Has(kSkips) || op.call.kinds[0] != Kind::Image) continue;
        Held b(Kind::Image, layout, 37, 23, false, 12),
            want(Kind::Image, layout, 37, 23, false, 13);
        op.call.run(transparent.Get(), b.Get(), want.Get(), Color::White, nullptr);
        for (XIImage* front : std::initializer_list<XIImage*>{nullptr, &narrow, &empty}) {
            Held d(Kind::Image, layout, 37, 23, false, 13);
            op.call.run(front, b.Get(), d.Get(), Color::White, nullptr);
            EXPECT_TRUE(PixelsNear(d.Read().pixels, want.Read().pixels, 37, 0.0))
                << op.name << ", front " << front;
        }
    }
    // A mask that cannot be used is left out.
    Held f(Kind::Image, layout, 37, 23, false, 11), b(Kind::Image, layout, 37, 23, false, 12);
    Held unmasked(Kind::Image, layout, 37, 23, false, 13),
        d(Kind::Image, layout, 37, 23, false, 13);
    Composite(f.Get(), b.Get(), nullptr, unmasked.Get(), 0.7f, BlendOp::Default);
    Composite(f.Get(), b.Get(), &empty, d.Get(), 0.7f, BlendOp::Default);
    EXPECT_TRUE(PixelsNear(d.Read().pixels, unmasked.Read().pixels, 37, 0.0)) << "unusable mask";
}

// A refusal says which argument and what of it; the next call that runs forgets it.
TEST(BasicOpsEdges, ARefusalNamesTheArgumentAndWhatIsWrongWithIt) {
    const Layout& layout = HostLayouts().front();
    TestImage image = MakeImage(layout, 4, 4), other = MakeImage(layout, 4, 4);
    TestImage narrow = MakeImage(layout, 0, 4), shortRows = MakeImage(layout, 4, 4);
    shortRows.SetRowBytes(3);
    const std::vector<std::pair<std::function<void()>, std::string>> rows = {
        {[&] { Premultiply(&image, &narrow); }, "destination image: width 0"},
        {[&] { Blur(nullptr, &image, 3, 3, 0.85f); }, "source image: missing"},
        {[&] { RenderMask(&shortRows, &image, &other, Color::White); },
         "mask image: rows of 3 bytes, shorter than 4 pixels of 32 bits"},
        {[&] { Premultiply(&image, &other); }, ""},
    };
    for (const auto& [call, reason] : rows) {
        call();
        EXPECT_EQ(LastOperationReason(), reason);
    }
}
