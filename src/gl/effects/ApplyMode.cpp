#include "gl/effects/ApplyMode.h"

#include "common/Implementation/Prologue.h"

#include "common/Shared.h"
#include "gl/context/State.h"
#include "gl/state/Blend.h"
#include "gl/state/Fragment.h"
#include "gl/state/Push.h"
#include "gl/state/TextureState.h"
#include "gl/texture/ImageTextures.h"
#include "gl/texture/Texture.h"
#include "gl/texture/TextureFormat.h"
#include "gl/texture/TiledBuffer.h"
#include "math/Region.h"
#include "math/Vector.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <exception>
#include <string>

namespace OGL_TESK_AE {

namespace {

// Each mode's shader: the shared header, the declarations of the common functions it may call,
// and its apply().
#define TESK_APPLY(body)                                                                           \
    "#version 110\n"                                                                               \
    "float luma( vec4 pixel );\n"                                                                  \
    "float saturation( vec4 pixel );\n"                                                            \
    "float rand();\n"                                                                              \
    "vec4 apply( vec4 fg, vec4 bg )\n"                                                             \
    "{\n" body "}\n"

// For the modes without a formula of their own.
const char* const kFront = TESK_APPLY("    return fg;\n");

const char* const kReverseSubtract = TESK_APPLY(R"(
    vec3 difference = fg.rgb - bg.rgb;
    return vec4(mix(vec3(0.0), difference, vec3(greaterThanEqual(fg.rgb, bg.rgb))), fg.a + bg.a);
)");

// What both main() functions declare: the two textures, the mix and the mode's apply().
#define TESK_MAIN_HEAD                                                                             \
    "#version 110\n"                                                                               \
    "#extension GL_ARB_texture_rectangle : enable\n"                                               \
    "uniform sampler2DRect front;\n"                                                               \
    "uniform sampler2DRect back;\n"                                                                \
    "uniform float apply_mix;\n"                                                                   \
    "vec4 apply( vec4 fg, vec4 bg );"

} // namespace

GLSL::Shader ApplyMode::sMainFragment(GL_FRAGMENT_SHADER, TESK_MAIN_HEAD R"(
void main()
{
    vec4 fg = texture2DRect(front, gl_TexCoord[0].st);
    vec4 bg = texture2DRect(back, gl_TexCoord[1].st);
    fg.rgb *= fg.a;
    bg.rgb *= bg.a;
    fg = clamp(apply(fg, bg), 0.0, 1.0);
    fg = mix(bg, fg, apply_mix);
    if (fg.a > 0.0)
        fg.rgb /= fg.a;
    gl_FragColor = fg;
}
)");

GLSL::Shader ApplyMode::sMainLight(GL_FRAGMENT_SHADER, TESK_MAIN_HEAD R"(
void main()
{
    vec4 fg = texture2DRect(front, gl_TexCoord[0].st);
    fg.a = max(fg.r, max(fg.g, fg.b));
    if (fg.a > 0.0) {
        vec4 bg = texture2DRect(back, gl_TexCoord[1].st);
        fg = clamp(fg, 0.0, 1.0);
        bg.rgb *= bg.a;
        bg.rgb *= 1.0 - fg.rgb;
        fg = clamp(apply(fg, bg), 0.0, 1.0);
        fg = mix(bg, fg, apply_mix);
        if (fg.a > 0.0)
            fg.rgb /= fg.a;
    }
    gl_FragColor = fg;
}
)");

ApplyMode ApplyMode::sNone(TESK_APPLY("    return vec4(0.0);\n"));
ApplyMode ApplyMode::sCopy(kFront);
ApplyMode ApplyMode::sFront(kFront);
ApplyMode ApplyMode::sBack(TESK_APPLY("    return bg;\n"));
ApplyMode ApplyMode::sOver(
    TESK_APPLY("    return vec4(fg.rgb * fg.a + bg.rgb * (1.0 - fg.a), fg.a + bg.a);\n"));
ApplyMode ApplyMode::sUnder(
    TESK_APPLY("    return vec4(bg.rgb * bg.a + fg.rgb * (1.0 - bg.a), fg.a + bg.a);\n"));
ApplyMode ApplyMode::sLighten(TESK_APPLY("    return vec4(max(fg.rgb, bg.rgb), fg.a);\n"));
ApplyMode ApplyMode::sDarken(TESK_APPLY("    return vec4(min(fg.rgb, bg.rgb), fg.a);\n"));
ApplyMode ApplyMode::sMultiply(TESK_APPLY("    return fg * bg;\n"));
ApplyMode
    ApplyMode::sScreen(TESK_APPLY("    return vec4(fg.rgb + bg.rgb * (1.0 - fg.rgb), fg.a);\n"));
ApplyMode ApplyMode::sDifference(TESK_APPLY("    return vec4(abs(fg.rgb - bg.rgb), fg.a);\n"));
ApplyMode ApplyMode::sLighter(TESK_APPLY("    return luma(fg) > luma(bg) ? fg : bg;\n"));
ApplyMode ApplyMode::sDarker(TESK_APPLY("    return luma(fg) < luma(bg) ? fg : bg;\n"));
ApplyMode ApplyMode::sScaleMultiply(TESK_APPLY("    return vec4(fg.rgb * bg.rgb * 4.0, fg.a);\n"));
ApplyMode ApplyMode::sScaleScreen(
    TESK_APPLY("    return vec4(2.0 * (fg.rgb + bg.rgb * (1.0 - fg.rgb)) - 1.0, fg.a);\n"));
ApplyMode ApplyMode::sExpandDifference(
    TESK_APPLY("    return vec4(abs(fg.rgb - bg.rgb) * 2.0, fg.a);\n"));
ApplyMode ApplyMode::sExpandDifference2(
    TESK_APPLY("    return vec4(abs(fg.rgb - bg.rgb) * 4.0, fg.a);\n"));
ApplyMode ApplyMode::sAdd(TESK_APPLY("    return fg + bg;\n"));
ApplyMode ApplyMode::sSubtract(TESK_APPLY("    return vec4(bg.rgb - fg.rgb, fg.a);\n"));
ApplyMode ApplyMode::sOverlay(TESK_APPLY(R"(
    vec3 f = fg.rgb, b = bg.rgb;
    vec3 low = b * f * 2.0, high = 2.0 * (f + b * (1.0 - f)) - 1.0;
    return vec4(mix(high, low, vec3(lessThan(f, vec3(0.5)))), fg.a);
)"));
ApplyMode ApplyMode::sSoftLight(TESK_APPLY(R"(
    vec3 f = fg.rgb, b = bg.rgb;
    return vec4(f + (b - 0.5) * (1.0 - f) * f * 2.0, fg.a);
)"));
ApplyMode ApplyMode::sHardLight(TESK_APPLY(R"(
    vec3 f = fg.rgb, b = bg.rgb;
    vec3 m = f * b, s = f + b - m;
    vec3 up = f + (s - f) * (b - 0.5) * 0.5, down = f + (m - f) * (0.5 - b) * 0.5;
    return vec4(mix(down, up, vec3(greaterThan(b, vec3(0.5)))), fg.a);
)"));
// The back's chroma, scaled to the front's saturation but kept inside 0...1 above the front's
// luma, moved to the front's luma.
ApplyMode ApplyMode::sHue(TESK_APPLY(R"(
    vec4 result;
    float lf = luma(fg);
    vec4 d = bg - luma(bg);
    float sb = saturation(bg);
    if (sb > 0.0) {
        float k = saturation(fg) / sb;
        if (k > 1.0) {
            if (d.r > 0.0) k = min(k, (1.0 - lf) / d.r);
            if (d.g > 0.0) k = min(k, (1.0 - lf) / d.g);
            if (d.b > 0.0) k = min(k, (1.0 - lf) / d.b);
        }
        d *= k;
        result = d + (lf - luma(d));
    } else {
        result = vec4(lf, lf, lf, 0.0);
    }
    result.a = fg.a + bg.a;
    return result;
)"));
ApplyMode ApplyMode::sSaturation(TESK_APPLY(R"(
    vec4 result = fg;
    float lf = luma(fg);
    vec4 d = fg - lf;
    float sf = saturation(fg);
    if (sf > 0.0) {
        float k = saturation(bg) / sf;
        if (k > 1.0) {
            if (d.r > 0.0) k = min(k, (1.0 - lf) / d.r);
            if (d.g > 0.0) k = min(k, (1.0 - lf) / d.g);
            if (d.b > 0.0) k = min(k, (1.0 - lf) / d.b);
        }
        vec4 e = d * k;
        result = e + (lf - luma(e));
    }
    result.a = fg.a + bg.a;
    return result;
)"));
ApplyMode ApplyMode::sColor(TESK_APPLY(R"(
    float l = luma(fg);
    vec4 d = bg - luma(bg);
    float c = 1.0;
    for (int i = 0; i < 3; ++i) {
        float x = d[i];
        if (l + x > 1.0) c = min(c, (1.0 - l) / x);
        else if (l + x < 0.0) c = min(c, -l / x);
    }
    if (c < 1.0) d *= c;
    vec4 result = d + (l - luma(d));
    result.a = fg.a + bg.a;
    return result;
)"));
ApplyMode ApplyMode::sLuminosity(TESK_APPLY(R"(
    float lf = luma(fg), lb = luma(bg);
    if (lf <= 0.0) return vec4(0.0);
    if (lb <= 0.0) {
        float l = clamp(lf, 0.0, 1.0);
        return vec4(l, l, l, fg.a);
    }
    vec4 result = clamp(bg * lf / lb, 0.0, 1.0);
    result.a = bg.a;
    return result;
)"));
ApplyMode ApplyMode::sTransparency(TESK_APPLY("    return vec4(bg.rgb, max(0.0, bg.a - fg.a));\n"));
ApplyMode ApplyMode::sOpacity(TESK_APPLY("    return vec4(bg.rgb, min(1.0, bg.a + fg.a));\n"));
ApplyMode ApplyMode::sMoreGray(TESK_APPLY(R"(
    vec3 nearer = vec3(lessThan(abs(0.5 - bg.rgb), abs(0.5 - fg.rgb)));
    return vec4(mix(fg.rgb, bg.rgb, nearer), bg.a);
)"));
ApplyMode ApplyMode::sLeastGray(TESK_APPLY(R"(
    vec3 farther = vec3(greaterThan(abs(0.5 - bg.rgb), abs(0.5 - fg.rgb)));
    return vec4(mix(fg.rgb, bg.rgb, farther), bg.a);
)"));
ApplyMode ApplyMode::sReverseSubtract(kReverseSubtract);
ApplyMode ApplyMode::sClippedSubtract(kFront);
ApplyMode ApplyMode::sLessGray(kFront);
ApplyMode ApplyMode::sMostGray(kFront);
ApplyMode ApplyMode::sBoostExponential1(kFront);
ApplyMode ApplyMode::sBoostExponential2(kFront);
ApplyMode ApplyMode::sBoostEqualPowerPositive(kFront);
ApplyMode ApplyMode::sBoostEqualPowerNegative(kFront);
ApplyMode ApplyMode::sBoostEqualPowerBias1(kFront);
ApplyMode ApplyMode::s5050Mix(kFront);
ApplyMode ApplyMode::sDissolve(kFront);
ApplyMode ApplyMode::sDancingDissolve(kFront);
ApplyMode ApplyMode::sAlphaMask(kFront);
ApplyMode ApplyMode::sLumaMask(kFront);
ApplyMode ApplyMode::sInverseAlphaMask(kFront);
ApplyMode ApplyMode::sInverseLumaMask(kFront);
ApplyMode ApplyMode::sAddAlpha(kFront);
ApplyMode ApplyMode::sAddPremultiplied(kFront);
ApplyMode ApplyMode::sReverseSubtractBasic(kReverseSubtract);
ApplyMode ApplyMode::sBitwiseAND(kFront);
ApplyMode ApplyMode::sBitwiseOR(kFront);
ApplyMode ApplyMode::sBitwiseXOR(kFront);
ApplyMode ApplyMode::sSoftDissolve(TESK_APPLY(R"(
    if (bg.a + rand() >= 1.0001)
        return fg * fg.a + bg * (1.0 - fg.a);
    return fg;
)"));
ApplyMode ApplyMode::sDancingSoftDissolve(kFront);

#undef TESK_APPLY
#undef TESK_MAIN_HEAD

namespace {

struct NumberedMode {
    const char* name;
    ApplyMode* mode;
};

// In PixelApplyMode's order: the index is the value.
const NumberedMode kNumbered[kPixelApplyModeCount] = {
    {"Over", &ApplyMode::sOver},
    {"Lighten", &ApplyMode::sLighten},
    {"Darken", &ApplyMode::sDarken},
    {"Multiply", &ApplyMode::sMultiply},
    {"Screen", &ApplyMode::sScreen},
    {"Difference", &ApplyMode::sDifference},
    {"Lighter", &ApplyMode::sLighter},
    {"Darker", &ApplyMode::sDarker},
    {"ScaleMultiply", &ApplyMode::sScaleMultiply},
    {"ScaleScreen", &ApplyMode::sScaleScreen},
    {"ExpandDifference", &ApplyMode::sExpandDifference},
    {"ExpandDifference2", &ApplyMode::sExpandDifference2},
    {"Add", &ApplyMode::sAdd},
    {"Subtract", &ApplyMode::sSubtract},
    {"Overlay", &ApplyMode::sOverlay},
    {"SoftLight", &ApplyMode::sSoftLight},
    {"HardLight", &ApplyMode::sHardLight},
    {"Hue", &ApplyMode::sHue},
    {"Saturation", &ApplyMode::sSaturation},
    {"Color", &ApplyMode::sColor},
    {"Luminosity", &ApplyMode::sLuminosity},
    {"Transparency", &ApplyMode::sTransparency},
    {"Opacity", &ApplyMode::sOpacity},
    {"MoreGray", &ApplyMode::sMoreGray},
    {"LeastGray", &ApplyMode::sLeastGray},
    {"ReverseSubtract", &ApplyMode::sReverseSubtract},
    {"ClippedSubtract", &ApplyMode::sClippedSubtract},
    {"LessGray", &ApplyMode::sLessGray},
    {"MostGray", &ApplyMode::sMostGray},
    {"BoostExponential1", &ApplyMode::sBoostExponential1},
    {"BoostExponential2", &ApplyMode::sBoostExponential2},
    {"BoostEqualPowerPositive", &ApplyMode::sBoostEqualPowerPositive},
    {"BoostEqualPowerNegative", &ApplyMode::sBoostEqualPowerNegative},
    {"BoostEqualPowerBias1", &ApplyMode::sBoostEqualPowerBias1},
    {"Mix5050", &ApplyMode::s5050Mix},
    {"Dissolve", &ApplyMode::sDissolve},
    {"DancingDissolve", &ApplyMode::sDancingDissolve},
    {"AlphaMask", &ApplyMode::sAlphaMask},
    {"LumaMask", &ApplyMode::sLumaMask},
    {"InverseAlphaMask", &ApplyMode::sInverseAlphaMask},
    {"InverseLumaMask", &ApplyMode::sInverseLumaMask},
    {"AddAlpha", &ApplyMode::sAddAlpha},
    {"AddPremultiplied", &ApplyMode::sAddPremultiplied},
    {"ReverseSubtractBasic", &ApplyMode::sReverseSubtractBasic},
    {"BitwiseAND", &ApplyMode::sBitwiseAND},
    {"BitwiseOR", &ApplyMode::sBitwiseOR},
    {"BitwiseXOR", &ApplyMode::sBitwiseXOR},
    {"SoftDissolve", &ApplyMode::sSoftDissolve},
    {"DancingSoftDissolve", &ApplyMode::sDancingSoftDissolve},
};

bool IsNumbered(PixelApplyMode mode) {
    const int32_t value = static_cast<int32_t>(mode);
    return value >= 0 && value < kPixelApplyModeCount;
}

} // namespace

const char* PixelApplyModeName(PixelApplyMode mode) {
    return IsNumbered(mode) ? kNumbered[static_cast<int32_t>(mode)].name : nullptr;
}

ApplyMode::ApplyMode(const char* source)
    : fApply(GL_FRAGMENT_SHADER, source), fMain(nullptr), fNeedsShaders(true),
      fHasRandom(false), fRandom{0.0f, 0.0f} {}

void ApplyMode::Use(GLSL::Shader* main, const Texture& front, const Texture& back,
                    float mix) const {
    Push<TextureUnit> unit;
    // A texture's first Apply loads it, and loading may draw through unit 0 (a conversion pass)
    // and leave that unit's binding changed: both are loaded before the front is bound last.
    TextureUnit(0).Apply();
    front.Apply();
    TextureUnit(1).Apply();
    back.Apply();
    TextureUnit(0).Apply();
    front.Apply();
    if (!fMain) fMain = main;
    if (fNeedsShaders) {
        ApplyMode& self = const_cast<ApplyMode&>(*this);
        self.AddShader(&sMultiTexture);
        self.AddShader(fMain);
        self.AddShader(&fApply);
        fNeedsShaders = false;
    }
    EffectProgram::Apply();
    SetUniform("front", TextureUnit(0));
    SetUniform("back", TextureUnit(1));
    SetUniform("apply_mix", mix);
    if (fHasRandom) SetUniform("random", p2f(fRandom[0], fRandom[1]));
}

void ApplyMode::Apply(const Texture& front, const Texture& back, float mix) const {
    Use(&sMainFragment, front, back, mix);
}

void ApplyMode::ApplyLight(const Texture& front, const Texture& back, float mix) const {
    Use(&sMainLight, front, back, mix);
}

void ApplyMode::ApplyRandom(float x) const {
    fRandom[0] = std::cos(x) * 1920.0f;
    fRandom[1] = std::sin(x) * 1080.0f;
    fHasRandom = true;
    // Use writes the seed whenever it makes the program current. Written here only while it
    // already is: the uniform table outlives the task that filled it, and its location written
    // with no program current is GL_INVALID_OPERATION, with another one current lands in that
    // program's uniform.
    if (IsCurrent()) SetUniform("random", p2f(fRandom[0], fRandom[1]));
}

void ApplyMode::Apply(const Texture& front, const Texture& back, PixelApplyMode mode, float mix) {
    if (const ApplyMode* m = GetApplyMode(mode)) m->Apply(front, back, mix);
}

void ApplyMode::ApplyLight(const Texture& front, const Texture& back, PixelApplyMode mode,
                           float mix) {
    if (const ApplyMode* m = GetApplyMode(mode)) m->Apply(front, back, mix);
}

ApplyMode* ApplyMode::GetApplyMode(PixelApplyMode mode) {
    if (!IsNumbered(mode)) return nullptr;
    if (mode == PixelApplyMode::SoftDissolve) sSoftDissolve.ApplyRandom(0.0f);
    return kNumbered[static_cast<int32_t>(mode)].mode;
}

void ApplyMode::Compile() {
    try {
        fApply.Initialize();
    } catch (const std::exception&) {
        // Apply reports the failure when the program will not link.
    }
}

void ApplyMode::ApplyOnWorker(const XIImage* front, const XIImage* back, const XIImage* mask,
                              XIImage* destination, PixelApplyMode mode, float mix) {
    if (Dispatch(&ApplyMode::ApplyOnWorker, front, back, mask, destination, mode, mix)) return;
    // Between 8-bit images the blend is rounded to 8 bits once, on the way into the target. An
    // image left out counts as 8-bit, so that it gives what a transparent 8-bit one gives.
    const bool bytes = (!IsValid(front) || IsByteImage(front)) && IsByteImage(destination) &&
                       (!IsValid(back) || IsByteImage(back)) &&
                       (!IsValid(mask) || IsByteImage(mask));
    SubImageTexture frontTexture, backTexture;
    if (bytes) frontTexture.UseByteTexels(), backTexture.UseByteTexels();
    frontTexture.SetImage(front);
    if (IsValid(mask)) frontTexture.SetMask(mask);
    if (IsValid(back)) backTexture.SetImage(back);
    ApplyMode* program = GetApplyMode(mode);
    if (program) program->Compile();
    {
        TiledBuffer tiled(destination);
        if (bytes) tiled.UseByteTarget();
        tiled.ReleaseBeforeRender(frontTexture);
        tiled.ReleaseBeforeRender(backTexture);
        while (tiled.Next()) {
            const Region tile = tiled.GetCurrentTile();
            frontTexture.SetRegion(tile);
            backTexture.SetRegion(tile);
            Push<State> saved;
            // The program writes every pixel of the tile: no blending, which on llvmpipe would
            // still read the target.
            BlendFunc::Overwrite().Apply();
            DepthFunc::Always.Apply();
            if (program) program->Apply(frontTexture, backTexture, mix);
            EffectProgram::DrawRegion(tile, GL_TEXTURE1);
        }
    }
    frontTexture.Finalize();
    backTexture.Finalize();
}

void ApplyMode::Apply(const XIImage* front, const XIImage* back, const XIImage* mask,
                      XIImage* destination, PixelApplyMode mode, float mix) {
    // A front, back or mask that cannot be used is transparent, and the blend runs: Over then
    // gives the back. Only a destination that cannot be written stops the call, since leaving
    // it as it was would hand the host stale pixels as if they were the result.
    if (!Prologue({{destination, "destination image"}})) return;
    ApplyOnWorker(front, back, mask, destination, mode, mix);
}

void ApplyMode::Finalize() {
    EffectProgram::Finalize();
    // The program forgets its shaders; the next Apply adds them again, with the same main().
    fNeedsShaders = true;
}

} // namespace OGL_TESK_AE
