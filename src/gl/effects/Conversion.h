#pragma once

#include "common/Export.h"
#include "gl/effects/EffectProgram.h"

class XIImage;

namespace OGL_TESK_AE {

class Texture;

// The pass that moves pixels between a host layout and the RGBA textures: a swizzle main()
// that samples unit 0, rescales by the white level and clamps, linked with one process()
// fragment from the catalogue below. The program is relinked only when the pair of shaders
// changes.
//
// A copy takes the pair, the texture, the scale and the changed flag; like any effect program
// it starts without a program object of its own.
class TESK_API Conversion : public EffectProgram {
public:
    Conversion();
    Conversion(const Conversion& other);
    Conversion& operator=(const Conversion& other);
    ~Conversion() override;

    // The swizzle main(); null stands for sNoSwizzle. A different pointer drops the program.
    void SetConversion(GLSL::Shader* conversion);
    // The process() fragment; null stands for sNoProcess. A different pointer drops the program.
    void SetProcessing(GLSL::Shader* processing);
    // Sampled by the next Apply only. Without one, whatever is bound on unit 0 is sampled.
    void SetTexture(const Texture* texture);
    // The white-level factor: applied before processing when loading, after it when reading.
    void SetScale(float scale);

    // Makes the program current with its scale and texture; the caller draws the quad.
    void Apply() const;

    // Also makes the next Apply add the pair of shaders again, so a conversion keeps working
    // after every OpenGL object has been released.
    void Finalize() override;

    GLSL::Shader* GetConversion() const { return fConversion; }
    GLSL::Shader* GetProcessing() const { return fProcessing; }
    float GetScale() const { return fScale; }

    // Swizzle mains. Loading: t in host order becomes RGBA, f = clamp(swizzled t * scale, 0, 1),
    // output clamp(process(f), 0, 1). Reading: f = clamp(t, 0, 1),
    // clamp(process(f) * scale, 0, scale) put into host order. sNoSwizzle keeps the order and
    // clamps process(f) * scale to [0, 1].
    static GLSL::Shader sFromARGB;
    static GLSL::Shader sFromBGRA;
    static GLSL::Shader sToARGB;
    static GLSL::Shader sToBGRA;
    static GLSL::Shader sNoSwizzle;

    // Processing fragments; L is luma(f) = 0.30 r + 0.59 g + 0.11 b.
    static GLSL::Shader sNoProcess;                // f
    static GLSL::Shader sPremultiply;              // (rgb * a, a)
    static GLSL::Shader sUnpremultiply;            // (rgb / a, a) when a > 0.001, else f
    static GLSL::Shader sInvertColor;              // (1 - rgb, a)
    static GLSL::Shader sCopyAlpha;                // (1, 1, 1, a)
    static GLSL::Shader sCopyInvAlpha;             // (1, 1, 1, 1 - a)
    static GLSL::Shader sCopyLuma;                 // (1, 1, 1, L)
    static GLSL::Shader sCopyInvLuma;              // (1, 1, 1, 1 - L)
    static GLSL::Shader sCopyLumaSaveColor;        // (rgb, L)
    static GLSL::Shader sCopyAlphaPremult;         // (a, a, a, a)
    static GLSL::Shader sCopyLumaPremult;          // (L, L, L, L)
    static GLSL::Shader sCopyInvLumaPremult;       // (1 - L) in all four
    static GLSL::Shader sCopyLumaSaveColorPremult; // (rgb * L, L)
    static GLSL::Shader sAdditiveColor;            // i = max(r, g, b, a): (rgb / i, i) if i > 0

private:
    // Drops the program when the pointer changes.
    void Replace(GLSL::Shader*& slot, GLSL::Shader* shader);

    GLSL::Shader* fConversion;
    GLSL::Shader* fProcessing;
    mutable const Texture* fTexture;
    float fScale;
    mutable bool fChanged;
};

// Whether moving the image to or from a texture of this format and type needs a conversion
// pass. Only RGBA, BGRA, alpha, luminance and depth pixels of 16-bit, half-float or float
// channels are ever converted; everything else answers false. Never throws.
TESK_API bool NeedToConvert(const XIImage* image, unsigned int format, unsigned int type);

// The swizzle main that loads the image's channel order into RGBA: sFromARGB for colour space
// 32, sFromBGRA for "BGRA", null when no swizzle is needed (or for a null image).
TESK_API GLSL::Shader* LoadSwizzleFor(const XIImage* image);
// The swizzle main that reads RGBA back into the image's order: sToARGB, sToBGRA or null.
TESK_API GLSL::Shader* ReadSwizzleFor(const XIImage* image);

} // namespace OGL_TESK_AE
