#include "FloatTarget.h"
#include "GLTest.h"

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
using tesk_test::FloatTarget;
using tesk_test::FloatTexture;
using tesk_test::Pixel;
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

// ---- CPU reference, from the catalogue's table ----

float Luma(const Pixel& f) {
    return 0.30f * f[0] + 0.59f * f[1] + 0.11f * f[2];
}

Pixel Clamp(const Pixel& p, float low, float high) {
    Pixel out;
    for (int i = 0; i < 4; ++i) out[i] = std::min(std::max(p[i], low), high);
    return out;
}

Pixel Scale(const Pixel& p, float s) {
    return {p[0] * s, p[1] * s, p[2] * s, p[3] * s};
}

using Process = std::function<Pixel(const Pixel&)>;

struct ProcessingCase {
    const char* name;
    GLSL::Shader* shader;
    Process reference;
};

std::vector<ProcessingCase> ProcessingCases() {
    return {
        {"NoProcess", &Conversion::sNoProcess, [](const Pixel& f) { return f; }},
        {"Premultiply", &Conversion::sPremultiply,
         [](const Pixel& f) {
             return Pixel{f[0] * f[3], f[1] * f[3], f[2] * f[3], f[3]};
         }},
        {"Unpremultiply", &Conversion::sUnpremultiply,
         [](const Pixel& f) {
             if (!(f[3] > 0.001f)) return f;
             return Pixel{f[0] / f[3], f[1] / f[3], f[2] / f[3], f[3]};
         }},
        {"InvertColor", &Conversion::sInvertColor,
         [](const Pixel& f) {
             return Pixel{1 - f[0], 1 - f[1], 1 - f[2], f[3]};
         }},
        {"CopyAlpha", &Conversion::sCopyAlpha,
         [](const Pixel& f) {
             return Pixel{1, 1, 1, f[3]};
         }},
        {"CopyInvAlpha", &Conversion::sCopyInvAlpha,
         [](const Pixel& f) {
             return Pixel{1, 1, 1, 1 - f[3]};
         }},
        {"CopyLuma", &Conversion::sCopyLuma,
         [](const Pixel& f) {
             return Pixel{1, 1, 1, Luma(f)};
         }},
        {"CopyInvLuma", &Conversion::sCopyInvLuma,
         [](const Pixel& f) {
             return Pixel{1, 1, 1, 1 - Luma(f)};
         }},
        {"CopyLumaSaveColor", &Conversion::sCopyLumaSaveColor,
         [](const Pixel& f) {
             return Pixel{f[0], f[1], f[2], Luma(f)};
         }},
        {"CopyAlphaPremult", &Conversion::sCopyAlphaPremult,
         [](const Pixel& f) {
             return Pixel{f[3], f[3], f[3], f[3]};
         }},
        {"CopyLumaPremult", &Conversion::sCopyLumaPremult,
         [](const Pixel& f) {
             const float l = Luma(f);
             return Pixel{l, l, l, l};
         }},
        {"CopyInvLumaPremult", &Conversion::sCopyInvLumaPremult,
         [](const Pixel& f) {
             const float l = 1 - Luma(f);
             return Pixel{l, l, l, l};
         }},
        {"CopyLumaSaveColorPremult", &Conversion::sCopyLumaSaveColorPremult,
         [](const Pixel& f) {
             const float l = Luma(f);
             return Pixel{f[0] * l, f[1] * l, f[2] * l, l};
         }},
        {"AdditiveColor", &Conversion::sAdditiveColor,
         [](const Pixel& f) {
             const float i = std::max(std::max(f[0], f[1]), std::max(f[2], f[3]));
             if (!(i > 0)) return f;
             return Pixel{f[0] / i, f[1] / i, f[2] / i, i};
         }},
    };
}

// The main's output for texel t around a processing step p.
using Main = std::function<Pixel(const Pixel& t, const Process& p, float scale)>;

Pixel Swizzle(const Pixel& p, int a, int b, int c, int d) {
    return {p[a], p[b], p[c], p[d]};
}

struct MainCase {
    const char* name;
    GLSL::Shader* shader;
    Main reference;
};

