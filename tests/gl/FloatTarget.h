#pragma once

// Float render targets and float rectangle textures made by hand, for tests that compare shader
// output with a CPU reference exactly: RGBA32F on both sides, no 8-bit rounding in between.
// Colours in a float target are not clamped (OpenGL's default fixed-only clamping), so values
// a shader writes outside [0, 1] come back as written.

#include "TestTarget.h"

#include "gl/context/Implementation/EntryPoints.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <array>
#include <vector>

namespace tesk_test {

using Pixel = std::array<float, 4>;

class FloatTarget : public TestTarget {
public:
    FloatTarget(int width, int height) : TestTarget(width, height, GL_RGBA32F_ARB) {}
    std::vector<Pixel> Read() const { return ReadFloat(); }
};

// A GL_RGBA32F rectangle texture holding the given pixels (bottom row first), bound on the
// unit given, with nearest or linear filtering and edges clamped. The unit's texture matrix
// maps [0, 1] texture coordinates onto its texels, as the library's textures do.
class FloatTexture {
public:
    FloatTexture(int width, int height, const std::vector<Pixel>& pixels, int unit = 0,
                 GLenum filter = GL_NEAREST)
        : fUnit(GL_TEXTURE0 + unit) {
        TESK_GL(glActiveTexture)(fUnit);
        glGenTextures(1, &fName);
        glBindTexture(GL_TEXTURE_RECTANGLE_ARB, fName);
        glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, filter);
        glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, filter);
        glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, GL_RGBA32F_ARB, width, height, 0, GL_RGBA,
                     GL_FLOAT, pixels.data());
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glScalef(static_cast<float>(width), static_cast<float>(height), 1.0f);
        glMatrixMode(GL_MODELVIEW);
        TESK_GL(glActiveTexture)(GL_TEXTURE0);
    }
    FloatTexture(const FloatTexture&) = delete;
    FloatTexture& operator=(const FloatTexture&) = delete;
    ~FloatTexture() {
        TESK_GL(glActiveTexture)(fUnit);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glBindTexture(GL_TEXTURE_RECTANGLE_ARB, 0);
        glDeleteTextures(1, &fName);
        TESK_GL(glActiveTexture)(GL_TEXTURE0);
    }

    // Binds it again on its unit.
    void Bind() const {
        TESK_GL(glActiveTexture)(fUnit);
        glBindTexture(GL_TEXTURE_RECTANGLE_ARB, fName);
        TESK_GL(glActiveTexture)(GL_TEXTURE0);
    }

private:
    GLenum fUnit;
    GLuint fName = 0;
};

} // namespace tesk_test
