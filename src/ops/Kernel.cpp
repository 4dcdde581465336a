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

} // namespace OGL_TESK_AE
