#include "FloatTarget.h"
#include "GLTest.h"
#include "OpsReference.h"

#include "gl/effects/Conversion.h"
#include "gl/effects/EffectProgram.h"
#include "gl/state/TextureState.h"
#include "gl/texture/Texture.h"
#include "math/Color.h"
#include "math/Region.h"
#include "math/Vector.h"

#include <algorithm>

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

// The text of the Error that f throws.
std::string Thrown(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

struct Setting {
    const char* name;
    std::function<void(const EffectProgram&)> set;
    std::vector<float> expected;
};
template <class T> Setting Set(const char* name, const T& value, std::vector<float> expected) {
    return {name, [name, value](const EffectProgram& p) { p.SetUniform(name, value); }, expected};
}

GLSL::Shader Fragment(const std::string& body) {
    return GLSL::Shader(
        GL_FRAGMENT_SHADER,
        ("#version 110\n#extension GL_ARB_texture_rectangle : enable\n" + body).c_str());
}

// A uniform of the current program as glGetUniformfv reads it (integers and booleans too).
std::vector<float> Uniform(const char* name, size_t count) {
    std::vector<float> values(16, -999.0f);
    const GLuint program = CurrentProgram();
    TESK_GL(glGetUniformfv)(program, TESK_GL(glGetUniformLocation)(program, name), values.data());
    values.resize(count);
    return values;
}

// Draws region over units 0 to last with the program that is current, then leaves no program.
std::vector<Pixel> Draw(const FloatTarget& target, int width, int height,
                        GLenum last = GL_TEXTURE1) {
    EffectProgram::DrawRegion(Region(0, 0, width, height), last);
    TESK_GL(glUseProgram)(0);
    return target.Read();
}

Pixel Scale(const Pixel& p, float s) {
    return {p[0] * s, p[1] * s, p[2] * s, p[3] * s};
}
Pixel Clamp(const Pixel& p, float high = 1) {
    Pixel out;
    for (int i = 0; i < 4; ++i) out[i] = std::clamp(p[i], 0.0f, high);
    return out;
}

} // namespace

TEST(GLSL, CompileAndLinkFailuresCarryTheDriversLog) {
    RunOnWorker([] {
        GLSL::Shader broken = Fragment("void main() { this is not glsl }\n");
        const std::string text = Thrown([&] { broken.Initialize(); });
        EXPECT_EQ(text.rfind("GLSL Compile Error:\n", 0), 0u) << text;
        EXPECT_GT(text.size(), 20u) << "the driver's log is missing";
        EXPECT_EQ(broken.Log(), text);
        // The failed shader keeps its name and is not compiled again.
        EXPECT_TRUE(broken.IsCompiled());
        EXPECT_NO_THROW(broken.Initialize());
        GLSL::Shader unresolved = Fragment("vec4 f();\nvoid main() { gl_FragColor = f(); }\n");
        EffectProgram program(&unresolved);
        EXPECT_EQ(Thrown([&] { program.Apply(); }).rfind("GLSL Link Error:\n", 0), 0u);
        TESK_GL(glUseProgram)(0);
    });
}

TEST(GLSL, ShadersAndProgramsOwnTheirNamesOnce) {
    RunOnWorker([] {
        GLSL::Shader shader = Fragment("void main() { gl_FragColor = vec4(1.0); }\n");
        EXPECT_FALSE(shader.IsCompiled());
        const int name = shader;
        EXPECT_EQ(static_cast<int>(shader), name);               // compiled once
        EXPECT_NE(static_cast<int>(GLSL::Shader(shader)), name); // a copy compiles its own...
        EXPECT_TRUE(TESK_GL(glIsShader)(GLuint(name)));          // ...and deletes only that

        GLSL::Program program;
        EXPECT_EQ(static_cast<int>(program), 0); // no object until needed
        program.Attach(shader);
        const GLuint programName = GLuint(static_cast<int>(program));
        EXPECT_TRUE(program.NeedsLink() && !program.IsCurrent());
        program.Apply();
        EXPECT_TRUE(!program.NeedsLink() && program.IsCurrent());
        EXPECT_EQ(static_cast<int>(GLSL::Program(program)), 0); // copies own nothing
        EXPECT_TRUE(TESK_GL(glIsProgram)(programName));
        program.Detach(shader);
        EXPECT_TRUE(program.NeedsLink());
        TESK_GL(glUseProgram)(0);
        program.Finalize();
        EXPECT_FALSE(TESK_GL(glIsProgram)(programName));
        EXPECT_EQ(Thrown([&] { GLSL::Uniform("f1", GL_FLOAT).Attach(program); }),
                  "No Program for Uniform Variable");

        // Retrieve adopts the current program: the adopter owns it from then on.
        const GLuint raw = TESK_GL(glCreateProgram)();
        TESK_GL(glAttachShader)(raw, GLuint(name));
        TESK_GL(glLinkProgram)(raw);
        TESK_GL(glUseProgram)(raw);
        GLSL::Program adopted;
        adopted.Retrieve();
        EXPECT_TRUE(adopted.IsCurrent());
        TESK_GL(glUseProgram)(0);
        adopted.Finalize();
        EXPECT_FALSE(TESK_GL(glIsProgram)(raw));
    });
}

