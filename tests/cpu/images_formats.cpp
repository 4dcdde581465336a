// How host pixel layouts map onto OpenGL formats, types, internal formats and white scales, and
// how large textures are. Expected values are written out from the format tables by hand.

#include "TestImage.h"

#include "gl/texture/TextureFormat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <sstream>
#include <string>

using namespace OGL_TESK_AE;
using tesk_test::Fourcc;
using tesk_test::TestImage;

namespace {

struct CodeCase {
    int32_t colorSpace, bitDepth, whiteLevel;
    GLenum format, type;
};

std::string Describe(const CodeCase& c) {
    std::ostringstream out;
    out << "code 0x" << std::hex << c.colorSpace << std::dec << " depth " << c.bitDepth << " white "
        << c.whiteLevel;
    return out.str();
}

} // namespace

TEST(ImageFormats, FourCharacterCodesArePackedBigEndian) {
    // The constants the tables give, against the helper the other tests use.
    EXPECT_EQ(Fourcc("RGBA"), 0x52474241);
    EXPECT_EQ(Fourcc("24BG"), 0x32344247);
    EXPECT_EQ(Fourcc("ABGR"), 0x41424752);
    EXPECT_EQ(Fourcc("BGRA"), 0x42475241);
    EXPECT_EQ(Fourcc("B565"), 0x42353635);
    EXPECT_EQ(Fourcc("5551"), 0x35353531);
    EXPECT_EQ(Fourcc("L555"), 0x4C353535);
    EXPECT_EQ(Fourcc("L565"), 0x4C353635);
    EXPECT_EQ(Fourcc("2vuy"), 0x32767579);
    EXPECT_EQ(Fourcc("yuvs"), 0x79757673);
    EXPECT_EQ(Fourcc("yuvu"), 0x79757675);
    EXPECT_EQ(Fourcc("YVYU"), 0x59565955);
    EXPECT_EQ(Fourcc("UYVY"), 0x55595659);
    EXPECT_EQ(Fourcc("YVU9"), 0x59565539);
    EXPECT_EQ(Fourcc("Y211"), 0x59323131);
    EXPECT_EQ(Fourcc("Y411"), 0x59343131);
}

