#include "GLTest.h"

#include "common/Errors.h"
#include "gl/context/Capabilities.h"
#include "gl/texture/RenderBuffer.h"
#include "gl/texture/Texture.h"
#include "gl/texture/TextureFormat.h"

using namespace OGL_TESK_AE;
using namespace tesk_test;

TEST(TextureBuffer, SelectSetsAPixelProjectionAndReportsTheRealFormat) {
    RunOnWorker([] {
        TextureBuffer buffer(TextureKey(GL_TEXTURE_RECTANGLE_ARB, 40, 24, GL_RGBA32F_ARB, true));
        EXPECT_EQ(buffer.Size(), CalculateTextureSize(40, 24, GL_RGBA32F_ARB));
        const GLint before = Integer(GL_FRAMEBUFFER_BINDING_EXT);
        {
            Selection<TextureBuffer> selection(buffer);
            ASSERT_TRUE(selection.IsSelected());
            EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING_EXT), GLint(buffer.FramebufferName()));
            const std::array<GLfloat, 16> box = Floats(GL_SCISSOR_BOX),
                                          p = Floats(GL_PROJECTION_MATRIX);
            EXPECT_TRUE(box[0] == 0 && box[1] == 0 && box[2] == 40 && box[3] == 24);
            EXPECT_NEAR(p[0], 2.0 / 40, 1e-7); // 0..40 -> -1..1 (single precision)
            EXPECT_NEAR(p[5], 2.0 / 24, 1e-7);
            EXPECT_EQ(p[12], -1.0f);
            EXPECT_EQ(GetCurrentInternalFormat(), GLenum(GL_RGBA32F_ARB));
        }
        EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING_EXT), before);
        EXPECT_FALSE(
            TextureBuffer(TextureKey(GL_TEXTURE_RECTANGLE_ARB, 0, 16, GL_RGBA8, true)).Select());

        // Shared buffers are made at least one HD tile large; exact ones keep their size.
        for (bool exact : {false, true}) {
            TextureBuffer* made = TextureBuffer::Make(
                TextureKey(GL_TEXTURE_RECTANGLE_ARB, 640, 480, GL_RGBA8, exact));
            EXPECT_EQ(made->Width(), exact ? 640 : 2048);
            EXPECT_EQ(made->Height(), exact ? 480 : 1080);
            TextureBuffer::Recycle(made);
        }
        // Float and half-float pixels get float textures where the card keeps them.
        const GLenum floatFormat = IsFloatSupported() ? GL_RGBA32F_ARB : GL_RGBA16;
        EXPECT_EQ(GetInternalFormat(GL_BGRA, GL_UNSIGNED_INT), floatFormat);
        EXPECT_EQ(GetInternalFormat(GL_RGBA, GL_HALF_FLOAT_ARB),
                  IsHalfFloatSupported() ? static_cast<GLenum>(GL_RGBA16F_ARB) : floatFormat);
    });
}

// Native transfers move bytes untouched between regions of padded image rows and regions of
// the texture: 8-bit RGBA, and code 32 (ARGB bytes) which OpenGL takes as packed BGRA.
TEST(TextureBuffer, NativeTransfersKeepEveryByteOfTheirRegions) {
    RunOnWorker([] {
        for (int32_t code : {Fourcc("RGBA"), int32_t(32)}) {
            TestImage source(13, 7, code, 32, 255, true, 13 * 4 + 12);
            source.FillRandomBytes(code & 0xFF);
            // The source's last 12 x 5 pixels go to (2, 1) of the texture, and from there to
            // (10, 20) of a larger image; nothing else of that image changes.
            TextureBuffer buffer(TextureKey(GL_TEXTURE_RECTANGLE_ARB, 16, 8, GL_RGBA8, true));
            buffer.LoadImageNative(&source, Region(1, 2, 12, 5), Region(2, 1, 12, 5), false);
            TestImage copy(32, 32, code, 32, 255, true, 32 * 4 + 12);
            {
                Selection<TextureBuffer> selection(buffer);
                buffer.ReadImageNative(&copy, Region(10, 20, 12, 5), Region(2, 1, 12, 5));
            }
            static const uint8_t clear[4] = {};
            EXPECT_TRUE(SameBytes(Pixels(copy),
                                  Gather(32, 32, 4,
                                         [&](int x, int y) -> const uint8_t* {
                                             if (x < 10 || x >= 22 || y < 20 || y >= 25)
                                                 return clear;
                                             return source.Row(y - 18) + (x - 9) * 4;
                                         }),
                                  32))
                << code;
            EXPECT_THROW(buffer.ReadImageNative(nullptr, Region(0, 0, 1, 1), Region(0, 0, 1, 1)),
                         OpenGLError);
        }
    });
}

TEST(TextureBuffer, RgbaLoadsKeepMemoryOrderAndMipmapsBuildEveryLevel) {
    RunOnWorker([] {
        // Code 32 pixels are A, R, G, B in memory; loaded as RGBA bytes they land in that order.
        TestImage argb(2, 1, 32, 32, 255, true);
        const uint8_t bytes[8] = {10, 20, 30, 40, 50, 60, 70, 80};
        std::memcpy(argb.Row(0), bytes, 8);
        TextureBuffer buffer(TextureKey(GL_TEXTURE_RECTANGLE_ARB, 2, 1, GL_RGBA8, true));
        buffer.LoadImageAsRgba(&argb, Region(0, 0, 2, 1), Region(0, 0, 2, 1));
        EXPECT_TRUE(
            SameBytes(ReadTexels(&buffer, 2, 1), std::vector<uint8_t>(bytes, bytes + 8), 2));

        TestImage square(16, 16, Fourcc("RGBA"), 32, 255, true);
        square.FillRandomBytes(1);
        TextureBuffer mipmapped(TextureKey(GL_TEXTURE_2D, 16, 16, GL_RGBA8, true));
        mipmapped.Bind();
        mipmapped.LoadImageNative(&square, Region(0, 0, 16, 16), Region(5, 5, 1, 1), true);
        EXPECT_EQ(TexParameter(GL_TEXTURE_2D, GL_TEXTURE_WIDTH, 4), 1); // five levels to 1 x 1
        EXPECT_TRUE(SameBytes(ReadTexels(&mipmapped, 16, 16), Pixels(square), 16)); // dst ignored
    });
}

TEST(RenderBuffer, SizesAreClampedToTheCard) {
    RunOnWorker([] {
        const GLint maxSize = Integer(GL_MAX_RENDERBUFFER_SIZE_EXT);
        EXPECT_EQ(RenderBuffer::ClampBufferSize(100), 100);
        EXPECT_EQ(RenderBuffer::ClampMultisample(1), 0);
        if (RenderBuffer::IsMultiSampleSupported()) {
            EXPECT_EQ(RenderBuffer::ClampMultisample(1000), Integer(GL_MAX_SAMPLES_EXT));
        }
        RenderBuffer wide(RenderKey(maxSize + 10, 10, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT));
        EXPECT_EQ(wide.Width(), maxSize);
        EXPECT_EQ(wide.Key().InternalFormat(), GLenum(GL_DEPTH_COMPONENT24));
        EXPECT_EQ(wide.Size(), CalculateTextureSize(maxSize, 10, GL_DEPTH_COMPONENT24));
    });
}
