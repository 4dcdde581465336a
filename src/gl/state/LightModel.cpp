#include "gl/state/LightModel.h"

#include "gl/state/Implementation/GetState.h"

namespace OGL_TESK_AE {

LightModel::LightModel()
    : LightModel(Color(0.2f, 0.2f, 0.2f, 1.0f), GL_SEPARATE_SPECULAR_COLOR, false, true) {}

LightModel::LightModel(const Color& ambient, GLenum colorControl, bool localViewer, bool twoSide)
    : ambient(ambient), colorControl(static_cast<GLint>(colorControl)),
      localViewer(localViewer ? 1 : 0), twoSide(twoSide ? 1 : 0) {}

void LightModel::Apply() const {
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, colorControl);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, localViewer);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, twoSide);
}

void LightModel::Retrieve() {
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, ambient);
    colorControl = GetInteger(GL_LIGHT_MODEL_COLOR_CONTROL);
    localViewer = GetInteger(GL_LIGHT_MODEL_LOCAL_VIEWER);
    twoSide = GetInteger(GL_LIGHT_MODEL_TWO_SIDE);
}

const LightModel LightModel::Default;

} // namespace OGL_TESK_AE