TEST(ImageFormats, HostColorSpaceCodes) {
    const CodeCase cases[] = {
        // Alpha-only: the depth decides, 8 bits a channel.
        {1, 8, 255, GL_ALPHA, GL_UNSIGNED_BYTE},
        {1, 16, 65535, GL_ALPHA, GL_UNSIGNED_SHORT},
        {1, 16, 1, GL_ALPHA, GL_HALF_FLOAT_ARB},
        {1, 32, 1, GL_ALPHA, GL_FLOAT},
        {1, 32, 255, GL_ALPHA, GL_UNSIGNED_INT},
        {1, 24, 255, GL_ALPHA, 0},
        // Indexed colour: never a type.
        {2, 2, 255, GL_COLOR_INDEX, 0},
        {4, 4, 255, GL_COLOR_INDEX, 0},
        {8, 8, 255, GL_COLOR_INDEX, 0},
        {33, 1, 255, GL_COLOR_INDEX, 0},
        {34, 2, 255, GL_COLOR_INDEX, 0},
        {36, 4, 255, GL_COLOR_INDEX, 0},
        {40, 8, 255, GL_COLOR_INDEX, 0},
        {40, 32, 1, GL_COLOR_INDEX, 0},
        {16, 16, 255, GL_RGB, GL_UNSIGNED_SHORT_5_5_5_1},
        {16, 32, 1, GL_RGB, GL_UNSIGNED_SHORT_5_5_5_1},
        // RGB: depth / 24 bytes a channel.
        {24, 24, 255, GL_RGB, GL_UNSIGNED_BYTE},
        {24, 48, 1, GL_RGB, GL_HALF_FLOAT_ARB},
        {24, 48, 65535, GL_RGB, GL_UNSIGNED_SHORT},
        {24, 96, 1, GL_RGB, GL_FLOAT},
        {24, 96, 255, GL_RGB, GL_UNSIGNED_INT},
        {24, 32, 255, GL_RGB, GL_UNSIGNED_BYTE},
        {24, 72, 1, GL_RGB, 0},
        // Code 32 by depth alone; the white level does not matter.
        {32, 32, 255, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8},
        {32, 32, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8},
        {32, 64, 32768, GL_RGBA, GL_UNSIGNED_SHORT},
        {32, 64, 1, GL_RGBA, GL_UNSIGNED_SHORT},
        {32, 128, 1, GL_RGBA, GL_FLOAT},
        {32, 128, 255, GL_RGBA, GL_FLOAT},
        {32, 16, 255, GL_RGBA, GL_FLOAT},
        {32, 0, 0, GL_RGBA, GL_FLOAT},
        {0x32344247, 24, 255, GL_BGR, GL_UNSIGNED_BYTE},
        {0x32344247, 48, 1, GL_BGR, GL_HALF_FLOAT_ARB},
        {0x32344247, 96, 1, GL_BGR, GL_FLOAT},
        // "RGBA": depth / 32 bytes a channel; white 1 marks floating point.
        {0x52474241, 32, 255, GL_RGBA, GL_UNSIGNED_BYTE},
        {0x52474241, 64, 65535, GL_RGBA, GL_UNSIGNED_SHORT},
        {0x52474241, 64, 32768, GL_RGBA, GL_UNSIGNED_SHORT},
        {0x52474241, 64, 1, GL_RGBA, GL_HALF_FLOAT_ARB},
        {0x52474241, 128, 1, GL_RGBA, GL_FLOAT},
        {0x52474241, 128, 65535, GL_RGBA, GL_UNSIGNED_INT},
        {0x52474241, 96, 1, GL_RGBA, 0},
        {0x52474241, 24, 255, GL_RGBA, 0},
        {0x41424752, 32, 255, GL_BGRA, GL_UNSIGNED_BYTE},
        {0x41424752, 128, 1, GL_BGRA, GL_FLOAT},
        {0x42475241, 32, 255, GL_BGRA, GL_UNSIGNED_BYTE},
        {0x42475241, 64, 65535, GL_BGRA, GL_UNSIGNED_SHORT},
        {0x42475241, 64, 1, GL_BGRA, GL_HALF_FLOAT_ARB},
        // Packed 16-bit layouts: fixed types.
        {0x42353635, 16, 255, GL_RGB, GL_UNSIGNED_SHORT_5_6_5_REV},
        {0x35353531, 16, 255, GL_RGB, GL_UNSIGNED_SHORT_5_5_5_1},
        {0x4C353535, 16, 255, GL_RGB, GL_UNSIGNED_SHORT_1_5_5_5_REV},
        {0x4C353635, 16, 255, GL_RGB, GL_UNSIGNED_SHORT_5_6_5},
        // YUV layouts travel as RGBA, unconverted.
        {0x32767579, 32, 255, GL_RGBA, GL_UNSIGNED_BYTE},
        {0x79757673, 32, 255, GL_RGBA, GL_UNSIGNED_BYTE},
        {0x79757675, 64, 65535, GL_RGBA, GL_UNSIGNED_SHORT},
        {0x59565955, 32, 255, GL_RGBA, GL_UNSIGNED_BYTE},
        {0x55595659, 16, 255, GL_RGBA, 0},
        {0x59565539, 32, 255, GL_RGBA, GL_UNSIGNED_BYTE},
        {0x59323131, 128, 1, GL_RGBA, GL_FLOAT},
        {0x59343131, 32, 255, GL_RGBA, GL_UNSIGNED_BYTE},
        // Anything else is an OpenGL internal format, whatever the depth says...
        {GL_ALPHA8, 32, 1, GL_ALPHA, GL_UNSIGNED_BYTE},
        {GL_LUMINANCE32F_ARB, 8, 255, GL_LUMINANCE, GL_FLOAT},
        {GL_RGBA16F_ARB, 32, 255, GL_RGBA, GL_HALF_FLOAT_ARB},
        {GL_LUMINANCE, 8, 255, GL_LUMINANCE, 0},
        // ...or unknown, which is RGBA without a type.
        {12345, 32, 255, GL_RGBA, 0},
        {0, 32, 255, GL_RGBA, 0},
        {3, 32, 255, GL_RGBA, 0},
        {-1, 32, 255, GL_RGBA, 0},
        {0x41524742 /* "ARGB" */, 32, 255, GL_RGBA, 0},
    };
    for (const CodeCase& c : cases) {
        GLenum format = 0xDEAD, type = 0xDEAD;
        GetColorSpaceFormat(c.colorSpace, c.bitDepth, c.whiteLevel, format, type);
        EXPECT_EQ(format, c.format) << Describe(c);
        EXPECT_EQ(type, c.type) << Describe(c);
    }
}

