#pragma once

#include "common/XIImage.h"
#include "math/Region.h"

namespace OGL_TESK_AE {

class BlendFunc;
class Kernel;
class RenderedTexture;

// Accumulates the bound texture into the current target over region, one draw per non-zero
// tap, the taps laid out as columns x rows: the target receives the premultiplied weighted sum
// of the texels the taps reach (their plain weighted sum when they are premultiplied already).
void Convolve(const Kernel& kernel, int columns, int rows, const Region& region,
              bool premultiplied = false);

// One direction of a separable blur: the lower-left w x h texels of source, convolved along x
// (horizontal) or y, into the same texels of target. Texels beyond w x h read as the edge.
// Summed by a program where the kernel fits one (a long box in two steps), else accumulated
// one draw per tap; the two agree within the target's rounding. premultiplied:
// the source's texels are, and are weighted as they are.
void ConvolvePass(const RenderedTexture& source, RenderedTexture& target, const Kernel& kernel,
                  bool horizontal, int w, int h, bool premultiplied = false);

// The horizontal pass into scratch, resized to w x h texels of 32-bit float where OpenGL has
// them: the intermediate result of a blur keeps its precision until the vertical pass.
void ConvolveAcross(const RenderedTexture& source, RenderedTexture& scratch, const Kernel& x, int w,
                    int h);

// One direction of ConvolvePass drawn straight into the current target over at, from the
// lower-left texels of source of at's size, blended by blend. False, with nothing drawn, for a
// kernel too long for a program, or a long box whose sums would not fit a texture.
bool SumInto(const RenderedTexture& source, const Kernel& kernel, bool horizontal, const Region& at,
             const BlendFunc& blend);

// Blurs a rendered texture in place: horizontally into a scratch texture, vertically back, each
// direction summed in one pass where its kernel fits a program. Each pass premultiplies what it
// reads, so colour comes out multiplied by alpha twice, as the blurs have always given it;
// alphaOnce takes the horizontal pass's texels as the premultiplied colour they are, for a
// filter whose result is to be unpremultiplied again.
void ConvolveTexture(RenderedTexture& texture, const Kernel& x, const Kernel& y,
                     bool alphaOnce = false);
// The same from the lower-left texels of source into target, of target's size.
void ConvolveTexture(const RenderedTexture& source, RenderedTexture& target, const Kernel& x,
                     const Kernel& y, bool alphaOnce = false);

// The tiled image blur, marshalled onto the worker; the caller has checked both images.
void ConvolveImage(const XIImage* source, XIImage* destination, const Kernel* x, const Kernel* y);

} // namespace OGL_TESK_AE
