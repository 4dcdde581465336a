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
#include <cmath>
#include <utility>
#include <vector>

using namespace OGL_TESK_AE;
using tesk_test::Fourcc;
using tesk_test::TestImage;

namespace {
constexpr int kMiB = 1048576;
MemoryFactory& cache = MemoryBuffer::Factory();

// Reaches the protected layout helpers and the wrapping form of Resize.
struct ExposedBuffer : OpaqueBuffer {
    using OpaqueBuffer::figureRowBytes, OpaqueBuffer::Resize, OpaqueBuffer::roundImageBytes;
};

// Width, height, colour space, bit depth, white level and row bytes, to compare in one go.
using Shape = std::array<int32_t, 6>;
Shape ShapeOf(const XIImage& i) {
    return {i.GetWidth(),    i.GetHeight(),     i.GetColorSpace(),
            i.GetBitDepth(), i.GetWhiteLevel(), i.GetRowBytes()};
}
} // namespace

TEST(CpuBuffers, RowAndBlockRounding) {
    // Width, bits a pixel, alignment in bits, row bytes: rows already aligned gain nothing.
    const int rows[][4] = {{100, 32, 128, 400}, {3, 24, 128, 16}, {5, 32, 128, 32},
                           {4, 32, 128, 16},    {0, 32, 128, 0},  {5, 8, 32, 8},
                           {9, 1, 8, 2}};
    for (const auto& r : rows)
        EXPECT_EQ(ExposedBuffer::figureRowBytes(r[0], r[1], r[2]), r[3]) << r[0];
    // MiB and bytes over, block in MiB: whole MiB below 4 MiB, whole 4 MiB from there on.
    const int blocks[][3] = {{0, 0, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 2},
                             {4, 0, 4}, {4, 1, 8}, {8, 1, 12}};
    for (const auto& b : blocks)
        EXPECT_EQ(ExposedBuffer::roundImageBytes(b[0] * kMiB + b[1]), b[2] * kMiB) << b[0];
    // Resize asks the cache for the rounded size of its padded rows: 4000-byte rows times 1250,
    // and 16-byte rows times 65537; 2^31 bytes and more the cache cannot count at all.
    const int resizes[][4] = {
        {1000, 1250, GL_RGBA8, 8}, {1, 65537, GL_RGBA32F_ARB, 2}, {65536, 65536, GL_RGBA8, 0}};
    for (const auto& r : resizes) {
        OpaqueBuffer::FinalizePool(); // no idle block may serve it
        const int before = cache.InUseBytes();
        OpaqueBuffer buffer;
        EXPECT_TRUE(buffer.Resize(r[0], r[1], unsigned(r[2])));
        EXPECT_EQ(cache.InUseBytes() - before, r[3] * kMiB);
        EXPECT_EQ(IsValid(&buffer), r[3] != 0);
    }
}

// Unsigned-int and typeless formats have no depth (nothing to allocate, white kept); empty and
// negative sizes get no memory; typed buffers are single float channels where they can.
TEST(CpuBuffers, ResizeDescribesTheLayout) {
    // Internal format, width, height, depth, white, row bytes; memory when the height is 4.
    const int cases[][6] = {
        {GL_RGBA8, 100, 4, 32, 255, 400},      {GL_RGB8, 3, 4, 24, 255, 16},
        {GL_LUMINANCE16, 8, 4, 16, 65535, 16}, {GL_DEPTH_COMPONENT24, 4, 4, 0, 1, 0},
        {GL_RGBA8, 10, 0, 32, 255, 48},        {GL_RGBA8, -4, -4, 32, 255, -16}};
    for (const auto& c : cases) {
        OpaqueBuffer buffer;
        const bool memory = c[2] == 4 && c[3] != 0;
        EXPECT_EQ(buffer.Resize(c[1], c[2], unsigned(c[0])), memory) << std::hex << c[0];
        EXPECT_EQ(ShapeOf(buffer), (Shape{c[1], c[2], c[0], c[3], c[4], c[5]}));
        EXPECT_TRUE(IsValid(&buffer) == memory && (buffer.GetBaseAddress() != nullptr) == memory);
    }
    Buffer<RGBAPixelType<float>> rgba;
    Buffer<LumaPixelType<float>> luma;
    ASSERT_TRUE(rgba.Resize(4, 3) && luma.Resize(5, 2));
    EXPECT_EQ(ShapeOf(rgba), (Shape{4, 3, Fourcc("RGBA"), 128, 1, 64}));
    EXPECT_EQ(ShapeOf(luma), (Shape{5, 2, GL_LUMINANCE32F_ARB, 32, 1, 32}));
    // An explicit white level is truncated, and clamped where no integer holds it.
    OpaqueBuffer buffer;
    EXPECT_TRUE(buffer.Resize(10, 4, Fourcc("RGBA"), 64, 32768.9f) && IsValid(&buffer));
    EXPECT_EQ(ShapeOf(buffer), (Shape{10, 4, Fourcc("RGBA"), 64, 32768, 80}));
    for (const auto& [white, expected] : {std::pair{-0.9f, 0}, {1e20f, 2147483647}, {NAN, 0}}) {
        EXPECT_TRUE(buffer.Resize(3, 3, 32, 32, white));
        EXPECT_EQ(buffer.GetWhiteLevel(), expected) << white;
    }
}

