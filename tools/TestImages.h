#pragma once

#include <OpenImageIO/imagebuf.h>

#include <cstdint>

namespace cli {

// Built-in float RGBA pictures for the demo, each made to make one operation's effect visible.

// Red rising left to right, green top to bottom, blue falling left to right; opaque.
OIIO::ImageBuf Gradient(int width, int height);
// Squares of `cell` pixels, white and dark blue, the top-left one white; opaque.
OIIO::ImageBuf Checker(int width, int height, int cell);
// A warm colour field over the whole image whose alpha is a disc: 1 inside 0.25 x the smaller
// side from the centre, 0 beyond 0.45 x, falling linearly between.
OIIO::ImageBuf SoftDisc(int width, int height);
// A colour wheel: hue by angle, fully saturated at the rim, white at the centre; alpha 0.8 out
// to 0.3 x the smaller side, falling to 0 at 0.48 x. Shows what a blend mode does to every hue,
// to light and dark, and to partly transparent colour.
OIIO::ImageBuf ColourWheel(int width, int height);
// Uniform noise in red, green and blue from a fixed seed; opaque.
OIIO::ImageBuf Noise(int width, int height, uint32_t seed);

} // namespace cli
