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
using tesk_test::TestImage;

namespace {

// The text an assertion throws, as plug-ins read it through the standard base class; "passed"
// when it throws nothing.
template <class Assert>
std::string Thrown(Assert assertImage, const XIImage* image, const char* name) {
    try {
        assertImage(image, name);
    } catch (const std::exception& e) {
        EXPECT_NE(dynamic_cast<const Error*>(&e), nullptr) << "the library's own error type";
        return e.what();
    }
    return "passed";
}

} // namespace

TEST(ImageValidity, SizesRowsAndBaseAddress) {
    struct Case {
        const char* what;
        int32_t width, height, bitDepth, rowBytes;
        bool nullBase, valid;
    };
    // clang-format off
    const Case cases[] = {
        {"1x1 RGBA8 with its 4 bytes", 1, 1, 32, 4, false, true},
        {"1x1 RGBA8 one byte short", 1, 1, 32, 3, false, false},
        {"null base, otherwise fine", 100, 100, 32, 400, true, false},
        {"zero width", 0, 10, 32, 400, false, false},
        {"zero height", 10, 0, 32, 40, false, false},
        {"negative width", -4, 10, 32, 40, false, false},
        {"negative height", 4, -10, 32, 40, false, false},
        {"negative row bytes", 4, 4, 32, -16, false, false},
        {"RGB8, exact rows", 3, 2, 24, 9, false, true},
        {"RGB8, a byte short", 3, 2, 24, 8, false, false},
        {"padded rows", 3, 2, 24, 64, false, true},
        // Bits are divided down to whole bytes, rounding toward zero.
        {"1-bit, 7 pixels need 0 bytes", 7, 1, 1, 0, false, true},
        {"1-bit, 9 pixels, 0 bytes", 9, 1, 1, 0, false, false},
        // Row bits wrap at 32 bits: 128 * 0x02800000 = 0x1_4000_0000 leaves 0x40000000 bits,
        // so 0x08000000 row bytes are enough and one fewer is not. Exact arithmetic would ask
        // for 0x28000000 bytes and reject both.
        {"wrapped row bits, enough", 0x02800000, 1, 128, 0x08000000, false, true},
        {"wrapped row bits, one short", 0x02800000, 1, 128, 0x07FFFFFF, false, false},
        // 8 * 0x30000000 wraps to 0x80000000: a negative requirement any row length meets.
        {"row bits wrapping negative", 0x30000000, 1, 8, 1, false, true},
        {"large but exact", 0x00800000, 1, 128, 0x08000000, false, true},
        {"large, one short", 0x00800000, 1, 128, 0x07FFFFFF, false, false}};
    // clang-format on
    EXPECT_FALSE(IsValid(nullptr));
    for (const Case& c : cases) {
        TestImage image(c.width, c.height, tesk_test::Fourcc("RGBA"), c.bitDepth, 255, false,
                        c.rowBytes);
        image.SetRowBytes(c.rowBytes);
        if (c.nullBase) image.SetBaseAddress(nullptr);
        EXPECT_EQ(IsValid(&image), c.valid) << c.what;
    }
}

// An image over a page that faults on any access: checking and describing it must not read a
// single pixel.
TEST(ImageValidity, NeverTouchesThePixels) {
    const long page = sysconf(_SC_PAGESIZE);
    void* guarded = mmap(nullptr, page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(guarded, MAP_FAILED);
    TestImage image(8, 8, tesk_test::Fourcc("RGBA"), 32, 255, false, 32);
    image.SetBaseAddress(guarded);
    TestImage other(8, 8, tesk_test::Fourcc("RGBA"), 32, 255, false, 32);
    other.SetBaseAddress(guarded);

    EXPECT_TRUE(IsValid(&image));
    EXPECT_NO_THROW(AssertValidImage(&image, "Source"));
    EXPECT_TRUE(IsMatchingFormat(&image, &other));
    GLenum format = 0, type = 0;
    float scale = 0;
    GetColorSpaceFormat(&image, format, type, scale);
    EXPECT_EQ(format, static_cast<GLenum>(GL_RGBA));
    EXPECT_EQ(GetInternalFormat(&image), static_cast<GLenum>(GL_RGBA8));
    munmap(guarded, page);
}

TEST(ImageValidity, AssertionsNameTheImage) {
    TestImage good(2, 2), noMemory(2, 2),
        shortRows(4, 4, tesk_test::Fourcc("RGBA"), 32, 255, false, 8);
    noMemory.SetBaseAddress(nullptr);
    EXPECT_EQ(Thrown(AssertValidImage, &good, "Source"), "passed");
    EXPECT_EQ(Thrown(AssertValidImage, nullptr, "Source"), "Source error.");
    EXPECT_EQ(Thrown(AssertValidImage, &noMemory, "Destination"), "Destination error.");
    // The text is cut to its 256-byte buffer, terminator included; 248 + " error." just fits.
    EXPECT_EQ(Thrown(AssertValidImage, nullptr, std::string(400, 'n').c_str()),
              std::string(255, 'n'));
    EXPECT_EQ(Thrown(AssertValidImage, nullptr, std::string(248, 'f').c_str()),
              std::string(248, 'f') + " error.");
    // Optional images may be absent, but not invalid.
    EXPECT_EQ(Thrown(AssertOptionalImage, nullptr, "Mask"), "passed");
    EXPECT_EQ(Thrown(AssertOptionalImage, &good, "Mask"), "passed");
    EXPECT_EQ(Thrown(AssertOptionalImage, &shortRows, "Mask"), "Mask error.");
}