// The like image's layout is taken only when it is valid (RGB8 otherwise); a null one empties
// the buffer but keeps its description.
TEST(CpuBuffers, ResizeLikeAnotherImage) {
    for (bool invalid : {false, true}) {
        TestImage like(100, 50, Fourcc("RGBA"), 64, 32768);
        if (invalid) like.SetBaseAddress(nullptr);
        OpaqueBuffer buffer;
        EXPECT_TRUE(buffer.Resize(&like) && IsValid(&buffer));
        EXPECT_EQ(ShapeOf(buffer), (invalid ? Shape{100, 50, GL_RGB8, 24, 255, 304}
                                            : Shape{100, 50, GL_RGBA16, 64, 65535, 800}));
    }
    OpaqueBuffer::FinalizePool();
    OpaqueBuffer buffer;
    ASSERT_TRUE(buffer.Resize(8, 8, GL_RGBA8));
    EXPECT_FALSE(buffer.Resize(nullptr));
    EXPECT_EQ(ShapeOf(buffer), (Shape{8, 8, GL_RGBA8, 32, 255, 32}));
    EXPECT_TRUE(buffer.GetBaseAddress() == nullptr && cache.IdleBytes() == kMiB);
}

// A block goes back to the cache once, when its last holder lets go; wrapped memory is never
// the cache's (AddressSanitizer would also catch a free of it).
TEST(CpuBuffers, CopiesShareTheBlockAndWrappedMemoryIsNeverFreed) {
    OpaqueBuffer::FinalizePool();
    const int inUse = cache.InUseBytes(), total = cache.TotalBytes();
    std::vector<unsigned char> memory(4096, 0xA5);
    {
        OpaqueBuffer original, assigned;
        ASSERT_TRUE(original.Resize(16, 16, GL_RGBA8) && assigned.Resize(8, 8, GL_RGBA16));
        static_cast<char*>(original.GetBaseAddress())[0] = 42;
        EXPECT_EQ(OpaqueBuffer(original).GetBaseAddress(), original.GetBaseAddress());
        EXPECT_EQ(cache.InUseBytes(), inUse + 2 * kMiB); // the copy let go of nothing
        assigned = original;                             // gives its own block back
        assigned = assigned;
        assigned = original;
        original.Finalize();
        EXPECT_EQ(cache.InUseBytes(), inUse + kMiB); // still held by the copy
        EXPECT_EQ(static_cast<char*>(assigned.GetBaseAddress())[0], 42);
        ExposedBuffer wrapped;
        wrapped.Resize(0, 0, GL_RGB8);                        // 24 bits a pixel
        EXPECT_FALSE(wrapped.Resize(3, 2, memory.data(), 0)); // 72 bits a row, rounded up to 128
        EXPECT_TRUE(wrapped.GetBaseAddress() == memory.data() && wrapped.GetRowBytes() == 16 &&
                    IsValid(&wrapped));
        EXPECT_FALSE(wrapped.Resize(7, 3, memory.data() + 64, 100));
        EXPECT_EQ(wrapped.GetRowBytes(), 100);
        assigned.Finalize();
        ASSERT_TRUE(wrapped.Resize(4, 4, GL_RGBA8));
        EXPECT_FALSE(wrapped.Resize(4, 4, memory.data(), 0)); // gives the block back first
        EXPECT_TRUE(cache.InUseBytes() == inUse && cache.IdleBytes() == 2 * kMiB);
    }
    EXPECT_TRUE(memory[0] == 0xA5 && memory[4095] == 0xA5 && cache.InUseBytes() == inUse);
    OpaqueBuffer::FinalizePool();
    EXPECT_EQ(cache.TotalBytes(), total);
}

namespace {
// A marshalled operation that leaves two idle blocks behind in the worker's cache.
void AllocateAndDrop(int* idleAfterTask) {
    if (Dispatch(&AllocateAndDrop, idleAfterTask)) return;
    OpaqueBuffer().Resize(10, 10, GL_RGBA8);
    OpaqueBuffer().Resize(1000, 1250, GL_RGBA8);
    *idleAfterTask = cache.IdleBytes();
}
} // namespace

TEST(CpuBuffers, IdleBlocksAreFreedAfterEveryMarshalledCall) {
    tesk_test::NoContext noContext; // only the hand-over matters here
    OpaqueBuffer::FinalizePool();
    const int inUse = cache.InUseBytes();
    const bool finalized = cache.IsFinalized();
    int idleAfterTask = 0;
    AllocateAndDrop(&idleAfterTask);
    EXPECT_GE(idleAfterTask, 9 * kMiB); // idle when the task ended, freed before the call returned
    EXPECT_TRUE(cache.IdleBytes() == 0 && cache.IdleCount() == 0 && cache.TotalBytes() == inUse);
    EXPECT_TRUE(cache.InUseBytes() == inUse && cache.IsFinalized() == finalized);
}
