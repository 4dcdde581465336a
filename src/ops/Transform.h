#pragma once

#include "common/Export.h"
#include "common/XIImage.h"
#include "gl/effects/ApplyMode.h"
#include "math/Rotation.h"
#include "math/Vector.h"

#include <cstddef>
#include <cstdint>

namespace OGL_TESK_AE {

// How the front is smoothed before it is drawn at a scale of 1 or more: 0 samples the nearest
// texel, 1 lets the texture filter linearly, the others smooth it with that reconstruction
// filter first. Other values smooth nothing.
enum class TransformInterpolationFilterType : int32_t {
    Nearest = 0,
    Texture = 1,
    CatmullRom = 2,
    Mitchell = 3,
    BSpline = 4,
    Lanczos2 = 5,
    Lanczos3 = 6,
};

// How the front is low-pass filtered before it is drawn smaller than its size. Other values
// filter nothing.
enum class TransformDecimationFilterType : int32_t {
    None = 0,
    Box = 1,
    Triangle = 2,
    Binomial = 3,
    Lanczos2 = 4,
    Lanczos3 = 5,
};

// The placement of Transform, handed to the worker as one record.
struct TransformParams {
    PixelApplyMode mode;
    p3f position;
    p3f scale;
    p3f rotation; // degrees, as Rotate takes them
    RotationOrder order;
    TransformInterpolationFilterType interpolation;
    TransformDecimationFilterType decimation;
};

static_assert(sizeof(TransformParams) == 64, "the record plug-ins hand over is 64 bytes");
static_assert(offsetof(TransformParams, position) == 4 && offsetof(TransformParams, scale) == 20 &&
                  offsetof(TransformParams, rotation) == 36 &&
                  offsetof(TransformParams, order) == 52 &&
                  offsetof(TransformParams, interpolation) == 56 &&
                  offsetof(TransformParams, decimation) == 60,
              "field offsets plug-ins rely on");

// Draws front into destination, blended over back with mode at full strength. The front's
// centre is scaled, then rotated (degrees, in the given order) and moved to position, in
// destination pixels with y up from the bottom row; position (w / 2, h / 2, 0) with no rotation
// and scale 1 puts the front exactly over a w x h destination. The projection is orthographic:
// z moves nothing on screen. Outside the front, the mode sees a transparent front over the back.
// The mask's alpha multiplies the front's; an invalid front, back or mask is left out (a front
// left out is a transparent one: Over gives the back). A mode outside 0...48 lays the back and
// draws the front over it with plain alpha blending. The destination may be the back itself.
// Marshalled to the worker; an invalid destination returns at once.
TESK_API void Transform(const XIImage* front, const XIImage* back, const XIImage* mask,
                        XIImage* destination, PixelApplyMode mode, const p3f& position,
                        const p3f& scale, const p3f& rotation, RotationOrder order,
                        TransformInterpolationFilterType interpolation,
                        TransformDecimationFilterType decimation);

// Point sprites that shrink with distance: attenuation (1, 0.1 / distance, 1e-13), sizes from 1
// to the card's largest (at most 64), fading below 60. Must be called where the context is
// current; the point state is changed for good. Unsupported, before anything changes, without
// the point-parameter entry points. Both return true.
TESK_API bool EnableDistPointScaling(float distance);
// Only the attenuation, for another reference distance.
TESK_API bool RescaleDistPoint(float distance);

} // namespace OGL_TESK_AE
