#include "math/Transform.h"

#include <GL/gl.h>
#include <cmath>

namespace OGL_TESK_AE {

void LoadIdentity() {
    glLoadIdentity();
}

void Translate(const p3f& v) {
    glTranslatef(v.x, v.y, v.z);
}

void Translate(float x, float y, float z) {
    glTranslatef(x, y, z);
}

void Scale(const p3f& v) {
    glScalef(v.x, v.y, v.z);
}

void Scale(float x, float y, float z) {
    glScalef(x, y, z);
}

void Rotate(float degrees, const p3f& axis) {
    glRotatef(degrees, axis.x, axis.y, axis.z);
}

void Rotate(float x, float y, float z, RotationOrder o) {
    const int* axes = RotationAxes(o);
    if (!axes) return;
    for (int k = 0; k < 3; ++k) {
        switch (axes[k]) {
        case 0:
            if (std::fabs(x) > 1e-7f) glRotatef(x, 1.0f, 0.0f, 0.0f);
            break;
        case 1:
            if (std::fabs(y) > 1e-7f) glRotatef(y, 0.0f, -1.0f, 0.0f);
            break;
        default:
            if (std::fabs(z) > 1e-7f) glRotatef(z, 0.0f, 0.0f, -1.0f);
            break;
        }
    }
}

void Rotate(const p3f& angles, RotationOrder o) {
    Rotate(angles.x, angles.y, angles.z, o);
}

void MultMatrix(const m44f& m) {
    glMultMatrixf(m);
}

} // namespace OGL_TESK_AE
