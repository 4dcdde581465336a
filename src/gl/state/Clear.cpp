#include "gl/state/Clear.h"

#include "gl/state/Fragment.h"
#include "gl/state/Implementation/GetState.h"
#include "gl/state/Push.h"

namespace OGL_TESK_AE {

ClearColor::ClearColor() : color(0.0f, 0.0f, 0.0f, 0.0f), depth(1.0f) {}

ClearColor::ClearColor(const Color& color, float depth) : color(color), depth(depth) {}

void ClearColor::Apply() const {
    glClearColor(color.r, color.g, color.b, color.a);
    glClearDepth(depth);
}

void ClearColor::Retrieve() {
    glGetFloatv(GL_COLOR_CLEAR_VALUE, color);
    depth = GetFloat(GL_DEPTH_CLEAR_VALUE);
}

const ClearColor ClearColor::Default;

void ClearColorBuffer(const Color& c) {
    Push<ClearColor> saved(ClearColor(c, 1.0f));
    glClear(GL_COLOR_BUFFER_BIT);
}

void ClearDepthBuffer(float d) {
    Push<ClearColor> saved;
    glClearDepth(d);
    glClear(GL_DEPTH_BUFFER_BIT);
}

void ClearAlphaBuffer(float a) {
    Push<ColorMask> saved(ColorMask::AlphaOnly);
    ClearColorBuffer(Color(0.0f, 0.0f, 0.0f, 1.0f) * a);
}

} // namespace OGL_TESK_AE
