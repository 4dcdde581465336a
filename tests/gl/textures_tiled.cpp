#include "GLTest.h"

#include "common/Errors.h"
#include "gl/texture/NoiseTexture.h"
#include "gl/texture/TiledTexture.h"

#include <algorithm>
#include <memory>

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

const int32_t kRGBA = Fourcc("RGBA");

void Flat(TestImage& image, uint32_t colour) {
    FillChannels<uint32_t>(image, [colour](int, int, int) { return colour; });
}

} // namespace

TEST(TiledImageTexture, ResamplesOntoAPowerOfTwoTexture2D) {
    RunOnWorker([] {
        TestImage image(1000, 700, kRGBA, 32, 255, false);
        Flat(image, 0xFF336699u);
        TiledImageTexture texture(&image);
        EXPECT_EQ(texture.Key().Target(), GLenum(GL_TEXTURE_2D));
        EXPECT_EQ(texture.GetWidth(), 1024);
        EXPECT_EQ(texture.GetHeight(), 512);

        texture.SetMipMapped(true);
        texture.Apply();
        ASSERT_NE(texture.Buffer(), nullptr);
        EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), GLint(texture.Buffer()->Name()));
        EXPECT_EQ(TexParameter(GL_TEXTURE_2D, GL_TEXTURE_WIDTH, 0), 1024);
        EXPECT_EQ(TexParameter(GL_TEXTURE_2D, GL_TEXTURE_WIDTH, 1), 512); // mipmaps were built
        EXPECT_EQ(TexParameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
        EXPECT_EQ(Floats(GL_TEXTURE_MATRIX)[0], 1.0f); // normalised coordinates
        // A flat image stays flat when resampled over the whole texture.
        const std::array<uint8_t, 4> flat = {0x99, 0x66, 0x33, 0xFF};
        for (int point : {0, 1, 2})
            EXPECT_EQ(Texel(texture.Buffer(), point * 511, point * 255), flat) << point;

        TiledImageTexture none;
        EXPECT_THROW(none.Load(), Error);
    });
}

TEST(MultiImageTexture, KeepsTheLeadingImagesThatFitTheBudget) {
    RunOnWorker([] {
        // Only the sizes count, so the images need no pixels (and need not be valid).
        std::vector<std::unique_ptr<TestImage>> large;
        std::vector<const XIImage*> pointers;
        for (int i = 0; i < 200; ++i) {
            large.emplace_back(new TestImage(2048, 2048, kRGBA, 32, 255, false, 4));
            large.back()->SetBaseAddress(nullptr);
            pointers.push_back(large.back().get());
        }
        MultiImageTexture set;
        set.SetImages(pointers.data(), 200, true, nullptr);
        // 7 x 2048 x 2048 x 16 = 469762048 fits 512000000; an 8th does not.
        EXPECT_EQ(set.GetTextureCount(), 7);

        // 1000 x 700 counts as 1024 x 512 (8388608 bytes): 61 fit. Missing images count for
        // nothing, so with every third one missing the 62nd image present is at index 91.
        TestImage medium(1000, 700, kRGBA, 32, 255, false, 4);
        medium.SetBaseAddress(nullptr);
        std::vector<const XIImage*> gaps(120);
        for (int i = 0; i < 120; ++i) gaps[i] = i % 3 == 2 ? nullptr : &medium;
        set.SetImages(gaps.data(), 120, false, nullptr);
        EXPECT_EQ(set.GetTextureCount(), 91);

        MultiImageTexture empty;
        empty.SetImages(gaps.data(), 0, true, nullptr);
        EXPECT_EQ(empty.GetTextureCount(), 0);
        EXPECT_FALSE(empty.IsInitialized());
    });
}

