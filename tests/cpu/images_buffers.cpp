// The library's own CPU images: layouts, blocks from the memory cache, wrapped memory, copies
// and the typed buffers.

#include "NoContext.h"
#include "TestImage.h"

#include "common/Buffer.h"
#include "common/OpaqueBuffer.h"
#include "common/Shared.h"
#include "gl/texture/MemoryBuffer.h"
#include "gl/texture/TextureFormat.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

using namespace OGL_TESK_AE;
using tesk_test::Fourcc;
using tesk_test::TestImage;

namespace {

constexpr int kMiB = 1048576;

// Reaches the protected layout helpers and the wrapping form of Resize.
class ExposedBuffer : public OpaqueBuffer {
public:
    using OpaqueBuffer::figureRowBytes;
    using OpaqueBuffer::Resize;
    using OpaqueBuffer::roundImageBytes;
};

MemoryFactory& Cache() {
    return MemoryBuffer::Factory();
}

// The block a fresh Resize takes: what the cache's in-use bytes grow by while no idle block can
// serve the request.
int BlockBytesOf(int width, int height, unsigned internalFormat) {
    OpaqueBuffer::FinalizePool();
    const int before = Cache().InUseBytes();
    OpaqueBuffer buffer;
    buffer.Resize(width, height, internalFormat);
    return Cache().InUseBytes() - before;
}

// Width, height, colour space, bit depth, white level and row bytes, to compare in one go.
using Shape = std::array<int32_t, 6>;
Shape ShapeOf(const XIImage& i) {
    return {i.GetWidth(),    i.GetHeight(),     i.GetColorSpace(),
            i.GetBitDepth(), i.GetWhiteLevel(), i.GetRowBytes()};
}

} // namespace

TEST(CpuBuffers, RowAndBlockRounding) {
    // Width, bits a pixel, alignment in bits, row bytes.
    // clang-format off
    const int rows[][4] = {{100, 32, 128, 400}, {3, 24, 128, 16}, {5, 32, 128, 32},
                           {4, 32, 128, 16}, {0, 32, 128, 0}, {5, 8, 32, 8}, {9, 1, 8, 2}};
    // Bytes, block.
    const int blocks[][2] = {{0, 0}, {1, kMiB}, {kMiB, kMiB}, {kMiB + 1, 2 * kMiB},
                             {4 * kMiB, 4 * kMiB}, {4 * kMiB + 1, 8 * kMiB}, {8 * kMiB + 1, 12 * kMiB}};
    // clang-format on
    for (const auto& r : rows)
        EXPECT_EQ(ExposedBuffer::figureRowBytes(r[0], r[1], r[2]), r[3])
            << r[0] << " x " << r[1] << " bits, align " << r[2];
    for (const auto& b : blocks) EXPECT_EQ(ExposedBuffer::roundImageBytes(b[0]), b[1]) << b[0];

    // Resize asks the cache for the rounded size of its padded rows: 4000-byte rows times 1250,
    // and 16-byte rows times 65537.
    EXPECT_EQ(BlockBytesOf(1000, 1250, GL_RGBA8), 8 * kMiB);
    EXPECT_EQ(BlockBytesOf(1, 65537, GL_RGBA32F_ARB), 2 * kMiB);
    EXPECT_EQ(BlockBytesOf(0, 0, GL_RGBA8), 0);
    // The memory is really there: every byte of every row can be written.
    OpaqueBuffer buffer;
    EXPECT_EQ(ShapeOf(buffer), (Shape{0, 0, GL_RGBA16F_ARB, 16, 1, 0}));
    EXPECT_TRUE(buffer.IsBottomUp() && !buffer.IsReadOnly() && !buffer.GetNative());
    ASSERT_TRUE(buffer.Resize(33, 17, GL_RGBA16));
    EXPECT_EQ(buffer.GetRowBytes(), 272);
    std::memset(buffer.GetBaseAddress(), 1, 17 * 272);
}

