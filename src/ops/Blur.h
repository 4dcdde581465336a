#pragma once

#include "common/Export.h"
#include "common/XIImage.h"
#include "gl/texture/RenderedTexture.h"

namespace OGL_TESK_AE {

// Separable blurs. The image functions take a width and height in pixels (a size of 1 or less
// blurs nothing in that direction; just above 1 the outer taps weigh little, w = 1.5 giving box
// taps 1/6, 2/3, 1/6) and hand themselves to the worker thread; the texture functions blur a
// rendered texture in place and must be called on the worker thread. Results are premultiplied
// weighted sums of the source, of weights that sum to 1: a flat field stays flat.

// Gaussian of the given spread, in units of the half-width.
TESK_API void Blur(const XIImage* source, XIImage* destination, float width, float height,
                   float spread);
TESK_API void BoxBlur(const XIImage* source, XIImage* destination, float width, float height);
TESK_API void PascalBlur(const XIImage* source, XIImage* destination, float width, float height);

TESK_API void BoxBlurTexture(RenderedTexture& texture, float width, float height);
TESK_API void TriangleBlurTexture(RenderedTexture& texture, float width, float height);
TESK_API void PascalBlurTexture(RenderedTexture& texture, float width, float height);

// Reconstruction filters sampled at taps half a pixel apart (as for a texture magnified twice),
// for smoothing a texture before it is resampled.
TESK_API void CatmulInterpolateTexture(RenderedTexture& texture);
TESK_API void MitchellInterpolateTexture(RenderedTexture& texture);
TESK_API void BSplineInterpolateTexture(RenderedTexture& texture);
TESK_API void Lanczos2InterpolateTexture(RenderedTexture& texture);
TESK_API void Lanczos3InterpolateTexture(RenderedTexture& texture);

} // namespace OGL_TESK_AE
