#pragma once

#include "common/Export.h"
#include "gl/state/Push.h"
#include "math/Color.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

// Blend factors and the GL_BLEND switch. The factor order is srcRGB, dstRGB, srcAlpha, dstAlpha.
class TESK_API BlendFunc {
public:
    // Holds OpenGL's initial blend state until something is retrieved into it.
    BlendFunc();
    BlendFunc(GLenum src, GLenum dst);
    BlendFunc(GLenum srcRGB, GLenum dstRGB, GLenum srcAlpha, GLenum dstAlpha);

    // Uses glBlendFunc when colour and alpha factors agree, so that those work without the
    // separate-blend entry point; otherwise throws Unsupported where that entry point is missing.
    void Apply() const;
    void Retrieve();

    // Whether applying needs glBlendFuncSeparate.
    bool IsSeparate() const { return srcRGB != srcAlpha || dstRGB != dstAlpha; }

    // Sets the factors the way Apply does, without touching GL_BLEND.
    static void ApplyFactors(GLenum srcRGB, GLenum dstRGB, GLenum srcAlpha, GLenum dstAlpha);
    static void DisableBlend();

    // Replace's factors with GL_BLEND off. A draw writes the same texels either way, but with
    // blending on a software rasteriser still reads and combines the target: on llvmpipe that
    // is about a fifth of a full-tile draw. Operations that overwrite use this.
    static BlendFunc Overwrite();

    static const BlendFunc Add;
    static const BlendFunc AlphaAdd;
    static const BlendFunc BlendOver;
    static const BlendFunc BlendUnder;
    static const BlendFunc InvBlend;
    static const BlendFunc Modulate;
    static const BlendFunc Replace;
    static const BlendFunc Invert;
    static const BlendFunc Mask;
    static const BlendFunc Premultiply;

    bool enabled;
    GLenum srcRGB;
    GLenum dstRGB;
    GLenum srcAlpha;
    GLenum dstAlpha;
};

class TESK_API BlendEquation {
public:
    explicit BlendEquation(GLenum mode = GL_FUNC_ADD);
    BlendEquation(GLenum modeRGB, GLenum modeAlpha);

    // Throws Unsupported when the entry point it needs is missing.
    void Apply() const;
    void Retrieve();

    static const BlendEquation Add;
    static const BlendEquation Subtract;
    static const BlendEquation Min;
    static const BlendEquation Max;

    bool enabled;
    GLenum modeRGB;
    GLenum modeAlpha;
};

class TESK_API BlendColor {
public:
    BlendColor();
    explicit BlendColor(const Color& color);

    // Throws Unsupported when glBlendColor is missing.
    void Apply() const;
    void Retrieve();

    Color color;
    bool enabled;
};

// The factor forms save the blend state, set the factors and always enable blending.
class TESK_API PushBlendFunc : public Push<BlendFunc> {
public:
    PushBlendFunc() = default;
    explicit PushBlendFunc(const BlendFunc& value) : Push<BlendFunc>(value) {}
    PushBlendFunc(GLenum src, GLenum dst);
    PushBlendFunc(GLenum srcRGB, GLenum dstRGB, GLenum srcAlpha, GLenum dstAlpha);
};

extern template class Push<BlendFunc>;

} // namespace OGL_TESK_AE
