// Which images the library accepts, and what the assertions tell a plug-in.

#include "TestImage.h"

#include "common/Errors.h"
#include "common/XIImage.h"
#include "gl/texture/TextureFormat.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <string>

using namespace OGL_TESK_AE;
using tesk_test::Fourcc;
using tesk_test::TestImage;

// Bits are divided down to whole bytes, and row bits wrap at 32 bits: 128 * 0x02800000 leaves
// 0x40000000 bits, so 0x08000000 row bytes are enough and one fewer is not (exact arithmetic
// would reject both); 8 * 0x30000000 wraps negative, which any row length meets. A fifth of
// that width needs all 0x08000000 bytes without wrapping.
TEST(ImageValidity, SizesRowsAndBaseAddress) {
    constexpr int32_t W = 0x02800000, R = 0x08000000;
    // Width, height, bit depth, row bytes, valid.
    const int32_t cases[][5] = {
        {1, 1, 32, 4, 1},      {1, 1, 32, 3, 0},         {0, 10, 32, 400, 0},
        {10, 0, 32, 40, 0},    {-4, 10, 32, 40, 0},      {4, -10, 32, 40, 0},
        {4, 4, 32, -16, 0},    {3, 2, 24, 9, 1},         {3, 2, 24, 8, 0},
        {3, 2, 24, 64, 1},     {7, 1, 1, 0, 1},          {9, 1, 1, 0, 0},
        {W, 1, 128, R, 1},     {W, 1, 128, R - 1, 0},    {0x30000000, 1, 8, 1, 1},
        {W / 5, 1, 128, R, 1}, {W / 5, 1, 128, R - 1, 0}};
    for (const auto& c : cases) {
        TestImage image(c[0], c[1], Fourcc("RGBA"), c[2], 255, false, c[3]);
        image.SetRowBytes(c[3]); // also 0
        EXPECT_EQ(IsValid(&image), c[4] != 0)
            << c[0] << " x " << c[1] << ", " << c[2] << " bits, " << c[3];
    }
    EXPECT_FALSE(IsValid(nullptr)); // a null base is the next tests' "Destination"
}

// An image over a page that faults on any access: checking and describing it must not read a
// single pixel.
TEST(ImageValidity, NeverTouchesThePixels) {
    const long page = sysconf(_SC_PAGESIZE);
    void* guarded = mmap(nullptr, page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(guarded, MAP_FAILED);
    TestImage image(8, 8), other(8, 8);
    image.SetBaseAddress(guarded), other.SetBaseAddress(guarded);
    GLenum format = 0, type = 0;
    float scale = 0;
    GetColorSpaceFormat(&image, format, type, scale);
    EXPECT_TRUE(IsValid(&image) && IsMatchingFormat(&image, &other) && format == GL_RGBA &&
                GetInternalFormat(&image) == GL_RGBA8);
    EXPECT_NO_THROW(AssertValidImage(&image, "Source"));
    munmap(guarded, page);
}

// The text plug-ins read through the standard base class; "passed" when nothing is thrown.
TEST(ImageValidity, AssertionsNameTheImage) {
    auto thrown = [](void (*assertImage)(const XIImage*, const char*), const XIImage* image,
                     const std::string& name) -> std::string {
        try {
            assertImage(image, name.c_str());
        } catch (const std::exception& e) {
            EXPECT_NE(dynamic_cast<const Error*>(&e), nullptr) << "the library's own error type";
            return e.what();
        }
        return "passed";
    };
    TestImage good(2, 2), noMemory(2, 2), shortRows(4, 4, Fourcc("RGBA"), 32, 255, false, 8);
    noMemory.SetBaseAddress(nullptr);
    EXPECT_EQ(thrown(AssertValidImage, &good, "Source") +
                  thrown(AssertOptionalImage, &good, "Mask"),
              "passedpassed");
    EXPECT_EQ(thrown(AssertValidImage, nullptr, "Source"), "Source error.");
    EXPECT_EQ(thrown(AssertValidImage, &noMemory, "Destination"), "Destination error.");
    // Cut to its 256-byte buffer, terminator included: 248 + " error." just fits.
    EXPECT_EQ(thrown(AssertValidImage, nullptr, std::string(400, 'n')), std::string(255, 'n'));
    EXPECT_EQ(thrown(AssertValidImage, nullptr, std::string(248, 'f')),
              std::string(248, 'f') + " error.");
    // Optional images may be absent, but not invalid.
    EXPECT_EQ(thrown(AssertOptionalImage, nullptr, "Mask"), "passed");
    EXPECT_EQ(thrown(AssertOptionalImage, &shortRows, "Mask"), "Mask error.");
}