TEST(EffectProgram, SettersConvertToTheUniformsType) {
    RunOnWorker([] {
        // Every uniform type the setters know, all feeding the output so that all stay active.
        GLSL::Shader shader = Fragment(R"(
uniform float f1, f3; uniform int i1, i2; uniform bool b1; uniform ivec2 n2; uniform ivec3 n3;
uniform vec2 v2a, v2b, v2c; uniform vec3 v3a, v3b, v3c; uniform vec4 v4a, v4b, v4c;
uniform ivec4 n4; uniform mat2 m2; uniform mat3 m3; uniform mat4 m4;
uniform sampler2DRect rect; uniform sampler2D flat;
void main() {
    vec4 sum = vec4(f1 + f3 + float(i1 + i2) + (b1 ? 1.0 : 0.0), v2a + v2b + v2c, 0.0);
    sum += vec4(v3a + v3b + v3c + m3 * vec3(1.0), 0.0) + v4a + v4b + v4c + m4 * vec4(1.0);
    sum += vec4(vec2(n2) + m2 * vec2(1.0), vec2(n3.xy + n4.zw)) + vec4(float(n3.z + n4.x + n4.y));
    gl_FragColor = sum + texture2DRect(rect, gl_TexCoord[0].st) + texture2D(flat, gl_TexCoord[0].st);
})");
        EffectProgram program(&shader);
        program.Apply();
        ASSERT_TRUE(program.HasUniform("m4"));
        EXPECT_FALSE(program.HasUniform("random")); // the common functions' uniform is unused

        const p4f homogeneous(1.0f, 3.0f, 5.0f, 2.0f);
        const mat<float, 4, 4> m4{{16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}};
        const Setting settings[] = {
            Set("f1", 3, {3}),
            Set("i1", 1.5f, {1}),
            Set("i2", -2.7f, {-2}), // toward zero
            Set("b1", 1, {1}),
            Set("v4a", p2f(0.25f, 0.5f), {0.25f, 0.5f, 0, 1}),
            Set("v3a", p2f(0.25f, 0.5f), {0.25f, 0.5f, 0}),
            Set("v2a", p3f(1, 2, 3), {1, 2}),
            Set("v4b", p3f(1, 2, 3), {1, 2, 3, 1}),
            Set("v2b", homogeneous, {0.5f, 1.5f}), // projected
            Set("v3b", homogeneous, {1, 3, 5}),    // not divided
            Set("v4c", homogeneous, {1, 3, 5, 2}),
            Set("v3c", Color(0.1f, 0.2f, 0.3f, 0.4f), {0.1f, 0.2f, 0.3f}),
            Set("n2", vec<int, 2>{{4, 5}}, {4, 5}),
            Set("n3", vec<int, 3>{{4, 5, 6}}, {4, 5, 6}),
            Set("n4", vec<int, 4>{{4, 5, 6, 7}}, {4, 5, 6, 7}),
            Set("m2", mat<float, 2, 2>{{1, 2, 3, 4}}, {1, 2, 3, 4}),
            Set("m3", mat<float, 3, 3>{{1, 2, 3, 4, 5, 6, 7, 8, 9}}, {1, 2, 3, 4, 5, 6, 7, 8, 9}),
            Set("m4", m4, std::vector<float>(m4.m, m4.m + 16)), // column by column, as given
            // Samplers take the unit's index; the unit is selected in passing.
            Set("rect", TextureUnit(3), {3}),
            Set("flat", TextureUnit(GL_TEXTURE2), {2}),
        };
        for (const Setting& setting : settings) {
            setting.set(program);
            EXPECT_EQ(Uniform(setting.name, setting.expected.size()), setting.expected)
                << setting.name;
        }
        EXPECT_EQ(Integer(GL_ACTIVE_TEXTURE), GL_TEXTURE2);

        // Values that do not fit the uniform's type change nothing.
        TESK_GL(glUniform1f)(TESK_GL(glGetUniformLocation)(CurrentProgram(), "f3"), 7.0f);
        program.SetUniform("f3", vec<int, 2>{{1, 1}});
        program.SetUniform("f3", mat<float, 2, 2>{{1, 2, 3, 4}});
        program.SetUniform("f3", TextureUnit(1)); // still selects unit 1
        EXPECT_EQ(Uniform("f3", 1), std::vector<float>{7.0f});
        EXPECT_EQ(Integer(GL_ACTIVE_TEXTURE), GL_TEXTURE1);
        program.SetUniform("v2c", Color(0.5f, 0.5f, 0.5f, 0.5f));
        EXPECT_EQ(Uniform("v2c", 2), std::vector<float>({0.0f, 0.0f}));
        TextureUnit::Activate(GL_TEXTURE0);

        // A name that is not active is remembered until the next Apply rebuilds the table.
        program.SetUniform("nothing", 1.0f);
        EXPECT_TRUE(program.HasUniform("nothing"));
        program.Apply();
        EXPECT_FALSE(program.HasUniform("nothing"));
        TESK_GL(glUseProgram)(0);
    });
}

