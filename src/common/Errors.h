#pragma once

#include "common/Export.h"

#include <exception>

namespace OGL_TESK_AE {

// The library's failures. Their texts are what a plug-in shows its user, so they are fixed.
// None owns its text: `Error` keeps the thrower's pointer (pass text of static lifetime) and the
// others return one of a few shared static buffers that the next error of the same kind
// overwrites.

class TESK_API Error : public std::exception {
public:
    explicit Error(const char* message) : fMessage(message) {}
    ~Error() override;
    const char* what() const noexcept override;

private:
    const char* fMessage;
};

class TESK_API Unsupported : public std::exception {
public:
    Unsupported() = default;
    ~Unsupported() override;
    const char* what() const noexcept override;
};

class TESK_API OffscreenUnsupported : public std::exception {
public:
    OffscreenUnsupported() = default;
    ~OffscreenUnsupported() override;
    const char* what() const noexcept override;
};

class TESK_API OpenGLError : public std::exception {
public:
    explicit OpenGLError(int code = 0, const char* file = nullptr, int line = 0)
        : fCode(code), fFile(file), fLine(line) {}
    ~OpenGLError() override;
    const char* what() const noexcept override;
    int GetCode() const { return fCode; }

private:
    int fCode;
    const char* fFile;
    int fLine;
};

class TESK_API FramebufferError : public std::exception {
public:
    FramebufferError(int status, const char* file, int line)
        : fStatus(status), fFile(file), fLine(line) {}
    ~FramebufferError() override;
    const char* what() const noexcept override;

private:
    int fStatus;
    const char* fFile;
    int fLine;
};

class TESK_API OpenGLDebug : public std::exception {
public:
    explicit OpenGLDebug(const char* text);
    ~OpenGLDebug() override;
    const char* what() const noexcept override;
};

} // namespace OGL_TESK_AE
