#include "TestImage.h"

#include "gl/effects/Conversion.h"
#include "gl/effects/GLSL.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace OGL_TESK_AE;
using tesk_test::Fourcc;
using tesk_test::TestImage;

TEST(NeedToConvert, DecidesFromTheImagesNativeLayoutAndWhiteLevel) {
    EXPECT_FALSE(NeedToConvert(nullptr, GL_RGBA, GL_FLOAT));

    struct Row {
        const char* what;
        int32_t colorSpace, bitDepth, whiteLevel;
        GLenum format, type;
        bool expected;
        int32_t width = 4;
    };
    const int32_t RGBA = Fourcc("RGBA"), BGRA = Fourcc("BGRA");
    const Row rows[] = {
        // Only RGBA, BGRA, alpha, luminance and depth of 16-bit, half and float are converted.
        {"RGB requested", RGBA, 128, 1, GL_RGB, GL_FLOAT, false},
        {"8-bit type requested", RGBA, 64, 65535, GL_RGBA, GL_UNSIGNED_BYTE, false},
        // ARGB words are native only at 8 bits per channel; validity is not even asked.
        {"ARGB 8-bit", 32, 32, 255, GL_RGBA, GL_FLOAT, false},
        {"ARGB 16-bit", 32, 64, 32768, GL_RGBA, GL_UNSIGNED_SHORT, true},
        {"ARGB float", 32, 128, 1, GL_RGBA, GL_FLOAT, true},
        {"ARGB 8-bit, no pixels", 32, 32, 255, GL_RGBA, GL_FLOAT, false, 0},
        {"RGBA, no pixels", RGBA, 64, 65535, GL_RGBA, GL_UNSIGNED_SHORT, true, 0},
        // RGBA and BGRA: native when format and type match and white is full scale.
        {"RGBA 16-bit full white", RGBA, 64, 65535, GL_RGBA, GL_UNSIGNED_SHORT, false},
        {"RGBA white 32768", RGBA, 64, 32768, GL_RGBA, GL_UNSIGNED_SHORT, true},
        {"RGBA 10-bit in 16", RGBA, 64, 1023, GL_RGBA, GL_UNSIGNED_SHORT, true},
        {"RGBA float", RGBA, 128, 1, GL_RGBA, GL_FLOAT, false},
        {"RGBA float as BGRA", RGBA, 128, 1, GL_BGRA, GL_FLOAT, true},
        {"RGBA float as half", RGBA, 128, 1, GL_RGBA, GL_HALF_FLOAT_ARB, true},
        {"RGBA half", RGBA, 64, 1, GL_RGBA, GL_HALF_FLOAT_ARB, false},
        {"RGBA 8-bit as 16", RGBA, 32, 255, GL_RGBA, GL_UNSIGNED_SHORT, true},
        {"BGRA 16-bit", BGRA, 64, 65535, GL_BGRA, GL_UNSIGNED_SHORT, false},
        {"BGRA 16-bit as RGBA", BGRA, 64, 65535, GL_RGBA, GL_UNSIGNED_SHORT, true},
        // Luminance and alpha images into RGBA: only the type and the white level count.
        {"luminance 16", GL_LUMINANCE16, 16, 65535, GL_RGBA, GL_UNSIGNED_SHORT, false},
        {"luminance 16 as float", GL_LUMINANCE16, 16, 65535, GL_RGBA, GL_FLOAT, true},
        {"luminance 10-bit", GL_LUMINANCE16, 16, 1023, GL_RGBA, GL_UNSIGNED_SHORT, true},
        {"alpha 16 into RGBA", 1, 16, 65535, GL_RGBA, GL_UNSIGNED_SHORT, false},
        {"alpha 16 into BGRA", 1, 16, 65535, GL_BGRA, GL_UNSIGNED_SHORT, false},
        {"alpha half into 16-bit", 1, 16, 1, GL_RGBA, GL_UNSIGNED_SHORT, true},
        // Single-channel targets: alpha and luminance name no type, so the image's channel
        // size picks one; depth keeps floats.
        {"alpha 16 as alpha", 1, 16, 65535, GL_ALPHA, GL_UNSIGNED_SHORT, false},
        {"alpha 16 white 4095 as alpha", 1, 16, 4095, GL_ALPHA, GL_UNSIGNED_SHORT, true},
        {"alpha 8 as alpha", 1, 8, 255, GL_ALPHA, GL_UNSIGNED_SHORT, false},
        {"depth float", GL_DEPTH_COMPONENT, 32, 1, GL_DEPTH_COMPONENT, GL_FLOAT, false},
        {"RGBA 16 as luminance", RGBA, 64, 65535, GL_LUMINANCE, GL_UNSIGNED_SHORT, true},
    };
    for (const Row& row : rows) {
        TestImage image(row.width, 2, row.colorSpace, row.bitDepth, row.whiteLevel);
        EXPECT_EQ(NeedToConvert(&image, row.format, row.type), row.expected) << row.what;
    }
}

