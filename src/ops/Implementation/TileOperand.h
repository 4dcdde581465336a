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

// The two operands of a two-texture program, on units 0 and 1, with their boxes; unit 0 is left
// active. Loading a texture may select another target, which puts back the binding of the active
// unit only: both are loaded first, then bound again.
struct TileBoxes {
    p4f first, second;
};
TileBoxes TileOperands(const TiledBuffer& tiled, SubImageTexture& first, const XIImage* firstImage,
                       SubImageTexture& second, const XIImage* secondImage,
                       const Region* firstLimit = nullptr);

} // namespace OGL_TESK_AE
