#include "gl/texture/Texture.h"

#include "common/OpaqueBuffer.h"
#include "common/PhaseTimer.h"

#include "gl/context/Implementation/EntryPoints.h"
#include "gl/effects/Conversion.h"
#include "gl/geometry/SimplePlane.h"
#include "gl/state/Blend.h"
#include "gl/state/Clear.h"
#include "gl/state/Fragment.h"
#include "gl/state/Pixel.h"
#include "gl/state/Push.h"
#include "gl/texture/Implementation/Transfer.h"
#include "gl/texture/Implementation/Selection.h"
#include "gl/texture/TextureBuffer.h"
#include "gl/texture/TextureFormat.h"

#include <algorithm>

// Putting host pixels into textures: straight in when OpenGL takes the image's layout as it is,
// otherwise through a staging texture drawn into place by a conversion program.

namespace OGL_TESK_AE {

namespace {

// A raw copy of an image region, the source of a conversion pass.
class StagingTexture : public Texture {
public:
    StagingTexture(const Region& src, GLenum internalFormat) {
        key = TextureKey(GL_TEXTURE_RECTANGLE_ARB, static_cast<int>(src.Width()),
                         static_cast<int>(src.Height()), internalFormat, false);
    }
};

// Puts the region at the staging texture's origin. The staging texture comes from the cache and
// is usually larger than the region; when it is sampled with linear filtering, texels next to
// the region would bleed into its last row and column, so those are repeated once beyond it,
// as clamping to the edge would give.
void LoadStaging(const TextureBuffer& staging, const XIImage* image, const Region& src, bool asRgba,
                 bool padEdges) {
    auto load = [&](const Region& from, const Region& to) {
        if (asRgba)
            staging.LoadImageAsRgba(image, from, to);
        else
            staging.LoadImageNative(image, from, to, false);
    };
    const int x = src.XOrigin(), y = src.YOrigin();
    const unsigned w = src.Width(), h = src.Height();
    load(src, Region(0, 0, w, h));
    if (!padEdges) return;
    const bool right = staging.Width() > static_cast<int>(w);
    const bool top = staging.Height() > static_cast<int>(h);
    const int lastX = x + static_cast<int>(w) - 1, lastY = y + static_cast<int>(h) - 1;
    if (right) load(Region(lastX, y, 1, h), Region(static_cast<int>(w), 0, 1, h));
    if (top) load(Region(x, lastY, w, 1), Region(0, static_cast<int>(h), w, 1));
    if (right && top)
        load(Region(lastX, lastY, 1, 1), Region(static_cast<int>(w), static_cast<int>(h), 1, 1));
}

void SetFilters(GLenum target, GLint filter) {
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, filter);
}

// The quad a loaded region is drawn as: the whole of dst, or in fit mode the largest centred
// rectangle of the source's shape (the dst origin is not added then).
void DrawLoadedRegion(const Region& src, const Region& dst, bool fit) {
    const float dw = static_cast<float>(dst.Width()), dh = static_cast<float>(dst.Height());
    if (fit) {
        const float sw = static_cast<float>(src.Width()), sh = static_cast<float>(src.Height());
        const float s = std::min(dw / sw, dh / sh);
        const float w = sw * s, h = sh * s;
        const int x0 = static_cast<int>((dw - w) * 0.5f);
        const int y0 = static_cast<int>((dh - h) * 0.5f);
        sPlane.Draw(static_cast<float>(x0), static_cast<float>(y0),
                    static_cast<float>(x0 + static_cast<int>(w)),
                    static_cast<float>(y0 + static_cast<int>(h)), 0.0f);
    } else {
        const float x = static_cast<float>(dst.XOrigin()), y = static_cast<float>(dst.YOrigin());
        sPlane.Draw(x, y, x + dw, y + dh, 0.0f);
    }
}

} // namespace

