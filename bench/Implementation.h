#pragma once

// One way of doing the benchmark's work: this library, or a CPU library a plug-in author would
// use instead. Every operation reads host frames and writes its result into a host frame of
// the layout the library would fill, so that all of them do the same work from the same
// memory to the same memory. An operation an implementation does not offer returns false.

#include "HostImage.h"

#include <cmath>
#include <memory>
#include <vector>

namespace tesk_bench {

// A colour as fractions of white, r g b a.
struct Colour {
    float r, g, b, a;
};

class Implementation {
public:
    virtual ~Implementation() = default;
    virtual const char* Name() const = 0;

    // destination = (source.rgb * source.a, source.a)
    virtual bool Premultiply(const HostImage& source, HostImage& destination) = 0;
    // The source's pixels in the destination's (different) layout.
    virtual bool Copy(const HostImage& source, HostImage& destination) = 0;
    // Bilinear resampling at the destination's pixel centres.
    virtual bool Resize(const HostImage& source, HostImage& destination) = 0;
    virtual bool Clear(HostImage& destination, const Colour& colour) = 0;
    // With t = colour.a * mask.a: rgb = image.rgb * (1 - t) + colour.rgb * t,
    // alpha = image.a * (1 - t) + t.
    virtual bool RenderMask(const HostImage& mask, const HostImage& image, HostImage& destination,
                            const Colour& colour) = 0;
    // luma = a * (0.30 r + 0.59 g + 0.11 b) into a float luma frame with bottom-up rows.
    virtual bool GetLuma(const HostImage& source, HostImage& luma) = 0;
    // front blended over back at mix 1 by blend mode 0 (over), 3 (multiply) or 4 (screen), on
    // premultiplied colour: premultiply both, the mode's formula, clamp to 0..1, unpremultiply.
    virtual bool Blend(const HostImage& front, const HostImage& back, HostImage& destination,
                       int mode) = 0;
    // Separable blurs in both directions, edges repeated: Gaussian weights over
    // GaussianWeights(width, spread).size() taps (sigma = spread * width / 2 pixels), and the box
    // of BoxWeights(width).
    virtual bool GaussianBlur(const HostImage&, HostImage&, float /*width*/, float /*spread*/) {
        return false;
    }
    virtual bool BoxBlur(const HostImage&, HostImage&, float /*width*/) { return false; }
    // front + back * (1 - front alpha), the frames taken as premultiplied colour.
    virtual bool Over(const HostImage&, const HostImage&, HostImage&) { return false; }
    // Three layers blurred by 21, 9 and 41 pixels stacked over the back (a glow).
    virtual bool Glow(const HostImage&, const HostImage&, const HostImage&, HostImage&) {
        return false;
    }
    // The source turned kTurn degrees clockwise (as the picture is seen) and scaled by kScale
    // about its centre, into a destination of its size, transparent outside. filter 0 takes
    // the nearest texel, 1 interpolates linearly, 2 uses Lanczos-3 (or the nearest the library
    // has).
    virtual bool Transform(const HostImage&, HostImage&, int /*filter*/) { return false; }
    static constexpr float kTurn = 30.0f;
    static constexpr float kScale = 0.8f;
    // Operations only the library times (its own floors): alpha into a float alpha frame with
    // bottom-up rows; the source's alpha into the destination's; the source centred at its own
    // size; the source fitted into the destination.
    virtual bool GetAlpha(const HostImage&, HostImage&) { return false; }
    virtual bool CopyAlpha(const HostImage&, HostImage&) { return false; }
    virtual bool Center(const HostImage&, HostImage&) { return false; }
    virtual bool FitInto(const HostImage&, HostImage&) { return false; }
};

// The weights of a width's taps (ceil(width) | 1 of them), each normalised to sum 1.
inline std::vector<float> GaussianWeights(float width, float spread) {
    const int n = static_cast<int>(std::ceil(width)) | 1;
    std::vector<float> k(n);
    float sum = 0.0f;
    for (int i = 0; i < n; ++i) {
        const float x = (float(i) - float(n - 1) / 2.0f) / (width / 2.0f);
        sum += k[i] = std::exp(-x * x / (2.0f * spread * spread));
    }
    for (float& v : k) v /= sum;
    return k;
}
inline std::vector<float> BoxWeights(float width) {
    const int n = static_cast<int>(std::ceil(width)) | 1;
    std::vector<float> k(n, 1.0f / width);
    if (n > 1) k.front() = k.back() = (1.0f - (float(n) - width) / 2.0f) / width;
    return k;
}

// This library; its first call starts the worker and its context.
std::unique_ptr<Implementation> MakeTesk();
// Null when the benchmark was built without that library.
std::unique_ptr<Implementation> MakeOpenCV();
std::unique_ptr<Implementation> MakeImageBufAlgo();

// The benchmark's competitors that were built in.
inline std::vector<std::unique_ptr<Implementation>> MakeCompetitors() {
    std::vector<std::unique_ptr<Implementation>> list;
    if (auto cv = MakeOpenCV()) list.push_back(std::move(cv));
    if (auto oiio = MakeImageBufAlgo()) list.push_back(std::move(oiio));
    return list;
}

// The floor of a small call: on the worker, one textured quad drawn into a render target made
// beforehand and read back with glReadPixels, without the library's machinery.
void BareDrawAndRead(HostImage& out);

} // namespace tesk_bench
