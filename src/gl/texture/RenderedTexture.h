#pragma once

#include "common/Export.h"
#include "common/XIImage.h"
#include "gl/context/Context.h"
#include "gl/texture/Texture.h"
#include "math/Region.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

class RenderBuffer;

// A texture that can be drawn into and read back into a host image: a framebuffer object with
// a cached texture as colour and a cached render buffer as depth. The texture the cache hands
// out may be larger than asked for; only the lower-left Width() x Height() texels are drawn,
// sampled and read back.
class TESK_API RenderedTexture : public Context, public Texture {
public:
    RenderedTexture();
    // Takes over the other's framebuffer object and depth buffer, which the other then no longer
    // holds; the colour texture stays with the other. Hence the non-const argument: a plain copy
    // of a render target would share both objects and release them twice.
    RenderedTexture(RenderedTexture& other);
    RenderedTexture& operator=(const RenderedTexture&) = delete;
    ~RenderedTexture() override;

    // Drops what is held and asks for a texture of this size. The channel type is always the
    // library's preferred one; the type argument is not used.
    void Resize(int width, int height, GLenum format, GLenum type);
    void Resize(const XIImage* image);
    void Resize(const RenderedTexture& other);
    // From now on 8-bit texels (GL_RGBA8) instead of the preferred type, for work whose images
    // are all 8-bit: llvmpipe draws into them two to three times as fast as into half floats,
    // and they move to and from such images as they are. Drops what is held.
    void UseByteTexels();
    // From now on 32-bit float texels where OpenGL has them, for intermediate results of a
    // longer computation: they keep its precision, and llvmpipe reads and writes them without
    // converting to and from half floats. Drops what is held.
    void UseFullFloatTexels();
    // The channel type the texels are given: 8-bit, 32-bit float or the preferred type.
    GLenum TexelType() const;
    // From now on one float channel (GL_R16F or GL_R32F, as the preferred type), for drawings
    // that put the whole result in red; float luminance and alpha images take it as it is. False,
    // with the four channels kept, where OpenGL has no such textures.
    bool UseSingleChannel();

    int Width() const { return width; }
    int Height() const { return height; }
    GLenum Format() const { return format; }
    GLenum Type() const { return type; }
    GLenum FramebufferName() const { return framebuffer; }
    const RenderBuffer* DepthBuffer() const { return depth; }
    void SetReadProcessing(GLSL::Shader* processing) { readProcessing = processing; }
    GLSL::Shader* ReadProcessing() const { return readProcessing; }
    // The part that is drawn and read, without touching the texture: a render target handed on
    // with one tile in it reports that tile's size.
    void SetDimensions(int newWidth, int newHeight) {
        width = newWidth;
        height = newHeight;
    }

    // Binds the framebuffer object with this texture and the depth buffer, in the default state
    // with a pixel projection. False for an empty size or an incomplete framebuffer (which
    // releases everything); OffscreenUnsupported without framebuffer objects.
    bool Select() override;
    // Leaving is done by restoring the state saved before Select.
    bool Deselect() override;
    void Reset() override;
    void Finalize() override;
    // Binds the texture for sampling, with [0, 1] texture coordinates covering Width() x
    // Height() texels.
    void Apply() const override;

    // Transparent colour and far depth over the whole target; the target must be selected.
    void Clear();
    void Orthogonal(double nearPlane, double farPlane);
    // A frustum whose normalised coordinates cover the target with y running down.
    void Perspective(float left, float right, float bottom, float top, float nearPlane,
                     float farPlane);
    // Draws this texture one to one into the current target.
    void Blit();
    // Draws the whole image stretched over this target (which must be selected).
    void Write(const XIImage* image);
    // Draws the image's lower-left corner unscaled, cut to this target.
    void WriteFit(const XIImage* image);
    void Read(XIImage* image);
    // Reads this target's lower-left texels into the image's region (given bottom-up). Host
    // rows run top-down unless the image says otherwise, so the rows are turned over for such
    // images; flip turns them over once more. The selected framebuffer must be this target's.
    void Read(XIImage* image, const Region& region, bool flip);
    // The cache may hand out a texture larger than the w x h texels loaded or drawn into it.
    // Linear filtering at that part's right and top edges would then blend in whatever the
    // texture held before; repeating the last column and row once beyond the edge makes clamped
    // sampling behave as if the texture were exactly w x h. Needed by whatever samples the
    // texture linearly, before the first such draw.
    void ExtendEdges(int w, int h) const;

protected:
    // Changes the key; a buffer that cannot serve the new key goes back to the cache.
    void ChangeKey(const TextureKey& newKey);

    GLuint framebuffer = 0;
    RenderBuffer* depth = nullptr;
    int width = 0;
    int height = 0;
    GLenum format = GL_RGBA;
    GLenum type = GL_FLOAT;
    GLSL::Shader* readProcessing = nullptr;
    bool byteTexels = false;
    bool fullFloatTexels = false;
    bool singleChannel = false;

private:
    void DebugRead(const TextureKey&) {}
    // Draws the region's texels into a temporary target laid out as the image (rows turned
    // over, channels swizzled, processed and scaled on request) and reads that into it.
    void ReadThroughPass(XIImage* image, const Region& r, const Region& d, bool flipRows,
                         bool convert, float whiteScale, GLenum imageType);
    // The byte each half-float texel becomes when the pass above reads it into an 8-bit image,
    // found once by passing all 65536 of them; null where that is not possible.
    static const uint8_t* PassedHalfBytes();
};

} // namespace OGL_TESK_AE
