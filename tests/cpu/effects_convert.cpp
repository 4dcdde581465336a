#include "TestImage.h"

#include "gl/effects/Conversion.h"
#include "gl/effects/GLSL.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <tuple>

using namespace OGL_TESK_AE;
using tesk_test::Fourcc;
using tesk_test::TestImage;

// Only RGBA, BGRA and single channels of 16-bit, half and float are converted, and only when
// the image's native layout or white level differs from what is asked for.
TEST(NeedToConvert, DecidesFromTheImagesNativeLayoutAndWhiteLevel) {
    EXPECT_FALSE(NeedToConvert(nullptr, GL_RGBA, GL_FLOAT));
    const int32_t RGBA = Fourcc("RGBA"), L16 = GL_LUMINANCE16;
    constexpr GLenum US = GL_UNSIGNED_SHORT, F = GL_FLOAT, HF = GL_HALF_FLOAT_ARB;
    // What, image code, depth, white and width, requested format and type, expected.
    const std::tuple<const char*, int32_t, int32_t, int32_t, int32_t, GLenum, GLenum, bool> rows[] =
        {{"RGB requested", RGBA, 128, 1, 4, GL_RGB, F, false},
         {"8-bit type requested", RGBA, 64, 65535, 4, GL_RGBA, GL_UNSIGNED_BYTE, false},
         // ARGB words are native only at 8 bits per channel; validity is not even asked.
         {"ARGB 8-bit", 32, 32, 255, 4, GL_RGBA, F, false},
         {"ARGB float", 32, 128, 1, 4, GL_RGBA, F, true},
         {"ARGB 8-bit, no pixels", 32, 32, 255, 0, GL_RGBA, F, false},
         {"RGBA, no pixels", RGBA, 64, 65535, 0, GL_RGBA, US, true},
         {"RGBA 16-bit full white", RGBA, 64, 65535, 4, GL_RGBA, US, false},
         {"RGBA white 32768", RGBA, 64, 32768, 4, GL_RGBA, US, true},
         {"RGBA float as BGRA", RGBA, 128, 1, 4, GL_BGRA, F, true},
         {"RGBA float as half", RGBA, 128, 1, 4, GL_RGBA, HF, true},
         // Luminance and alpha images into RGBA: only the type and the white level count.
         {"luminance 16", L16, 16, 65535, 4, GL_BGRA, US, false},
         {"alpha half into 16-bit", 1, 16, 1, 4, GL_RGBA, US, true},
         // Alpha and luminance targets name no type: the image's channel size picks one.
         {"alpha 8 as alpha", 1, 8, 255, 4, GL_ALPHA, US, false},
         {"alpha 16 white 4095 as alpha", 1, 16, 4095, 4, GL_ALPHA, US, true},
         {"depth float", GL_DEPTH_COMPONENT, 32, 1, 4, GL_DEPTH_COMPONENT, F, false},
         {"RGBA 16 as luminance", RGBA, 64, 65535, 4, GL_LUMINANCE, US, true}};
    for (const auto& [what, code, depth, white, width, format, type, expected] : rows) {
        TestImage image(width, 2, code, depth, white);
        EXPECT_EQ(NeedToConvert(&image, format, type), expected) << what;
    }
}

TEST(Conversion, SwizzlesFollowTheHostChannelOrder) {
    TestImage argb(2, 2, 32), bgra(2, 2, Fourcc("BGRA")), rgba(2, 2), abgr(2, 2, Fourcc("ABGR")),
        alpha(2, 2, 1, 8);
    EXPECT_TRUE(LoadSwizzleFor(&argb) == &Conversion::sFromARGB &&
                ReadSwizzleFor(&argb) == &Conversion::sToARGB);
    EXPECT_TRUE(LoadSwizzleFor(&bgra) == &Conversion::sFromBGRA &&
                ReadSwizzleFor(&bgra) == &Conversion::sToBGRA);
    for (const XIImage* image :
         std::initializer_list<const XIImage*>{&rgba, &abgr, &alpha, nullptr})
        EXPECT_TRUE(LoadSwizzleFor(image) == nullptr && ReadSwizzleFor(image) == nullptr);
}

TEST(GLSL, LoadFileReplacesTheSourceWithTheWholeFile) {
    GLSL::Shader shader(GL_FRAGMENT_SHADER, "void main() {}");
    EXPECT_FALSE(shader.LoadFile("/nonexistent/folder/shader.frag"));
    EXPECT_EQ(shader.Source(), "void main() {}");
    char path[] = "/tmp/tesk_glsl_XXXXXX";
    std::FILE* file = fdopen(mkstemp(path), "w");
    ASSERT_NE(file, nullptr);
    // Longer than any line buffer, and the comments kept.
    const std::string text =
        "#version 110\n// a comment\nvoid main() {}\n" + std::string(100000, ' ') + "\n// end\n";
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    EXPECT_TRUE(shader.LoadFile(path));
    std::remove(path);
    GLSL::Shader assigned(GL_VERTEX_SHADER, ""); // copies take the source and type
    assigned = shader;
    EXPECT_TRUE(shader.Source() == text && assigned.Source() == text &&
                assigned.Type() == GL_FRAGMENT_SHADER);
}
