#pragma once

#include "common/Export.h"
#include "common/XIImage.h"
#include "gl/texture/RenderedTexture.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

namespace GLSL {
class Shader;
}

// A power-of-two GL_TEXTURE_2D texture in normalised coordinates that repeats when sampled
// beyond [0, 1] and may be mipmapped: for patterns laid over a surface.
//
// Not copyable, for the same reason as the image textures.
class TESK_API TiledTexture : public RenderedTexture {
public:
    TiledTexture();
    TiledTexture(const TiledTexture&) = delete;
    TiledTexture& operator=(const TiledTexture&) = delete;

    // Asks for the power of two nearest to each side (at least 16, ties to the smaller) in the
    // library's preferred channel type; the type argument is not used. A texture in hand that
    // has another size goes back to the cache.
    void Resize(int width, int height, GLenum format, GLenum type);
    void SetMipMapped(bool on) { mipMapped = on; }
    bool IsMipMapped() const { return mipMapped; }
    int TextureWidth() const { return textureWidth; }
    int TextureHeight() const { return textureHeight; }

    // Loads, binds and, when mipmapped, builds the smaller levels from the loaded one.
    void Apply() const override;
    void ApplyMipMap() const;
    void ApplyWrap() const;
    void ApplyInterpolation() const;

protected:
    bool mipMapped = false;
    int textureWidth = 0;
    int textureHeight = 0;
};

// A host image resampled onto a tiled texture.
class TESK_API TiledImageTexture : public TiledTexture {
public:
    explicit TiledImageTexture(const XIImage* image = nullptr);

    void SetImage(const XIImage* image);
    bool HasImage() const { return image != nullptr; }
    const XIImage* GetCurrentImage() const { return image; }

    // Error "Data Error" without an image.
    void Load() const override;

protected:
    const XIImage* image = nullptr;
};

// Tiled textures for a set of host images, as many of the leading ones as fit a fixed budget
// of card memory (each counted as a float RGBA texture of power-of-two sides). The images are
// not owned; the textures are.
//
// Not copyable: it owns its array of textures.
class TESK_API MultiImageTexture {
public:
    MultiImageTexture();
    MultiImageTexture(const MultiImageTexture&) = delete;
    MultiImageTexture& operator=(const MultiImageTexture&) = delete;
    ~MultiImageTexture();

    // Keeps the images (not owned) and makes one texture for each leading image that fits the
    // budget; with load, each texture gets its image and, where given, its load processing.
    void SetImages(const XIImage** images, int count, bool load, GLSL::Shader** processing);
    // Only stores the images.
    void InitializeImages(const XIImage** images, int count);
    // Texture j gets the image at indices[j] (the indices are kept, not owned).
    void PreSelectTextures(int* indices, int count);
    // Resamples every texture that has an image to this size (0 keeps each image's own).
    void Resize(int width, int height);
    void SetMipMapped(bool on) { mipMapped = on; }
    // Applies texture index modulo the count, or with preselected the texture whose
    // preselected index is index.
    void ApplyTexture(int index, bool preselected);
    // Hands every texture's buffer back; the images stay.
    void Reset();
    // Deletes the textures.
    void Finalize();

    int GetTextureCount() const { return count; }
    bool IsInitialized() const { return initialized; }
    TiledImageTexture* GetTexture(int index) const {
        return textures && index >= 0 && index < count ? &textures[index] : nullptr;
    }
    static long long MaxTextureMemoryAvailable() { return 512000000; }

private:
    void ResizeTexture(TiledImageTexture& texture) const;

    TiledImageTexture* textures = nullptr;
    int count = 0;
    const XIImage** images = nullptr;
    int imageCount = 0;
    int* preselected = nullptr;
    int preselectedCount = 0;
    bool mipMapped = false;
    int width = 0;
    int height = 0;
    bool initialized = false;
};

} // namespace OGL_TESK_AE
