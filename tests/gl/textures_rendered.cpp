#include "GLTest.h"
#include "StateSnapshot.h"

#include "gl/effects/Conversion.h"
#include "gl/state/Blend.h"
#include "gl/state/Clear.h"
#include "gl/state/Push.h"
#include "gl/texture/RenderBuffer.h"
#include "gl/texture/RenderedTexture.h"
#include "gl/texture/TiledBuffer.h"

#include <algorithm>
#include <random>
#include <stdexcept>

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

const int32_t kRGBA = Fourcc("RGBA");

// Blending off and the colour white, so that what is drawn or written arrives unchanged.
struct Replace {
    PushBlendFunc blend{BlendFunc::Replace};
    PushColor colour{Color::White};
};

template <class F> void Render(RenderedTexture& texture, F draw) {
    Selection<RenderedTexture> selection(texture);
    ASSERT_TRUE(selection.IsSelected());
    texture.Clear();
    Replace replace;
    draw();
}

enum Drawing { kCopy, kRect, kAngle, kFrustum, kRS3d, kFit };

} // namespace

// Tiles run in rows from y = 0 up, left to right, cut at the image's edges, and what is drawn
// on them in whole-image coordinates lands across their seams in the destination's row order.
// Copies are exact: 8-bit rows wider than any texture, float pixels (multiples of 1/1024, which
// half-float tiles hold) on tiles cut both ways. The perspective square at depth 2 spans
// normalised x in [0, 1.9] and y in [0, 1] of a 90-degree view centred on pixel (0, 0): the
// angle form halves the size in integers (41 -> 20), the frustum form in floats (20.5), so it
// reaches 38 or 38.95 pixels across; row 15 is covered only in the float form (its centre is
// on the edge), so rows 14 and 16 are looked at. RS3dPerspective maps [-1, 1] over the whole
// destination and reads tiles back without turning them over. WriteFit doubles four flat
// quarters; pixels away from their borders keep their quarter's colour.
TEST(TiledBuffer, TilesRunRowByRowAndDrawingsLandAcrossTheirSeams) {
    const int64_t colours[4] = {0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFFFFFFFF};
    TestImage quarters(100, 50);
    FillChannels<uint32_t>(quarters,
                           [&](int x, int y, int) { return colours[(y / 25) * 2 + x / 50]; });
    const struct {
        Drawing kind;
        int width, height, bitDepth, tileWidth, tileHeight;
        bool bottomUp;
    } cases[] = {{kCopy, 4000, 1100, 32, 2048, 540, false}, {kCopy, 20000, 2, 32, 2048, 540, true},
                 {kCopy, 150, 70, 128, 64, 32, false},      {kCopy, 150, 70, 128, 64, 32, true},
                 {kRect, 40, 30, 32, 16, 8, false},         {kRect, 40, 30, 32, 16, 8, true},
                 {kAngle, 41, 31, 32, 16, 16, true},        {kFrustum, 41, 31, 32, 16, 16, true},
                 {kRS3d, 40, 30, 32, 32, 16, false},        {kFit, 200, 100, 32, 64, 48, false}};
    for (const auto& c : cases) {
        const int white = c.bitDepth == 32 ? 255 : 1;
        TestImage source(c.width, c.height, kRGBA, c.bitDepth, white, c.bottomUp),
            destination(c.width, c.height, kRGBA, c.bitDepth, white, c.bottomUp);
        source.FillRandomBytes(c.width);
        if (c.bitDepth == 128)
            FillChannels<float>(
                source, [](int x, int y, int c) { return (x * 7 + y * 13 + c) % 1025 / 1024.f; });
        RunOnWorker([&] {
            TiledBuffer tiles(&destination);
            ASSERT_TRUE(tiles.Rewind(c.tileWidth, c.tileHeight));
            std::vector<Region> grid;
            for (int y = 0; y < c.height; y += c.tileHeight)
                for (int x = 0; x < c.width; x += c.tileWidth)
                    grid.push_back(Region(x, y, std::min(c.tileWidth, c.width - x),
                                          std::min(c.tileHeight, c.height - y)));
            EXPECT_TRUE(std::vector<Region>(tiles.Tiles().begin(), tiles.Tiles().end()) == grid);
            while (tiles.Next()) {
                ClearColorBuffer(Color::Transparent); // the target keeps the previous tile
                Replace replace;
                if (c.kind == kCopy) tiles.Write(&source, 0, 0);
                if (c.kind == kRect) glColor4f(1, 0, 0, 1), glRectf(0, 0, 40, 15);
                if (c.kind == kAngle) tiles.Perspective(90.0, 1.0, 1.0, 10.0);
                if (c.kind == kFrustum) tiles.Perspective(-1.0f, 1.0f, -1.0f, 1.0f, 1.0f, 10.0f);
                if (c.kind == kAngle || c.kind == kFrustum)
                    glColor4f(0, 1, 0, 1), Quad(0, 0, 3.8f, 2, -2);
                if (c.kind == kRS3d) tiles.RS3dPerspective(-1.0f, 1.0f, -1.0f, 1.0f, 1.0f, 10.0f);
                if (c.kind == kRS3d) glColor4f(0, 0, 1, 1), Quad(-2, -2, 2, 0, -2);
                if (c.kind == kFit) tiles.WriteFit(&quarters);
            }
            EXPECT_EQ(tiles.GetRender(), nullptr); // released after the last tile
        });
        const auto expected = [&](int x, int y) -> int64_t { // at memory row y; -1: not looked at
            if (c.kind == kRect) return (c.bottomUp ? y : c.height - 1 - y) < 15 ? colours[0] : 0;
            if (c.kind == kRS3d) return y < 15 ? colours[2] : 0;
            if (c.kind == kFit && (std::abs(y - 50) < 3 || std::abs(x - 100) < 3)) return -1;
            if (c.kind == kFit) return colours[y / 50 * 2 + x / 100];
            if (y == 3) return x < (c.kind == kAngle ? 38 : 39) ? colours[1] : 0;
            return x ? -1 : y == 14 ? colours[1] : y == 16 ? 0 : -1;
        };
        if (c.kind == kCopy) {
            EXPECT_TRUE(SameBytes(Pixels(destination), Pixels(source), c.width, c.bitDepth / 8))
                << c.width << "x" << c.height << (c.bottomUp ? " bottom-up" : " top-down");
            continue;
        }
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                ASSERT_TRUE(expected(x, y) < 0 || destination.At<uint32_t>(x, y) == expected(x, y))
                    << c.kind << (c.bottomUp ? " bottom-up" : "") << " at " << x << "," << y;
    }
}