TEST(EffectProgram, DrawRegionFeedsTheUnitsUpToTheLastOne) {
    RunOnWorker([] {
        FloatTarget target(4, 4);
        target.PixelProjection();
        for (GLenum unit : {GL_TEXTURE2, GL_TEXTURE1, GL_TEXTURE0}) {
            TESK_GL(glActiveTexture)(unit);
            glMatrixMode(GL_TEXTURE);
            glLoadIdentity();
        }
        glMatrixMode(GL_MODELVIEW);
        GLSL::Shader show =
            Fragment("void main() { gl_FragColor = vec4(gl_TexCoord[2].st, gl_TexCoord[1].s, "
                     "gl_TexCoord[0].t); }\n");
        EffectProgram program(&show);
        program.AddShader(&EffectProgram::sMultiTexture);
        program.AddShader(nullptr); // ignored
        const float kept[3][2] = {{0.125f, 0.375f}, {0.5f, 0.5f}, {0.25f, 0.75f}};
        for (GLenum last : {GL_TEXTURE2, GL_TEXTURE1, GL_TEXTURE0 - 1}) {
            // The units left out keep their current coordinates.
            for (int u = 0; u < 3; ++u)
                TESK_GL(glMultiTexCoord2f)(GL_TEXTURE0 + u, kept[u][0], kept[u][1]);
            program.Apply();
            std::vector<Pixel> expected;
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x) {
                    const auto st = [&](GLenum u, int c) {
                        return GL_TEXTURE0 + u <= last ? ((c ? y : x) + 0.5f) / 4 : kept[u][c];
                    };
                    expected.push_back({st(2, 0), st(2, 1), st(1, 0), st(0, 1)});
                }
            EXPECT_TRUE(PixelsNear(Draw(target, 4, 4, last), expected, 4, 1e-5)) << last;
        }
        EXPECT_EQ(Floats(GL_CURRENT_NORMAL)[2], 1.0f);
    });
}

TEST(EffectProgram, FinalizeKeepsOnlyTheConstructorsShader) {
    RunOnWorker([] {
        GLSL::Shader white = Fragment("void main() { gl_FragColor = vec4(1.0); }\n");
        EffectProgram built(&white), added;
        added.AddShader(&white);
        for (EffectProgram* program : {&built, &added}) {
            program->Apply();
            const GLuint first = CurrentProgram();
            TESK_GL(glUseProgram)(0);
            program->Finalize();
            EXPECT_FALSE(TESK_GL(glIsProgram)(first));
        }
        // Owners add their shaders again after a Finalize; doing so with the constructor's is
        // harmless. A shader added later is forgotten, leaving no main.
        built.AddShader(&white);
        EXPECT_NO_THROW(built.Apply());
        EXPECT_NE(CurrentProgram(), 0u);
        EXPECT_THROW(added.Apply(), Error);
        TESK_GL(glUseProgram)(0);
    });
}