TEST(ImageFormats, InternalFormatsAsColorSpaces) {
    struct Row {
        GLenum internalFormat, format, type;
    };
    const Row rows[] = {
        {GL_ALPHA8, GL_ALPHA, GL_UNSIGNED_BYTE},
        {GL_ALPHA12, GL_ALPHA, GL_UNSIGNED_SHORT},
        {GL_ALPHA16, GL_ALPHA, GL_UNSIGNED_SHORT},
        {GL_ALPHA16F_ARB, GL_ALPHA, GL_HALF_FLOAT_ARB},
        {GL_ALPHA32F_ARB, GL_ALPHA, GL_FLOAT},
        {GL_ALPHA, GL_ALPHA, 0},
        {GL_LUMINANCE8, GL_LUMINANCE, GL_UNSIGNED_BYTE},
        {GL_LUMINANCE12, GL_LUMINANCE, GL_UNSIGNED_SHORT},
        {GL_LUMINANCE16, GL_LUMINANCE, GL_UNSIGNED_SHORT},
        {GL_LUMINANCE16F_ARB, GL_LUMINANCE, GL_HALF_FLOAT_ARB},
        {GL_LUMINANCE32F_ARB, GL_LUMINANCE, GL_FLOAT},
        {GL_LUMINANCE, GL_LUMINANCE, 0},
        {GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE},
        {GL_RGB12, GL_RGB, GL_UNSIGNED_SHORT},
        {GL_RGB16, GL_RGB, GL_UNSIGNED_SHORT},
        {GL_RGB16F_ARB, GL_RGB, GL_HALF_FLOAT_ARB},
        {GL_RGB32F_ARB, GL_RGB, GL_FLOAT},
        {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE},
        {GL_RGBA12, GL_RGBA, GL_UNSIGNED_SHORT},
        {GL_RGBA16, GL_RGBA, GL_UNSIGNED_SHORT},
        {GL_RGBA16F_ARB, GL_RGBA, GL_HALF_FLOAT_ARB},
        {GL_RGBA32F_ARB, GL_RGBA, GL_FLOAT},
        {GL_DEPTH_COMPONENT, GL_DEPTH_COMPONENT, GL_FLOAT},
        {GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT},
        {GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT},
        {GL_DEPTH_COMPONENT32, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT},
        // Formats outside the table.
        {0, GL_RGBA, 0},
        {GL_RGBA, GL_RGBA, 0},
        {GL_RGB, GL_RGBA, 0},
        {GL_RGB5, GL_RGBA, 0},
        {GL_RGBA4, GL_RGBA, 0},
        {GL_INTENSITY8, GL_RGBA, 0},
        {GL_LUMINANCE8_ALPHA8, GL_RGBA, 0},
    };
    for (const Row& r : rows) {
        GLenum format = 0xDEAD, type = 0xDEAD;
        GetColorSpaceFormat(r.internalFormat, format, type);
        EXPECT_EQ(format, r.format) << "internal format 0x" << std::hex << r.internalFormat;
        EXPECT_EQ(type, r.type) << "internal format 0x" << std::hex << r.internalFormat;
        // A host code that is none of the host's own goes through the same table, whatever
        // its depth and white level.
        for (int depth : {8, 32, 64, 128}) {
            for (int white : {1, 255, 65535}) {
                GLenum f = 0xDEAD, t = 0xDEAD;
                GetColorSpaceFormat(static_cast<int>(r.internalFormat), depth, white, f, t);
                EXPECT_EQ(f, r.format) << "code 0x" << std::hex << r.internalFormat;
                EXPECT_EQ(t, r.type) << "code 0x" << std::hex << r.internalFormat;
            }
        }
    }
}

