#pragma once

#include "common/XIImage.h"

#include <OpenImageIO/imagebuf.h>

#include <cstdint>
#include <memory>
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
    // Transparent black. A float image keeps its pixels in a float RGBA buffer of its own,
    // which TakeRgba hands over without a copy.
    HostImage(Layout layout, int width, int height, Rows rows = Rows::TopDown);
    // The pixels of a float RGBA buffer in this layout.
    HostImage(Layout layout, const OIIO::ImageBuf& rgba, Rows rows = Rows::TopDown);
    ~HostImage() override;
    HostImage(const HostImage&) = delete;
    HostImage& operator=(const HostImage&) = delete;

    // A float image over the pixels of rgba, which it borrows for its life instead of copying
    // them: rows bottom-up are turned over in place, and back when the image goes. Null where
    // the buffer does not hold them as one block of float RGBA rows; the caller then copies.
    static std::unique_ptr<HostImage> Borrow(OIIO::ImageBuf& rgba, Rows rows);

    Layout GetLayout() const { return fLayout; }
    void SetReadOnly(bool readOnly) { fReadOnly = readOnly; }

    // Converts every pixel of a float RGBA buffer of this image's size into the layout:
    // integer channels are clamped to [0, 1] and rounded to the nearest step of the white level.
    void Store(const OIIO::ImageBuf& rgba);
    // The pixels as a float RGBA buffer (integer channels divided by the white level).
    OIIO::ImageBuf Load() const;
    // The same, for an image that is done with: a float image's own buffer itself, or the one
    // it borrows (taken out of its owner), rows put top-down in place. The image holds no pixels
    // afterwards.
    OIIO::ImageBuf TakeRgba();

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
    HostImage(OIIO::ImageBuf& borrowed, Rows rows);

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
    // A float image's own pixels, or the buffer it borrows; fBase is the first memory row.
    OIIO::ImageBuf fOwned;
    OIIO::ImageBuf* fBorrowed = nullptr;
    uint8_t* fBase = nullptr;
};

} // namespace cli
