#include "tools/ContactSheet.h"

#include "tools/BitmapFont.h"

#include <algorithm>
#include <vector>

namespace cli {

namespace {

constexpr int kScale = 2;
constexpr int kMargin = 16;
constexpr int kGap = 4;
constexpr int kTextHeight = kGlyphHeight * kScale;
const Rgba kBackground{0.16f, 0.16f, 0.17f, 1.0f};
const Rgba kFrame{0.35f, 0.35f, 0.37f, 1.0f};
const Rgba kText{0.92f, 0.92f, 0.92f, 1.0f};
const Rgba kDim{0.65f, 0.65f, 0.68f, 1.0f};
const char* const kArrow = "->";

void Fill(OIIO::ImageBuf& sheet, int x0, int y0, int x1, int y1, const Rgba& color) {
    const OIIO::ROI area(x0, x1, y0, y1, 0, 1, 0, 4);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (sheet.roi().contains(x, y) && area.contains(x, y))
                sheet.setpixel(x, y, color.data(), 4);
}

// Thumbnail size of an image: fitted into a square, aspect kept, at least 1 x 1.
void FitSize(const OIIO::ImageBuf& image, int box, int& width, int& height) {
    const int w = image.spec().width, h = image.spec().height;
    if (w >= h) {
        width = box;
        height = std::max(1, static_cast<int>(static_cast<long long>(h) * box / w));
    } else {
        height = box;
        width = std::max(1, static_cast<int>(static_cast<long long>(w) * box / h));
    }
}

// Draws the colour and alpha views of an image with their top-left corner at (x, y).
void DrawViews(OIIO::ImageBuf& sheet, int x, int y, const OIIO::ImageBuf& image, int box) {
    int width, height;
    FitSize(image, box, width, height);
    const int top = y + (box - height) / 2;
    for (int view = 0; view < 2; ++view) {
        const int left = x + view * (box + kGap) + (box - width) / 2;
        Fill(sheet, left - 1, top - 1, left + width + 1, top + height + 1, kFrame);
        for (int ty = 0; ty < height; ++ty) {
            for (int tx = 0; tx < width; ++tx) {
                float rgba[4];
                ThumbnailPixel(image, width, height, tx, ty, rgba);
                float shown[4] = {rgba[0], rgba[1], rgba[2], 1.0f};
                if (view == 1) shown[0] = shown[1] = shown[2] = rgba[3];
                for (float& v : shown) v = std::clamp(v, 0.0f, 1.0f);
                sheet.setpixel(left + tx, top + ty, shown, 4);
            }
        }
    }
}

} // namespace

void ThumbnailPixel(const OIIO::ImageBuf& image, int width, int height, int x, int y,
                    float rgba[4]) {
    const OIIO::ImageSpec& header = image.spec();
    const int sw = header.width, sh = header.height, channels = header.nchannels;
    const int x0 = static_cast<int>(static_cast<long long>(x) * sw / width);
    const int x1 = std::max(x0 + 1, static_cast<int>(static_cast<long long>(x + 1) * sw / width));
    const int y0 = static_cast<int>(static_cast<long long>(y) * sh / height);
    const int y1 = std::max(y0 + 1, static_cast<int>(static_cast<long long>(y + 1) * sh / height));
    double sum[4] = {0, 0, 0, 0};
    std::vector<float> pixel(static_cast<size_t>(std::max(channels, 4)), 0.0f);
    for (int sy = y0; sy < y1; ++sy) {
        for (int sx = x0; sx < x1; ++sx) {
            image.getpixel(header.x + sx, header.y + sy, pixel.data(), channels);
            if (channels < 3) {
                sum[0] += pixel[0];
                sum[1] += pixel[0];
                sum[2] += pixel[0];
                sum[3] += channels == 2 ? pixel[1] : 1.0f;
            } else {
                for (int c = 0; c < 3; ++c) sum[c] += pixel[c];
                sum[3] += channels >= 4 ? pixel[3] : 1.0f;
            }
        }
    }
    const double count = static_cast<double>(x1 - x0) * (y1 - y0);
    for (int c = 0; c < 4; ++c) rgba[c] = static_cast<float>(sum[c] / count);
}

OIIO::ImageBuf MakeContactSheet(const std::string& heading, const std::vector<SheetRow>& rows,
                                int thumbnail) {
    size_t mostInputs = 1;
    for (const SheetRow& row : rows) mostInputs = std::max(mostInputs, row.inputs.size());
    const int cell = 2 * thumbnail + kGap;
    const int arrow = TextWidth(kArrow, kScale) + 2 * kMargin;
    const int width =
        kMargin + static_cast<int>(mostInputs) * (cell + kMargin) + arrow + cell + kMargin;
    const int rowHeight = kTextHeight + kGap * 2 + thumbnail + kGap * 2 + kTextHeight + kMargin;
    const int top = kMargin + kTextHeight + kMargin;
    const int height = top + static_cast<int>(rows.size()) * rowHeight;

    OIIO::ImageBuf sheet(OIIO::ImageSpec(std::max(width, TextWidth(heading, kScale) + 2 * kMargin),
                                         height, 4, OIIO::TypeFloat));
    Fill(sheet, 0, 0, sheet.spec().width, height, kBackground);
    DrawText(sheet, kMargin, kMargin, heading, kText, kScale);

    int y = top;
    for (const SheetRow& row : rows) {
        DrawText(sheet, kMargin, y, row.title, kText, kScale);
        const int imageTop = y + kTextHeight + kGap * 2;
        const int captionTop = imageTop + thumbnail + kGap * 2;
        int x = kMargin;
        for (const SheetImage& input : row.inputs) {
            if (input.image) DrawViews(sheet, x, imageTop, *input.image, thumbnail);
            DrawText(sheet, x, captionTop, input.caption, kDim, kScale);
            x += cell + kMargin;
        }
        x = kMargin + static_cast<int>(mostInputs) * (cell + kMargin);
        DrawText(sheet, x + kMargin, imageTop + (thumbnail - kTextHeight) / 2, kArrow, kText,
                 kScale);
        x += arrow;
        if (row.output.image) DrawViews(sheet, x, imageTop, *row.output.image, thumbnail);
        DrawText(sheet, x, captionTop, row.output.caption, kDim, kScale);
        y += rowHeight;
    }
    return sheet;
}

} // namespace cli
