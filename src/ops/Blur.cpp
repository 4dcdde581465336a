// Separable blurs by accumulation: each non-zero tap is one textured pass of the source, moved
// by the tap's distance through the texture matrix and added at the tap's weight by blending.
#include "ops/Blur.h"

#include "common/Shared.h"
#include "gl/geometry/SimplePlane.h"
#include "gl/state/Blend.h"
#include "gl/state/Clear.h"
#include "gl/state/Fragment.h"
#include "gl/state/MatrixState.h"
#include "gl/state/Push.h"
#include "gl/texture/ImageTextures.h"
#include "gl/texture/Selection.h"
#include "gl/texture/TextureBuffer.h"
#include "gl/texture/TiledBuffer.h"
#include "ops/BasicOps.h"
#include "ops/Convolve.h"
#include "ops/Kernel.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>

namespace OGL_TESK_AE {

namespace {

constexpr double kPi = 3.14159265358979323846;

void DrawPlane(const Region& r) {
    sPlane.Draw(static_cast<float>(r.XOrigin()), static_cast<float>(r.YOrigin()),
                static_cast<float>(r.XEnd()), static_cast<float>(r.YEnd()), 0.0f);
}

// The cache hands out textures larger than asked for, and clamping then reaches texels beyond
// the w x h in use that belong to earlier work. Repeating the last column (row) over the next
// columns (rows) that a tap can reach makes sampling there see the edge, as clamping at the
// left and bottom does. Copies double in width so a wide kernel costs a few copies.
void RepeatEdges(const RenderedTexture& texture, int w, int h, int rx, int ry) {
    TextureBuffer* buffer = texture.Buffer();
    if (!buffer || w <= 0 || h <= 0) return;
    const int right = std::min(buffer->Width(), w + rx);
    const int top = std::min(buffer->Height(), h + ry);
    if (right <= w && top <= h) return;
    Selection<TextureBuffer> selection(*buffer);
    if (!selection.IsSelected()) return;
    buffer->Bind();
    const GLenum target = buffer->Key().Target();
    for (int end = w; end < right;) {
        const int n = std::min(end - (w - 1), right - end);
        glCopyTexSubImage2D(target, 0, end, 0, w - 1, 0, n, h);
        end += n;
    }
    for (int end = h; end < top;) {
        const int n = std::min(end - (h - 1), top - end);
        glCopyTexSubImage2D(target, 0, 0, end, 0, h - 1, right, n);
        end += n;
    }
}

// Binds a texture for exact texel reads: nearest filtering and edges clamped.
void BindNearest(const RenderedTexture& texture) {
    texture.Apply();
    texture.ApplyNearest();
    texture.ApplyClampToEdge();
    texture.ApplyModulate();
}

int Radius(const Kernel& kernel) {
    return (kernel.Size() + 1) / 2;
}

void Separable(RenderedTexture& texture, void (*shape)(Kernel&, float), float width, float height) {
    Kernel x, y;
    shape(x, width);
    shape(y, height);
    ConvolveTexture(texture, x, y);
}

void SeparableImage(const XIImage* source, XIImage* destination, void (*shape)(Kernel&, float),
                    float width, float height) {
    if (!IsValid(source) || !IsValid(destination)) return;
    Kernel x, y;
    shape(x, width);
    shape(y, height);
    ConvolveImage(source, destination, &x, &y);
}

// A filter sampled at taps half a pixel apart, centred on 0, and normalised.
void Sampled(Kernel& kernel, int taps, double (*filter)(double)) {
    kernel.Resize(float(taps));
    for (int i = 0; i < kernel.Size(); ++i)
        kernel[i] = static_cast<float>(filter(0.5 * (i - (kernel.Size() - 1) / 2)));
    const float sum = kernel.Sum();
    for (int i = 0; i < kernel.Size(); ++i) kernel[i] /= sum;
}

// Mitchell-Netravali cubics with parameters B and C.
double Cubic(double x, double b, double c) {
    x = std::fabs(x);
    if (x < 1.0)
        return ((12 - 9 * b - 6 * c) * x * x * x + (-18 + 12 * b + 6 * c) * x * x + (6 - 2 * b)) /
               6.0;
    if (x < 2.0)
        return ((-b - 6 * c) * x * x * x + (6 * b + 30 * c) * x * x + (-12 * b - 48 * c) * x +
                (8 * b + 24 * c)) /
               6.0;
    return 0.0;
}

double Sinc(double x) {
    return x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
}

double Lanczos(double x, double a) {
    return std::fabs(x) < a ? Sinc(x) * Sinc(x / a) : 0.0;
}

void Interpolate(RenderedTexture& texture, int taps, double (*filter)(double)) {
    Kernel x, y;
    Sampled(x, taps, filter);
    Sampled(y, taps, filter);
    ConvolveTexture(texture, x, y);
}

} // namespace

void Convolve(const Kernel& kernel, int columns, int rows, const Region& region) {
    // The first drawn tap replaces what the target held; every later one adds to it. Both
    // multiply colour by the texel's alpha times the weight, so the sum is premultiplied.
    PushBlendFunc blend(GL_SRC_ALPHA, GL_ZERO, GL_ONE, GL_ZERO);
    Push<DepthFunc> depth(DepthFunc::Always);
    PushColor color;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const int tap = r * columns + c;
            const float weight = tap < kernel.Size() ? kernel[tap] : 0.0f;
            if (weight == 0.0f) continue;
            glColor4f(1.0f, 1.0f, 1.0f, weight);
            {
                PushTextureMatrix matrix;
                glLoadIdentity();
                glTranslatef(float(c) - float(columns - 1) / 2.0f,
                             float(r) - float(rows - 1) / 2.0f, 0.0f);
                glMultMatrixd(matrix.m);
                glMatrixMode(matrix.mode);
                DrawPlane(region);
            }
            BlendFunc::ApplyFactors(GL_SRC_ALPHA, GL_ONE, GL_ONE, GL_ONE);
        }
}