namespace {

// What loading a region needs to know about the image and the two regions.
struct LoadPlan {
    LoadPlan(const XIImage* image, const Region& src, const Region& dstIn)
        : dst(dstIn.IsValid() ? dstIn : Region(0, 0, src.Width(), src.Height())) {
        GetColorSpaceFormat(image, format, type, whiteScale);
        convert = NeedToConvert(image, format, type);
        resized = dst.Width() != src.Width() || dst.Height() != src.Height();
    }
    Region dst;
    GLenum format = GL_RGBA, type = 0;
    float whiteScale = 1.0f;
    bool convert = false;
    bool resized = false;
};

// Binds the staging texture, puts the region in it and sets it up to be drawn: its texture
// matrix over the region, rows turned for top-down images.
void Stage(const StagingTexture& staging, const XIImage* image, const Region& src,
           const LoadPlan& plan) {
    staging.BindTexture();
    LoadStaging(*staging.Buffer(), image, src, plan.convert, plan.resized);
    staging.SetTransform(static_cast<float>(src.Width()), static_cast<float>(src.Height()), 0.0f,
                         0.0f);
    if (!image->IsBottomUp()) staging.FlipTransform();
}

// Filtering by whether the region is resampled. Set last: binding the staging texture for the
// conversion program puts back the filters it was bound with.
void SetStagingFilters(const StagingTexture& staging, const LoadPlan& plan) {
    SetFilters(staging.Key().Target(), plan.resized ? GL_LINEAR : GL_NEAREST);
}

// Makes the conversion program current for drawing the staged region: the image's swizzle, the
// processing step and the stretch of its white level to 1.0.
void ApplyConversion(Conversion& conversion, const XIImage* image, const LoadPlan& plan,
                     GLSL::Shader* processing, const StagingTexture& staging) {
    conversion.SetConversion(plan.convert ? LoadSwizzleFor(image) : nullptr);
    conversion.SetProcessing(processing);
    conversion.SetScale(1.0f / plan.whiteScale);
    conversion.SetTexture(&staging);
    conversion.Apply();
}

// The drawing pass of a load: the region staged as the image lays it out and drawn into
// target (through the conversion program when the layout, white level or processing needs it).
void DrawThroughStaging(TextureBuffer& target, const XIImage* image, const Region& src,
                        const LoadPlan& plan, GLSL::Shader* processing, bool fit) {
    PhaseTimer timer(Phase::LoadConversion);
    Selection<TextureBuffer> selection(target);
    PushBlendFunc blend(BlendFunc::Overwrite());
    Push<DepthFunc> depth(DepthFunc::Always);
    PushColor color(Color::White);

    const StagingTexture staging(src, GetInternalFormat(GL_RGBA, plan.type));
    Stage(staging, image, src, plan);
    if (plan.convert || plan.whiteScale != 1.0f || processing) {
        // One program for all loads: it is relinked only when the pair of shaders changes.
        static Conversion conversion;
        ApplyConversion(conversion, image, plan, processing, staging);
    } else {
        // A load may happen while the caller's own program is current (textures load when
        // first applied); the plain copy must not run through it. The selection puts it back.
        TESK_GL(glUseProgram)(0);
    }
    SetStagingFilters(staging, plan);
    if (fit) ClearColorBuffer(Color::Transparent);
    DrawLoadedRegion(src, plan.dst, fit);
}

// The half-float texel the drawing pass makes of each 8-bit channel value, found once by
// drawing all 256 of them (so the table holds the driver's own rounding); null where the
// texture would not be half float or the four channels disagree.
const uint16_t* PassedByteHalves() {
    static int found = -1; // -1 not yet, 0 not usable, 1 the table holds
    static uint16_t table[256];
    if (found >= 0) return found ? table : nullptr;
    found = 0;
    // The caller may be loading into the texture bound now; the passes below bind others.
    Push<Texture> binding;
    OpaqueBuffer bytes;
    if (!bytes.Resize(256, 1, ColorSpaceCode::kRGBA, 32, 255)) return nullptr;
    unsigned char* pixels = static_cast<unsigned char*>(bytes.GetBaseAddress());
    for (int v = 0; v < 256; ++v)
        for (int c = 0; c < 4; ++c) pixels[4 * v + c] = static_cast<unsigned char>(v);
    TextureBuffer target(TextureKey(GL_TEXTURE_RECTANGLE_ARB, 256, 1, GL_RGBA16F_ARB, true));
    if (target.Key().InternalFormat() != GL_RGBA16F_ARB) return nullptr;
    const Region all(0, 0, 256, 1);
    DrawThroughStaging(target, &bytes, all, LoadPlan(&bytes, all, all), nullptr, false);
    uint16_t texels[256 * 4] = {};
    {
        Selection<TextureBuffer> selection(target);
        if (!selection.IsSelected()) return nullptr;
        PushPixelPack pack(4, 0, 0, 0, 0);
        glReadPixels(0, 0, 256, 1, GL_RGBA, GL_HALF_FLOAT_ARB, texels);
    }
    for (int v = 0; v < 256; ++v) {
        const uint16_t* t = texels + 4 * v;
        if (t[1] != t[0] || t[2] != t[0] || t[3] != t[0]) return nullptr;
        table[v] = t[0];
    }
    found = 1;
    return table;
}

} // namespace

