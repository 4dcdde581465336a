#include "FloatTarget.h"
#include "GLTest.h"
#include "OpsReference.h"

#include "gl/context/Defaults.h"
#include "gl/effects/Conversion.h"
#include "gl/effects/Draw.h"
#include "gl/effects/EffectProgram.h"
#include "gl/geometry/ObjectArray.h"
#include "gl/geometry/Quadric.h"
#include "gl/geometry/SimplePlane.h"
#include "gl/state/Light.h"
#include "gl/texture/Texture.h"
#include "math/Matrix.h"
#include "math/Matrix44.h"
#include "math/Transform.h"
#include "math/UnitScale.h"

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

GLSL::Shader Fragment(const std::string& body) {
    const std::string head = "#version 110\n#extension GL_ARB_texture_rectangle : enable\n";
    return GLSL::Shader(GL_FRAGMENT_SHADER, (head + body).c_str());
}

// Draws over width x height from the origin with the current program, coordinates on units 0
// to last, then leaves no program and reads the target back.
std::vector<Pixel> Draw(const FloatTarget& target, int width, int height,
                        GLenum last = GL_TEXTURE1) {
    EffectProgram::DrawRegion(Region(0, 0, width, height), last);
    TESK_GL(glUseProgram)(0);
    return target.Read();
}

Pixel Clamp(const Pixel& p, float high = 1) {
    return {std::clamp(p[0], 0.0f, high), std::clamp(p[1], 0.0f, high),
            std::clamp(p[2], 0.0f, high), std::clamp(p[3], 0.0f, high)};
}
Pixel Times(const Pixel& p, float s) {
    return {p[0] * s, p[1] * s, p[2] * s, p[3] * s};
}
// Colour channels times s, plus plus; alpha a.
Pixel Rgb(const Pixel& f, float s, float a, float plus = 0) {
    return {f[0] * s + plus, f[1] * s + plus, f[2] * s + plus, a};
}
Pixel All(float v) {
    return {v, v, v, v};
}

TEST_ON_WORKER(GLSL, CompileAndLinkFailuresCarryTheDriversLog) {
    GLSL::Shader broken = Fragment("void main() { this is not glsl }\n");
    const std::string text = Thrown([&] { broken.Initialize(); });
    EXPECT_EQ(text.rfind("GLSL Compile Error:\n", 0), 0u) << text;
    EXPECT_GT(text.size(), 20u) << "the driver's log is missing";
    EXPECT_EQ(broken.Log(), text);
    EXPECT_NO_THROW(broken.Initialize()) << "the failure is reported once";
    GLSL::Shader copy(broken); // with the source but not the name: it compiles anew
    EXPECT_NE(Thrown([&] { copy.Initialize(); }), "(nothing thrown)");
    GLSL::Shader unresolved = Fragment("vec4 f();\nvoid main() { gl_FragColor = f(); }\n");
    EffectProgram program(&unresolved);
    EXPECT_EQ(Thrown([&] { program.Apply(); }).rfind("GLSL Link Error:\n", 0), 0u);
}

