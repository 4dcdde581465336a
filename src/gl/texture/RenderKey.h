#pragma once

#include "common/Export.h"
#include "gl/texture/ResourceFactory.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

// What a framebuffer render buffer is asked for by: only an identical size and pixel layout
// will do.
class TESK_API RenderKey {
public:
    RenderKey(int width, int height, GLenum format, GLenum type)
        : fWidth(width), fHeight(height), fFormat(format), fType(type) {}

    int Width() const { return fWidth; }
    int Height() const { return fHeight; }
    GLenum Format() const { return fFormat; }
    GLenum Type() const { return fType; }
    // The render buffer stores the size it could really get.
    void SetDimensions(int width, int height) {
        fWidth = width;
        fHeight = height;
    }
    // Filled in by the render buffer when it creates its storage.
    GLenum InternalFormat() const { return fInternalFormat; }
    void SetInternalFormat(GLenum internalFormat) { fInternalFormat = internalFormat; }
    int Size() const { return fSize; }
    void SetSize(int size) { fSize = size; }

    bool IsAcceptable(const RenderKey& candidate) const {
        return fWidth == candidate.fWidth && fHeight == candidate.fHeight &&
               fFormat == candidate.fFormat && fType == candidate.fType;
    }

private:
    int fWidth;
    int fHeight;
    GLenum fFormat;
    GLenum fType;
    GLenum fInternalFormat = 0;
    int fSize = 0;
};

// The render-buffer cache is ResourceFactory<RenderKey, RenderBuffer, kRenderBudget>; its one
// instance lives beside RenderBuffer, reached through RenderBuffer's static Make and Recycle.
class RenderBuffer;
using RenderFactory = ResourceFactory<RenderKey, RenderBuffer, kRenderBudget>;

} // namespace OGL_TESK_AE