TEST(Conversion, SwizzlesFollowTheHostChannelOrder) {
    struct Row {
        int32_t colorSpace;
        GLSL::Shader* load;
        GLSL::Shader* read;
    };
    const Row rows[] = {
        {32, &Conversion::sFromARGB, &Conversion::sToARGB},
        {Fourcc("BGRA"), &Conversion::sFromBGRA, &Conversion::sToBGRA},
        {Fourcc("RGBA"), nullptr, nullptr},
        {Fourcc("ABGR"), nullptr, nullptr},
        {1, nullptr, nullptr},
    };
    for (const Row& row : rows) {
        TestImage image(2, 2, row.colorSpace, row.colorSpace == 1 ? 8 : 32, 255);
        EXPECT_EQ(LoadSwizzleFor(&image), row.load) << row.colorSpace;
        EXPECT_EQ(ReadSwizzleFor(&image), row.read) << row.colorSpace;
    }
    EXPECT_EQ(LoadSwizzleFor(nullptr), nullptr);
    EXPECT_EQ(ReadSwizzleFor(nullptr), nullptr);

    // A new conversion samples with no swizzle and no processing at unit scale.
    Conversion conversion;
    EXPECT_EQ(conversion.GetConversion(), nullptr);
    EXPECT_EQ(conversion.GetProcessing(), nullptr);
    EXPECT_EQ(conversion.GetScale(), 1.0f);
    conversion.SetProcessing(&Conversion::sPremultiply);
    conversion.SetScale(65535.0f / 1023.0f);
    const Conversion copy(conversion);
    EXPECT_EQ(copy.GetProcessing(), &Conversion::sPremultiply);
    EXPECT_EQ(copy.GetScale(), 65535.0f / 1023.0f);
}

TEST(GLSL, LoadFileReplacesTheSourceWithTheWholeFile) {
    GLSL::Shader shader(GL_FRAGMENT_SHADER, "void main() {}");
    EXPECT_FALSE(shader.LoadFile("/nonexistent/folder/shader.frag"));
    EXPECT_EQ(shader.Source(), "void main() {}");

    char path[] = "/tmp/tesk_glsl_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    std::string text = "#version 110\n// a comment\nvoid main() { gl_FragColor = vec4(1.0); }\n";
    text += std::string(100000, ' '); // more than any line buffer
    text += "\n// end\n";
    std::FILE* file = fdopen(fd, "w");
    ASSERT_NE(file, nullptr);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    EXPECT_TRUE(shader.LoadFile(path));
    std::remove(path);
    EXPECT_EQ(shader.Source(), text);
    EXPECT_FALSE(shader.IsCompiled());

    // Copies take the source, never a compiled shader.
    GLSL::Shader copy(shader);
    EXPECT_EQ(copy.Source(), text);
    EXPECT_EQ(copy.Type(), static_cast<unsigned>(GL_FRAGMENT_SHADER));
    GLSL::Shader assigned(GL_VERTEX_SHADER, "");
    assigned = shader;
    EXPECT_EQ(assigned.Type(), static_cast<unsigned>(GL_FRAGMENT_SHADER));
    EXPECT_FALSE(assigned.IsCompiled());
}
