// The exported blurs: kernels of each shape handed to the separable convolution.
#include "ops/Blur.h"

#include "common/Shared.h"
#include "ops/Convolve.h"
#include "ops/Kernel.h"

#include <cmath>

namespace OGL_TESK_AE {

namespace {

constexpr double kPi = 3.14159265358979323846;

void Separable(RenderedTexture& texture, void (*shape)(Kernel&, float), float width, float height) {
    Kernel x, y;
    shape(x, width);
    shape(y, height);
    ConvolveTexture(texture, x, y);
}

void SeparableImage(const XIImage* source, XIImage* destination, void (*shape)(Kernel&, float),
                    float width, float height) {
    if (!IsValid(source) || !IsValid(destination)) return;
    Kernel x, y;
    shape(x, width);
    shape(y, height);
    ConvolveImage(source, destination, &x, &y);
}

// A filter sampled at taps half a pixel apart, centred on 0, and normalised.
void Sampled(Kernel& kernel, int taps, double (*filter)(double)) {
    kernel.Resize(float(taps));
    for (int i = 0; i < kernel.Size(); ++i)
        kernel[i] = static_cast<float>(filter(0.5 * (i - (kernel.Size() - 1) / 2)));
    const float sum = kernel.Sum();
    for (int i = 0; i < kernel.Size(); ++i) kernel[i] /= sum;
}

// Mitchell-Netravali cubics with parameters B and C.
double Cubic(double x, double b, double c) {
    x = std::fabs(x);
    if (x < 1.0)
        return ((12 - 9 * b - 6 * c) * x * x * x + (-18 + 12 * b + 6 * c) * x * x + (6 - 2 * b)) /
               6.0;
    if (x < 2.0)
        return ((-b - 6 * c) * x * x * x + (6 * b + 30 * c) * x * x + (-12 * b - 48 * c) * x +
                (8 * b + 24 * c)) /
               6.0;
    return 0.0;
}

double Sinc(double x) {
    return x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
}

double Lanczos(double x, double a) {
    return std::fabs(x) < a ? Sinc(x) * Sinc(x / a) : 0.0;
}

void Interpolate(RenderedTexture& texture, int taps, double (*filter)(double)) {
    Kernel x, y;
    Sampled(x, taps, filter);
    Sampled(y, taps, filter);
    ConvolveTexture(texture, x, y);
}

} // namespace

void Blur(const XIImage* source, XIImage* destination, float width, float height, float spread) {
    if (!IsValid(source) || !IsValid(destination)) return;
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

// Each filter is sampled at -1, -0.5, 0, 0.5, 1 pixels (Lanczos-2: -0.5, 0, 0.5) and normalised:
//   Catmull-Rom (B = 0, C = 1/2):  0, 0.264706, 0.470588, 0.264706, 0
//   Mitchell (B = C = 1/3):        0.026846, 0.258389, 0.429530, 0.258389, 0.026846
//   cubic B-spline (B = 1, C = 0): 0.085106, 0.244681, 0.340426, 0.244681, 0.085106
//   Lanczos-2:                     0.267043, 0.465914, 0.267043
//   Lanczos-3:                     0, 0.274353, 0.451293, 0.274353, 0
// The zero end taps are where the filters cross zero; the convolution skips them.
void CatmulInterpolateTexture(RenderedTexture& texture) {
    Interpolate(texture, 5, [](double x) { return Cubic(x, 0.0, 0.5); });
}

void MitchellInterpolateTexture(RenderedTexture& texture) {
    Interpolate(texture, 5, [](double x) { return Cubic(x, 1.0 / 3.0, 1.0 / 3.0); });
}

void BSplineInterpolateTexture(RenderedTexture& texture) {
    Interpolate(texture, 5, [](double x) { return Cubic(x, 1.0, 0.0); });
}

void Lanczos2InterpolateTexture(RenderedTexture& texture) {
    Interpolate(texture, 3, [](double x) { return Lanczos(x, 2.0); });
}

void Lanczos3InterpolateTexture(RenderedTexture& texture) {
    Interpolate(texture, 5, [](double x) { return Lanczos(x, 3.0); });
}

} // namespace OGL_TESK_AE
