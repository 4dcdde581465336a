// Supersampled tiles and jittered passes: tile sizes, the box filter's weights and offsets, the
// pass sequence and its jitter, and that both smooth an edge that one plain pass leaves hard.

#include "GLTest.h"
#include "OpsReference.h"

#include "gl/state/Blend.h"
#include "gl/state/Clear.h"
#include "gl/texture/AntiAliasBuffer.h"
#include "gl/texture/AntiAliasRender.h"

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

const Layout& kFloat = HostLayouts().back();

struct TileRow {
    int level, scale, tiles, tileWidth, tileHeight;
};
using AntiAliasTiles = ::testing::TestWithParam<TileRow>;

// A 2048 x 1080 destination cut into tiles of 2048 x 1080 divided by the scale; one white
// supersampled texel reads back as 1 / (scale x scale) in the pixel above it, nothing elsewhere.
TEST_P(AntiAliasTiles, SizeTilesByTheScaleAndAverageTheTexelsOfEachPixel) {
    const TileRow r = GetParam();
    const int scale = r.scale;
    TestImage large = MakeImage(kFloat, 2048, 1080, true), small = MakeImage(kFloat, 5, 4, true);
    RunOnWorker([&] {
        AntiAliasBuffer tiles(&large, r.level);
        EXPECT_EQ(tiles.GetAntialiasScaler(), float(scale));
        ASSERT_EQ(int(tiles.Tiles().size()), r.tiles);
        EXPECT_TRUE(tiles.Tiles().front() == Region(0, 0, r.tileWidth, r.tileHeight));
        AntiAliasBuffer pixels(&small, r.level);
        while (pixels.Next()) {
            ClearColorBuffer(Color::Transparent);
            PushBlendFunc replace(BlendFunc::Replace);
            glColor4f(1, 1, 1, 1); // the bottom-left texel of (1, 1), the top-right of (3, 2)
            glRectf(1.0f, 1.0f, 1.0f + 1.0f / scale, 1.0f + 1.0f / scale);
            glRectf(4.0f - 1.0f / scale, 3.0f - 1.0f / scale, 4.0f, 3.0f);
        }
    });
    for (int i = 0; i < 20; ++i)
        EXPECT_NEAR(Get(kFloat, small, i % 5, i / 5)[0],
                    i == 6 || i == 13 ? 1.0 / (scale * scale) : 0, 1e-3)
            << i % 5 << "," << i / 5;
}

INSTANTIATE_TEST_SUITE_P(Levels, AntiAliasTiles,
                         ::testing::Values(TileRow{1, 2, 4, 1024, 540},
                                           TileRow{0, 1, 1, 2048, 1080},
                                           TileRow{6, 1, 1, 2048, 1080},
                                           TileRow{2, 3, 12, 682, 360},
                                           TileRow{5, 8, 64, 256, 135}));

TEST(AntiAliasBuffer, AnInvalidDestinationGetsNoTexturesAndDrawsNothing) {
    TestImage empty(0, 4);
    RunOnWorker([&] {
        AntiAliasBuffer tiles(&empty, 1);
        EXPECT_TRUE(tiles.GetRender() == nullptr && tiles.GetSupersampled() == nullptr);
        EXPECT_FALSE(tiles.Next());
    });
}

// Level 3 (eight passes) and level 0 (one, drawn straight into the tile): Next is true once a
// pass, first and last where they belong, and each pass's projection is shifted by its sample
// position, the table read from its last entry; level 1's four are written out here.
TEST_ON_WORKER(AntiAliasRender, PassesRunInOrderWithTheirJitter) {
    TestImage image = MakeImage(kFloat, 64, 32, true);
    const float four[4][2] = {
        {5 / 8.f, 3 / 4.f}, {7 / 8.f, 1 / 4.f}, {1 / 8.f, 3 / 4.f}, {3 / 8.f, 1 / 4.f}};
    TiledBuffer tiles(&image);
    ASSERT_TRUE(tiles.Next());
    const GLint tileFramebuffer = Integer(GL_FRAMEBUFFER_BINDING_EXT);
    for (const auto& [level, passes] : {std::pair{3, 8}, {0, 1}, {1, 4}}) {
        AntiAliasRender render(tiles.GetCurrentTile(), level, 0, 0, 0, 0);
        int pass = 0;
        for (; render.Next(); ++pass) {
            EXPECT_EQ(render.IsFirstPass(), pass == 0);
            EXPECT_EQ(render.IsLastPass(), pass == passes - 1);
            EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING_EXT) == tileFramebuffer, passes == 1);
            render.Orthogonal(tiles, -1, 1);
            const auto m = Floats(GL_PROJECTION_MATRIX);
            if (level == 1) { // the tile projection is -1 + 2 x / 64, -1 + 2 y / 32
                EXPECT_NEAR(m[12], -1 + (four[pass][0] - 0.5f) * 2 / 64, 1e-6) << pass;
                EXPECT_NEAR(m[13], -1 + (four[pass][1] - 0.5f) * 2 / 32, 1e-6) << pass;
            }
        }
        EXPECT_EQ(pass, passes);
        EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING_EXT), tileFramebuffer);
    }
}

