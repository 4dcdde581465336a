#include "gl/texture/TiledTexture.h"

#include "common/Errors.h"
#include "gl/context/Implementation/EntryPoints.h"
#include "gl/texture/TextureBuffer.h"
#include "gl/texture/TextureFormat.h"

#include <GL/glext.h>

#include <cstdint>

namespace OGL_TESK_AE {

namespace {

// The power of two nearest to value, at least 16; ties go to the smaller one. The same rule
// sizes images on the card in TextureFormat.cpp.
int NearestPowerOfTwo(int value) {
    const uint32_t v = static_cast<uint32_t>(value);
    uint64_t p = 32;
    while (p < v) p <<= 1;
    const uint32_t power = static_cast<uint32_t>(p);
    // Unsigned on purpose: below half the power the difference wraps and the larger one wins.
    return static_cast<int>(power - v < v - power / 2 ? power : power / 2);
}

} // namespace

// TiledTexture

TiledTexture::TiledTexture() = default;

void TiledTexture::Resize(int newWidth, int newHeight, GLenum newFormat, GLenum) {
    textureWidth = NearestPowerOfTwo(newWidth);
    textureHeight = NearestPowerOfTwo(newHeight);
    ChangeKey(TextureKey(GL_TEXTURE_2D, textureWidth, textureHeight,
                         GetInternalFormat(newFormat, GetBestType()), true));
}

void TiledTexture::Apply() const {
    binding.Apply();
    Load();
    if (mipMapped) TESK_GL(glGenerateMipmapEXT)(key.Target());
}

void TiledTexture::ApplyMipMap() const {
    glTexParameteri(key.Target(), GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(key.Target(), GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

void TiledTexture::ApplyWrap() const {
    glTexParameteri(key.Target(), GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(key.Target(), GL_TEXTURE_WRAP_T, GL_REPEAT);
}

void TiledTexture::ApplyInterpolation() const {
    if (mipMapped)
        ApplyMipMap();
    else
        ApplyLinear();
}

// TiledImageTexture

TiledImageTexture::TiledImageTexture(const XIImage* source) {
    SetImage(source);
}

void TiledImageTexture::SetImage(const XIImage* source) {
    Finalize();
    image = source;
    loaded = false;
    if (!IsValid(source)) return;
    GLenum sourceFormat = GL_RGBA, sourceType = 0;
    GetColorSpaceFormat(source->GetColorSpace(), source->GetBitDepth(), source->GetWhiteLevel(),
                        sourceFormat, sourceType);
    Resize(source->GetWidth(), source->GetHeight(), sourceFormat, sourceType);
}

void TiledImageTexture::Load() const {
    if (!image) throw Error("Data Error");
    BindTexture();
    if (!loaded) {
        TiledImageTexture& self = const_cast<TiledImageTexture&>(*this);
        self.LoadTexture(
            image,
            Region(0, 0, static_cast<unsigned>(image->GetWidth()),
                   static_cast<unsigned>(image->GetHeight())),
            Region(0, 0, static_cast<unsigned>(textureWidth), static_cast<unsigned>(textureHeight)),
            false);
        loaded = true;
    }
    ClearTransform();
    ApplyInterpolation();
    ApplyWrap();
    ApplyModulate();
}

// MultiImageTexture

MultiImageTexture::MultiImageTexture() = default;

MultiImageTexture::~MultiImageTexture() {
    Finalize();
}

void MultiImageTexture::ResizeTexture(TiledImageTexture& texture) const {
    // The texture picks its own channel type; only the format is passed on.
    if (width && height) texture.Resize(width, height, GL_RGBA, GL_FLOAT);
}

void MultiImageTexture::SetImages(const XIImage** newImages, int newCount, bool load,
                                  GLSL::Shader** processing) {
    delete[] textures;
    textures = nullptr;
    images = newImages;
    imageCount = newCount;

    // Only the leading images that fit the budget get a texture.
    int kept = newCount;
    long long budget = MaxTextureMemoryAvailable();
    for (int i = 0; i < kept; ++i) {
        const XIImage* image = images[i];
        if (!image) continue;
        budget -= static_cast<long long>(NearestPowerOfTwo(image->GetWidth())) *
                  NearestPowerOfTwo(image->GetHeight()) * 16;
        if (budget < 0) kept = i;
    }
    count = kept > 0 ? kept : 0;
    if (count < 1) return;

    textures = new TiledImageTexture[count];
    if (load) {
        for (int i = 0; i < count; ++i) {
            if (!images[i]) continue;
            textures[i].SetImage(images[i]);
            if (processing && processing[i]) textures[i].SetLoadProcessing(processing[i]);
            ResizeTexture(textures[i]);
        }
    }
    initialized = true;
}

void MultiImageTexture::InitializeImages(const XIImage** newImages, int newCount) {
    images = newImages;
    imageCount = newCount;
}

void MultiImageTexture::PreSelectTextures(int* indices, int newCount) {
    preselected = indices;
    preselectedCount = newCount;
    if (!indices || !images || !textures) return;
    for (int j = 0; j < newCount && j < count; ++j) {
        const int index = indices[j];
        if (index < 0 || index >= imageCount || !images[index]) continue;
        textures[j].SetImage(images[index]);
        ResizeTexture(textures[j]);
    }
}

void MultiImageTexture::Resize(int newWidth, int newHeight) {
    width = newWidth;
    height = newHeight;
    if (!textures) return;
    for (int i = 0; i < count; ++i)
        if (textures[i].HasImage()) ResizeTexture(textures[i]);
}

void MultiImageTexture::ApplyTexture(int index, bool usePreselected) {
    if (!textures || count < 1) return;
    int i = -1;
    if (!usePreselected) {
        i = index % count;
        if (i < 0) i += count;
    } else if (preselected) {
        for (int j = 0; j < preselectedCount && j < count; ++j) {
            if (preselected[j] == index) {
                i = j;
                break;
            }
        }
    }
    if (i < 0 || !textures[i].HasImage()) return;
    textures[i].SetMipMapped(mipMapped);
    textures[i].Apply();
}

void MultiImageTexture::Reset() {
    if (!textures) return;
    for (int i = 0; i < count; ++i) textures[i].Finalize();
}

void MultiImageTexture::Finalize() {
    delete[] textures;
    textures = nullptr;
    count = 0;
}

} // namespace OGL_TESK_AE
