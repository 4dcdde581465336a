#include "GLTest.h"
#include "StateSnapshot.h"

#include "gl/state/Blend.h"
#include "gl/state/Clear.h"
#include "gl/state/Push.h"
#include "gl/texture/RenderBuffer.h"
#include "gl/texture/RenderedTexture.h"
#include "gl/texture/TiledBuffer.h"

#include <algorithm>
#include <memory>
#include <random>
#include <stdexcept>

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

const int32_t kRGBA = Fourcc("RGBA");

// Tiles in rows from y = 0 up, left to right within a row, cut at the image's edges.
void ExpectGrid(TiledBuffer& tiles, int width, int height, int tileWidth, int tileHeight) {
    std::vector<Region> grid;
    for (int y = 0; y < height; y += tileHeight)
        for (int x = 0; x < width; x += tileWidth)
            grid.push_back(
                Region(x, y, std::min(tileWidth, width - x), std::min(tileHeight, height - y)));
    EXPECT_TRUE(std::vector<Region>(tiles.Tiles().begin(), tiles.Tiles().end()) == grid)
        << width << "x" << height;
}

} // namespace

// Every pixel exactly once, for sizes with and without cut tiles; an empty image, or one whose
// row length wraps around 32 bits (rows of a few bytes that pass the image checks), gets none.
TEST(TiledBuffer, TilesCoverTheImageRowByRow) {
    for (const auto& size : {std::array<int, 2>{4000, 2000}, {2048, 1080}, {1, 1}, {20000, 2}}) {
        // Only the size matters: no memory is behind the rows.
        TestImage destination(size[0], size[1], kRGBA, 32, 255, false, 4);
        destination.SetRowBytes(size[0] * 4);
        destination.SetBaseAddress(nullptr);
        RunOnWorker([&] {
            TiledBuffer tiles(&destination);
            ExpectGrid(tiles, size[0], size[1], 2048, 1080);
        });
    }
    TestImage small(150, 70), empty(0, 5), wraps(8, 6);
    wraps.SetWidth((1 << 27) + 2); // 32 bits x width wraps to 64 bits: 8 bytes a row
    ASSERT_TRUE(IsValid(&wraps));
    std::memset(wraps.Bytes(), 0x5a, wraps.ByteCount());
    const std::vector<uint8_t> before(wraps.Bytes(), wraps.Bytes() + wraps.ByteCount());
    RunOnWorker([&] {
        TiledBuffer tiles(&small);
        ASSERT_TRUE(tiles.Rewind(64, 32));
        ExpectGrid(tiles, 150, 70, 64, 32);
        EXPECT_FALSE(tiles.Rewind(0, 32));
        for (TestImage* image : {&empty, &wraps}) {
            TiledBuffer none(image);
            EXPECT_TRUE(none.Tiles().empty());
            EXPECT_FALSE(none.Next());
            EXPECT_EQ(none.GetRender(), nullptr);
        }
    });
    EXPECT_TRUE(std::equal(before.begin(), before.end(), wraps.Bytes()));
}

// Copies tile by tile with Write: 8-bit RGBA in both row orders, at one and two pixel rows
// wider than any texture; float RGBA with small tiles, so that cut tiles meet both ways.
TEST(TiledBuffer, TiledCopiesAreExact) {
    RunOnWorker([] {
        const struct {
            int width, height, bitDepth, tile[2];
            bool bottomUp;
        } cases[] = {{1, 1, 32, {}, false},
                     {20000, 2, 32, {}, false},
                     {20000, 2, 32, {}, true},
                     {150, 70, 128, {64, 32}, false},
                     {150, 70, 128, {64, 32}, true}};
        for (const auto& c : cases) {
            const int white = c.bitDepth == 32 ? 255 : 1;
            TestImage source(c.width, c.height, kRGBA, c.bitDepth, white, c.bottomUp);
            TestImage destination(c.width, c.height, kRGBA, c.bitDepth, white, c.bottomUp);
            // Floats are multiples of 1/1024 in [0, 1]: values a half-float texture holds exactly.
            std::mt19937 random(c.width + c.height);
            if (c.bitDepth == 32)
                source.FillRandomBytes(static_cast<unsigned>(c.width + c.height));
            else
                FillChannels<float>(source,
                                    [&](int, int, int) { return random() % 1025 / 1024.f; });
            TiledBuffer tiles(&destination);
            if (c.tile[0]) {
                ASSERT_TRUE(tiles.Rewind(c.tile[0], c.tile[1]));
            }
            while (tiles.Next()) {
                PushBlendFunc replace(BlendFunc::Replace);
                PushColor opaque(Color::White);
                tiles.Write(&source, 0, 0);
            }
            EXPECT_EQ(tiles.GetRender(), nullptr); // released after the last tile
            EXPECT_TRUE(SameBytes(Pixels(destination), Pixels(source), c.width, c.bitDepth / 8))
                << c.width << "x" << c.height << (c.bottomUp ? " bottom-up" : " top-down");
        }
    });
}

