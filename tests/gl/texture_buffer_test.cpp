#include "GLTest.h"
#include "TestImage.h"

#include "common/Errors.h"
#include "gl/texture/RenderBuffer.h"
#include "gl/texture/Texture.h"
#include "gl/texture/Selection.h"
#include "gl/texture/TextureBuffer.h"
#include "gl/texture/TextureFormat.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>
#include <memory>

using namespace OGL_TESK_AE;
using tesk_test::Fourcc;
using tesk_test::RunOnWorker;
using tesk_test::TestImage;

namespace {

// Fills every byte of the image's rows with a pattern that differs per byte.
void Fill(TestImage& image, int seed) {
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int b = 0; b < image.GetRowBytes(); ++b)
            image.Row(y)[b] = static_cast<uint8_t>((b * 7 + y * 31 + seed) & 0xFF);
}

GLint Integer(GLenum name) {
    GLint v[4] = {};
    glGetIntegerv(name, v);
    return v[0];
}

} // namespace

TEST(TextureBuffer, SelectSetsAPixelProjectionAndReportsTheRealFormat) {
    RunOnWorker([] {
        TextureBuffer buffer(TextureKey(GL_TEXTURE_RECTANGLE_ARB, 40, 24, GL_RGBA32F_ARB, true));
        EXPECT_NE(buffer.Name(), 0u);
        EXPECT_EQ(buffer.Key().InternalFormat(), GLenum(GL_RGBA32F_ARB));
        EXPECT_EQ(buffer.Size(), CalculateTextureSize(40, 24, GL_RGBA32F_ARB));
        const GLint before = Integer(GL_FRAMEBUFFER_BINDING_EXT);
        {
            Selection<TextureBuffer> selection(buffer);
            ASSERT_TRUE(selection.IsSelected());
            EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING_EXT), GLint(buffer.FramebufferName()));
            GLint viewport[4], scissor[4];
            glGetIntegerv(GL_VIEWPORT, viewport);
            glGetIntegerv(GL_SCISSOR_BOX, scissor);
            for (GLint* box : {viewport, scissor}) {
                EXPECT_EQ(box[0], 0);
                EXPECT_EQ(box[2], 40);
                EXPECT_EQ(box[3], 24);
            }
            GLdouble projection[16];
            glGetDoublev(GL_PROJECTION_MATRIX, projection);
            EXPECT_NEAR(projection[0], 2.0 / 40, 1e-7); // x: 0..40 -> -1..1 (single precision)
            EXPECT_NEAR(projection[5], 2.0 / 24, 1e-7);
            EXPECT_DOUBLE_EQ(projection[12], -1.0);
            EXPECT_EQ(GetCurrentInternalFormat(), GLenum(GL_RGBA32F_ARB));
            // A new texture starts transparent.
            float pixel[4] = {1, 1, 1, 1};
            glReadPixels(39, 23, 1, 1, GL_RGBA, GL_FLOAT, pixel);
            EXPECT_EQ(pixel[3], 0.0f);
        }
        EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING_EXT), before);

        TextureBuffer empty(TextureKey(GL_TEXTURE_RECTANGLE_ARB, 0, 16, GL_RGBA8, true));
        EXPECT_FALSE(empty.Select());
        EXPECT_EQ(empty.FramebufferName(), 0u);
    });
}

TEST(TextureBuffer, CacheWidensSharedKeysAndKeepsExactOnesApart) {
    RunOnWorker([] {
        TextureBuffer* small =
            TextureBuffer::Make(TextureKey(GL_TEXTURE_RECTANGLE_ARB, 640, 480, GL_RGBA8, false));
        EXPECT_EQ(small->Width(), 2048);
        EXPECT_EQ(small->Height(), 1080);
        TextureBuffer::Recycle(small);
        TextureBuffer* hd =
            TextureBuffer::Make(TextureKey(GL_TEXTURE_RECTANGLE_ARB, 1920, 1080, GL_RGBA8, false));
        EXPECT_EQ(hd, small); // served from the idle list
        TextureBuffer::Recycle(hd);
        TextureBuffer* exact =
            TextureBuffer::Make(TextureKey(GL_TEXTURE_RECTANGLE_ARB, 640, 480, GL_RGBA8, true));
        EXPECT_NE(exact, small);
        EXPECT_EQ(exact->Width(), 640);
        TextureBuffer::Recycle(exact);
    });
}

