#include "gl/state/Pixel.h"

#include "common/XIImage.h"
#include "gl/state/Implementation/GetState.h"

namespace OGL_TESK_AE {

namespace {

// Row length and image height, in pixels, of an image's rows in memory; both 0 when the image
// cannot be used or its pixels are narrower than a byte.
void ImageLayout(const XIImage* image, int& rowLength, int& imageHeight) {
    rowLength = 0;
    imageHeight = 0;
    if (!IsValid(image)) return;
    const int32_t bytesPerPixel = static_cast<int32_t>(image->GetBitDepth()) / 8;
    if (bytesPerPixel == 0) return;
    rowLength = static_cast<int32_t>(image->GetRowBytes()) / bytesPerPixel;
    imageHeight = static_cast<int32_t>(image->GetHeight());
}

} // namespace

PixelStore::PixelStore(int alignment, int rowLength, int skipPixels, int skipRows)
    : alignment(alignment), rowLength(rowLength), skipPixels(skipPixels), skipRows(skipRows) {}

void PixelStore::Apply() const {
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, skipPixels);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, skipRows);
}

void PixelStore::Retrieve() {
    alignment = GetInteger(GL_UNPACK_ALIGNMENT);
    rowLength = GetInteger(GL_UNPACK_ROW_LENGTH);
    skipPixels = GetInteger(GL_UNPACK_SKIP_PIXELS);
    skipRows = GetInteger(GL_UNPACK_SKIP_ROWS);
}

PixelUnpack::PixelUnpack(int alignment, int rowLength, int imageHeight, int skipPixels,
                         int skipRows)
    : alignment(alignment), rowLength(rowLength), imageHeight(imageHeight), skipPixels(skipPixels),
      skipRows(skipRows) {}

PixelUnpack::PixelUnpack(const XIImage* image, int skipPixels, int skipRows)
    : alignment(4), rowLength(0), imageHeight(0), skipPixels(skipPixels), skipRows(skipRows) {
    ImageLayout(image, rowLength, imageHeight);
}

void PixelUnpack::Apply() const {
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
    glPixelStorei(GL_UNPACK_IMAGE_HEIGHT, imageHeight);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, skipPixels);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, skipRows);
}

void PixelUnpack::Retrieve() {
    alignment = GetInteger(GL_UNPACK_ALIGNMENT);
    rowLength = GetInteger(GL_UNPACK_ROW_LENGTH);
    imageHeight = GetInteger(GL_UNPACK_IMAGE_HEIGHT);
    skipPixels = GetInteger(GL_UNPACK_SKIP_PIXELS);
    skipRows = GetInteger(GL_UNPACK_SKIP_ROWS);
}

PixelPack::PixelPack(int alignment, int rowLength, int imageHeight, int skipPixels, int skipRows)
    : alignment(alignment), rowLength(rowLength), imageHeight(imageHeight), skipPixels(skipPixels),
      skipRows(skipRows) {}

PixelPack::PixelPack(const XIImage* image, int skipPixels, int skipRows)
    : alignment(4), rowLength(0), imageHeight(0), skipPixels(skipPixels), skipRows(skipRows) {
    ImageLayout(image, rowLength, imageHeight);
}

void PixelPack::Apply() const {
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    glPixelStorei(GL_PACK_ROW_LENGTH, rowLength);
    glPixelStorei(GL_PACK_IMAGE_HEIGHT, imageHeight);
    glPixelStorei(GL_PACK_SKIP_PIXELS, skipPixels);
    glPixelStorei(GL_PACK_SKIP_ROWS, skipRows);
}

void PixelPack::Retrieve() {
    alignment = GetInteger(GL_PACK_ALIGNMENT);
    rowLength = GetInteger(GL_PACK_ROW_LENGTH);
    imageHeight = GetInteger(GL_PACK_IMAGE_HEIGHT);
    skipPixels = GetInteger(GL_PACK_SKIP_PIXELS);
    skipRows = GetInteger(GL_PACK_SKIP_ROWS);
}

PixelTransfer::PixelTransfer()
    : redScale(1.0f), redBias(0.0f), greenScale(1.0f), greenBias(0.0f), blueScale(1.0f),
      blueBias(0.0f), alphaScale(1.0f), alphaBias(0.0f) {}

PixelTransfer::PixelTransfer(float rs, float rb, float gs, float gb, float bs, float bb, float as,
                             float ab) {
    Retrieve();
    redBias = redBias * rs + rb;
    redScale *= rs;
    greenBias = greenBias * gs + gb;
    greenScale *= gs;
    blueBias = blueBias * bs + bb;
    blueScale *= bs;
    alphaBias = alphaBias * as + ab;
    alphaScale *= as;
}

