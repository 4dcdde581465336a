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

// The tiles of a width x height image, in the order they are drawn.
std::vector<Region> Grid(int width, int height, int tileWidth, int tileHeight) {
    std::vector<Region> tiles;
    for (int y = 0; y < height; y += tileHeight)
        for (int x = 0; x < width; x += tileWidth)
            tiles.push_back(
                Region(x, y, std::min(tileWidth, width - x), std::min(tileHeight, height - y)));
    return tiles;
}

} // namespace

TEST(TiledBuffer, TilesCoverTheImageRowByRowWithoutOverlap) {
    RunOnWorker([] {
        // Tiles of 2048 x 1080 in rows from y = 0 up, left to right within a row, cut at the
        // image's edges: every pixel exactly once.
        const int sizes[][2] = {{4000, 2000}, {2048, 1080}, {1, 1}, {20000, 2}, {5000, 3000}};
        for (const auto& size : sizes) {
            // Only the size matters here: no pixels are touched, and no memory is behind the
            // rows.
            TestImage destination(size[0], size[1], kRGBA, 32, 255, false, 4);
            destination.SetRowBytes(size[0] * 4);
            destination.SetBaseAddress(nullptr);
            TiledBuffer tiles(&destination);
            EXPECT_EQ(tiles.Width(), size[0]);
            EXPECT_EQ(tiles.Height(), size[1]);
            const std::vector<Region> list(tiles.Tiles().begin(), tiles.Tiles().end());
            EXPECT_TRUE(list == Grid(size[0], size[1], 2048, 1080)) << size[0] << "x" << size[1];
        }

        // A smaller tile size lists again from the start; an empty image lists nothing.
        TestImage small(150, 70, kRGBA, 32, 255, false);
        TiledBuffer tiles(&small);
        EXPECT_FALSE(tiles.IsFirstTile());
        ASSERT_TRUE(tiles.Rewind(64, 32));
        EXPECT_TRUE(std::vector<Region>(tiles.Tiles().begin(), tiles.Tiles().end()) ==
                    Grid(150, 70, 64, 32));
        EXPECT_EQ(tiles.Tiles().back(), Region(128, 64, 22, 6));
        EXPECT_FALSE(tiles.Rewind(0, 32));
        TestImage empty(0, 5, kRGBA, 32, 255, false);
        TiledBuffer none(&empty);
        EXPECT_TRUE(none.Tiles().empty());
        EXPECT_NE(none.GetRender(), nullptr);
        EXPECT_FALSE(none.Next());
        EXPECT_EQ(none.GetRender(), nullptr);
    });
}

// Copies tile by tile with Write, the way image operations do: 8-bit RGBA in both row orders,
// at one pixel and two pixel rows wider than any texture; float RGBA with small tiles, so that
// cut tiles meet in both directions. (Large 8-bit images over four full-size tiles are
// BasicOpsTiles.EightBitCopiesAreExactInEveryRowOrder.)
TEST(TiledBuffer, TiledCopiesAreExact) {
    RunOnWorker([] {
        struct Case {
            int width, height, bitDepth, tileWidth, tileHeight;
            bool bottomUp;
        } cases[] = {{1, 1, 32, 0, 0, false},
                     {20000, 2, 32, 0, 0, false},
                     {20000, 2, 32, 0, 0, true},
                     {150, 70, 128, 64, 32, false},
                     {150, 70, 128, 64, 32, true}};
        for (const Case& c : cases) {
            const int white = c.bitDepth == 32 ? 255 : 1;
            TestImage source(c.width, c.height, kRGBA, c.bitDepth, white, c.bottomUp);
            TestImage destination(c.width, c.height, kRGBA, c.bitDepth, white, c.bottomUp);
            // Floats are multiples of 1/1024 in [0, 1]: values a half-float texture holds exactly.
            std::mt19937 random(c.width + c.height);
            if (c.bitDepth == 32)
                source.FillRandomBytes(static_cast<unsigned>(c.width + c.height));
            else
                FillChannels<float>(source,
                                    [&](int, int, int) { return (random() % 1025) / 1024.0f; });
            TiledBuffer tiles(&destination);
            if (c.tileWidth) {
                ASSERT_TRUE(tiles.Rewind(c.tileWidth, c.tileHeight));
            }
            int count = 0;
            for (; tiles.Next(); ++count) {
                PushBlendFunc replace(BlendFunc::Replace);
                PushColor opaque(Color::White);
                tiles.Write(&source, 0, 0);
            }
            EXPECT_GT(count, 0);
            EXPECT_EQ(tiles.GetRender(), nullptr); // released after the last tile
            EXPECT_TRUE(SameBytes(Pixels(destination), Pixels(source), c.width, c.bitDepth / 8))
                << c.width << "x" << c.height << (c.bottomUp ? " bottom-up" : " top-down");
        }
    });
}

