#pragma once

#include "tools/Arguments.h"

#include <OpenImageIO/imagebuf.h>

#include <string>

namespace cli {

// A 5 x 7 pixel font of capitals, digits and common punctuation, built in so that labels do
// not depend on which fonts a machine has. Lower-case letters are drawn as capitals; other
// characters as '?'.
constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
// Pixels from one character's left edge to the next, before scaling.
constexpr int kGlyphAdvance = 6;

// Whether a character has a glyph of its own (after folding to capitals).
bool HasGlyph(char c);
// Whether pixel (column, row) of a character's glyph is set.
bool GlyphBit(char c, int column, int row);
// Width in pixels of text drawn at the given scale.
int TextWidth(const std::string& text, int scale);
// Draws text into a float RGBA buffer with its top-left corner at (x, y), each font pixel a
// scale x scale square; pixels outside the buffer are skipped.
void DrawText(OIIO::ImageBuf& image, int x, int y, const std::string& text, const Rgba& color,
              int scale);

} // namespace cli
