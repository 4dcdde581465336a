#pragma once

#include "common/Export.h"
#include "common/XIImage.h"
#include "gl/texture/RenderedTexture.h"

namespace OGL_TESK_AE {

// Separable blurs. The image functions take a width and height in pixels (a size below 2 blurs
// nothing in that direction) and hand themselves to the worker thread; the texture functions
// blur a rendered texture in place and must be called on the worker thread. Results are
// premultiplied weighted sums of the source.

// Gaussian of the given spread, in units of the half-width.
TESK_API void Blur(const XIImage* source, XIImage* destination, float width, float height,
                   float spread);
TESK_API void BoxBlur(const XIImage* source, XIImage* destination, float width, float height);
TESK_API void PascalBlur(const XIImage* source, XIImage* destination, float width, float height);

TESK_API void BoxBlurTexture(RenderedTexture& texture, float width, float height);
TESK_API void TriangleBlurTexture(RenderedTexture& texture, float width, float height);
TESK_API void PascalBlurTexture(RenderedTexture& texture, float width, float height);

// Reconstruction filters sampled at whole-pixel taps, for smoothing a texture before it is
// resampled.
TESK_API void CatmulInterpolateTexture(RenderedTexture& texture);
TESK_API void MitchellInterpolateTexture(RenderedTexture& texture);
TESK_API void BSplineInterpolateTexture(RenderedTexture& texture);
TESK_API void Lanczos2InterpolateTexture(RenderedTexture& texture);
TESK_API void Lanczos3InterpolateTexture(RenderedTexture& texture);

} // namespace OGL_TESK_AE
