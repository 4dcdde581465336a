#pragma once

#include "common/Export.h"

#include "math/Vector.h"

namespace OGL_TESK_AE {

// An integer rectangle in pixels: images, tiles and render targets are measured in these.
// A region is valid exactly when it has a non-zero width and height; ends are exclusive.
class TESK_API Region {
public:
    Region() : fX(0), fY(0), fWidth(0), fHeight(0), fValid(false) {}
    Region(unsigned width, unsigned height) : Region(0, 0, width, height) {}
    Region(int x, int y, unsigned width, unsigned height)
        : fX(x), fY(y), fWidth(width), fHeight(height), fValid(width != 0 && height != 0) {}
    Region(const Region& r) = default;
    Region& operator=(const Region& r) = default;

    int XOrigin() const { return fX; }
    int YOrigin() const { return fY; }
    unsigned Width() const { return fWidth; }
    unsigned Height() const { return fHeight; }
    int XEnd() const { return fX + static_cast<int>(fWidth); }
    int YEnd() const { return fY + static_cast<int>(fHeight); }
    bool IsValid() const { return fValid; }

    bool operator==(const Region& r) const {
        return fX == r.fX && fY == r.fY && fWidth == r.fWidth && fHeight == r.fHeight &&
               fValid == r.fValid;
    }
    bool operator!=(const Region& r) const { return !(*this == r); }

    bool IsInRange(const p2f& p) const;

    // Bounding box of both; an invalid operand is ignored.
    Region operator|(const Region& r) const;
    // Overlap of both; regions that only touch do not overlap.
    Region operator&(const Region& r) const;

    Region Grow(int dx, int dy) const;
    // Converts between top-down and bottom-up row numbering in a picture of the given height.
    Region Flip(int height) const;
    Region Offset(int dx, int dy) const;
    // Both edges are floored, so a scaled region never reaches past the scaled picture.
    Region Scale(float sx, float sy) const;

private:
    int fX;
    int fY;
    unsigned fWidth;
    unsigned fHeight;
    bool fValid;
};

} // namespace OGL_TESK_AE
