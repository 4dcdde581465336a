#include "tools/HostImage.h"

#include <OpenImageIO/half.h>
#include <OpenImageIO/imageio.h>

#include <cstring>
#include <new>
#include <stdexcept>

namespace cli {

namespace {

constexpr int32_t kRGBA = 0x52474241;
constexpr int32_t kBGRA = 0x42475241;
// The small depth code of 32-bit ARGB frames.
constexpr int32_t kDepthCode32 = 32;

const LayoutInfo kLayouts[] = {
    {Layout::Float, "float", kRGBA, 128, 1, "32-bit float RGBA, white 1"},
    {Layout::Half, "half", kRGBA, 64, 1, "16-bit half-float RGBA, white 1"},
    {Layout::Rgba16, "rgba16", kRGBA, 64, 65535, "16-bit RGBA, white 65535"},
    {Layout::Ae16, "ae16", kRGBA, 64, 32768, "16-bit RGBA, white 32768 (values 0..32768)"},
    {Layout::Rgba8, "rgba8", kRGBA, 32, 255, "8-bit RGBA, white 255"},
    {Layout::Argb8, "argb8", kDepthCode32, 32, 255, "8-bit ARGB (depth code 32, bytes A,R,G,B)"},
    {Layout::Bgra8, "bgra8", kBGRA, 32, 255, "8-bit BGRA, white 255"},
};

// Memory position of r, g, b, a within a pixel, in channels.
struct ChannelOrder {
    int r, g, b, a;
};

ChannelOrder OrderOf(Layout layout) {
    switch (layout) {
    case Layout::Argb8:
        return {1, 2, 3, 0};
    case Layout::Bgra8:
        return {2, 1, 0, 3};
    default:
        return {0, 1, 2, 3};
    }
}

uint32_t ToInteger(float value, int32_t white) {
    // NaN fails both tests and becomes 0.
    if (!(value > 0.0f)) return 0;
    if (value >= 1.0f) return static_cast<uint32_t>(white);
    return static_cast<uint32_t>(static_cast<double>(value) * white + 0.5);
}

float FromInteger(uint32_t value, int32_t white) {
    return static_cast<float>(static_cast<double>(value) / white);
}

int32_t RowBytesFor(int width, int bitDepth) {
    if (width < 1) throw std::invalid_argument("image width must be at least 1");
    const int64_t bits = (static_cast<int64_t>(width) * bitDepth + 127) & ~int64_t(127);
    if (bits / 8 > INT32_MAX) throw std::length_error("image too wide");
    return static_cast<int32_t>(bits / 8);
}

// A row of a float RGBA buffer where the buffer keeps it in place, contiguous; null otherwise.
const float* RowOf(const OIIO::ImageBuf& rgba, int y) {
    const OIIO::ImageSpec& header = rgba.spec();
    if (!rgba.localpixels() || header.format != OIIO::TypeFloat || header.nchannels != 4 ||
        rgba.pixel_stride() != static_cast<OIIO::stride_t>(4 * sizeof(float)))
        return nullptr;
    return static_cast<const float*>(rgba.pixeladdr(header.x, header.y + y));
}

} // namespace

const LayoutInfo& Describe(Layout layout) {
    for (const LayoutInfo& info : kLayouts)
        if (info.layout == layout) return info;
    return kLayouts[0];
}

bool ParseLayout(const std::string& name, Layout& layout) {
    for (const LayoutInfo& info : kLayouts) {
        if (name == info.name) {
            layout = info.layout;
            return true;
        }
    }
    return false;
}

std::string LayoutNames() {
    std::string names;
    for (const LayoutInfo& info : kLayouts) {
        if (!names.empty()) names += ", ";
        names += info.name;
    }
    return names;
}

bool IsEightBit(Layout layout) {
    return Describe(layout).bitDepth == 32;
}

HostImage::HostImage(Layout layout, int width, int height, Rows rows)
    : fLayout(layout), fRows(rows), fWidth(width), fHeight(height),
      fRowBytes(RowBytesFor(width, Describe(layout).bitDepth)) {
    if (height < 1) throw std::invalid_argument("image height must be at least 1");
    if (layout == Layout::Float) {
        // Rows of float RGBA take whole 16-byte steps: the buffer's rows are the image's.
        fOwned.reset(OIIO::ImageSpec(width, height, 4, OIIO::TypeFloat),
                     OIIO::InitializePixels::Yes);
        fBase = static_cast<uint8_t*>(fOwned.localpixels());
        if (!fBase) throw std::bad_alloc();
        return;
    }
    const int64_t bytes = static_cast<int64_t>(fRowBytes) * height;
    fMemory.resize(static_cast<size_t>(bytes / sizeof(Block)));
    fBase = reinterpret_cast<uint8_t*>(fMemory.data());
}

namespace {

// Swaps the rows of a block of memory end for end, in place.
void TurnOver(uint8_t* base, size_t rowBytes, int rows) {
    std::vector<uint8_t> spare(rowBytes);
    for (int top = 0, bottom = rows - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = base + static_cast<size_t>(top) * rowBytes;
        uint8_t* b = base + static_cast<size_t>(bottom) * rowBytes;
        std::memcpy(spare.data(), a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, spare.data(), rowBytes);
    }
}

} // namespace

std::unique_ptr<HostImage> HostImage::Borrow(OIIO::ImageBuf& rgba, Rows rows) {
    const OIIO::ImageSpec& header = rgba.spec();
    if (header.width < 1 || header.height < 1 || !RowOf(rgba, 0) ||
        rgba.scanline_stride() != static_cast<OIIO::stride_t>(header.width) * 16)
        return nullptr;
    return std::unique_ptr<HostImage>(new HostImage(rgba, rows));
}

HostImage::HostImage(OIIO::ImageBuf& rgba, Rows rows)
    : fLayout(Layout::Float), fRows(rows), fWidth(rgba.spec().width), fHeight(rgba.spec().height),
      fRowBytes(RowBytesFor(rgba.spec().width, Describe(Layout::Float).bitDepth)), fBorrowed(&rgba),
      fBase(static_cast<uint8_t*>(rgba.pixeladdr(rgba.spec().x, rgba.spec().y))) {
    if (rows == Rows::BottomUp) TurnOver(fBase, fRowBytes, fHeight);
}

HostImage::~HostImage() {
    if (fBorrowed && fRows == Rows::BottomUp) TurnOver(fBase, fRowBytes, fHeight);
}

OIIO::ImageBuf HostImage::TakeRgba() {
    if (fBorrowed) {
        if (fRows == Rows::BottomUp) TurnOver(fBase, fRowBytes, fHeight);
        OIIO::ImageBuf taken = std::move(*fBorrowed);
        fBorrowed = nullptr;
        fBase = nullptr;
        return taken;
    }
    if (fLayout != Layout::Float || !fOwned.initialized()) return Load();
    if (fRows == Rows::BottomUp) TurnOver(fBase, fRowBytes, fHeight);
    fBase = nullptr;
    return std::move(fOwned);
}

HostImage::HostImage(Layout layout, const OIIO::ImageBuf& rgba, Rows rows)
    : HostImage(layout, rgba.spec().width, rgba.spec().height, rows) {
    Store(rgba);
}

void* HostImage::GetBaseAddress() const {
    return fBase;
}

int32_t HostImage::GetColorSpace() const {
    return Describe(fLayout).colorSpace;
}

int32_t HostImage::GetBitDepth() const {
    return Describe(fLayout).bitDepth;
}

int32_t HostImage::GetWhiteLevel() const {
    return Describe(fLayout).whiteLevel;
}

const uint8_t* HostImage::PixelAddress(int x, int y) const {
    const uint8_t* base = fBase;
    const int row = fRows == Rows::BottomUp ? fHeight - 1 - y : y;
    return base + static_cast<size_t>(row) * fRowBytes + static_cast<size_t>(x) * GetBitDepth() / 8;
}

void HostImage::StorePixel(int x, int y, const float rgba[4]) {
    auto* pixel = const_cast<uint8_t*>(PixelAddress(x, y));
    const ChannelOrder order = OrderOf(fLayout);
    const int slots[4] = {order.r, order.g, order.b, order.a};
    const int32_t white = GetWhiteLevel();
    for (int c = 0; c < 4; ++c) {
        switch (fLayout) {
        case Layout::Float:
            std::memcpy(pixel + 4 * slots[c], &rgba[c], 4);
            break;
        case Layout::Half: {
            const uint16_t bits = half(rgba[c]).bits();
            std::memcpy(pixel + 2 * slots[c], &bits, 2);
            break;
        }
        case Layout::Rgba16:
        case Layout::Ae16: {
            const auto value = static_cast<uint16_t>(ToInteger(rgba[c], white));
            std::memcpy(pixel + 2 * slots[c], &value, 2);
            break;
        }
        default:
            pixel[slots[c]] = static_cast<uint8_t>(ToInteger(rgba[c], white));
            break;
        }
    }
}

void HostImage::LoadPixel(int x, int y, float rgba[4]) const {
    const uint8_t* pixel = PixelAddress(x, y);
    const ChannelOrder order = OrderOf(fLayout);
    const int slots[4] = {order.r, order.g, order.b, order.a};
    const int32_t white = GetWhiteLevel();
    for (int c = 0; c < 4; ++c) {
        switch (fLayout) {
        case Layout::Float:
            std::memcpy(&rgba[c], pixel + 4 * slots[c], 4);
            break;
        case Layout::Half: {
            uint16_t bits;
            std::memcpy(&bits, pixel + 2 * slots[c], 2);
            half value;
            value.setBits(bits);
            rgba[c] = static_cast<float>(value);
            break;
        }
        case Layout::Rgba16:
        case Layout::Ae16: {
            uint16_t value;
            std::memcpy(&value, pixel + 2 * slots[c], 2);
            rgba[c] = FromInteger(value, white);
            break;
        }
        default:
            rgba[c] = FromInteger(pixel[slots[c]], white);
            break;
        }
    }
}

void HostImage::Store(const OIIO::ImageBuf& rgba) {
    const OIIO::ImageSpec& header = rgba.spec();
    if (header.width != fWidth || header.height != fHeight || header.nchannels != 4)
        throw std::invalid_argument("pixel buffer does not match the host image");
    std::vector<float> copy;
    for (int y = 0; y < fHeight; ++y) {
        const float* row = RowOf(rgba, y);
        if (!row) {
            copy.resize(static_cast<size_t>(fWidth) * 4);
            const OIIO::ROI line(header.x, header.x + fWidth, header.y + y, header.y + y + 1, 0, 1,
                                 0, 4);
            rgba.get_pixels(line, OIIO::TypeFloat, copy.data());
            row = copy.data();
        }
        // Float and half frames keep RGBA order, so whole rows convert at once: a sequence's
        // frames pass through here twice each.
        auto* pixels = const_cast<uint8_t*>(PixelAddress(0, y));
        if (fLayout == Layout::Float)
            std::memcpy(pixels, row, static_cast<size_t>(fWidth) * 4 * sizeof(float));
        else if (fLayout == Layout::Half)
            OIIO::convert_pixel_values(OIIO::TypeFloat, row, OIIO::TypeHalf, pixels, fWidth * 4);
        else
            for (int x = 0; x < fWidth; ++x) StorePixel(x, y, &row[static_cast<size_t>(x) * 4]);
    }
}

OIIO::ImageBuf HostImage::Load() const {
    OIIO::ImageBuf rgba(OIIO::ImageSpec(fWidth, fHeight, 4, OIIO::TypeFloat),
                        OIIO::InitializePixels::No);
    for (int y = 0; y < fHeight; ++y) {
        auto* row = static_cast<float*>(rgba.pixeladdr(0, y));
        const uint8_t* pixels = PixelAddress(0, y);
        if (fLayout == Layout::Float)
            std::memcpy(row, pixels, static_cast<size_t>(fWidth) * 4 * sizeof(float));
        else if (fLayout == Layout::Half)
            OIIO::convert_pixel_values(OIIO::TypeHalf, pixels, OIIO::TypeFloat, row, fWidth * 4);
        else
            for (int x = 0; x < fWidth; ++x) LoadPixel(x, y, &row[static_cast<size_t>(x) * 4]);
    }
    return rgba;
}

} // namespace cli
