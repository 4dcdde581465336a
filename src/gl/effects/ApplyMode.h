#pragma once

#include "common/Export.h"
#include "common/XIImage.h"
#include "gl/effects/EffectProgram.h"
#include "gl/effects/GLSL.h"

#include <cstdint>

namespace OGL_TESK_AE {

class Texture;

// The blend modes the image operation selects by number. Values outside 0...48 select no mode:
// the operation then draws each tile without a blend program and without binding the front or
// back, which leaves the current colour (opaque white) over the whole destination.
enum class PixelApplyMode : int32_t {
    Over = 0,
    Lighten = 1,
    Darken = 2,
    Multiply = 3,
    Screen = 4,
    Difference = 5,
    Lighter = 6,
    Darker = 7,
    ScaleMultiply = 8,
    ScaleScreen = 9,
    ExpandDifference = 10,
    ExpandDifference2 = 11,
    Add = 12,
    Subtract = 13,
    Overlay = 14,
    SoftLight = 15,
    HardLight = 16,
    Hue = 17,
    Saturation = 18,
    Color = 19,
    Luminosity = 20,
    Transparency = 21,
    Opacity = 22,
    MoreGray = 23,
    LeastGray = 24,
    ReverseSubtract = 25,
    ClippedSubtract = 26,
    LessGray = 27,
    MostGray = 28,
    BoostExponential1 = 29,
    BoostExponential2 = 30,
    BoostEqualPowerPositive = 31,
    BoostEqualPowerNegative = 32,
    BoostEqualPowerBias1 = 33,
    Mix5050 = 34,
    Dissolve = 35,
    DancingDissolve = 36,
    AlphaMask = 37,
    LumaMask = 38,
    InverseAlphaMask = 39,
    InverseLumaMask = 40,
    AddAlpha = 41,
    AddPremultiplied = 42,
    ReverseSubtractBasic = 43,
    BitwiseAND = 44,
    BitwiseOR = 45,
    BitwiseXOR = 46,
    SoftDissolve = 47,
    DancingSoftDissolve = 48,
};

// How many modes PixelApplyMode numbers (0 to kPixelApplyModeCount - 1).
constexpr int32_t kPixelApplyModeCount = 49;

// The enumerator's name ("Over", "SoftDissolve", ...); null outside 0...48.
TESK_API const char* PixelApplyModeName(PixelApplyMode mode);

// A GLSL blend mode: a shared main() samples the front (unit 0) and the back (unit 1),
// premultiplies both, calls the mode's vec4 apply(vec4 fg, vec4 bg), clamps, mixes with the
// back by apply_mix and unpremultiplies. The mode objects are static; each compiles and links
// on its first use and keeps its program for the life of the library.
class TESK_API ApplyMode : public EffectProgram {
public:
    // source holds the mode's apply(); no OpenGL call.
    explicit ApplyMode(const char* source);

    // Makes the program current with the front on unit 0 and the back on unit 1; the caller
    // draws. The first of Apply and ApplyLight called on an object fixes its main() for the
    // object's life.
    void Apply(const Texture& front, const Texture& back, float mix) const;
    // The same with the front taken as light: its alpha is its brightest channel, and it lights
    // the back where that is above zero.
    void ApplyLight(const Texture& front, const Texture& back, float mix) const;
    // Seeds rand(): random = (cos x * 1920, sin x * 1080). The value is kept and written again
    // each time the program is made current, so it holds from the next draw on.
    void ApplyRandom(float x) const;

    // The numbered mode's instance Apply; nothing outside 0...48.
    static void Apply(const Texture& front, const Texture& back, PixelApplyMode mode, float mix);
    // Runs the instance Apply as well (not ApplyLight): the numbered modes all blend as surfaces.
    static void ApplyLight(const Texture& front, const Texture& back, PixelApplyMode mode,
                           float mix);

    // front blended over back by mode into destination, at amount mix (0 keeps the back, 1 the
    // full mode). The mask's alpha multiplies the front's; an invalid front, back or mask is
    // left out (a front left out is a transparent one: Over gives the back). The destination may
    // be the back itself: each pixel of the back is read before it is written. Marshalled to the
    // worker; an invalid destination returns at once.
    static void Apply(const XIImage* front, const XIImage* back, const XIImage* mask,
                      XIImage* destination, PixelApplyMode mode, float mix);

