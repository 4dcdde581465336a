// The OpenGL side of the library where no context is needed: which host images a texture load
// converts, the swizzles, the Push scope's discipline, state values derived from their
// arguments, what the renderer's texts say of the card, and the error texts.

#include "TestImage.h"

#include "common/Errors.h"
#include "gl/context/HardwareInfo.h"
#include "gl/effects/Conversion.h"
#include "gl/state/Light.h"
#include "gl/state/MatrixState.h"
#include "gl/state/Push.h"

#include <GL/glext.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <stdexcept>
#include <tuple>

using namespace OGL_TESK_AE;
using tesk_test::Fourcc;
using tesk_test::TestImage;

// Only RGBA, BGRA and single channels of 16-bit, half and float are converted, and only when
// the image's native layout or white level differs from what is asked for.
TEST(Conversion, OnlyForNonNativeLayoutsAndSwizzledByChannelOrder) {
    EXPECT_FALSE(NeedToConvert(nullptr, GL_RGBA, GL_FLOAT));
    const int32_t RGBA = Fourcc("RGBA");
    constexpr GLenum US = GL_UNSIGNED_SHORT, F = GL_FLOAT;
    // What, image code, depth, white and width, requested format and type, expected.
    const std::tuple<const char*, int32_t, int32_t, int32_t, int32_t, GLenum, GLenum, bool> rows[] =
        {{"RGB requested", RGBA, 128, 1, 4, GL_RGB, F, false},
         {"8-bit type requested", RGBA, 64, 65535, 4, GL_RGBA, GL_UNSIGNED_BYTE, false},
         // ARGB words are native only at 8 bits per channel; validity is not even asked.
         {"ARGB 8-bit, no pixels", 32, 32, 255, 0, GL_RGBA, F, false},
         {"ARGB float", 32, 128, 1, 4, GL_RGBA, F, true},
         {"RGBA, no pixels", RGBA, 64, 65535, 0, GL_RGBA, US, true},
         {"RGBA 16-bit full white", RGBA, 64, 65535, 4, GL_RGBA, US, false},
         {"RGBA white 32768", RGBA, 64, 32768, 4, GL_RGBA, US, true},
         {"RGBA float as BGRA", RGBA, 128, 1, 4, GL_BGRA, F, true},
         {"RGBA float as half", RGBA, 128, 1, 4, GL_RGBA, GL_HALF_FLOAT_ARB, true},
         // Luminance and alpha images into RGBA: only the type and the white level count.
         {"luminance 16", GL_LUMINANCE16, 16, 65535, 4, GL_BGRA, US, false},
         {"alpha half into 16-bit", 1, 16, 1, 4, GL_RGBA, US, true},
         // Alpha and luminance targets name no type: the image's channel size picks one.
         {"alpha 8 as alpha", 1, 8, 255, 4, GL_ALPHA, US, false},
         {"alpha 16 white 4095 as alpha", 1, 16, 4095, 4, GL_ALPHA, US, true},
         {"RGBA 16 as luminance", RGBA, 64, 65535, 4, GL_LUMINANCE, US, true}};
    for (const auto& [what, code, depth, white, width, format, type, expected] : rows) {
        TestImage image(width, 2, code, depth, white);
        EXPECT_EQ(NeedToConvert(&image, format, type), expected) << what;
    }
    // Swizzles follow the host channel order.
    TestImage argb(2, 2, 32), bgra(2, 2, Fourcc("BGRA")), rgba(2, 2), abgr(2, 2, Fourcc("ABGR"));
    EXPECT_TRUE(LoadSwizzleFor(&argb) == &Conversion::sFromARGB &&
                ReadSwizzleFor(&argb) == &Conversion::sToARGB);
    EXPECT_TRUE(LoadSwizzleFor(&bgra) == &Conversion::sFromBGRA &&
                ReadSwizzleFor(&bgra) == &Conversion::sToBGRA);
    for (const XIImage* image : std::initializer_list<const XIImage*>{&rgba, &abgr, nullptr})
        EXPECT_TRUE(LoadSwizzleFor(image) == nullptr && ReadSwizzleFor(image) == nullptr);
}

namespace {
// A piece of "state" that counts the calls Push makes on it; sCurrent is the state itself.
struct Probe {
    static inline int sRetrieves, sApplies, sCurrent;
    static inline bool sThrows;
    int value = -1;
    void Retrieve() { ++sRetrieves, value = sCurrent; }
    void Apply() const {
        ++sApplies, sCurrent = sThrows ? throw std::runtime_error("unsupported") : value;
    }
    static void Reset(int current, bool throws = false) {
        sRetrieves = sApplies = 0, sCurrent = current, sThrows = throws;
    }
};
} // namespace

TEST(Push, SavesOnceAndRestoresExactlyOnce) {
    Probe::Reset(7);
    {
        Push<Probe> scope(Probe{3});
        EXPECT_TRUE(Probe::sCurrent == 3 && scope.value == 7);
        scope.Pop();
        EXPECT_EQ(Probe::sCurrent, 7);
        Probe::sCurrent = 9;
        scope.Pop(); // neither a second Pop nor the destructor restores again
    }
    EXPECT_TRUE(Probe::sCurrent == 9 && Probe::sRetrieves == 1 && Probe::sApplies == 2);
    Probe::Reset(5);
    try {
        Push<Probe> scope(Probe{1});
        throw std::logic_error("leave");
    } catch (const std::logic_error&) {
    }
    EXPECT_TRUE(Probe::sCurrent == 5 && Probe::sApplies == 2);
    // A failing apply in the constructor: the restore is still tried (and fails quietly).
    Probe::Reset(4, true);
    EXPECT_THROW(Push<Probe> scope(Probe{8}), std::runtime_error);
    EXPECT_EQ(Probe::sApplies, 2);
    Probe::Reset(0);
}

