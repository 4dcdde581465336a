#include "gl/state/Fragment.h"

#include "gl/state/Implementation/GetState.h"

namespace OGL_TESK_AE {

AlphaFunc::AlphaFunc(GLenum func, float ref) : enabled(func != GL_ALWAYS), func(func), ref(ref) {}

void AlphaFunc::Apply() const {
    glAlphaFunc(func, ref);
    SetCapability(GL_ALPHA_TEST, enabled);
}

void AlphaFunc::Retrieve() {
    enabled = GetBoolean(GL_ALPHA_TEST);
    func = GetEnum(GL_ALPHA_TEST_FUNC);
    ref = GetFloat(GL_ALPHA_TEST_REF);
}

const AlphaFunc AlphaFunc::Default(GL_ALWAYS, 0.0f);
const AlphaFunc AlphaFunc::Always(GL_ALWAYS, 0.0f);

DepthFunc::DepthFunc(GLenum func) : enabled(func != GL_ALWAYS), func(func) {}

void DepthFunc::Apply() const {
    glDepthFunc(func);
    SetCapability(GL_DEPTH_TEST, enabled);
}

void DepthFunc::Retrieve() {
    enabled = GetBoolean(GL_DEPTH_TEST);
    func = GetEnum(GL_DEPTH_FUNC);
}

const DepthFunc DepthFunc::Never(GL_NEVER);
const DepthFunc DepthFunc::Less(GL_LESS);
const DepthFunc DepthFunc::Equal(GL_EQUAL);
const DepthFunc DepthFunc::LessEqual(GL_LEQUAL);
const DepthFunc DepthFunc::Greater(GL_GREATER);
const DepthFunc DepthFunc::NotEqual(GL_NOTEQUAL);
const DepthFunc DepthFunc::GreaterEqual(GL_GEQUAL);
const DepthFunc DepthFunc::Always(GL_ALWAYS);

CullFace::CullFace(bool enabled, GLenum mode) : enabled(enabled), mode(mode) {}

void CullFace::Apply() const {
    glCullFace(mode);
    SetCapability(GL_CULL_FACE, enabled);
}

void CullFace::Retrieve() {
    enabled = GetBoolean(GL_CULL_FACE);
    mode = GetEnum(GL_CULL_FACE_MODE);
}

const CullFace CullFace::Default(false, GL_BACK);
const CullFace CullFace::CullBack(true, GL_BACK);

ColorMask::ColorMask(unsigned char red, unsigned char green, unsigned char blue,
                     unsigned char alpha)
    : red(red), green(green), blue(blue), alpha(alpha) {}

void ColorMask::Apply() const {
    glColorMask(red ? GL_TRUE : GL_FALSE, green ? GL_TRUE : GL_FALSE, blue ? GL_TRUE : GL_FALSE,
                alpha ? GL_TRUE : GL_FALSE);
}

void ColorMask::Retrieve() {
    GLint mask[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_COLOR_WRITEMASK, mask);
    red = mask[0];
    green = mask[1];
    blue = mask[2];
    alpha = mask[3];
}

const ColorMask ColorMask::Default(1, 1, 1, 1);
const ColorMask ColorMask::AllChannels(1, 1, 1, 1);
const ColorMask ColorMask::NoAlpha(1, 1, 1, 0);
const ColorMask ColorMask::AlphaOnly(0, 0, 0, 1);

} // namespace OGL_TESK_AE
