#pragma once

// One way of doing the benchmark's work: this library, or a CPU library a plug-in author would
// use instead. Every operation reads host frames and writes its result into a host frame of
// the layout the library would fill, so that all of them do the same work from the same
// memory to the same memory. An operation an implementation does not offer returns false.

#include "HostImage.h"

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
};

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

} // namespace tesk_bench
