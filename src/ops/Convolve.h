#pragma once

#include "common/XIImage.h"
#include "math/Region.h"

namespace OGL_TESK_AE {

class Kernel;
class RenderedTexture;

// Accumulates the bound texture into the current target over region, one draw per non-zero
// tap, the taps laid out as columns x rows.
void Convolve(const Kernel& kernel, int columns, int rows, const Region& region);
// Blurs a rendered texture in place: horizontally into a scratch texture, vertically back.
void ConvolveTexture(RenderedTexture& texture, const Kernel& x, const Kernel& y);
// The tiled image blur, marshalled onto the worker.
void ConvolveImage(const XIImage* source, XIImage* destination, const Kernel* x, const Kernel* y);

} // namespace OGL_TESK_AE
