#pragma once

#include "common/Export.h"
#include "common/XIImage.h"
#include "gl/effects/BlendOp.h"
#include "math/Vector.h"

namespace OGL_TESK_AE {

// Lays the foreground over the background with a fixed-function blend: the foreground's texels,
// alpha times the mask's alpha where a mask is given, scaled by opacity in all four channels,
// blended by the op over the background. The foreground and mask sit at the destination's
// origin; outside a mask nothing is laid. An unusable foreground covers nothing, which leaves the
// background; an unusable mask is left out. The destination may be the background itself. Handed
// to the worker thread; an unusable destination returns at once.
TESK_API void Composite(const XIImage* foreground, const XIImage* background, const XIImage* mask,
                        XIImage* destination, float opacity, const BlendOp& op);

// Blurs each image by its own size (x across, y along the rows, in pixels, with Gaussian
// weights; below 1 is no blur in that direction), stacks them over one another in array order
// and blends the stack over the background with the op. Null images are skipped. With
// unpremultiply, the result's colour is divided by its alpha as it is read back. The destination
// may be the background itself. Handed to the worker thread.
TESK_API void CompositeBlurredImages(const XIImage** images, const XIImage* background,
                                     XIImage* destination, const p2f* sizes, int count, BlendOp op,
                                     bool unpremultiply);

} // namespace OGL_TESK_AE
