#include "ops/Implementation/Kernel.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace OGL_TESK_AE {

void Kernel::Resize(float width) {
    fWeights.reset();
    fSize = 0;
    // A width of a pixel or less, negative or not a number at all, is one tap: the convolution
    // then copies, where a kernel of no taps would leave its target as it was.
    const int n = width > 1.0f ? static_cast<int>(std::ceil(width)) | 1 : 1;
    fWeights.reset(new (std::nothrow) float[n]());
    if (fWeights) fSize = n;
}

float Kernel::Sum() const {
    float sum = 0.0f;
    for (int i = 0; i < fSize; ++i) sum += fWeights[i];
    return sum;
}

namespace {

// Scaled to sum to 1, so that a flat field stays flat. A kernel with nothing to scale (all
// zero, or a sum that is not a number) becomes the identity: copying is what a filter too narrow
// to reach any pixel amounts to, where transparent or unscaled weights would erase or brighten.
void Normalise(Kernel& kernel) {
    const float sum = kernel.Sum();
    if (!(sum > 0.0f) || !std::isfinite(sum)) {
        for (int i = 0; i < kernel.Size(); ++i) kernel[i] = 0.0f;
        if (kernel.Size() > 0) kernel[kernel.Size() / 2] = 1.0f;
        return;
    }
    for (int i = 0; i < kernel.Size(); ++i) kernel[i] /= sum;
}

constexpr double kPi = 3.14159265358979323846;

// A filter sampled at taps half a pixel apart, centred on 0, and normalised.
void Sampled(Kernel& kernel, int taps, double (*filter)(double)) {
    kernel.Resize(float(taps));
    for (int i = 0; i < kernel.Size(); ++i)
        kernel[i] = static_cast<float>(filter(0.5 * (i - (kernel.Size() - 1) / 2)));
    Normalise(kernel);
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

} // namespace

void BoxKernel(Kernel& kernel, float width) {
    kernel.Resize(width);
    const int n = kernel.Size();
    if (n == 0) return;
    for (int i = 0; i < n; ++i) kernel[i] = 1.0f;
    // A fractional width covers the outermost pixels only partly. One tap is the whole width,
    // however narrow: its weight 1 / w would brighten.
    if (n > 1 && float(n) != width) {
        const float end = 1.0f - (float(n) - width) / 2.0f;
        kernel[0] = end;
        kernel[n - 1] = end;
    }
    Normalise(kernel);
}

void TriangleKernel(Kernel& kernel, float width) {
    kernel.Resize(width);
    const float half = width / 2.0f;
    // The peak sits at w / 2, so the last tap can lie beyond the triangle's foot (w = 1.5: 0,
    // 2/3, -2/3). Such taps weigh nothing rather than subtract, and a width too narrow to reach
    // a tap (w <= 1 and 1 < w < 2 leave one) is the identity through Normalise.
    for (int i = 0; i < kernel.Size(); ++i)
        kernel[i] = std::max(0.0f, 1.0f - std::fabs(half - float(i)) / half);
    Normalise(kernel);
}

void PascalKernel(Kernel& kernel, float width) {
    kernel.Resize(width);
    const int n = kernel.Size();
    if (n == 0) return;
    // Row n - 1 of Pascal's triangle over 2^(n - 1), built in place from the right so each entry
    // reads the previous row's values; halving at every row keeps wide rows finite.
    kernel[0] = 1.0f;
    for (int row = 1; row < n; ++row)
        for (int i = row; i >= 0; --i) kernel[i] = ((i > 0 ? kernel[i - 1] : 0.0f) + kernel[i]) / 2;
    Normalise(kernel);
}

void GaussianKernel(Kernel& kernel, float width, float spread) {
    kernel.Resize(width);
    const int n = kernel.Size();
    const float c = float(n - 1) / 2.0f;
    const float variance = spread * spread;
    // The constant factor of the density cancels in Normalise; a spread of 0 is the identity
    // (the limit of ever narrower Gaussians), as is a single tap.
    if (n <= 1 || !(variance > 0.0f)) return Normalise(kernel);
    for (int i = 0; i < n; ++i) {
        const float x = (float(i) - c) / (width / 2.0f);
        kernel[i] = std::exp(-x * x / (2.0f * variance));
    }
    Normalise(kernel);
}

// Each filter is sampled at -1, -0.5, 0, 0.5, 1 pixels (Lanczos-2: -0.5, 0, 0.5) and normalised:
//   Catmull-Rom (B = 0, C = 1/2):  0, 0.264706, 0.470588, 0.264706, 0
//   Mitchell (B = C = 1/3):        0.026846, 0.258389, 0.429530, 0.258389, 0.026846
//   cubic B-spline (B = 1, C = 0): 0.085106, 0.244681, 0.340426, 0.244681, 0.085106
//   Lanczos-2:                     0.267043, 0.465914, 0.267043
//   Lanczos-3:                     0, 0.274353, 0.451293, 0.274353, 0
// The zero end taps are where the filters cross zero; the convolution skips them.
void CatmullRomKernel(Kernel& kernel) {
    Sampled(kernel, 5, [](double x) { return Cubic(x, 0.0, 0.5); });
}

void MitchellKernel(Kernel& kernel) {
    Sampled(kernel, 5, [](double x) { return Cubic(x, 1.0 / 3.0, 1.0 / 3.0); });
}

void BSplineKernel(Kernel& kernel) {
    Sampled(kernel, 5, [](double x) { return Cubic(x, 1.0, 0.0); });
}

void Lanczos2Kernel(Kernel& kernel) {
    Sampled(kernel, 3, [](double x) { return Lanczos(x, 2.0); });
}

void Lanczos3Kernel(Kernel& kernel) {
    Sampled(kernel, 5, [](double x) { return Lanczos(x, 3.0); });
}

} // namespace OGL_TESK_AE
