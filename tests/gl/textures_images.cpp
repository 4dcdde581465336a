#include "GLTest.h"
#include "TestImage.h"
#include "TestTarget.h"

#include "common/Errors.h"
#include "gl/geometry/SimplePlane.h"
#include "gl/texture/ImageTextures.h"
#include "gl/texture/Selection.h"
#include "gl/texture/TextureBuffer.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

using namespace OGL_TESK_AE;
using tesk_test::Fourcc;
using tesk_test::RunOnWorker;
using tesk_test::TestImage;
using tesk_test::TestTarget;

namespace {

const int32_t kRGBA = Fourcc("RGBA");

// The lower-left w x h texels of a texture as 8-bit RGBA, bottom row first.
std::vector<uint8_t> Texels(const Texture& texture, int w, int h) {
    std::vector<uint8_t> texels(static_cast<size_t>(w) * h * 4, 0xCD);
    if (!texture.Buffer()) {
        ADD_FAILURE() << "no texture";
        return texels;
    }
    Selection<TextureBuffer> selection(*texture.Buffer());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

// Texel row y of w-wide texels against w pixels of a memory row, from column x0.
bool SameRow(const std::vector<uint8_t>& texels, int w, int y, TestImage& image, int memoryRow,
             int x0 = 0, int texelX0 = 0, int count = -1) {
    const int n = count < 0 ? w : count;
    return std::memcmp(texels.data() + (static_cast<size_t>(y) * w + texelX0) * 4,
                       image.Row(memoryRow) + x0 * 4, static_cast<size_t>(n) * 4) == 0;
}

} // namespace

TEST(SubImageTexture, LoadsItsRegionOnceFromTheRightMemoryRows) {
    RunOnWorker([] {
        // Regions count rows from the bottom of the picture: (0, 0, 100, 10) of a top-down
        // 100 x 100 image is its last ten rows in memory.
        TestImage image(100, 100, kRGBA, 32, 255, false);
        image.FillRandomBytes(21);
        SubImageTexture texture(&image);
        EXPECT_EQ(texture.GetRegion(), Region(0, 0, 100, 100));
        texture.SetRegion(Region(0, 0, 100, 10));
        EXPECT_EQ(texture.GetWidth(), 100);
        EXPECT_EQ(texture.GetHeight(), 10);
        texture.Apply();
        EXPECT_TRUE(texture.IsLoaded());
        std::vector<uint8_t> texels = Texels(texture, 100, 10);
        for (int y = 0; y < 10; ++y) EXPECT_TRUE(SameRow(texels, 100, y, image, 99 - y)) << y;

        // The same region again keeps what is loaded, even though the image changed.
        const std::vector<uint8_t> before = texels;
        image.FillRandomBytes(22);
        texture.SetRegion(Region(0, 0, 100, 10));
        EXPECT_TRUE(texture.IsLoaded());
        texture.Apply();
        EXPECT_TRUE(Texels(texture, 100, 10) == before);

        // Another region reloads, from the changed pixels.
        texture.SetRegion(Region(20, 10, 50, 10));
        EXPECT_FALSE(texture.IsLoaded());
        texture.Apply();
        texels = Texels(texture, 50, 10);
        for (int y = 0; y < 10; ++y) EXPECT_TRUE(SameRow(texels, 50, y, image, 89 - y, 20)) << y;

        // The texture matrix spans the region; beyond its right and top edges the last texels
        // repeat, so that filtering at the edge sees nothing else.
        GLfloat matrix[16] = {};
        glGetFloatv(GL_TEXTURE_MATRIX, matrix);
        EXPECT_EQ(matrix[0], 50.0f);
        EXPECT_EQ(matrix[5], 10.0f);
        texels = Texels(texture, 51, 11);
        for (int y = 0; y < 10; ++y)
            EXPECT_TRUE(SameRow(texels, 51, y, image, 89 - y, 69, 50, 1)) << y;
        EXPECT_TRUE(SameRow(texels, 51, 10, image, 80, 20, 0, 50));

        // A mask multiplies the loaded alpha and keeps the colour; its rows are found the same
        // way (the mask is top-down, the image bottom-up here).
        TestImage opaque(8, 4, kRGBA, 32, 255, true);
        opaque.FillRandomBytes(26);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x) opaque.Row(y)[x * 4 + 3] = 255;
        TestImage mask(8, 4, 1, 8, 255, false);
        mask.FillRandomBytes(27);
        SubImageTexture masked(&opaque);
        masked.SetMask(&mask);
        masked.Apply();
        texels = Texels(masked, 8, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x) {
                const uint8_t* t = texels.data() + (y * 8 + x) * 4;
                EXPECT_EQ(std::memcmp(t, opaque.Row(y) + x * 4, 3), 0) << x << " " << y;
                EXPECT_EQ(t[3], mask.Row(3 - y)[x]) << x << " " << y;
            }

        // No image: an empty region and nothing to load.
        texture.SetImage(nullptr);
        EXPECT_FALSE(texture.GetRegion().IsValid());
        EXPECT_FALSE(texture.IsLoaded());
    });
}

