#pragma once

#include "tools/HostImage.h"

#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/typedesc.h>

#include <string>

namespace cli {

// How a file keeps its picture, apart from the pixel values: what an output takes over from
// its input, so that a copy comes out as the file went in.
struct Storage {
    // 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA.
    int channels = 4;
    // The channel type, and the bits of it in use where that is fewer (10-bit DPX keeps 16-bit
    // words; 0 otherwise). TypeUnknown leaves the type to FileTypeFor.
    OIIO::TypeDesc type = OIIO::TypeUnknown;
    int bits = 0;
    // Whether the windows below describe the picture; pictures made here have none.
    bool windows = false;
    // Where the pixels lie (the data window's corner) and the frame they belong to (the display
    // window), as OpenImageIO names them.
    int x = 0;
    int y = 0;
    OIIO::ROI display;
};

// Reads the first image of a file as float RGBA with rows top-down and its origin at (0, 0).
// Grey files give equal red, green and blue; files without alpha give alpha 1. Channel values
// are taken as stored: alpha is never multiplied in or divided out; NaN and infinite values are
// read as 0, with a warning. storage, when given, receives how the file keeps its picture. A
// file whose header gives a side longer than kMaxDimension, or one too large to work on in the
// memory available (or in maxMemory bytes, when given), is refused before any pixel is read.
// What a decoder writes to stderr on its own is folded into the one line of the failure, or
// printed as one warning line when the image was read all the same (appended to warning
// instead, when given). Throws Failure.
OIIO::ImageBuf ReadImage(const std::string& path, Storage* storage = nullptr,
                         std::string* warning = nullptr, double maxMemory = 0);

// Throws Failure when path cannot take an output: its folder is missing, or a file is there
// that is read-only (or a folder).
void CheckOutput(const std::string& path);

// Whether path holds a whole image a run wrote: a regular file whose header OpenImageIO reads.
// Outputs are written under another name and renamed when complete, so one that is there is
// whole (a file cut short by other means fails to open).
bool IsWrittenImage(const std::string& path);

// Writes bytes to path as images are written: refused where CheckOutput refuses, and through a
// temporary file renamed over the target, so that a failure or a stop on the way leaves the old
// file as it was.
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Writes a float buffer of 4 (RGBA) or 1 (grey) channels. The file format follows the name.
// An RGBA buffer is written with the storage's channels, and more where its pixels need them:
// alpha when some alpha is not 1, colour when red, green and blue differ somewhere (formats
// without alpha, such as JPEG, get none). The channel type is the storage's, or follows the
// format and the layout the pixels came from (FileTypeFor); formats that cannot hold it store
// the nearest they can. Values are stored as they are, with alpha marked unassociated where the
// format asks. The file at path is replaced only once the new one is complete; an interrupted
// write (SIGINT, SIGTERM) leaves no half-written file behind. Throws Failure.
void WriteImage(const std::string& path, const OIIO::ImageBuf& image, Layout layout,
                const Storage& storage = Storage());

// EXR: float for the float layout, else half. JPEG: 8 bits. Other formats (PNG, TIFF, DPX, ...):
// 8 bits for 8-bit layouts, else 16.
OIIO::TypeDesc FileTypeFor(const std::string& path, Layout layout);

} // namespace cli
