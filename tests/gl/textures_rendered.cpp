#include "GLTest.h"

#include "gl/effects/Conversion.h"
#include "gl/state/Blend.h"
#include "gl/state/Clear.h"
#include "gl/state/Push.h"
#include "gl/texture/RenderBuffer.h"
#include "gl/texture/RenderedTexture.h"

#include <algorithm>
#include <memory>
#include <random>

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

const int32_t kRGBA = Fourcc("RGBA");

// Selects the texture, clears it and runs draw with blending off and the colour white.
template <class F> void Render(RenderedTexture& texture, F draw) {
    Selection<RenderedTexture> selection(texture);
    ASSERT_TRUE(selection.IsSelected());
    texture.Clear();
    PushBlendFunc replace(BlendFunc::Replace);
    PushColor white(Color::White);
    draw();
}

} // namespace

// Drawing and reading stay inside the texture's own size, though the cache hands out its shared
// size; a copy takes the framebuffer object and depth buffer, and neither is released twice.
TEST(RenderedTexture, RendersAndReadsBackOnlyItsOwnSize) {
    RunOnWorker([] {
        RenderedTexture texture;
        EXPECT_EQ(texture.Width(), 2048);
        texture.Resize(640, 480, GL_RGBA, GL_UNSIGNED_BYTE);
        EXPECT_EQ(texture.GetHeight(), 480);
        const int depthInUse = RenderBuffer::Factory().InUseBytes();
        const GLint outside = Integer(GL_FRAMEBUFFER_BINDING_EXT);
        TestImage image(640, 480, kRGBA, 32, 255, false), corner(640, 480, kRGBA, 32, 255, true);
        std::memset(corner.Bytes(), 0x11, corner.ByteCount());
        Render(texture, [&] {
            EXPECT_GE(texture.Buffer()->Height(), 1080);
            ASSERT_NE(texture.DepthBuffer(), nullptr);
            EXPECT_EQ(texture.DepthBuffer()->Width(), texture.Buffer()->Width());
            EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING_EXT), GLint(texture.FramebufferName()));
            glColor4f(1, 0, 0, 1);
            glRectf(-100, -100, 3000, 3000); // far beyond the texture's own size
            EXPECT_EQ(Texel(texture.Buffer(), 700, 10), (std::array<uint8_t, 4>{}));
            texture.Read(&image);
            // Cut to the image: 40 x 40 texels land at (600, 440), nothing else changes.
            texture.Read(&corner, Region(600, 440, 100, 100), false);
        });
        EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING_EXT), outside);
        TestImage want(640, 480);
        FillChannels<uint32_t>(want, [](int, int, int) { return 0xFF0000FFu; });
        EXPECT_TRUE(SameBytes(Pixels(image), Pixels(want), 640));
        FillChannels<uint32_t>(want, [](int x, int y, int) {
            return x >= 600 && y >= 440 ? 0xFF0000FFu : 0x11111111u;
        });
        EXPECT_TRUE(SameBytes(Pixels(corner), Pixels(want), 640));

        const GLuint framebuffer = texture.FramebufferName();
        {
            RenderedTexture taker(texture);
            EXPECT_EQ(taker.FramebufferName(), framebuffer);
            EXPECT_NE(taker.DepthBuffer(), nullptr);
            EXPECT_EQ(texture.FramebufferName(), 0u);
            EXPECT_EQ(texture.DepthBuffer(), nullptr);
            EXPECT_NE(texture.Buffer(), nullptr); // the colour stays with the original
        }
        EXPECT_FALSE(TESK_GL(glIsFramebufferEXT)(framebuffer));
        EXPECT_EQ(RenderBuffer::Factory().InUseBytes(), depthInUse);
        texture.Resize(0, 10, GL_RGBA, GL_FLOAT); // drops the texture; an empty size
        EXPECT_EQ(texture.Buffer(), nullptr);     // cannot be selected
        EXPECT_FALSE(texture.Select());
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

TEST(RenderedTexture, WritesBlitsAndReadsBackInEitherRowOrder) {
    RunOnWorker([] {
        TestImage source(64, 32, kRGBA, 32, 255, false), opaque(64, 32, kRGBA, 32, 255, true),
            topDown(64, 32, kRGBA, 32, 255, false), bottomUp(64, 32, kRGBA, 32, 255, true),
            flipped(64, 32, kRGBA, 32, 255, false), copy(64, 32, kRGBA, 32, 255, true),
            large(100, 50, kRGBA, 32, 255, false), fitted(64, 32, kRGBA, 32, 255, false),
            view(64, 32, kRGBA, 32, 255, true);
        source.FillRandomBytes(11);
        large.FillRandomBytes(12);
        FillChannels<uint8_t>(opaque, [](int x, int y, int c) {
            return c == 3 ? 255 : (x * 37 + y * 101 + c * 59) % 256;
        });
        RenderedTexture texture, second;
        texture.Resize(64, 32, GL_RGBA, GL_UNSIGNED_BYTE);
        second.Resize(64, 32, GL_RGBA, GL_UNSIGNED_BYTE);
        Render(texture, [&] {
            texture.Write(&source);
            texture.Read(&topDown);
            texture.Read(&bottomUp);
            texture.Read(&flipped, Region(0, 0, 64, 32), true);
        });
        EXPECT_TRUE(SameBytes(Pixels(topDown), Pixels(source), 64));
        // Picture row 0 (the bottom) is the last memory row of the top-down source; a flip on
        // top of the top-down turn-over cancels it.
        EXPECT_TRUE(SameBytes(Pixels(bottomUp), Pixels(source, true), 64));
        EXPECT_TRUE(SameBytes(Pixels(flipped), Pixels(source, true), 64));

        // Blit draws one texture into another one to one, in the default state.
        Render(texture, [&] { texture.Write(&opaque); });
        Render(second, [&] { texture.Blit(), second.Read(&copy); });
        EXPECT_TRUE(SameBytes(Pixels(copy), Pixels(opaque), 64));

        // WriteFit puts the bottom-left corner in unscaled: memory rows 18 to 49 of the top-down
        // 100 x 50 source, columns 0 to 63.
        Render(texture, [&] { texture.WriteFit(&large), texture.Read(&fitted); });
        EXPECT_TRUE(SameBytes(
            Pixels(fitted),
            Gather(64, 32, 4, [&](int x, int y) { return large.Row(18 + y) + x * 4; }), 64));

        // Perspective turns y over: normalised y in [0, 1] lands on the lower 16 of 32 rows.
        Render(second, [&] {
            second.Perspective(-1, 1, -1, 1, 1, 10);
            glColor4f(0, 1, 0, 1);
            Quad(-2, 0, 2, 2, -2);
            second.Read(&view);
        });
        for (int y = 0; y < 32; ++y)
            for (int x : {0, 63}) EXPECT_EQ(view.Row(y)[x * 4 + 1], y < 16 ? 255 : 0) << x << y;
    });
}

