#include "gl/effects/Conversion.h"

#include "common/XIImage.h"
#include "gl/state/TextureState.h"
#include "gl/texture/TextureFormat.h"

#include <GL/gl.h>
#include <GL/glext.h>

namespace OGL_TESK_AE {

namespace {

using ColorSpaceCode::kARGB;
using ColorSpaceCode::kBGRA;

#define TESK_SWIZZLE_HEADER                                                                        \
    "#version 110\n"                                                                               \
    "#extension GL_ARB_texture_rectangle : enable\n"                                               \
    "uniform sampler2DRect texture;\n"                                                             \
    "uniform float scale;\n"                                                                       \
    "vec4 process( vec4 fragment );\n"

#define TESK_LUMA_DECLARATION "float luma( vec4 pixel );\n"

} // namespace

// ---- Swizzle mains ----

GLSL::Shader Conversion::sFromARGB(GL_FRAGMENT_SHADER, TESK_SWIZZLE_HEADER R"(
void main()
{
    vec4 t = texture2DRect(texture, gl_TexCoord[0].st);
    vec4 f = clamp(t.gbar * scale, 0.0, 1.0);
    gl_FragColor = clamp(process(f), 0.0, 1.0);
}
)");

GLSL::Shader Conversion::sFromBGRA(GL_FRAGMENT_SHADER, TESK_SWIZZLE_HEADER R"(
void main()
{
    vec4 t = texture2DRect(texture, gl_TexCoord[0].st);
    vec4 f = clamp(t.bgra * scale, 0.0, 1.0);
    gl_FragColor = clamp(process(f), 0.0, 1.0);
}
)");

GLSL::Shader Conversion::sToARGB(GL_FRAGMENT_SHADER, TESK_SWIZZLE_HEADER R"(
void main()
{
    vec4 f = clamp(texture2DRect(texture, gl_TexCoord[0].st), 0.0, 1.0);
    f = clamp(process(f) * scale, 0.0, scale);
    gl_FragColor = f.argb;
}
)");

GLSL::Shader Conversion::sToBGRA(GL_FRAGMENT_SHADER, TESK_SWIZZLE_HEADER R"(
void main()
{
    vec4 f = clamp(texture2DRect(texture, gl_TexCoord[0].st), 0.0, 1.0);
    f = clamp(process(f) * scale, 0.0, scale);
    gl_FragColor = f.bgra;
}
)");

GLSL::Shader Conversion::sNoSwizzle(GL_FRAGMENT_SHADER, TESK_SWIZZLE_HEADER R"(
void main()
{
    vec4 f = clamp(texture2DRect(texture, gl_TexCoord[0].st), 0.0, 1.0);
    gl_FragColor = clamp(process(f) * scale, 0.0, 1.0);
}
)");

// ---- Processing fragments ----

GLSL::Shader Conversion::sNoProcess(GL_FRAGMENT_SHADER, R"(#version 110
vec4 process( vec4 fragment ) { return fragment; }
)");

GLSL::Shader Conversion::sPremultiply(GL_FRAGMENT_SHADER, R"(#version 110
vec4 process( vec4 fragment ) { return vec4(fragment.rgb * fragment.a, fragment.a); }
)");

// Alpha at or below 0.001 is left alone: dividing by it would only amplify noise.
GLSL::Shader Conversion::sUnpremultiply(GL_FRAGMENT_SHADER, R"(#version 110
vec4 process( vec4 fragment ) { vec4 result = fragment; if( result.a > 0.001) result.rgb = result.rgb / result.a; return result; }
)");

GLSL::Shader Conversion::sInvertColor(GL_FRAGMENT_SHADER, R"(#version 110
vec4 process( vec4 fragment ) { return vec4(1.0 - fragment.rgb, fragment.a); }
)");

GLSL::Shader Conversion::sCopyAlpha(GL_FRAGMENT_SHADER, R"(#version 110
vec4 process( vec4 fragment ) { return vec4(1.0, 1.0, 1.0, fragment.a); }
)");

GLSL::Shader Conversion::sCopyInvAlpha(GL_FRAGMENT_SHADER, R"(#version 110
vec4 process( vec4 fragment ) { return vec4(1.0, 1.0, 1.0, 1.0 - fragment.a); }
)");

GLSL::Shader Conversion::sCopyLuma(GL_FRAGMENT_SHADER, "#version 110\n" TESK_LUMA_DECLARATION R"(
vec4 process( vec4 fragment ) { return vec4(1.0, 1.0, 1.0, luma(fragment)); }
)");

GLSL::Shader Conversion::sCopyInvLuma(GL_FRAGMENT_SHADER, "#version 110\n" TESK_LUMA_DECLARATION R"(
vec4 process( vec4 fragment ) { return vec4(1.0, 1.0, 1.0, 1.0 - luma(fragment)); }
)");

GLSL::Shader Conversion::sCopyLumaSaveColor(GL_FRAGMENT_SHADER,
                                            "#version 110\n" TESK_LUMA_DECLARATION R"(
vec4 process( vec4 fragment ) { return vec4(fragment.rgb, luma(fragment)); }
)");

GLSL::Shader Conversion::sCopyAlphaPremult(GL_FRAGMENT_SHADER, R"(#version 110
vec4 process( vec4 fragment ) { return vec4(fragment.a); }
)");

GLSL::Shader Conversion::sCopyLumaPremult(GL_FRAGMENT_SHADER,
                                          "#version 110\n" TESK_LUMA_DECLARATION R"(
vec4 process( vec4 fragment ) { return vec4(luma(fragment)); }
)");

GLSL::Shader Conversion::sCopyInvLumaPremult(GL_FRAGMENT_SHADER,
                                             "#version 110\n" TESK_LUMA_DECLARATION R"(
vec4 process( vec4 fragment ) { return vec4(1.0 - luma(fragment)); }
)");

GLSL::Shader Conversion::sCopyLumaSaveColorPremult(GL_FRAGMENT_SHADER,
                                                   "#version 110\n" TESK_LUMA_DECLARATION R"(
vec4 process( vec4 fragment ) { float l = luma(fragment); return vec4(fragment.rgb * l, l); }
)");

// Light that was added onto black: the brightest channel (alpha included) becomes the coverage
// and the colour is stretched to full intensity under it.
GLSL::Shader Conversion::sAdditiveColor(GL_FRAGMENT_SHADER, R"(#version 110
vec4 process( vec4 fragment )
{
    float i = max(max(fragment.r, fragment.g), max(fragment.b, fragment.a));
    if (i > 0.0)
        return vec4(fragment.rgb / i, i);
    return fragment;
}
)");

#undef TESK_SWIZZLE_HEADER
#undef TESK_LUMA_DECLARATION

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