// A white half-plane whose edge runs at a slant: drawn once, every pixel is 0 or 1; drawn in
// eight jittered passes or at four times the size and averaged, the pixels the edge crosses take
// values between, and the whole keeps the half-plane's area. Kind 0: AntiAliasRender, 1:
// AntiAliasBuffer.
using AntiAliasEdges = ::testing::TestWithParam<std::pair<int, int>>;
TEST_P(AntiAliasEdges, SmoothAnEdgeThatOnePassLeavesHard) {
    const auto [kind, level] = GetParam();
    TestImage image = MakeImage(kFloat, 40, 30, true);
    RunOnWorker([&, kind = kind, level = level] {
        std::unique_ptr<TiledBuffer> tiles(kind ? new AntiAliasBuffer(&image, level)
                                                : new TiledBuffer(&image));
        while (tiles->Next()) {
            AntiAliasRender passes(tiles->GetCurrentTile(), kind ? 0 : level, 0, 0, 0, 0);
            while (passes.Next()) {
                passes.Orthogonal(*tiles, -1, 1);
                ClearColorBuffer(Color::Transparent);
                PushBlendFunc replace(BlendFunc::Replace);
                glColor4f(1, 1, 1, 1);
                glBegin(GL_TRIANGLES); // below the line y = 3 + 0.6 x
                glVertex2f(0, 0), glVertex2f(40, 0), glVertex2f(40, 27), glVertex2f(0, 0);
                glVertex2f(40, 27), glVertex2f(0, 3);
                glEnd();
                glEnable(GL_LIGHTING); // as a lit scene leaves it: averaging must not be lit
            }
        }
    });
    int between = 0;
    double area = 0;
    for (int i = 0; i < 40 * 30; ++i) {
        const float v = Get(kFloat, image, i % 40, i / 40)[0];
        between += v > 0.01f && v < 0.99f;
        area += v;
    }
    EXPECT_EQ(between > 20, level != 0) << between;
    EXPECT_NEAR(area, 40 * 15, level ? 3 : 20);
}

INSTANTIATE_TEST_SUITE_P(Kinds, AntiAliasEdges,
                         ::testing::Values(std::pair{0, 3}, std::pair{0, 0}, std::pair{1, 3},
                                           std::pair{1, 0}));

// Depth of field: eight passes with focus 4 and lens 1 x 0.25 under a frustum of half-width 1 at
// near 1 over 64 x 32 pixels (x = 32 + 32 X / Z, y = 16 + 32 Y / Z). The eye moves up to 7/8 of
// a unit sideways: an 8 x 8 pixel square in the focus plane stays put, every pixel 0 or 1 (the
// jitter never reaches a pixel centre), while a 4 x 8 one at depth 2, its images up to 7 pixels
// (and the jitter) off, spreads over columns 33 to 50 and keeps its area.
TEST(AntiAliasRender, TheLensBlursAllButTheFocusPlane) {
    TestImage image = MakeImage(kFloat, 64, 32, true);
    RunOnWorker([&] {
        TiledBuffer tiles(&image);
        while (tiles.Next()) {
            AntiAliasRender passes(tiles.GetCurrentTile(), 3, 0, 4.0f, 1.0f, 0.25f);
            while (passes.Next()) {
                passes.Perspective(tiles, -1, 1, -0.5f, 0.5f, 1, 100);
                ClearColorBuffer(Color::Transparent);
                PushBlendFunc replace(BlendFunc::Replace);
                glColor4f(1, 1, 1, 1);
                glBegin(GL_QUADS); // X0, X1, Y0, Y1, Z
                for (const auto& q :
                     {std::array{-2.f, -1.f, -.5f, .5f, 4.f}, {.5f, .75f, -.25f, .25f, 2.f}})
                    glVertex3f(q[0], q[2], -q[4]), glVertex3f(q[1], q[2], -q[4]),
                        glVertex3f(q[1], q[3], -q[4]), glVertex3f(q[0], q[3], -q[4]);
                glEnd();
            }
        }
    });
    int sharp = 0, soft = 0, first = 64, last = -1;
    double area = 0;
    for (int i = 0; i < 64 * 32; ++i) {
        const int x = i % 64;
        const float v = Get(kFloat, image, x, i / 64)[3];
        if (x < 32) {
            sharp += v > 0.99f;
            soft += v > 0.01f && v < 0.99f;
        } else if (v > 0.01f) {
            area += v, first = std::min(first, x), last = std::max(last, x);
        }
    }
    EXPECT_EQ(sharp, 64);
    EXPECT_EQ(soft, 0);
    EXPECT_NEAR(area, 32, 0.1);
    EXPECT_EQ(first, 33);
    EXPECT_EQ(last, 50);
}

} // namespace
