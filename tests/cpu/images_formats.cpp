// How host pixel layouts map onto OpenGL formats, types, internal formats and white scales, and
// how large textures are. Expected values are written out from the format tables by hand.

#include "TestImage.h"

#include "gl/texture/TextureFormat.h"

#include <gtest/gtest.h>

#include <initializer_list>

using namespace OGL_TESK_AE;
using tesk_test::Fourcc;
using tesk_test::TestImage;

namespace {

constexpr GLenum UB = GL_UNSIGNED_BYTE, US = GL_UNSIGNED_SHORT, UI = GL_UNSIGNED_INT,
                 HF = GL_HALF_FLOAT_ARB, F = GL_FLOAT;

struct FormatType {
    GLenum format, type;
};

FormatType OfCode(int32_t code, int32_t depth, int32_t white) {
    FormatType r{0xDEAD, 0xDEAD};
    GetColorSpaceFormat(code, depth, white, r.format, r.type);
    return r;
}

} // namespace

// Each host code once, and each rule of the bit depth once.
TEST(ImageFormats, HostColorSpaceCodes) {
    struct Row {
        int32_t code, depth, white;
        GLenum format, type;
    };
    // clang-format off
    const Row rows[] = {
        // Alpha: depth / 8 bytes a channel; 2 and 4 bytes are floating point when white is 1.
        {1, 8, 255, GL_ALPHA, UB}, {1, 16, 65535, GL_ALPHA, US}, {1, 16, 1, GL_ALPHA, HF},
        {1, 32, 1, GL_ALPHA, F}, {1, 32, 255, GL_ALPHA, UI}, {1, 24, 255, GL_ALPHA, 0},
        // RGB and "24BG": depth / 24.
        {24, 24, 255, GL_RGB, UB}, {24, 48, 65535, GL_RGB, US}, {24, 72, 1, GL_RGB, 0},
        {Fourcc("24BG"), 96, 1, GL_BGR, F},
        // "RGBA", "ABGR", "BGRA" and the YUV layouts (passed on unconverted): depth / 32.
        {Fourcc("RGBA"), 32, 255, GL_RGBA, UB}, {Fourcc("RGBA"), 64, 32768, GL_RGBA, US},
        {Fourcc("RGBA"), 64, 1, GL_RGBA, HF}, {Fourcc("RGBA"), 128, 1, GL_RGBA, F},
        {Fourcc("RGBA"), 96, 1, GL_RGBA, 0}, {Fourcc("ABGR"), 32, 255, GL_BGRA, UB},
        {Fourcc("BGRA"), 64, 1, GL_BGRA, HF}, {Fourcc("yuvu"), 64, 65535, GL_RGBA, US},
        {Fourcc("UYVY"), 16, 255, GL_RGBA, 0},
        // Code 32 by depth alone, whatever the white level.
        {32, 32, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8}, {32, 64, 1, GL_RGBA, US},
        {32, 128, 255, GL_RGBA, F}, {32, 16, 255, GL_RGBA, F},
        // Packed 16-bit layouts: fixed types.
        {16, 32, 1, GL_RGB, GL_UNSIGNED_SHORT_5_5_5_1},
        {Fourcc("B565"), 16, 255, GL_RGB, GL_UNSIGNED_SHORT_5_6_5_REV},
        {Fourcc("L555"), 16, 255, GL_RGB, GL_UNSIGNED_SHORT_1_5_5_5_REV},
        // Indexed colour: never a type.
        {2, 2, 255, GL_COLOR_INDEX, 0}, {40, 32, 1, GL_COLOR_INDEX, 0},
        // No host layout's code (internal formats are the next test's): RGBA without a type.
        {3, 32, 255, GL_RGBA, 0}, {Fourcc("ARGB"), 32, 255, GL_RGBA, 0}};
    // clang-format on
    for (const Row& r : rows) {
        const FormatType got = OfCode(r.code, r.depth, r.white);
        EXPECT_EQ(got.format, r.format) << std::hex << r.code << std::dec << " " << r.depth;
        EXPECT_EQ(got.type, r.type) << std::hex << r.code << std::dec << " " << r.depth;
    }
}

