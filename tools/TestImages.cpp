#include "tools/TestImages.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace cli {

namespace {

template <class Pixel> OIIO::ImageBuf Make(int width, int height, Pixel pixel) {
    OIIO::ImageBuf image(OIIO::ImageSpec(width, height, 4, OIIO::TypeFloat));
    std::vector<float> row(static_cast<size_t>(width) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) pixel(x, y, &row[static_cast<size_t>(x) * 4]);
        image.set_pixels(OIIO::ROI(0, width, y, y + 1, 0, 1, 0, 4), OIIO::TypeFloat, row.data());
    }
    return image;
}

float Unit(int i, int n) {
    return n > 1 ? static_cast<float>(i) / static_cast<float>(n - 1) : 0.0f;
}

} // namespace

OIIO::ImageBuf Gradient(int width, int height) {
    return Make(width, height, [&](int x, int y, float* p) {
        const float u = Unit(x, width), v = Unit(y, height);
        p[0] = u;
        p[1] = v;
        p[2] = 1.0f - u;
        p[3] = 1.0f;
    });
}

OIIO::ImageBuf Checker(int width, int height, int cell) {
    return Make(width, height, [&](int x, int y, float* p) {
        const bool white = ((x / cell) + (y / cell)) % 2 == 0;
        p[0] = white ? 1.0f : 0.1f;
        p[1] = white ? 1.0f : 0.2f;
        p[2] = white ? 1.0f : 0.5f;
        p[3] = 1.0f;
    });
}

OIIO::ImageBuf SoftDisc(int width, int height) {
    const float side = static_cast<float>(std::min(width, height));
    const float inner = 0.25f * side, outer = 0.45f * side;
    const float cx = 0.5f * width, cy = 0.5f * height;
    return Make(width, height, [&](int x, int y, float* p) {
        const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
        p[0] = 1.0f;
        p[1] = 0.35f + 0.5f * Unit(y, height);
        p[2] = 0.1f;
        p[3] = std::clamp((outer - d) / (outer - inner), 0.0f, 1.0f);
    });
}

OIIO::ImageBuf ColourWheel(int width, int height) {
    const float side = static_cast<float>(std::min(width, height));
    const float inner = 0.3f * side, outer = 0.48f * side;
    const float cx = 0.5f * width, cy = 0.5f * height;
    return Make(width, height, [&](int x, int y, float* p) {
        const float dx = x + 0.5f - cx, dy = y + 0.5f - cy, d = std::hypot(dx, dy);
        const float hue = (std::atan2(dy, dx) / 6.2831853f + 0.5f) * 6.0f;
        const float saturation = std::min(d / inner, 1.0f);
        for (int c = 0; c < 3; ++c) {
            // Each channel is full within a third of the circle from its own hue and falls off
            // linearly over the next sixth.
            const float offset = std::fabs(std::fmod(hue + 6.0f - 2.0f * c, 6.0f) - 3.0f);
            const float pure = std::clamp(offset - 1.0f, 0.0f, 1.0f);
            p[c] = 1.0f - saturation * (1.0f - pure);
        }
        p[3] = 0.8f * std::clamp((outer - d) / (outer - inner), 0.0f, 1.0f);
    });
}

OIIO::ImageBuf Noise(int width, int height, uint32_t seed) {
    uint32_t state = seed ? seed : 1u;
    auto next = [&state]() {
        // xorshift32: small, fixed and the same on every machine.
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<float>(state >> 8) / 16777216.0f;
    };
    return Make(width, height, [&](int, int, float* p) {
        p[0] = next();
        p[1] = next();
        p[2] = next();
        p[3] = 1.0f;
    });
}

} // namespace cli