std::vector<MainCase> MainCases() {
    // Loading scales before processing and clamps to [0, 1]; reading scales after processing
    // and clamps to [0, scale].
    return {
        {"FromARGB", &Conversion::sFromARGB,
         [](const Pixel& t, const Process& p, float s) {
             const Pixel f = Clamp(Scale(Swizzle(t, 1, 2, 3, 0), s), 0, 1); // t.gbar
             return Clamp(p(f), 0, 1);
         }},
        {"FromBGRA", &Conversion::sFromBGRA,
         [](const Pixel& t, const Process& p, float s) {
             const Pixel f = Clamp(Scale(Swizzle(t, 2, 1, 0, 3), s), 0, 1); // t.bgra
             return Clamp(p(f), 0, 1);
         }},
        {"ToARGB", &Conversion::sToARGB,
         [](const Pixel& t, const Process& p, float s) {
             const Pixel f = Clamp(Scale(p(Clamp(t, 0, 1)), s), 0, s);
             return Swizzle(f, 3, 0, 1, 2); // f.argb
         }},
        {"ToBGRA", &Conversion::sToBGRA,
         [](const Pixel& t, const Process& p, float s) {
             const Pixel f = Clamp(Scale(p(Clamp(t, 0, 1)), s), 0, s);
             return Swizzle(f, 2, 1, 0, 3); // f.bgra
         }},
        {"NoSwizzle", &Conversion::sNoSwizzle,
         [](const Pixel& t, const Process& p, float s) {
             return Clamp(Scale(p(Clamp(t, 0, 1)), s), 0, 1);
         }},
    };
}

// Runs the conversion over the test texture (bound on unit 0 by the caller) and reads back.
std::vector<Pixel> Convert(const Conversion& conversion, const FloatTarget& target) {
    glClear(GL_COLOR_BUFFER_BIT);
    conversion.Apply();
    EffectProgram::DrawRegion(Region(0, 0, kWidth, kHeight), GL_TEXTURE0);
    TESK_GL(glUseProgram)(0);
    return target.Read();
}

void ExpectPixels(const std::vector<Pixel>& actual, const std::vector<Pixel>& expected) {
    for (size_t i = 0; i < expected.size(); ++i)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(actual[i][c], expected[i][c], 2e-4f)
                << "pixel " << i << " channel " << c << " from (" << kPixels[i][0] << ", "
                << kPixels[i][1] << ", " << kPixels[i][2] << ", " << kPixels[i][3] << ")";
}

std::vector<GLuint> AttachedShaders(GLuint program) {
    GLuint names[16] = {};
    GLsizei count = 0;
    TESK_GL(glGetAttachedShaders)(program, 16, &count, names);
    return std::vector<GLuint>(names, names + count);
}

bool Contains(const std::vector<GLuint>& names, GLuint name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

GLuint CurrentProgram() {
    GLint name = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &name);
    return static_cast<GLuint>(name);
}

// The plainest texture: a float rectangle of the given size, filled by the test.
class PlainTexture : public Texture {
public:
    PlainTexture(int width, int height) {
        SetType(GL_TEXTURE_RECTANGLE_ARB, width, height, GL_RGBA, GL_FLOAT, true);
    }
};

} // namespace

TEST(Conversion, EveryProcessingFragmentGivesItsTabledResult) {
    RunOnWorker([] {
        FloatTarget target(kWidth, kHeight);
        ASSERT_TRUE(target.IsComplete());
        target.PixelProjection();
        FloatTexture texture(kWidth, kHeight, kPixels);
        Conversion conversion;
        for (const ProcessingCase& row : ProcessingCases()) {
            SCOPED_TRACE(row.name);
            conversion.SetProcessing(row.shader);
            // Without a swizzle the main clamps the texel, processes it and clamps the result.
            std::vector<Pixel> expected;
            for (const Pixel& t : kPixels)
                expected.push_back(Clamp(row.reference(Clamp(t, 0, 1)), 0, 1));
            ExpectPixels(Convert(conversion, target), expected);
        }
    });
}

TEST(Conversion, SwizzleMainsScaleAndClampOnTheirSideOfProcessing) {
    RunOnWorker([] {
        FloatTarget target(kWidth, kHeight);
        ASSERT_TRUE(target.IsComplete());
        target.PixelProjection();
        FloatTexture texture(kWidth, kHeight, kPixels);
        const std::vector<ProcessingCase> processing = ProcessingCases();
        // Premultiplying tells scaling before processing from scaling after it.
        const ProcessingCase& premultiply = processing[1];
        const ProcessingCase& none = processing[0];
        Conversion conversion;
        for (const MainCase& row : MainCases())
            for (const ProcessingCase* step : {&premultiply, &none})
                for (float scale : {0.5f, 2.0f}) {
                    SCOPED_TRACE(std::string(row.name) + " with " + step->name + " at scale " +
                                 std::to_string(scale));
                    conversion.SetConversion(row.shader);
                    conversion.SetProcessing(step == &none ? nullptr : step->shader);
                    conversion.SetScale(scale);
                    std::vector<Pixel> expected;
                    for (const Pixel& t : kPixels)
                        expected.push_back(row.reference(t, step->reference, scale));
                    ExpectPixels(Convert(conversion, target), expected);
                }
    });
}

