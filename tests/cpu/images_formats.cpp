// How host pixel layouts map onto OpenGL formats, types, internal formats and white scales, and
// how large textures are. Expected values are written out from the format tables by hand.

#include "TestImage.h"

#include "gl/texture/TextureFormat.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

using namespace OGL_TESK_AE;
using tesk_test::Fourcc;
using tesk_test::TestImage;

namespace {
constexpr GLenum UB = GL_UNSIGNED_BYTE, US = GL_UNSIGNED_SHORT, UI = GL_UNSIGNED_INT,
                 HF = GL_HALF_FLOAT_ARB, F = GL_FLOAT, A = GL_ALPHA, RGB = GL_RGB, BGR = GL_BGR,
                 BGRA = GL_BGRA, RGBA_ = GL_RGBA, LUM = GL_LUMINANCE, DEPTH = GL_DEPTH_COMPONENT,
                 IDX = GL_COLOR_INDEX, P8888 = GL_UNSIGNED_INT_8_8_8_8,
                 P5551 = GL_UNSIGNED_SHORT_5_5_5_1, P565R = GL_UNSIGNED_SHORT_5_6_5_REV,
                 P1555R = GL_UNSIGNED_SHORT_1_5_5_5_REV;
constexpr int32_t RGBA = Fourcc("RGBA"), c24BG = Fourcc("24BG"), cABGR = Fourcc("ABGR"),
                  cUYVY = Fourcc("UYVY"), cB565 = Fourcc("B565"), cL555 = Fourcc("L555"),
                  cARGB = Fourcc("ARGB");
} // namespace

// Each host code's rule once: channel size from the depth (float when white is 1), fixed types
// for packed layouts and code 32 (memory bytes A, R, G, B), none for indexed colour or an
// unknown depth.
TEST(ImageFormats, HostCodes) {
    // Code, depth, white, format, type.
    const int32_t rows[][5] = {
        {1, 8, 255, A, UB},           {1, 16, 1, A, HF},          {1, 32, 255, A, UI},
        {1, 24, 255, A, 0},           {24, 48, 65535, RGB, US},   {c24BG, 96, 1, BGR, F},
        {RGBA, 64, 32768, RGBA_, US}, {RGBA, 128, 1, RGBA_, F},   {RGBA, 96, 1, RGBA_, 0},
        {cABGR, 32, 255, BGRA, UB},   {cUYVY, 16, 255, RGBA_, 0}, {32, 32, 1, BGRA, P8888},
        {32, 64, 1, RGBA_, US},       {32, 16, 255, RGBA_, F},    {16, 32, 1, RGB, P5551},
        {cB565, 16, 255, RGB, P565R}, {40, 32, 1, IDX, 0},        {cL555, 16, 255, RGB, P1555R},
        {cARGB, 32, 255, RGBA_, 0}};
    for (const auto& r : rows) {
        GLenum format = 0xDEAD, type = 0xDEAD;
        GetColorSpaceFormat(r[0], r[1], r[2], format, type);
        EXPECT_TRUE(format == GLenum(r[3]) && type == GLenum(r[4]))
            << std::hex << r[0] << std::dec << " " << r[1];
    }
}

// An internal format gives its pixels' format and type, also when passed as a host code
// (whatever the depth and white level), and its texel size (one texel a row, 64 rows).
TEST(ImageFormats, InternalFormats) {
    const GLenum rows[][4] = {{GL_ALPHA12, A, US, 128},
                              {GL_ALPHA, A, 0, 256},
                              {GL_LUMINANCE16F_ARB, LUM, HF, 128},
                              {GL_RGB32F_ARB, RGB, F, 768},
                              {GL_RGBA16F_ARB, RGBA_, HF, 512},
                              {GL_DEPTH_COMPONENT24, DEPTH, UI, 192},
                              {GL_LUMINANCE8_ALPHA8, RGBA_, 0, 0}};
    for (const auto& r : rows) {
        GLenum format = 0xDEAD, type = 0xDEAD;
        GetColorSpaceFormat(r[0], format, type);
        EXPECT_TRUE(format == r[1] && type == r[2]) << std::hex << r[0];
        for (int depth : {8, 128}) {
            GetColorSpaceFormat(int32_t(r[0]), depth, depth == 8 ? 1 : 65535, format, type);
            EXPECT_TRUE(format == r[1] && type == r[2]) << std::hex << r[0];
        }
        EXPECT_EQ(CalculateTextureSize(1, 64, r[0]), int32_t(r[3])) << std::hex << r[0];
    }
    // Integer types only: the float answers depend on the card (the OpenGL suite's).
    EXPECT_EQ(GetInternalFormat(GL_DEPTH_COMPONENT, US),
              GLenum(GL_DEPTH_COMPONENT24)); // whatever the type
    EXPECT_EQ(GetInternalFormat(GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV), GLenum(GL_RGBA8));
    EXPECT_EQ(GetInternalFormat(GL_ALPHA, GL_SHORT), GLenum(GL_RGBA16));
    EXPECT_TRUE(GetInternalFormat(GL_RGBA, 0) == GL_RGB8 &&
                GetInternalFormat(GL_RGB, GL_UNSIGNED_SHORT_5_6_5) == GL_RGB8);
}