TEST_ON_WORKER(EffectProgram, SettersConvertToTheUniformsType) {
    // Every uniform type the setters know, all feeding the output so that all stay active.
    GLSL::Shader shader = Fragment(R"(uniform float f; uniform int i; uniform bool b;
uniform vec2 v2; uniform vec3 v3; uniform vec4 v4; uniform ivec2 n2; uniform ivec3 n3;
uniform ivec4 n4; uniform mat2 m2; uniform mat3 m3; uniform mat4 m4;
uniform sampler2DRect rect; uniform sampler2D flat;
void main() {
    vec4 sum = vec4(f + float(i) + (b ? 1.0 : 0.0), v2, 0.0) + vec4(v3 + m3 * vec3(1.0), 0.0) + v4;
    sum += m4 * vec4(1.0) + vec4(vec2(n2) + m2 * vec2(1.0), vec2(n3.xy + n4.zw)) + float(n3.z + n4.x);
    gl_FragColor = sum + texture2DRect(rect, gl_TexCoord[0].st) + texture2D(flat, gl_TexCoord[0].st);
})");
    EffectProgram program(&shader);
    program.Apply();
    const p4f homogeneous(1.0f, 3.0f, 5.0f, 2.0f);
    const mat<float, 4, 4> m4{{16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}};
    // Sets the uniform and reads it back as glGetUniformfv does (integers and booleans too).
    const auto set = [&](const char* name, auto value, std::vector<float> expected) {
        program.SetUniform(name, value);
        std::vector<float> read(16, -999.0f);
        const GLuint current = CurrentProgram();
        TESK_GL(glGetUniformfv)(current, TESK_GL(glGetUniformLocation)(current, name), read.data());
        read.resize(expected.size());
        EXPECT_EQ(read, expected) << name;
    };
    set("f", 3, {3});
    set("i", 1.5f, {1});
    set("i", -2.7f, {-2}); // toward zero
    set("b", 1, {1});
    set("v4", p2f(0.25f, 0.5f), {0.25f, 0.5f, 0, 1});
    set("v3", p2f(0.25f, 0.5f), {0.25f, 0.5f, 0});
    set("v2", p3f(1, 2, 3), {1, 2});
    set("v4", p3f(1, 2, 3), {1, 2, 3, 1});
    set("v2", homogeneous, {0.5f, 1.5f}); // projected
    set("v3", homogeneous, {1, 3, 5});    // not divided
    set("v4", homogeneous, {1, 3, 5, 2});
    set("v3", Color(0.1f, 0.2f, 0.3f, 0.4f), {0.1f, 0.2f, 0.3f});
    set("n2", vec<int, 2>{{4, 5}}, {4, 5});
    set("n3", vec<int, 3>{{4, 5, 6}}, {4, 5, 6});
    set("n4", vec<int, 4>{{4, 5, 6, 7}}, {4, 5, 6, 7});
    set("m2", mat<float, 2, 2>{{1, 2, 3, 4}}, {1, 2, 3, 4});
    set("m3", mat<float, 3, 3>{{1, 2, 3, 4, 5, 6, 7, 8, 9}}, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    set("m4", m4, std::vector<float>(m4.m, m4.m + 16)); // column by column, as given
    // Samplers take the unit's index; the unit is selected in passing, whatever the type.
    set("rect", TextureUnit(3), {3});
    set("flat", TextureUnit(GL_TEXTURE2), {2});
    // Values that do not fit the uniform's type write nothing.
    set("v2", Color(0.5f, 0.5f, 0.5f, 0.5f), {0.5f, 1.5f});
    set("f", vec<int, 2>{{1, 1}}, {3});
    set("f", mat<float, 2, 2>{{1, 2, 3, 4}}, {3});
    set("f", TextureUnit(1), {3});
    EXPECT_EQ(Integer(GL_ACTIVE_TEXTURE), GL_TEXTURE1);
}

// Texture coordinates run 0..1 across the region on units 0 to the last one; the others keep
// their current ones.
TEST_ON_WORKER(EffectProgram, DrawRegionFeedsTheUnitsUpToTheLastOne) {
    FloatTarget target(4, 4);
    target.PixelProjection();
    glMatrixMode(GL_TEXTURE);
    for (GLenum unit : {GL_TEXTURE1, GL_TEXTURE0}) TESK_GL(glActiveTexture)(unit), glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    GLSL::Shader show = Fragment("void main() { gl_FragColor = vec4(gl_TexCoord[0].st, "
                                 "gl_TexCoord[1].st); }\n");
    EffectProgram program(&show);
    program.AddShader(&EffectProgram::sMultiTexture);
    for (GLenum last : {GL_TEXTURE1, GL_TEXTURE0, GL_TEXTURE0 - 1}) {
        TESK_GL(glMultiTexCoord2f)(GL_TEXTURE0, 0.125f, 0.375f);
        TESK_GL(glMultiTexCoord2f)(GL_TEXTURE1, 0.25f, 0.75f);
        program.Apply();
        const bool u0 = last >= GL_TEXTURE0, u1 = last >= GL_TEXTURE1;
        std::vector<Pixel> expected;
        for (int i = 0; i < 16; ++i) {
            const float s = (i % 4 + 0.5f) / 4, t = (i / 4 + 0.5f) / 4;
            expected.push_back({u0 ? s : 0.125f, u0 ? t : 0.375f, u1 ? s : 0.25f, u1 ? t : 0.75f});
        }
        EXPECT_TRUE(PixelsNear(Draw(target, 4, 4, last), expected, 4, 1e-5)) << last;
    }
    EXPECT_EQ(Floats(GL_CURRENT_NORMAL)[2], 1.0f);
}

// Finalize forgets the shaders: one added afterwards is the program's only one. Left without
// any, the program takes the constructor's shader again.
TEST_ON_WORKER(EffectProgram, FinalizeForgetsTheShadersAndAnEmptyListTakesTheFirstAgain) {
    FloatTarget target(2, 2);
    target.PixelProjection();
    GLSL::Shader red = Fragment("void main() { gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0); }\n");
    GLSL::Shader blue = Fragment("void main() { gl_FragColor = vec4(0.0, 0.0, 1.0, 1.0); }\n");
    EffectProgram program(&red);
    for (GLSL::Shader* added : {&blue, static_cast<GLSL::Shader*>(nullptr)}) {
        program.Finalize();
        program.AddShader(added);
        program.Apply();
        const Pixel want = added ? Pixel{0, 0, 1, 1} : Pixel{1, 0, 0, 1};
        EXPECT_TRUE(PixelsNear(Draw(target, 2, 2), std::vector<Pixel>(4, want), 2, 0.0));
    }
}

// Pixels around the edges of the catalogue: alphas at, just above and below the unpremultiply
// threshold, a pixel whose brightest channel is red with no alpha, black transparent, values
// outside [0, 1] that the mains must clamp on input.
const std::vector<Pixel> kPixels = {
    {0.5f, 0.25f, 0.125f, 1.0f}, {0.2f, 0.4f, 0.6f, 0.5f},    {0.0005f, 0.001f, 0.0002f, 0.0011f},
    {0.3f, 0.6f, 0.9f, 0.001f},  {0.3f, 0.2f, 0.1f, 0.0005f}, {0.5f, 0.25f, 0.0f, 0.0f},
    {0.0f, 0.0f, 0.0f, 0.0f},    {1.0f, 1.0f, 1.0f, 1.0f},    {0.1f, 0.9f, 0.4f, 0.7f},
    {0.0f, 0.0f, 0.0f, 1.0f},    {1.5f, -0.5f, 0.5f, 2.0f},   {0.25f, 0.5f, 0.75f, 0.2f},
};

// A conversion pass over the test pixels, which unit 0 holds, drawn into a float target.
struct Scene {
    FloatTarget target{4, 3};
    FloatTexture texture{4, 3, kPixels};
    Scene() { target.PixelProjection(); }
    std::vector<Pixel> Convert(const Conversion& conversion) const {
        conversion.Apply();
        return Draw(target, 4, 3, GL_TEXTURE0);
    }
};

// Every main with every processing step at scales below and above one, null standing for the
// defaults (no swizzle, no processing); premultiplying tells scaling before processing from
// scaling after it.
TEST_ON_WORKER(Conversion, EveryMainAndProcessingStepGivesItsTabledResult) {
    using C = Conversion;
    using P = Pixel;
    using Step = P (*)(P);
    const std::pair<GLSL::Shader*, Step> steps[] = {
        {nullptr, [](P f) { return f; }},
        {&C::sNoProcess, [](P f) { return f; }},
        {&C::sPremultiply, [](P f) { return Premultiplied(f); }},
        {&C::sUnpremultiply, [](P f) { return f[3] > 0.001f ? Rgb(f, 1 / f[3], f[3]) : f; }},
        {&C::sInvertColor, [](P f) { return Rgb(f, -1, f[3], 1); }},
        {&C::sCopyAlpha, [](P f) { return Rgb(f, 0, f[3], 1); }},
        {&C::sCopyInvAlpha, [](P f) { return Rgb(f, 0, 1 - f[3], 1); }},
        {&C::sCopyLuma, [](P f) { return Rgb(f, 0, Luma(f), 1); }},
        {&C::sCopyInvLuma, [](P f) { return Rgb(f, 0, 1 - Luma(f), 1); }},
        {&C::sCopyLumaSaveColor, [](P f) { return Rgb(f, 1, Luma(f)); }},
        {&C::sCopyAlphaPremult, [](P f) { return All(f[3]); }},
        {&C::sCopyLumaPremult, [](P f) { return All(Luma(f)); }},
        {&C::sCopyInvLumaPremult, [](P f) { return All(1 - Luma(f)); }},
        {&C::sCopyLumaSaveColorPremult, [](P f) { return Rgb(f, Luma(f), Luma(f)); }},
        {&C::sAdditiveColor,
         [](P f) {
             const float i = std::max({f[0], f[1], f[2], f[3]});
             return i > 0 ? Rgb(f, 1 / i, i) : f;
         }},
    };
    // Loading swizzles, scales and clamps before processing and clamps after it; reading
    // clamps, processes, scales, clamps to [0, scale] (to [0, 1] without a swizzle) and
    // swizzles last.
    const std::tuple<GLSL::Shader*, std::array<int, 4>, bool, bool> mains[] = {
        {&C::sFromARGB, {1, 2, 3, 0}, true, false},   {&C::sFromBGRA, {2, 1, 0, 3}, true, false},
        {&C::sToARGB, {3, 0, 1, 2}, false, true},     {&C::sToBGRA, {2, 1, 0, 3}, false, true},
        {&C::sNoSwizzle, {0, 1, 2, 3}, false, false}, {nullptr, {0, 1, 2, 3}, false, false}};
    const Scene scene;
    Conversion conversion;
    for (size_t m = 0; m < std::size(mains); ++m)
        for (size_t s = 0; s < std::size(steps); ++s)
            for (float scale : {0.5f, 2.0f}) {
                const auto& [main, o, loads, toScale] = mains[m];
                const Step step = steps[s].second;
                conversion.SetConversion(main);
                conversion.SetProcessing(steps[s].first);
                conversion.SetScale(scale);
                const auto order = [&](const Pixel& p) {
                    return Pixel{p[o[0]], p[o[1]], p[o[2]], p[o[3]]};
                };
                std::vector<Pixel> expected;
                for (const Pixel& t : kPixels)
                    expected.push_back(
                        loads ? Clamp(step(Clamp(Times(order(t), scale))))
                              : order(Clamp(Times(step(Clamp(t)), scale), toScale ? scale : 1)));
                EXPECT_TRUE(PixelsNear(scene.Convert(conversion), expected, 4, 2e-4))
                    << "main " << m << ", step " << s << ", scale " << scale;
            }
}

// A program is built for each pair of shaders and kept while the pair stays; a copy builds
// its own and leaves the original's alone.
TEST_ON_WORKER(Conversion, BuildsOneProgramForEachPairOfShaders) {
    const Scene scene;
    GLSL::Shader halve = Fragment("vec4 process( vec4 f ) { return f * 0.5; }\n");
    Conversion conversion;
    conversion.SetProcessing(&halve);
    conversion.Apply();
    const GLuint first = CurrentProgram();
    conversion.SetProcessing(&halve);
    EXPECT_NEAR(scene.Convert(conversion)[0][0], 0.25f, 1e-6f);
    Conversion copy(conversion), assigned;
    assigned = conversion;
    for (Conversion* c : {&copy, &assigned}) {
        c->Apply();
        EXPECT_NE(CurrentProgram(), first);
        EXPECT_NEAR(Draw(scene.target, 4, 3, GL_TEXTURE0)[0][0], 0.25f, 1e-6f);
    }
    EXPECT_TRUE(TESK_GL(glIsProgram)(first));
    conversion.Apply();
    EXPECT_EQ(CurrentProgram(), first);
}

// The plainest texture: a float rectangle, filled by the test.
class PlainTexture : public Texture {
public:
    PlainTexture() { SetType(GL_TEXTURE_RECTANGLE_ARB, 4, 3, GL_RGBA, GL_FLOAT, true); }
};

TEST_ON_WORKER(Conversion, SamplesTheTextureGivenForOneApplyOnly) {
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
    other.Bind();
    EXPECT_TRUE(PixelsNear(scene.Convert(conversion), grey, 4, 2e-4));
    // The texture matrix scopes put the caller's matrix mode back.
    glMatrixMode(GL_PROJECTION);
    texture.SetTransform(2, 2, 0, 0);
    texture.FlipTransform();
    texture.ClearTransform();
    EXPECT_EQ(Integer(GL_MATRIX_MODE), GL_PROJECTION);
}

// Texels that vary in every channel without a pattern a mistaken index could hide behind.
Picture Varied(int first, int width = 4, int height = 3) {
    Picture image(width, height);
    for (int i = 0; i < width * height; ++i) {
        const float k = static_cast<float>(i + first);
        image.pixels[i] = {std::fmod(k * 0.37f + 0.05f, 1.0f), std::fmod(k * 0.61f + 0.3f, 1.0f),
                           std::fmod(k * 0.13f + 0.6f, 1.0f), std::fmod(k * 0.29f + 0.1f, 1.0f)};
    }
    return image;
}

// What program draws with a on unit 0 and b on unit 1, given to the samplers named, and the
// float uniform set, against at(a, b) pixel by pixel.
void ExpectDrawn(const EffectProgram& program, const char* sourceA, const char* sourceB,
                 const char* name, float value, const std::function<Pixel(Pixel, Pixel)>& at) {
    const Picture a = Varied(0), b = Varied(11);
    FloatTarget target(4, 3);
    target.PixelProjection();
    FloatTexture first(4, 3, a.pixels, 0), second(4, 3, b.pixels, 1);
    program.Apply();
    program.SetUniform(sourceA, TextureUnit(0));
    program.SetUniform(sourceB, TextureUnit(1));
    program.SetUniform(name, value);
    std::vector<Pixel> expected;
    for (size_t i = 0; i < a.pixels.size(); ++i) expected.push_back(at(a.pixels[i], b.pixels[i]));
    EXPECT_TRUE(PixelsNear(Draw(target, 4, 3), expected, 4, 1e-5));
}

// The one-dimensional blurs: the centre texel, then pairs at 1.5, 3.5, ... texels either side
// while within the radius, weighted 1 - offset^2 / radius^2, each position clamped to
// [0, size - 1] and read with linear filtering (a half-texel offset averages two texels).
TEST_ON_WORKER(EffectPrograms, TheTwoBlurDirectionsSumTheirAxisAsDefined) {
    constexpr int w = 9, h = 7;
    const std::vector<Pixel> texels = Varied(0, w, h).pixels;
    const auto texel = [&](int x, int y) {
        return texels[std::clamp(y, 0, h - 1) * w + std::clamp(x, 0, w - 1)];
    };
    // Linear filtering at coordinate c along the axis (texel centres at i + 0.5).
    const auto sample = [&](bool rows, int x, int y, float c) {
        const int i = static_cast<int>(std::floor(c - 0.5f));
        const float f = c - 0.5f - static_cast<float>(i);
        const Pixel a = rows ? texel(i, y) : texel(x, i),
                    b = rows ? texel(i + 1, y) : texel(x, i + 1);
        return Pixel{a[0] + (b[0] - a[0]) * f, a[1] + (b[1] - a[1]) * f, a[2] + (b[2] - a[2]) * f,
                     a[3] + (b[3] - a[3]) * f};
    };
    for (const bool rows : {true, false}) {
        for (const float radius : {1.0f, 4.0f, 6.0f}) {
            SCOPED_TRACE(testing::Message()
                         << (rows ? "rows" : "columns") << ", radius " << radius);
            std::vector<Pixel> expected;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    Pixel total = texel(x, y);
                    float sum = 1;
                    const float centre = (rows ? x : y) + 0.5f, last = (rows ? w : h) - 1.0f;
                    for (float offset = 1.5f; offset <= radius; offset += 2) {
                        const float weight = 1 - offset * offset / (radius * radius);
                        for (const float at : {centre - offset, centre + offset}) {
                            const Pixel t = sample(rows, x, y, std::clamp(at, 0.0f, last));
                            for (int c = 0; c < 4; ++c) total[c] += t[c] * weight;
                        }
                        sum += 2 * weight;
                    }
                    expected.push_back(Clamp(Times(total, 1 / sum)));
                }
            FloatTarget target(w, h);
            target.PixelProjection();
            FloatTexture source(w, h, texels, 0, GL_LINEAR);
            const EffectProgram& program =
                rows ? EffectProgram::sHorizBlur : EffectProgram::sVertBlur;
            program.Apply();
            program.SetUniform("blur_source", TextureUnit(0));
            program.SetUniform("blur_size", p2f(w, h));
            program.SetUniform("blur_radius", radius);
            EXPECT_TRUE(PixelsNear(Draw(target, w, h), expected, w, 2e-3));
        }
    }
}