TEST(MultiImageTexture, AppliesTexturesByIndexOrBySelection) {
    RunOnWorker([] {
        TestImage a(16, 16), b(16, 16), c(16, 16);
        Flat(a, 0xFF0000FFu), Flat(b, 0xFF00FF00u), Flat(c, 0xFFFF0000u);
        const XIImage* images[] = {&a, &b, &c};
        MultiImageTexture set;
        set.SetImages(images, 3, true, nullptr);
        ASSERT_EQ(set.GetTextureCount(), 3);
        // Index 5 of three textures is texture 2.
        set.ApplyTexture(5, false);
        ASSERT_NE(set.GetTexture(2)->Buffer(), nullptr);
        EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), GLint(set.GetTexture(2)->Buffer()->Name()));

        // Preselected: texture 0 shows image 2, texture 1 image 0.
        int indices[] = {2, 0};
        set.PreSelectTextures(indices, 2);
        EXPECT_EQ(set.GetTexture(0)->GetCurrentImage(), &c);
        EXPECT_EQ(set.GetTexture(1)->GetCurrentImage(), &a);
        set.ApplyTexture(0, true);
        ASSERT_NE(set.GetTexture(1)->Buffer(), nullptr);
        const GLint name = GLint(set.GetTexture(1)->Buffer()->Name());
        EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), name);
        const std::array<uint8_t, 4> red = {255, 0, 0, 255}; // image a
        EXPECT_EQ(Texel(set.GetTexture(1)->Buffer(), 3, 3), red);
        set.ApplyTexture(7, true); // not preselected: nothing changes
        EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), name);

        // Resize resamples every texture to one size, each side to its nearest power of two
        // (a tie goes down, and 16 is the smallest); Reset drops the textures' buffers only.
        set.Resize(24, 40);
        EXPECT_TRUE(set.GetTexture(0)->GetWidth() == 16 && set.GetTexture(0)->GetHeight() == 32);
        set.Reset();
        EXPECT_EQ(set.GetTexture(1)->Buffer(), nullptr);
        EXPECT_EQ(set.GetTextureCount(), 3);
        set.Finalize();
        EXPECT_EQ(set.GetTexture(0), nullptr);
    });
}

TEST(NoiseTexture, PlacementFollowsTheSeedAndTheVolumeIsShared) {
    RunOnWorker([] {
        NoiseTexture one(1), same(1), other(2);
        EXPECT_EQ(same.Angles().y, one.Angles().y);
        EXPECT_NE(other.Offset().x, one.Offset().x);

        one.Apply();
        const GLuint name = NoiseTexture::TextureName();
        ASSERT_NE(name, 0u);
        EXPECT_EQ(Integer(GL_TEXTURE_BINDING_3D), GLint(name));
        const size_t bytes = 64 * 64 * 64 * 3;
        std::vector<uint8_t> texels(bytes);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_3D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
        EXPECT_EQ(std::memcmp(texels.data(), NoiseTexture::Volume(), bytes), 0);
        // The generator's 15 bits scaled to bytes cover them all: 32767 x 0.00778222 = 255.0000027.
        EXPECT_EQ(*std::min_element(texels.begin(), texels.end()), 0);
        EXPECT_EQ(*std::max_element(texels.begin(), texels.end()), 255);
        // The placement is the texture matrix: translated by the offset, then turned (a
        // rotation keeps the lengths of the columns).
        const std::array<GLfloat, 16> m = Floats(GL_TEXTURE_MATRIX);
        EXPECT_FLOAT_EQ(m[12], one.Offset().x);
        for (int column = 0; column < 3; ++column) {
            const float* c = &m[column * 4];
            EXPECT_NEAR(c[0] * c[0] + c[1] * c[1] + c[2] * c[2], 1.0f, 1e-5f);
        }
        EXPECT_EQ(Integer(GL_MATRIX_MODE), GL_MODELVIEW);

        // All instances share one texture; finalizing any deletes it, the next Load remakes it.
        same.Apply();
        EXPECT_EQ(NoiseTexture::TextureName(), name);
        other.Finalize();
        EXPECT_FALSE(glIsTexture(name));
        same.Apply();
        EXPECT_TRUE(glIsTexture(NoiseTexture::TextureName()));
        glDisable(GL_TEXTURE_3D);
    });
}
