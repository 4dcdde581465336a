#pragma once

#include "common/Export.h"
#include "common/XIImage.h"
#include "gl/context/Context.h"
#include "gl/texture/Resource.h"
#include "gl/texture/TextureKey.h"
#include "math/Region.h"

#include <GL/gl.h>

#include <cstdint>

namespace OGL_TESK_AE {

// One OpenGL texture of a given target, size and internal format, plus the framebuffer object
// that makes it a render target: the library's unit of video memory, borrowed from the texture
// cache. It also carries the raw pixel transfers between host images and the card.
class TESK_API TextureBuffer : public Context, public Resource {
public:
    // Through the texture cache; keys that need not be exact are widened to at least
    // 2048 x 256 (in whole 64-texel bins) so that most requests share a few sizes.
    static TextureBuffer* Make(const TextureKey& key);
    static void Recycle(TextureBuffer* buffer);
    static TextureFactory& Factory();

    explicit TextureBuffer(const TextureKey& key);
    TextureBuffer(const TextureBuffer&) = delete;
    TextureBuffer& operator=(const TextureBuffer&) = delete;
    ~TextureBuffer() override;

    const TextureKey& Key() const { return fKey; }
    const TextureKey& GetKey() const { return fKey; }
    int Width() const { return fKey.Width(); }
    int Height() const { return fKey.Height(); }
    int Size() const { return fKey.Size(); }
    GLuint Name() const { return fTexture; }
    GLuint FramebufferName() const { return fFramebuffer; }

    // Makes the texture (when it has none), learns the format OpenGL gave it and clears it.
    void Initialize() const;
    // Makes this the only enabled texture target of the active unit, bound to this texture.
    void Bind() const;
    // Attaches the texture to the bound framebuffer (as depth for depth textures).
    void Attach() const;
    bool IsResident() const;

    // Makes this the render target, in the library's default state with a pixel projection.
    bool Select() override;
    // Leaving is done by restoring the state saved before Select.
    bool Deselect() override { return false; }
    void Reset();
    // Viewport, scissor and projection of one unit per texel, origin at the bottom left.
    void Orthogonal(double nearPlane, double farPlane);

    // Pixels of image's region src into the texture's region dst, as the image lays them out
    // (mipmapped: the whole texture and all its levels).
    void LoadImageNative(const XIImage* image, const Region& src, const Region& dst,
                         bool mipmap) const;
    // The same with the region's rows in the opposite order, so that a top-down image lands the
    // OpenGL way up without a drawing pass. One transfer per row.
    void LoadImageTurnedOver(const XIImage* image, const Region& src, const Region& dst) const;
    // Whether glReadPixels reads this texture now: colour attachment 0 of the bound framebuffer,
    // which may be another object's framebuffer, and the read buffer.
    bool IsReadFrom() const;
    // As plain RGBA bytes in the image's memory order, for a conversion pass to put in place.
    void LoadImageAsRgba(const XIImage* image, const Region& src, const Region& dst) const;
    // From the bound framebuffer's frameRegion into the image's imageRegion.
    void ReadImageNative(const XIImage* image, const Region& imageRegion,
                         const Region& frameRegion) const;
    void ReadImageAsRgba(const XIImage* image, const Region& imageRegion,
                         const Region& frameRegion) const;

    // Deletes the texture and its framebuffer object; the next use makes them again. Both go
    // together because after a context is gone their names would point at nothing, or at
    // another object of a later context.
    void Finalize() override;
    void Dump() const override {}

private:
    mutable TextureKey fKey;
    mutable GLuint fTexture = 0;
    GLuint fFramebuffer = 0;
};

// Viewport, scissor and an orthographic projection of one unit per pixel over width x height,
// origin at the bottom left; identity model-view, matrix mode left at GL_MODELVIEW. Nothing for
// an empty size.
TESK_API void PixelProjection(int width, int height, double nearPlane, double farPlane);

// The pair (format, type) that OpenGL takes as plain RGBA bytes in memory order: BGR and BGRA
// lose their swizzle, packed 8-bit BGRA becomes bytes.
TESK_API void AsRgbaLayout(GLenum& format, GLenum& type);

} // namespace OGL_TESK_AE
