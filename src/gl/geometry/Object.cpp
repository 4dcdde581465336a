#include "gl/geometry/Object.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

Object::Object(unsigned int mode) {
    glBegin(mode);
    glNormal3f(0.0f, 0.0f, 1.0f);
}

Object::~Object() {
    glEnd();
}

} // namespace OGL_TESK_AE