// Made off the worker thread nothing is rendered and the destination is cleared, as it is by a
// further Next on a finished buffer; an empty image, or one whose row length wraps around 32
// bits (8 bytes a row that pass the image checks), gets no tile and is never touched.
TEST(TiledBuffer, WithoutTilesToDrawTheDestinationIsClearedOrLeftAlone) {
    TestImage destination(30, 20), empty(0, 5), wraps(8, 6);
    std::memset(destination.Bytes(), 0xAB, destination.ByteCount());
    EXPECT_FALSE(TiledBuffer(&destination).Next() || TiledBuffer(nullptr).Next());
    EXPECT_TRUE(SameBytes(Pixels(destination), std::vector<uint8_t>(30 * 20 * 4), 30));
    wraps.SetWidth((1 << 27) + 2);
    ASSERT_TRUE(IsValid(&wraps));
    std::memset(wraps.Bytes(), 0x5a, wraps.ByteCount());
    RunOnWorker([&] {
        for (TestImage* image : {&empty, &wraps})
            EXPECT_TRUE(TiledBuffer(image).Tiles().empty() && !TiledBuffer(image).Next());
        TiledBuffer tiles(&destination);
        EXPECT_FALSE(tiles.Rewind(0, 20)); // no tiles of no width
        ASSERT_TRUE(tiles.Rewind(30, 20));
        while (tiles.Next()) glColor4f(1, 1, 1, 1), glRectf(0, 0, 30, 20);
        EXPECT_EQ(destination.At<uint32_t>(5, 5), 0xFFFFFFFFu);
        EXPECT_FALSE(tiles.Next());
        EXPECT_EQ(destination.At<uint32_t>(5, 5), 0u);
    });
    EXPECT_EQ(size_t(std::count(wraps.Bytes(), wraps.Bytes() + wraps.ByteCount(), 0x5a)),
              wraps.ByteCount());
}

// A throw on the first or a later tile gives back every texture and render buffer and the
// state the drawing changed.
TEST(TiledBuffer, FailuresWhileDrawingLeaveNothingBehind) {
    RunOnWorker([] {
        TestImage destination(300, 200);
        const auto draw = [&](int failingTile) {
            TiledBuffer tiles(&destination);
            tiles.Rewind(128, 128);
            for (int tile = 1; tiles.Next(); ++tile) {
                PushBlendFunc replace(BlendFunc::Replace);
                glEnable(GL_DEPTH_TEST);
                if (tile == failingTile) throw std::runtime_error("drawing failed");
            }
        };
        draw(0); // fills the caches, so that the counts compare like with like
        const StateSnapshot before;
        const int textures = TextureBuffer::Factory().InUseBytes();
        const int renderBuffers = RenderBuffer::Factory().InUseBytes();
        for (int failingTile : {1, 3}) {
            EXPECT_THROW(draw(failingTile), std::runtime_error);
            EXPECT_EQ(TextureBuffer::Factory().InUseBytes(), textures);
            EXPECT_EQ(RenderBuffer::Factory().InUseBytes(), renderBuffers);
            const StateSnapshot after;
            EXPECT_TRUE(before == after) << before.Differences(after);
        }
    });
}