TEST(AlphaTexture, UploadsTheAlphaChannelAndSamplesItUpright) {
    RunOnWorker([] {
        // A one-channel 8-bit image (colour space 1), top-down: drawn through the texture, its
        // first memory row is the top of the picture.
        TestImage alpha(20, 10, 1, 8, 255, false);
        alpha.FillRandomBytes(23);
        AlphaTexture texture(&alpha);
        EXPECT_EQ(texture.GetRegion(), Region(0, 0, 20, 10));
        TestTarget target(20, 10);
        ASSERT_TRUE(target.IsComplete());
        target.PixelProjection();
        glDisable(GL_BLEND);
        glColor4f(1, 1, 1, 1);
        texture.Apply();
        sPlane.Draw(0, 0, 20, 10, 0);
        glDisable(GL_TEXTURE_RECTANGLE_ARB);
        const auto pixels = target.Read();
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 20; ++x) {
                const auto p = target.At(pixels, x, y);
                ASSERT_EQ(p[3], alpha.Row(9 - y)[x]) << x << " " << y;
                ASSERT_EQ(p[0], 0) << x << " " << y;
            }

        AlphaTexture empty;
        EXPECT_THROW(empty.Load(), OpenGLError);
    });
}

TEST(BorderTexture, SurroundsTheImageWithATransparentRing) {
    RunOnWorker([] {
        for (bool bottomUp : {true, false}) {
            TestImage image(10, 10, kRGBA, 32, 255, bottomUp);
            image.FillRandomBytes(bottomUp ? 24 : 25);
            for (int y = 0; y < 10; ++y)
                for (int x = 0; x < 10; ++x) image.Row(y)[x * 4 + 3] |= 1; // no transparent pixel
            BorderTexture texture;
            texture.SetImage(&image);
            EXPECT_EQ(texture.GetWidth(), 12);
            EXPECT_EQ(texture.GetHeight(), 12);
            texture.Apply();
            GLfloat matrix[16] = {};
            glGetFloatv(GL_TEXTURE_MATRIX, matrix);
            EXPECT_EQ(matrix[0], 10.0f);
            EXPECT_EQ(matrix[12], 1.0f);
            EXPECT_EQ(matrix[13], 1.0f);
            const std::vector<uint8_t> texels = Texels(texture, 12, 12);
            for (int y = 0; y < 12; ++y)
                for (int x = 0; x < 12; ++x) {
                    const uint8_t* t = texels.data() + (y * 12 + x) * 4;
                    const bool ring = x == 0 || y == 0 || x == 11 || y == 11;
                    if (ring) {
                        ASSERT_EQ(std::memcmp(t, "\0\0\0\0", 4), 0) << x << " " << y;
                    } else {
                        const int memoryRow = bottomUp ? y - 1 : 10 - y;
                        ASSERT_EQ(std::memcmp(t, image.Row(memoryRow) + (x - 1) * 4, 4), 0)
                            << bottomUp << " " << x << " " << y;
                    }
                }
        }
        BorderTexture none;
        EXPECT_THROW(none.Load(), OpenGLError);
    });
}