TEST(CpuBuffers, ResizeByInternalFormat) {
    struct Case {
        unsigned internalFormat;
        int width, height;
        bool result;
        int bitDepth, whiteLevel, rowBytes;
    };
    // clang-format off
    const Case cases[] = {
        {GL_RGBA8, 100, 10, true, 32, 255, 400}, {GL_RGB8, 3, 1, true, 24, 255, 16},
        {GL_LUMINANCE16, 8, 2, true, 16, 65535, 16}, {GL_RGB16F_ARB, 2, 2, true, 48, 1, 16},
        {GL_DEPTH_COMPONENT, 4, 4, true, 32, 1, 16},
        // Unsigned-int and typeless formats have no bit depth: nothing to allocate, and the
        // white level stays as the buffer had it (1 by default).
        {GL_DEPTH_COMPONENT24, 4, 4, false, 0, 1, 0}, {GL_RGB5, 4, 4, false, 0, 1, 0},
        // An empty size leaves no memory.
        {GL_RGBA8, 10, 0, false, 32, 255, 48}, {GL_RGBA8, -4, -4, false, 32, 255, -16}};
    // clang-format on
    for (const Case& c : cases) {
        OpaqueBuffer buffer;
        EXPECT_EQ(buffer.Resize(c.width, c.height, c.internalFormat), c.result)
            << std::hex << c.internalFormat;
        EXPECT_EQ(ShapeOf(buffer), (Shape{c.width, c.height, int32_t(c.internalFormat), c.bitDepth,
                                          c.whiteLevel, c.rowBytes}));
        EXPECT_EQ(buffer.GetBaseAddress() != nullptr, c.result);
        EXPECT_EQ(IsValid(&buffer), c.result);
    }
}

TEST(CpuBuffers, SizesTheCacheCannotGiveLeaveNoMemory) {
    // 2^31 bytes and more cannot be counted by the cache: the call still succeeds, but the
    // buffer has no memory and is not valid.
    const int inUse = Cache().InUseBytes();
    OpaqueBuffer buffer;
    EXPECT_TRUE(buffer.Resize(65536, 65536, GL_RGBA8));
    EXPECT_EQ(buffer.GetBaseAddress(), nullptr);
    EXPECT_FALSE(IsValid(&buffer));
    EXPECT_EQ(Cache().InUseBytes(), inUse);
}

TEST(CpuBuffers, ResizeWithExplicitLayout) {
    OpaqueBuffer buffer;
    EXPECT_TRUE(buffer.Resize(10, 4, Fourcc("RGBA"), 64, 32768.9f));
    EXPECT_EQ(ShapeOf(buffer), (Shape{10, 4, Fourcc("RGBA"), 64, 32768, 80})); // white truncated
    EXPECT_TRUE(IsValid(&buffer));
    EXPECT_TRUE(buffer.Resize(3, 3, 32, 32, -0.9f));
    EXPECT_EQ(buffer.GetWhiteLevel(), 0);
    EXPECT_TRUE(buffer.Resize(3, 3, 32, 32, 1e20f));
    EXPECT_EQ(buffer.GetWhiteLevel(), 2147483647);
}

TEST(CpuBuffers, ResizeLikeAnotherImage) {
    // Integer layouts only: float layouts depend on the card. Code, depth, white of the like
    // image; internal format, depth, white and row bytes of the buffer.
    // clang-format off
    const int32_t cases[][7] = {
        {Fourcc("RGBA"), 64, 32768, GL_RGBA16, 64, 65535, 800}, {32, 32, 255, GL_RGBA8, 32, 255, 400},
        {1, 8, 255, GL_RGBA8, 32, 255, 400}, {Fourcc("B565"), 16, 255, GL_RGB8, 24, 255, 304}};
    // clang-format on
    for (const auto& c : cases) {
        for (bool invalid : {false, true}) {
            TestImage like(100, 50, c[0], c[1], c[2]);
            if (invalid) like.SetBaseAddress(nullptr); // its layout is not trusted: RGB8
            OpaqueBuffer buffer;
            EXPECT_TRUE(buffer.Resize(&like)) << std::hex << c[0];
            const Shape expected = invalid ? Shape{100, 50, GL_RGB8, 24, 255, 304}
                                           : Shape{100, 50, c[3], c[4], c[5], c[6]};
            EXPECT_EQ(ShapeOf(buffer), expected);
            EXPECT_TRUE(IsValid(&buffer));
        }
    }

    // A null like empties the buffer but keeps its description.
    OpaqueBuffer::FinalizePool();
    OpaqueBuffer buffer;
    ASSERT_TRUE(buffer.Resize(8, 8, GL_RGBA8));
    const int inUse = Cache().InUseBytes();
    EXPECT_FALSE(buffer.Resize(nullptr));
    EXPECT_EQ(buffer.GetBaseAddress(), nullptr);
    EXPECT_EQ(buffer.GetWidth(), 8);
    EXPECT_EQ(buffer.GetBitDepth(), 32);
    EXPECT_EQ(Cache().InUseBytes(), inUse - kMiB);
}

