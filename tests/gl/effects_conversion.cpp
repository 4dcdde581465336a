#include "FloatTarget.h"
#include "GLTest.h"
#include "OpsReference.h"

#include "common/Errors.h"
#include "gl/effects/Conversion.h"
#include "gl/effects/EffectProgram.h"
#include "gl/texture/Texture.h"
#include "math/Region.h"

#include <GL/gl.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace OGL_TESK_AE;
using tesk_test::CurrentProgram;
using tesk_test::FloatTarget;
using tesk_test::FloatTexture;
using tesk_test::Luma;
using tesk_test::Pixel;
using tesk_test::PixelsNear;
using tesk_test::Premultiplied;
using tesk_test::RunOnWorker;

namespace {

constexpr int kWidth = 4;
constexpr int kHeight = 3;

// Pixels chosen around the edges of the catalogue: alphas at, just above and below the
// unpremultiply threshold, a pixel whose brightest channel is red with no alpha, black
// transparent, values outside [0, 1] that the mains must clamp on input.
const std::vector<Pixel> kPixels = {
    {0.5f, 0.25f, 0.125f, 1.0f}, {0.2f, 0.4f, 0.6f, 0.5f},    {0.0005f, 0.001f, 0.0002f, 0.0011f},
    {0.3f, 0.6f, 0.9f, 0.001f},  {0.3f, 0.2f, 0.1f, 0.0005f}, {0.5f, 0.25f, 0.0f, 0.0f},
    {0.0f, 0.0f, 0.0f, 0.0f},    {1.0f, 1.0f, 1.0f, 1.0f},    {0.1f, 0.9f, 0.4f, 0.7f},
    {0.0f, 0.0f, 0.0f, 1.0f},    {1.5f, -0.5f, 0.5f, 2.0f},   {0.25f, 0.5f, 0.75f, 0.2f},
};

// ---- CPU reference ----

Pixel Clamp(const Pixel& p, float low, float high) {
    Pixel out;
    for (int i = 0; i < 4; ++i) out[i] = std::min(std::max(p[i], low), high);
    return out;
}

Pixel Scale(const Pixel& p, float s) {
    return {p[0] * s, p[1] * s, p[2] * s, p[3] * s};
}

using P = const Pixel&;
using Process = std::function<Pixel(P)>;

struct ProcessingCase {
    const char* name;
    GLSL::Shader* shader;
    Process reference;
};

std::vector<ProcessingCase> ProcessingCases() {
    using C = Conversion;
    std::vector<ProcessingCase> c;
    auto add = [&](const char* name, GLSL::Shader& shader, Process p) {
        c.push_back({name, &shader, p});
    };
    const Pixel white{1, 1, 1, 1};
    add("NoProcess", C::sNoProcess, [](P f) { return f; });
    add("Premultiply", C::sPremultiply, [](P f) { return Premultiplied(f); });
    add("Unpremultiply", C::sUnpremultiply, [](P f) {
        return f[3] > 0.001f ? Pixel{f[0] / f[3], f[1] / f[3], f[2] / f[3], f[3]} : f;
    });
    add("InvertColor", C::sInvertColor, [](P f) {
        return Pixel{1 - f[0], 1 - f[1], 1 - f[2], f[3]};
    });
    add("CopyAlpha", C::sCopyAlpha, [](P f) { return Pixel{1, 1, 1, f[3]}; });
    add("CopyInvAlpha", C::sCopyInvAlpha, [](P f) { return Pixel{1, 1, 1, 1 - f[3]}; });
    add("CopyLuma", C::sCopyLuma, [](P f) { return Pixel{1, 1, 1, Luma(f)}; });
    add("CopyInvLuma", C::sCopyInvLuma, [](P f) { return Pixel{1, 1, 1, 1 - Luma(f)}; });
    add("CopyLumaSaveColor", C::sCopyLumaSaveColor, [](P f) {
        return Pixel{f[0], f[1], f[2], Luma(f)};
    });
    add("CopyAlphaPremult", C::sCopyAlphaPremult, [=](P f) { return Scale(white, f[3]); });
    add("CopyLumaPremult", C::sCopyLumaPremult, [=](P f) { return Scale(white, Luma(f)); });
    add("CopyInvLumaPremult", C::sCopyInvLumaPremult,
        [=](P f) { return Scale(white, 1 - Luma(f)); });
    add("CopyLumaSaveColorPremult", C::sCopyLumaSaveColorPremult, [](P f) {
        return Premultiplied({f[0], f[1], f[2], Luma(f)});
    });
    add("AdditiveColor", C::sAdditiveColor, [](P f) {
        const float i = std::max(std::max(f[0], f[1]), std::max(f[2], f[3]));
        return i > 0 ? Pixel{f[0] / i, f[1] / i, f[2] / i, i} : f;
    });
    return c;
}

// The main's output for texel t around a processing step p.
using Main = std::function<Pixel(P t, const Process& p, float scale)>;

struct MainCase {
    const char* name;
    GLSL::Shader* shader;
    Main reference;
};

Pixel Swizzle(P p, int a, int b, int c, int d) {
    return {p[a], p[b], p[c], p[d]};
}

std::vector<MainCase> MainCases() {
    // Loading scales before processing and clamps to [0, 1]; reading scales after processing
    // and clamps to [0, scale].
    using C = Conversion;
    std::vector<MainCase> c;
    auto add = [&](const char* name, GLSL::Shader& shader, Main m) {
        c.push_back({name, &shader, m});
    };
    add("FromARGB", C::sFromARGB, [](P t, const Process& p, float s) {
        return Clamp(p(Clamp(Scale(Swizzle(t, 1, 2, 3, 0), s), 0, 1)), 0, 1); // t.gbar
    });
    add("FromBGRA", C::sFromBGRA, [](P t, const Process& p, float s) {
        return Clamp(p(Clamp(Scale(Swizzle(t, 2, 1, 0, 3), s), 0, 1)), 0, 1); // t.bgra
    });
    add("ToARGB", C::sToARGB, [](P t, const Process& p, float s) {
        return Swizzle(Clamp(Scale(p(Clamp(t, 0, 1)), s), 0, s), 3, 0, 1, 2); // f.argb
    });
    add("ToBGRA", C::sToBGRA, [](P t, const Process& p, float s) {
        return Swizzle(Clamp(Scale(p(Clamp(t, 0, 1)), s), 0, s), 2, 1, 0, 3); // f.bgra
    });
    add("NoSwizzle", C::sNoSwizzle,
        [](P t, const Process& p, float s) { return Clamp(Scale(p(Clamp(t, 0, 1)), s), 0, 1); });
    return c;
}

// The test pixels in a float texture on unit 0, and a float target of their size.
struct Scene {
    FloatTarget target{kWidth, kHeight};
    FloatTexture texture{kWidth, kHeight, kPixels};
    Scene() {
        EXPECT_TRUE(target.IsComplete());
        target.PixelProjection();
    }
    // Runs the conversion over what unit 0 holds and reads back.
    std::vector<Pixel> Convert(const Conversion& conversion) const {
        glClear(GL_COLOR_BUFFER_BIT);
        conversion.Apply();
        EffectProgram::DrawRegion(Region(0, 0, kWidth, kHeight), GL_TEXTURE0);
        TESK_GL(glUseProgram)(0);
        return target.Read();
    }
};

void ExpectPixels(const std::vector<Pixel>& actual, const std::vector<Pixel>& expected) {
    EXPECT_TRUE(
        PixelsNear(actual[0].data(), expected[0].data(), 4 * expected.size(), kWidth, 2e-4f));
}

bool Attached(GLuint program, GLSL::Shader& shader) {
    GLuint names[16] = {};
    GLsizei count = 0;
    TESK_GL(glGetAttachedShaders)(program, 16, &count, names);
    return std::find(names, names + count, static_cast<GLuint>(static_cast<int>(shader))) !=
           names + count;
}

// The plainest texture: a float rectangle of the given size, filled by the test.
class PlainTexture : public Texture {
public:
    PlainTexture(int width, int height) {
        SetType(GL_TEXTURE_RECTANGLE_ARB, width, height, GL_RGBA, GL_FLOAT, true);
    }
};

} // namespace