TEST_ON_WORKER(EffectPrograms, ThresholdGlowAndCommonFunctionsFollowTheirDefinitions) {
    // The threshold weighs channels 0.299, 0.587, 0.114 (luma() 0.30, 0.59, 0.11).
    ExpectDrawn(EffectProgram::sThreshold, "threshold_source", "", "threshold_luma", 0.45f,
                [](Pixel s, Pixel) {
                    return 0.299f * s[0] + 0.587f * s[1] + 0.114f * s[2] < 0.45f ? Pixel{} : s;
                });
    // The second image's colour, times its alpha and the intensity, added to the first;
    // 1.5 pushes some sums past 1.
    ExpectDrawn(EffectProgram::sGlow, "glow_source", "glow_blurred", "glow_intensity", 1.5f,
                [](Pixel s, Pixel g) {
                    const float k = g[3] * 1.5f;
                    return Clamp({g[0] * k + s[0], g[1] * k + s[1], g[2] * k + s[2], k + s[3]});
                });
    GLSL::Shader measures = Fragment(R"(uniform sampler2DRect source;
float luma( vec4 pixel );
float saturation( vec4 pixel );
void main() {
    vec4 t = texture2DRect(source, gl_TexCoord[0].st);
    gl_FragColor = vec4(luma(t), saturation(t), 0.0, 1.0);
})");
    ExpectDrawn(EffectProgram(&measures), "source", "", "", 0, [](Pixel t, Pixel) {
        const float high = std::max({t[0], t[1], t[2]}), low = std::min({t[0], t[1], t[2]});
        return Pixel{Luma(t), high - low, 0, 1};
    });
}

