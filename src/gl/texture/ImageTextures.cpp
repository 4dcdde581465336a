#include "gl/texture/ImageTextures.h"

#include "gl/effects/Conversion.h"

#include "common/Errors.h"
#include "gl/texture/Implementation/MemoryRows.h"
#include "gl/texture/TextureBuffer.h"
#include "gl/texture/TextureFormat.h"

namespace OGL_TESK_AE {

namespace {

Region WholeImage(const XIImage* image) {
    return Region(0, 0, static_cast<unsigned>(image->GetWidth()),
                  static_cast<unsigned>(image->GetHeight()));
}

// Sampling parameters every image texture ends its Load with.
void ApplySampling(const Texture& texture) {
    texture.ApplyLinear();
    texture.ApplyClampToEdge();
    texture.ApplyModulate();
}

} // namespace

Region MemoryRows(const XIImage* image, const Region& r, int height) {
    if (!image || image->IsBottomUp() || !r.IsValid()) return r;
    return Region(r.XOrigin(), height - r.YOrigin() - static_cast<int>(r.Height()), r.Width(),
                  r.Height());
}

// SubImageTexture

SubImageTexture::SubImageTexture() = default;

SubImageTexture::SubImageTexture(const XIImage* source) {
    SetImage(source);
}

void SubImageTexture::SetImage(const XIImage* source) {
    image = source;
    loaded = false;
    if (IsValid(source)) {
        imageWidth = source->GetWidth();
        imageHeight = source->GetHeight();
        GLenum sourceType = 0;
        GetColorSpaceFormat(source->GetColorSpace(), source->GetBitDepth(), source->GetWhiteLevel(),
                            imageFormat, sourceType);
        imageType = byteTexels ? GL_UNSIGNED_BYTE : TexelType();
        SetRegion(WholeImage(source));
    } else {
        SetRegion(Region());
    }
}

void SubImageTexture::SetMask(const XIImage* newMask) {
    mask = newMask;
    loaded = false;
}

void SubImageTexture::SetRegion(const Region& r) {
    if (!IsValid(image)) {
        loaded = false;
        region = Region();
        return;
    }
    if (r != region) {
        region = r;
        loaded = false;
    }
    // The texture is the region's size, also when it is drawn into.
    SetDimensions(static_cast<int>(r.Width()), static_cast<int>(r.Height()));
    ChangeKey(TextureKey(GL_TEXTURE_RECTANGLE_ARB, static_cast<int>(r.Width()),
                         static_cast<int>(r.Height()), GetInternalFormat(imageFormat, imageType),
                         false));
}

void SubImageTexture::Apply() const {
    binding.Apply();
    Load();
}

void SubImageTexture::Load() const {
    const float w = static_cast<float>(region.Width());
    const float h = static_cast<float>(region.Height());
    BindTexture();
    if (!loaded) {
        SubImageTexture& self = const_cast<SubImageTexture&>(*this);
        const Region destination(0, 0, region.Width(), region.Height());
        if (IsValid(image))
            self.LoadTexture(image, MemoryRows(image, region, image->GetHeight()), destination,
                             false);
        else
            self.ClearTexture(Color::Transparent);
        if (mask)
            self.MaskTexture(mask, MemoryRows(mask, region, mask->GetHeight()), destination, false);
        ExtendEdges(static_cast<int>(region.Width()), static_cast<int>(region.Height()));
        loaded = true;
    }
    SetTransform(w, h, 0.0f, 0.0f);
    ApplySampling(*this);
}

// ImageTexture

ImageTexture::ImageTexture(const XIImage* image) : pendingImage(image) {}

void ImageTexture::Load() const {
    SubImageTexture::Load();
    ApplySampling(*this);
}

// AlphaTexture

AlphaTexture::AlphaTexture() = default;

AlphaTexture::AlphaTexture(const XIImage* source) {
    SetImage(source);
}

void AlphaTexture::SetImage(const XIImage* source) {
    alphaImage = source;
    loaded = false;
    SetRegion(IsValid(source) ? WholeImage(source) : Region());
}

void AlphaTexture::SetRegion(const Region& r) {
    ChangeKey(TextureKey(GL_TEXTURE_RECTANGLE_ARB, static_cast<int>(r.Width()),
                         static_cast<int>(r.Height()), GetInternalFormat(GL_ALPHA, GetBestType()),
                         false));
    if (IsValid(alphaImage)) {
        if (r != alphaRegion) {
            alphaRegion = r;
            loaded = false;
        }
    } else {
        alphaRegion = Region();
        loaded = false;
    }
}

void AlphaTexture::Load() const {
    if (!alphaImage) throw OpenGLError();
    const float w = static_cast<float>(alphaRegion.Width());
    const float h = static_cast<float>(alphaRegion.Height());
    BindTexture();
    // The image's own layout goes straight in; one OpenGL cannot read as it is (channels in
    // another order, a white level below full scale) goes through the loader's conversion,
    // which also turns its rows the OpenGL way up.
    GLenum format = GL_RGBA, type = 0;
    float whiteScale = 1.0f;
    GetColorSpaceFormat(alphaImage, format, type, whiteScale);
    const bool native = !NeedToConvert(alphaImage, format, type) && whiteScale == 1.0f;
    if (!loaded) {
        const Region destination(0, 0, alphaRegion.Width(), alphaRegion.Height());
        const Region source = MemoryRows(alphaImage, alphaRegion, alphaImage->GetHeight());
        if (native)
            buffer->LoadImageNative(alphaImage, source, destination, false);
        else
            const_cast<AlphaTexture*>(this)->LoadTexture(alphaImage, source, destination, false);
        ExtendEdges(static_cast<int>(alphaRegion.Width()), static_cast<int>(alphaRegion.Height()));
        loaded = true;
    }
    SetTransform(w, h, 0.0f, 0.0f);
    if (native && !alphaImage->IsBottomUp()) FlipTransform();
    ApplySampling(*this);
}

// BorderTexture

BorderTexture::BorderTexture(const XIImage* source) : image(source) {}

void BorderTexture::SetImage(const XIImage* source) {
    Finalize();
    image = source;
    loaded = false;
    if (!IsValid(source)) return;
    imageWidth = source->GetWidth();
    imageHeight = source->GetHeight();
    GLenum sourceType = 0;
    GetColorSpaceFormat(source->GetColorSpace(), source->GetBitDepth(), source->GetWhiteLevel(),
                        imageFormat, sourceType);
    imageType = GetBestType();
    key = TextureKey(GL_TEXTURE_RECTANGLE_ARB, imageWidth + 2, imageHeight + 2,
                     GetInternalFormat(imageFormat, imageType), false);
}

void BorderTexture::Apply() const {
    binding.Apply();
    Load();
}

void BorderTexture::Load() const {
    if (!image) throw OpenGLError();
    BindTexture();
    if (!loaded) {
        BorderTexture& self = const_cast<BorderTexture&>(*this);
        self.ClearTexture(Color::Transparent);
        self.LoadTexture(
            image,
            Region(0, 0, static_cast<unsigned>(imageWidth), static_cast<unsigned>(imageHeight)),
            Region(1, 1, static_cast<unsigned>(imageWidth), static_cast<unsigned>(imageHeight)),
            false);
        loaded = true;
    }
    SetTransform(static_cast<float>(imageWidth), static_cast<float>(imageHeight), 1.0f, 1.0f);
    ApplySampling(*this);
}

} // namespace OGL_TESK_AE
