// Host layouts: what the library is told about each one, where each channel lies in memory, and
// exact round trips between the layouts and float RGBA.
#include "tools/HostImage.h"

#include "common/XIImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numeric>
#include <vector>

namespace cli {
namespace {

OIIO::ImageBuf OnePixel(float r, float g, float b, float a) {
    OIIO::ImageBuf image(OIIO::ImageSpec(1, 1, 4, OIIO::TypeFloat));
    const float rgba[4] = {r, g, b, a};
    image.setpixel(0, 0, rgba, 4);
    return image;
}

TEST(HostImage, DescribesEachLayoutAsHostsDo) {
    struct Row {
        const char* name;
        int32_t colorSpace, bitDepth, whiteLevel;
        // Row bytes for widths 1, 3 and 5: rows start on 16-byte boundaries.
        int32_t rowBytes[3];
    };
    const Row rows[] = {
        {"float", 0x52474241, 128, 1, {16, 48, 80}},
        {"half", 0x52474241, 64, 1, {16, 32, 48}},
        {"rgba16", 0x52474241, 64, 65535, {16, 32, 48}},
        {"ae16", 0x52474241, 64, 32768, {16, 32, 48}},
        {"rgba8", 0x52474241, 32, 255, {16, 16, 32}},
        {"argb8", 32, 32, 255, {16, 16, 32}},
        {"bgra8", 0x42475241, 32, 255, {16, 16, 32}},
    };
    for (const Row& row : rows) {
        Layout layout;
        ASSERT_TRUE(ParseLayout(row.name, layout)) << row.name;
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(std::string(row.name) + " width " + std::to_string(2 * i + 1));
            HostImage image(layout, 2 * i + 1, 2);
            EXPECT_EQ(image.GetColorSpace(), row.colorSpace);
            EXPECT_EQ(image.GetBitDepth(), row.bitDepth);
            EXPECT_EQ(image.GetWhiteLevel(), row.whiteLevel);
            EXPECT_EQ(image.GetRowBytes(), row.rowBytes[i]);
            EXPECT_FALSE(image.IsBottomUp());
            EXPECT_EQ(reinterpret_cast<uintptr_t>(image.GetBaseAddress()) % 16, 0u);
            EXPECT_TRUE(OGL_TESK_AE::IsValid(&image));
        }
    }
    EXPECT_EQ(LayoutNames(), "float, half, rgba16, ae16, rgba8, argb8, bgra8");
    EXPECT_THROW(HostImage(Layout::Float, 0, 1), std::invalid_argument);
    EXPECT_THROW(HostImage(Layout::Float, 1, 0), std::invalid_argument);
    HostImage image(Layout::Rgba8, 2, 2);
    EXPECT_THROW(image.Store(OnePixel(0, 0, 0, 0)), std::invalid_argument);
}

// The four channel slots of pixel (0, 0) as stored: bytes, 16-bit words or floats.
std::vector<double> Slots(const HostImage& image) {
    std::vector<double> slots;
    const uint8_t* pixel = image.PixelAddress(0, 0);
    for (int c = 0; c < 4; ++c) {
        uint16_t word;
        float value;
        std::memcpy(&word, pixel + 2 * c, 2);
        std::memcpy(&value, pixel + 4 * c, 4);
        const int bits = image.GetBitDepth();
        slots.push_back(bits == 32 ? pixel[c] : bits == 64 ? word : value);
    }
    return slots;
}

TEST(HostImage, StoresChannelsInTheLayoutsMemoryOrder) {
    // r = 1, g = 0.2, b = 0, a = 0.6: in 8 bits 255, 51, 0, 153.
    const OIIO::ImageBuf bytes = OnePixel(1.0f, 0.2f, 0.0f, 0.6f);
    // 0.5 is 32767.5 steps of 65535, rounded up; of 32768 it is exactly 16384. IEEE half:
    // 0.5 = 0x3800, 1 = 0x3C00, 2 = 0x4000, -1 = 0xBC00.
    const OIIO::ImageBuf words = OnePixel(0.5f, 1.0f, 2.0f, -1.0f);
    struct Row {
        Layout layout;
        OIIO::ImageBuf pixel;
        std::vector<double> slots;
    };
    const Row rows[] = {
        {Layout::Rgba8, bytes, {255, 51, 0, 153}},
        {Layout::Argb8, bytes, {153, 255, 51, 0}},
        {Layout::Bgra8, bytes, {0, 51, 255, 153}},
        {Layout::Rgba16, words, {32768, 65535, 65535, 0}},
        {Layout::Ae16, words, {16384, 32768, 32768, 0}},
        {Layout::Half, words, {0x3800, 0x3C00, 0x4000, 0xBC00}},
        {Layout::Float, OnePixel(0.25f, -3.0f, 7.5f, 1.0f), {0.25, -3.0, 7.5, 1.0}},
        // A NaN channel becomes 0 in integer layouts rather than an arbitrary value.
        {Layout::Rgba8, OnePixel(std::nanf(""), 1.0f, 1.0f, 1.0f), {0, 255, 255, 255}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Slots(HostImage(row.layout, row.pixel)), row.slots) << Describe(row.layout).name;
}

template <class T> std::vector<uint8_t> Bytes(const std::vector<T>& values) {
    const auto* memory = reinterpret_cast<const uint8_t*>(values.data());
    return {memory, memory + values.size() * sizeof(T)};
}

// Every stored value of a layout, through float RGBA and back, must come out bit for bit.
TEST(HostImage, RoundTripsEveryValueExactly) {
    // 16-bit words: all 65536 for rgba16; 0..32768 for ae16; every half but the NaNs (exponent
    // all ones with a non-zero fraction).
    std::vector<uint16_t> words(65536), ae(32772, 32768);
    std::iota(words.begin(), words.end(), 0);
    std::iota(ae.begin(), ae.begin() + 32769, 0);
    std::vector<uint16_t> halves = words;
    for (uint16_t& h : halves)
        if ((h & 0x7C00) == 0x7C00 && (h & 0x03FF) != 0) h = 0x3C00;
    std::vector<uint8_t> bytes(256 * 4);
    for (int i = 0; i < 256 * 4; ++i) bytes[i] = static_cast<uint8_t>(i / 4 + i % 4 * 37);
    const std::vector<float> floats = {0.0f, -0.0f, 1.0f, 0.1f, -2.5f, 1e-40f, 3.4e38f, 65504.0f};
    const std::pair<Layout, std::vector<uint8_t>> rows[] = {
        {Layout::Rgba8, bytes},         {Layout::Argb8, bytes},    {Layout::Bgra8, bytes},
        {Layout::Rgba16, Bytes(words)}, {Layout::Ae16, Bytes(ae)}, {Layout::Half, Bytes(halves)},
        {Layout::Float, Bytes(floats)},
    };
    for (const auto& [layout, memory] : rows) {
        HostImage source(layout, static_cast<int>(memory.size() * 8 / Describe(layout).bitDepth),
                         1);
        std::memcpy(source.GetBaseAddress(), memory.data(), memory.size());
        HostImage copy(layout, source.Load());
        EXPECT_EQ(std::memcmp(copy.GetBaseAddress(), memory.data(), memory.size()), 0)
            << Describe(layout).name;
    }
}

} // namespace
} // namespace cli
