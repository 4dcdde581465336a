#include "GLTest.h"
#include "StateSnapshot.h"
#include "TestImage.h"

#include "gl/state/Blend.h"
#include "gl/state/Clear.h"
#include "gl/state/Push.h"
#include "gl/texture/RenderBuffer.h"
#include "gl/texture/RenderedTexture.h"
#include "gl/texture/TiledBuffer.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

const int32_t kRGBA = Fourcc("RGBA");

// Copies source into destination tile by tile with Write, the way image operations do.
void TiledCopy(TestImage& source, TestImage& destination, int tileWidth = 0, int tileHeight = 0) {
    TiledBuffer tiles(&destination);
    if (tileWidth) {
        ASSERT_TRUE(tiles.Rewind(tileWidth, tileHeight));
    }
    int count = 0;
    while (tiles.Next()) {
        PushBlendFunc replace(BlendFunc::Replace);
        PushColor white(Color::White);
        tiles.Write(&source, 0, 0);
        ++count;
    }
    EXPECT_GT(count, 0);
    EXPECT_EQ(tiles.GetRender(), nullptr); // released after the last tile
}

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

TEST(TiledBuffer, TiledCopiesAreExact) {
    RunOnWorker([] {
        // 8-bit RGBA in both row orders, at sizes of one pixel, two pixel rows wider than any
        // texture, and the large case of several tiles in both directions.
        struct Case {
            int width, height;
            bool bottomUp;
        } cases[] = {{1, 1, false}, {20000, 2, false}, {20000, 2, true}, {5000, 3000, false}};
        for (const Case& c : cases) {
            TestImage source(c.width, c.height, kRGBA, 32, 255, c.bottomUp);
            source.FillRandomBytes(static_cast<unsigned>(c.width + c.height));
            TestImage destination(c.width, c.height, kRGBA, 32, 255, c.bottomUp);
            TiledCopy(source, destination);
            EXPECT_TRUE(SameBytes(Pixels(destination), Pixels(source), c.width))
                << c.width << "x" << c.height << (c.bottomUp ? " bottom-up" : " top-down");
        }

        // Float RGBA with small tiles, so that cut tiles meet in both directions.
        for (bool bottomUp : {false, true}) {
            TestImage source(150, 70, kRGBA, 128, 1, bottomUp);
            // Multiples of 1/1024 in [0, 1]: values a half-float texture holds exactly.
            std::mt19937 random(bottomUp ? 7 : 8);
            FillChannels<float>(source, [&](int, int, int) { return (random() % 1025) / 1024.0f; });
            TestImage destination(150, 70, kRGBA, 128, 1, bottomUp);
            TiledCopy(source, destination, 64, 32);
            EXPECT_TRUE(SameBytes(Pixels(destination), Pixels(source), 150, 16)) << bottomUp;
        }
    });
}

TEST(TiledBuffer, DrawingUsesDestinationPixelsAndTopDownImagesComeOutUpright) {
    RunOnWorker([] {
        // Red over destination rows y < 15 (counted up from the bottom of the picture), drawn
        // in whole-image coordinates across tiles of 16 x 8.
        for (bool bottomUp : {false, true}) {
            TestImage destination(40, 30, kRGBA, 32, 255, bottomUp);
            TiledBuffer tiles(&destination);
            ASSERT_TRUE(tiles.Rewind(16, 8));
            EXPECT_FALSE(tiles.IsFirstTile());
            while (tiles.Next()) {
                EXPECT_TRUE(tiles.IsFirstTile());
                // The render target keeps what the previous tile left.
                ClearColorBuffer(Color::Transparent);
                glColor4f(1, 0, 0, 1);
                glRectf(0, 0, 40, 15);
            }
            for (int row = 0; row < 30; ++row) {
                // Memory row of picture row "row" counted from the bottom.
                const int memoryRow = bottomUp ? row : 29 - row;
                const uint8_t expected = row < 15 ? 255 : 0;
                for (int x : {0, 17, 39}) {
                    const uint8_t* p = destination.Row(memoryRow) + x * 4;
                    EXPECT_EQ(p[0], expected) << row << " " << x;
                    EXPECT_EQ(p[3], expected) << row << " " << x;
                }
            }
        }
    });
}

