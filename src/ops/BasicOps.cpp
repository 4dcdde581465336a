// The basic image operations: each moves its source onto the card, renders the result into the
// destination one tile at a time, and lets the tiled buffer read every tile back.
#include "ops/BasicOps.h"

#include "common/PhaseTimer.h"
#include "common/Shared.h"
#include "gl/context/Implementation/EntryPoints.h"
#include "gl/context/State.h"
#include "gl/effects/EffectProgram.h"
#include "gl/effects/GLSL.h"
#include "gl/geometry/SimplePlane.h"
#include "gl/state/Blend.h"
#include "gl/state/Clear.h"
#include "gl/state/Fragment.h"
#include "gl/state/MatrixState.h"
#include "gl/state/Implementation/ProgramScope.h"
#include "gl/state/Push.h"
#include "gl/state/TextureState.h"
#include "gl/texture/ImageTextures.h"
#include "gl/texture/Implementation/MemoryRows.h"
#include "gl/texture/RenderedTexture.h"
#include "gl/texture/TextureFormat.h"
#include "gl/texture/Implementation/TileScissor.h"
#include "gl/texture/TiledBuffer.h"
#include "math/Vector.h"
#include "common/Implementation/Prologue.h"
#include "ops/Implementation/TileOperand.h"
#include "GlslSources.h" // glsl::<name>, made from the glsl/ folders at build time

#include <GL/gl.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace OGL_TESK_AE {