void ConvolveTexture(RenderedTexture& texture, const Kernel& x, const Kernel& y) {
    if (x.Size() <= 1 && y.Size() < 2) return;
    const int w = texture.Width(), h = texture.Height();
    if (w <= 0 || h <= 0) return;
    Push<Texture> binding;
    // Loaded before any target is selected, so that loading selects its own.
    BindNearest(texture);
    RepeatEdges(texture, w, h, x.Size() / 2, 0);
    RenderedTexture scratch;
    scratch.Resize(w, h, GL_RGBA, 0);
    try {
        {
            Selection<RenderedTexture> target(scratch);
            if (target.IsSelected()) {
                BindNearest(texture);
                Convolve(x, x.Size(), 1, Region(0, 0, unsigned(w), unsigned(h)));
            }
        }
        RepeatEdges(scratch, w, h, 0, y.Size() / 2);
        {
            Selection<RenderedTexture> target(texture);
            if (target.IsSelected()) {
                BindNearest(scratch);
                Convolve(y, 1, y.Size(), Region(0, 0, unsigned(w), unsigned(h)));
            }
        }
    } catch (...) {
        scratch.Finalize();
        throw;
    }
    scratch.Finalize();
}

void ConvolveImage(const XIImage* source, XIImage* destination, const Kernel* x, const Kernel* y) {
    if (!IsValid(source) || !IsValid(destination)) return;
    if (Dispatch(&ConvolveImage, source, destination, x, y)) return;
    if (x->Size() <= 1 && y->Size() <= 1) {
        if (source != destination) Copy(source, destination);
        return;
    }
    const int rx = Radius(*x), ry = Radius(*y);
    const Region bounds(0, 0, unsigned(source->GetWidth()), unsigned(source->GetHeight()));
    SubImageTexture texture(source);
    {
        TiledBuffer tiled(destination);
        tiled.ReleaseBeforeRender(texture);
        while (tiled.Next()) {
            const Region tile = tiled.GetCurrentTile();
            const Region grown(tile.XOrigin() - rx, tile.YOrigin() - ry, tile.Width() + 2 * rx,
                               tile.Height() + 2 * ry);
            const Region area = grown & bounds;
            // Parts of the tile beyond the source stay transparent.
            if ((area & tile) != tile) ClearColorBuffer(Color::Transparent);
            if (!area.IsValid()) continue;
            texture.SetRegion(area);
            ConvolveTexture(texture, *x, *y);
            // The blurred region lies where it came from, texel for texel.
            Push<Texture> binding;
            PushBlendFunc overwrite(BlendFunc::Overwrite());
            PushColor white(Color::White);
            BindNearest(texture);
            DrawPlane(area);
        }
    }
    texture.Finalize();
}

void Blur(const XIImage* source, XIImage* destination, float width, float height, float spread) {
    if (!IsValid(source) || !IsValid(destination)) return;
    Kernel x, y;
    GaussianKernel(x, width, spread);
    GaussianKernel(y, height, spread);
    ConvolveImage(source, destination, &x, &y);
}

void BoxBlur(const XIImage* source, XIImage* destination, float width, float height) {
    SeparableImage(source, destination, BoxKernel, width, height);
}

void PascalBlur(const XIImage* source, XIImage* destination, float width, float height) {
    SeparableImage(source, destination, PascalKernel, width, height);
}

void BoxBlurTexture(RenderedTexture& texture, float width, float height) {
    Separable(texture, BoxKernel, width, height);
}

void TriangleBlurTexture(RenderedTexture& texture, float width, float height) {
    Separable(texture, TriangleKernel, width, height);
}

void PascalBlurTexture(RenderedTexture& texture, float width, float height) {
    Separable(texture, PascalKernel, width, height);
}

// Each filter is sampled at -1, -0.5, 0, 0.5, 1 pixels (Lanczos-2: -0.5, 0, 0.5) and normalised:
//   Catmull-Rom (B = 0, C = 1/2):  0, 0.264706, 0.470588, 0.264706, 0
//   Mitchell (B = C = 1/3):        0.026846, 0.258389, 0.429530, 0.258389, 0.026846
//   cubic B-spline (B = 1, C = 0): 0.085106, 0.244681, 0.340426, 0.244681, 0.085106
//   Lanczos-2:                     0.267043, 0.465914, 0.267043
//   Lanczos-3:                     0, 0.274353, 0.451293, 0.274353, 0
// The zero end taps are where the filters cross zero; Convolve skips them.
void CatmulInterpolateTexture(RenderedTexture& texture) {
    Interpolate(texture, 5, [](double x) { return Cubic(x, 0.0, 0.5); });
}

void MitchellInterpolateTexture(RenderedTexture& texture) {
    Interpolate(texture, 5, [](double x) { return Cubic(x, 1.0 / 3.0, 1.0 / 3.0); });
}

void BSplineInterpolateTexture(RenderedTexture& texture) {
    Interpolate(texture, 5, [](double x) { return Cubic(x, 1.0, 0.0); });
}

void Lanczos2InterpolateTexture(RenderedTexture& texture) {
    Interpolate(texture, 3, [](double x) { return Lanczos(x, 2.0); });
}

void Lanczos3InterpolateTexture(RenderedTexture& texture) {
    Interpolate(texture, 5, [](double x) { return Lanczos(x, 3.0); });
}

} // namespace OGL_TESK_AE
