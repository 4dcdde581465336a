#pragma once

// A host image for tests: an XIImage over memory of its own, with every attribute settable.

#include "common/XIImage.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace tesk_test {

// Four-character host codes, packed big-endian: Fourcc("RGBA") == 0x52474241.
constexpr int32_t Fourcc(const char (&c)[5]) {
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<unsigned char>(c[0])) << 24) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(c[1])) << 16) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(c[2])) << 8) |
                                static_cast<uint32_t>(static_cast<unsigned char>(c[3])));
}
static_assert(Fourcc("RGBA") == 0x52474241 && Fourcc("24BG") == 0x32344247, "big-endian codes");

class TestImage : public XIImage {
public:
    // Pixels are zeroed. rowBytes 0 means tightly packed rows: width * bitDepth / 8 rounded up.
    // Memory is allocated only for descriptions up to 64 MiB; larger ones (for tests of
    // absurd sizes, which must never touch the pixels) get a small placeholder block.
    TestImage(int32_t width, int32_t height, int32_t colorSpace = Fourcc("RGBA"),
              int32_t bitDepth = 32, int32_t whiteLevel = 255, bool bottomUp = false,
              int32_t rowBytes = 0)
        : fWidth(width), fHeight(height), fColorSpace(colorSpace), fBitDepth(bitDepth),
          fWhiteLevel(whiteLevel), fBottomUp(bottomUp) {
        fRowBytes = rowBytes ? rowBytes : TightRowBytes(width, bitDepth);
        const int64_t bytes = static_cast<int64_t>(fRowBytes) * height;
        const bool backed = bytes > 0 && bytes <= (int64_t(1) << 26);
        fMemory.assign(backed ? static_cast<size_t>(bytes) : 64, 0);
        fBase = fMemory.data();
    }

    // Copies would point into the original's memory; moves keep the block.
    TestImage(const TestImage&) = delete;
    TestImage& operator=(const TestImage&) = delete;
    TestImage(TestImage&&) = default;
    TestImage& operator=(TestImage&&) = default;

    static int32_t TightRowBytes(int32_t width, int32_t bitDepth) {
        const int64_t bits = static_cast<int64_t>(width) * bitDepth;
        return bits > 0 ? static_cast<int32_t>((bits + 7) / 8) : 0;
    }

    // Overrides; the memory stays owned by the image.
    void SetBaseAddress(void* base) { fBase = base; }
    void SetRowBytes(int32_t rowBytes) { fRowBytes = rowBytes; }
    void SetWidth(int32_t width) { fWidth = width; }
    void SetHeight(int32_t height) { fHeight = height; }

    int32_t Width() const { return fWidth; }
    int32_t Height() const { return fHeight; }
    int32_t BitDepth() const { return fBitDepth; }
    bool BottomUp() const { return fBottomUp; }
    uint8_t* Bytes() { return fMemory.data(); }
    size_t ByteCount() const { return fMemory.size(); }
    // Memory row y (row 0 is the first in memory, whatever IsBottomUp says).
    uint8_t* Row(int32_t y) { return static_cast<uint8_t*>(fBase) + int64_t(y) * fRowBytes; }
    template <class T> T& At(int32_t x, int32_t y) {
        return *reinterpret_cast<T*>(Row(y) + int64_t(x) * fBitDepth / 8);
    }

    // Random bytes over every pixel of every row (the padding at row ends is left alone).
    void FillRandomBytes(unsigned seed) {
        uint32_t state = seed * 2654435761u + 1u;
        const int64_t rowBytes = static_cast<int64_t>(fWidth) * fBitDepth / 8;
        for (int32_t y = 0; y < fHeight; ++y)
            for (int64_t b = 0; b < rowBytes; ++b) {
                state = state * 1664525u + 1013904223u; // a plain LCG: reproducible everywhere
                Row(y)[b] = static_cast<uint8_t>(state >> 24);
            }
    }

    bool IsReadOnly() const override { return false; }
    int32_t GetWidth() const override { return fWidth; }
    int32_t GetHeight() const override { return fHeight; }
    int32_t GetRowBytes() const override { return fRowBytes; }
    void* GetBaseAddress() const override { return fBase; }
    int32_t GetColorSpace() const override { return fColorSpace; }
    int32_t GetBitDepth() const override { return fBitDepth; }
    int32_t GetWhiteLevel() const override { return fWhiteLevel; }
    bool IsBottomUp() const override { return fBottomUp; }
    void* GetNative() const override { return nullptr; }

private:
    int32_t fWidth;
    int32_t fHeight;
    int32_t fColorSpace;
    int32_t fBitDepth;
    int32_t fWhiteLevel;
    bool fBottomUp;
    int32_t fRowBytes;
    std::vector<uint8_t> fMemory;
    void* fBase = nullptr;
};

} // namespace tesk_test