namespace {

// Pixels around the edges of the catalogue: alphas at, just above and below the unpremultiply
// threshold, a pixel whose brightest channel is red with no alpha, black transparent, values
// outside [0, 1] that the mains must clamp on input.
const std::vector<Pixel> kPixels = {
    {0.5f, 0.25f, 0.125f, 1.0f}, {0.2f, 0.4f, 0.6f, 0.5f},    {0.0005f, 0.001f, 0.0002f, 0.0011f},
    {0.3f, 0.6f, 0.9f, 0.001f},  {0.3f, 0.2f, 0.1f, 0.0005f}, {0.5f, 0.25f, 0.0f, 0.0f},
    {0.0f, 0.0f, 0.0f, 0.0f},    {1.0f, 1.0f, 1.0f, 1.0f},    {0.1f, 0.9f, 0.4f, 0.7f},
    {0.0f, 0.0f, 0.0f, 1.0f},    {1.5f, -0.5f, 0.5f, 2.0f},   {0.25f, 0.5f, 0.75f, 0.2f},
};

using Step = Pixel (*)(Pixel);

// Colour channels times s, alpha a.
Pixel Rgb(const Pixel& f, float s, float a) {
    return {f[0] * s, f[1] * s, f[2] * s, a};
}
Pixel All(float v) {
    return {v, v, v, v};
}

// A conversion pass over the test pixels, with unit 0 holding them, drawn into a float target.
struct Scene {
    FloatTarget target{4, 3};
    FloatTexture texture{4, 3, kPixels};
    Scene() { target.PixelProjection(); }
    std::vector<Pixel> Convert(const Conversion& conversion) const {
        conversion.Apply();
        return Draw(target, 4, 3, GL_TEXTURE0);
    }
};

bool Attached(GLuint program, const GLSL::Shader& shader) {
    GLuint names[16] = {};
    GLsizei count = 0;
    TESK_GL(glGetAttachedShaders)(program, 16, &count, names);
    return std::count(names, names + count, GLuint(static_cast<int>(shader))) == 1;
}

} // namespace

// Every main with every processing step at scales below and above one, null standing for the
// defaults (no swizzle, no processing); premultiplying tells scaling before processing from
// scaling after it.
TEST(Conversion, EveryMainAndProcessingStepGivesItsTabledResult) {
    RunOnWorker([] {
        using C = Conversion;
        const std::pair<GLSL::Shader*, Step> steps[] = {
            {nullptr, [](Pixel f) { return f; }},
            {&C::sNoProcess, [](Pixel f) { return f; }},
            {&C::sPremultiply, [](Pixel f) { return Premultiplied(f); }},
            {&C::sUnpremultiply,
             [](Pixel f) { return f[3] > 0.001f ? Rgb(f, 1 / f[3], f[3]) : f; }},
            {&C::sInvertColor,
             [](Pixel f) {
                 return Pixel{1 - f[0], 1 - f[1], 1 - f[2], f[3]};
             }},
            {&C::sCopyAlpha, [](Pixel f) { return Rgb(All(1), 1, f[3]); }},
            {&C::sCopyInvAlpha, [](Pixel f) { return Rgb(All(1), 1, 1 - f[3]); }},
            {&C::sCopyLuma, [](Pixel f) { return Rgb(All(1), 1, Luma(f)); }},
            {&C::sCopyInvLuma, [](Pixel f) { return Rgb(All(1), 1, 1 - Luma(f)); }},
            {&C::sCopyLumaSaveColor, [](Pixel f) { return Rgb(f, 1, Luma(f)); }},
            {&C::sCopyAlphaPremult, [](Pixel f) { return All(f[3]); }},
            {&C::sCopyLumaPremult, [](Pixel f) { return All(Luma(f)); }},
            {&C::sCopyInvLumaPremult, [](Pixel f) { return All(1 - Luma(f)); }},
            {&C::sCopyLumaSaveColorPremult, [](Pixel f) { return Rgb(f, Luma(f), Luma(f)); }},
            {&C::sAdditiveColor,
             [](Pixel f) {
                 const float i = std::max({f[0], f[1], f[2], f[3]});
                 return i > 0 ? Rgb(f, 1 / i, i) : f;
             }},
        };
        // Loading swizzles, scales and clamps before processing and clamps after it; reading
        // clamps, processes, scales, clamps to [0, scale] (to [0, 1] without a swizzle) and
        // swizzles last.
        struct Main {
            GLSL::Shader* shader;
            std::array<int, 4> order;
            bool loads, toScale;
        };
        const Main mains[] = {{&C::sFromARGB, {1, 2, 3, 0}, true, false},
                              {&C::sFromBGRA, {2, 1, 0, 3}, true, false},
                              {&C::sToARGB, {3, 0, 1, 2}, false, true},
                              {&C::sToBGRA, {2, 1, 0, 3}, false, true},
                              {&C::sNoSwizzle, {0, 1, 2, 3}, false, false},
                              {nullptr, {0, 1, 2, 3}, false, false}};
        const Scene scene;
        Conversion conversion;
        for (const Main& main : mains)
            for (size_t s = 0; s < std::size(steps); ++s)
                for (float scale : {0.5f, 2.0f}) {
                    const Step step = steps[s].second;
                    conversion.SetConversion(main.shader);
                    conversion.SetProcessing(steps[s].first);
                    conversion.SetScale(scale);
                    const auto swizzle = [&](const Pixel& p) {
                        const auto& o = main.order;
                        return Pixel{p[o[0]], p[o[1]], p[o[2]], p[o[3]]};
                    };
                    std::vector<Pixel> expected;
                    for (const Pixel& t : kPixels)
                        expected.push_back(main.loads ? Clamp(step(Clamp(Scale(swizzle(t), scale))))
                                                      : swizzle(Clamp(Scale(step(Clamp(t)), scale),
                                                                      main.toScale ? scale : 1)));
                    EXPECT_TRUE(PixelsNear(scene.Convert(conversion), expected, 4, 2e-4))
                        << "main " << (&main - mains) << ", step " << s << ", scale " << scale;
                }
    });
}