namespace {

Region Bounds(const XIImage* image) {
    return Region(0, 0, static_cast<unsigned>(image->GetWidth()),
                  static_cast<unsigned>(image->GetHeight()));
}

void DrawPlane(const Region& r) {
    sPlane.Draw(static_cast<float>(r.XOrigin()), static_cast<float>(r.YOrigin()),
                static_cast<float>(r.XEnd()), static_cast<float>(r.YEnd()), 0.0f);
}

// Colour times alpha with alpha kept, in one pass over the tile: the products that drawing the
// source and then blending it over itself with (0, source alpha) would leave, unclamped as
// blending leaves them, at half the fill cost.
GLSL::Shader sPremultiplyTexels(GL_FRAGMENT_SHADER, glsl::premultiply_texels);

const EffectProgram& PremultiplyProgram() {
    static const EffectProgram program(&sPremultiplyTexels);
    return program;
}

// (0.30 r a, 0.59 g a, 0.11 b a, a), from which reading luminance sums the three colour
// channels: the texel modulated by the current colour (the luma weights), its colour then
// scaled by its alpha. The same products that modulating and blending with (source alpha, zero)
// over a cleared tile leave, without the clear and the blender's read of the tile.
GLSL::Shader sLumaTexels(GL_FRAGMENT_SHADER, glsl::luma_texels);

const EffectProgram& LumaProgram() {
    static const EffectProgram program(&sLumaTexels);
    return program;
}

// The single values GetLuma and GetAlpha read back, whole in the red channel of a one-channel
// target: a quarter of the texels to store and read back. They are what reading the programs
// above (luma) or the plain texel (alpha) back into a float luminance or alpha image makes of
// four channels: each channel clamped to [0, 1], NaN to 0, and luminance their sum.
GLSL::Shader sRedLuma(GL_FRAGMENT_SHADER, glsl::red_luma);

GLSL::Shader sRedAlpha(GL_FRAGMENT_SHADER, glsl::red_alpha);

const EffectProgram& RedLumaProgram() {
    static const EffectProgram program(&sRedLuma);
    return program;
}

const EffectProgram& RedAlphaProgram() {
    static const EffectProgram program(&sRedAlpha);
    return program;
}

// Byte copy of the whole destination from a source laid out alike.
void CopyBytes(const XIImage* source, XIImage* destination) {
    const size_t bytes = static_cast<size_t>(destination->GetRowBytes()) *
                         static_cast<size_t>(destination->GetHeight());
    std::memmove(destination->GetBaseAddress(), source->GetBaseAddress(), bytes);
}

// Draws image at its own size with its lower-left corner at (x, y) of the destination: the part
// that falls on the current tile, pixel for pixel. Tiles the image does not cover keep what the
// tile held.
void DrawAtOwnSize(const TiledBuffer& tiled, SubImageTexture& texture, const XIImage* image, int x,
                   int y) {
    const Region tile = tiled.GetCurrentTile();
    const Region placed(x, y, static_cast<unsigned>(image->GetWidth()),
                        static_cast<unsigned>(image->GetHeight()));
    const Region visible = placed & tile;
    if (!visible.IsValid()) return;
    texture.SetRegion(visible.Offset(-x, -y));
    PushBlendFunc overwrite(BlendFunc::Overwrite());
    PushColor white(Color::White);
    texture.Apply();
    texture.ApplyNearest();
    DrawPlane(visible);
}

// Whether DrawAtOwnSize of image at (x, y) writes every pixel of the current tile, so that the
// tile needs no clearing first.
bool CoversTile(const TiledBuffer& tiled, const XIImage* image, int x, int y) {
    const Region tile = tiled.GetCurrentTile();
    const Region placed(x, y, static_cast<unsigned>(image->GetWidth()),
                        static_cast<unsigned>(image->GetHeight()));
    return (placed & tile) == tile;
}

// The (tile-independent) offset that centres a w x h image in the destination. Whole pixels, so
// that the image is not resampled half a pixel off.
int CentreOffset(int destination, int image) {
    return (destination - image) / 2;
}

// Starts every tile from transparent (or the colour): what a tile held before belongs to the
// previous tile. Only the tile is cleared; a small destination would otherwise pay for clearing
// the whole render target on every call.
void ClearTile(const TiledBuffer& tiled, const Color& color = Color::Transparent) {
    TileScissor scissor(tiled);
    ClearColorBuffer(color);
}

// A few pixels of memory of its own, laid out as another image: the same colour space, bit
// depth, white level and row order.
class SampleImage : public XIImage {
public:
    SampleImage(const XIImage& like, int32_t width, int32_t height)
        : fWidth(width), fHeight(height), fRowBytes(width * (like.GetBitDepth() / 8)),
          fColorSpace(like.GetColorSpace()), fBitDepth(like.GetBitDepth()),
          fWhiteLevel(like.GetWhiteLevel()), fBottomUp(like.IsBottomUp()),
          fMemory(static_cast<size_t>(fRowBytes) * height) {}
    bool IsReadOnly() const override { return false; }
    int32_t GetWidth() const override { return fWidth; }
    int32_t GetHeight() const override { return fHeight; }
    int32_t GetRowBytes() const override { return fRowBytes; }
    void* GetBaseAddress() const override { return const_cast<uint8_t*>(fMemory.data()); }
    int32_t GetColorSpace() const override { return fColorSpace; }
    int32_t GetBitDepth() const override { return fBitDepth; }
    int32_t GetWhiteLevel() const override { return fWhiteLevel; }
    bool IsBottomUp() const override { return fBottomUp; }
    void* GetNative() const override { return nullptr; }

private:
    int32_t fWidth, fHeight, fRowBytes, fColorSpace, fBitDepth, fWhiteLevel;
    bool fBottomUp;
    std::vector<uint8_t> fMemory;
};

// Bytes of one pixel when the destination's rows hold whole pixels as OpenGL lays them out, so
// that a pixel can be repeated across them as the tiled read-back would write it; 0 otherwise.
int RepeatablePixelBytes(const XIImage* destination) {
    GLenum format = GL_RGBA, type = 0;
    GetFormatType(destination, format, type);
    const int pixel = PixelTransferBytes(format, type);
    const int32_t rowBytes = destination->GetRowBytes();
    if (pixel == 0 || pixel != destination->GetBitDepth() / 8 || rowBytes % pixel != 0 ||
        rowBytes % 4 != 0)
        return 0;
    return pixel;
}

void ClearOnWorker(XIImage* destination, Color color) {
    if (Dispatch(&ClearOnWorker, destination, color)) return;
    // Every pixel of a cleared image is the same: render one and repeat its bytes.
    const int pixel = RepeatablePixelBytes(destination);
    if (pixel > 0) {
        SampleImage sample(*destination, 1, 1);
        {
            TiledBuffer tiled(&sample);
            while (tiled.Next()) ClearTile(tiled, color);
        }
        // Repeating the pixel is how this result reaches the host's memory: timed as the
        // read-back it stands in for.
        PhaseTimer timer(Phase::ReadBack);
        const uint8_t* value = static_cast<const uint8_t*>(sample.GetBaseAddress());
        uint8_t* first = static_cast<uint8_t*>(destination->GetBaseAddress());
        const size_t rowBytes = static_cast<size_t>(destination->GetWidth()) * pixel;
        std::memcpy(first, value, static_cast<size_t>(pixel));
        for (size_t done = pixel; done < rowBytes; done *= 2)
            std::memcpy(first + done, first, std::min(done, rowBytes - done));
        const size_t stride = static_cast<size_t>(destination->GetRowBytes());
        for (int32_t y = 1; y < destination->GetHeight(); ++y)
            std::memcpy(first + y * stride, first, rowBytes);
        return;
    }
    TiledBuffer tiled(destination);
    while (tiled.Next()) ClearTile(tiled, color);
}

void CopyTextureOnWorker(const Texture* texture, XIImage* destination) {
    if (Dispatch(&CopyTextureOnWorker, texture, destination)) return;
    TiledBuffer tiled(destination);
    const Region whole = Bounds(destination);
    while (tiled.Next()) {
        PushBlendFunc overwrite(BlendFunc::Overwrite());
        Push<DepthFunc> depth(DepthFunc::Always);
        Push<Texture> binding;
        texture->Apply();
        DrawPlane(whole);
    }
}

// What DrawAtOwnSize leaves in the tile, without the draw: drawing with nearest sampling and
// replacing copies the loaded texels one to one, so the part of the image on the tile is loaded
// straight into the tile's render texture instead, through the same loading paths.
void LoadAtOwnSize(const TiledBuffer& tiled, const XIImage* image, int x, int y) {
    RenderedTexture* render = tiled.GetRender();
    const Region tile = tiled.GetCurrentTile();
    const Region placed(x, y, static_cast<unsigned>(image->GetWidth()),
                        static_cast<unsigned>(image->GetHeight()));
    const Region visible = placed & tile;
    if (!render || !visible.IsValid()) return;
    Push<Texture> binding;
    render->BindTexture();
    render->LoadTexture(image, MemoryRows(image, visible.Offset(-x, -y), image->GetHeight()),
                        visible.Offset(-tile.XOrigin(), -tile.YOrigin()), false);
}

void CopyTiled(const XIImage* source, XIImage* destination, int x, int y) {
    TiledBuffer tiled(destination);
    while (tiled.Next()) {
        if (!CoversTile(tiled, source, x, y)) ClearTile(tiled);
        LoadAtOwnSize(tiled, source, x, y);
    }
}

// The colour laid over the image with weight t = colour alpha x mask alpha (or its complement),
// in one pass: rgb = image.rgb (1 - t) + colour.rgb t, alpha = image.a (1 - t) + t. Where the
// mask does not reach, t is the colour's alpha; where the image does not, the pixel is the
// colour with alpha t. Those are the pixels the three passes this replaces left (the tile
// cleared to the colour, its alpha scaled by the mask, the image blended under it), which drew
// the tile three times, two of them blending.
//
// Each texture holds the part of its image on the tile; its box is the offset from a fragment's
// window position to its texel there, and the part's size (zero for none).
GLSL::Shader sMaskTexels(GL_FRAGMENT_SHADER, glsl::mask_texels);

const EffectProgram& MaskProgram() {
    static const EffectProgram program(&sMaskTexels);
    return program;
}

void MaskOperation(const XIImage* mask, const XIImage* image, XIImage* destination,
                   const Color& color, bool inverse) {
    const bool bytes =
        IsByteImage(mask) && (!IsValid(image) || IsByteImage(image)) && IsByteImage(destination);
    SubImageTexture maskTexture, imageTexture;
    if (bytes) maskTexture.UseByteTexels(), imageTexture.UseByteTexels();
    maskTexture.SetImage(mask);
    imageTexture.SetImage(image);
    TiledBuffer tiled(destination);
    if (bytes) tiled.UseByteTarget();
    tiled.ReleaseBeforeRender(maskTexture);
    tiled.ReleaseBeforeRender(imageTexture);
    while (tiled.Next()) {
        Push<TextureUnit> unit;
        Push<Texture> binding;
        const TileBoxes boxes = TileOperands(tiled, maskTexture, mask, imageTexture, image);
        PushBlendFunc overwrite(BlendFunc::Overwrite());
        ProgramScope scope;
        const EffectProgram& program = MaskProgram();
        program.Apply();
        program.SetUniform("mask", TextureUnit(0));
        program.SetUniform("image", TextureUnit(1));
        program.SetUniform("colour", color);
        program.SetUniform("maskBox", boxes.first);
        program.SetUniform("imageBox", boxes.second);
        program.SetUniform("inverse", inverse ? 1.0f : 0.0f);
        TextureUnit(0).Apply();
        DrawPlane(tiled.GetCurrentTile());
        // Unit 1 as the tile found it (Next left every unit in the default state); no scope
        // puts back another unit's binding.
        TextureUnit(1).Apply();
        TextureBinding::Default.Apply();
    }
    maskTexture.Finalize();
    imageTexture.Finalize();
}

// The destination with the source's alpha where the source reaches, in one pass. Drawing the
// destination and then the source's alpha alone over it drew every tile twice.
GLSL::Shader sAlphaTexels(GL_FRAGMENT_SHADER, glsl::alpha_texels);

const EffectProgram& AlphaProgram() {
    static const EffectProgram program(&sAlphaTexels);
    return program;
}

// CopyAlpha from a source whose pixels carry colour too: its alpha is the texels' alpha.
void CopyAlphaOfColour(const XIImage* source, XIImage* destination) {
    const bool bytes = IsByteImage(source) && IsByteImage(destination);
    SubImageTexture current, alpha;
    if (bytes) current.UseByteTexels(), alpha.UseByteTexels();
    current.SetImage(destination);
    alpha.SetImage(source);
    TiledBuffer tiled(destination);
    if (bytes) tiled.UseByteTarget();
    tiled.ReleaseBeforeRender(current);
    tiled.ReleaseBeforeRender(alpha);
    while (tiled.Next()) {
        Push<TextureUnit> unit;
        Push<Texture> binding;
        const p4f sourceBox = TileOperands(tiled, current, destination, alpha, source).second;
        PushBlendFunc overwrite(BlendFunc::Overwrite());
        ProgramScope scope;
        const EffectProgram& program = AlphaProgram();
        program.Apply();
        program.SetUniform("current", TextureUnit(0));
        program.SetUniform("source", TextureUnit(1));
        program.SetUniform("sourceBox", sourceBox);
        TextureUnit(0).Apply();
        DrawPlane(tiled.GetCurrentTile());
        TextureUnit(1).Apply();
        TextureBinding::Default.Apply();
    }
    current.Finalize();
    alpha.Finalize();
}

void RenderMaskOnWorker(const XIImage* mask, const XIImage* image, XIImage* destination,
                        Color color, bool inverse) {
    if (Dispatch(&RenderMaskOnWorker, mask, image, destination, color, inverse)) return;
    MaskOperation(mask, image, destination, color, inverse);
}

void GetAlphaOnWorker(const XIImage* source, Buffer<AlphaPixelType<float>>* destination) {
    if (Dispatch(&GetAlphaOnWorker, source, destination)) return;
    TiledBuffer tiled(destination);
    const bool red = tiled.UseSingleChannelTarget();
    while (tiled.Next()) {
        if (!tiled.FitCoversTile(source)) ClearTile(tiled);
        PushBlendFunc overwrite(BlendFunc::Overwrite());
        ProgramScope program;
        if (red) RedAlphaProgram().Apply();
        tiled.WriteFit(source);
    }
}

void GetLumaOnWorker(const XIImage* source, Buffer<LumaPixelType<float>>* destination) {
    if (Dispatch(&GetLumaOnWorker, source, destination)) return;
    TiledBuffer tiled(destination);
    const bool red = tiled.UseSingleChannelTarget();
    while (tiled.Next()) {
        if (!tiled.FitCoversTile(source)) ClearTile(tiled);
        PushBlendFunc overwrite(BlendFunc::Overwrite());
        PushColor scale(Color::LumaScale);
        ProgramScope program;
        (red ? RedLumaProgram() : LumaProgram()).Apply();
        tiled.WriteFit(source);
    }
}

void PremultiplyOnWorker(const XIImage* source, XIImage* destination) {
    if (Dispatch(&PremultiplyOnWorker, source, destination)) return;
    // Between 8-bit images the products are rounded to 8 bits once, on the way into the target.
    const bool bytes = IsByteImage(source) && IsByteImage(destination);
    SubImageTexture texture;
    if (bytes) texture.UseByteTexels();
    texture.SetImage(source);
    TiledBuffer tiled(destination);
    if (bytes) tiled.UseByteTarget();
    tiled.ReleaseBeforeRender(texture);
    while (tiled.Next()) {
        // The first draw replaces what it covers.
        if (!CoversTile(tiled, source, 0, 0)) ClearTile(tiled);
        const Region visible = Bounds(source) & tiled.GetCurrentTile();
        if (!visible.IsValid()) continue;
        Push<Texture> binding;
        PushColor white(Color::White);
        PushBlendFunc overwrite(BlendFunc::Overwrite());
        texture.SetRegion(visible);
        texture.Apply();
        texture.ApplyNearest();
        ProgramScope program;
        PremultiplyProgram().Apply();
        DrawPlane(visible);
    }
    texture.Finalize();
}

void CopyOnWorker(const XIImage* source, XIImage* destination) {
    if (Dispatch(&CopyOnWorker, source, destination)) return;
    CopyTiled(source, destination, 0, 0);
}

void CenterOnWorker(const XIImage* source, XIImage* destination) {
    if (Dispatch(&CenterOnWorker, source, destination)) return;
    CopyTiled(source, destination, CentreOffset(destination->GetWidth(), source->GetWidth()),
              CentreOffset(destination->GetHeight(), source->GetHeight()));
}

void CopyAlphaOnWorker(const XIImage* source, XIImage* destination) {
    if (Dispatch(&CopyAlphaOnWorker, source, destination)) return;
    GLenum format = GL_RGBA, type = 0;
    GetFormatType(source, format, type);
    if (format == GL_RGBA || format == GL_BGRA) {
        CopyAlphaOfColour(source, destination);
        return;
    }
    static AlphaTexture alpha;
    alpha.SetImage(source);
    SubImageTexture current(destination);
    TiledBuffer tiled(destination);
    tiled.ReleaseBeforeRender(current);
    tiled.ReleaseBeforeRender(alpha);
    while (tiled.Next()) {
        if (!CoversTile(tiled, destination, 0, 0)) ClearTile(tiled);
        Push<Texture> binding;
        // The tile starts as the destination, which keeps its colour.
        DrawAtOwnSize(tiled, current, destination, 0, 0);
        const Region visible = Bounds(source) & tiled.GetCurrentTile();
        if (!visible.IsValid()) continue;
        PushBlendFunc overwrite(BlendFunc::Overwrite());
        PushColor white(Color::White);
        Push<ColorMask> alphaOnly(ColorMask::AlphaOnly);
        alpha.SetRegion(visible);
        alpha.Apply();
        alpha.ApplyNearest();
        DrawPlane(visible);
    }
    current.Finalize();
    alpha.Finalize();
}

void ResizeOnWorker(const XIImage* source, XIImage* destination) {
    if (Dispatch(&ResizeOnWorker, source, destination)) return;
    const double kx = double(source->GetWidth()) / destination->GetWidth();
    const double ky = double(source->GetHeight()) / destination->GetHeight();
    const Region bounds = Bounds(source);
    const bool bytes = IsByteImage(source) && IsByteImage(destination);
    SubImageTexture texture;
    if (bytes) texture.UseByteTexels();
    texture.SetImage(source);
    TiledBuffer tiled(destination);
    if (bytes) tiled.UseByteTarget();
    tiled.ReleaseBeforeRender(texture);
    while (tiled.Next()) {
        const Region tile = tiled.GetCurrentTile();
        // The part of the source this tile samples, with one texel of margin so that filtering
        // at the tile's edges sees the same neighbours as across the whole image: no seams.
        const double x0 = tile.XOrigin() * kx, x1 = tile.XEnd() * kx;
        const double y0 = tile.YOrigin() * ky, y1 = tile.YEnd() * ky;
        const int left = std::max(0, static_cast<int>(x0) - 1);
        const int bottom = std::max(0, static_cast<int>(y0) - 1);
        const int right = std::min(bounds.XEnd(), static_cast<int>(x1) + 2);
        const int top = std::min(bounds.YEnd(), static_cast<int>(y1) + 2);
        const Region area(left, bottom, static_cast<unsigned>(right - left),
                          static_cast<unsigned>(top - bottom));
        if (!area.IsValid()) {
            ClearTile(tiled);
            continue;
        }
        // The source is drawn over the whole tile, replacing what was there.
        Push<Texture> binding;
        PushBlendFunc overwrite(BlendFunc::Overwrite());
        PushColor white(Color::White);
        texture.SetRegion(area);
        texture.Apply();
        {
            // The plane's [0, 1] coordinates cover exactly the tile's share of the source.
            PushTextureMatrix matrix;
            glTranslated((x0 - left) / area.Width(), (y0 - bottom) / area.Height(), 0.0);
            glScaled((x1 - x0) / area.Width(), (y1 - y0) / area.Height(), 1.0);
            glMatrixMode(GL_MODELVIEW);
            DrawPlane(tile);
        }
    }
    texture.Finalize();
}

// The source resized into a float buffer of the fitted size, centred in the destination. The
// buffer comes from the memory cache, which belongs to the worker.
void FitOnWorker(const XIImage* source, XIImage* destination, int fw, int fh) {
    if (Dispatch(&FitOnWorker, source, destination, fw, fh)) return;
    Buffer<RGBAPixelType<float>> fitted;
    if (!fitted.Resize(fw, fh) || !IsValid(&fitted)) {
        Refuse("no memory for the fitted image of " + std::to_string(fw) + " x " +
               std::to_string(fh) + " pixels");
        return;
    }
    ResizeOnWorker(source, &fitted);
    CopyTiled(&fitted, destination, (destination->GetWidth() - fw) / 2,
              (destination->GetHeight() - fh) / 2);
}

} // namespace

