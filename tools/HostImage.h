#pragma once

#include "common/XIImage.h"

#include <OpenImageIO/imagebuf.h>

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

// The pixel layouts After-Effects-style hosts keep their frames in; the user picks one so the
// library is exercised on the same memory a plug-in would hand it.
enum class Layout { Float, Half, Rgba16, Ae16, Rgba8, Argb8, Bgra8 };

struct LayoutInfo {
    Layout layout;
    const char* name;
    int32_t colorSpace;
    int32_t bitDepth;
    int32_t whiteLevel;
    const char* description;
};

const LayoutInfo& Describe(Layout layout);
// False for a name that is not one of the layouts.
bool ParseLayout(const std::string& name, Layout& layout);
// "float, half, ..." for help texts and error messages.
std::string LayoutNames();
// Whether the channels are 8 bits wide (files written from them need no more).
bool IsEightBit(Layout layout);

// The order of a frame's rows in memory. Hosts keep theirs top-down; the library reads and
// writes float and half frames that run bottom-up (OpenGL's order) without a conversion pass,
// and only that pass clamps them to [0, 1].
enum class Rows { TopDown, BottomUp };

// A host frame: each row starting on a 16-byte boundary, as a host would allocate them. The
// memory is owned here; the library only reads the getters and the pixels. Coordinates count
// rows from the top of the picture whatever the order in memory.
class HostImage final : public XIImage {
public:
    // Transparent black.
    HostImage(Layout layout, int width, int height, Rows rows = Rows::TopDown);
    // The pixels of a float RGBA buffer in this layout.
    HostImage(Layout layout, const OIIO::ImageBuf& rgba, Rows rows = Rows::TopDown);

    Layout GetLayout() const { return fLayout; }
    void SetReadOnly(bool readOnly) { fReadOnly = readOnly; }

    // Converts every pixel of a float RGBA buffer of this image's size into the layout:
    // integer channels are clamped to [0, 1] and rounded to the nearest step of the white level.
    void Store(const OIIO::ImageBuf& rgba);
    // The pixels as a float RGBA buffer (integer channels divided by the white level).
    OIIO::ImageBuf Load() const;

    void StorePixel(int x, int y, const float rgba[4]);
    void LoadPixel(int x, int y, float rgba[4]) const;
    // The bytes of one pixel, for callers that check the memory order.
    const uint8_t* PixelAddress(int x, int y) const;

    bool IsReadOnly() const override { return fReadOnly; }
    int32_t GetWidth() const override { return fWidth; }
    int32_t GetHeight() const override { return fHeight; }
    int32_t GetRowBytes() const override { return fRowBytes; }
    void* GetBaseAddress() const override;
    int32_t GetColorSpace() const override;
    int32_t GetBitDepth() const override;
    int32_t GetWhiteLevel() const override;
    bool IsBottomUp() const override { return fRows == Rows::BottomUp; }
    void* GetNative() const override { return nullptr; }

private:
    struct alignas(16) Block {
        uint8_t bytes[16];
    };

    Layout fLayout;
    Rows fRows;
    int32_t fWidth;
    int32_t fHeight;
    int32_t fRowBytes;
    bool fReadOnly = false;
    std::vector<Block> fMemory;
};

} // namespace cli
