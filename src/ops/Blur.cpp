// The exported blurs: kernels of each shape handed to the separable convolution.
#include "ops/Blur.h"

#include "common/Shared.h"
#include "ops/Implementation/Convolve.h"
#include "ops/Implementation/Kernel.h"
#include "common/Implementation/Prologue.h"

namespace OGL_TESK_AE {

namespace {

void Separable(RenderedTexture& texture, void (*shape)(Kernel&, float), float width, float height) {
    Kernel x, y;
    shape(x, width);
    shape(y, height);
    ConvolveTexture(texture, x, y);
}

void SeparableImage(const XIImage* source, XIImage* destination, void (*shape)(Kernel&, float),
                    float width, float height) {
    if (!Prologue({{source, "source image"}, {destination, "destination image"}})) return;
    Kernel x, y;
    shape(x, width);
    shape(y, height);
    ConvolveImage(source, destination, &x, &y);
}

void Interpolate(RenderedTexture& texture, void (*shape)(Kernel&)) {
    Kernel x, y;
    shape(x);
    shape(y);
    ConvolveTexture(texture, x, y);
}

} // namespace

void Blur(const XIImage* source, XIImage* destination, float width, float height, float spread) {
    if (!Prologue({{source, "source image"}, {destination, "destination image"}})) return;
    Kernel x, y;
    GaussianKernel(x, width, spread);
    GaussianKernel(y, height, spread);
    ConvolveImage(source, destination, &x, &y);
}

void BoxBlur(const XIImage* source, XIImage* destination, float width, float height) {
    SeparableImage(source, destination, BoxKernel, width, height);
}

void PascalBlur(const XIImage* source, XIImage* destination, float width, float height) {
    SeparableImage(source, destination, PascalKernel, width, height);
}

void BoxBlurTexture(RenderedTexture& texture, float width, float height) {
    Separable(texture, BoxKernel, width, height);
}

void TriangleBlurTexture(RenderedTexture& texture, float width, float height) {
    Separable(texture, TriangleKernel, width, height);
}

void PascalBlurTexture(RenderedTexture& texture, float width, float height) {
    Separable(texture, PascalKernel, width, height);
}

void CatmulInterpolateTexture(RenderedTexture& texture) {
    Interpolate(texture, CatmullRomKernel);
}

void MitchellInterpolateTexture(RenderedTexture& texture) {
    Interpolate(texture, MitchellKernel);
}

void BSplineInterpolateTexture(RenderedTexture& texture) {
    Interpolate(texture, BSplineKernel);
}

void Lanczos2InterpolateTexture(RenderedTexture& texture) {
    Interpolate(texture, Lanczos2Kernel);
}

void Lanczos3InterpolateTexture(RenderedTexture& texture) {
    Interpolate(texture, Lanczos3Kernel);
}

} // namespace OGL_TESK_AE