// A written image blits one to one. The cache hands out a larger texture (640 x 480 gets
// 1024 x 512), but drawing stays inside the texture's own size, and a read into a region is cut
// to the image.
TEST(RenderedTexture, WritesBlitsAndDrawsAndReadsWithinItsOwnSize) {
    RunOnWorker([] {
        RenderedTexture texture, small, other;
        texture.Resize(640, 480, GL_RGBA, GL_UNSIGNED_BYTE);
        small.Resize(64, 32, GL_RGBA, GL_UNSIGNED_BYTE);
        other.Resize(64, 32, GL_RGBA, GL_UNSIGNED_BYTE);
        TestImage corner(640, 480, kRGBA, 32, 255, true), source(64, 32),
            copy(64, 32, kRGBA, 32, 255, true);
        std::memset(corner.Bytes(), 0x11, corner.ByteCount());
        FillChannels<uint8_t>(source, [](int x, int y, int c) {
            return c == 3 ? 255 : (x * 37 + y * 101 + c * 59) % 256; // opaque: a blit blends
        });
        Render(small, [&] { small.Write(&source); });
        Render(other, [&] { small.Blit(), other.Read(&copy); });
        EXPECT_TRUE(SameBytes(Pixels(copy), Pixels(source, true), 64));
        Render(texture, [&] {
            ASSERT_GT(texture.Buffer()->Width(), 700);
            glColor4f(1, 0, 0, 1), glRectf(-100, -100, 3000, 3000);
            EXPECT_EQ(Texel(texture.Buffer(), 700, 10), (std::array<uint8_t, 4>{}));
            texture.Read(&corner, Region(600, 440, 100, 100), false);
        });
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                ASSERT_EQ(corner.At<uint32_t>(x, y), x < 600 || y < 440 ? 0x11111111u : 0xFF0000FFu)
                    << x << "," << y;
    });
}

// Reading back takes shortcuts around the drawing pass where the pass would only turn rows
// over, clamp, or sum to luminance; a processing step that changes nothing forces the pass.
// Every layout the shortcuts serve, in either row order, must get the same bytes both ways,
// from texels of every half-float pattern (infinities and NaN only for the 8-bit layouts).
TEST(RenderedTexture, ReadShortcutsGiveTheBytesOfTheDrawingPass) {
    RunOnWorker([] {
        const int w = 256, h = 64; // 65536 channel values
        const Region all(0, 0, w, h);
        RenderedTexture target;
        target.Resize(w, h, GL_RGBA, GL_HALF_FLOAT_ARB);
        Selection<RenderedTexture> selection(target);
        ASSERT_EQ(target.Buffer()->Key().InternalFormat(), GLenum(GL_RGBA16F_ARB));
        const int32_t B = Fourcc("BGRA"), L = GL_LUMINANCE32F_ARB, A = GL_ALPHA32F_ARB;
        const int32_t cases[][3] = {{kRGBA, 32, 255}, {32, 32, 255}, {B, 32, 255},
                                    {kRGBA, 128, 1},  {L, 32, 1},    {A, 32, 1}};
        std::mt19937 random(11);
        for (const auto& c : cases) {
            TestImage texels(w, h, kRGBA, 64, 1, true);
            uint16_t* halves = reinterpret_cast<uint16_t*>(texels.Bytes());
            for (size_t i = 0; i < size_t(w) * h * 4; ++i) // infinities and NaN only into bytes
                halves[i] = uint16_t(c[2] == 1 && (i & 0x7c00) == 0x7c00 ? i & 0xbfff : i);
            std::shuffle(halves, halves + size_t(w) * h * 4, random);
            target.Buffer()->Bind();
            target.Buffer()->LoadImageNative(&texels, all, all, false);
            // Float RGBA rows in OpenGL's order are read directly, unclamped: no pass to match.
            for (bool bottomUp : {false, c[1] != 128}) {
                TestImage shortcut(w, h, c[0], c[1], c[2], bottomUp),
                    pass(w, h, c[0], c[1], c[2], bottomUp);
                target.Read(&shortcut);
                target.SetReadProcessing(&Conversion::sNoProcess);
                target.Read(&pass);
                target.SetReadProcessing(nullptr);
                EXPECT_TRUE(SameBytes(Pixels(shortcut), Pixels(pass), w, c[1] / 8))
                    << c[0] << " " << c[1] << (bottomUp ? " bottom-up" : " top-down");
            }
        }
    });
}
