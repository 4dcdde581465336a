#include "math/UnitScale.h"

#include "math/Matrix.h"

#include <algorithm>

namespace OGL_TESK_AE {

void UnitScale::Save() {
    GLint mode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    fMode = static_cast<GLenum>(mode);
    glGetDoublev(GL_MODELVIEW_MATRIX, fModelView);
    fActive = true;
}

UnitScale::UnitScale() : fMode(GL_MODELVIEW), fModelView{}, fActive(false) {
    Save();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

UnitScale::UnitScale(const p3f& p) : fMode(GL_MODELVIEW), fModelView{}, fActive(false) {
    Save();
    Matrix saved(false);
    std::copy(fModelView, fModelView + 16, saved.m);
    p3f q = saved * p;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(q.x, q.y, q.z);
}

UnitScale::~UnitScale() {
    if (!fActive) return;
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(fModelView);
    glMatrixMode(fMode);
    fActive = false;
}

} // namespace OGL_TESK_AE