void Texture::LoadTexture(const XIImage* image, const Region& src, const Region& dstIn,
                          bool mipmap) {
    if (!buffer || !image) return;
    const LoadPlan plan(image, src, dstIn);
    transfer::Plan move =
        transfer::PlanLoad(image, *buffer, src, plan.dst, mipmap, fit, loadProcessing != nullptr);
    if (move.path == transfer::Path::kNothing) {
        // OpenGL takes no pixels in this layout (an unknown colour-space code, say). The region
        // becomes transparent rather than show what the recycled texture held before, which
        // may be another caller's picture.
        Selection<TextureBuffer> selection(*buffer);
        if (!selection.IsSelected()) return;
        glEnable(GL_SCISSOR_TEST);
        glScissor(plan.dst.XOrigin(), plan.dst.YOrigin(), static_cast<GLsizei>(plan.dst.Width()),
                  static_cast<GLsizei>(plan.dst.Height()));
        ClearColorBuffer(Color::Transparent);
        return;
    }
    const uint16_t* halves = nullptr;
    if (move.path == transfer::Path::kByteHalves && !(halves = PassedByteHalves()))
        move.path = transfer::Path::kPass;
    if (move.path != transfer::Path::kPass) {
        transfer::Load(move, *buffer, image, src, plan.dst, mipmap, halves);
        return;
    }
    DrawThroughStaging(*buffer, image, src, plan, loadProcessing, fit);
}

void Texture::MaskTexture(const XIImage* image, const Region& src, const Region& dstIn,
                          bool /*mipmap*/) {
    if (!buffer || !image) return;
    const LoadPlan plan(image, src, dstIn);

    PhaseTimer timer(Phase::LoadConversion);
    Selection<TextureBuffer> selection(*buffer);
    // Only alpha is written, multiplied by the mask's alpha.
    PushBlendFunc blend(BlendFunc::Mask);
    Push<ColorMask> mask(ColorMask::AlphaOnly);
    // The mask's texels are modulated by the current colour; make that white, whatever the
    // caller left current.
    PushColor color(Color::White);

    const StagingTexture staging(src, GetInternalFormat(plan.format, plan.type));
    Stage(staging, image, src, plan);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    if (plan.convert || plan.whiteScale != 1.0f) {
        State state; // the program must not outlive the pass
        state.Retrieve();
        static Conversion conversion;
        ApplyConversion(conversion, image, plan, nullptr, staging);
        SetStagingFilters(staging, plan);
        DrawLoadedRegion(src, plan.dst, fit);
        state.Restore();
    } else {
        TESK_GL(glUseProgram)(0); // not the caller's; the selection puts it back
        SetStagingFilters(staging, plan);
        DrawLoadedRegion(src, plan.dst, fit);
    }
}

} // namespace OGL_TESK_AE
