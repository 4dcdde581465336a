#include "ops/Composite.h"

#include "common/Shared.h"
#include "gl/effects/Conversion.h"
#include "gl/geometry/SimplePlane.h"
#include "gl/state/Blend.h"
#include "gl/state/Clear.h"
#include "gl/state/Push.h"
#include "gl/texture/ImageTextures.h"
#include "gl/texture/Implementation/Selection.h"
#include "gl/texture/TextureFormat.h"
#include "gl/texture/TiledBuffer.h"
#include "ops/Implementation/Convolve.h"
#include "ops/Implementation/Kernel.h"
#include "common/Implementation/Prologue.h"
#include "gl/effects/EffectProgram.h"
#include "gl/state/Implementation/ProgramScope.h"
#include "gl/state/TextureState.h"
#include "ops/Implementation/TileOperand.h"
#include "GlslSources.h" // glsl::<name>, made from the glsl/ folders at build time

#include <cmath>
#include <map>
#include <memory>
#include <string>

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

// Draws the texture over where (in the current target's pixels), blended by the op.
void DrawWithOp(const Texture& texture, const Region& where, const BlendOp& op) {
    Push<BlendOp> saved; // everything the op sets, put back however the scope is left
    PushColor white(Color::White);
    Push<Texture> binding;
    op.Apply();
    texture.Apply();
    texture.ApplyNearest();
    sPlane.Draw(where);
}

// Fixed-function blending into the half-float tiles was the slow part of a composite on
// llvmpipe (the background drawn, then the foreground blended over it); the op's blending is
// done in a program instead, reading both images once (glsl/composite_texels.glsl), and between
// 8-bit images in 8-bit texels. Each op gets a program of its own, its factors and equations
// written into the source: a program that weighed every possible factor on every pixel took a
// third longer than the fixed-function blending it replaced.

// A factor as an expression of the source s, the target d and the blend colour; one OpenGL
// does not know is left as OpenGL would leave it (glBlendFunc refuses it and the initial one,
// zero, or one for the source, stays).
std::string Factor(GLenum factor, bool alpha, bool source) {
    const char* c = alpha ? "a" : "rgb";
    auto of = [&](const char* v) { return std::string(v) + "." + c; };
    auto one = [&](const char* v) { return (alpha ? "(1.0 - " : "vec3(1.0) - (") + of(v) + ")"; };
    auto broadcast = [&](const std::string& v) { return alpha ? v : "vec3(" + v + ")"; };
    switch (factor) {
    case GL_ZERO:
        return broadcast("0.0");
    case GL_ONE:
        return broadcast("1.0");
    case GL_SRC_COLOR:
        return of("s");
    case GL_ONE_MINUS_SRC_COLOR:
        return one("s");
    case GL_DST_COLOR:
        return of("d");
    case GL_ONE_MINUS_DST_COLOR:
        return one("d");
    case GL_SRC_ALPHA:
        return broadcast("s.a");
    case GL_ONE_MINUS_SRC_ALPHA:
        return broadcast("1.0 - s.a");
    case GL_DST_ALPHA:
        return broadcast("d.a");
    case GL_ONE_MINUS_DST_ALPHA:
        return broadcast("1.0 - d.a");
    case GL_CONSTANT_COLOR:
        return of("constant");
    case GL_ONE_MINUS_CONSTANT_COLOR:
        return one("constant");
    case GL_CONSTANT_ALPHA:
        return broadcast("constant.a");
    case GL_ONE_MINUS_CONSTANT_ALPHA:
        return broadcast("1.0 - constant.a");
    // Saturation scales the colours only; alpha's factor is one.
    case GL_SRC_ALPHA_SATURATE:
        return broadcast(alpha ? "1.0" : "min(s.a, 1.0 - d.a)");
    default:
        return broadcast(source ? "1.0" : "0.0");
    }
}

// An equation over the source and target (s, d) and their factored terms (x, y); one OpenGL
// does not know adds, as the initial equation does. The minimum and the maximum leave the
// factors out, as OpenGL's do.
std::string Combine(GLenum equation, bool alpha) {
    const std::string s = alpha ? "s.a" : "s.rgb", d = alpha ? "d.a" : "d.rgb";
    const std::string x = alpha ? "xa" : "x", y = alpha ? "ya" : "y";
    switch (equation) {
    case GL_FUNC_SUBTRACT:
        return x + " - " + y;
    case GL_FUNC_REVERSE_SUBTRACT:
        return y + " - " + x;
    case GL_MIN:
        return "min(" + s + ", " + d + ")";
    case GL_MAX:
        return "max(" + s + ", " + d + ")";
    default:
        return x + " + " + y;
    }
}