// Integer types only: the float and half-float answers depend on the card and are checked by
// the OpenGL suite.
TEST(ImageFormats, InternalFormatFromFormatAndType) {
    struct Row {
        GLenum format, type, internalFormat;
    };
    const Row rows[] = {
        // Depth pixels are depth textures whatever the type.
        {GL_DEPTH_COMPONENT, GL_FLOAT, GL_DEPTH_COMPONENT24},
        {GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, GL_DEPTH_COMPONENT24},
        {GL_DEPTH_COMPONENT, GL_HALF_FLOAT_ARB, GL_DEPTH_COMPONENT24},
        {GL_DEPTH_COMPONENT, 0, GL_DEPTH_COMPONENT24},
        // Otherwise the type decides and the format is not looked at.
        {GL_RGBA, GL_BYTE, GL_RGBA8},
        {GL_RGBA, GL_UNSIGNED_BYTE, GL_RGBA8},
        {GL_ALPHA, GL_UNSIGNED_BYTE, GL_RGBA8},
        {GL_LUMINANCE, GL_UNSIGNED_BYTE, GL_RGBA8},
        {GL_BGRA, GL_UNSIGNED_INT_8_8_8_8, GL_RGBA8},
        {GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, GL_RGBA8},
        {GL_RGB, GL_UNSIGNED_BYTE, GL_RGBA8},
        {GL_RGBA, GL_SHORT, GL_RGBA16},
        {GL_RGBA, GL_UNSIGNED_SHORT, GL_RGBA16},
        {GL_ALPHA, GL_UNSIGNED_SHORT, GL_RGBA16},
        {GL_RGBA, 0, GL_RGB8},
        {GL_COLOR_INDEX, 0, GL_RGB8},
        {GL_RGB, GL_UNSIGNED_SHORT_5_6_5, GL_RGB8},
        {GL_RGB, GL_UNSIGNED_SHORT_5_6_5_REV, GL_RGB8},
        {GL_RGB, GL_UNSIGNED_SHORT_5_5_5_1, GL_RGB8},
        {GL_RGB, GL_UNSIGNED_SHORT_1_5_5_5_REV, GL_RGB8},
        {GL_RGBA, GL_INT, GL_RGB8},
        {GL_RGBA, GL_BITMAP, GL_RGB8},
    };
    for (const Row& r : rows)
        EXPECT_EQ(GetInternalFormat(r.format, r.type), r.internalFormat)
            << "format 0x" << std::hex << r.format << " type 0x" << r.type;
}