// Drawing across tiles in whole-image coordinates: each tile's target keeps what the previous
// tile left, so it is cleared first; the pixels come back in the destination's row order.
TEST(TiledBuffer, DrawingsLandWhereTheDestinationSays) {
    const int64_t red = 0xFF0000FF, green = 0xFF00FF00, blue = 0xFFFF0000, white = 0xFFFFFFFF;
    // A 100 x 50 top-down source in four flat quarters, for WriteFit.
    TestImage quarters(100, 50, kRGBA, 32, 255, false);
    const int64_t colours[4] = {red, green, blue, white};
    FillChannels<uint32_t>(
        quarters, [&](int x, int y, int) { return colours[(y < 25 ? 0 : 2) + (x < 50 ? 0 : 1)]; });
    struct Case {
        const char* name;
        int width, height, tileWidth, tileHeight;
        bool bottomUp;
        std::function<void(TiledBuffer&)> draw;
        // The pixel expected at column x of memory row y, or -1 where the test does not look.
        std::function<int64_t(int x, int y)> expected;
    } cases[] = {
        // Red over picture rows y < 15, in both row orders.
        {"rect top-down", 40, 30, 16, 8, false,
         [](TiledBuffer&) { glColor4f(1, 0, 0, 1), glRectf(0, 0, 40, 15); },
         [=](int, int y) -> int64_t { return 29 - y < 15 ? red : 0; }},
        {"rect bottom-up", 40, 30, 16, 8, true,
         [](TiledBuffer&) { glColor4f(1, 0, 0, 1), glRectf(0, 0, 40, 15); },
         [=](int, int y) -> int64_t { return y < 15 ? red : 0; }},
        // A square at depth 2 spanning normalised x in [0, 1.9] and y in [0, 1] of a 90-degree
        // view. Both perspective forms centre it on pixel (0, 0); the angle form halves the
        // destination size in integers (41 -> 20) and the frustum form in floats (20.5), so it
        // reaches 1.9 * 20 = 38 or 1.9 * 20.5 = 38.95 pixels across. Rows: 15 (integer 31 / 2)
        // or 15.5 pixels up; row 15 is covered only in the float form (its centre 15.5 is on
        // the edge there, so only rows 14 and 16 are looked at).
        {"angle perspective", 41, 31, 16, 16, true,
         [&](TiledBuffer& tiles) {
             tiles.Perspective(90.0, 1.0, 1.0, 10.0);
             glColor4f(0, 1, 0, 1);
             Quad(0, 0, 3.8f, 2, -2);
         },
         [=](int x, int y) -> int64_t {
             return y == 3 ? (x < 38 ? green : 0) : x ? -1 : y == 14 ? green : y == 16 ? 0 : -1;
         }},
        {"frustum perspective", 41, 31, 16, 16, true,
         [&](TiledBuffer& tiles) {
             tiles.Perspective(-1.0f, 1.0f, -1.0f, 1.0f, 1.0f, 10.0f);
             glColor4f(0, 1, 0, 1);
             Quad(0, 0, 3.8f, 2, -2);
         },
         [=](int x, int y) -> int64_t {
             return y == 3 ? (x < 39 ? green : 0) : x ? -1 : y == 14 ? green : y == 16 ? 0 : -1;
         }},
        // RS3dPerspective maps normalised [-1, 1] over the whole destination and reads tiles
        // back without turning them over: the bottom half of the view lands in the first half
        // of a top-down image's memory.
        {"RS3d perspective", 40, 30, 32, 16, false,
         [&](TiledBuffer& tiles) {
             tiles.RS3dPerspective(-1.0f, 1.0f, -1.0f, 1.0f, 1.0f, 10.0f);
             glColor4f(0, 0, 1, 1);
             Quad(-2, -2, 2, 0, -2);
         },
         [=](int, int y) -> int64_t { return y < 15 ? blue : 0; }},
        // WriteFit doubles the quarters into 200 x 100; pixels away from the quarter borders
        // keep their quarter's colour.
        {"WriteFit", 200, 100, 64, 48, false,
         [&](TiledBuffer& tiles) {
             PushBlendFunc replace(BlendFunc::Replace);
             PushColor opaque(Color::White);
             tiles.WriteFit(&quarters);
         },
         [=](int x, int y) -> int64_t {
             if ((y >= 48 && y < 52) || (x >= 98 && x < 102)) return -1;
             return colours[(y < 50 ? 0 : 2) + (x < 100 ? 0 : 1)];
         }},
    };
    for (const Case& c : cases) {
        TestImage destination(c.width, c.height, kRGBA, 32, 255, c.bottomUp);
        RunOnWorker([&] {
            TiledBuffer tiles(&destination);
            ASSERT_TRUE(tiles.Rewind(c.tileWidth, c.tileHeight));
            EXPECT_FALSE(tiles.IsFirstTile());
            while (tiles.Next()) {
                EXPECT_TRUE(tiles.IsFirstTile());
                ClearColorBuffer(Color::Transparent);
                c.draw(tiles);
            }
        });
        int looked = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                const int64_t want = c.expected(x, y);
                if (want < 0) continue;
                ++looked;
                ASSERT_EQ(destination.At<uint32_t>(x, y), want)
                    << c.name << " at " << x << "," << y;
            }
        EXPECT_GT(looked, 0) << c.name;
    }
}

