#pragma once

#include <memory>

namespace OGL_TESK_AE {

// The weights of one direction of a separable blur. Tap i sits i - (Size() - 1) / 2 pixels from
// the centre; the tap count is always odd so that the kernel has a centre tap.
class Kernel {
public:
    Kernel() = default;
    Kernel(const Kernel&) = delete;
    Kernel& operator=(const Kernel&) = delete;

    // ceil(width) | 1 taps, all zero; one tap for a width of 1 or less. A failed allocation
    // leaves the kernel empty, which convolves as a copy rather than throwing across the worker.
    void Resize(float width);
    int Size() const { return fSize; }
    float operator[](int i) const { return fWeights[i]; }
    const float* Data() const { return fWeights.get(); }
    float& operator[](int i) { return fWeights[i]; }
    float Sum() const;

private:
    std::unique_ptr<float[]> fWeights;
    int fSize = 0;
};

// The shapes sum to 1 and weigh no tap below 0, so that a flat field stays flat; a shape that
// reaches no tap but the centre is the identity.
void BoxKernel(Kernel& kernel, float width);
void TriangleKernel(Kernel& kernel, float width);
void PascalKernel(Kernel& kernel, float width);
// spread is in units of the half-width.
void GaussianKernel(Kernel& kernel, float width, float spread);

// The interpolation filters, each sampled at taps half a pixel apart and normalised: a
// reconstruction for a texture magnified twice. 5 taps (Lanczos-2: 3).
void CatmullRomKernel(Kernel& kernel);
void MitchellKernel(Kernel& kernel);
void BSplineKernel(Kernel& kernel);
void Lanczos2Kernel(Kernel& kernel);
void Lanczos3Kernel(Kernel& kernel);

} // namespace OGL_TESK_AE
