#include "common/Errors.h"

#include <GL/glu.h>

#include <cstring>
#include <sstream>
#include <string>

namespace OGL_TESK_AE {

namespace {

char sUnsupportedText[1024];
char sOffscreenText[1024];
// Shared by OpenGLError, FramebufferError and OpenGLDebug.
char sMessage[4096];

const char* CopyToBuffer(char* buffer, size_t size, const std::string& text) {
    const size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return buffer;
}

void AppendLocation(std::ostringstream& out, const char* file, int line) {
    if (file) out << '\n' << file << ": " << line;
}

const char* FramebufferStatusName(int status) {
    switch (status) {
    case 0x0506:
        return "GL_INVALID_FRAMEBUFFER_OPERATION_EXT";
    case 0x8CD5:
        return "GL_FRAMEBUFFER_COMPLETE_EXT";
    case 0x8CD6:
        return "GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT";
    case 0x8CD7:
        return "GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT";
    case 0x8CD9:
        return "GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT";
    case 0x8CDA:
        return "GL_FRAMEBUFFER_INCOMPLETE_FORMATS_EXT";
    case 0x8CDB:
        return "GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER_EXT";
    case 0x8CDC:
        return "GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER_EXT";
    case 0x8CDD:
        return "GL_FRAMEBUFFER_UNSUPPORTED_EXT";
    case 0x8D56:
        return "GL_FRAMEBUFFER_INCOMPLETE_MULTISAMPLE";
    case 0x8DA8:
        return "GL_FRAMEBUFFER_INCOMPLETE_LAYER_TARGETS";
    default:
        return "GL_FRAMEBUFFER Unknow error";
    }
}

} // namespace

Error::~Error() = default;
const char* Error::what() const noexcept {
    return fMessage;
}

Unsupported::~Unsupported() = default;
const char* Unsupported::what() const noexcept {
    return CopyToBuffer(sUnsupportedText, sizeof sUnsupportedText,
                        "Required feature of graphic card is not supported.\n"
                        "Consider upgrading graphics card or driver.");
}

OffscreenUnsupported::~OffscreenUnsupported() = default;
const char* OffscreenUnsupported::what() const noexcept {
    return CopyToBuffer(sOffscreenText, sizeof sOffscreenText,
                        "Offscreen rendering is not supported.\n"
                        "Consider upgrading graphics card or driver.");
}

OpenGLError::~OpenGLError() = default;
const char* OpenGLError::what() const noexcept {
    std::ostringstream out;
    if (fCode != 0) {
        const GLubyte* text = gluErrorString(static_cast<GLenum>(fCode));
        if (text)
            out << "OpenGL error:\n" << reinterpret_cast<const char*>(text);
        else
            out << "Unknown OpenGL error.";
    }
    AppendLocation(out, fFile, fLine);
    return CopyToBuffer(sMessage, sizeof sMessage, out.str());
}

FramebufferError::~FramebufferError() = default;
const char* FramebufferError::what() const noexcept {
    std::ostringstream out;
    out << FramebufferStatusName(fStatus);
    AppendLocation(out, fFile, fLine);
    return CopyToBuffer(sMessage, sizeof sMessage, out.str());
}

OpenGLDebug::OpenGLDebug(const char* text) {
    CopyToBuffer(sMessage, sizeof sMessage, text ? text : "");
}
OpenGLDebug::~OpenGLDebug() = default;
const char* OpenGLDebug::what() const noexcept {
    return sMessage;
}

} // namespace OGL_TESK_AE
