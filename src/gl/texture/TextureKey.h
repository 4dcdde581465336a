#pragma once

#include "common/Export.h"
#include "gl/texture/ResourceFactory.h"

#include <GL/gl.h>
#include <GL/glext.h>

namespace OGL_TESK_AE {

// What a texture is asked for by: the texture cache hands out any idle texture the key accepts.
class TESK_API TextureKey {
public:
    TextureKey() = default;
    TextureKey(GLenum target, int width, int height, GLenum internalFormat, bool exact)
        : fTarget(target), fWidth(width), fHeight(height), fInternalFormat(internalFormat),
          fExact(exact) {}

    GLenum Target() const { return fTarget; }
    int Width() const { return fWidth; }
    int Height() const { return fHeight; }
    GLenum InternalFormat() const { return fInternalFormat; }
    bool IsExact() const { return fExact; }
    // Bytes on the card, filled in by the texture buffer when it creates its texture.
    int Size() const { return fSize; }
    void SetSize(int size) { fSize = size; }
    // Grows the key to at least this size (shared textures are never smaller than a minimum).
    void SetMinimumSize(int width, int height) {
        if (fWidth < width) fWidth = width;
        if (fHeight < height) fHeight = height;
    }

    // Whether an idle texture with the candidate's key may serve this request: same target and
    // internal format, and the same size when exact, else at least as large.
    bool IsAcceptable(const TextureKey& candidate) const {
        if (fTarget != candidate.fTarget || fInternalFormat != candidate.fInternalFormat)
            return false;
        if (fExact) return fWidth == candidate.fWidth && fHeight == candidate.fHeight;
        return fWidth <= candidate.fWidth && fHeight <= candidate.fHeight;
    }

private:
    GLenum fTarget = GL_TEXTURE_RECTANGLE_ARB;
    int fWidth = 0;
    int fHeight = 0;
    GLenum fInternalFormat = GL_RGBA32F_ARB;
    int fSize = 0;
    bool fExact = false;
};

// The texture cache is ResourceFactory<TextureKey, TextureBuffer, kTextureBudget>; its one
// instance lives beside TextureBuffer, reached through TextureBuffer's static Make and Recycle.
class TextureBuffer;
using TextureFactory = ResourceFactory<TextureKey, TextureBuffer, kTextureBudget>;

} // namespace OGL_TESK_AE
