#pragma once

#include "common/XIImage.h"
#include "ops/Transform.h"

namespace OGL_TESK_AE {

class RenderedTexture;

// The front as the transform samples it: magnified to the size it is drawn at (where a scale
// is above 1; at most 16 million texels, both sides cut alike), the mask in its alpha, and
// pre-filtered for the scale. premultiplied tells
// whether a filter ran, which leaves the colour premultiplied. Worker thread only.
void PrepareFront(RenderedTexture& prepared, bool& premultiplied, const XIImage* front,
                  const XIImage* mask, const TransformParams& p);

} // namespace OGL_TESK_AE
