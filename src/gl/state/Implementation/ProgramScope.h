#pragma once

#include "gl/context/Implementation/EntryPoints.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

// Puts back the program that was current when the scope began. A draw through a program needs
// only that restored; saving the whole State around it pushes and pops every attribute group.
class ProgramScope {
public:
    ProgramScope() { glGetIntegerv(GL_CURRENT_PROGRAM, &fProgram); }
    ProgramScope(const ProgramScope&) = delete;
    ProgramScope& operator=(const ProgramScope&) = delete;
    ~ProgramScope() {
        try {
            TESK_GL(glUseProgram)(static_cast<GLuint>(fProgram));
        } catch (...) {
            // Only a missing entry point throws, and then no program was made current either.
        }
    }

private:
    GLint fProgram = 0;
};

} // namespace OGL_TESK_AE
