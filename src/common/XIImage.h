#pragma once

#include "common/Export.h"

#include <cstdint>

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
    // A host pixel-format code or an OpenGL internal format (see TextureFormat.h).
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

// Whether an image can be used at all: non-null, at least 1 x 1, a base address, and rows long
// enough for its pixels. Reads the getters only, never the pixels.
TESK_API bool IsValid(const XIImage* image);

// Throws Error("<name> error.") unless the image is valid. The text lives in one buffer shared
// by all calls and stays valid until the next failing call.
TESK_API void AssertValidImage(const XIImage* image, const char* name);

// For images a caller may leave out: null is accepted, anything else must be valid.
TESK_API void AssertOptionalImage(const XIImage* image, const char* name);

} // namespace OGL_TESK_AE
