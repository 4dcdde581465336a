// Host images and the library's own CPU images: which are valid, how their layouts map onto
// OpenGL formats and texture sizes, and how the library's buffers take blocks from the memory
// cache, share them between copies and wrap memory they do not own. Expected values are written
// out by hand from the layouts.

#include "NoContext.h"
#include "TestImage.h"

#include "common/Errors.h"
#include "common/Shared.h"
#include "gl/texture/MemoryBuffer.h"
#include "gl/texture/TextureFormat.h"
#include "ops/BasicOps.h"

#include <gtest/gtest.h>

#include <sys/mman.h>

#include <array>
#include <cmath>

using namespace OGL_TESK_AE;
using tesk_test::Fourcc;
using tesk_test::TestImage;

namespace {
constexpr int kMiB = 1048576;
constexpr int32_t RGBA = Fourcc("RGBA");
MemoryFactory& cache = MemoryBuffer::Factory();

// Reaches the protected layout helpers and the wrapping form of Resize.
struct Exposed : OpaqueBuffer {
    using OpaqueBuffer::figureRowBytes, OpaqueBuffer::Resize, OpaqueBuffer::roundImageBytes;
};

// Width, height, colour space, bit depth, white level and row bytes, to compare in one go.
using Shape = std::array<int32_t, 6>;
Shape ShapeOf(const XIImage& i) {
    return {i.GetWidth(),    i.GetHeight(),     i.GetColorSpace(),
            i.GetBitDepth(), i.GetWhiteLevel(), i.GetRowBytes()};
}

GLenum FormatOf(const XIImage* image, GLenum& type, float& whiteScale) {
    GLenum format = 0xDEAD;
    GetColorSpaceFormat(image, format, type, whiteScale);
    return format;
}
} // namespace

// Bits are divided down to whole bytes, and row bits wrap at 32 bits: 128 * 0x02800000 leaves
// 0x40000000 bits, so 0x08000000 row bytes are enough and one fewer is not (exact arithmetic
// would reject both); 8 * 0x30000000 wraps negative, which any row length meets. A fifth of
// that width needs all 0x08000000 bytes without wrapping.
TEST(ImageValidity, SizesAndRows) {
    constexpr int32_t W = 0x02800000, R = 0x08000000;
    // Width, height, bit depth, row bytes, valid.
    const int32_t cases[][5] = {
        {1, 1, 32, 4, 1},      {1, 1, 32, 3, 0},         {0, 10, 32, 400, 0},
        {10, 0, 32, 40, 0},    {-4, 10, 32, 40, 0},      {4, -10, 32, 40, 0},
        {4, 4, 32, -16, 0},    {3, 2, 24, 9, 1},         {3, 2, 24, 8, 0},
        {3, 2, 24, 64, 1},     {7, 1, 1, 0, 1},          {9, 1, 1, 0, 0},
        {W, 1, 128, R, 1},     {W, 1, 128, R - 1, 0},    {0x30000000, 1, 8, 1, 1},
        {W / 5, 1, 128, R, 1}, {W / 5, 1, 128, R - 1, 0}};
    for (const auto& c : cases) {
        TestImage image(c[0], c[1], RGBA, c[2], 255, false, c[3]);
        image.SetRowBytes(c[3]); // also 0
        EXPECT_EQ(IsValid(&image), c[4] != 0) << c[0] << " " << c[1] << " " << c[2] << " " << c[3];
    }
}

