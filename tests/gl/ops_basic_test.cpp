// Every basic operation against its CPU reference over the host layouts, and what the table's
// sweep does not reach: seams between tiles, the caches' return order, the clear-skip guard, and
// clears and 8-bit copies that must come out exact.

#include "Operations.h"

#include "common/PhaseTimer.h"
#include "common/Shared.h"

#include <array>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

const RGBA kColour{0.9f, 0.1f, 0.4f, 0.8f};

std::vector<Operation> WithReferences() {
    std::vector<Operation> rows;
    for (const Operation& op : Operations())
        if (op.HasReference()) rows.push_back(op);
    return rows;
}

class BasicOps : public ::testing::TestWithParam<std::tuple<Layout, Operation>> {};

} // namespace

// In the layout throughout, from it into float rows that run bottom-up, and back; destinations
// of other sizes where the operation takes them. Destinations start with random pixels.
TEST_P(BasicOps, MatchesItsCpuReference) {
    const Layout& layout = std::get<0>(GetParam());
    const Operation& op = std::get<1>(GetParam());
    const Layout& floats = HostLayouts().back();
    // Source and destination sizes; the last destination too thin to fit anything into.
    std::vector<std::array<int, 4>> sizes = {{37, 23, 37, 23}};
    if (op.Has(kAnySize))
        sizes = {
            {20, 10, 31, 17}, {20, 10, 10, 5}, {20, 10, 33, 27}, {20, 10, 16, 16}, {20, 10, 1, 40}};
    for (int pairing = 0; pairing < 3; ++pairing)
        for (const auto& s : sizes) {
            const Layout& in = pairing == 2 ? floats : layout;
            const Layout& out = op.Has(kAlike) ? in : pairing == 1 ? floats : layout;
            const bool inUp = pairing == 2, outUp = op.Has(kAlike) ? inUp : pairing == 1;
            Held a(op.kinds[0], in, s[0], s[1], inUp, 11), b(op.kinds[1], in, s[0], s[1], inUp, 12);
            Held d(op.kinds[2], out, s[2], s[3], outUp, 13);
            EXPECT_TRUE(RunAndCompare(op, a, b, d, kColour)) << "pairing " << pairing;
        }
    EXPECT_TRUE(op.Has(kOnCaller) || std::string(Shared::ErrorMessage()) == "Unknown error.")
        << Shared::ErrorMessage();
}

INSTANTIATE_TEST_SUITE_P(HostLayouts, BasicOps,
                         ::testing::Combine(::testing::ValuesIn(HostLayouts()),
                                            ::testing::ValuesIn(WithReferences())),
                         [](const ::testing::TestParamInfo<BasicOps::ParamType>& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param).name;
                         });

// A pixel worked out by hand, independent of the references.
TEST(BasicOpsEdges, PremultipliesAPixelWorkedOutByHand) {
    const Layout& floats = HostLayouts().back();
    TestImage one = MakeImage(floats, 1, 1), out = MakeImage(floats, 1, 1);
    Put(floats, one, 0, 0, {1.0f, 0.5f, 0.25f, 0.5f});
    Premultiply(&one, &out);
    EXPECT_EQ(Get(floats, out, 0, 0), (RGBA{0.5f, 0.25f, 0.125f, 0.5f}));
}

TEST(BasicOpsTiles, LargeImagesCrossTileBordersWithoutSeams) {
    const Layout& layout = HostLayouts().front(); // four tiles of at most 2048 x 1080
    Held source(Kind::Image, layout, 2100, 1100, false, 31),
        none(Kind::None, layout, 0, 0, false, 0);
    Held premultiplied(Kind::Image, layout, 2100, 1100, false, 32);
    Held resized(Kind::Image, layout, 1500, 1200, false, 33);
    EXPECT_TRUE(RunAndCompare(OperationNamed("Premultiply"), source, none, premultiplied, kColour));
    EXPECT_TRUE(RunAndCompare(OperationNamed("Resize"), source, none, resized, kColour));
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
    std::memset(opaque.Bytes(), 0xff, opaque.ByteCount()); // white
    Put(layout, dot, 0, 0, RGBA{1, 0, 0, 1});
    AlphaBuffer alpha;
    LumaBuffer luma;
    ASSERT_TRUE(alpha.Resize(w, h) && luma.Resize(w, h));
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
    auto check = [](const Layout& from, bool fromUp, const Layout& to, bool toUp, int w, int h) {
        Held a(Kind::Image, from, w, h, fromUp, 17u + w), d(Kind::Image, to, w, h, toUp, 18u);
        Copy(a.Get(), d.Get());
        EXPECT_TRUE(PixelsNear(d.Read().pixels, a.held.pixels, w))
            << from.name << (fromUp ? " bottom-up" : "") << " to " << to.name
            << (toUp ? " bottom-up" : "");
    };
    std::vector<Layout> bytes;
    for (const Layout& layout : HostLayouts())
        if (layout.channel == Channel::U8) bytes.push_back(layout);
    for (const Layout& from : bytes)
        for (const Layout& to : bytes)
            for (int orders = 0; orders < 4; ++orders)
                check(from, orders & 1, to, orders & 2, 37, 23);
    check(bytes[0], false, bytes[1], false, 2100, 1090);
    check(bytes[1], true, bytes[2], false, 2100, 1090);
}