TEST(StateValues, DerivedFromTheirArguments) {
    // ARGB words read as r, g, b, a come out as R, G, B, A, scaled (column-major, as OpenGL).
    const ARGBWrite argb(0.5f);
    const float in[4] = {0.9f, 0.1f, 0.2f, 0.3f};
    std::array<double, 4> out{};
    for (int i = 0; i < 16; ++i) out[i % 4] += argb.m[i] * in[i / 4];
    EXPECT_EQ(out, (std::array<double, 4>{0.5 * 0.1f, 0.5 * 0.2f, 0.5 * 0.3f, 0.5 * 0.9f}));
    ParamLight light(3);
    light.direction = p4f(1, 2, 3, 0);
    light.SetDefaults(5, 99); // twice the distance down the z axis; light and direction kept
    EXPECT_TRUE(light.enabled && light.position == p4f(0, 0, -10, 1) && light.direction.y == 2.0f &&
                light.light == GL_LIGHT3);
}

TEST(HardwareInfo, RendererNamesAndReport) {
    using namespace hardware;
    const std::string quadro = "NVIDIA Quadro FX 4500/PCI/SSE2";
    EXPECT_TRUE(IsQuadroName(quadro) && IsBasicQuadroName(quadro) && IsATIName("ATI Radeon"));
    EXPECT_FALSE(IsBasicQuadroName("NVIDIA Quadro FX 5800") || IsATIName("Radeon ati"));
    // The first non-zero number in the name.
    EXPECT_TRUE(SeriesOf(quadro) == 4500 && SeriesOf("card 0 7") == 7 && !SeriesOf("Software"));
    EXPECT_EQ(DriverFromVersionText("4.5 Mesa 22.3.6") + DriverFromVersionText("4.6 NVIDIA 5"),
              "22.3.6");
    // Six lines, then the verdict for cards under 32 MB (the low 20 bits do not count) or whose
    // name has "geforce2", matched case-sensitively, naming the effects that stop working.
    const std::string verdict = "\nA component of your system has been detected which is not "
                                "officially supported by Tarnwell for OpenGL renders.";
    const std::string lines = "Graphics Card:     c\nOpenGL Version:    v\n"
                              "Driver Version:    d\nTexture Rectangle: false\n";
    EXPECT_EQ(BuildReport("c", "v", "d", false, 64u << 20, 16384),
              lines + "Texture Memory:    64 MB\nTexture Dimension: 16384 x 16384\n");
    const std::string small = BuildReport("c", "v", "d", false, 16u << 20, 0);
    const std::string start =
        lines + "Texture Memory:    16 MB\nTexture Dimension: 0 x 0\n" + verdict;
    EXPECT_EQ(small.rfind(start, 0), 0u);
    EXPECT_EQ(small.substr(small.size() - 3), ").\n");
    auto warned = [&](const char* card, uint32_t memory) {
        return BuildReport(card, "v", "d", true, memory, 0).find(verdict) != std::string::npos;
    };
    EXPECT_TRUE(warned("c", (32u << 20) - 1) && warned("nvidia geforce2 mx", 64u << 20));
    EXPECT_FALSE(warned("c", 32u << 20) || warned("NVIDIA GeForce2 MX", 64u << 20));
}

// Plug-ins show these texts to their users as they are.
TEST(Errors, Texts) {
    const char* message = "static text";
    EXPECT_EQ(Error(message).what(), message); // the pointer itself, not a copy
    const std::string glu = reinterpret_cast<const char*>(gluErrorString(GL_INVALID_ENUM)),
                      upgrade = "\nConsider upgrading graphics card or driver.";
    const std::pair<std::string, std::string> texts[] = {
        {Unsupported().what(), "Required feature of graphic card is not supported." + upgrade},
        {OffscreenUnsupported().what(), "Offscreen rendering is not supported." + upgrade},
        {OpenGLError(0x0500, "Texture", 12).what(), "OpenGL error:\n" + glu + "\nTexture: 12"},
        {OpenGLError(0x0500).what(), "OpenGL error:\n" + glu},
        {OpenGLError().what(), ""}, // also right after a longer text filled the shared buffer
        {OpenGLError(0x7777).what(), "Unknown OpenGL error."},
        {FramebufferError(0x8CDD, nullptr, 0).what(), "GL_FRAMEBUFFER_UNSUPPORTED_EXT"},
        {FramebufferError(0x8CD9, nullptr, 0).what(), "GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT"},
        {FramebufferError(0x8D56, nullptr, 0).what(), "GL_FRAMEBUFFER_INCOMPLETE_MULTISAMPLE"},
        {FramebufferError(1, nullptr, 0).what(), "GL_FRAMEBUFFER Unknow error"},
        {FramebufferError(0x8CD5, "fbo.cpp", 7).what(), "GL_FRAMEBUFFER_COMPLETE_EXT\nfbo.cpp: 7"}};
    for (const auto& [got, expected] : texts) EXPECT_EQ(got, expected);
    // The three kinds share one buffer, cut to its size.
    OpenGLDebug debug(std::string(5000, 'x').c_str());
    EXPECT_EQ(std::string(debug.what()), std::string(4095, 'x'));
    FramebufferError(0x0506, nullptr, 0).what();
    EXPECT_STREQ(debug.what(), "GL_INVALID_FRAMEBUFFER_OPERATION_EXT");
}
