#include "ops/Kernel.h"

#include <cmath>
#include <new>

namespace OGL_TESK_AE {

void Kernel::Resize(float width) {
    fWeights.reset();
    fSize = 0;
    const int n = static_cast<int>(std::ceil(width)) | 1;
    if (n < 1) return;
    fWeights.reset(new (std::nothrow) float[n]());
    if (fWeights) fSize = n;
}

float Kernel::Sum() const {
    float sum = 0.0f;
    for (int i = 0; i < fSize; ++i) sum += fWeights[i];
    return sum;
}

namespace {

void Normalise(Kernel& kernel) {
    const float sum = kernel.Sum();
    if (sum == 0.0f) return;
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
    // A fractional width covers the outermost pixels only partly.
    if (float(n) != width) {
        const float end = 1.0f - (float(n) - width) / 2.0f;
        kernel[0] = end;
        kernel[n - 1] = end;
    }
    for (int i = 0; i < n; ++i) kernel[i] *= 1.0f / width;
}

void TriangleKernel(Kernel& kernel, float width) {
    kernel.Resize(width);
    const float half = width / 2.0f;
    for (int i = 0; i < kernel.Size(); ++i) kernel[i] = 1.0f - std::fabs(half - float(i)) / half;
    Normalise(kernel);
}

void PascalKernel(Kernel& kernel, float width) {
    kernel.Resize(width);
    const int n = kernel.Size();
    if (n == 0) return;
    // Row n - 1 of Pascal's triangle, built in place from the right so each entry reads the
    // previous row's values.
    kernel[0] = 1.0f;
    for (int row = 1; row < n; ++row)
        for (int i = row; i > 0; --i) kernel[i] += kernel[i - 1];
    Normalise(kernel);
}

void GaussianKernel(Kernel& kernel, float width, float spread) {
    kernel.Resize(width);
    const int n = kernel.Size();
    const float c = float(n - 1) / 2.0f;
    const float variance = spread * spread;
    const float scale = 1.0f / std::sqrt(2.0f * 3.14159265f * variance);
    for (int i = 0; i < n; ++i) {
        const float x = (float(i) - c) / (width / 2.0f);
        kernel[i] = std::exp(-x * x / (2.0f * variance)) * scale;
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
