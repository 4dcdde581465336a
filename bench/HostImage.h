#pragma once

// Host frames for the benchmark: an XIImage over aligned memory of its own, in the layouts a
// plug-in hands the library, with the accessors the CPU libraries need to wrap the same memory.

#include "common/XIImage.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace tesk_bench {

struct Layout {
    const char* name;
    int32_t code;     // colour-space code the library reads
    int32_t bitDepth; // bits per pixel
    int32_t white;    // channel value of full intensity
    bool isFloat;
    int channels;
    int slot[4]; // memory slot of r, g, b, a (four-channel layouts)
    bool bottomUp;

    int BytesPerChannel() const { return bitDepth / 8 / channels; }
    int AlphaSlot() const { return slot[3]; }
};

constexpr int32_t kRGBA = 0x52474241; // "RGBA"

// The two frame layouts the comparison runs on, rows top-down as hosts keep them.
inline const Layout& FloatRGBA() {
    static const Layout layout{"float RGBA", kRGBA, 128, 1, true, 4, {0, 1, 2, 3}, false};
    return layout;
}
// Code 32: 8-bit channels, memory bytes A, R, G, B.
inline const Layout& ARGB8() {
    static const Layout layout{"8-bit ARGB", 32, 32, 255, false, 4, {1, 2, 3, 0}, false};
    return layout;
}
// What GetLuma fills: the library's float luma buffer, rows bottom-up.
inline const Layout& FloatLuma() {
    static const Layout layout{"float luma", GL_LUMINANCE32F_ARB, 32, 1, true, 1, {0, 0, 0, 0},
                               true};
    return layout;
}

// What GetAlpha fills: the library's float alpha buffer, rows bottom-up.
inline const Layout& FloatAlpha() {
    static const Layout layout{"float alpha", GL_ALPHA32F_ARB, 32, 1, true, 1, {3, 3, 3, 3}, true};
    return layout;
}

class HostImage : public XIImage {
public:
    HostImage(const Layout& layout, int width, int height)
        : fLayout(layout), fWidth(width), fHeight(height) {
        // Rows start on 16-byte boundaries, like the library's own buffers.
        const size_t tight = static_cast<size_t>(width) * layout.bitDepth / 8;
        fRowBytes = static_cast<int32_t>((tight + 15) & ~size_t(15));
        const size_t bytes = (ByteCount() + 63) & ~size_t(63);
        fMemory.reset(static_cast<uint8_t*>(std::aligned_alloc(64, bytes)));
        if (!fMemory) throw std::bad_alloc();
        std::memset(fMemory.get(), 0, bytes); // every page is mapped before anything is timed
    }

    const Layout& GetLayout() const { return fLayout; }
    int Width() const { return fWidth; }
    int Height() const { return fHeight; }
    int32_t RowBytes() const { return fRowBytes; }
    size_t ByteCount() const { return static_cast<size_t>(fRowBytes) * fHeight; }
    uint8_t* Bytes() const { return fMemory.get(); }
    // Memory row y (row 0 is the first in memory, whatever the row order).
    uint8_t* Row(int y) const { return fMemory.get() + static_cast<size_t>(y) * fRowBytes; }
    // Channel c (0 r, 1 g, 2 b, 3 a) of pixel (x, y) of the picture, y counted from the top,
    // as a fraction of white.
    float Get(int x, int y, int c) const {
        const int row = fLayout.bottomUp ? fHeight - 1 - y : y;
        const uint8_t* p = Row(row) + static_cast<size_t>(x) * fLayout.bitDepth / 8;
        const int slot = fLayout.channels == 1 ? 0 : fLayout.slot[c];
        if (fLayout.isFloat) {
            float v;
            std::memcpy(&v, p + 4 * slot, 4);
            return v;
        }
        return static_cast<float>(p[slot]) / static_cast<float>(fLayout.white);
    }

    bool IsReadOnly() const override { return false; }
    int32_t GetWidth() const override { return fWidth; }
    int32_t GetHeight() const override { return fHeight; }
    int32_t GetRowBytes() const override { return fRowBytes; }
    void* GetBaseAddress() const override { return fMemory.get(); }
    int32_t GetColorSpace() const override { return fLayout.code; }
    int32_t GetBitDepth() const override { return fLayout.bitDepth; }
    int32_t GetWhiteLevel() const override { return fLayout.white; }
    bool IsBottomUp() const override { return fLayout.bottomUp; }
    void* GetNative() const override { return nullptr; }

private:
    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };

    const Layout& fLayout;
    int fWidth;
    int fHeight;
    int32_t fRowBytes;
    std::unique_ptr<uint8_t, Free> fMemory;
};

} // namespace tesk_bench
