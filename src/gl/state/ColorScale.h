#pragma once

#include "common/Export.h"
#include "gl/state/Blend.h"
#include "gl/state/Material.h"

namespace OGL_TESK_AE {

// Drawing that multiplies the target by s: the colour (s, s, s, s), the matching material, and
// a blend that multiplies the destination by the source colour.
class TESK_API ColorScale {
public:
    explicit ColorScale(float s = 1.0f);

    void Apply() const;
    void Retrieve();

    Color color;
    Material material;
    BlendFunc blend;
};

} // namespace OGL_TESK_AE
