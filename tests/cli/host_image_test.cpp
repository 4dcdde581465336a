// Host layouts: what the library is told about each one, where each channel lies in memory, and
// exact round trips between the layouts and float RGBA.
#include "tools/HostImage.h"

#include "common/XIImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
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
        SCOPED_TRACE(row.name);
        Layout layout;
        ASSERT_TRUE(ParseLayout(row.name, layout));
        const int widths[3] = {1, 3, 5};
        for (int i = 0; i < 3; ++i) {
            HostImage image(layout, widths[i], 2);
            EXPECT_EQ(image.GetColorSpace(), row.colorSpace);
            EXPECT_EQ(image.GetBitDepth(), row.bitDepth);
            EXPECT_EQ(image.GetWhiteLevel(), row.whiteLevel);
            EXPECT_EQ(image.GetRowBytes(), row.rowBytes[i]);
            EXPECT_FALSE(image.IsBottomUp());
            EXPECT_EQ(reinterpret_cast<uintptr_t>(image.GetBaseAddress()) % 16, 0u);
            EXPECT_TRUE(OGL_TESK_AE::IsValid(&image));
        }
    }
    Layout layout = Layout::Half;
    EXPECT_FALSE(ParseLayout("rgba32", layout));
    EXPECT_FALSE(ParseLayout("", layout));
    EXPECT_EQ(layout, Layout::Half);
    EXPECT_EQ(LayoutNames(), "float, half, rgba16, ae16, rgba8, argb8, bgra8");
}

TEST(HostImage, StoresChannelsInTheLayoutsMemoryOrder) {
    // r = 1, g = 0.2, b = 0, a = 0.6: in 8 bits 255, 51, 0, 153.
    const OIIO::ImageBuf pixel = OnePixel(1.0f, 0.2f, 0.0f, 0.6f);
    struct Row {
        Layout layout;
        uint8_t bytes[4];
    };
    const Row rows[] = {
        {Layout::Rgba8, {255, 51, 0, 153}},
        {Layout::Argb8, {153, 255, 51, 0}},
        {Layout::Bgra8, {0, 51, 255, 153}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Describe(row.layout).name);
        HostImage image(row.layout, pixel);
        EXPECT_EQ(std::memcmp(image.PixelAddress(0, 0), row.bytes, 4), 0);
    }

    auto shorts = [](const HostImage& image) {
        std::vector<uint16_t> values(4);
        std::memcpy(values.data(), image.PixelAddress(0, 0), 8);
        return values;
    };
    // 0.5 is 32767.5 steps of 65535, rounded up; of 32768 it is exactly 16384.
    const OIIO::ImageBuf half = OnePixel(0.5f, 1.0f, 2.0f, -1.0f);
    EXPECT_EQ(shorts(HostImage(Layout::Rgba16, half)),
              (std::vector<uint16_t>{32768, 65535, 65535, 0}));
    EXPECT_EQ(shorts(HostImage(Layout::Ae16, half)),
              (std::vector<uint16_t>{16384, 32768, 32768, 0}));
    // IEEE half: 0.5 = 0x3800, 1 = 0x3C00, 2 = 0x4000, -1 = 0xBC00.
    EXPECT_EQ(shorts(HostImage(Layout::Half, half)),
              (std::vector<uint16_t>{0x3800, 0x3C00, 0x4000, 0xBC00}));

    HostImage floats(Layout::Float, OnePixel(0.25f, -3.0f, 7.5f, 1.0f));
    float stored[4];
    std::memcpy(stored, floats.PixelAddress(0, 0), 16);
    EXPECT_EQ(stored[0], 0.25f);
    EXPECT_EQ(stored[1], -3.0f);
    EXPECT_EQ(stored[2], 7.5f);
    EXPECT_EQ(stored[3], 1.0f);

    // A NaN channel becomes 0 in integer layouts rather than an arbitrary value.
    HostImage nan(Layout::Rgba8, OnePixel(std::nanf(""), 1.0f, 1.0f, 1.0f));
    EXPECT_EQ(nan.PixelAddress(0, 0)[0], 0);
}

TEST(HostImage, KeepsRowsInTheOrderAsked) {
    OIIO::ImageBuf image(OIIO::ImageSpec(2, 3, 4, OIIO::TypeFloat));
    for (int y = 0; y < 3; ++y) {
        const float rgba[4] = {0.1f * y, 0.0f, 0.0f, 1.0f};
        image.setpixel(1, y, rgba, 4);
    }
    for (Rows rows : {Rows::TopDown, Rows::BottomUp}) {
        const bool bottomUp = rows == Rows::BottomUp;
        SCOPED_TRACE(bottomUp ? "bottom-up" : "top-down");
        HostImage host(Layout::Float, image, rows);
        EXPECT_EQ(host.IsBottomUp(), bottomUp);
        const auto* base = static_cast<const uint8_t*>(host.GetBaseAddress());
        for (int y = 0; y < 3; ++y) {
            float red;
            std::memcpy(&red, base + y * host.GetRowBytes() + 16, 4);
            EXPECT_EQ(red, 0.1f * (bottomUp ? 2 - y : y)) << "memory row " << y;
        }
        float rgba[4];
        host.LoadPixel(1, 0, rgba);
        EXPECT_EQ(rgba[0], 0.0f);
    }
}

