#include "gl/effects/BlendOp.h"

namespace OGL_TESK_AE {

namespace {
// Spelled out rather than Color::White, which another file makes, perhaps after these.
const Color kWhite(1.0f, 1.0f, 1.0f, 1.0f);
} // namespace

BlendOp::BlendOp()
    : BlendOp(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA,
              GL_FUNC_ADD, GL_FUNC_ADD, kWhite) {}

BlendOp::BlendOp(unsigned int srcRGB, unsigned int dstRGB, unsigned int srcAlpha,
                 unsigned int dstAlpha, unsigned int equationRGB, unsigned int equationAlpha,
                 const Color& color)
    : func(srcRGB, dstRGB, srcAlpha, dstAlpha), equation(equationRGB, equationAlpha), color(color) {
}

void BlendOp::Apply() const {
    func.Apply();
    equation.Apply();
    color.Apply();
}

void BlendOp::Retrieve() {
    func.Retrieve();
    equation.Retrieve();
    color.Retrieve();
}

const BlendOp BlendOp::Default(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA,
                               GL_ONE_MINUS_SRC_ALPHA, GL_FUNC_ADD, GL_FUNC_ADD, kWhite);
const BlendOp BlendOp::Composite(GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA,
                                 GL_FUNC_ADD, GL_FUNC_ADD, kWhite);
const BlendOp BlendOp::Additive(GL_SRC_ALPHA, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_FUNC_ADD,
                                GL_FUNC_ADD, kWhite);
const BlendOp BlendOp::Lighten(GL_ONE, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_MAX, GL_FUNC_ADD,
                               kWhite);
const BlendOp BlendOp::Screen(GL_ONE, GL_ONE_MINUS_SRC_COLOR, GL_ONE, GL_ONE_MINUS_SRC_ALPHA,
                              GL_FUNC_ADD, GL_FUNC_ADD, kWhite);
const BlendOp BlendOp::Max(GL_SRC_ALPHA, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_MAX,
                           GL_FUNC_ADD, kWhite);
const BlendOp BlendOp::Min(GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_MIN,
                           GL_FUNC_ADD, kWhite);
const BlendOp BlendOp::Darken(GL_ONE, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_MIN, GL_FUNC_ADD,
                              kWhite);
const BlendOp BlendOp::Subtractive(GL_SRC_ALPHA, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA,
                                   GL_FUNC_REVERSE_SUBTRACT, GL_FUNC_ADD, kWhite);
const BlendOp BlendOp::Multiply(GL_SRC_ALPHA, GL_SRC_COLOR, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_MAX,
                                GL_FUNC_ADD, kWhite);
const BlendOp BlendOp::Difference(GL_ONE, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA,
                                  GL_FUNC_REVERSE_SUBTRACT, GL_FUNC_ADD, kWhite);
const BlendOp BlendOp::Replace(GL_ONE, GL_ZERO, GL_ONE, GL_ZERO, GL_FUNC_ADD, GL_FUNC_ADD, kWhite);

} // namespace OGL_TESK_AE
