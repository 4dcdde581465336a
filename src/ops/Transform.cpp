// The placed image: the front, pre-filtered for its scale, is drawn under its placement into a
// layer the size of the tile, and the layer is blended with the back pixel for pixel by the
// mode's program, as the compositing operation blends two images.
#include "ops/Transform.h"

#include "common/Shared.h"
#include "gl/context/State.h"
#include "gl/effects/EffectProgram.h"
#include "gl/geometry/SimplePlane.h"
#include "gl/state/Blend.h"
#include "gl/state/Clear.h"
#include "gl/state/Fragment.h"
#include "gl/state/Push.h"
#include "gl/texture/ImageTextures.h"
#include "gl/texture/Implementation/Selection.h"
#include "gl/texture/TextureFormat.h"
#include "gl/texture/TiledBuffer.h"
#include "math/Transform.h"
#include "ops/Implementation/Convolve.h"
#include "ops/Implementation/Kernel.h"
#include "common/Implementation/Prologue.h"
#include "ops/Implementation/TransformFront.h"
#include "GlslSources.h" // glsl::<name>, made from the glsl/ folders at build time

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>

namespace OGL_TESK_AE {

namespace {

// Far enough for any rotation of any image the card can hold; the projection is orthographic,
// so depth only decides what is clipped.
constexpr double kDepth = 1e7;

// The most texels a magnified front is given: 16 million, 128 MB of half floats and twice that
// for the filter's scratch texture. A 64 x 64 front at 256 times would otherwise take a texture
// of the card's largest size (16384 x 16384 here, 2 GB) and seconds to fill; past the cap the
// placed draw's linear filtering magnifies the rest.
constexpr double kMostMagnifiedTexels = double(1 << 24);

// The front's texture is made larger for magnification, up to what the card can hold and the
// cap above, which shrinks both sides alike.
void MagnifiedSize(const XIImage* front, float sx, float sy, int& w, int& h) {
    static GLint largest = 0;
    if (!largest) glGetIntegerv(GL_MAX_RECTANGLE_TEXTURE_SIZE_ARB, &largest);
    const int fw = front->GetWidth(), fh = front->GetHeight();
    double ww = fw * std::max(1.0, double(sx)), wh = fh * std::max(1.0, double(sy));
    const double cut = std::min(1.0, std::sqrt(kMostMagnifiedTexels / (ww * wh)));
    ww = std::max(double(fw), ww * cut);
    wh = std::max(double(fh), wh * cut);
    w = static_cast<int>(std::min(ww, double(std::max(int(largest), fw))));
    h = static_cast<int>(std::min(wh, double(std::max(int(largest), fh))));
}

// The pre-filter for the scale: the decimation type's kernels where a scale is below 1, else the
// interpolation type's. False where none runs. w x h: the size of the texture it filters.
bool FilterKernels(Kernel& x, Kernel& y, const TransformParams& p, float sx, float sy, int w,
                   int h) {
    using D = TransformDecimationFilterType;
    using I = TransformInterpolationFilterType;
    void (*fixed)(Kernel&) = nullptr;
    if (sx < 1.0f || sy < 1.0f) {
        void (*shape)(Kernel&, float) = p.decimation == D::Box        ? BoxKernel
                                        : p.decimation == D::Triangle ? TriangleKernel
                                        : p.decimation == D::Binomial ? PascalKernel
                                                                      : nullptr;
        if (shape) {
            // A filter never wider than the texture: a scale near zero draws next to nothing.
            const float most = float(std::max(w, h));
            shape(x, sx > 0.0f ? std::min(1.0f / sx, most) : most);
            shape(y, sy > 0.0f ? std::min(1.0f / sy, most) : most);
            return x.Size() > 1 || y.Size() > 1;
        }
        fixed = p.decimation == D::Lanczos2   ? Lanczos2Kernel
                : p.decimation == D::Lanczos3 ? Lanczos3Kernel
                                              : nullptr;
    } else {
        fixed = p.interpolation == I::CatmullRom ? CatmullRomKernel
                : p.interpolation == I::Mitchell ? MitchellKernel
                : p.interpolation == I::BSpline  ? BSplineKernel
                : p.interpolation == I::Lanczos2 ? Lanczos2Kernel
                : p.interpolation == I::Lanczos3 ? Lanczos3Kernel
                                                 : nullptr;
    }
    if (!fixed) return false;
    fixed(x);
    fixed(y);
    return true;
}

// The pre-filter leaves colour premultiplied (once: a flat half-transparent front keeps its
// colour), and the blend programs take it straight and premultiply it themselves. Handing them
// the premultiplied texels would multiply by alpha twice, darkening every filtered front that is
// not opaque against the same front drawn unfiltered.
GLSL::Shader sUnpremultiplyTexels(GL_FRAGMENT_SHADER, glsl::unpremultiply_texels);

// The front under its placement, in destination pixels, with whatever blending is current.
void DrawPlaced(const RenderedTexture& front, bool premultiplied, const XIImage* image,
                const TransformParams& p) {
    Push<Texture> binding;
    PushColor white(Color::White);
    Push<State> program;
    front.Apply();
    if (p.interpolation == TransformInterpolationFilterType::Nearest) front.ApplyNearest();
    static const EffectProgram unpremultiply(&sUnpremultiplyTexels);
    if (premultiplied) unpremultiply.Apply();
    const float w = float(image->GetWidth()), h = float(image->GetHeight());
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(p.position.x, p.position.y, p.position.z);
    Rotate(p.rotation.x, p.rotation.y, p.rotation.z, p.order);
    glScalef(p.scale.x, p.scale.y, p.scale.z);
    glTranslatef(-w / 2.0f, -h / 2.0f, -0.0f);
    sPlane.Draw(0.0f, 0.0f, w, h, 0.0f);
}

// Whether the front can be drawn from the texture it is loaded into: drawn no larger than it is,
// with no mask to multiply in and no filter to run first. A copy of its own would then only cost
// a draw of the whole front.
bool SampledAsLoaded(const XIImage* mask, const TransformParams& p) {
    const float sx = std::fabs(p.scale.x), sy = std::fabs(p.scale.y);
    if (IsValid(mask) || sx > 1.0f || sy > 1.0f) return false;
    using Interp = TransformInterpolationFilterType;
    using Decim = TransformDecimationFilterType;
    if (sx < 1.0f || sy < 1.0f) return p.decimation < Decim::Box || p.decimation > Decim::Lanczos3;
    return p.interpolation < Interp::CatmullRom || p.interpolation > Interp::Lanczos3;
}

// A projection of the whole destination onto the tile, in the target selected now.
void TileProjection(const Region& tile) {
    glViewport(0, 0, GLsizei(tile.Width()), GLsizei(tile.Height()));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(tile.XOrigin(), tile.XEnd(), tile.YOrigin(), tile.YEnd(), -kDepth, kDepth);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void TransformOnWorker(const XIImage* front, const XIImage* back, const XIImage* mask,
                       XIImage* destination, TransformParams p) {
    if (Dispatch(&TransformOnWorker, front, back, mask, destination, p)) return;
    // A front that cannot be used is transparent: nothing is placed, and the mode blends the
    // back with nothing.
    const bool placing = IsValid(front);
    RenderedTexture prepared;
    SubImageTexture loaded;
    bool premultiplied = false;
    const RenderedTexture* placed = &prepared;
    const bool asLoaded = placing && SampledAsLoaded(mask, p);
    // Between 8-bit images, with the front drawn from its texels as they are, the work stays in
    // 8-bit texels, which llvmpipe draws into two to three times as fast: they hold the inputs
    // exactly, and the placed front and the blend are each rounded to 8 bits.
    // A front left out takes the path of a transparent front drawn as it is: both give the same
    // pixels.
    const bool bytes = (placing ? asLoaded && IsByteImage(front) : SampledAsLoaded(mask, p)) &&
                       IsByteImage(destination) && (!IsValid(back) || IsByteImage(back));
    if (bytes) loaded.UseByteTexels();
    if (asLoaded) {
        // Loaded now: loading may select a target of its own, which must not happen inside a
        // tile's layer.
        Push<Texture> binding;
        loaded.SetImage(front);
        loaded.Apply();
        placed = &loaded;
    } else if (placing) {
        PrepareFront(prepared, premultiplied, front, mask, p);
    }
    const bool blended = PixelApplyModeName(p.mode) != nullptr;
    SubImageTexture backTexture;
    if (bytes) backTexture.UseByteTexels();
    if (IsValid(back)) backTexture.SetImage(back);
    RenderedTexture layer;
    if (bytes) layer.UseByteTexels();
    layer.Resize(std::min(destination->GetWidth(), 2048), std::min(destination->GetHeight(), 1080),
                 GL_RGBA, GL_FLOAT);
    {
        TiledBuffer tiled(destination);
        if (bytes) tiled.UseByteTarget();
        tiled.ReleaseBeforeRender(prepared);
        tiled.ReleaseBeforeRender(loaded);
        tiled.ReleaseBeforeRender(backTexture);
        tiled.ReleaseBeforeRender(layer);
        while (tiled.Next()) {
            const Region tile = tiled.GetCurrentTile();
            Push<State> saved;
            // Without a back the empty texture is cleared once, not again for every tile.
            if (IsValid(back)) backTexture.SetRegion(tile);
            if (!blended) {
                // The back as it is, the front laid over it by fixed-function blending. Without a
                // mode the front alone would be drawn over whatever the tile held; the back is
                // what the host asked to see under it, so it is laid first.
                {
                    PushBlendFunc overwrite(BlendFunc::Overwrite());
                    Push<Texture> binding;
                    PushColor white(Color::White);
                    backTexture.Apply();
                    backTexture.ApplyNearest();
                    sPlane.Draw(tile);
                }
                if (placing) DrawPlaced(*placed, premultiplied, front, p);
                continue;
            }
            layer.SetDimensions(int(tile.Width()), int(tile.Height()));
            {
                Selection<RenderedTexture> target(layer);
                if (!target.IsSelected()) continue;
                ClearColorBuffer(Color::Transparent);
                TileProjection(tile);
                PushBlendFunc overwrite(BlendFunc::Overwrite());
                if (placing) DrawPlaced(*placed, premultiplied, front, p);
            }
            BlendFunc::Overwrite().Apply();
            DepthFunc::Always.Apply();
            ApplyMode::Apply(layer, backTexture, p.mode, 1.0f);
            {
                // Both are read at their texel centres, where the nearest texel is what linear
                // filtering gives, for a quarter of the reads.
                Push<TextureUnit> unit;
                if (IsValid(back)) {
                    TextureUnit(1).Apply();
                    backTexture.ApplyNearest();
                }
                TextureUnit(0).Apply();
                layer.ApplyNearest();
            }
            EffectProgram::DrawRegion(tile, GL_TEXTURE1);
        }
    }
    prepared.Finalize();
    loaded.Finalize();
    backTexture.Finalize();
    layer.Finalize();
}

} // namespace

void PrepareFront(RenderedTexture& prepared, bool& premultiplied, const XIImage* front,
                  const XIImage* mask, const TransformParams& p) {
    premultiplied = false;
    const float sx = std::fabs(p.scale.x), sy = std::fabs(p.scale.y);
    int w = 0, h = 0;
    MagnifiedSize(front, sx, sy, w, h);
    prepared.Resize(w, h, GL_RGBA, GL_FLOAT);
    Kernel x, y;
    const bool filtered = FilterKernels(x, y, p, sx, sy, w, h);
    SubImageTexture source(front);
    if (IsValid(mask)) source.SetMask(mask);
    if (filtered && !IsValid(mask) && w == front->GetWidth() && h == front->GetHeight()) {
        // Drawn no larger than it is, the front is filtered from the texture it is loaded into,
        // without a copy first.
        ConvolveTexture(source, prepared, x, y, true);
        source.Finalize();
        premultiplied = true;
        prepared.ExtendEdges(w, h);
        return;
    }
    {
        Push<Texture> binding;
        // Loaded before the target is selected: loading may select a target of its own.
        source.Apply();
        Selection<RenderedTexture> target(prepared);
        if (!target.IsSelected()) return;
        PushBlendFunc overwrite(BlendFunc::Overwrite());
        PushColor white(Color::White);
        source.Apply();
        if (p.interpolation == TransformInterpolationFilterType::Nearest) source.ApplyNearest();
        sPlane.Draw(0.0f, 0.0f, float(w), float(h), 0.0f);
    }
    source.Finalize();
    if (filtered) ConvolveTexture(prepared, x, y, true);
    premultiplied = filtered;
    // The placed front is drawn with linear filtering, which reads half a texel beyond its
    // edges.
    prepared.ExtendEdges(w, h);
}

void Transform(const XIImage* front, const XIImage* back, const XIImage* mask, XIImage* destination,
               PixelApplyMode mode, const p3f& position, const p3f& scale, const p3f& rotation,
               RotationOrder order, TransformInterpolationFilterType interpolation,
               TransformDecimationFilterType decimation) {
    if (!Prologue({{destination, "destination image"}})) return;
    TransformParams p{mode, position, scale, rotation, order, interpolation, decimation};
    TransformOnWorker(front, back, mask, destination, p);
}

} // namespace OGL_TESK_AE
