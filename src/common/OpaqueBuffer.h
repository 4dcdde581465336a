#pragma once

#include "common/Export.h"
#include "common/XIImage.h"
#include "gl/texture/Resource.h"

#include <cstdint>

namespace OGL_TESK_AE {

class MemoryBuffer;

// The library's own CPU image: bottom-up rows starting on 16-byte boundaries, in a block taken
// from the memory cache, or memory of the caller's that it wraps without owning.
//
// Copies share the block of their original; the last of them to let go gives it back to the
// cache. Any thread may make, resize and destroy one; its pixels belong to whoever owns it, and
// the worker uses them only during a call that was handed the buffer.
class TESK_API OpaqueBuffer : public Resource, public XIImage {
public:
    OpaqueBuffer();
    OpaqueBuffer(const OpaqueBuffer& other);
    OpaqueBuffer& operator=(const OpaqueBuffer& other);
    ~OpaqueBuffer() override;

    // The Resize forms report rather than throw: false for a null like image, for wrapped
    // memory and for an empty size. A size the cache cannot serve still returns true but leaves
    // no memory, so that the buffer fails IsValid.

    // An image of pixels in this OpenGL internal format (bit depth and white level follow).
    bool Resize(int width, int height, unsigned internalFormat);
    bool Resize(int width, int height, unsigned colorSpace, int bitDepth, float whiteLevel);
    // Like's size in the internal format the library would give like's pixels; null like
    // empties the buffer.
    bool Resize(const XIImage* like);

    // Hands the block back to the cache; the size and format stay.
    void Finalize() override;
    void Dump() const override;

    bool IsReadOnly() const override;
    int32_t GetWidth() const override;
    int32_t GetHeight() const override;
    int32_t GetRowBytes() const override;
    void* GetBaseAddress() const override;
    int32_t GetColorSpace() const override;
    int32_t GetBitDepth() const override;
    int32_t GetWhiteLevel() const override;
    bool IsBottomUp() const override;
    void* GetNative() const override;

    // Frees the idle blocks the memory cache keeps; runs after every marshalled call.
    static void FinalizePool();

protected:
    // Wraps base (rows rowBytes apart, or 16-byte aligned rows when 0) without owning it and
    // returns false; with a null base allocates like the other forms.
    bool Resize(int width, int height, void* base, int rowBytes);

    // ((width * bitsPerPixel + alignBits - 1) rounded down to alignBits) / 8.
    static int figureRowBytes(int width, int bitsPerPixel, int alignBits);
    // Rounded up to 1 MiB below 4 MiB, else to 4 MiB, so that blocks of slightly different
    // images can be reused for each other.
    static int roundImageBytes(int bytes);

private:
    bool Allocate();
    void Release();

    uint32_t fColorSpace;
    int32_t fBitDepth = 16;
    int32_t fWhiteLevel = 1;
    int32_t fWidth = 0;
    int32_t fHeight = 0;
    int32_t fRowBytes = 0;
    void* fBaseAddress = nullptr;
    MemoryBuffer* fBlock = nullptr;
};

} // namespace OGL_TESK_AE