    // fg and bg are premultiplied; where a row says nothing of alpha, the formula holds for all
    // four components.
    static ApplyMode sNone;              // (0, 0, 0, 0)
    static ApplyMode sCopy;              // fg
    static ApplyMode sFront;             // fg
    static ApplyMode sBack;              // bg
    static ApplyMode sOver;              // fg.rgb fg.a + bg.rgb (1 - fg.a), fg.a + bg.a
    static ApplyMode sUnder;             // bg.rgb bg.a + fg.rgb (1 - bg.a), fg.a + bg.a
    static ApplyMode sLighten;           // max(f, b), fg.a
    static ApplyMode sDarken;            // min(f, b), fg.a
    static ApplyMode sMultiply;          // fg bg
    static ApplyMode sScreen;            // f + b (1 - f), fg.a
    static ApplyMode sDifference;        // |f - b|, fg.a
    static ApplyMode sLighter;           // the one of higher luma (bg on a tie)
    static ApplyMode sDarker;            // the one of lower luma (bg on a tie)
    static ApplyMode sScaleMultiply;     // 4 f b, fg.a
    static ApplyMode sScaleScreen;       // 2 screen - 1, fg.a
    static ApplyMode sExpandDifference;  // 2 |f - b|, fg.a
    static ApplyMode sExpandDifference2; // 4 |f - b|, fg.a
    static ApplyMode sAdd;               // fg + bg
    static ApplyMode sSubtract;          // b - f, fg.a
    static ApplyMode sOverlay;           // multiply below f = 0.5, scaled screen above
    static ApplyMode sSoftLight;         // f + (b - 0.5)(1 - f) 2 f
    static ApplyMode sHardLight;         // towards multiply or screen as b leaves 0.5
    static ApplyMode sHue;               // bg's chroma at fg's luma
    static ApplyMode sSaturation;        // fg's chroma scaled to bg's saturation
    static ApplyMode sColor;             // bg's chroma at fg's luma, clipped into 0...1
    static ApplyMode sLuminosity;        // bg scaled to fg's luma
    static ApplyMode sTransparency;      // bg.rgb, max(0, bg.a - fg.a)
    static ApplyMode sOpacity;           // bg.rgb, min(1, bg.a + fg.a)
    static ApplyMode sMoreGray;          // per channel the one nearer 0.5 (fg on a tie), bg.a
    static ApplyMode sLeastGray;         // per channel the one farther from 0.5 (fg on a tie)
    static ApplyMode sReverseSubtract;   // f - b where f >= b, else 0; fg.a + bg.a
    static ApplyMode sClippedSubtract;   // fg (no formula of its own, as the rest to 48)
    static ApplyMode sLessGray;
    static ApplyMode sMostGray;
    static ApplyMode sBoostExponential1;
    static ApplyMode sBoostExponential2;
    static ApplyMode sBoostEqualPowerPositive;
    static ApplyMode sBoostEqualPowerNegative;
    static ApplyMode sBoostEqualPowerBias1;
    static ApplyMode s5050Mix;
    static ApplyMode sDissolve;
    static ApplyMode sDancingDissolve;
    static ApplyMode sAlphaMask;
    static ApplyMode sLumaMask;
    static ApplyMode sInverseAlphaMask;
    static ApplyMode sInverseLumaMask;
    static ApplyMode sAddAlpha;
    static ApplyMode sAddPremultiplied;
    static ApplyMode sReverseSubtractBasic; // as sReverseSubtract
    static ApplyMode sBitwiseAND;
    static ApplyMode sBitwiseOR;
    static ApplyMode sBitwiseXOR;
    static ApplyMode sSoftDissolve; // over where bg.a + rand() >= 1.0001, else fg
    static ApplyMode sDancingSoftDissolve;

    // Forgets the shaders with the program; the next Apply adds them again.
    void Finalize() override;

    // The main() functions: the surface blend and the light blend.
    static GLSL::Shader sMainFragment;
    static GLSL::Shader sMainLight;

private:
    void Use(GLSL::Shader* main, const Texture& front, const Texture& back, float mix) const;
    // The numbered mode (value 47 reseeds sSoftDissolve with ApplyRandom(0) first); null outside
    // 0...48.
    static ApplyMode* GetApplyMode(PixelApplyMode mode);
    // Compiles the apply shader now; a failure is left for Apply to report.
    void Compile();
    // The image blend once its destination has been checked, marshalled to the worker.
    static void ApplyOnWorker(const XIImage* front, const XIImage* back, const XIImage* mask,
                              XIImage* destination, PixelApplyMode mode, float mix);

    mutable GLSL::Shader fApply;
    // The main() the first Apply or ApplyLight chose.
    mutable GLSL::Shader* fMain;
    mutable bool fNeedsShaders;
    mutable bool fHasRandom;
    mutable float fRandom[2];
};

} // namespace OGL_TESK_AE
