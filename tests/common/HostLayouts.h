#pragma once

// Host pixel layouts for tests, and an exact CPU codec between them and float RGBA: tests fill
// images of any layout from float pixels and read results back as floats to compare with a
// reference computed on the CPU.

#include "TestImage.h"

#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace tesk_test {

using RGBA = std::array<float, 4>;

enum class Channel { U8, U16, Half, Float };

struct Layout {
    const char* name;
    int32_t code;
    int32_t bitDepth;
    int32_t white;
    Channel channel;
    int order[4]; // memory slot of r, g, b, a

    // One step of the channel type, as a fraction of white.
    float Step() const {
        switch (channel) {
        case Channel::U8:
        case Channel::U16:
            return 1.0f / float(white);
        case Channel::Half:
            return 1.0f / 2048.0f;
        default:
            return 1e-6f;
        }
    }
};

inline const std::vector<Layout>& HostLayouts() {
    static const std::vector<Layout> layouts = {
        {"rgba8", Fourcc("RGBA"), 32, 255, Channel::U8, {0, 1, 2, 3}},
        {"argb8", 32, 32, 255, Channel::U8, {1, 2, 3, 0}},
        {"bgra8", Fourcc("BGRA"), 32, 255, Channel::U8, {2, 1, 0, 3}},
        {"rgba16", Fourcc("RGBA"), 64, 65535, Channel::U16, {0, 1, 2, 3}},
        {"ae16", Fourcc("RGBA"), 64, 32768, Channel::U16, {0, 1, 2, 3}},
        {"half", Fourcc("RGBA"), 64, 1, Channel::Half, {0, 1, 2, 3}},
        {"float", Fourcc("RGBA"), 128, 1, Channel::Float, {0, 1, 2, 3}},
    };
    return layouts;
}

inline uint16_t FloatToHalf(float v) {
    if (!(v > 0.0f)) return 0; // the tests use values in [0, 1]
    int exponent = 0;
    const float mantissa = std::frexp(v, &exponent);
    int biased = exponent - 1 + 15;
    if (biased <= 0) return 0;
    int fraction = static_cast<int>(std::lround((mantissa * 2.0f - 1.0f) * 1024.0f));
    if (fraction == 1024) {
        fraction = 0;
        ++biased;
    }
    return static_cast<uint16_t>((biased << 10) | fraction);
}

// The value a half's bits stand for, worked out from the format's definition.
inline float HalfToFloat(uint16_t h) {
    const int exponent = (h >> 10) & 0x1F, fraction = h & 0x3FF;
    const float sign = (h & 0x8000) ? -1.0f : 1.0f;
    if (exponent == 31) return fraction ? NAN : sign * INFINITY;
    if (exponent == 0) return sign * std::ldexp(float(fraction), -24);
    return sign * std::ldexp(float(1024 + fraction), exponent - 25);
}

// An image of the layout, rows top-down unless asked otherwise, with padded rows.
inline TestImage MakeImage(const Layout& layout, int width, int height, bool bottomUp = false) {
    const int32_t rowBytes = ((width * layout.bitDepth / 8) + 31) & ~15;
    return TestImage(width, height, layout.code, layout.bitDepth, layout.white, bottomUp, rowBytes);
}

// Pixel (x, y) with y counted from the bottom of the picture, whatever the row order.
inline uint8_t* PixelAt(TestImage& image, int x, int y) {
    const int row = image.BottomUp() ? y : image.Height() - 1 - y;
    return image.Row(row) + static_cast<size_t>(x) * image.BitDepth() / 8;
}

// Stores v (0..1) as the layout holds it, rounded to the nearest step.
inline void Put(const Layout& layout, TestImage& image, int x, int y, const RGBA& v) {
    uint8_t* p = PixelAt(image, x, y);
    for (int c = 0; c < 4; ++c) {
        const float f = std::fmin(std::fmax(v[c], 0.0f), 1.0f);
        const int slot = layout.order[c];
        switch (layout.channel) {
        case Channel::U8:
            p[slot] = static_cast<uint8_t>(std::lround(f * layout.white));
            break;
        case Channel::U16: {
            const uint16_t s = static_cast<uint16_t>(std::lround(f * layout.white));
            std::memcpy(p + 2 * slot, &s, 2);
            break;
        }
        case Channel::Half: {
            const uint16_t h = FloatToHalf(f);
            std::memcpy(p + 2 * slot, &h, 2);
            break;
        }
        case Channel::Float:
            std::memcpy(p + 4 * slot, &f, 4);
            break;
        }
    }
}

inline RGBA Get(const Layout& layout, TestImage& image, int x, int y) {
    const uint8_t* p = PixelAt(image, x, y);
    RGBA v{};
    for (int c = 0; c < 4; ++c) {
        const int slot = layout.order[c];
        switch (layout.channel) {
        case Channel::U8:
            v[c] = float(p[slot]) / float(layout.white);
            break;
        case Channel::U16: {
            uint16_t s;
            std::memcpy(&s, p + 2 * slot, 2);
            v[c] = float(s) / float(layout.white);
            break;
        }
        case Channel::Half: {
            uint16_t h;
            std::memcpy(&h, p + 2 * slot, 2);
            v[c] = HalfToFloat(h);
            break;
        }
        case Channel::Float:
            std::memcpy(&v[c], p + 4 * slot, 4);
            break;
        }
    }
    return v;
}

// Random pixels of the layout; what is returned is what the image really holds of them.
inline std::vector<RGBA> FillRandom(const Layout& layout, TestImage& image, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<RGBA> held(static_cast<size_t>(image.Width()) * image.Height());
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) {
            Put(layout, image, x, y, {unit(random), unit(random), unit(random), unit(random)});
            held[static_cast<size_t>(y) * image.Width() + x] = Get(layout, image, x, y);
        }
    return held;
}

} // namespace tesk_test