TEST(TiledBuffer, ProjectionsMapTheDestinationOntoEachTile) {
    RunOnWorker([] {
        // A square at depth 2 spanning normalised x in [0, 1.9] and y in [0, 1] of a 90-degree
        // view. Both perspective forms centre it on pixel (0, 0); the angle form halves the
        // destination size in integers (41 -> 20) and the frustum form in floats (20.5), so it
        // reaches 1.9 * 20 = 38 or 1.9 * 20.5 = 38.95 pixels across.
        for (int form = 0; form < 2; ++form) {
            TestImage destination(41, 31, kRGBA, 32, 255, true);
            TiledBuffer tiles(&destination);
            ASSERT_TRUE(tiles.Rewind(16, 16));
            while (tiles.Next()) {
                ClearColorBuffer(Color::Transparent);
                if (form == 0)
                    tiles.Perspective(90.0, 1.0, 1.0, 10.0);
                else
                    tiles.Perspective(-1.0f, 1.0f, -1.0f, 1.0f, 1.0f, 10.0f);
                glColor4f(0, 1, 0, 1);
                glBegin(GL_QUADS);
                glVertex3f(0, 0, -2);
                glVertex3f(3.8f, 0, -2);
                glVertex3f(3.8f, 2, -2);
                glVertex3f(0, 2, -2);
                glEnd();
            }
            const int columns = form == 0 ? 38 : 39;
            for (int x = 0; x < 41; ++x)
                EXPECT_EQ(destination.Row(3)[x * 4 + 1], x < columns ? 255 : 0) << form << " " << x;
            // Rows: 15 (integer 31 / 2) or 15.5 pixels up; row 15 is covered only in the float
            // form (its centre 15.5 is on the edge there, so only row 14 and 16 are checked).
            EXPECT_EQ(destination.Row(14)[1], 255);
            EXPECT_EQ(destination.Row(16)[1], 0);
        }

        // RS3dPerspective maps normalised [-1, 1] over the whole destination and reads tiles
        // back without turning them over: the bottom half of the view lands in the first half
        // of a top-down image's memory.
        for (bool rs3d : {false, true}) {
            TestImage destination(40, 30, kRGBA, 32, 255, false);
            TiledBuffer tiles(&destination);
            ASSERT_TRUE(tiles.Rewind(32, 16));
            while (tiles.Next()) {
                ClearColorBuffer(Color::Transparent);
                if (rs3d) {
                    tiles.RS3dPerspective(-1.0f, 1.0f, -1.0f, 1.0f, 1.0f, 10.0f);
                    glColor4f(0, 0, 1, 1);
                    glBegin(GL_QUADS);
                    glVertex3f(-2, -2, -2);
                    glVertex3f(2, -2, -2);
                    glVertex3f(2, 0, -2);
                    glVertex3f(-2, 0, -2);
                    glEnd();
                } else {
                    glColor4f(0, 0, 1, 1);
                    glRectf(0, 0, 40, 15);
                }
            }
            for (int memoryRow = 0; memoryRow < 30; ++memoryRow) {
                const bool lower = memoryRow < 15;
                const uint8_t expected = (rs3d ? lower : !lower) ? 255 : 0;
                EXPECT_EQ(destination.Row(memoryRow)[2], expected) << rs3d << " " << memoryRow;
                EXPECT_EQ(destination.Row(memoryRow)[39 * 4 + 2], expected);
            }
        }
    });
}

TEST(TiledBuffer, WriteFitStretchesTheImageOverTheDestination) {
    RunOnWorker([] {
        // A 100 x 50 top-down source in four flat quarters; doubled into 200 x 100 across tiles
        // of 64 x 48. Pixels away from the quarter borders keep their quarter's colour.
        TestImage source(100, 50, kRGBA, 32, 255, false);
        const uint32_t colours[4] = {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0xFFFFFFFFu};
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 100; ++x)
                source.At<uint32_t>(x, y) = colours[(y < 25 ? 0 : 2) + (x < 50 ? 0 : 1)];
        TestImage destination(200, 100, kRGBA, 32, 255, false);
        TiledBuffer tiles(&destination);
        ASSERT_TRUE(tiles.Rewind(64, 48));
        while (tiles.Next()) {
            PushBlendFunc replace(BlendFunc::Replace);
            PushColor white(Color::White);
            tiles.WriteFit(&source);
        }
        for (int y = 0; y < 100; ++y) {
            if (y >= 48 && y < 52) continue;
            for (int x = 0; x < 200; ++x) {
                if (x >= 98 && x < 102) continue;
                EXPECT_EQ(destination.At<uint32_t>(x, y),
                          colours[(y < 50 ? 0 : 2) + (x < 100 ? 0 : 1)])
                    << x << " " << y;
            }
        }
    });
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
        const GLint framebuffer = Integer(GL_FRAMEBUFFER_BINDING_EXT);
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
            EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING_EXT), framebuffer);
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
        {
            // The acquired texture still holds the red tile.
            Selection<TextureBuffer> selection(*acquired->Buffer());
            uint8_t pixel[4] = {};
            glReadPixels(99, 59, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
            EXPECT_EQ(pixel[0], 255);
            EXPECT_EQ(pixel[2], 0);
        }
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
