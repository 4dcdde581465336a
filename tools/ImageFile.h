#pragma once

#include "tools/HostImage.h"

#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/typedesc.h>

#include <string>

namespace cli {

// Reads the first image of a file as float RGBA with rows top-down and its origin at (0, 0).
// Grey files give equal red, green and blue; files without alpha give alpha 1. Channel values
// are taken as stored: alpha is never multiplied in or divided out. Throws Failure.
OIIO::ImageBuf ReadImage(const std::string& path);

// Writes a float buffer of 4 (RGBA) or 1 (grey) channels. The file format follows the name;
// the channel type follows the format and the layout the pixels came from (below). Values are
// stored as they are, with alpha marked unassociated where the format asks. The file at path is
// replaced only once the new one is complete. Throws Failure.
void WriteImage(const std::string& path, const OIIO::ImageBuf& image, Layout layout);

// EXR: float for the float layout, else half. JPEG: 8 bits. Other formats (PNG, TIFF, DPX, ...):
// 8 bits for 8-bit layouts, else 16.
OIIO::TypeDesc FileTypeFor(const std::string& path, Layout layout);

} // namespace cli
