#pragma once

#include "common/Export.h"

namespace OGL_TESK_AE {

// Anything OpenGL can render into. Select makes it the target of drawing (and the current
// context's framebuffer); Deselect hands the target back. Owners are never deleted through
// this interface, hence the protected destructor.
class TESK_API Context {
public:
    virtual bool Select() = 0;
    virtual bool Deselect() = 0;

protected:
    ~Context() = default;
};

// A render target with its own pixels, for plug-ins that implement one. The library itself
// derives nothing from it and calls none of the operations beyond Select and Deselect.
class TESK_API ContextBuffer : public Context {
public:
    virtual int GetWidth() const = 0;
    virtual int GetHeight() const = 0;
    // Clears the target's pixels.
    virtual void Clear() = 0;
    // Binds the target's pixels as a texture to the active texture unit.
    virtual bool BindTexture() = 0;
    // Copies the target's pixels (8-bit RGBA rows, rowBytes apart) into pixels.
    virtual bool ReadPixels(void* pixels, int rowBytes) = 0;

protected:
    ~ContextBuffer() = default;
};

} // namespace OGL_TESK_AE