// What OpenGL's feedback mode reports for the triangles draw() emits (a strip of n vertices
// comes back as n - 2): how many, and the window position and texture coordinate of each of
// their vertices.
std::pair<int, std::vector<std::array<float, 4>>> Capture(const std::function<void()>& draw) {
    std::vector<GLfloat> buffer(1 << 14);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint count = glRenderMode(GL_RENDER);
    std::pair<int, std::vector<std::array<float, 4>>> out;
    // A token, a vertex count, then per vertex x, y, z, RGBA, s, t, r, q.
    for (GLint i = 0; i < count; ++out.first) {
        EXPECT_EQ(buffer[i++], GL_POLYGON_TOKEN);
        for (int v = static_cast<int>(buffer[i++]); v > 0; --v, i += 11)
            out.second.push_back({buffer[i], buffer[i + 1], buffer[i + 7], buffer[i + 8]});
    }
    return out;
}

// Every way of drawing a quad emits strips over a columns x rows lattice whose positions and
// texture coordinates are the bilinear blend of the corners'; a single row emits nothing.
TEST_ON_WORKER(QuadDrawing, LatticesInterpolatePositionsAndTextureCoordinatesBilinearly) {
    const TestTarget target(64, 64);
    target.PixelProjection();
    // A rectangle (the region's) and a trapezoid, whose left and right edges differ.
    const std::array<p3f, 4> r{p3f(2, 2, 0), p3f(10, 2, 0), p3f(10, 6, 0), p3f(2, 6, 0)};
    const std::array<p3f, 4> p{p3f(0, 0, 0), p3f(16, 0, 0), p3f(12, 8, 0), p3f(4, 8, 0)};
    const std::array<p2f, 4> unit{p2f(0, 0), p2f(1, 0), p2f(1, 1), p2f(0, 1)};
    const std::array<p2f, 4> t{p2f(0.1f, 0.2f), p2f(0.9f, 0.2f), p2f(0.5f, 1), p2f(0.1f, 0.8f)};
    // (p3 - p1) x (p2 - p0) points down the z axis for a counter-clockwise quad; reversed,
    // and with texture coordinates, (p1 - p3) x (p2 - p0) points up. 0: not checked.
    const struct {
        std::function<void()> draw;
        const std::array<p3f, 4>& q;
        const std::array<p2f, 4>& u;
        int columns, rows;
        float normalZ;
    } cases[] = {
        {[&] { DrawQuad(r[0], r[1], r[2], r[3]); }, r, unit, 2, 2, -1},
        {[] { DrawRegion(Region(2, 2, 8, 4)); }, r, unit, 2, 2, -1},
        {[&] { DrawQuad(p[0], p[1], p[2], p[3], 2, 2, true); }, p, unit, 2, 2, 1},
        {[&] { DrawQuad(p[0], p[1], p[2], p[3], 3, 3, false); }, p, unit, 3, 3, -1},
        {[&] { DrawQuad(p[0], t[0], p[1], t[1], p[2], t[2], p[3], t[3], 5, 3); }, p, t, 5, 3, 1},
        {[&] { DrawQuad(p[0], t[0], p[1], t[1], p[2], t[2], p[3], t[3], 4, 1); }, p, t, 4, 1, 0},
    };
    for (const auto& [draw, q, u, columns, rows, normalZ] : cases) {
        SCOPED_TRACE(std::to_string(columns) + " x " + std::to_string(rows));
        glNormal3f(0, 0, 0);
        const auto [triangles, vertices] = Capture(draw);
        EXPECT_EQ(triangles, 2 * (columns - 1) * (rows - 1)); // a strip between two rows
        if (rows < 2) continue;
        for (int i = 0; i < columns; ++i)
            for (int j = 0; j < rows; ++j) {
                const float a = float(i) / (columns - 1), b = float(j) / (rows - 1);
                const p3f left = q[0] + (q[3] - q[0]) * b, right = q[1] + (q[2] - q[1]) * b;
                const p2f tl = u[0] + (u[3] - u[0]) * b, tr = u[1] + (u[2] - u[1]) * b;
                const p3f at = left + (right - left) * a;
                const p2f st = tl + (tr - tl) * a;
                const std::array<float, 4> expected{at.x, at.y, st.x, st.y};
                EXPECT_TRUE(
                    std::any_of(vertices.begin(), vertices.end(),
                                [&](const auto& v) { return PixelsNear(v, expected, 4, 1, 1e-4); }))
                    << a << "," << b;
            }
        EXPECT_TRUE(normalZ == 0 || Floats(GL_CURRENT_NORMAL)[2] == normalZ);
    }
}