// Host frames as plug-ins hand them over: what loading them would use.
TEST(ImageFormats, HostFramesMapToFormatTypeInternalFormatAndWhiteScale) {
    struct Frame {
        const char* what;
        int32_t colorSpace, bitDepth, whiteLevel;
        GLenum format, type;
        GLenum internalFormat; // 0: float or half, decided by the card
        double whiteScale;
    };
    const Frame frames[] = {
        {"8-bit ARGB", 32, 32, 255, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8, GL_RGBA8, 1.0},
        {"8-bit ARGB, white 200", 32, 32, 200, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8, GL_RGBA8,
         200.0 / 255.0},
        {"16-bit code 32, white 32768", 32, 64, 32768, GL_RGBA, GL_UNSIGNED_SHORT, GL_RGBA16,
         32768.0 / 65535.0},
        {"float code 32", 32, 128, 1, GL_RGBA, GL_FLOAT, 0, 1.0},
        {"RGBA 8-bit", Fourcc("RGBA"), 32, 255, GL_RGBA, GL_UNSIGNED_BYTE, GL_RGBA8, 1.0},
        {"RGBA 8-bit, white 128", Fourcc("RGBA"), 32, 128, GL_RGBA, GL_UNSIGNED_BYTE, GL_RGBA8,
         128.0 / 255.0},
        {"RGBA 16-bit", Fourcc("RGBA"), 64, 65535, GL_RGBA, GL_UNSIGNED_SHORT, GL_RGBA16, 1.0},
        {"RGBA 16-bit, white 32768", Fourcc("RGBA"), 64, 32768, GL_RGBA, GL_UNSIGNED_SHORT,
         GL_RGBA16, 32768.0 / 65535.0},
        {"RGBA half", Fourcc("RGBA"), 64, 1, GL_RGBA, GL_HALF_FLOAT_ARB, 0, 1.0},
        {"RGBA float", Fourcc("RGBA"), 128, 1, GL_RGBA, GL_FLOAT, 0, 1.0},
        {"RGBA 32-bit integer, white 1000", Fourcc("RGBA"), 128, 1000, GL_RGBA, GL_UNSIGNED_INT, 0,
         1000.0 / 4294967296.0},
        {"RGBA 32-bit integer, full white", Fourcc("RGBA"), 128, -1 /* 0xFFFFFFFF */, GL_RGBA,
         GL_UNSIGNED_INT, 0, 1.0},
        {"BGRA 8-bit", Fourcc("BGRA"), 32, 255, GL_BGRA, GL_UNSIGNED_BYTE, GL_RGBA8, 1.0},
        {"alpha 8-bit", 1, 8, 255, GL_ALPHA, GL_UNSIGNED_BYTE, GL_RGBA8, 1.0},
        {"alpha 8-bit, white 100", 1, 8, 100, GL_ALPHA, GL_UNSIGNED_BYTE, GL_RGBA8, 100.0 / 255.0},
        {"alpha 16-bit", 1, 16, 65535, GL_ALPHA, GL_UNSIGNED_SHORT, GL_RGBA16, 1.0},
        {"alpha float", 1, 32, 1, GL_ALPHA, GL_FLOAT, 0, 1.0},
        {"luminance 8-bit", GL_LUMINANCE8, 8, 255, GL_LUMINANCE, GL_UNSIGNED_BYTE, GL_RGBA8, 1.0},
        {"luminance 16-bit", GL_LUMINANCE16, 16, 65535, GL_LUMINANCE, GL_UNSIGNED_SHORT, GL_RGBA16,
         1.0},
        {"luminance 16-bit, white 4096", GL_LUMINANCE16, 16, 4096, GL_LUMINANCE, GL_UNSIGNED_SHORT,
         GL_RGBA16, 4096.0 / 65535.0},
        {"luminance float", GL_LUMINANCE32F_ARB, 32, 1, GL_LUMINANCE, GL_FLOAT, 0, 1.0},
        {"RGB 8-bit", 24, 24, 255, GL_RGB, GL_UNSIGNED_BYTE, GL_RGBA8, 1.0},
        {"white above full scale", Fourcc("RGBA"), 32, 1000, GL_RGBA, GL_UNSIGNED_BYTE, GL_RGBA8,
         1.0},
        {"565", Fourcc("B565"), 16, 255, GL_RGB, GL_UNSIGNED_SHORT_5_6_5_REV, GL_RGB8, 1.0},
        {"indexed", 8, 8, 255, GL_COLOR_INDEX, 0, GL_RGB8, 1.0},
        {"unknown code", 12345, 32, 255, GL_RGBA, 0, GL_RGB8, 1.0},
        {"YUV 2vuy", Fourcc("2vuy"), 32, 255, GL_RGBA, GL_UNSIGNED_BYTE, GL_RGBA8, 1.0},
    };
    for (const Frame& f : frames) {
        TestImage image(4, 3, f.colorSpace, f.bitDepth, f.whiteLevel);
        GLenum format = 0xDEAD, type = 0xDEAD;
        float scale = -1;
        GetColorSpaceFormat(&image, format, type, scale);
        EXPECT_EQ(format, f.format) << f.what;
        EXPECT_EQ(type, f.type) << f.what;
        EXPECT_NEAR(scale, f.whiteScale, 1e-6 * f.whiteScale) << f.what;

        GLenum format2 = 0xDEAD, type2 = 0xDEAD;
        GetFormatType(&image, format2, type2);
        EXPECT_EQ(format2, f.format) << f.what;
        EXPECT_EQ(type2, f.type) << f.what;

        if (f.internalFormat) {
            EXPECT_EQ(GetInternalFormat(&image), f.internalFormat) << f.what;
        }
    }
}

