#pragma once

// CPU references for the basic image operations: what each should leave in its destination,
// worked out from the source pixels as the images really hold them. Pictures are row-major with
// y counted from the bottom of the picture, as Put and Get count it.

#include "HostLayouts.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace tesk_test {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<RGBA> pixels;

    Picture() = default;
    Picture(int w, int h, const RGBA& fill = RGBA{0, 0, 0, 0})
        : width(w), height(h), pixels(static_cast<size_t>(w) * static_cast<size_t>(h), fill) {}
    RGBA& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
    const RGBA& At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// What the image holds now, decoded.
inline Picture ReadPicture(const Layout& layout, TestImage& image) {
    Picture p(image.Width(), image.Height());
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) p.At(x, y) = Get(layout, image, x, y);
    return p;
}

// Random pixels of the layout (FillRandom), as a picture of what the image really holds.
inline Picture FillPicture(const Layout& layout, TestImage& image, uint32_t seed) {
    Picture p(image.Width(), image.Height());
    p.pixels = FillRandom(layout, image, seed);
    return p;
}

// The card keeps intermediate results at the precision of its preferred channel type (half
// floats on llvmpipe), so results may be off by that much as well as by one step of the layout.
inline float Tolerance(const Layout& layout) {
    return std::max(layout.Step(), 1.0f / 512.0f) + 1e-6f;
}

// Linear filtering of 8-bit texture coordinates and weights is coarser than the pixels.
constexpr float kFilterTolerance = 2.0f / 255.0f;

inline float Luma(const RGBA& p) {
    return 0.30f * p[0] + 0.59f * p[1] + 0.11f * p[2];
}

inline RGBA Premultiplied(const RGBA& p) {
    return RGBA{p[0] * p[3], p[1] * p[3], p[2] * p[3], p[3]};
}

// The colour laid over the image with weight t = colour alpha times the mask's alpha (or its
// complement), the image under it.
inline RGBA Masked(const RGBA& image, float maskAlpha, const RGBA& colour, bool inverse) {
    const float t = colour[3] * (inverse ? 1.0f - maskAlpha : maskAlpha);
    return RGBA{image[0] * (1 - t) + colour[0] * t, image[1] * (1 - t) + colour[1] * t,
                image[2] * (1 - t) + colour[2] * t, image[3] * (1 - t) + t};
}

// Bilinear sample at texel-space point (u, v), edges clamped, as OpenGL's linear filter.
inline RGBA Bilinear(const Picture& p, double u, double v) {
    u -= 0.5;
    v -= 0.5;
    const int x0 = static_cast<int>(std::floor(u)), y0 = static_cast<int>(std::floor(v));
    const double fx = u - x0, fy = v - y0;
    auto texel = [&](int x, int y) {
        return p.At(std::clamp(x, 0, p.width - 1), std::clamp(y, 0, p.height - 1));
    };
    RGBA out{};
    for (int c = 0; c < 4; ++c)
        out[c] = static_cast<float>(
            (texel(x0, y0)[c] * (1 - fx) + texel(x0 + 1, y0)[c] * fx) * (1 - fy) +
            (texel(x0, y0 + 1)[c] * (1 - fx) + texel(x0 + 1, y0 + 1)[c] * fx) * fy);
    return out;
}

// Source at its own size, moved by the whole-pixel half difference of the sizes; the rest of
// the destination transparent.
inline Picture CenterReference(const Picture& s, int dw, int dh) {
    Picture d(dw, dh);
    const int ox = (dw - s.width) / 2, oy = (dh - s.height) / 2;
    for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x) {
            const int u = x - ox, v = y - oy;
            if (u >= 0 && u < s.width && v >= 0 && v < s.height) d.At(x, y) = s.At(u, v);
        }
    return d;
}

// Source stretched over the destination: a pixel centre maps to (x + 0.5) * k in the source.
inline Picture ResizeReference(const Picture& s, int dw, int dh) {
    Picture d(dw, dh);
    const double kx = double(s.width) / dw, ky = double(s.height) / dh;
    for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x) d.At(x, y) = Bilinear(s, (x + 0.5) * kx, (y + 0.5) * ky);
    return d;
}

// Scale s = min(dw / sw, dh / sh) in single precision, the fitted size truncated, placed at
// the truncated half of the leftover; outside it transparent. None of it when the fitted size
// is empty: the destination is left as it was (given as before).
inline Picture FitIntoReference(const Picture& s, int dw, int dh, const Picture& before) {
    const float sw = float(s.width), sh = float(s.height);
    const float scale = std::min(float(dw) / sw, float(dh) / sh);
    const int fw = static_cast<int>(scale * sw), fh = static_cast<int>(scale * sh);
    if (fw < 1 || fh < 1) return before;
    const Picture fitted = ResizeReference(s, fw, fh);
    Picture d(dw, dh);
    const int ox = static_cast<int>((float(dw) - float(fw)) * 0.5f);
    const int oy = static_cast<int>((float(dh) - float(fh)) * 0.5f);
    for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x) {
            const int u = x - ox, v = y - oy;
            if (u >= 0 && u < fw && v >= 0 && v < fh) d.At(x, y) = fitted.At(u, v);
        }
    return d;
}

// The first pixel of image that differs from expected by more than tolerance in some channel,
// described; empty when none does.
inline std::string FirstDifference(const Layout& layout, TestImage& image, const Picture& expected,
                                   float tolerance) {
    if (image.Width() != expected.width || image.Height() != expected.height)
        return "size differs from the reference";
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x) {
            const RGBA want = expected.At(x, y), got = Get(layout, image, x, y);
            for (int c = 0; c < 4; ++c)
                if (!(std::fabs(got[c] - want[c]) <= tolerance)) {
                    std::ostringstream text;
                    text << layout.name << " " << image.Width() << "x" << image.Height()
                         << (image.BottomUp() ? " bottom-up" : "") << " at (" << x << ", " << y
                         << ") channel " << c << ": got " << got[c] << ", expected " << want[c];
                    return text.str();
                }
        }
    return std::string();
}

} // namespace tesk_test
