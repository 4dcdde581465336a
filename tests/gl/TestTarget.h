#pragma once

// A render target made by hand for tests that must not depend on the library's own render
// targets: a render buffer (8-bit RGBA unless asked otherwise) on a framebuffer object, with a
// pixel-for-pixel projection.

#include "gl/context/Implementation/EntryPoints.h"

#include <GL/gl.h>

#include <array>
#include <vector>

namespace tesk_test {

class TestTarget {
public:
    TestTarget(int width, int height, GLenum internalFormat = GL_RGBA8)
        : fWidth(width), fHeight(height) {
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &fPrevious);
        TESK_GL(glGenRenderbuffersEXT)(1, &fColor);
        TESK_GL(glBindRenderbufferEXT)(GL_RENDERBUFFER_EXT, fColor);
        TESK_GL(glRenderbufferStorageEXT)(GL_RENDERBUFFER_EXT, internalFormat, width, height);
        TESK_GL(glGenFramebuffersEXT)(1, &fFramebuffer);
        TESK_GL(glBindFramebufferEXT)(GL_FRAMEBUFFER_EXT, fFramebuffer);
        TESK_GL(glFramebufferRenderbufferEXT)
        (GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, fColor);
        glViewport(0, 0, width, height);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    TestTarget(const TestTarget&) = delete;
    TestTarget& operator=(const TestTarget&) = delete;
    ~TestTarget() {
        TESK_GL(glBindFramebufferEXT)(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(fPrevious));
        TESK_GL(glDeleteFramebuffersEXT)(1, &fFramebuffer);
        TESK_GL(glDeleteRenderbuffersEXT)(1, &fColor);
    }

    // One unit per pixel, origin at the bottom-left corner.
    void PixelProjection() const {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, fWidth, 0, fHeight, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }

    // The whole target as 8-bit or float RGBA, bottom row first.
    template <class T = unsigned char> std::vector<std::array<T, 4>> Read() const {
        std::vector<std::array<T, 4>> pixels(static_cast<size_t>(fWidth) * fHeight);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, fWidth, fHeight, GL_RGBA, sizeof(T) == 1 ? GL_UNSIGNED_BYTE : GL_FLOAT,
                     pixels.data());
        return pixels;
    }
    std::vector<std::array<float, 4>> ReadFloat() const { return Read<float>(); }
    std::array<unsigned char, 4> At(const std::vector<std::array<unsigned char, 4>>& pixels, int x,
                                    int y) const {
        return pixels[static_cast<size_t>(y) * fWidth + x];
    }

private:
    int fWidth, fHeight;
    GLint fPrevious = 0;
    GLuint fColor = 0, fFramebuffer = 0;
};

} // namespace tesk_test