void PixelTransfer::Apply() const {
    glPixelTransferf(GL_RED_SCALE, redScale);
    glPixelTransferf(GL_RED_BIAS, redBias);
    glPixelTransferf(GL_GREEN_SCALE, greenScale);
    glPixelTransferf(GL_GREEN_BIAS, greenBias);
    glPixelTransferf(GL_BLUE_SCALE, blueScale);
    glPixelTransferf(GL_BLUE_BIAS, blueBias);
    glPixelTransferf(GL_ALPHA_SCALE, alphaScale);
    glPixelTransferf(GL_ALPHA_BIAS, alphaBias);
}

void PixelTransfer::Retrieve() {
    redScale = GetFloat(GL_RED_SCALE);
    redBias = GetFloat(GL_RED_BIAS);
    greenScale = GetFloat(GL_GREEN_SCALE);
    greenBias = GetFloat(GL_GREEN_BIAS);
    blueScale = GetFloat(GL_BLUE_SCALE);
    blueBias = GetFloat(GL_BLUE_BIAS);
    alphaScale = GetFloat(GL_ALPHA_SCALE);
    alphaBias = GetFloat(GL_ALPHA_BIAS);
}

ColorSpace::ColorSpace() {
    Retrieve();
}

ColorSpace::ColorSpace(GLenum type, int whiteLevel) {
    Retrieve();
    float factor = 1.0f;
    switch (type) {
    case GL_BYTE:
        factor = static_cast<float>(whiteLevel) * (1.0f / 127.0f);
        break;
    case GL_UNSIGNED_BYTE:
        factor = static_cast<float>(whiteLevel) * (1.0f / 255.0f);
        break;
    case GL_SHORT:
        factor = static_cast<float>(whiteLevel) * (1.0f / 32767.0f);
        break;
    case GL_UNSIGNED_SHORT:
        factor = static_cast<float>(whiteLevel) * (1.0f / 65535.0f);
        break;
    default:
        break;
    }
    redScale *= factor;
    greenScale *= factor;
    blueScale *= factor;
    alphaScale *= factor;
}

void ColorSpace::Apply() const {
    glPixelTransferf(GL_RED_SCALE, redScale);
    glPixelTransferf(GL_GREEN_SCALE, greenScale);
    glPixelTransferf(GL_BLUE_SCALE, blueScale);
    glPixelTransferf(GL_ALPHA_SCALE, alphaScale);
}

void ColorSpace::Retrieve() {
    redScale = GetFloat(GL_RED_SCALE);
    greenScale = GetFloat(GL_GREEN_SCALE);
    blueScale = GetFloat(GL_BLUE_SCALE);
    alphaScale = GetFloat(GL_ALPHA_SCALE);
}

Opacity::Opacity(float opacity) : alphaScale(GetFloat(GL_ALPHA_SCALE) * opacity) {}

void Opacity::Apply() const {
    glPixelTransferf(GL_ALPHA_SCALE, alphaScale);
}

void Opacity::Retrieve() {
    alphaScale = GetFloat(GL_ALPHA_SCALE);
}

PushPixelStore::PushPixelStore(int alignment, int rowLength, int skipPixels, int skipRows)
    : Push<PixelStore>(PixelStore(alignment, rowLength, skipPixels, skipRows)) {}

PushPixelUnpack::PushPixelUnpack(int alignment, int rowLength, int imageHeight, int skipPixels,
                                 int skipRows)
    : Push<PixelUnpack>(PixelUnpack(alignment, rowLength, imageHeight, skipPixels, skipRows)) {}

PushPixelUnpack::PushPixelUnpack(const XIImage* image, int skipPixels, int skipRows)
    : Push<PixelUnpack>(PixelUnpack(image, skipPixels, skipRows)) {}

PushPixelPack::PushPixelPack(int alignment, int rowLength, int imageHeight, int skipPixels,
                             int skipRows)
    : Push<PixelPack>(PixelPack(alignment, rowLength, imageHeight, skipPixels, skipRows)) {}

PushPixelPack::PushPixelPack(const XIImage* image, int skipPixels, int skipRows)
    : Push<PixelPack>(PixelPack(image, skipPixels, skipRows)) {}

// The composed mapping is read before the scope saves anything: both see the same state.
PushPixelTransfer::PushPixelTransfer(float rs, float rb, float gs, float gb, float bs, float bb,
                                     float as, float ab)
    : Push<PixelTransfer>(PixelTransfer(rs, rb, gs, gb, bs, bb, as, ab)) {}

template class Push<PixelStore>;
template class Push<PixelUnpack>;
template class Push<PixelPack>;
template class Push<PixelTransfer>;

} // namespace OGL_TESK_AE