// The plane is drawn through a grid placed by the model-view matrix, which it puts back with
// the caller's matrix mode.
TEST_ON_WORKER(QuadDrawing, PlaneCoversItsQuadAndRestoresTheMatrices) {
    FloatTarget target(16, 8);
    target.PixelProjection();
    TESK_GL(glActiveTexture)(GL_TEXTURE0);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    GLSL::Shader show = Fragment("void main() { gl_FragColor = vec4(gl_TexCoord[0].st, 0, 1); }");
    EffectProgram program(&show);
    program.Apply();
    DrawPlane(p3f(2, 2, 0), p3f(10, 2, 0), p3f(10, 6, 0), p3f(2, 6, 0), 5, 4);
    TESK_GL(glUseProgram)(0);
    EXPECT_EQ(Integer(GL_MATRIX_MODE), GL_TEXTURE);
    glMatrixMode(GL_MODELVIEW);
    EXPECT_EQ(Floats(GL_MODELVIEW_MATRIX), Floats(GL_TEXTURE_MATRIX)); // both the identity
    // The grid's unit square is laid on the quad from p0.
    std::vector<Pixel> expected(16 * 8);
    for (int y = 2; y < 6; ++y)
        for (int x = 2; x < 10; ++x) expected[y * 16 + x] = {(x - 1.5f) / 8, (y - 1.5f) / 4, 0, 1};
    EXPECT_TRUE(PixelsNear(target.Read(), expected, 16, 1e-5));
}