// Every main with every processing step at scales below and above one, null standing for the
// defaults (no swizzle, no processing); premultiplying tells scaling before processing from
// scaling after it.
TEST(Conversion, EveryMainAndProcessingStepGivesItsTabledResult) {
    RunOnWorker([] {
        const Scene scene;
        std::vector<ProcessingCase> processing = ProcessingCases();
        processing.push_back({"null processing", nullptr, processing[0].reference});
        std::vector<MainCase> mains = MainCases();
        mains.push_back({"null conversion", nullptr, mains.back().reference});
        Conversion conversion;
        for (const MainCase& main : mains)
            for (const ProcessingCase& step : processing)
                for (float scale : {0.5f, 2.0f}) {
                    SCOPED_TRACE(std::string(main.name) + " with " + step.name + " at scale " +
                                 std::to_string(scale));
                    conversion.SetConversion(main.shader);
                    conversion.SetProcessing(step.shader);
                    conversion.SetScale(scale);
                    std::vector<Pixel> expected;
                    for (const Pixel& t : kPixels)
                        expected.push_back(main.reference(t, step.reference, scale));
                    ExpectPixels(scene.Convert(conversion), expected);
                }
    });
}

// A program is built for each pair of shaders: the same pair again keeps it, another pair
// builds another, a copy builds its own and leaves the original's alone, and after Finalize
// the pair is built anew.
TEST(Conversion, BuildsOneProgramForEachPairOfShaders) {
    RunOnWorker([] {
        const Scene scene;
        // A shader of the test's own, so that nothing else has compiled it yet.
        GLSL::Shader halve(GL_FRAGMENT_SHADER, "#version 110\n"
                                               "vec4 process( vec4 f ) { return f * 0.5; }\n");
        Conversion conversion;
        conversion.SetProcessing(&halve);
        EXPECT_FALSE(halve.IsCompiled()); // nothing is compiled before the first Apply
        EXPECT_NEAR(scene.Convert(conversion)[0][0], 0.25f, 1e-6f);
        conversion.Apply();
        const GLuint first = CurrentProgram();
        EXPECT_TRUE(Attached(first, halve));
        conversion.SetProcessing(&halve);
        conversion.Apply();
        EXPECT_EQ(CurrentProgram(), first);
        {
            Conversion copy(conversion), assigned;
            assigned = conversion;
            for (Conversion* c : {&copy, &assigned}) {
                EXPECT_EQ(c->GetProcessing(), &halve);
                c->Apply();
                EXPECT_NE(CurrentProgram(), first);
            }
        }
        EXPECT_TRUE(TESK_GL(glIsProgram)(first));
        conversion.SetProcessing(&Conversion::sInvertColor);
        conversion.Apply();
        EXPECT_TRUE(Attached(CurrentProgram(), Conversion::sInvertColor));
        EXPECT_TRUE(Attached(CurrentProgram(), Conversion::sNoSwizzle));
        EXPECT_FALSE(Attached(CurrentProgram(), halve));
        conversion.Finalize();
        const auto inverted = scene.Convert(conversion);
        EXPECT_NEAR(inverted[0][0], 0.5f, 1e-6f);
        EXPECT_NEAR(inverted[0][1], 0.75f, 1e-6f);
    });
}

TEST(Conversion, SamplesTheTextureGivenForOneApplyOnly) {
    RunOnWorker([] {
        const Scene scene;
        PlainTexture texture(kWidth, kHeight);
        TextureUnit::Activate(GL_TEXTURE0);
        texture.BindTexture();
        glTexSubImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, 0, 0, kWidth, kHeight, GL_RGBA, GL_FLOAT,
                        kPixels.data());
        // Something else is bound on unit 0 when the conversion starts.
        const std::vector<Pixel> grey(kPixels.size(), Pixel{0.25f, 0.25f, 0.25f, 0.25f});
        FloatTexture other(kWidth, kHeight, grey);

        Conversion conversion;
        conversion.SetTexture(&texture);
        std::vector<Pixel> expected;
        for (const Pixel& t : kPixels) expected.push_back(Clamp(t, 0, 1));
        ExpectPixels(scene.Convert(conversion), expected);

        // The texture was for that Apply only: the next one samples what is bound.
        other.Bind();
        ExpectPixels(scene.Convert(conversion), grey);
        texture.Finalize();
    });
}
