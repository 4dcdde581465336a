#pragma once

#include "common/Export.h"
#include "common/XIImage.h"
#include "gl/texture/RenderedTexture.h"
#include "math/Region.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

// A region of a host image, loaded into the texture on its first use and again only after the
// image, the mask or the region changes. Regions count rows up from the image's bottom row.
// An optional mask image multiplies the loaded alpha.
//
// Not copyable: a copy would either share the cached texture or take over the framebuffer
// object of the original, and neither is what a copy of an image should do.
class TESK_API SubImageTexture : public RenderedTexture {
public:
    SubImageTexture();
    explicit SubImageTexture(const XIImage* image);
    SubImageTexture(const SubImageTexture&) = delete;
    SubImageTexture& operator=(const SubImageTexture&) = delete;

    // The whole image; an invalid image leaves an empty region.
    void SetImage(const XIImage* image);
    // Loads the image as 8-bit texels (see RenderedTexture::UseByteTexels); before SetImage.
    void UseByteTexels() { byteTexels = true; }
    void SetMask(const XIImage* mask);
    // A different region reloads; the same one keeps what is loaded.
    void SetRegion(const Region& r);

    const XIImage* GetImage() const { return image; }
    const Region& GetRegion() const { return region; }

    // Loads on first use, then binds with [0, 1] texture coordinates over the region.
    void Apply() const override;
    void Load() const override;

protected:
    const XIImage* image = nullptr;
    const XIImage* mask = nullptr;
    Region region;
    int imageWidth = 0;
    int imageHeight = 0;
    GLenum imageFormat = GL_RGBA;
    GLenum imageType = 0;
    bool byteTexels = false;
};

// A sub-image texture that can also remember an image to be loaded later: the constructor's
// image is only noted (HasImage); SetImage chooses what is loaded.
class TESK_API ImageTexture : public SubImageTexture {
public:
    explicit ImageTexture(const XIImage* image = nullptr);

    bool HasImage() const { return pendingImage != nullptr; }
    void Load() const override;

protected:
    const XIImage* pendingImage = nullptr;
};

// The alpha channel of a one-channel host image, uploaded as it is laid out (no conversion).
class TESK_API AlphaTexture : public ImageTexture {
public:
    AlphaTexture();
    explicit AlphaTexture(const XIImage* image);

    void SetImage(const XIImage* image);
    void SetRegion(const Region& r);

    const Region& GetRegion() const { return alphaRegion; }

    // OpenGLError when no image is set.
    void Load() const override;

protected:
    const XIImage* alphaImage = nullptr;
    Region alphaRegion;
};

// A host image inside a one-texel transparent border, so that clamped sampling beyond the
// image's edge fades to transparent instead of repeating the edge texels.
//
// A copy has the same image and key but no texture of its own (the base's copy rule); it loads
// its own on first use.
class TESK_API BorderTexture : public Texture {
public:
    // Only notes the image; SetImage sizes the texture.
    explicit BorderTexture(const XIImage* image = nullptr);

    void SetImage(const XIImage* image);
    const XIImage* GetImage() const { return image; }

    void Apply() const override;
    // OpenGLError when no image is set.
    void Load() const override;

protected:
    const XIImage* image = nullptr;
    int imageWidth = 0;
    int imageHeight = 0;
    GLenum imageFormat = GL_RGBA;
    GLenum imageType = GL_FLOAT;
};

} // namespace OGL_TESK_AE