// Each internal format: its pixels' format and type, also as a host code whatever the depth and
// white level, and its texel size (one texel a row, 64 rows: 8 bytes a bit).
TEST(ImageFormats, InternalFormats) {
    struct Row {
        GLenum internalFormat, format, type;
        int32_t bytes;
    };
    // clang-format off
    const Row rows[] = {
        {GL_ALPHA12, GL_ALPHA, US, 128}, {GL_ALPHA32F_ARB, GL_ALPHA, F, 256},
        {GL_ALPHA, GL_ALPHA, 0, 256}, {GL_LUMINANCE8, GL_LUMINANCE, UB, 64},
        {GL_LUMINANCE16F_ARB, GL_LUMINANCE, HF, 128}, {GL_RGB8, GL_RGB, UB, 192},
        {GL_RGB16, GL_RGB, US, 384}, {GL_RGB32F_ARB, GL_RGB, F, 768},
        {GL_RGBA8, GL_RGBA, UB, 256}, {GL_RGBA16F_ARB, GL_RGBA, HF, 512},
        {GL_DEPTH_COMPONENT, GL_DEPTH_COMPONENT, F, 256},
        {GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, UI, 192},
        // Outside the table.
        {0, GL_RGBA, 0, 0}, {GL_RGB, GL_RGBA, 0, 0}, {GL_LUMINANCE8_ALPHA8, GL_RGBA, 0, 0}};
    // clang-format on
    for (const Row& r : rows) {
        GLenum format = 0xDEAD, type = 0xDEAD;
        GetColorSpaceFormat(r.internalFormat, format, type);
        EXPECT_EQ(format, r.format) << std::hex << r.internalFormat;
        EXPECT_EQ(type, r.type) << std::hex << r.internalFormat;
        for (int depth : {8, 128})
            for (int white : {1, 65535}) {
                const FormatType got = OfCode(static_cast<int32_t>(r.internalFormat), depth, white);
                EXPECT_TRUE(got.format == r.format && got.type == r.type)
                    << std::hex << r.internalFormat << std::dec << " " << depth << " " << white;
            }
        EXPECT_EQ(CalculateTextureSize(1, 64, r.internalFormat), r.bytes)
            << std::hex << r.internalFormat;
    }
}

// Integer types only: the float and half-float answers depend on the card and are checked by
// the OpenGL suite.
TEST(ImageFormats, InternalFormatFromFormatAndType) {
    struct Row {
        GLenum format, type, internalFormat;
    };
    // clang-format off
    const Row rows[] = {
        // Depth pixels are depth textures whatever the type; otherwise the type decides.
        {GL_DEPTH_COMPONENT, US, GL_DEPTH_COMPONENT24},
        {GL_DEPTH_COMPONENT, 0, GL_DEPTH_COMPONENT24},
        {GL_RGBA, GL_BYTE, GL_RGBA8}, {GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, GL_RGBA8},
        {GL_RGBA, GL_SHORT, GL_RGBA16}, {GL_ALPHA, US, GL_RGBA16}, {GL_RGBA, 0, GL_RGB8},
        {GL_RGB, GL_UNSIGNED_SHORT_5_6_5, GL_RGB8}, {GL_RGBA, GL_INT, GL_RGB8}};
    // clang-format on
    for (const Row& r : rows)
        EXPECT_EQ(GetInternalFormat(r.format, r.type), r.internalFormat)
            << std::hex << r.format << " " << r.type;
}

