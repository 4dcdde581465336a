#include "GLTest.h"
#include "TestTarget.h"

#include "common/Errors.h"
#include "gl/geometry/SimplePlane.h"
#include "gl/texture/ImageTextures.h"

#include <algorithm>

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

const int32_t kRGBA = Fourcc("RGBA");

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
        const std::vector<uint8_t> loaded = ReadTexels(texture.Buffer(), 100, 10);
        EXPECT_TRUE(SameBytes(
            loaded, Gather(100, 10, 4, [&](int x, int y) { return image.Row(99 - y) + x * 4; }),
            100));

        // The same region again keeps what is loaded, even though the image changed.
        image.FillRandomBytes(22);
        texture.SetRegion(Region(0, 0, 100, 10));
        EXPECT_TRUE(texture.IsLoaded());
        texture.Apply();
        EXPECT_TRUE(SameBytes(ReadTexels(texture.Buffer(), 100, 10), loaded, 100));

        // Another region reloads, from the changed pixels. The texture matrix spans the region;
        // beyond its right and top edges the last texels repeat, so that filtering at the edge
        // sees nothing else.
        texture.SetRegion(Region(20, 10, 50, 10));
        EXPECT_FALSE(texture.IsLoaded());
        texture.Apply();
        EXPECT_EQ(Floats(GL_TEXTURE_MATRIX)[0], 50.0f);
        EXPECT_EQ(Floats(GL_TEXTURE_MATRIX)[5], 10.0f);
        EXPECT_TRUE(SameBytes(ReadTexels(texture.Buffer(), 51, 11),
                              Gather(51, 11, 4,
                                     [&](int x, int y) {
                                         return image.Row(89 - std::min(y, 9)) +
                                                (20 + std::min(x, 49)) * 4;
                                     }),
                              51));

        // A mask multiplies the loaded alpha and keeps the colour; its rows are found the same
        // way (the mask is top-down, the image bottom-up here).
        TestImage opaque(8, 4, kRGBA, 32, 255, true);
        FillChannels<uint8_t>(opaque, [](int x, int y, int c) {
            return c == 3 ? 255 : (x * 37 + y * 101 + c * 59) % 256;
        });
        TestImage mask(8, 4, 1, 8, 255, false);
        mask.FillRandomBytes(27);
        SubImageTexture masked(&opaque);
        masked.SetMask(&mask);
        masked.Apply();
        std::vector<uint8_t> expected = Pixels(opaque);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x) expected[(y * 8 + x) * 4 + 3] = mask.Row(3 - y)[x];
        EXPECT_TRUE(SameBytes(ReadTexels(masked.Buffer(), 8, 4), expected, 8));

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
        std::vector<uint8_t> expected(20 * 10 * 4, 0);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 20; ++x) expected[(y * 20 + x) * 4 + 3] = alpha.Row(9 - y)[x];
        EXPECT_TRUE(PixelsNear(&pixels[0][0], expected, expected.size(), 20));

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
            const std::array<GLfloat, 16> matrix = Floats(GL_TEXTURE_MATRIX);
            EXPECT_EQ(matrix[0], 10.0f);
            EXPECT_EQ(matrix[12], 1.0f);
            EXPECT_EQ(matrix[13], 1.0f);
            static const uint8_t clear[4] = {};
            const auto expected = Gather(12, 12, 4, [&](int x, int y) -> const uint8_t* {
                if (x == 0 || y == 0 || x == 11 || y == 11) return clear;
                return image.Row(bottomUp ? y - 1 : 10 - y) + (x - 1) * 4;
            });
            EXPECT_TRUE(SameBytes(ReadTexels(texture.Buffer(), 12, 12), expected, 12)) << bottomUp;
        }
        BorderTexture none;
        EXPECT_THROW(none.Load(), OpenGLError);
    });
}
