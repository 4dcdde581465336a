#include "common/OpaqueBuffer.h"

#include "gl/texture/MemoryBuffer.h"
#include "gl/texture/TextureFormat.h"

#include <climits>
#include <cmath>
#include <new>

namespace OGL_TESK_AE {

namespace {

constexpr int kRowAlignBits = 128;
constexpr int64_t kMiB = 1048576;

int64_t RowBytes64(int width, int bitsPerPixel, int alignBits) {
    const int64_t bits = static_cast<int64_t>(width) * bitsPerPixel + alignBits - 1;
    return (bits & -static_cast<int64_t>(alignBits)) / 8;
}

int64_t RoundImageBytes64(int64_t bytes) {
    const int64_t unit = bytes < 4 * kMiB ? kMiB : 4 * kMiB;
    return (bytes + unit - 1) & -unit;
}

} // namespace

OpaqueBuffer::OpaqueBuffer() : fColorSpace(GL_RGBA16F_ARB) {}

OpaqueBuffer::OpaqueBuffer(const OpaqueBuffer& other)
    : Resource(other), XIImage(other), fColorSpace(other.fColorSpace), fBitDepth(other.fBitDepth),
      fWhiteLevel(other.fWhiteLevel), fWidth(other.fWidth), fHeight(other.fHeight),
      fRowBytes(other.fRowBytes), fBaseAddress(other.fBaseAddress), fBlock(other.fBlock) {
    ListLock lock;
    if (fBlock) fBlock->Hold();
}

OpaqueBuffer& OpaqueBuffer::operator=(const OpaqueBuffer& other) {
    if (this == &other) return *this;
    // Hold the other's block before letting go of ours: they may be the same block.
    ListLock lock;
    if (other.fBlock) other.fBlock->Hold();
    Release();
    fColorSpace = other.fColorSpace;
    fBitDepth = other.fBitDepth;
    fWhiteLevel = other.fWhiteLevel;
    fWidth = other.fWidth;
    fHeight = other.fHeight;
    fRowBytes = other.fRowBytes;
    fBaseAddress = other.fBaseAddress;
    fBlock = other.fBlock;
    return *this;
}

OpaqueBuffer::~OpaqueBuffer() {
    Release();
}

void OpaqueBuffer::Release() {
    // Copies on other threads may hold the same block.
    ListLock lock;
    if (fBlock && fBlock->Release()) MemoryBuffer::Recycle(fBlock);
    fBlock = nullptr;
    fBaseAddress = nullptr;
}

void OpaqueBuffer::Finalize() {
    Release();
}

void OpaqueBuffer::Dump() const {}

bool OpaqueBuffer::Resize(int width, int height, unsigned internalFormat) {
    fColorSpace = internalFormat;
    GLenum format, type;
    GetColorSpaceFormat(static_cast<GLenum>(internalFormat), format, type);
    int channels = 0;
    switch (format) {
    case GL_DEPTH_COMPONENT:
    case GL_ALPHA:
    case GL_LUMINANCE:
        channels = 1;
        break;
    case GL_RGB:
        channels = 3;
        break;
    case GL_RGBA:
        channels = 4;
        break;
    default:
        break;
    }
    switch (type) {
    case GL_UNSIGNED_BYTE:
        fBitDepth = channels * 8;
        fWhiteLevel = 255;
        break;
    case GL_UNSIGNED_SHORT:
        fBitDepth = channels * 16;
        fWhiteLevel = 65535;
        break;
    case GL_FLOAT:
        fBitDepth = channels * 32;
        fWhiteLevel = 1;
        break;
    case GL_HALF_FLOAT_ARB:
        fBitDepth = channels * 16;
        fWhiteLevel = 1;
        break;
    default:
        fBitDepth = 0;
        break;
    }
    fWidth = width;
    fHeight = height;
    return Allocate();
}

bool OpaqueBuffer::Resize(int width, int height, unsigned colorSpace, int bitDepth,
                          float whiteLevel) {
    fColorSpace = colorSpace;
    fBitDepth = bitDepth;
    // Truncated toward zero; values no integer can hold are clamped.
    if (std::isnan(whiteLevel))
        fWhiteLevel = 0;
    else if (whiteLevel >= 2147483647.0f)
        fWhiteLevel = INT_MAX;
    else if (whiteLevel <= -2147483648.0f)
        fWhiteLevel = INT_MIN;
    else
        fWhiteLevel = static_cast<int32_t>(whiteLevel);
    fWidth = width;
    fHeight = height;
    return Allocate();
}

bool OpaqueBuffer::Resize(const XIImage* like) {
    if (!like) {
        Finalize();
        return false;
    }
    GLenum format = GL_RGBA, type = 0;
    if (IsValid(like))
        GetColorSpaceFormat(like->GetColorSpace(), like->GetBitDepth(), like->GetWhiteLevel(),
                            format, type);
    return Resize(like->GetWidth(), like->GetHeight(), GetInternalFormat(format, type));
}

bool OpaqueBuffer::Resize(int width, int height, void* base, int rowBytes) {
    fWidth = width;
    fHeight = height;
    Finalize();
    if (!base) return Allocate();
    fRowBytes = rowBytes ? rowBytes : figureRowBytes(width, fBitDepth, kRowAlignBits);
    fBaseAddress = base;
    return false;
}

bool OpaqueBuffer::Allocate() {
    Finalize();
    const int64_t rowBytes = RowBytes64(fWidth, fBitDepth, kRowAlignBits);
    const int64_t bytes = RoundImageBytes64(rowBytes * fHeight);
    fRowBytes = rowBytes <= INT_MAX && rowBytes >= INT_MIN ? static_cast<int32_t>(rowBytes) : 0;
    // A negative width and height would multiply to a positive size: empty as well.
    if (bytes <= 0 || fWidth <= 0 || fHeight <= 0) return false;
    // Block sizes are counted in 32 bits; a block that large is one the cache cannot give.
    if (bytes > INT_MAX) return true;
    ListLock lock;
    try {
        fBlock = MemoryBuffer::Make(MemoryKey(static_cast<int>(bytes)));
    } catch (const std::bad_alloc&) {
        return true;
    }
    fBlock->Hold();
    fBaseAddress = fBlock->Data();
    Relist();
    return true;
}

int OpaqueBuffer::figureRowBytes(int width, int bitsPerPixel, int alignBits) {
    return static_cast<int>(RowBytes64(width, bitsPerPixel, alignBits));
}

int OpaqueBuffer::roundImageBytes(int bytes) {
    return static_cast<int>(RoundImageBytes64(bytes));
}

bool OpaqueBuffer::IsReadOnly() const {
    return false;
}
int32_t OpaqueBuffer::GetWidth() const {
    return fWidth;
}
int32_t OpaqueBuffer::GetHeight() const {
    return fHeight;
}
int32_t OpaqueBuffer::GetRowBytes() const {
    return fRowBytes;
}
void* OpaqueBuffer::GetBaseAddress() const {
    return fBaseAddress;
}
int32_t OpaqueBuffer::GetColorSpace() const {
    return static_cast<int32_t>(fColorSpace);
}
int32_t OpaqueBuffer::GetBitDepth() const {
    return fBitDepth;
}
int32_t OpaqueBuffer::GetWhiteLevel() const {
    return fWhiteLevel;
}
bool OpaqueBuffer::IsBottomUp() const {
    return true;
}
void* OpaqueBuffer::GetNative() const {
    return nullptr;
}

void OpaqueBuffer::FinalizePool() {
    MemoryBuffer::Factory().FinalizePool();
}

} // namespace OGL_TESK_AE