void GetAlpha(const XIImage* source, Buffer<AlphaPixelType<float>>* destination) {
    if (!Prologue({{source, "source image"}, {destination, "alpha buffer"}})) return;
    GetAlphaOnWorker(source, destination);
}

void GetLuma(const XIImage* source, Buffer<LumaPixelType<float>>* destination) {
    if (!Prologue({{source, "source image"}, {destination, "luma buffer"}})) return;
    GetLumaOnWorker(source, destination);
}

void CopyTexture(const Texture& texture, XIImage* destination) {
    if (!Prologue({{destination, "destination image"}})) return;
    // The caller's texture outlives the call, which blocks until the worker is done; handing it
    // over by address keeps its buffer and contents, which a copy would not have.
    CopyTextureOnWorker(&texture, destination);
}

void Test(const XIImage* source, XIImage* destination) {
    if (!Prologue({{source, "source image"}, {destination, "destination image"}})) return;
    TiledBuffer tiled(destination);
    while (tiled.Next()) tiled.Write(source, 0, 0);
}

void Clear(XIImage* destination, const Color& color) {
    if (!Prologue({{destination, "destination image"}})) return;
    if (color.r == 0.0f && color.g == 0.0f && color.b == 0.0f && color.a == 0.0f) {
        const size_t bytes = static_cast<size_t>(destination->GetRowBytes()) *
                             static_cast<size_t>(destination->GetHeight());
        std::memset(destination->GetBaseAddress(), 0, bytes);
        return;
    }
    ClearOnWorker(destination, color);
}

