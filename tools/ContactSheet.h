#pragma once

#include <OpenImageIO/imagebuf.h>

#include <string>
#include <vector>

namespace cli {

struct SheetImage {
    std::string caption;
    const OIIO::ImageBuf* image = nullptr;
};

// One operation: its inputs, then its result.
struct SheetRow {
    std::string title;
    std::vector<SheetImage> inputs;
    SheetImage output;
};

// One opaque picture of every row: a title line, then each input and the output, each shown as
// its colour channels beside its alpha channel (as grey), so that operations on alpha show as
// plainly as those on colour. Images are fitted into thumbnail x thumbnail squares by averaging,
// their values clamped to [0, 1]; one-channel images show their channel as grey and alpha as 1.
OIIO::ImageBuf MakeContactSheet(const std::string& heading, const std::vector<SheetRow>& rows,
                                int thumbnail);

// The value a contact sheet shows at (x, y) of a thumbnail of size (width, height) of image:
// the average of the source pixels that fall into it, as RGBA (see above for one channel).
void ThumbnailPixel(const OIIO::ImageBuf& image, int width, int height, int x, int y,
                    float rgba[4]);

} // namespace cli