TEST(TiledBuffer, FinishedOrUnusableBuffersClearTheDestination) {
    // Made off the worker thread: nothing is rendered, the destination is cleared.
    TestImage offWorker(30, 20, kRGBA, 32, 255, false);
    std::memset(offWorker.Bytes(), 0xAB, offWorker.ByteCount());
    {
        TiledBuffer tiles(&offWorker);
        EXPECT_EQ(tiles.GetRender(), nullptr);
        EXPECT_FALSE(tiles.Next());
    }
    for (size_t i = 0; i < offWorker.ByteCount(); ++i) ASSERT_EQ(offWorker.Bytes()[i], 0) << i;
    TiledBuffer nothing(nullptr);
    EXPECT_FALSE(nothing.Next());

    RunOnWorker([] {
        TestImage destination(30, 20, kRGBA, 32, 255, false);
        TiledBuffer tiles(&destination);
        while (tiles.Next()) {
            glColor4f(1, 1, 1, 1);
            glRectf(0, 0, 30, 20);
        }
        EXPECT_EQ(destination.At<uint32_t>(5, 5), 0xFFFFFFFFu);
        // Once finished, a further Next clears what was rendered.
        EXPECT_FALSE(tiles.Next());
        EXPECT_EQ(destination.At<uint32_t>(5, 5), 0u);
    });
}

TEST(TiledBuffer, FailuresWhileDrawingLeaveNothingBehind) {
    RunOnWorker([] {
        TestImage destination(300, 200, kRGBA, 32, 255, false);
        // Warm the caches so that the counts below compare like with like.
        {
            TiledBuffer tiles(&destination);
            while (tiles.Next()) {
            }
        }
        const tesk_test::StateSnapshot before;
        const int texturesInUse = TextureBuffer::Factory().InUseBytes();
        const int renderBuffersInUse = RenderBuffer::Factory().InUseBytes();
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
                ADD_FAILURE() << "no exception";
            } catch (const std::runtime_error&) {
            }
            EXPECT_EQ(tile, failingTile);
            EXPECT_EQ(TextureBuffer::Factory().InUseBytes(), texturesInUse);
            EXPECT_EQ(RenderBuffer::Factory().InUseBytes(), renderBuffersInUse);
            const tesk_test::StateSnapshot after;
            EXPECT_TRUE(before == after) << before.Differences(after);
        }
    });
}

TEST(TiledBuffer, AcquireRenderHandsOverTheTileAndDrawsOnIntoAFreshTarget) {
    RunOnWorker([] {
        TestImage destination(100, 60, kRGBA, 32, 255, true);
        TiledBuffer tiles(&destination);
        ASSERT_TRUE(tiles.Next());
        const GLuint framebuffer = tiles.GetRender()->FramebufferName();
        ASSERT_NE(framebuffer, 0u);
        glColor4f(1, 0, 0, 1);
        glRectf(0, 0, 100, 60);
        std::unique_ptr<RenderedTexture> acquired(tiles.AcquireRender());
        ASSERT_NE(acquired, nullptr);
        EXPECT_EQ(acquired->Width(), 100);
        EXPECT_EQ(acquired->Height(), 60);
        EXPECT_EQ(acquired->FramebufferName(), 0u);
        EXPECT_EQ(acquired->DepthBuffer(), nullptr);
        ASSERT_NE(tiles.GetRender(), acquired.get());
        EXPECT_EQ(tiles.GetRender()->FramebufferName(), framebuffer);
        EXPECT_NE(tiles.GetRender()->Buffer(), acquired->Buffer());
        // The fresh target is the one drawn into now.
        EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING_EXT), GLint(framebuffer));
        glColor4f(0, 0, 1, 1);
        glRectf(0, 0, 100, 60);
        EXPECT_FALSE(tiles.Next());
        EXPECT_EQ(destination.At<uint32_t>(50, 30), 0xFFFF0000u);
        // The acquired texture still holds the red tile.
        EXPECT_EQ(Texel(acquired->Buffer(), 99, 59), (std::array<uint8_t, 4>{255, 0, 0, 255}));
    });
}

// A width whose row length wraps around 32 bits passes the image checks with rows of a few
// bytes; such a destination gets no tiles at all instead of one per 2048 pixels of its width.
TEST(TiledBuffer, RowsTooShortForTheirWidthGetNoTiles) {
    TestImage destination(8, 6, Fourcc("RGBA"), 32, 255, false);
    destination.SetWidth((1 << 27) + 2); // 32 bits x width wraps to 64 bits: 8 bytes a row
    ASSERT_TRUE(IsValid(&destination));
    const std::vector<uint8_t> before(destination.Bytes(),
                                      destination.Bytes() + destination.ByteCount());
    RunOnWorker([&] {
        TiledBuffer tiled(&destination);
        EXPECT_TRUE(tiled.Tiles().empty());
        EXPECT_FALSE(tiled.Next());
    });
    EXPECT_TRUE(std::equal(before.begin(), before.end(), destination.Bytes()));
}
