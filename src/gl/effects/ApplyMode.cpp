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
#include "GlslSources.h" // glsl::<name>, made from the glsl/ folders at build time

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <exception>
#include <string>

namespace OGL_TESK_AE {

// Each mode's shader is its apply() (glsl/modes/), after the declarations of the common
// functions it may call (glsl/modes/prelude.glsl); modes without a formula of their own share
// glsl/modes/front.glsl. Both main() functions (main_fragment, main_light) sample the two
// textures and call the mode's apply().

GLSL::Shader ApplyMode::sMainFragment(GL_FRAGMENT_SHADER, glsl::modes_main_fragment);
GLSL::Shader ApplyMode::sMainLight(GL_FRAGMENT_SHADER, glsl::modes_main_light);

ApplyMode ApplyMode::sNone(glsl::modes_none);
ApplyMode ApplyMode::sCopy(glsl::modes_front);
ApplyMode ApplyMode::sFront(glsl::modes_front);
ApplyMode ApplyMode::sBack(glsl::modes_back);
ApplyMode ApplyMode::sOver(glsl::modes_over);
ApplyMode ApplyMode::sUnder(glsl::modes_under);
ApplyMode ApplyMode::sLighten(glsl::modes_lighten);
ApplyMode ApplyMode::sDarken(glsl::modes_darken);
ApplyMode ApplyMode::sMultiply(glsl::modes_multiply);
ApplyMode ApplyMode::sScreen(glsl::modes_screen);
ApplyMode ApplyMode::sDifference(glsl::modes_difference);
ApplyMode ApplyMode::sLighter(glsl::modes_lighter);
ApplyMode ApplyMode::sDarker(glsl::modes_darker);
ApplyMode ApplyMode::sScaleMultiply(glsl::modes_scale_multiply);
ApplyMode ApplyMode::sScaleScreen(glsl::modes_scale_screen);
ApplyMode ApplyMode::sExpandDifference(glsl::modes_expand_difference);
ApplyMode ApplyMode::sExpandDifference2(glsl::modes_expand_difference2);
ApplyMode ApplyMode::sAdd(glsl::modes_add);
ApplyMode ApplyMode::sSubtract(glsl::modes_subtract);
ApplyMode ApplyMode::sOverlay(glsl::modes_overlay);
ApplyMode ApplyMode::sSoftLight(glsl::modes_soft_light);
ApplyMode ApplyMode::sHardLight(glsl::modes_hard_light);
// The back's chroma, scaled to the front's saturation but kept inside 0...1 above the front's
// luma, moved to the front's luma.
ApplyMode ApplyMode::sHue(glsl::modes_hue);
ApplyMode ApplyMode::sSaturation(glsl::modes_saturation);
ApplyMode ApplyMode::sColor(glsl::modes_color);
ApplyMode ApplyMode::sLuminosity(glsl::modes_luminosity);
ApplyMode ApplyMode::sTransparency(glsl::modes_transparency);
ApplyMode ApplyMode::sOpacity(glsl::modes_opacity);
ApplyMode ApplyMode::sMoreGray(glsl::modes_more_gray);
ApplyMode ApplyMode::sLeastGray(glsl::modes_least_gray);
ApplyMode ApplyMode::sReverseSubtract(glsl::modes_reverse_subtract);
ApplyMode ApplyMode::sClippedSubtract(glsl::modes_front);
ApplyMode ApplyMode::sLessGray(glsl::modes_front);
ApplyMode ApplyMode::sMostGray(glsl::modes_front);
ApplyMode ApplyMode::sBoostExponential1(glsl::modes_front);
ApplyMode ApplyMode::sBoostExponential2(glsl::modes_front);
ApplyMode ApplyMode::sBoostEqualPowerPositive(glsl::modes_front);
ApplyMode ApplyMode::sBoostEqualPowerNegative(glsl::modes_front);
ApplyMode ApplyMode::sBoostEqualPowerBias1(glsl::modes_front);
ApplyMode ApplyMode::s5050Mix(glsl::modes_front);
ApplyMode ApplyMode::sDissolve(glsl::modes_front);
ApplyMode ApplyMode::sDancingDissolve(glsl::modes_front);
ApplyMode ApplyMode::sAlphaMask(glsl::modes_front);
ApplyMode ApplyMode::sLumaMask(glsl::modes_front);
ApplyMode ApplyMode::sInverseAlphaMask(glsl::modes_front);
ApplyMode ApplyMode::sInverseLumaMask(glsl::modes_front);
ApplyMode ApplyMode::sAddAlpha(glsl::modes_front);
ApplyMode ApplyMode::sAddPremultiplied(glsl::modes_front);
ApplyMode ApplyMode::sReverseSubtractBasic(glsl::modes_reverse_subtract);
ApplyMode ApplyMode::sBitwiseAND(glsl::modes_front);
ApplyMode ApplyMode::sBitwiseOR(glsl::modes_front);
ApplyMode ApplyMode::sBitwiseXOR(glsl::modes_front);
ApplyMode ApplyMode::sSoftDissolve(glsl::modes_soft_dissolve);
ApplyMode ApplyMode::sDancingSoftDissolve(glsl::modes_front);

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
