#pragma once

#include "common/OpaqueBuffer.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstddef>
#include <cstdint>

namespace OGL_TESK_AE {

// Pixel types of the library's typed CPU images. Each is the pixel as it lies in memory and
// fixes the colour space, bit depth and white level of the buffers made of it.
template <class T> struct RGBAPixelType;
template <class T> struct LumaPixelType;
template <class T> struct AlphaPixelType;

template <> struct RGBAPixelType<float> {
    float r, g, b, a;
    static constexpr uint32_t kColorSpace = ColorSpaceCode::kRGBA;
    static constexpr int kBitDepth = 128;
    static constexpr int kWhiteLevel = 1;
};

static_assert(sizeof(RGBAPixelType<float>) == 16 && offsetof(RGBAPixelType<float>, a) == 12,
              "four packed floats, alpha last, as hosts lay out float RGBA pixels");

template <> struct LumaPixelType<float> {
    float luma;
    static constexpr uint32_t kColorSpace = GL_LUMINANCE32F_ARB;
    static constexpr int kBitDepth = 32;
    static constexpr int kWhiteLevel = 1;
};

template <> struct AlphaPixelType<float> {
    float alpha;
    static constexpr uint32_t kColorSpace = GL_ALPHA32F_ARB;
    static constexpr int kBitDepth = 32;
    static constexpr int kWhiteLevel = 1;
};

// A CPU image of one pixel type: resizing changes only its size.
template <class PixelType> class Buffer : public OpaqueBuffer {
public:
    using Pixel = PixelType;
    static_assert(sizeof(PixelType) * 8 == PixelType::kBitDepth, "pixel size and bit depth");

    // Empty: 0 x 0, no memory.
    Buffer() {
        OpaqueBuffer::Resize(0, 0, PixelType::kColorSpace, PixelType::kBitDepth,
                             static_cast<float>(PixelType::kWhiteLevel));
    }

    // Like's width and height (0 x 0 for null).
    bool Resize(const XIImage* like) {
        return like ? Resize(like->GetWidth(), like->GetHeight()) : Resize(0, 0);
    }
    bool Resize(int width, int height) { return OpaqueBuffer::Resize(width, height, nullptr, 0); }

    // Row y of memory (row 0 is the bottom of the picture); null without memory.
    PixelType* Row(int y) const {
        char* base = static_cast<char*>(GetBaseAddress());
        return base ? reinterpret_cast<PixelType*>(base + static_cast<intptr_t>(y) * GetRowBytes())
                    : nullptr;
    }
};

} // namespace OGL_TESK_AE