// Host frames as plug-ins hand them over: the image's own code, depth and white level reach the
// tables, and the white scale follows the type found.
TEST(ImageFormats, HostFramesMapToFormatTypeInternalFormatAndWhiteScale) {
    struct Frame {
        int32_t code, depth, white;
        GLenum format, type;
        GLenum internalFormat; // 0: float or half, decided by the card
        double whiteScale;
    };
    // clang-format off
    const Frame frames[] = {
        {32, 32, 200, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8, GL_RGBA8, 200.0 / 255.0},
        {Fourcc("RGBA"), 64, 32768, GL_RGBA, US, GL_RGBA16, 32768.0 / 65535.0},
        {Fourcc("RGBA"), 64, 1, GL_RGBA, HF, 0, 1.0},
        {Fourcc("RGBA"), 128, 1000, GL_RGBA, UI, 0, 1000.0 / 4294967296.0},
        {1, 8, 100, GL_ALPHA, UB, GL_RGBA8, 100.0 / 255.0},
        {Fourcc("B565"), 16, 255, GL_RGB, GL_UNSIGNED_SHORT_5_6_5_REV, GL_RGB8, 1.0},
        {8, 8, 100, GL_COLOR_INDEX, 0, GL_RGB8, 1.0}};
    // clang-format on
    for (const Frame& f : frames) {
        TestImage image(4, 3, f.code, f.depth, f.white);
        GLenum format = 0xDEAD, type = 0xDEAD, format2 = 0xDEAD, type2 = 0xDEAD;
        float scale = -1;
        GetColorSpaceFormat(&image, format, type, scale);
        GetFormatType(&image, format2, type2);
        EXPECT_TRUE(format == f.format && type == f.type) << std::hex << f.code;
        EXPECT_TRUE(format2 == f.format && type2 == f.type) << std::hex << f.code;
        EXPECT_NEAR(scale, f.whiteScale, 1e-6 * f.whiteScale) << std::hex << f.code;
        if (f.internalFormat) {
            EXPECT_EQ(GetInternalFormat(&image), f.internalFormat);
        }
    }
}

TEST(ImageFormats, InvalidImagesHaveNeutralFormats) {
    TestImage noMemory(4, 4, 32, 32, 200);
    noMemory.SetBaseAddress(nullptr);
    for (const XIImage* image : std::initializer_list<const XIImage*>{nullptr, &noMemory}) {
        GLenum format = 0xDEAD, type = 0xDEAD;
        float scale = -1;
        GetColorSpaceFormat(image, format, type, scale);
        EXPECT_TRUE(format == GL_RGBA && type == 0 && scale == 1.0f);
        EXPECT_EQ(GetInternalFormat(image), static_cast<GLenum>(GL_RGBA8));
    }
}

TEST(ImageFormats, WhiteScaleByType) {
    struct Row {
        GLenum type;
        int white;
        double scale;
    };
    // clang-format off
    const Row rows[] = {
        {UB, 254, 254.0 / 255.0}, {GL_UNSIGNED_INT_8_8_8_8_REV, 300, 1.0},
        {US, 65534, 65534.0 / 65535.0}, {UI, 0x7FFFFFFF, 2147483647.0 / 4294967296.0},
        {UI, -1, 1.0},
        // Types that carry no white level.
        {F, 255, 1.0}, {GL_UNSIGNED_SHORT_5_6_5, 10, 1.0}};
    // clang-format on
    for (const Row& r : rows)
        EXPECT_NEAR(GetWhiteScale(r.type, r.white), r.scale, 1e-6 * r.scale)
            << std::hex << r.type << std::dec << " " << r.white;
}

TEST(ImageFormats, TextureSizes) {
    // Whole bytes a row, the total rounded up to 64 bytes.
    struct Row {
        int width, height;
        GLenum internalFormat;
        int32_t bytes;
    };
    // clang-format off
    const Row rows[] = {
        {1, 1, GL_RGBA8, 64}, {3, 64, GL_RGB8, 576} /* 9-byte rows, unpadded */,
        {100, 100, GL_RGB16, 60032}, {0, 100, GL_RGBA8, 0},
        {640, 480, GL_RGB5, 0}, // not in the table: 0 bits
        // 32-bit arithmetic throughout: 1048576-byte rows times 65536 rows wrap to 0.
        {65536, 65536, GL_RGBA32F_ARB, 0}};
    // clang-format on
    for (const Row& r : rows)
        EXPECT_EQ(CalculateTextureSize(r.width, r.height, r.internalFormat), r.bytes)
            << r.width << "x" << r.height << " " << std::hex << r.internalFormat;

    // The format-and-type form goes through the internal format of the pair.
    EXPECT_EQ(CalculateTextureSize(10, 10, GL_ALPHA, US), 832); // RGBA16
    EXPECT_EQ(CalculateTextureSize(1000, 1, GL_DEPTH_COMPONENT, F), 3008);
}