TEST(ImageFormats, InvalidImagesHaveNeutralFormats) {
    TestImage noMemory(4, 4, 32, 32, 200);
    noMemory.SetBaseAddress(nullptr);
    for (const XIImage* image :
         {static_cast<const XIImage*>(nullptr), static_cast<const XIImage*>(&noMemory)}) {
        GLenum format = 0xDEAD, type = 0xDEAD;
        float scale = -1;
        GetColorSpaceFormat(image, format, type, scale);
        EXPECT_EQ(format, static_cast<GLenum>(GL_RGBA));
        EXPECT_EQ(type, 0u);
        EXPECT_EQ(scale, 1.0f);
        EXPECT_EQ(GetInternalFormat(image), static_cast<GLenum>(GL_RGBA8));
    }
}

TEST(ImageFormats, WhiteScaleByType) {
    struct Row {
        GLenum type;
        int white;
        double scale;
    };
    const Row rows[] = {
        {GL_UNSIGNED_BYTE, 255, 1.0},
        {GL_UNSIGNED_BYTE, 254, 254.0 / 255.0},
        {GL_UNSIGNED_BYTE, 1, 1.0 / 255.0},
        {GL_UNSIGNED_INT_8_8_8_8, 128, 128.0 / 255.0},
        {GL_UNSIGNED_INT_8_8_8_8_REV, 64, 64.0 / 255.0},
        {GL_UNSIGNED_INT_8_8_8_8_REV, 300, 1.0},
        {GL_UNSIGNED_SHORT, 65535, 1.0},
        {GL_UNSIGNED_SHORT, 65534, 65534.0 / 65535.0},
        {GL_UNSIGNED_SHORT, 32768, 32768.0 / 65535.0},
        {GL_UNSIGNED_SHORT, 255, 255.0 / 65535.0},
        {GL_UNSIGNED_INT, 65536, 65536.0 / 4294967296.0},
        {GL_UNSIGNED_INT, 0x7FFFFFFF, 2147483647.0 / 4294967296.0},
        {GL_UNSIGNED_INT, -1, 1.0},
        // Types that carry no white level.
        {GL_FLOAT, 255, 1.0},
        {GL_HALF_FLOAT_ARB, 7, 1.0},
        {GL_UNSIGNED_SHORT_5_6_5, 10, 1.0},
        {0, 10, 1.0},
    };
    for (const Row& r : rows)
        EXPECT_NEAR(GetWhiteScale(r.type, r.white), r.scale, 1e-6 * r.scale)
            << "type 0x" << std::hex << r.type << std::dec << " white " << r.white;
}

