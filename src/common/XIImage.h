#pragma once

#include "common/Export.h"

#include <cstdint>
#include <string>

// A host's image as the library sees it: a block of memory (size, row stride, base address) and
// how its pixels are encoded. Plug-ins implement it around their own frames; the library only
// reads the getters and reads or writes the memory they describe. Pixel (x, y) of memory row y
// starts at base + y * rowBytes + x * bitDepth / 8.
class TESK_API XIImage {
public:
    virtual ~XIImage();
    // The pixels must not be written.
    virtual bool IsReadOnly() const = 0;
    virtual int32_t GetWidth() const = 0;
    // Rows.
    virtual int32_t GetHeight() const = 0;
    // Bytes from the start of one row to the start of the next.
    virtual int32_t GetRowBytes() const = 0;
    // The first byte of the first row in memory.
    virtual void* GetBaseAddress() const = 0;
    // A host pixel-format code (OGL_TESK_AE::ColorSpaceCode below) or an OpenGL internal format.
    virtual int32_t GetColorSpace() const = 0;
    // Bits per pixel, all channels together.
    virtual int32_t GetBitDepth() const = 0;
    // The channel value that stands for full intensity (255, 65535, 32768, 1 for float, ...).
    virtual int32_t GetWhiteLevel() const = 0;
    // Whether memory row 0 is the bottom row of the picture, as OpenGL keeps it.
    virtual bool IsBottomUp() const = 0;
    // The host's own image object, passed through untouched; may be null.
    virtual void* GetNative() const = 0;
};

namespace OGL_TESK_AE {

// The host pixel-format codes GetColorSpace may return. Together with the bit depth and the
// white level they say how pixels lie in memory; any other value is read as an OpenGL internal
// format (GL_RGBA16F_ARB, GL_LUMINANCE32F_ARB, ...). Four-character codes are packed
// big-endian: "RGBA" is 0x52474241. Channels are 8, 16 or 32 bits wide by bit depth / channel
// count; 16- and 32-bit channels with a white level of 1 are half and float, others integers
// that the white level scales to 1.
namespace ColorSpaceCode {
constexpr int32_t FourCC(char a, char b, char c, char d) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned char>(a)) << 24 |
                                static_cast<uint32_t>(static_cast<unsigned char>(b)) << 16 |
                                static_cast<uint32_t>(static_cast<unsigned char>(c)) << 8 |
                                static_cast<uint32_t>(static_cast<unsigned char>(d)));
}
// One alpha channel.
constexpr int32_t kAlpha = 1;
// Packed 5-5-5-1 RGB.
constexpr int32_t kRGB555 = 16;
// Three channels, R G B.
constexpr int32_t kRGB = 24;
// The host's 32-bit code, read by bit depth: 32 is 8-bit channels in memory order A R G B, 64 is
// 16-bit R G B A, anything else float R G B A.
constexpr int32_t kARGB = 32;
// Four channels in memory order R G B A, of the width the bit depth gives.
constexpr int32_t kRGBA = FourCC('R', 'G', 'B', 'A');
// Four channels in memory order B G R A.
constexpr int32_t kBGRA = FourCC('B', 'G', 'R', 'A');
// Read like kBGRA.
constexpr int32_t kABGR = FourCC('A', 'B', 'G', 'R');
// Three channels in memory order B G R.
constexpr int32_t k24BG = FourCC('2', '4', 'B', 'G');
// Packed 16-bit RGB layouts.
constexpr int32_t kB565 = FourCC('B', '5', '6', '5');
constexpr int32_t k5551 = FourCC('5', '5', '5', '1');
constexpr int32_t kL555 = FourCC('L', '5', '5', '5');
constexpr int32_t kL565 = FourCC('L', '5', '6', '5');
} // namespace ColorSpaceCode

// Whether an image can be used at all: non-null, at least 1 x 1, a base address, and rows long
// enough for its pixels. Reads the getters only, never the pixels.
TESK_API bool IsValid(const XIImage* image);
// Why IsValid says no, as a phrase an error message can follow a name with ("width 0",
// "missing"); empty for a usable image.
TESK_API std::string WhyInvalid(const XIImage* image);

// Throws Error("<name> error.") unless the image is valid. The text lives in one buffer shared
// by all calls and stays valid until the next failing call.
TESK_API void AssertValidImage(const XIImage* image, const char* name);

// For images a caller may leave out: null is accepted, anything else must be valid.
TESK_API void AssertOptionalImage(const XIImage* image, const char* name);

} // namespace OGL_TESK_AE
