#pragma once

#include "common/Buffer.h"
#include "common/Export.h"
#include "common/XIImage.h"
#include "math/Color.h"
#include "math/Region.h"

namespace OGL_TESK_AE {

class Texture;
class SubImageTexture;

// Everyday pixel work on host images. The operations that render hand themselves to the
// worker thread and return once it has finished; a failure there leaves only the worker's
// error text (Shared::ErrorMessage()). Invalid images make an operation return without
// touching anything.

// CPU queries on float buffers, on the calling thread.
TESK_API bool HasAlpha(const Buffer<RGBAPixelType<float>>* buffer);
TESK_API bool HasAlpha(const Buffer<LumaPixelType<float>>* buffer);
TESK_API bool HasAlpha(const Buffer<AlphaPixelType<float>>* buffer);
TESK_API bool HasLuma(const Buffer<RGBAPixelType<float>>* buffer);
TESK_API float MaxLuma(const Buffer<RGBAPixelType<float>>* buffer);

// The source's alpha, or its premultiplied luma, scaled to fit the buffer.
TESK_API void GetAlpha(const XIImage* source, Buffer<AlphaPixelType<float>>* destination);
TESK_API void GetLuma(const XIImage* source, Buffer<LumaPixelType<float>>* destination);
// The texture stretched over the whole destination.
TESK_API void CopyTexture(const Texture& texture, XIImage* destination);
// A tiled copy with whatever state is current; on the worker thread.
TESK_API void Test(const XIImage* source, XIImage* destination);
TESK_API void Clear(XIImage* destination, const Color& color);
// destination = 1 - source over the area both share.
TESK_API void Invert(const Buffer<LumaPixelType<float>>* source,
                     Buffer<LumaPixelType<float>>* destination);
TESK_API void Premultiply(const XIImage* source, XIImage* destination);
TESK_API void Copy(const XIImage* source, XIImage* destination);
TESK_API void Center(const XIImage* source, XIImage* destination);
// The destination keeps its colour and takes the source's alpha.
TESK_API void CopyAlpha(const XIImage* source, XIImage* destination);
TESK_API void Resize(const XIImage* source, XIImage* destination);
// The source scaled to fit inside the destination, aspect kept, centred.
TESK_API void FitInto(const XIImage* source, XIImage* destination);
// The colour laid over the image where the mask is opaque (RenderInvMask: transparent). The
// destination may be the image itself.
TESK_API void RenderMask(const XIImage* mask, const XIImage* image, XIImage* destination,
                         const Color& color);
TESK_API void RenderInvMask(const XIImage* mask, const XIImage* image, XIImage* destination,
                            const Color& color);
// Draws a region of the texture into the current render target; on the worker thread.
TESK_API void WriteTexture(SubImageTexture& texture, const Region& region);

} // namespace OGL_TESK_AE
