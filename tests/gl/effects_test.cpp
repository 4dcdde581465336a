#include "FloatTarget.h"
#include "GLTest.h"
#include "OpsReference.h"

#include "gl/effects/Conversion.h"
#include "gl/effects/EffectProgram.h"
#include "gl/state/TextureState.h"
#include "gl/texture/Texture.h"
#include "math/Region.h"

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
// Colour channels times s, alpha a.
Pixel Rgb(const Pixel& f, float s, float a) {
    return {f[0] * s, f[1] * s, f[2] * s, a};
}
Pixel Add(const Pixel& a, const Pixel& b, float w = 1) {
    return {a[0] + b[0] * w, a[1] + b[1] * w, a[2] + b[2] * w, a[3] + b[3] * w};
}
Pixel All(float v) {
    return {v, v, v, v};
}

} // namespace

TEST(GLSL, CompileAndLinkFailuresCarryTheDriversLog) {
    RunOnWorker([] {
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
        TESK_GL(glUseProgram)(0);
    });
}

struct Setting {
    const char* name;
    std::function<void(const EffectProgram&)> set;
    std::vector<float> expected;
};
template <class T> Setting Set(const char* name, const T& value, std::vector<float> expected) {
    return {name, [name, value](const EffectProgram& p) { p.SetUniform(name, value); }, expected};
}

// A uniform of the current program as glGetUniformfv reads it (integers and booleans too).
std::vector<float> Uniform(const char* name, size_t count) {
    std::vector<float> values(16, -999.0f);
    const GLuint program = CurrentProgram();
    TESK_GL(glGetUniformfv)(program, TESK_GL(glGetUniformLocation)(program, name), values.data());
    values.resize(count);
    return values;
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
            Set("v2c", Color(0.5f, 0.5f, 0.5f, 0.5f), {0, 0}), // does not fit: nothing written
            Set("f3", vec<int, 2>{{1, 1}}, {0}),
            Set("f3", mat<float, 2, 2>{{1, 2, 3, 4}}, {0}),
            Set("n2", vec<int, 2>{{4, 5}}, {4, 5}),
            Set("n3", vec<int, 3>{{4, 5, 6}}, {4, 5, 6}),
            Set("n4", vec<int, 4>{{4, 5, 6, 7}}, {4, 5, 6, 7}),
            Set("m2", mat<float, 2, 2>{{1, 2, 3, 4}}, {1, 2, 3, 4}),
            Set("m3", mat<float, 3, 3>{{1, 2, 3, 4, 5, 6, 7, 8, 9}}, {1, 2, 3, 4, 5, 6, 7, 8, 9}),
            Set("m4", m4, std::vector<float>(m4.m, m4.m + 16)), // column by column, as given
            // Samplers take the unit's index; the unit is selected in passing, whatever the type.
            Set("rect", TextureUnit(3), {3}),
            Set("flat", TextureUnit(GL_TEXTURE2), {2}),
            Set("f3", TextureUnit(1), {0}),
        };
        for (const Setting& setting : settings) {
            setting.set(program);
            EXPECT_EQ(Uniform(setting.name, setting.expected.size()), setting.expected)
                << setting.name;
        }
        EXPECT_EQ(Integer(GL_ACTIVE_TEXTURE), GL_TEXTURE1);
        TextureUnit::Activate(GL_TEXTURE0);
        TESK_GL(glUseProgram)(0);
    });
}

