#include "ops/Composite.h"

#include "common/Shared.h"
#include "gl/effects/Conversion.h"
#include "gl/geometry/SimplePlane.h"
#include "gl/state/Blend.h"
#include "gl/state/Clear.h"
#include "gl/state/Push.h"
#include "gl/texture/ImageTextures.h"
#include "gl/texture/Implementation/Selection.h"
#include "gl/texture/TiledBuffer.h"
#include "ops/Implementation/Convolve.h"
#include "ops/Implementation/Kernel.h"
#include "common/Implementation/Prologue.h"

#include <cmath>

namespace OGL_TESK_AE {

namespace {

// The spread of the layers' Gaussians, in half-widths.
constexpr float kLayerSpread = 0.85f;

Region Bounds(const XIImage* image) {
    return Region(0, 0, unsigned(image->GetWidth()), unsigned(image->GetHeight()));
}

// The tile starts as the background; where the background does not reach, transparent.
void DrawBackground(TiledBuffer& tiled, const XIImage* background) {
    const Region tile = tiled.GetCurrentTile();
    if (!IsValid(background) || (Bounds(background) & tile) != tile)
        ClearColorBuffer(Color::Transparent);
    PushBlendFunc replace(BlendFunc::Replace);
    PushColor white(Color::White);
    tiled.Write(background, 0, 0);
}

// Draws the texture over where (in the current target's pixels), its colour scaled by opacity
// in all four channels and blended by the op.
void DrawWithOp(const Texture& texture, const Region& where, float opacity, const BlendOp& op) {
    Push<BlendOp> saved; // everything the op sets, put back however the scope is left
    PushColor color(Color(opacity, opacity, opacity, opacity));
    Push<Texture> binding;
    op.Apply();
    texture.Apply();
    texture.ApplyNearest();
    sPlane.Draw(where);
}

void CompositeOnWorker(const XIImage* foreground, const XIImage* background, const XIImage* mask,
                       XIImage* destination, float opacity, BlendOp op) {
    if (Dispatch(&CompositeOnWorker, foreground, background, mask, destination, opacity, op))
        return;
    // A foreground that cannot be used covers nothing, which leaves the background; a mask
    // that cannot be used is left out.
    if (!IsValid(mask)) mask = nullptr;
    SubImageTexture texture;
    texture.SetImage(foreground);
    texture.SetMask(mask);
    {
        TiledBuffer tiled(destination);
        tiled.ReleaseBeforeRender(texture);
        while (tiled.Next()) {
            DrawBackground(tiled, background);
            if (!IsValid(foreground)) continue;
            Region visible = Bounds(foreground) & tiled.GetCurrentTile();
            if (mask) visible = visible & Bounds(mask);
            if (!visible.IsValid()) continue;
            texture.SetRegion(visible);
            DrawWithOp(texture, visible, opacity, op);
        }
    }
    texture.Finalize();
}

bool Blurs(const p2f& size) {
    return size.x >= 1.0f || size.y >= 1.0f;
}

// The part of the images the tile's blurs read: the tile, grown for every image that blurs by
// half its blur size each way, within that image.
Region SourceRegion(const Region& tile, const XIImage** images, const p2f* sizes, int count) {
    Region r = tile;
    for (int i = 0; i < count; ++i) {
        if (!IsValid(images[i]) || !Blurs(sizes[i])) continue;
        const int rx = int(std::ceil(sizes[i].x / 2)), ry = int(std::ceil(sizes[i].y / 2));
        const Region grown = tile.Grow(rx, ry) & Bounds(images[i]);
        if (grown.IsValid()) r = r | grown;
    }
    return r;
}

// Blurs the part of image within r and lays it over what the stack (the current target, r's
// size) holds. The pass textures go back to the cache when the scope ends.
void StackLayer(const XIImage* image, const p2f& size, const Region& r, SubImageTexture& source) {
    const Region part = r & Bounds(image);
    if (!part.IsValid()) return;
    const int w = int(part.Width()), h = int(part.Height());
    source.SetImage(image);
    source.SetRegion(part);
    const Region at = part.Offset(-r.XOrigin(), -r.YOrigin());
    RenderedTexture across, along;
    const RenderedTexture* last = &source;
    try {
        Kernel kernel;
        if (size.x >= 1.0f) {
            GaussianKernel(kernel, size.x, kLayerSpread);
            ConvolveAcross(*last, across, kernel, w, h);
            last = &across;
        }
        if (size.y >= 1.0f) {
            GaussianKernel(kernel, size.y, kLayerSpread);
            // Summed straight onto the stack where the kernel allows.
            if (SumInto(*last, kernel, false, at, BlendFunc::BlendOver)) {
                across.Finalize();
                return;
            }
            along.Resize(w, h, GL_RGBA, 0);
            ConvolvePass(*last, along, kernel, false, w, h);
            last = &along;
        }
        PushBlendFunc over(BlendFunc::BlendOver);
        PushColor white(Color::White);
        Push<Texture> binding;
        last->Apply();
        last->ApplyNearest();
        sPlane.Draw(at);
    } catch (...) {
        across.Finalize();
        along.Finalize();
        throw;
    }
    across.Finalize();
    along.Finalize();
}

void CompositeBlurredOnWorker(const XIImage** images, const XIImage* background,
                              XIImage* destination, const p2f* sizes, int count, BlendOp op,
                              bool unpremultiply) {
    if (Dispatch(&CompositeBlurredOnWorker, images, background, destination, sizes, count, op,
                 unpremultiply))
        return;
    if (!images || !sizes) count = 0;
    SubImageTexture source;
    RenderedTexture stack;
    {
        TiledBuffer tiled(destination);
        if (unpremultiply) tiled.SetPostProcessing(&Conversion::sUnpremultiply);
        tiled.ReleaseBeforeRender(source);
        tiled.ReleaseBeforeRender(stack);
        while (tiled.Next()) {
            const Region r = SourceRegion(tiled.GetCurrentTile(), images, sizes, count);
            stack.Resize(int(r.Width()), int(r.Height()), GL_RGBA, 0);
            {
                Selection<RenderedTexture> selection(stack);
                if (!selection.IsSelected()) continue;
                ClearColorBuffer(Color::Transparent);
                for (int i = 0; i < count; ++i)
                    if (IsValid(images[i])) StackLayer(images[i], sizes[i], r, source);
            }
            DrawBackground(tiled, background);
            DrawWithOp(stack, r, 1.0f, op);
        }
    }
    source.Finalize();
    stack.Finalize();
}

} // namespace

void Composite(const XIImage* foreground, const XIImage* background, const XIImage* mask,
               XIImage* destination, float opacity, const BlendOp& op) {
    if (!Prologue({{destination, "destination image"}})) return;
    CompositeOnWorker(foreground, background, mask, destination, opacity, op);
}

void CompositeBlurredImages(const XIImage** images, const XIImage* background, XIImage* destination,
                            const p2f* sizes, int count, BlendOp op, bool unpremultiply) {
    if (!Prologue({{destination, "destination image"}})) return;
    CompositeBlurredOnWorker(images, background, destination, sizes, count, op, unpremultiply);
}

} // namespace OGL_TESK_AE
