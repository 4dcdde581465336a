// The demo's pictures, its bitmap font and the contact sheet's thumbnails.
#include "tools/BitmapFont.h"
#include "tools/ContactSheet.h"
#include "tools/TestImages.h"

#include <gtest/gtest.h>

#include <string>

namespace cli {
namespace {

std::string GlyphRow(char c, int row) {
    std::string bits;
    for (int column = 0; column < kGlyphWidth; ++column)
        bits += GlyphBit(c, column, row) ? '#' : '.';
    return bits;
}

TEST(BitmapFont, DrawsCapitalsDigitsAndAFallback) {
    EXPECT_EQ(GlyphRow('A', 0), ".###.");
    EXPECT_EQ(GlyphRow('A', 3), "#####");
    EXPECT_EQ(GlyphRow('L', 6), "#####");
    EXPECT_EQ(GlyphRow('1', 1), ".##..");
    EXPECT_EQ(GlyphRow('.', 6), ".##..");
    EXPECT_EQ(GlyphRow(' ', 3), ".....");
    // Lower case folds to capitals; characters without a glyph draw as '?'.
    EXPECT_EQ(GlyphRow('x', 2), GlyphRow('X', 2));
    EXPECT_TRUE(HasGlyph('x'));
    EXPECT_FALSE(HasGlyph('~'));
    for (int row = 0; row < kGlyphHeight; ++row) EXPECT_EQ(GlyphRow('~', row), GlyphRow('?', row));
    for (char c : std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,:;-+=()[]/*%_<>'!?#|"))
        EXPECT_TRUE(HasGlyph(c)) << c;

    EXPECT_EQ(TextWidth("", 2), 0);
    EXPECT_EQ(TextWidth("A", 1), 5);
    EXPECT_EQ(TextWidth("AB", 2), 22);

    // 'T' at scale 2 from (1, 1): the bar is the top two rows, the stem columns 5 and 6.
    OIIO::ImageBuf image(OIIO::ImageSpec(12, 16, 4, OIIO::TypeFloat));
    DrawText(image, 1, 1, "T", Rgba{1, 1, 1, 1}, 2);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 12; ++x) {
            const bool bar = y >= 1 && y <= 2 && x >= 1 && x <= 10;
            const bool stem = y >= 1 && y <= 14 && x >= 5 && x <= 6;
            EXPECT_EQ(image.getchannel(x, y, 0, 3), (bar || stem) ? 1.0f : 0.0f) << x << "," << y;
        }
    }
    // Text running off the edge is cut, not written out of bounds.
    DrawText(image, 8, 12, "WW", Rgba{1, 0, 0, 1}, 3);
    EXPECT_EQ(image.getchannel(8, 12, 0, 0), 1.0f);
    EXPECT_EQ(image.getchannel(8, 12, 0, 1), 0.0f);
}

TEST(ContactSheet, AveragesThumbnailsAndShowsOneChannelAsGrey) {
    OIIO::ImageBuf image(OIIO::ImageSpec(4, 2, 4, OIIO::TypeFloat));
    for (int x = 0; x < 4; ++x) {
        const float top[4] = {x * 0.25f, 1.0f, 0.0f, 0.5f};
        const float bottom[4] = {x * 0.25f, 0.0f, 1.0f, 1.0f};
        image.setpixel(x, 0, top, 4);
        image.setpixel(x, 1, bottom, 4);
    }
    float rgba[4];
    // Half size: each thumbnail pixel is a 2 x 2 block.
    ThumbnailPixel(image, 2, 1, 1, 0, rgba);
    EXPECT_FLOAT_EQ(rgba[0], (0.5f + 0.75f) / 2);
    EXPECT_FLOAT_EQ(rgba[1], 0.5f);
    EXPECT_FLOAT_EQ(rgba[2], 0.5f);
    EXPECT_FLOAT_EQ(rgba[3], 0.75f);
    // Double size: one source pixel each.
    ThumbnailPixel(image, 8, 4, 7, 0, rgba);
    EXPECT_FLOAT_EQ(rgba[0], 0.75f);
    EXPECT_FLOAT_EQ(rgba[3], 0.5f);

    OIIO::ImageBuf plane(OIIO::ImageSpec(1, 1, 1, OIIO::TypeFloat));
    const float value = 0.3f;
    plane.setpixel(0, 0, &value, 1);
    ThumbnailPixel(plane, 1, 1, 0, 0, rgba);
    EXPECT_FLOAT_EQ(rgba[0], 0.3f);
    EXPECT_FLOAT_EQ(rgba[1], 0.3f);
    EXPECT_FLOAT_EQ(rgba[2], 0.3f);
    EXPECT_FLOAT_EQ(rgba[3], 1.0f);

    // A sheet with a row of one input: the colour view and the alpha view appear side by side.
    const OIIO::ImageBuf red = [] {
        OIIO::ImageBuf solid(OIIO::ImageSpec(8, 8, 4, OIIO::TypeFloat));
        const float pixel[4] = {1.0f, 0.0f, 0.0f, 0.0f};
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) solid.setpixel(x, y, pixel, 4);
        return solid;
    }();
    const OIIO::ImageBuf sheet =
        MakeContactSheet("HEADING", {{"ROW", {{"IN", &red}}, {"OUT", &red}}}, 8);
    int redPixels = 0, blackPixels = 0;
    for (int y = 0; y < sheet.spec().height; ++y) {
        for (int x = 0; x < sheet.spec().width; ++x) {
            float p[4];
            sheet.getpixel(x, y, p, 4);
            EXPECT_EQ(p[3], 1.0f);
            if (p[0] == 1.0f && p[1] == 0.0f && p[2] == 0.0f) ++redPixels;
            if (p[0] == 0.0f && p[1] == 0.0f && p[2] == 0.0f) ++blackPixels;
        }
    }
    // Two 8 x 8 colour views (input and output) in red, two alpha views in black.
    EXPECT_EQ(redPixels, 128);
    EXPECT_EQ(blackPixels, 128);
}

TEST(TestImages, ShowWhatTheyAreNamedFor) {
    auto at = [](const OIIO::ImageBuf& image, int x, int y, int c) {
        return image.getchannel(x, y, 0, c);
    };
    const OIIO::ImageBuf gradient = Gradient(5, 3);
    EXPECT_EQ(at(gradient, 0, 0, 0), 0.0f);
    EXPECT_EQ(at(gradient, 4, 0, 0), 1.0f);
    EXPECT_EQ(at(gradient, 0, 2, 1), 1.0f);
    EXPECT_EQ(at(gradient, 0, 0, 2), 1.0f);
    EXPECT_EQ(at(gradient, 2, 1, 3), 1.0f);

    const OIIO::ImageBuf checker = Checker(8, 4, 2);
    EXPECT_EQ(at(checker, 1, 1, 0), 1.0f);
    EXPECT_EQ(at(checker, 2, 1, 0), 0.1f);
    EXPECT_EQ(at(checker, 2, 2, 0), 1.0f);

    // Side 100: alpha 1 within 25 pixels of the centre, 0 beyond 45.
    const OIIO::ImageBuf disc = SoftDisc(100, 100);
    EXPECT_EQ(at(disc, 50, 50, 3), 1.0f);
    EXPECT_EQ(at(disc, 70, 50, 3), 1.0f);
    EXPECT_EQ(at(disc, 0, 0, 3), 0.0f);
    EXPECT_EQ(at(disc, 96, 50, 3), 0.0f);
    // Pixel (85, 50) has its centre (35.5, 0.5) from the disc's: d = sqrt(1260.5) = 35.50352,
    // alpha (45 - d) / 20.
    EXPECT_NEAR(at(disc, 85, 50, 3), 0.474824f, 1e-5f);
    EXPECT_EQ(at(disc, 0, 0, 0), 1.0f);

    const OIIO::ImageBuf noise = Noise(16, 16, 7);
    const OIIO::ImageBuf same = Noise(16, 16, 7);
    float lowest = 1, highest = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            EXPECT_EQ(at(noise, x, y, 1), at(same, x, y, 1));
            EXPECT_EQ(at(noise, x, y, 3), 1.0f);
            lowest = std::min(lowest, at(noise, x, y, 0));
            highest = std::max(highest, at(noise, x, y, 0));
        }
    }
    EXPECT_LT(lowest, 0.1f);
    EXPECT_GT(highest, 0.9f);
    EXPECT_NE(at(Noise(16, 16, 8), 0, 0, 0), at(noise, 0, 0, 0));
}

} // namespace
} // namespace cli
