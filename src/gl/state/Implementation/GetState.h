#pragma once

#include <GL/gl.h>

// Small readers and writers of single OpenGL values shared by the state classes (internal).
namespace OGL_TESK_AE {

inline bool GetBoolean(GLenum name) {
    GLboolean value = GL_FALSE;
    glGetBooleanv(name, &value);
    return value != GL_FALSE;
}

inline GLint GetInteger(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

inline GLenum GetEnum(GLenum name) {
    return static_cast<GLenum>(GetInteger(name));
}

inline float GetFloat(GLenum name) {
    GLfloat value = 0.0f;
    glGetFloatv(name, &value);
    return value;
}

inline void SetCapability(GLenum capability, bool enabled) {
    if (enabled)
        glEnable(capability);
    else
        glDisable(capability);
}

} // namespace OGL_TESK_AE