TEST(RenderedTexture, ReadsIntoHostChannelLayouts) {
    RunOnWorker([] {
        // One colour, read into images of several layouts: through the native transfer where
        // OpenGL can reorder the channels itself, through the conversion pass (swizzle, white
        // level) where it cannot. A channel value halfway between two integers may round either
        // way; at white 32768 every channel is scaled by 32768 / 65535.
        RenderedTexture texture;
        texture.Resize(4, 2, GL_RGBA, GL_UNSIGNED_BYTE);
        const struct {
            int32_t colorSpace, bitDepth, whiteLevel;
            bool bottomUp;
            int expected[4]; // channels in memory order
        } cases[] = {{32, 32, 255, false, {128, 255, 64, 0}},
                     {Fourcc("BGRA"), 32, 255, false, {0, 64, 255, 128}},
                     {kRGBA, 32, 255, false, {255, 64, 0, 128}},
                     {32, 64, 65535, false, {32768, 65535, 16384, 0}},
                     {kRGBA, 64, 65535, true, {65535, 16384, 0, 32768}},
                     {kRGBA, 64, 32768, false, {32768, 8192, 0, 16384}}};
        for (const auto& c : cases) {
            TestImage image(4, 2, c.colorSpace, c.bitDepth, c.whiteLevel, c.bottomUp);
            Render(texture, [&] {
                glColor4f(1.0f, 0.25f, 0.0f, 0.5f), glRectf(0, 0, 4, 2);
                texture.Read(&image);
            });
            std::vector<int> want(32);
            for (int i = 0; i < 32; ++i) want[i] = c.expected[i % 4];
            const uint16_t* wide = reinterpret_cast<const uint16_t*>(image.Bytes());
            EXPECT_TRUE(c.bitDepth == 32 ? PixelsNear(image.Bytes(), want, 32, 4, 1)
                                         : PixelsNear(wide, want, 32, 4, 1))
                << c.colorSpace << " " << c.bitDepth << " " << c.whiteLevel;
        }
    });
}

// Reading back takes shortcuts around the drawing pass where the pass would only turn rows
// over, clamp, or sum to luminance; a processing step that changes nothing forces the pass.
// Every layout the shortcuts serve, in either row order, must get the same bytes both ways,
// from texels of every half-float pattern (infinities and NaN only for the 8-bit layouts).
TEST(RenderedTexture, ReadShortcutsGiveTheBytesOfTheDrawingPass) {
    RunOnWorker([] {
        const int w = 256, h = 64; // 65536 channel values
        RenderedTexture target;
        target.Resize(w, h, GL_RGBA, GL_HALF_FLOAT_ARB);
        Selection<RenderedTexture> selection(target);
        ASSERT_EQ(target.Buffer()->Key().InternalFormat(), GLenum(GL_RGBA16F_ARB));
        const int32_t cases[][3] = {{kRGBA, 32, 255},
                                    {32, 32, 255},
                                    {Fourcc("BGRA"), 32, 255},
                                    {kRGBA, 128, 1},
                                    {GL_LUMINANCE32F_ARB, 32, 1},
                                    {GL_ALPHA32F_ARB, 32, 1}};
        std::mt19937 random(11);
        for (const auto& c : cases) {
            std::vector<uint16_t> halves(static_cast<size_t>(w) * h * 4);
            for (size_t i = 0; i < halves.size(); ++i) {
                halves[i] = static_cast<uint16_t>(i);
                if (c[2] == 1 && (halves[i] & 0x7c00) == 0x7c00) halves[i] &= 0xbfff;
            }
            std::shuffle(halves.begin(), halves.end(), random);
            {
                Push<Texture> binding;
                target.Buffer()->Bind();
                glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
                glTexSubImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, 0, 0, w, h, GL_RGBA, GL_HALF_FLOAT_ARB,
                                halves.data());
            }
            // Float RGBA rows in OpenGL's order are read directly, unclamped: that read stands
            // in for no pass.
            for (bool bottomUp : {false, c[1] != 128}) {
                TestImage shortcut(w, h, c[0], c[1], c[2], bottomUp),
                    pass(w, h, c[0], c[1], c[2], bottomUp);
                target.SetReadProcessing(nullptr);
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
