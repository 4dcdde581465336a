#include "gl/effects/Conversion.h"

#include "common/XIImage.h"
#include "gl/state/TextureState.h"
#include "gl/texture/TextureFormat.h"
#include "GlslSources.h" // glsl::<name>, made from the glsl/ folders at build time

#include <GL/gl.h>
#include <GL/glext.h>

namespace OGL_TESK_AE {

namespace {

using ColorSpaceCode::kARGB;
using ColorSpaceCode::kBGRA;

} // namespace

// ---- Swizzle mains ----

GLSL::Shader Conversion::sFromARGB(GL_FRAGMENT_SHADER, glsl::conversion_from_argb);

GLSL::Shader Conversion::sFromBGRA(GL_FRAGMENT_SHADER, glsl::conversion_from_bgra);

GLSL::Shader Conversion::sToARGB(GL_FRAGMENT_SHADER, glsl::conversion_to_argb);

GLSL::Shader Conversion::sToBGRA(GL_FRAGMENT_SHADER, glsl::conversion_to_bgra);

GLSL::Shader Conversion::sNoSwizzle(GL_FRAGMENT_SHADER, glsl::conversion_no_swizzle);

// ---- Processing fragments ----

GLSL::Shader Conversion::sNoProcess(GL_FRAGMENT_SHADER, glsl::conversion_no_process);

GLSL::Shader Conversion::sPremultiply(GL_FRAGMENT_SHADER, glsl::conversion_premultiply);

// Alpha at or below 0.001 is left alone: dividing by it would only amplify noise.
GLSL::Shader Conversion::sUnpremultiply(GL_FRAGMENT_SHADER, glsl::conversion_unpremultiply);

GLSL::Shader Conversion::sInvertColor(GL_FRAGMENT_SHADER, glsl::conversion_invert_color);

GLSL::Shader Conversion::sCopyAlpha(GL_FRAGMENT_SHADER, glsl::conversion_copy_alpha);

GLSL::Shader Conversion::sCopyInvAlpha(GL_FRAGMENT_SHADER, glsl::conversion_copy_inv_alpha);

GLSL::Shader Conversion::sCopyLuma(GL_FRAGMENT_SHADER, glsl::conversion_copy_luma);

GLSL::Shader Conversion::sCopyInvLuma(GL_FRAGMENT_SHADER, glsl::conversion_copy_inv_luma);

GLSL::Shader Conversion::sCopyLumaSaveColor(GL_FRAGMENT_SHADER,
                                            glsl::conversion_copy_luma_save_color);

GLSL::Shader Conversion::sCopyAlphaPremult(GL_FRAGMENT_SHADER, glsl::conversion_copy_alpha_premult);

GLSL::Shader Conversion::sCopyLumaPremult(GL_FRAGMENT_SHADER, glsl::conversion_copy_luma_premult);

GLSL::Shader Conversion::sCopyInvLumaPremult(GL_FRAGMENT_SHADER,
                                             glsl::conversion_copy_inv_luma_premult);

GLSL::Shader Conversion::sCopyLumaSaveColorPremult(GL_FRAGMENT_SHADER,
                                                   glsl::conversion_copy_luma_save_color_premult);

// Light that was added onto black: the brightest channel (alpha included) becomes the coverage
// and the colour is stretched to full intensity under it.
GLSL::Shader Conversion::sAdditiveColor(GL_FRAGMENT_SHADER, glsl::conversion_additive_color);

// ---- Conversion ----

Conversion::Conversion()
    : fConversion(nullptr), fProcessing(nullptr), fTexture(nullptr), fScale(1.0f), fChanged(true) {}

Conversion::Conversion(const Conversion& other)
    : EffectProgram(other), fConversion(other.fConversion), fProcessing(other.fProcessing),
      fTexture(other.fTexture), fScale(other.fScale), fChanged(other.fChanged) {}

Conversion& Conversion::operator=(const Conversion& other) {
    if (this == &other) return *this;
    EffectProgram::operator=(other);
    fConversion = other.fConversion;
    fProcessing = other.fProcessing;
    fTexture = other.fTexture;
    fScale = other.fScale;
    fChanged = other.fChanged;
    return *this;
}

Conversion::~Conversion() = default;

void Conversion::Replace(GLSL::Shader*& slot, GLSL::Shader* shader) {
    if (slot == shader) return;
    Finalize();
    slot = shader;
    fChanged = true;
}

void Conversion::SetConversion(GLSL::Shader* conversion) {
    Replace(fConversion, conversion);
}

void Conversion::SetProcessing(GLSL::Shader* processing) {
    Replace(fProcessing, processing);
}

void Conversion::SetTexture(const Texture* texture) {
    fTexture = texture;
}

void Conversion::SetScale(float scale) {
    fScale = scale;
}

void Conversion::Finalize() {
    EffectProgram::Finalize();
    fChanged = true;
}

void Conversion::Apply() const {
    if (fChanged) {
        AppendShader(fConversion ? fConversion : &sNoSwizzle);
        AppendShader(fProcessing ? fProcessing : &sNoProcess);
        fChanged = false;
    }
    EffectProgram::Apply();
    SetUniform("scale", fScale);
    if (fTexture) {
        const Texture* texture = fTexture;
        fTexture = nullptr;
        SetUniform("texture", TextureUnit(0, *texture));
    }
}

// ---- Format decisions ----

namespace {

bool IsSingleChannel(GLenum format) {
    return format == GL_ALPHA || format == GL_LUMINANCE || format == GL_DEPTH_COMPONENT;
}

int ChannelCount(GLenum format) {
    switch (format) {
    case GL_ALPHA:
    case GL_LUMINANCE:
    case GL_DEPTH_COMPONENT:
        return 1;
    case GL_RGB:
    case GL_BGR:
        return 3;
    default:
        return 4;
    }
}

} // namespace

bool NeedToConvert(const XIImage* image, unsigned int format, unsigned int type) {
    if (!image) return false;
    const bool knownFormat = format == GL_RGBA || format == GL_BGRA || IsSingleChannel(format);
    const bool knownType =
        type == GL_UNSIGNED_SHORT || type == GL_FLOAT || type == GL_HALF_FLOAT_ARB;
    if (!knownFormat || !knownType) return false;
    // ARGB words are only native at 8 bits per channel, where a packed type reorders them.
    if (image->GetColorSpace() == kARGB) return image->GetBitDepth() != 32;
    if (!IsValid(image)) return true;

    GLenum nativeFormat = GL_RGBA, nativeType = 0;
    float whiteScale = 1.0f;
    GetColorSpaceFormat(image, nativeFormat, nativeType, whiteScale);

    GLenum targetType = type;
    if (IsSingleChannel(format)) {
        // The channel type a texture of that format keeps; when the format names none, the one
        // of the image's channel size.
        GLenum ignored = 0;
        targetType = 0;
        GetColorSpaceFormat(static_cast<GLenum>(format), ignored, targetType);
        if (targetType == 0) {
            const int bytes = image->GetBitDepth() / (8 * ChannelCount(nativeFormat));
            targetType = bytes <= 1 ? GL_UNSIGNED_BYTE : GL_UNSIGNED_SHORT;
        }
    }
    const bool scaled = whiteScale != 1.0f;
    if (nativeFormat == GL_LUMINANCE || nativeFormat == GL_ALPHA)
        return nativeType != targetType || scaled;
    return nativeFormat != format || nativeType != targetType || scaled;
}

GLSL::Shader* LoadSwizzleFor(const XIImage* image) {
    if (!image) return nullptr;
    const int32_t colorSpace = image->GetColorSpace();
    if (colorSpace == kARGB) return &Conversion::sFromARGB;
    if (colorSpace == kBGRA) return &Conversion::sFromBGRA;
    return nullptr;
}

GLSL::Shader* ReadSwizzleFor(const XIImage* image) {
    if (!image) return nullptr;
    const int32_t colorSpace = image->GetColorSpace();
    if (colorSpace == kARGB) return &Conversion::sToARGB;
    if (colorSpace == kBGRA) return &Conversion::sToBGRA;
    return nullptr;
}

} // namespace OGL_TESK_AE