// The image's own code, depth and white level reach the tables; the white scale follows the
// type found, and an unusable image gets neutral answers.
TEST(ImageFormats, HostFramesAndWhiteScale) {
    TestImage argb(4, 3, 32, 32, 200), rgba16(4, 3, RGBA, 64, 32768), noMemory(4, 3, 32, 32, 200);
    noMemory.SetBaseAddress(nullptr);
    GLenum format = 0, type = 0;
    float scale = -1;
    GetColorSpaceFormat(&argb, format, type, scale);
    EXPECT_TRUE(format == GL_BGRA && type == GL_UNSIGNED_INT_8_8_8_8 &&
                GetInternalFormat(&argb) == GL_RGBA8);
    EXPECT_NEAR(scale, 200.0 / 255.0, 1e-6);
    GetFormatType(&rgba16, format, type);
    EXPECT_TRUE(format == GL_RGBA && type == US && GetInternalFormat(&rgba16) == GL_RGBA16);
    for (const XIImage* image : std::initializer_list<const XIImage*>{nullptr, &noMemory}) {
        GetColorSpaceFormat(image, format, type, scale);
        EXPECT_TRUE(format == GL_RGBA && type == 0 && scale == 1.0f &&
                    GetInternalFormat(image) == GL_RGBA8);
    }
    // Only a white level below the type's full scale scales; the full unsigned range is -1.
    EXPECT_NEAR(GetWhiteScale(GL_UNSIGNED_INT_8_8_8_8_REV, 254), 254.0 / 255.0, 1e-6);
    EXPECT_NEAR(GetWhiteScale(US, 65534), 65534.0 / 65535.0, 1e-6);
    EXPECT_NEAR(GetWhiteScale(UI, 0x7FFFFFFF), 0.5, 1e-6);
    for (const auto& [t, white] :
         {std::pair{UB, 300}, {UI, -1}, {F, 255}, {GLenum(GL_UNSIGNED_SHORT_5_6_5), 10}})
        EXPECT_EQ(GetWhiteScale(t, white), 1.0f) << std::hex << t;
}

TEST(ImageFormats, TextureSizes) {
    // Whole bytes a row, the total rounded up to 64 bytes, in 32-bit arithmetic throughout
    // (2^20-byte rows times 2^16 wrap to 0).
    const int32_t sizes[][4] = {{3, 64, GL_RGB8, 576},
                                {100, 100, GL_RGB16, 60032},
                                {0, 100, GL_RGBA8, 0},
                                {65536, 65536, GL_RGBA32F_ARB, 0}};
    for (const auto& s : sizes)
        EXPECT_EQ(CalculateTextureSize(s[0], s[1], GLenum(s[2])), s[3]) << std::hex << s[2];
    EXPECT_EQ(CalculateTextureSize(10, 10, GL_ALPHA, US), 832); // as RGBA16
    // On the card: each side to the nearest power of two from 16 up, ties going down (sides
    // under 16 get 32), then 16 bytes a texel; the divisor applies above 1, square takes the
    // larger side. Width, height, divisor, square, bytes.
    const int64_t cards[][5] = {{15, 64, 1, 0, 32768},      {16, 64, 1, 0, 16384},
                                {24, 64, 1, 0, 16384},      {25, 64, 1, 0, 32768},
                                {48, 64, 1, 0, 32768},      {49, 64, 1, 0, 65536},
                                {1000, 700, 0, 0, 8388608}, {1000, 700, 1, 1, 16777216},
                                {1000, 700, 3, 0, 1048576}, {100000, 100000, 1, 1, 274877906944}};
    for (const auto& c : cards) {
        TestImage image(static_cast<int32_t>(c[0]), static_cast<int32_t>(c[1]), 32, 32, 255);
        EXPECT_EQ(CalculateTextureSizeOnCard(&image, int(c[2]), c[3] != 0), c[4])
            << c[0] << " / " << c[2];
    }
}

// Every field of the layout takes part except read-only and the native object.
TEST(ImageFormats, MatchingFormats) {
    const int32_t base[7] = {8, 6, RGBA, 64, 65535, 1, 128};
    auto make = [](const int32_t(&l)[7]) {
        return TestImage(l[0], l[1], l[2], l[3], l[4], l[5] != 0, l[6]);
    };
    TestImage a = make(base), b = make(base);
    int native = 0;
    b.SetReadOnly(true), b.SetNative(&native);
    EXPECT_TRUE(IsMatchingFormat(&a, &b));
    b.SetBaseAddress(nullptr);
    EXPECT_FALSE(IsMatchingFormat(&a, &b) || IsMatchingFormat(&b, &a) ||
                 IsMatchingFormat(&a, nullptr));
    for (int field = 0; field < 7; ++field) {
        int32_t changed[7];
        for (int i = 0; i < 7; ++i) changed[i] = base[i] ^ (i == field);
        TestImage c = make(changed);
        EXPECT_FALSE(IsMatchingFormat(&a, &c) || IsMatchingFormat(&c, &a)) << "field " << field;
    }
}