// Only the red channel of an 8-bit target, as 0 or 1 a pixel.
std::vector<int> Lit(const TestTarget& target) {
    std::vector<int> lit;
    for (const auto& p : target.Read()) lit.push_back(p[0] >= 128);
    return lit;
}

TEST_ON_WORKER(Geometry, PlaneCoversItsRegionExactly) {
    TestTarget target(64, 80);
    target.PixelProjection();
    glColor4f(1, 0, 0, 1);
    sPlane.Draw(Region(10, 20, 30, 40));
    std::vector<int> expected(64 * 80);
    for (int y = 20; y < 60; ++y) std::fill_n(&expected[y * 64 + 10], 30, 1);
    EXPECT_TRUE(PixelsNear(Lit(target), expected, 64 * 80, 64, 0, 1));
    // The last corner drawn is (x1, y0) with (1 - inset, inset).
    sPlane.Draw(0, 0, 8, 8, 0.25f);
    EXPECT_EQ(Floats(GL_CURRENT_TEXTURE_COORDS)[0], 0.75f);
    EXPECT_EQ(Floats(GL_CURRENT_TEXTURE_COORDS)[1], 0.25f);
}

// The colour given with Color::Apply is stored with the vertices but drawn per vertex only
// with the colour array on: without, the quad takes the current colour.
TEST_ON_WORKER(Geometry, ObjectArrayBatchesVerticesWithTheirAttributes) {
    TestTarget target(16, 16);
    target.PixelProjection();
    { ObjectArray empty(GL_QUADS); } // no vertex: nothing is drawn
    EXPECT_EQ(Lit(target), std::vector<int>(16 * 16, 0));
    for (float x : {0.0f, 8.0f}) {
        ObjectArray batch(GL_QUADS);
        if (x == 0) Color(1.0f, 0.0f, 0.0f, 1.0f).Apply();
        if (x == 8) ObjectArray::Color(Color(1.0f, 0.0f, 0.0f, 1.0f));
        for (const p3f& p : {p3f(x, 0, 0), p3f(x + 8, 0, 0), p3f(x + 8, 16, 0), p3f(x, 16, 0)})
            ObjectArray::Vertex(p);
        glColor4f(0.0f, 0.0f, 1.0f, 1.0f); // what the fixed pipeline draws with
        if (x == 0) continue;
        batch.Draw();
        EXPECT_EQ(ObjectArray::fCount, 4); // kept after drawing
    }
    const auto pixels = target.Read();
    EXPECT_EQ(pixels[8 * 16 + 3], (std::array<unsigned char, 4>{0, 0, 255, 255}));
    EXPECT_EQ(pixels[8 * 16 + 12], (std::array<unsigned char, 4>{255, 0, 0, 255}));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY) || glIsEnabled(GL_COLOR_ARRAY));
}