// A program is built for each pair of shaders: the same pair again keeps it, a copy builds its
// own and leaves the original's alone, another pair builds another, and after Finalize the
// pair is built anew.
TEST(Conversion, BuildsOneProgramForEachPairOfShaders) {
    RunOnWorker([] {
        const Scene scene;
        // A shader of the test's own, so that nothing else has compiled it yet.
        GLSL::Shader halve = Fragment("vec4 process( vec4 f ) { return f * 0.5; }\n");
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
        EXPECT_FALSE(Attached(CurrentProgram(), halve));
        conversion.Finalize();
        EXPECT_NEAR(scene.Convert(conversion)[0][1], 0.75f, 1e-6f); // 1 - 0.25
    });
}

// The plainest texture: a float rectangle, filled by the test.
class PlainTexture : public Texture {
public:
    PlainTexture() { SetType(GL_TEXTURE_RECTANGLE_ARB, 4, 3, GL_RGBA, GL_FLOAT, true); }
};

TEST(Conversion, SamplesTheTextureGivenForOneApplyOnly) {
    RunOnWorker([] {
        const Scene scene;
        PlainTexture texture;
        TextureUnit::Activate(GL_TEXTURE0);
        texture.BindTexture();
        glTexSubImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, 0, 0, 4, 3, GL_RGBA, GL_FLOAT, kPixels.data());
        const std::vector<Pixel> grey(kPixels.size(), All(0.25f));
        FloatTexture other(4, 3, grey); // bound on unit 0 when the conversion starts
        Conversion conversion;
        conversion.SetTexture(&texture);
        std::vector<Pixel> expected;
        for (const Pixel& t : kPixels) expected.push_back(Clamp(t));
        EXPECT_TRUE(PixelsNear(scene.Convert(conversion), expected, 4, 2e-4));
        other.Bind(); // the next Apply samples what is bound
        EXPECT_TRUE(PixelsNear(scene.Convert(conversion), grey, 4, 2e-4));
        // The texture matrix scopes put the caller's matrix mode back.
        glMatrixMode(GL_PROJECTION);
        texture.SetTransform(2, 2, 0, 0);
        texture.FlipTransform();
        texture.ClearTransform();
        EXPECT_EQ(Integer(GL_MATRIX_MODE), GL_PROJECTION);
        glMatrixMode(GL_MODELVIEW);
        texture.Finalize();
    });
}
