#include "gl/state/ColorScale.h"

namespace OGL_TESK_AE {

ColorScale::ColorScale(float s)
    : color(s, s, s, s),
      material(ColorMaterial(Color(s, s, s, s), Color(0.0f, 0.0f, 0.0f, 0.0f)).material),
      blend(GL_ZERO, GL_SRC_COLOR, GL_ZERO, GL_SRC_COLOR) {}

void ColorScale::Apply() const {
    color.Apply();
    material.Apply();
    blend.Apply();
}

void ColorScale::Retrieve() {
    color.Retrieve();
    material.Retrieve();
    blend.Retrieve();
}

} // namespace OGL_TESK_AE