TEST(Conversion, RelinksOnlyWhenThePairOfShadersChanges) {
    RunOnWorker([] {
        FloatTarget target(kWidth, kHeight);
        target.PixelProjection();
        FloatTexture texture(kWidth, kHeight, kPixels);
        // A shader of the test's own, so that nothing else has compiled it yet.
        GLSL::Shader halve(GL_FRAGMENT_SHADER, "#version 110\n"
                                               "vec4 process( vec4 f ) { return f * 0.5; }\n");
        EXPECT_FALSE(halve.IsCompiled());
        Conversion conversion;
        conversion.SetProcessing(&halve);
        EXPECT_FALSE(halve.IsCompiled()); // nothing is compiled before the first Apply
        const auto pixels = Convert(conversion, target);
        EXPECT_NEAR(pixels[0][0], 0.25f, 1e-6f);
        ASSERT_TRUE(halve.IsCompiled());
        const GLuint shaderName = static_cast<GLuint>(static_cast<int>(halve));

        conversion.Apply();
        const GLuint first = CurrentProgram();
        ASSERT_NE(first, 0u);
        EXPECT_TRUE(Contains(AttachedShaders(first), shaderName));

        // The same pointer again: same program, same shader object.
        conversion.SetProcessing(&halve);
        conversion.Apply();
        EXPECT_EQ(CurrentProgram(), first);
        EXPECT_TRUE(TESK_GL(glIsProgram)(first));
        EXPECT_EQ(static_cast<GLuint>(static_cast<int>(halve)), shaderName);

        // Another processing step: a program built from the new pair.
        conversion.SetProcessing(&Conversion::sInvertColor);
        conversion.Apply();
        const GLuint second = CurrentProgram();
        const auto attached = AttachedShaders(second);
        EXPECT_FALSE(Contains(attached, shaderName));
        EXPECT_TRUE(
            Contains(attached, static_cast<GLuint>(static_cast<int>(Conversion::sInvertColor))));
        EXPECT_TRUE(
            Contains(attached, static_cast<GLuint>(static_cast<int>(Conversion::sNoSwizzle))));

        // After every OpenGL object is released the conversion builds the same pair again.
        conversion.Finalize();
        const auto inverted = Convert(conversion, target);
        EXPECT_NEAR(inverted[0][0], 0.5f, 1e-6f);
        EXPECT_NEAR(inverted[0][1], 0.75f, 1e-6f);
        TESK_GL(glUseProgram)(0);
    });
}

TEST(Conversion, CopiesBuildProgramsOfTheirOwn) {
    RunOnWorker([] {
        FloatTarget target(kWidth, kHeight);
        target.PixelProjection();
        FloatTexture texture(kWidth, kHeight, kPixels);
        Conversion original;
        original.SetProcessing(&Conversion::sCopyAlphaPremult);
        original.Apply();
        const GLuint originalName = CurrentProgram();
        {
            Conversion copy(original);
            copy.Apply();
            EXPECT_NE(CurrentProgram(), originalName);
            // The copy keeps the pair: it draws the same result.
            EXPECT_NEAR(Convert(copy, target)[1][0], 0.5f, 1e-6f);
            Conversion assigned;
            assigned = original;
            EXPECT_EQ(assigned.GetProcessing(), &Conversion::sCopyAlphaPremult);
            assigned.Apply();
            EXPECT_NE(CurrentProgram(), originalName);
        }
        // Destroying the copies left the original's program alone.
        EXPECT_TRUE(TESK_GL(glIsProgram)(originalName));
        EXPECT_NEAR(Convert(original, target)[1][2], 0.5f, 1e-6f);
    });
}

TEST(Conversion, SamplesTheTextureGivenForOneApplyOnly) {
    RunOnWorker([] {
        FloatTarget target(kWidth, kHeight);
        ASSERT_TRUE(target.IsComplete());
        target.PixelProjection();
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
        ExpectPixels(Convert(conversion, target), expected);

        // The texture was for that Apply only: the next one samples what is bound.
        other.Bind();
        ExpectPixels(Convert(conversion, target), grey);
        texture.Finalize();
    });
}