TEST(CpuBuffers, WrappedMemoryIsNeverFreed) {
    std::vector<unsigned char> memory(4096, 0xA5);
    OpaqueBuffer::FinalizePool();
    const int inUse = Cache().InUseBytes();
    {
        ExposedBuffer buffer;
        buffer.Resize(0, 0, GL_RGB8); // 24 bits a pixel
        EXPECT_FALSE(buffer.Resize(3, 2, memory.data(), 0));
        EXPECT_EQ(buffer.GetBaseAddress(), memory.data());
        EXPECT_EQ(buffer.GetRowBytes(), 16); // 72 bits rounded up to 128
        EXPECT_TRUE(buffer.GetWidth() == 3 && buffer.GetHeight() == 2);
        EXPECT_TRUE(IsValid(&buffer));
        EXPECT_EQ(Cache().InUseBytes(), inUse);

        EXPECT_FALSE(buffer.Resize(7, 3, memory.data() + 64, 100));
        EXPECT_EQ(buffer.GetRowBytes(), 100);
        buffer.Finalize();
        EXPECT_EQ(buffer.GetBaseAddress(), nullptr);

        // Wrapping after owning a block gives the block back first.
        ASSERT_TRUE(buffer.Resize(4, 4, GL_RGBA8));
        EXPECT_EQ(Cache().InUseBytes(), inUse + kMiB);
        EXPECT_FALSE(buffer.Resize(4, 4, memory.data(), 0));
        EXPECT_EQ(Cache().InUseBytes(), inUse);
    }
    // Still ours, untouched (AddressSanitizer would also catch a free of it).
    EXPECT_TRUE(memory[0] == 0xA5 && memory[4095] == 0xA5);
    EXPECT_EQ(Cache().InUseBytes(), inUse);
}

TEST(CpuBuffers, CopiesShareTheBlockAndReturnItOnce) {
    OpaqueBuffer::FinalizePool();
    const int inUse = Cache().InUseBytes();
    const int total = Cache().TotalBytes();
    {
        OpaqueBuffer original;
        ASSERT_TRUE(original.Resize(16, 16, GL_RGBA8));
        static_cast<char*>(original.GetBaseAddress())[0] = 42;
        {
            OpaqueBuffer copy(original);
            EXPECT_EQ(copy.GetBaseAddress(), original.GetBaseAddress());
            EXPECT_EQ(Cache().InUseBytes(), inUse + kMiB);
        }
        // The copy is gone; the original still holds its block.
        EXPECT_EQ(Cache().InUseBytes(), inUse + kMiB);
        EXPECT_EQ(static_cast<char*>(original.GetBaseAddress())[0], 42);

        OpaqueBuffer assigned;
        ASSERT_TRUE(assigned.Resize(8, 8, GL_RGBA16));
        EXPECT_EQ(Cache().InUseBytes(), inUse + 2 * kMiB);
        assigned = original; // gives its own block back
        EXPECT_EQ(Cache().InUseBytes(), inUse + kMiB);
        assigned = assigned;
        assigned = original; // the same block again
        EXPECT_EQ(Cache().InUseBytes(), inUse + kMiB);

        original.Finalize();
        EXPECT_EQ(original.GetBaseAddress(), nullptr);
        EXPECT_EQ(Cache().InUseBytes(), inUse + kMiB); // still held by the copy
        EXPECT_EQ(static_cast<char*>(assigned.GetBaseAddress())[0], 42);

        assigned.Finalize();
        EXPECT_EQ(Cache().InUseBytes(), inUse);
        EXPECT_EQ(Cache().IdleBytes(), 2 * kMiB);
    }
    EXPECT_EQ(Cache().InUseBytes(), inUse);
    OpaqueBuffer::FinalizePool();
    EXPECT_EQ(Cache().TotalBytes(), total);
}

