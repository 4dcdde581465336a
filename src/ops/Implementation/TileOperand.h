#pragma once

#include "common/XIImage.h"
#include "math/Region.h"
#include "math/SmallVec.h"

namespace OGL_TESK_AE {

class SubImageTexture;
class TiledBuffer;

// Loads the part of image on the current tile (within `limit` when one is given) into texture,
// bound on unit, for a program that samples at window positions, and gives its box: the offset
// from a fragment's window position to its texel there, and the part's size. An empty box
// (nothing bound) where none of it is there.
p4f TileOperand(const TiledBuffer& tiled, SubImageTexture& texture, const XIImage* image, int unit,
                const Region* limit = nullptr);

} // namespace OGL_TESK_AE