void Premultiply(const XIImage* source, XIImage* destination) {
    if (!Prologue({{source, "source image"}, {destination, "destination image"}})) return;
    PremultiplyOnWorker(source, destination);
}

void Copy(const XIImage* source, XIImage* destination) {
    if (!Prologue({{source, "source image"}, {destination, "destination image"}})) return;
    if (IsMatchingFormat(source, destination))
        CopyBytes(source, destination);
    else
        CopyOnWorker(source, destination);
}

void Center(const XIImage* source, XIImage* destination) {
    if (!Prologue({{source, "source image"}, {destination, "destination image"}})) return;
    CenterOnWorker(source, destination);
}

void CopyAlpha(const XIImage* source, XIImage* destination) {
    if (!Prologue({{source, "source image"}, {destination, "destination image"}})) return;
    CopyAlphaOnWorker(source, destination);
}

void Resize(const XIImage* source, XIImage* destination) {
    if (!Prologue({{source, "source image"}, {destination, "destination image"}})) return;
    if (IsMatchingFormat(source, destination))
        CopyBytes(source, destination);
    else
        ResizeOnWorker(source, destination);
}

void FitInto(const XIImage* source, XIImage* destination) {
    if (!Prologue({{source, "source image"}, {destination, "destination image"}})) return;
    const float sw = float(source->GetWidth()), sh = float(source->GetHeight());
    const float dw = float(destination->GetWidth()), dh = float(destination->GetHeight());
    const float s = std::min(dw / sw, dh / sh);
    const int fw = static_cast<int>(s * sw), fh = static_cast<int>(s * sh);
    if (fw < 1 || fh < 1) {
        Refuse("destination image: fitting the " + std::to_string(source->GetWidth()) + " x " +
               std::to_string(source->GetHeight()) + " source into " +
               std::to_string(destination->GetWidth()) + " x " +
               std::to_string(destination->GetHeight()) + " leaves " + std::to_string(fw) + " x " +
               std::to_string(fh) + " pixels to draw");
        return;
    }
    FitOnWorker(source, destination, fw, fh);
}

void RenderMask(const XIImage* mask, const XIImage* image, XIImage* destination,
                const Color& color) {
    if (!Prologue({{mask, "mask image"}, {destination, "destination image"}})) return;
    RenderMaskOnWorker(mask, image, destination, color, false);
}

void RenderInvMask(const XIImage* mask, const XIImage* image, XIImage* destination,
                   const Color& color) {
    if (!Prologue({{mask, "mask image"}, {destination, "destination image"}})) return;
    RenderMaskOnWorker(mask, image, destination, color, true);
}

void WriteTexture(SubImageTexture& texture, const Region& region) {
    Push<Texture> binding;
    texture.SetRegion(region);
    texture.Apply();
    texture.ApplyNearest();
    DrawPlane(region);
}

} // namespace OGL_TESK_AE
