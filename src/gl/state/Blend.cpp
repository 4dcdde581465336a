#include "gl/state/Blend.h"

#include "gl/context/Implementation/EntryPoints.h"
#include "gl/state/Implementation/GetState.h"

namespace OGL_TESK_AE {

BlendFunc::BlendFunc()
    : enabled(false), srcRGB(GL_ONE), dstRGB(GL_ZERO), srcAlpha(GL_ONE), dstAlpha(GL_ZERO) {}

BlendFunc::BlendFunc(GLenum src, GLenum dst)
    : enabled(true), srcRGB(src), dstRGB(dst), srcAlpha(src), dstAlpha(dst) {}

BlendFunc::BlendFunc(GLenum srcRGB, GLenum dstRGB, GLenum srcAlpha, GLenum dstAlpha)
    : enabled(true), srcRGB(srcRGB), dstRGB(dstRGB), srcAlpha(srcAlpha), dstAlpha(dstAlpha) {}

void BlendFunc::ApplyFactors(GLenum srcRGB, GLenum dstRGB, GLenum srcAlpha, GLenum dstAlpha) {
    if (srcRGB == srcAlpha && dstRGB == dstAlpha)
        glBlendFunc(srcRGB, dstRGB);
    else
        TESK_GL(glBlendFuncSeparate)(srcRGB, dstRGB, srcAlpha, dstAlpha);
}

void BlendFunc::Apply() const {
    ApplyFactors(srcRGB, dstRGB, srcAlpha, dstAlpha);
    SetCapability(GL_BLEND, enabled);
}

void BlendFunc::Retrieve() {
    enabled = GetBoolean(GL_BLEND);
    srcRGB = GetEnum(GL_BLEND_SRC_RGB);
    dstRGB = GetEnum(GL_BLEND_DST_RGB);
    srcAlpha = GetEnum(GL_BLEND_SRC_ALPHA);
    dstAlpha = GetEnum(GL_BLEND_DST_ALPHA);
}

BlendFunc BlendFunc::Overwrite() {
    BlendFunc overwrite(GL_ONE, GL_ZERO);
    overwrite.enabled = false;
    return overwrite;
}

void BlendFunc::DisableBlend() {
    glDisable(GL_BLEND);
}

const BlendFunc BlendFunc::Add(GL_ONE, GL_ONE, GL_ONE, GL_ONE);
const BlendFunc BlendFunc::AlphaAdd(GL_SRC_ALPHA, GL_DST_ALPHA, GL_ONE, GL_ONE);
const BlendFunc BlendFunc::BlendOver(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE,
                                     GL_ONE_MINUS_SRC_ALPHA);
const BlendFunc BlendFunc::BlendUnder(GL_ONE_MINUS_DST_ALPHA, GL_DST_ALPHA, GL_ONE_MINUS_DST_ALPHA,
                                      GL_ONE);
const BlendFunc BlendFunc::InvBlend(GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA, GL_ONE, GL_SRC_ALPHA);
const BlendFunc BlendFunc::Modulate(GL_ZERO, GL_SRC_COLOR, GL_ZERO, GL_SRC_COLOR);
const BlendFunc BlendFunc::Replace(GL_ONE, GL_ZERO, GL_ONE, GL_ZERO);
const BlendFunc BlendFunc::Invert(GL_ONE_MINUS_SRC_COLOR, GL_ZERO, GL_ONE_MINUS_SRC_COLOR, GL_ZERO);
const BlendFunc BlendFunc::Mask(GL_ZERO, GL_ONE, GL_ZERO, GL_SRC_ALPHA);
const BlendFunc BlendFunc::Premultiply(GL_SRC_ALPHA, GL_ZERO, GL_ONE, GL_ZERO);

BlendEquation::BlendEquation(GLenum mode) : enabled(true), modeRGB(mode), modeAlpha(mode) {}

BlendEquation::BlendEquation(GLenum modeRGB, GLenum modeAlpha)
    : enabled(true), modeRGB(modeRGB), modeAlpha(modeAlpha) {}

void BlendEquation::Apply() const {
    if (modeRGB == modeAlpha)
        TESK_GL(glBlendEquation)(modeRGB);
    else
        TESK_GL(glBlendEquationSeparate)(modeRGB, modeAlpha);
    SetCapability(GL_BLEND, enabled);
}

void BlendEquation::Retrieve() {
    enabled = GetBoolean(GL_BLEND);
    modeRGB = GetEnum(GL_BLEND_EQUATION_RGB);
    modeAlpha = GetEnum(GL_BLEND_EQUATION_ALPHA);
}

const BlendEquation BlendEquation::Add(GL_FUNC_ADD);
const BlendEquation BlendEquation::Subtract(GL_FUNC_SUBTRACT);
const BlendEquation BlendEquation::Min(GL_MIN);
const BlendEquation BlendEquation::Max(GL_MAX);

// Spelled out rather than Color::Transparent: a constant of another file may not be built yet
// while the library's statics are being made.
BlendColor::BlendColor() : color(0.0f, 0.0f, 0.0f, 0.0f), enabled(true) {}

BlendColor::BlendColor(const Color& color) : color(color), enabled(true) {}

void BlendColor::Apply() const {
    TESK_GL(glBlendColor)(color.r, color.g, color.b, color.a);
    SetCapability(GL_BLEND, enabled);
}

void BlendColor::Retrieve() {
    enabled = GetBoolean(GL_BLEND);
    glGetFloatv(GL_BLEND_COLOR, color);
}

// Throwing from here still restores: the base scope is complete and its destructor runs.
PushBlendFunc::PushBlendFunc(GLenum src, GLenum dst) {
    BlendFunc::ApplyFactors(src, dst, src, dst);
    glEnable(GL_BLEND);
}

PushBlendFunc::PushBlendFunc(GLenum srcRGB, GLenum dstRGB, GLenum srcAlpha, GLenum dstAlpha) {
    BlendFunc::ApplyFactors(srcRGB, dstRGB, srcAlpha, dstAlpha);
    glEnable(GL_BLEND);
}

template class Push<BlendFunc>;

} // namespace OGL_TESK_AE
