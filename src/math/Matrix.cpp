#include "math/Matrix.h"

namespace OGL_TESK_AE {

Matrix::Matrix(bool identity) : mode(GL_MODELVIEW), m{} {
    if (identity) m[0] = m[5] = m[10] = m[15] = 1.0;
}

void Matrix::Apply() const {
    glMatrixMode(mode);
}

void Matrix::Retrieve() {
    GLint current = 0;
    glGetIntegerv(GL_MATRIX_MODE, &current);
    mode = static_cast<GLenum>(current);
}

void Matrix::Multiply() const {
    glMultMatrixd(m);
}

p3f Matrix::operator*(const p3f& v) {
    double x = v.x * m[0] + v.y * m[4] + v.z * m[8] + m[12];
    double y = v.x * m[1] + v.y * m[5] + v.z * m[9] + m[13];
    double z = v.x * m[2] + v.y * m[6] + v.z * m[10] + m[14];
    double w = v.x * m[3] + v.y * m[7] + v.z * m[11] + m[15];
    return p3f(static_cast<float>(x / w), static_cast<float>(y / w), static_cast<float>(z / w));
}

p4f Matrix::operator*(const p4f& v) {
    double x = v.x * m[0] + v.y * m[4] + v.z * m[8] + v.w * m[12];
    double y = v.x * m[1] + v.y * m[5] + v.z * m[9] + v.w * m[13];
    double z = v.x * m[2] + v.y * m[6] + v.z * m[10] + v.w * m[14];
    double w = v.x * m[3] + v.y * m[7] + v.z * m[11] + v.w * m[15];
    return p4f(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z),
               static_cast<float>(w));
}

} // namespace OGL_TESK_AE