TEST(TextureBuffer, NativeTransfersKeepEveryByte) {
    RunOnWorker([] {
        // 8-bit RGBA with padded rows, and code 32 (ARGB bytes) which OpenGL takes as
        // packed BGRA: both go in and come out untouched.
        for (int32_t code : {Fourcc("RGBA"), int32_t(32)}) {
            TestImage source(13, 7, code, 32, 255, true, 13 * 4 + 12);
            Fill(source, code & 0xFF);
            TextureBuffer buffer(TextureKey(GL_TEXTURE_RECTANGLE_ARB, 13, 7, GL_RGBA8, true));
            const Region all(0, 0, 13, 7);
            buffer.LoadImageNative(&source, all, all, false);
            TestImage copy(13, 7, code, 32, 255, true, 13 * 4 + 12);
            {
                Selection<TextureBuffer> selection(buffer);
                buffer.ReadImageNative(&copy, all, all);
            }
            for (int y = 0; y < 7; ++y)
                ASSERT_EQ(std::memcmp(source.Row(y), copy.Row(y), 13 * 4), 0) << code << " " << y;
        }
    });
}

TEST(TextureBuffer, RegionsAddressImageRowsAndColumns) {
    RunOnWorker([] {
        TestImage source(4, 3, Fourcc("RGBA"), 32, 255, true);
        Fill(source, 3);
        TextureBuffer buffer(TextureKey(GL_TEXTURE_RECTANGLE_ARB, 8, 8, GL_RGBA8, true));
        // Put the 4 x 3 image at (2, 1) of the texture, then read it back into (10, 20) of a
        // larger image.
        buffer.LoadImageNative(&source, Region(0, 0, 4, 3), Region(2, 1, 4, 3), false);
        TestImage target(32, 32, Fourcc("RGBA"), 32, 255, true);
        {
            Selection<TextureBuffer> selection(buffer);
            buffer.ReadImageNative(&target, Region(10, 20, 4, 3), Region(2, 1, 4, 3));
        }
        for (int y = 0; y < 3; ++y)
            EXPECT_EQ(std::memcmp(target.Row(20 + y) + 10 * 4, source.Row(y), 16), 0) << y;
        EXPECT_EQ(target.At<uint32_t>(9, 20), 0u);  // left of the region
        EXPECT_EQ(target.At<uint32_t>(10, 23), 0u); // above it
        EXPECT_THROW(buffer.ReadImageNative(nullptr, Region(0, 0, 1, 1), Region(0, 0, 1, 1)),
                     OpenGLError);
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
        uint8_t texels[8] = {};
        buffer.Bind();
        glGetTexImage(GL_TEXTURE_RECTANGLE_ARB, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
        EXPECT_EQ(std::memcmp(texels, bytes, 8), 0);

        TestImage square(16, 16, Fourcc("RGBA"), 32, 255, true);
        Fill(square, 1);
        TextureBuffer mipmapped(TextureKey(GL_TEXTURE_2D, 16, 16, GL_RGBA8, true));
        mipmapped.Bind();
        mipmapped.LoadImageNative(&square, Region(0, 0, 16, 16), Region(5, 5, 1, 1), true);
        GLint width = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 4, GL_TEXTURE_WIDTH, &width);
        EXPECT_EQ(width, 1); // all five levels down to 1 x 1
        uint8_t level0[16 * 16 * 4];
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, level0);
        EXPECT_EQ(std::memcmp(level0, square.Row(0), sizeof level0), 0); // dst was ignored
    });
}

TEST(RenderBuffer, SizesAreClampedToTheCard) {
    RunOnWorker([] {
        const GLint maxSize = Integer(GL_MAX_RENDERBUFFER_SIZE_EXT);
        EXPECT_EQ(RenderBuffer::ClampBufferSize(maxSize + 100000), maxSize);
        EXPECT_EQ(RenderBuffer::ClampBufferSize(100), 100);
        EXPECT_EQ(RenderBuffer::ClampMultisample(1), 0);
        if (RenderBuffer::IsMultiSampleSupported()) {
            EXPECT_EQ(RenderBuffer::ClampMultisample(1000), Integer(GL_MAX_SAMPLES_EXT));
        }
        std::unique_ptr<RenderBuffer> wide(
            new RenderBuffer(RenderKey(maxSize + 10, 10, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT)));
        EXPECT_EQ(wide->Width(), maxSize);
        EXPECT_EQ(wide->Height(), 10);
        EXPECT_EQ(wide->Key().InternalFormat(), GLenum(GL_DEPTH_COMPONENT24));
        EXPECT_EQ(wide->Size(), CalculateTextureSize(maxSize, 10, GL_DEPTH_COMPONENT24));
    });
}