// A sphere facing a directional light along +z, with the default material and light model,
// comes out as the fixed-function lighting sum worked out by hand: model ambient 0.2 *
// material ambient 0.2 + light ambient * 0.2 + cos(angle) * light diffuse * material diffuse
// 0.8, so 0.04 + (0.02, 0.04, 0.06) + (0.4, 0.2, 0.8) cos(angle); no specular (material
// specular 0).
TEST_ON_WORKER(Lighting, LitSphereMatchesTheLightingEquation) {
    TestTarget target(64, 64);
    SetDefault();
    glDisable(GL_BLEND);
    glEnable(GL_CULL_FACE); // no depth buffer here: keep the far side from overdrawing
    ParamLight::DisableLights();
    glLightfv(GL_LIGHT0, GL_POSITION, std::array<GLfloat, 4>{0, 0, 1, 0}.data());
    AmbientLight<0>(Color(0.1f, 0.2f, 0.3f, 1.0f)).Apply();
    DiffuseLight<0>(Color(0.5f, 0.25f, 1.0f, 1.0f)).Apply();
    Quadric sphere;
    sphere.DrawSphere(0.9f, 64, 32);
    const auto pixels = target.ReadFloat();
    EXPECT_EQ(pixels[65][3], 0); // outside the sphere
    // Pixel 44's centre, on the unit sphere, leans away from the light: the diffuse term
    // falls with the normal's z.
    for (int x : {32, 44}) {
        const float nx = ((x + 0.5f) / 32 - 1) / 0.9f, cos = std::sqrt(1 - nx * nx);
        const Pixel expected = {0.06f + 0.4f * cos, 0.08f + 0.2f * cos, 0.1f + 0.8f * cos, 1};
        EXPECT_TRUE(PixelsNear(pixels[32 * 64 + x], expected, 4, 1, (x == 32 ? 3 : 6) / 255.0));
    }
    sphere.Finalize();
    EXPECT_FALSE(sphere.IsInitialized());
}