TEST(ImageFormats, TextureSizeOnCardRoundsToTheNearestPowerOfTwo) {
    // Side -> power of two: at least 32 up to 32, and 16 only for 16 to 24; ties go down.
    // clang-format off
    const int sides[][2] = {{15, 32}, {16, 16}, {24, 16}, {25, 32}, {48, 32}, {49, 64}};
    // clang-format on
    for (const auto& s : sides) {
        TestImage wide(s[0], 64, 32, 32, 255);
        EXPECT_EQ(CalculateTextureSizeOnCard(&wide, 1, false), int64_t(s[1]) * 64 * 16) << s[0];
    }
    TestImage frame(1000, 700, 32, 32, 255);
    EXPECT_EQ(CalculateTextureSizeOnCard(&frame, 1, false), int64_t(1024) * 512 * 16);
    EXPECT_EQ(CalculateTextureSizeOnCard(&frame, 1, true), int64_t(1024) * 1024 * 16);
    // Divisors of 1 or less leave the size alone; 1000 / 3 = 333 -> 256, 700 / 3 = 233 -> 256.
    EXPECT_EQ(CalculateTextureSizeOnCard(&frame, 0, false), int64_t(1024) * 512 * 16);
    EXPECT_EQ(CalculateTextureSizeOnCard(&frame, 3, false), int64_t(256) * 256 * 16);
    // Sizes past 32 bits.
    TestImage huge(100000, 100000, 32, 32, 255);
    EXPECT_EQ(CalculateTextureSizeOnCard(&huge, 1, true), int64_t(131072) * 131072 * 16);
}

TEST(ImageFormats, MatchingFormats) {
    // Width, height, code, depth, white, bottom-up, row bytes: a layout, then one change of each.
    // clang-format off
    const int32_t layouts[][7] = {
        {8, 6, Fourcc("RGBA"), 64, 65535, 1, 128}, {7, 6, Fourcc("RGBA"), 64, 65535, 1, 128},
        {8, 5, Fourcc("RGBA"), 64, 65535, 1, 128}, {8, 6, 32, 64, 65535, 1, 128},
        {8, 6, Fourcc("RGBA"), 32, 65535, 1, 128}, {8, 6, Fourcc("RGBA"), 64, 32768, 1, 128},
        {8, 6, Fourcc("RGBA"), 64, 65535, 0, 128}, {8, 6, Fourcc("RGBA"), 64, 65535, 1, 144}};
    // clang-format on
    auto make = [](const int32_t(&l)[7]) {
        return TestImage(l[0], l[1], l[2], l[3], l[4], l[5] != 0, l[6]);
    };
    TestImage a = make(layouts[0]), b = make(layouts[0]);
    // Read-only and native objects are not part of the layout.
    b.SetReadOnly(true);
    int native = 0;
    b.SetNative(&native);
    EXPECT_TRUE(IsMatchingFormat(&a, &b));
    EXPECT_FALSE(IsMatchingFormat(&a, nullptr));
    b.SetBaseAddress(nullptr);
    EXPECT_FALSE(IsMatchingFormat(&a, &b));
    EXPECT_FALSE(IsMatchingFormat(&b, &a));
    for (size_t i = 1; i < sizeof layouts / sizeof layouts[0]; ++i) {
        TestImage c = make(layouts[i]);
        EXPECT_FALSE(IsMatchingFormat(&a, &c)) << "change " << i;
        EXPECT_FALSE(IsMatchingFormat(&c, &a)) << "change " << i;
    }
}