// An image over a page that faults on any access: checking and describing it must not read a
// single pixel. An unusable image gets neutral answers.
TEST(ImageValidity, NeverTouchesThePixels) {
    const long page = sysconf(_SC_PAGESIZE);
    void* guarded = mmap(nullptr, page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(guarded, MAP_FAILED);
    TestImage image(8, 8, 32, 32, 200), other(8, 8, 32, 32, 200), noMemory(8, 8, 32, 32, 200);
    image.SetBaseAddress(guarded), other.SetBaseAddress(guarded), noMemory.SetBaseAddress(nullptr);
    GLenum type = 0;
    float scale = -1;
    EXPECT_TRUE(IsValid(&image) && IsMatchingFormat(&image, &other) &&
                !IsMatchingFormat(&other, &noMemory) && FormatOf(&image, type, scale) == GL_BGRA);
    EXPECT_TRUE(type == GL_UNSIGNED_INT_8_8_8_8 && std::fabs(scale - 200.0f / 255) < 1e-6f &&
                GetInternalFormat(&image) == GL_RGBA8);
    EXPECT_NO_THROW(AssertValidImage(&image, "Source"));
    munmap(guarded, page);
    for (const XIImage* unusable : std::initializer_list<const XIImage*>{nullptr, &noMemory})
        EXPECT_TRUE(FormatOf(unusable, type, scale) == GL_RGBA && type == 0 && scale == 1 &&
                    GetInternalFormat(unusable) == GL_RGBA8);
}

// The text plug-ins read through the standard base class; "passed" when nothing is thrown.
TEST(ImageValidity, AssertionsNameTheImage) {
    auto thrown = [](void (*assertImage)(const XIImage*, const char*), const XIImage* image,
                     const std::string& name) -> std::string {
        try {
            assertImage(image, name.c_str());
        } catch (const std::exception& e) {
            EXPECT_NE(dynamic_cast<const Error*>(&e), nullptr) << "the library's own error type";
            return e.what();
        }
        return "passed";
    };
    TestImage good(2, 2), noMemory(2, 2), shortRows(4, 4, RGBA, 32, 255, false, 8);
    noMemory.SetBaseAddress(nullptr);
    EXPECT_EQ(thrown(AssertValidImage, &good, "Source"), "passed");
    EXPECT_EQ(thrown(AssertValidImage, nullptr, "Source"), "Source error.");
    EXPECT_EQ(thrown(AssertValidImage, &noMemory, "Destination"), "Destination error.");
    // Cut to its 256-byte buffer, terminator included: 248 + " error." just fits.
    EXPECT_EQ(thrown(AssertValidImage, nullptr, std::string(400, 'n')), std::string(255, 'n'));
    EXPECT_EQ(thrown(AssertValidImage, nullptr, std::string(248, 'f')),
              std::string(248, 'f') + " error.");
    // Optional images may be absent, but not invalid.
    EXPECT_EQ(thrown(AssertOptionalImage, nullptr, "Mask"), "passed");
    EXPECT_EQ(thrown(AssertOptionalImage, &good, "Mask"), "passed");
    EXPECT_EQ(thrown(AssertOptionalImage, &shortRows, "Mask"), "Mask error.");
}

// Each host code's rule once: channel size from the depth (float when white is 1), fixed types
// for packed layouts and code 32 (memory bytes A, R, G, B), none for indexed colour or an
// unknown depth; other codes are internal formats, or RGBA without a type. The layouts the
// OpenGL suite loads and reads back pixel by pixel are left to it.
TEST(ImageFormats, HostCodes) {
    constexpr GLenum UB = GL_UNSIGNED_BYTE, US = GL_UNSIGNED_SHORT, UI = GL_UNSIGNED_INT,
                     HF = GL_HALF_FLOAT_ARB, F = GL_FLOAT, A = GL_ALPHA, RGB = GL_RGB,
                     BGRA = GL_BGRA, RGBA_ = GL_RGBA, P8888 = GL_UNSIGNED_INT_8_8_8_8,
                     P565R = GL_UNSIGNED_SHORT_5_6_5_REV, IDX = GL_COLOR_INDEX, A12 = GL_ALPHA12;
    constexpr int32_t c24BG = Fourcc("24BG"), cABGR = Fourcc("ABGR"), cUYVY = Fourcc("UYVY"),
                      cB565 = Fourcc("B565"), cARGB = Fourcc("ARGB");
    // Code, depth, white, format, type.
    const int32_t rows[][5] = {
        {1, 8, 255, A, UB},           {1, 16, 1, A, HF},          {1, 32, 255, A, UI},
        {1, 24, 255, A, 0},           {24, 48, 65535, RGB, US},   {c24BG, 96, 1, GL_BGR, F},
        {RGBA, 96, 1, RGBA_, 0},      {cABGR, 32, 255, BGRA, UB}, {cUYVY, 16, 255, RGBA_, 0},
        {32, 32, 1, BGRA, P8888},     {32, 64, 1, RGBA_, US},     {32, 16, 255, RGBA_, F},
        {cB565, 16, 255, RGB, P565R}, {40, 32, 1, IDX, 0},        {A12, 128, 65535, A, US},
        {cARGB, 32, 255, RGBA_, 0}};
    for (const auto& r : rows) {
        GLenum format = 0xDEAD, type = 0xDEAD;
        GetColorSpaceFormat(r[0], r[1], r[2], format, type);
        EXPECT_TRUE(format == GLenum(r[3]) && type == GLenum(r[4])) << r[0] << " " << r[1];
    }
    // The internal format a pair asks for, integer types only (float answers depend on the card).
    EXPECT_EQ(GetInternalFormat(GL_DEPTH_COMPONENT, US), GLenum(GL_DEPTH_COMPONENT24));
    EXPECT_EQ(GetInternalFormat(RGBA_, 0), GLenum(GL_RGB8));
    // Only a white level below the type's full scale scales; the full unsigned range is -1.
    EXPECT_NEAR(GetWhiteScale(GL_UNSIGNED_INT_8_8_8_8_REV, 254), 254.0 / 255.0, 1e-6);
    EXPECT_NEAR(GetWhiteScale(US, 65534), 65534.0 / 65535.0, 1e-6);
    EXPECT_NEAR(GetWhiteScale(UI, 0x7FFFFFFF), 0.5, 1e-6);
    EXPECT_EQ(GetWhiteScale(UB, 300) + GetWhiteScale(UI, -1) + GetWhiteScale(F, 255), 3);
}

TEST(ImageFormats, TextureSizes) {
    // Texel bits by internal format (none outside the table), whole bytes a row, the total
    // rounded up to 64 bytes, in 32-bit arithmetic throughout: 2^20-byte rows times 2^16 wrap.
    EXPECT_EQ(CalculateTextureSize(1, 64, GL_DEPTH_COMPONENT24), 192);
    EXPECT_EQ(CalculateTextureSize(1, 64, GL_LUMINANCE8_ALPHA8), 0);
    EXPECT_EQ(CalculateTextureSize(0, 100, GL_RGBA8), 0);
    EXPECT_EQ(CalculateTextureSize(3, 64, GL_RGB8), 576);
    EXPECT_EQ(CalculateTextureSize(100, 100, GL_RGB16), 60032);
    EXPECT_EQ(CalculateTextureSize(65536, 65536, GL_RGBA32F_ARB), 0);
    EXPECT_EQ(CalculateTextureSize(10, 10, GL_ALPHA, GL_UNSIGNED_SHORT), 832); // as RGBA16
    // On the card: each side to the nearest power of two from 16 up, ties going down (sides
    // under 16 get 32), then 16 bytes a texel; the divisor applies above 1, square takes the
    // larger side. Width, height, divisor, square, bytes.
    const int64_t cards[][5] = {{15, 64, 1, 0, 32768},      {16, 64, 1, 0, 16384},
                                {24, 64, 1, 0, 16384},      {25, 64, 1, 0, 32768},
                                {48, 64, 1, 0, 32768},      {49, 64, 1, 0, 65536},
                                {1000, 700, 0, 0, 8388608}, {1000, 700, 1, 1, 16777216},
                                {1000, 700, 3, 0, 1048576}, {100000, 100000, 1, 1, 274877906944}};
    for (const auto& c : cards) {
        TestImage image(static_cast<int32_t>(c[0]), static_cast<int32_t>(c[1]));
        EXPECT_EQ(CalculateTextureSizeOnCard(&image, int(c[2]), c[3] != 0), c[4])
            << c[0] << " / " << c[2];
    }
}

TEST(CpuBuffers, RowAndBlockRounding) {
    // Width, bits a pixel, alignment in bits, row bytes: rows already aligned gain nothing.
    const int rows[][4] = {{100, 32, 128, 400}, {3, 24, 128, 16}, {5, 32, 128, 32},
                           {4, 32, 128, 16},    {0, 32, 128, 0},  {9, 1, 8, 2}};
    for (const auto& r : rows) EXPECT_EQ(Exposed::figureRowBytes(r[0], r[1], r[2]), r[3]) << r[0];
    // MiB and bytes over, block in MiB: whole MiB below 4 MiB, whole 4 MiB from there on.
    const int blocks[][3] = {{0, 0, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 2},
                             {4, 0, 4}, {4, 1, 8}, {8, 1, 12}};
    for (const auto& b : blocks)
        EXPECT_EQ(Exposed::roundImageBytes(b[0] * kMiB + b[1]), b[2] * kMiB);
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
// negative sizes get no memory; an image to resize like is trusted only when valid; an explicit
// white level is truncated, or clamped where no integer holds it.
TEST(CpuBuffers, ResizeDescribesTheLayout) {
    // Internal format, width, height, depth, white, row bytes; memory when the height is 4.
    const int R8 = GL_RGBA8, RGB8 = GL_RGB8, L16 = GL_LUMINANCE16, D24 = GL_DEPTH_COMPONENT24;
    const int cases[][6] = {{R8, 100, 4, 32, 255, 400}, {RGB8, 3, 4, 24, 255, 16},
                            {L16, 8, 4, 16, 65535, 16}, {D24, 4, 4, 0, 1, 0},
                            {R8, 10, 0, 32, 255, 48},   {R8, -4, -4, 32, 255, -16}};
    for (const auto& c : cases) {
        OpaqueBuffer buffer;
        const bool memory = c[2] == 4 && c[3] != 0;
        EXPECT_EQ(buffer.Resize(c[1], c[2], unsigned(c[0])), memory);
        EXPECT_EQ(IsValid(&buffer), memory);
        EXPECT_EQ(ShapeOf(buffer), (Shape{c[1], c[2], c[0], c[3], c[4], c[5]}));
    }
    TestImage like(100, 50, RGBA, 64, 32768);
    for (bool valid : {true, false}) {
        OpaqueBuffer buffer;
        like.SetBaseAddress(valid ? like.Bytes() : nullptr);
        EXPECT_TRUE(buffer.Resize(&like) && IsValid(&buffer));
        EXPECT_EQ(ShapeOf(buffer), (valid ? Shape{100, 50, GL_RGBA16, 64, 65535, 800}
                                          : Shape{100, 50, GL_RGB8, 24, 255, 304}));
    }
    OpaqueBuffer white;
    EXPECT_TRUE(white.Resize(3, 3, RGBA, 64, 32768.9f) &&
                ShapeOf(white) == (Shape{3, 3, RGBA, 64, 32768, 32}));
    const std::pair<float, int> whites[] = {{-0.9f, 0}, {1e20f, 2147483647}, {NAN, 0}};
    for (const auto& [in, out] : whites)
        EXPECT_TRUE(white.Resize(1, 1, 32, 32, in) && white.GetWhiteLevel() == out) << in;
}

// A block goes back to the cache once, when its last holder lets go; wrapped memory is never
// the cache's (AddressSanitizer would also catch a free of it).
TEST(CpuBuffers, BlocksAreSharedByCopiesAndWrappedMemoryIsNeverFreed) {
    OpaqueBuffer::FinalizePool();
    const int inUse = cache.InUseBytes(), total = cache.TotalBytes();
    std::array<unsigned char, 4096> memory;
    memory.fill(0xA5);
    {
        OpaqueBuffer original, assigned;
        ASSERT_TRUE(original.Resize(16, 16, GL_RGBA8) && assigned.Resize(8, 8, GL_RGBA16));
        static_cast<char*>(original.GetBaseAddress())[0] = 42;
        EXPECT_EQ(OpaqueBuffer(original).GetBaseAddress(), original.GetBaseAddress());
        EXPECT_EQ(cache.InUseBytes(), inUse + 2 * kMiB); // the copy, gone again, let go of nothing
        assigned = original;                             // gives its own block back
        assigned = assigned;
        assigned = original;
        original.Finalize();
        EXPECT_EQ(cache.InUseBytes(), inUse + kMiB);
        EXPECT_EQ(static_cast<char*>(assigned.GetBaseAddress())[0], 42);
        // A null image to resize like empties the buffer but keeps its layout.
        EXPECT_FALSE(assigned.Resize(nullptr) || assigned.GetBaseAddress());
        EXPECT_EQ(ShapeOf(assigned), (Shape{16, 16, GL_RGBA8, 32, 255, 64}));
        Exposed wrapped;
        wrapped.Resize(0, 0, GL_RGB8);                        // 24 bits a pixel
        EXPECT_FALSE(wrapped.Resize(3, 2, memory.data(), 0)); // 72 bits a row, rounded up to 128
        EXPECT_EQ(ShapeOf(wrapped), (Shape{3, 2, GL_RGB8, 24, 255, 16}));
        EXPECT_TRUE(wrapped.GetBaseAddress() == memory.data() && IsValid(&wrapped));
        EXPECT_TRUE(!wrapped.Resize(7, 3, memory.data() + 64, 100) && wrapped.GetRowBytes() == 100);
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
    int idleAfterTask = 0;
    AllocateAndDrop(&idleAfterTask);
    EXPECT_GE(idleAfterTask, 9 * kMiB); // idle when the task ended, freed before the call returned
    EXPECT_TRUE(cache.IdleBytes() == 0 && cache.IdleCount() == 0 && cache.TotalBytes() == inUse);
}

// The float-buffer queries run on the calling thread; the last pixel of the last row decides,
// so the scans must cover every row to its end. Inverting luma is the OpenGL suite's.
TEST(BufferQueries, AlphaLumaAndMaximum) {
    Buffer<RGBAPixelType<float>> rgba;
    Buffer<AlphaPixelType<float>> alpha;
    Buffer<LumaPixelType<float>> luma;
    ASSERT_TRUE(rgba.Resize(5, 3) && alpha.Resize(3, 2) && luma.Resize(1, 1));
    // Opaque, with no luma to speak of.
    for (int i = 0; i < 15; ++i) rgba.Row(i / 5)[i % 5] = {-1.0f, -0.5f, -2.0f, 1.0f};
    for (int i = 0; i < 6; ++i) alpha.Row(i / 3)[i % 3].alpha = 1.0f;
    luma.Row(0)[0].luma = 2.0f;
    EXPECT_TRUE(!HasAlpha(&rgba) && !HasLuma(&rgba) && MaxLuma(&rgba) == 0.0f); // floored at 0
    EXPECT_FALSE(HasAlpha(&alpha) || HasAlpha(&luma));
    rgba.Row(2)[4] = {0.5f, 1.0f, 0.25f, 0.999f};
    alpha.Row(1)[2].alpha = 0.0f;
    EXPECT_TRUE(HasAlpha(&rgba) && HasLuma(&rgba) && HasAlpha(&alpha));
    EXPECT_FLOAT_EQ(MaxLuma(&rgba), 0.30f * 0.5f + 0.59f * 1.0f + 0.11f * 0.25f);
    rgba.Row(2)[4] = {0.0f, NAN, 0.0f, 1.0f};
    EXPECT_TRUE(HasLuma(&rgba)); // NaN is not <= 0
}