// One element tells each rotation's axis and direction, the sine of 30 degrees at (row 2,
// column 1) for +X, at (2, 0) for -Y and at (0, 1) for -Z.
TEST_ON_WORKER(MathOnTheContext, EulerRotationsTurnAboutXAndTheNegativeYAndZAxes) {
    glMatrixMode(GL_MODELVIEW);
    const auto rotated = [](const std::function<void()>& rotate) {
        glLoadIdentity();
        rotate();
        return Floats(GL_MODELVIEW_MATRIX);
    };
    for (int order = 0; order < 6; ++order)
        EXPECT_NEAR(rotated([&] { Rotate(30, 0, 0, RotationOrder(order)); })[6], 0.5f, 1e-6f);
    EXPECT_NEAR(rotated([] { Rotate(0, 30, 0, RotationOrder(0)); })[2], 0.5f, 1e-6f);
    EXPECT_NEAR(rotated([] { Rotate(p3f(0, 0, 30), RotationOrder(3)); })[4], 0.5f, 1e-6f);
    // Angles too small to matter issue no rotation at all, not even one that rounds away.
    EXPECT_EQ(rotated([] { Rotate(0, 0, 1e-8f, RotationOrder(0)); }), rotated([] {}));
}

TEST_ON_WORKER(MathOnTheContext, MatricesMultiplyAndUnitScaleRestores) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(1, 2, 3);
    Matrix translation(true);
    translation.m[12] = 10; // a further translation by (10, 0, 0)
    translation.Multiply();
    EXPECT_EQ(Floats(GL_MODELVIEW_MATRIX)[12], 11);
    glMatrixMode(GL_PROJECTION);
    {
        // Inside, the model-view is a bare translation to where (1, 1, 1) landed.
        UnitScale unit(p3f(1, 1, 1));
        const auto m = Floats(GL_MODELVIEW_MATRIX);
        EXPECT_EQ((std::array{m[0], m[12], m[13], m[14]}), (std::array{1.0f, 12.0f, 3.0f, 4.0f}));
    }
    EXPECT_EQ(Floats(GL_MODELVIEW_MATRIX)[12], 11);
    EXPECT_EQ(Integer(GL_MATRIX_MODE), GL_PROJECTION);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    MultMatrix(m44f(p3f(1, 2, 0), p3f(0, 1, 0), p3f(0, 0, 1))); // row 0 is OpenGL's column 0
    EXPECT_EQ(Floats(GL_MODELVIEW_MATRIX)[1], 2);
}

} // namespace
