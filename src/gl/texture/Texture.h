#pragma once

#include "common/Export.h"
#include "common/XIImage.h"
#include "gl/state/TextureState.h"
#include "gl/texture/Resource.h"
#include "gl/texture/TextureKey.h"
#include "math/Color.h"
#include "math/Region.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

namespace GLSL {
class Shader;
}
class TextureBuffer;

// The base of every texture of the library. It holds only a key until it is used; the OpenGL
// texture comes from the texture cache on demand and goes back to it on Finalize. Loading puts
// a region of a host image into it, directly when OpenGL can take the image's layout as it is,
// otherwise through a temporary texture redrawn by a conversion program.
class TESK_API Texture : public Resource {
public:
    Texture();
    // A copy has the same key, settings and binding but no buffer of its own yet: two textures
    // never hand one cached buffer back twice.
    Texture(const Texture& other);
    Texture& operator=(const Texture& other);
    ~Texture() override;

    // Hands the buffer back to the cache and forgets what it saw bound with it; the next use
    // makes (and loads) it again.
    void Finalize() override;
    void Dump() const override {}
    // Binds what BindTexture saw bound (this texture, on the active unit).
    virtual void Apply() const;
    virtual void Retrieve();
    // Makes this texture the render target.
    virtual bool Select();
    // The default state and a pixel projection, when there is a buffer.
    virtual void Reset();
    virtual bool Deselect();
    // Puts the current image into the buffer; the base has none.
    virtual void Load() const;

    int GetWidth() const { return key.Width(); }
    int GetHeight() const { return key.Height(); }
    const TextureKey& Key() const { return key; }
    TextureBuffer* Buffer() const { return buffer; }
    bool IsLoaded() const { return loaded; }

    void SetStretch() { fit = false; }
    void SetFit() { fit = true; }
    void SetLoadProcessing(GLSL::Shader* processing) { loadProcessing = processing; }

    // Turns off texture-coordinate generation and every texture target of the active unit.
    void Disable();
    // Filtering, wrapping and environment of whatever is bound to the key's target.
    void ApplyNearest() const;
    void ApplyLinear() const;
    void ApplyClamp() const;
    void ApplyClampToEdge() const;
    void ApplyDecal() const;
    void ApplyModulate() const;

    // The texture matrix maps the quad's [0, 1] coordinates to texels of rectangle textures.
    void ClearTransform() const;
    void SetTransform(float sx, float sy, float tx, float ty) const;
    // Turns rows upside down: host images keep their top row first, OpenGL its bottom row.
    void FlipTransform() const;

    // Makes the buffer if it is missing.
    void CreateTexture() const;
    // Makes the buffer, binds it as the only enabled target of the active unit and remembers
    // that binding for Apply.
    void BindTexture() const;
    void AttachTexture() const;
    bool IsResident() const;

    // Puts image's region src into dst of this texture (stretched, or letterboxed in fit mode).
    void LoadTexture(const XIImage* image, const Region& src, const Region& dst, bool mipmap);
    // Multiplies this texture's alpha over dst by the alpha of image's region src.
    void MaskTexture(const XIImage* image, const Region& src, const Region& dst, bool mipmap);

protected:
    int ActualWidth() const;
    int ActualHeight() const;
    void SetType(GLenum target, int width, int height, GLenum format, GLenum type, bool exact);
    void ClearTexture(const Color& color);
    // The channel type the library prefers for its own textures on this card.
    static GLenum GetBestType();

    mutable TextureBuffer* buffer = nullptr;
    mutable bool loaded = false;
    TextureKey key;
    mutable TextureBinding binding;
    GLSL::Shader* loadProcessing = nullptr;
    bool fit = false;
};

// The internal format of what is attached as colour to the bound framebuffer (0 when nothing
// is); leaves the attached texture or render buffer bound.
TESK_API GLenum GetCurrentInternalFormat();

} // namespace OGL_TESK_AE