// The op as it would have blended: blending off writes the source as it is, an equation left
// out is OpenGL's initial one.
std::string Definitions(const BlendOp& op) {
    const bool blends = op.func.enabled, equation = blends && op.equation.enabled;
    std::string text = "#version 110\n#extension GL_ARB_texture_rectangle : enable\n";
    auto define = [&text](const char* name, const std::string& value) {
        text += std::string("#define ") + name + " " + value + "\n";
    };
    define("FACTOR_SRC_RGB", Factor(blends ? op.func.srcRGB : GL_ONE, false, true));
    define("FACTOR_DST_RGB", Factor(blends ? op.func.dstRGB : GL_ZERO, false, false));
    define("FACTOR_SRC_ALPHA", Factor(blends ? op.func.srcAlpha : GL_ONE, true, true));
    define("FACTOR_DST_ALPHA", Factor(blends ? op.func.dstAlpha : GL_ZERO, true, false));
    define("COMBINE_RGB", Combine(equation ? op.equation.modeRGB : GL_FUNC_ADD, false));
    define("COMBINE_ALPHA", Combine(equation ? op.equation.modeAlpha : GL_FUNC_ADD, true));
    return text;
}

// One program per op, made on first use and kept: a host uses a handful of ops. The source lives
// beside its shader, which keeps a pointer to it.
struct OpProgram {
    explicit OpProgram(std::string text)
        : source(std::move(text)), shader(GL_FRAGMENT_SHADER, source.c_str()), program(&shader) {}
    std::string source;
    GLSL::Shader shader;
    EffectProgram program;
};

const EffectProgram& CompositeProgram(const BlendOp& op) {
    static std::map<std::string, std::unique_ptr<OpProgram>> programs;
    const std::string definitions = Definitions(op);
    std::unique_ptr<OpProgram>& entry = programs[definitions];
    if (!entry) entry.reset(new OpProgram(definitions + glsl::composite_texels));
    return entry->program;
}

void CompositeOnWorker(const XIImage* foreground, const XIImage* background, const XIImage* mask,
                       XIImage* destination, float opacity, BlendOp op) {
    if (Dispatch(&CompositeOnWorker, foreground, background, mask, destination, opacity, op))
        return;
    // A foreground that cannot be used covers nothing, which leaves the background; a mask
    // that cannot be used is left out. Where the background does not reach, it is transparent.
    if (!IsValid(mask)) mask = nullptr;
    const bool bytes = (!IsValid(foreground) || IsByteImage(foreground)) &&
                       (!IsValid(background) || IsByteImage(background)) &&
                       (!mask || IsByteImage(mask)) && IsByteImage(destination);
    SubImageTexture front, back;
    if (bytes) front.UseByteTexels(), back.UseByteTexels();
    front.SetImage(foreground);
    front.SetMask(mask);
    back.SetImage(background);
    const Region maskBounds = mask ? Bounds(mask) : Region();
    const Region* limit = mask ? &maskBounds : nullptr;
    const EffectProgram& program = CompositeProgram(op);
    {
        TiledBuffer tiled(destination);
        if (bytes) tiled.UseByteTarget();
        tiled.ReleaseBeforeRender(front);
        tiled.ReleaseBeforeRender(back);
        while (tiled.Next()) {
            Push<TextureUnit> unit;
            Push<Texture> binding;
            const TileBoxes boxes = TileOperands(tiled, front, foreground, back, background, limit);
            PushBlendFunc overwrite(BlendFunc::Overwrite());
            ProgramScope scope;
            program.Apply();
            program.SetUniform("front", TextureUnit(0));
            program.SetUniform("back", TextureUnit(1));
            program.SetUniform("frontBox", boxes.first);
            program.SetUniform("backBox", boxes.second);
            program.SetUniform("opacity", opacity);
            program.SetUniform("constant", op.color.enabled ? op.color.color : Color(0, 0, 0, 0));
            TextureUnit(0).Apply();
            sPlane.Draw(tiled.GetCurrentTile());
            // Unit 1 as the tile found it; no scope puts back another unit's binding.
            TextureUnit(1).Apply();
            TextureBinding::Default.Apply();
        }
    }
    front.Finalize();
    back.Finalize();
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
            DrawWithOp(stack, r, op);
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
