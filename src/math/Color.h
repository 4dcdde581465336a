#pragma once

#include "common/Export.h"

#include <cstddef>
#include <cstdint>

namespace OGL_TESK_AE {

// An RGBA float colour laid out as OpenGL's four-float colour, so it can be handed to any call
// that takes one.
class TESK_API Color {
public:
    float r, g, b, a;

    constexpr Color() : r(1.0f), g(1.0f), b(1.0f), a(1.0f) {}
    constexpr Color(float v) : r(v), g(v), b(v), a(v) {}
    constexpr Color(float r, float g, float b, float a) : r(r), g(g), b(b), a(a) {}
    explicit Color(const float* rgba) : r(rgba[0]), g(rgba[1]), b(rgba[2]), a(rgba[3]) {}
    // A packed 0x00BBGGRR value, as Windows' COLORREF: the low byte is red. Alpha is opaque.
    constexpr Color(uint32_t packed)
        : r(static_cast<float>(packed & 0xFF) * 0.003921569f),
          g(static_cast<float>((packed >> 8) & 0xFF) * 0.003921569f),
          b(static_cast<float>((packed >> 16) & 0xFF) * 0.003921569f), a(1.0f) {}
    constexpr Color(const Color& c) = default;
    Color& operator=(const Color& c) = default;

    // Rec. 601 luma weighted by coverage.
    float Luma() const { return (0.299f * r + 0.587f * g + 0.114f * b) * a; }

    operator float*() { return &r; }
    operator const float*() const { return &r; }

    Color operator*(float s) const { return Color(r * s, g * s, b * s, a * s); }
    Color operator+(const Color& c) const { return Color(r + c.r, g + c.g, b + c.b, a + c.a); }
    Color operator-(const Color& c) const { return Color(r - c.r, g - c.g, b - c.b, a - c.a); }
    Color operator*(const Color& c) const { return Color(r * c.r, g * c.g, b * c.b, a * c.a); }

    bool operator==(const Color& c) const { return r == c.r && g == c.g && b == c.b && a == c.a; }
    bool operator!=(const Color& c) const { return !(*this == c); }

    // Each channel into [0, 1]; NaN becomes 0.
    Color Clamp() const;

    // Makes this the current colour (OpenGL's, and the one batched vertices take).
    void Apply() const;
    // Reads OpenGL's current colour.
    void Retrieve();

    // An opaque colour from the C library's generator: blue, green, red in the order drawn.
    static Color Random();

    static const Color White;
    static const Color Bright;
    static const Color Black;
    static const Color Off;
    static const Color Transparent;
    static const Color Red;
    static const Color Normal;
    static const Color Green;
    static const Color Blue;
    static const Color Yellow;
    static const Color DarkGray;
    static const Color Gray;
    static const Color LightGray;
    static const Color LumaScale;
    static const Color MaskRed;
};

static_assert(sizeof(Color) == 16, "Color must be four packed floats");
static_assert(offsetof(Color, r) == 0 && offsetof(Color, g) == 4 && offsetof(Color, b) == 8 &&
                  offsetof(Color, a) == 12,
              "Color is r, g, b, a in that order");

} // namespace OGL_TESK_AE