TEST(EffectProgram, DrawRegionFeedsTheUnitsUpToTheLastOne) {
    RunOnWorker([] {
        FloatTarget target(4, 4);
        target.PixelProjection();
        glMatrixMode(GL_TEXTURE);
        for (GLenum unit : {GL_TEXTURE2, GL_TEXTURE1, GL_TEXTURE0})
            TESK_GL(glActiveTexture)(unit), glLoadIdentity(); // the coordinates pass through these
        glMatrixMode(GL_MODELVIEW);
        GLSL::Shader show = Fragment("void main() { gl_FragColor = vec4(gl_TexCoord[2].st, "
                                     "gl_TexCoord[1].s, gl_TexCoord[0].t); }\n");
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

} // namespace

// Every main with every processing step at scales below and above one, null standing for the
// defaults (no swizzle, no processing); premultiplying tells scaling before processing from
// scaling after it.
TEST(Conversion, EveryMainAndProcessingStepGivesItsTabledResult) {
    RunOnWorker([] {
        using C = Conversion;
        using Step = Pixel (*)(Pixel);
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
        const std::tuple<GLSL::Shader*, std::array<int, 4>, bool, bool> mains[] = {
            {&C::sFromARGB, {1, 2, 3, 0}, true, false},
            {&C::sFromBGRA, {2, 1, 0, 3}, true, false},
            {&C::sToARGB, {3, 0, 1, 2}, false, true},
            {&C::sToBGRA, {2, 1, 0, 3}, false, true},
            {&C::sNoSwizzle, {0, 1, 2, 3}, false, false},
            {nullptr, {0, 1, 2, 3}, false, false}};
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
                        expected.push_back(loads ? Clamp(step(Clamp(Times(order(t), scale))))
                                                 : order(Clamp(Times(step(Clamp(t)), scale),
                                                               toScale ? scale : 1)));
                    EXPECT_TRUE(PixelsNear(scene.Convert(conversion), expected, 4, 2e-4))
                        << "main " << m << ", step " << s << ", scale " << scale;
                }
    });
}

// A program is built for each pair of shaders: the same pair again keeps it, a copy builds its
// own and leaves the original's alone, and after Finalize the pair is built anew.
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
        conversion.SetProcessing(&halve);
        conversion.Apply();
        EXPECT_EQ(CurrentProgram(), first);
        {
            Conversion copy(conversion), assigned;
            assigned = conversion;
            for (Conversion* c : {&copy, &assigned}) {
                c->Apply();
                EXPECT_NE(CurrentProgram(), first);
                EXPECT_NEAR(Draw(scene.target, 4, 3, GL_TEXTURE0)[0][0], 0.25f, 1e-6f);
            }
        }
        EXPECT_TRUE(TESK_GL(glIsProgram)(first));
        conversion.SetProcessing(&Conversion::sInvertColor);
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
        other.Bind();
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

namespace {

// The threshold and the common blur weigh channels thus; luma() uses 0.30, 0.59, 0.11.
float ThresholdLuma(const Pixel& p) {
    return 0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2];
}

// Texels that vary in every channel without a pattern a mistaken index could hide behind.
Picture Varied(int width, int height, int first = 0) {
    Picture image(width, height);
    for (int i = 0; i < width * height; ++i) {
        const float k = static_cast<float>(i + first);
        image.pixels[i] = {std::fmod(k * 0.37f + 0.05f, 1.0f), std::fmod(k * 0.61f + 0.3f, 1.0f),
                           std::fmod(k * 0.13f + 0.6f, 1.0f), std::fmod(k * 0.29f + 0.1f, 1.0f)};
    }
    return image;
}

// Applies program, samples image on unit 0 through sampler `source` (and second, when given,
// on unit 1 through `other`), sets the rest with uniforms and compares what it draws over a
// float target of image's size with reference(x, y).
void ExpectDrawn(const EffectProgram& program, const Picture& image, const char* source,
                 const std::function<void()>& uniforms, const std::function<Pixel(int, int)>& at,
                 GLenum filter = GL_NEAREST, const Picture* second = nullptr,
                 const char* other = "") {
    FloatTarget target(image.width, image.height);
    target.PixelProjection();
    FloatTexture texture(image.width, image.height, image.pixels, 0, filter);
    FloatTexture texture1(image.width, image.height, (second ? *second : image).pixels, 1);
    program.Apply();
    program.SetUniform(source, TextureUnit(0));
    program.SetUniform(other, TextureUnit(1));
    uniforms();
    std::vector<Pixel> expected;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) expected.push_back(at(x, y));
    EXPECT_TRUE(PixelsNear(Draw(target, image.width, image.height), expected, image.width, 1e-5));
}

} // namespace

