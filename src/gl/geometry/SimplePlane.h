#pragma once

#include "common/Export.h"
#include "math/Region.h"

namespace OGL_TESK_AE {

// A textured rectangle in immediate mode: the quad every image pass draws over its target.
class TESK_API SimplePlane {
public:
    // Corners (x0, y0)-(x1, y1); texture coordinates run from inset to 1 - inset. Only unit 0's
    // texture coordinate is set.
    void Draw(float x0, float y0, float x1, float y1, float inset) const;
    // The whole viewport in normalised coordinates, texture coordinates inset by 0.01.
    void Draw() const;
    void Draw(float width, float height) const;
    void Draw(const Region& region) const;
};

// A triangle pointing down the viewport, for the plug-ins' markers.
class TESK_API Triangle {
public:
    void Draw() const;
};

TESK_API extern SimplePlane sPlane;
TESK_API extern Triangle sTriangle;

} // namespace OGL_TESK_AE