TEST(ImageFormats, TextureSizes) {
    // Hand-worked sizes: row bits rounded down to 4 bits after adding 3, whole bytes per row,
    // total rounded up to 64.
    struct Row {
        int width, height;
        GLenum internalFormat;
        int32_t bytes;
    };
    const Row rows[] = {
        {1, 1, GL_RGBA8, 64},
        {2048, 1080, GL_RGBA32F_ARB, 35389440},
        {3, 1, GL_RGB8, 64},         // 9-byte row
        {3, 8, GL_RGB8, 128},        // 72 bytes
        {1, 1, GL_ALPHA8, 64},       // 1-byte row
        {100, 100, GL_RGB16, 60032}, // 600 * 100 = 60000
        {17, 3, GL_ALPHA12, 128},    // 34 * 3 = 102
        {1000, 1, GL_DEPTH_COMPONENT24, 3008},
        {16, 4, GL_RGBA16F_ARB, 512},
        {16, 4, GL_RGB32F_ARB, 768},
        {7, 7, GL_LUMINANCE16F_ARB, 128}, // 14 * 7 = 98
        {0, 100, GL_RGBA8, 0},
        {100, 0, GL_RGBA8, 0},
        {640, 480, GL_RGB5, 0}, // not in the table: 0 bits
        // 32-bit arithmetic throughout: 1048576-byte rows times 65536 rows wrap to 0.
        {65536, 65536, GL_RGBA32F_ARB, 0},
    };
    for (const Row& r : rows)
        EXPECT_EQ(CalculateTextureSize(r.width, r.height, r.internalFormat), r.bytes)
            << r.width << "x" << r.height << " 0x" << std::hex << r.internalFormat;

    // Every internal format by its bits per texel, against the rule computed by division.
    struct Bits {
        GLenum internalFormat;
        int bits;
    };
    const Bits bits[] = {
        {GL_ALPHA8, 8},
        {GL_LUMINANCE8, 8},
        {GL_ALPHA12, 16},
        {GL_ALPHA16, 16},
        {GL_LUMINANCE12, 16},
        {GL_LUMINANCE16, 16},
        {GL_DEPTH_COMPONENT16, 16},
        {GL_ALPHA16F_ARB, 16},
        {GL_LUMINANCE16F_ARB, 16},
        {GL_RGB8, 24},
        {GL_DEPTH_COMPONENT24, 24},
        {GL_DEPTH_COMPONENT, 32},
        {GL_ALPHA, 32},
        {GL_LUMINANCE, 32},
        {GL_RGBA8, 32},
        {GL_DEPTH_COMPONENT32, 32},
        {GL_ALPHA32F_ARB, 32},
        {GL_LUMINANCE32F_ARB, 32},
        {GL_RGB12, 48},
        {GL_RGB16, 48},
        {GL_RGB16F_ARB, 48},
        {GL_RGBA12, 64},
        {GL_RGBA16, 64},
        {GL_RGBA16F_ARB, 64},
        {GL_RGB32F_ARB, 96},
        {GL_RGBA32F_ARB, 128},
        {GL_RGB, 0},
        {GL_RGBA, 0},
        {GL_INTENSITY, 0},
    };
    for (const Bits& b : bits) {
        for (int width : {1, 2, 3, 5, 13, 640, 2048}) {
            for (int height : {1, 3, 480, 1080}) {
                const int64_t rowBytes = (int64_t(b.bits) * width + 3) / 4 * 4 / 8;
                const int64_t expected = (rowBytes * height + 63) / 64 * 64;
                EXPECT_EQ(CalculateTextureSize(width, height, b.internalFormat), expected)
                    << width << "x" << height << " 0x" << std::hex << b.internalFormat;
            }
        }
    }

    // The format-and-type form goes through the internal format of the pair.
    EXPECT_EQ(CalculateTextureSize(2, 2, GL_RGBA, GL_UNSIGNED_BYTE), 64);      // RGBA8
    EXPECT_EQ(CalculateTextureSize(10, 10, GL_ALPHA, GL_UNSIGNED_SHORT), 832); // RGBA16
    EXPECT_EQ(CalculateTextureSize(1000, 1, GL_DEPTH_COMPONENT, GL_FLOAT), 3008);
    EXPECT_EQ(CalculateTextureSize(30, 2, GL_RGB, GL_UNSIGNED_SHORT_5_6_5), 192); // RGB8
}