namespace {

// A marshalled operation that leaves two idle blocks behind in the worker's cache.
void AllocateAndDrop(int* idleAfterTask) {
    if (Dispatch(&AllocateAndDrop, idleAfterTask)) return;
    {
        OpaqueBuffer a, b;
        a.Resize(10, 10, GL_RGBA8);
        b.Resize(1000, 1250, GL_RGBA8);
    }
    *idleAfterTask = Cache().IdleBytes();
}

} // namespace

TEST(CpuBuffers, IdleBlocksAreFreedAfterEveryMarshalledCall) {
    tesk_test::NoContext noContext; // only the hand-over matters here
    OpaqueBuffer::FinalizePool();
    const int inUse = Cache().InUseBytes();
    const bool finalized = Cache().IsFinalized();
    int idleAfterTask = 0;
    AllocateAndDrop(&idleAfterTask);
    EXPECT_GE(idleAfterTask, 9 * kMiB); // the blocks were idle when the task ended...
    EXPECT_EQ(Cache().IdleBytes(), 0);  // ...and freed before the call returned
    EXPECT_EQ(Cache().IdleCount(), 0);
    EXPECT_EQ(Cache().TotalBytes(), inUse);
    EXPECT_EQ(Cache().InUseBytes(), inUse);
    EXPECT_EQ(Cache().IsFinalized(), finalized);
}

TEST(CpuBuffers, TypedBuffers) {
    Buffer<RGBAPixelType<float>> rgba;
    ASSERT_TRUE(rgba.Resize(4, 3));
    EXPECT_EQ(ShapeOf(rgba), (Shape{4, 3, Fourcc("RGBA"), 128, 1, 64}));
    EXPECT_TRUE(IsValid(&rgba));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) rgba.Row(y)[x] = {float(x), float(y), 0.5f, 1.0f};
    // Rows as the generic addressing rule sees them: base + y * rowBytes + x * depth / 8.
    float pixel[4];
    std::memcpy(pixel, static_cast<const char*>(rgba.GetBaseAddress()) + 2 * 64 + 3 * 16, 16);
    EXPECT_TRUE(pixel[0] == 3.0f && pixel[1] == 2.0f && pixel[3] == 1.0f);

    // Only the size of a like image is taken.
    TestImage like(10, 7, 32, 32, 255);
    ASSERT_TRUE(rgba.Resize(&like));
    EXPECT_EQ(ShapeOf(rgba), (Shape{10, 7, Fourcc("RGBA"), 128, 1, 160}));
    EXPECT_FALSE(rgba.Resize(nullptr));

    // Luma and alpha planes: single float channels the format tables know as such, with rows
    // of 20 bytes of pixels on 16-byte boundaries.
    Buffer<LumaPixelType<float>> luma;
    Buffer<AlphaPixelType<float>> alpha;
    ASSERT_TRUE(luma.Resize(5, 2));
    ASSERT_TRUE(alpha.Resize(5, 2));
    EXPECT_EQ(ShapeOf(luma), (Shape{5, 2, GL_LUMINANCE32F_ARB, 32, 1, 32}));
    EXPECT_EQ(ShapeOf(alpha), (Shape{5, 2, GL_ALPHA32F_ARB, 32, 1, 32}));
    GLenum format = 0, type = 0;
    GetFormatType(&luma, format, type);
    EXPECT_TRUE(format == GL_LUMINANCE && type == GL_FLOAT);
    GetFormatType(&alpha, format, type);
    EXPECT_TRUE(format == GL_ALPHA && type == GL_FLOAT);
    GetFormatType(&rgba, format, type);
    EXPECT_TRUE(format == GL_RGBA && type == 0); // empty now: neutral answer
}