// Drawing across tiles in whole-image coordinates: each tile's target keeps what the previous
// tile left, so it is cleared first; the pixels come back in the destination's row order.
// The perspective square sits at depth 2 spanning normalised x in [0, 1.9] and y in [0, 1] of
// a 90-degree view, centred on pixel (0, 0): the angle form halves the size in integers
// (41 -> 20), the frustum form in floats (20.5), so it reaches 38 or 38.95 pixels across; row
// 15 is covered only in the float form (its centre is on the edge), so rows 14 and 16 are
// looked at. RS3dPerspective maps [-1, 1] over the whole destination and reads tiles back
// without turning them over. WriteFit doubles four flat quarters; pixels away from the
// borders keep their quarter's colour.
TEST(TiledBuffer, DrawingsLandWhereTheDestinationSays) {
    enum Kind { kRect, kAngle, kFrustum, kRS3d, kFit };
    const int64_t colours[4] = {0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFFFFFFFF};
    TestImage quarters(100, 50, kRGBA, 32, 255, false);
    FillChannels<uint32_t>(
        quarters, [&](int x, int y, int) { return colours[(y < 25 ? 0 : 2) + (x < 50 ? 0 : 1)]; });
    const struct {
        Kind kind;
        int width, height, tileWidth, tileHeight;
        bool bottomUp;
    } cases[] = {{kRect, 40, 30, 16, 8, false},  {kRect, 40, 30, 16, 8, true},
                 {kAngle, 41, 31, 16, 16, true}, {kFrustum, 41, 31, 16, 16, true},
                 {kRS3d, 40, 30, 32, 16, false}, {kFit, 200, 100, 64, 48, false}};
    for (const auto& c : cases) {
        TestImage destination(c.width, c.height, kRGBA, 32, 255, c.bottomUp);
        RunOnWorker([&] {
            TiledBuffer tiles(&destination);
            ASSERT_TRUE(tiles.Rewind(c.tileWidth, c.tileHeight));
            EXPECT_FALSE(tiles.IsFirstTile());
            while (tiles.Next()) {
                EXPECT_TRUE(tiles.IsFirstTile());
                ClearColorBuffer(Color::Transparent);
                PushBlendFunc replace(BlendFunc::Replace);
                PushColor opaque(Color::White);
                if (c.kind == kRect) glColor4f(1, 0, 0, 1), glRectf(0, 0, 40, 15);
                if (c.kind == kAngle) tiles.Perspective(90.0, 1.0, 1.0, 10.0);
                if (c.kind == kFrustum) tiles.Perspective(-1.0f, 1.0f, -1.0f, 1.0f, 1.0f, 10.0f);
                if (c.kind == kAngle || c.kind == kFrustum)
                    glColor4f(0, 1, 0, 1), Quad(0, 0, 3.8f, 2, -2);
                if (c.kind == kRS3d) tiles.RS3dPerspective(-1.0f, 1.0f, -1.0f, 1.0f, 1.0f, 10.0f);
                if (c.kind == kRS3d) glColor4f(0, 0, 1, 1), Quad(-2, -2, 2, 0, -2);
                if (c.kind == kFit) tiles.WriteFit(&quarters);
            }
        });
        const auto expected = [&](int x, int y) -> int64_t { // at memory row y; -1: not looked at
            switch (c.kind) {
            case kRect:
                return (c.bottomUp ? y : c.height - 1 - y) < 15 ? colours[0] : 0;
            case kRS3d:
                return y < 15 ? colours[2] : 0;
            case kFit:
                if ((y >= 48 && y < 52) || (x >= 98 && x < 102)) return -1;
                return colours[(y < 50 ? 0 : 2) + (x < 100 ? 0 : 1)];
            default:
                if (y == 3) return x < (c.kind == kAngle ? 38 : 39) ? colours[1] : 0;
                return x ? -1 : y == 14 ? colours[1] : y == 16 ? 0 : -1;
            }
        };
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                ASSERT_TRUE(expected(x, y) < 0 || destination.At<uint32_t>(x, y) == expected(x, y))
                    << c.kind << (c.bottomUp ? " bottom-up" : "") << " at " << x << "," << y << ": "
                    << destination.At<uint32_t>(x, y) << " for " << expected(x, y);
    }
}