TEST(ImageFormats, TextureSizeOnCardRoundsToTheNearestPowerOfTwo) {
    // Side -> power of two: at least 32 up to 32, and 16 only for 16 to 24; ties go down.
    struct Side {
        int value, power;
    };
    const Side sides[] = {
        {1, 32},      {8, 32},      {15, 32},     {16, 16},     {20, 16},     {24, 16},
        {25, 32},     {32, 32},     {33, 32},     {47, 32},     {48, 32},     {49, 64},
        {96, 64},     {97, 128},    {700, 512},   {767, 512},   {768, 512},   {769, 1024},
        {1000, 1024}, {1024, 1024}, {1536, 1024}, {1537, 2048}, {1920, 2048}, {100000, 131072},
    };
    for (const Side& s : sides) {
        TestImage image(s.value, 64, 32, 32, 255);
        EXPECT_EQ(CalculateTextureSizeOnCard(&image, 1, false), int64_t(s.power) * 64 * 16)
            << "width " << s.value;
        TestImage tall(64, s.value, 32, 32, 255);
        EXPECT_EQ(CalculateTextureSizeOnCard(&tall, 1, false), int64_t(s.power) * 64 * 16)
            << "height " << s.value;
    }

    TestImage frame(1000, 700, 32, 32, 255);
    EXPECT_EQ(CalculateTextureSizeOnCard(&frame, 1, false), int64_t(1024) * 512 * 16);
    EXPECT_EQ(CalculateTextureSizeOnCard(&frame, 1, true), int64_t(1024) * 1024 * 16);
    // Divisors of 1 or less leave the size alone.
    EXPECT_EQ(CalculateTextureSizeOnCard(&frame, 0, false), int64_t(1024) * 512 * 16);
    EXPECT_EQ(CalculateTextureSizeOnCard(&frame, -3, false), int64_t(1024) * 512 * 16);
    // 1000 / 3 = 333 -> 256; 700 / 3 = 233 -> 256.
    EXPECT_EQ(CalculateTextureSizeOnCard(&frame, 3, false), int64_t(256) * 256 * 16);
    TestImage big(2000, 1400, 32, 32, 255);
    EXPECT_EQ(CalculateTextureSizeOnCard(&big, 2, false), int64_t(1024) * 512 * 16);

    // Sizes past 32 bits.
    TestImage huge(100000, 100000, 32, 32, 255);
    EXPECT_EQ(CalculateTextureSizeOnCard(&huge, 1, true), int64_t(131072) * 131072 * 16);
}

TEST(ImageFormats, MatchingFormats) {
    auto make = [] { return TestImage(8, 6, Fourcc("RGBA"), 64, 65535, true, 128); };
    TestImage a = make();
    TestImage b = make();
    EXPECT_TRUE(IsMatchingFormat(&a, &b));
    EXPECT_TRUE(IsMatchingFormat(&a, &a));
    EXPECT_FALSE(IsMatchingFormat(&a, nullptr));
    EXPECT_FALSE(IsMatchingFormat(nullptr, &a));
    // Read-only and native objects are not part of the layout.
    b.SetReadOnly(true);
    int native = 0;
    b.SetNative(&native);
    EXPECT_TRUE(IsMatchingFormat(&a, &b));

    const std::function<void(TestImage&)> changes[] = {
        [](TestImage& i) { i.SetWidth(7); },        [](TestImage& i) { i.SetHeight(5); },
        [](TestImage& i) { i.SetRowBytes(144); },   [](TestImage& i) { i.SetColorSpace(32); },
        [](TestImage& i) { i.SetBitDepth(32); },    [](TestImage& i) { i.SetWhiteLevel(32768); },
        [](TestImage& i) { i.SetBottomUp(false); }, [](TestImage& i) { i.SetBaseAddress(nullptr); },
    };
    int index = 0;
    for (const auto& change : changes) {
        TestImage c = make();
        change(c);
        EXPECT_FALSE(IsMatchingFormat(&a, &c)) << "change " << index;
        EXPECT_FALSE(IsMatchingFormat(&c, &a)) << "change " << index;
        ++index;
    }
}