// Every stored value of a layout, through float RGBA and back, must come out bit for bit.
TEST(HostImage, RoundTripsEveryValueExactly) {
    struct Row {
        Layout layout;
        // Values written into the channels, as raw memory.
        std::vector<uint8_t> memory;
        int width;
    };
    std::vector<Row> rows;
    {
        std::vector<uint8_t> bytes(256 * 4);
        for (int i = 0; i < 256 * 4; ++i) bytes[i] = static_cast<uint8_t>(i / 4 + i % 4 * 37);
        for (Layout layout : {Layout::Rgba8, Layout::Argb8, Layout::Bgra8})
            rows.push_back({layout, bytes, 256});
    }
    auto shorts = [](int count, uint16_t (*value)(int)) {
        std::vector<uint8_t> memory(static_cast<size_t>(count) * 2);
        for (int i = 0; i < count; ++i) {
            const uint16_t v = value(i);
            std::memcpy(&memory[static_cast<size_t>(i) * 2], &v, 2);
        }
        return memory;
    };
    // All 65536 values of 16 bits; 0..32768 for the white-32768 layout.
    rows.push_back({Layout::Rgba16, shorts(65536, [](int i) { return uint16_t(i); }), 16384});
    rows.push_back(
        {Layout::Ae16, shorts(32772, [](int i) { return uint16_t(std::min(i, 32768)); }), 8193});
    // Every half that is not a NaN (exponent all ones with a non-zero fraction).
    rows.push_back({Layout::Half,
                    shorts(65536,
                           [](int i) {
                               const bool nan = (i & 0x7C00) == 0x7C00 && (i & 0x03FF) != 0;
                               return uint16_t(nan ? 0x3C00 : i);
                           }),
                    16384});
    {
        const float values[] = {0.0f, -0.0f, 1.0f, 0.1f, -2.5f, 1e-40f, 3.4e38f, 65504.0f};
        std::vector<uint8_t> memory(sizeof values);
        std::memcpy(memory.data(), values, sizeof values);
        rows.push_back({Layout::Float, memory, 2});
    }

    for (const Row& row : rows) {
        SCOPED_TRACE(Describe(row.layout).name);
        HostImage source(row.layout, row.width, 1);
        ASSERT_EQ(row.memory.size(), static_cast<size_t>(row.width) * source.GetBitDepth() / 8);
        std::memcpy(source.GetBaseAddress(), row.memory.data(), row.memory.size());
        const OIIO::ImageBuf rgba = source.Load();
        HostImage copy(row.layout, rgba);
        EXPECT_EQ(std::memcmp(copy.GetBaseAddress(), row.memory.data(), row.memory.size()), 0);
    }
}

TEST(HostImage, ReadsIntegerChannelsAsFractionsOfWhite) {
    HostImage ae(Layout::Ae16, 1, 1);
    const uint16_t values[4] = {32768, 16384, 0, 8192};
    std::memcpy(ae.GetBaseAddress(), values, 8);
    float rgba[4];
    ae.LoadPixel(0, 0, rgba);
    EXPECT_EQ(rgba[0], 1.0f);
    EXPECT_EQ(rgba[1], 0.5f);
    EXPECT_EQ(rgba[2], 0.0f);
    EXPECT_EQ(rgba[3], 0.25f);

    HostImage argb(Layout::Argb8, 1, 1);
    const uint8_t bytes[4] = {255, 0, 51, 102};
    std::memcpy(argb.GetBaseAddress(), bytes, 4);
    argb.LoadPixel(0, 0, rgba);
    EXPECT_FLOAT_EQ(rgba[0], 0.0f);
    EXPECT_FLOAT_EQ(rgba[1], 0.2f);
    EXPECT_FLOAT_EQ(rgba[2], 0.4f);
    EXPECT_FLOAT_EQ(rgba[3], 1.0f);
}

TEST(HostImage, RejectsEmptyImagesAndMismatchedBuffers) {
    EXPECT_THROW(HostImage(Layout::Float, 0, 1), std::invalid_argument);
    EXPECT_THROW(HostImage(Layout::Float, 1, 0), std::invalid_argument);
    HostImage image(Layout::Rgba8, 2, 2);
    EXPECT_THROW(image.Store(OnePixel(0, 0, 0, 0)), std::invalid_argument);
}

} // namespace
} // namespace cli