// Made off the worker thread nothing is rendered and the destination is cleared; a finished
// buffer clears what was rendered on a further Next.
TEST(TiledBuffer, FinishedOrUnusableBuffersClearTheDestination) {
    TestImage destination(30, 20, kRGBA, 32, 255, false);
    std::memset(destination.Bytes(), 0xAB, destination.ByteCount());
    {
        TiledBuffer tiles(&destination);
        EXPECT_FALSE(tiles.Next());
    }
    EXPECT_TRUE(SameBytes(Pixels(destination), std::vector<uint8_t>(30 * 20 * 4), 30));
    EXPECT_FALSE(TiledBuffer(nullptr).Next());
    RunOnWorker([&] {
        TiledBuffer tiles(&destination);
        while (tiles.Next()) glColor4f(1, 1, 1, 1), glRectf(0, 0, 30, 20);
        EXPECT_EQ(destination.At<uint32_t>(5, 5), 0xFFFFFFFFu);
        EXPECT_FALSE(tiles.Next());
        EXPECT_EQ(destination.At<uint32_t>(5, 5), 0u);
    });
}

TEST(TiledBuffer, FailuresWhileDrawingLeaveNothingBehind) {
    RunOnWorker([] {
        TestImage destination(300, 200, kRGBA, 32, 255, false);
        for (TiledBuffer warm(&destination); warm.Next();) {
        } // the caches, so that the counts below compare like with like
        const StateSnapshot before;
        const int textures = TextureBuffer::Factory().InUseBytes();
        const int renderBuffers = RenderBuffer::Factory().InUseBytes();
        for (int failingTile : {1, 3}) {
            int tile = 0;
            try {
                TiledBuffer tiles(&destination);
                ASSERT_TRUE(tiles.Rewind(128, 128));
                while (tiles.Next()) {
                    PushBlendFunc replace(BlendFunc::Replace);
                    glEnable(GL_DEPTH_TEST); // left behind on purpose
                    if (++tile == failingTile) throw std::runtime_error("drawing failed");
                }
            } catch (const std::runtime_error&) {
            }
            EXPECT_EQ(tile, failingTile);
            EXPECT_EQ(TextureBuffer::Factory().InUseBytes(), textures);
            EXPECT_EQ(RenderBuffer::Factory().InUseBytes(), renderBuffers);
            const StateSnapshot after;
            EXPECT_TRUE(before == after) << before.Differences(after);
        }
    });
}

// The tile drawn so far is handed over; drawing goes on into a fresh colour texture on the
// same framebuffer object.
TEST(TiledBuffer, AcquireRenderHandsOverTheTile) {
    RunOnWorker([] {
        TestImage destination(100, 60, kRGBA, 32, 255, true);
        TiledBuffer tiles(&destination);
        ASSERT_TRUE(tiles.Next());
        const GLuint framebuffer = tiles.GetRender()->FramebufferName();
        glColor4f(1, 0, 0, 1), glRectf(0, 0, 100, 60);
        std::unique_ptr<RenderedTexture> acquired(tiles.AcquireRender());
        ASSERT_NE(acquired, nullptr);
        EXPECT_EQ(acquired->Width(), 100);
        EXPECT_EQ(acquired->FramebufferName(), 0u);
        EXPECT_EQ(acquired->DepthBuffer(), nullptr);
        ASSERT_NE(tiles.GetRender(), acquired.get());
        EXPECT_NE(tiles.GetRender()->Buffer(), acquired->Buffer());
        EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING_EXT), GLint(framebuffer));
        glColor4f(0, 0, 1, 1), glRectf(0, 0, 100, 60);
        EXPECT_FALSE(tiles.Next());
        EXPECT_EQ(destination.At<uint32_t>(50, 30), 0xFFFF0000u);
        EXPECT_EQ(Texel(acquired->Buffer(), 99, 59), (std::array<uint8_t, 4>{255, 0, 0, 255}));
    });
}