TEST(EffectPrograms, ThresholdKeepsBrightTexelsAndClearsTheRest) {
    RunOnWorker([] {
        Picture image(6, 1);
        image.pixels = {{0.9f, 0.9f, 0.9f, 1.0f}, {0.1f, 0.2f, 0.1f, 0.8f},
                        {1.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 1.0f, 0.0f, 0.5f},
                        {0.0f, 0.0f, 1.0f, 1.0f}, {0.5f, 0.5f, 0.5f, 0.3f}};
        const EffectProgram& threshold = EffectProgram::sThreshold;
        ExpectDrawn(
            threshold, image, "threshold_source",
            [&] { threshold.SetUniform("threshold_luma", 0.45f); },
            [&](int x, int) {
                return ThresholdLuma(image.At(x, 0)) < 0.45f ? Pixel{} : image.At(x, 0);
            });
    });
}

// The blurred copy's colour scaled by its alpha and the intensity, added to the source; 1.5 is
// enough to push some sums past 1.
TEST(EffectPrograms, GlowAddsTheBlurredCopyScaledByItsAlpha) {
    RunOnWorker([] {
        const Picture source = Varied(4, 2), blurred = Varied(4, 2, 11);
        const EffectProgram& glow = EffectProgram::sGlow;
        ExpectDrawn(
            glow, source, "glow_source", [&] { glow.SetUniform("glow_intensity", 1.5f); },
            [&](int x, int y) {
                const Pixel b = blurred.At(x, y);
                const float k = b[3] * 1.5f;
                return Clamp(Add(Rgb(b, k, k), source.At(x, y)));
            },
            GL_NEAREST, &blurred, "glow_blurred");
    });
}

TEST(EffectPrograms, OneDimensionalBlursMatchTheirWeights) {
    RunOnWorker([] {
        const Picture row = Varied(8, 2);
        Picture column(2, 8); // the same values running up a column
        for (int i = 0; i < 16; ++i) column.At(i / 8, i % 8) = row.At(i % 8, i / 8);
        for (float radius : {4.0f, 6.0f})
            for (bool vertical : {false, true}) {
                const Picture& image = vertical ? column : row;
                const EffectProgram& blur =
                    vertical ? EffectProgram::sVertBlur : EffectProgram::sHorizBlur;
                // Offsets 1.5, 3.5, ... up to the radius on both sides of the centre, weighted
                // 1 - offset^2 / radius^2, the coordinate clamped to [0, size - 1] and sampled
                // linearly.
                const auto expected = [&](int x, int y) {
                    const auto at = [&](float d) {
                        const float c = (vertical ? y : x) + 0.5f + d;
                        const float e = d != 0 ? std::clamp(c, 0.0f, 7.0f) : c;
                        return vertical ? Bilinear(image, x + 0.5, e) : Bilinear(image, e, y + 0.5);
                    };
                    Pixel total = at(0);
                    float sum = 1;
                    for (float o = 1.5f; o <= radius; o += 2) {
                        const float w = 1 - o * o / (radius * radius);
                        total = Add(Add(total, at(-o), w), at(o), w);
                        sum += 2 * w;
                    }
                    return Clamp(Times(total, 1 / sum));
                };
                const auto uniforms = [&] {
                    blur.SetUniform("blur_size", p2f(image.width, image.height));
                    blur.SetUniform("blur_radius", radius);
                };
                ExpectDrawn(blur, image, "blur_source", uniforms, expected, GL_LINEAR);
            }
    });
}

TEST(EffectPrograms, CommonLumaAndSaturationAreLinkedIntoEveryProgram) {
    RunOnWorker([] {
        const Picture image = Varied(5, 5);
        GLSL::Shader measures = Fragment(R"(uniform sampler2DRect source;
float luma( vec4 pixel );
float saturation( vec4 pixel );
void main() {
    vec4 t = texture2DRect(source, gl_TexCoord[0].st);
    gl_FragColor = vec4(luma(t), saturation(t), 0.0, 1.0);
})");
        ExpectDrawn(
            EffectProgram(&measures), image, "source", [] {},
            [&](int x, int y) {
                const Pixel t = image.At(x, y);
                return Pixel{Luma(t), std::max({t[0], t[1], t[2]}) - std::min({t[0], t[1], t[2]}),
                             0, 1};
            });
    });
}
