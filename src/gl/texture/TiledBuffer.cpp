#include "gl/texture/TiledBuffer.h"

#include "common/Shared.h"
#include "gl/context/Defaults.h"
#include "gl/context/State.h"
#include "gl/geometry/SimplePlane.h"
#include "gl/state/MatrixState.h"
#include "gl/texture/ImageTextures.h"
#include "gl/texture/RenderedTexture.h"
#include "gl/texture/TextureFormat.h"
#include "ops/BasicOps.h"

#include <GL/glu.h>

namespace OGL_TESK_AE {

namespace {

// Half a 1080-line frame high: a tile's textures are what a call holds beside the frames, and
// lower tiles cost llvmpipe little, whose draws walk only the bins they cover (each tile still
// pays for its own upload and read-back: a third of a 1080-line frame was 1.1 times slower).
constexpr int kTileWidth = 2048;
constexpr int kTileHeight = 540;

Region SizeOf(const XIImage* image) {
    return Region(0, 0, static_cast<unsigned>(image->GetWidth()),
                  static_cast<unsigned>(image->GetHeight()));
}

} // namespace

TiledBuffer::TiledBuffer(XIImage* dest) : destination(dest) {
    if (!destination || !Shared::IsThread()) return;
    GLenum format = GL_RGBA, type = 0;
    if (IsValid(destination))
        GetColorSpaceFormat(destination->GetColorSpace(), destination->GetBitDepth(),
                            destination->GetWhiteLevel(), format, type);
    render.reset(new RenderedTexture());
    // A destination smaller than a tile gets a target of its own size (see TextureBuffer::Make).
    const bool small = IsValid(destination) && destination->GetWidth() <= kTileWidth &&
                       destination->GetHeight() <= kTileHeight;
    render->Resize(small ? destination->GetWidth() : kTileWidth,
                   small ? destination->GetHeight() : kTileHeight, format, type);
    render->SetReadProcessing(postProcessing);
    Rewind(render->Width(), render->Height());
}

TiledBuffer::~TiledBuffer() {
    fDrawing.Stop();
    RestoreState();
    try {
        render.reset();
    } catch (...) {
        // Releasing can only fail for a missing entry point; nothing is left to release then.
    }
    tiles.clear();
}

void TiledBuffer::RestoreState() {
    if (!fSaved) return;
    try {
        fSaved->Restore();
    } catch (...) {
        // Only a missing entry point can fail here; the attribute stacks are still popped below.
    }
    fSaved.reset();
}

bool TiledBuffer::Rewind(int tileWidth, int tileHeight) {
    image = destination && destination->GetWidth() > 0 && destination->GetHeight() > 0
                ? SizeOf(destination)
                : Region();
    // The image checks work out row lengths in 32 bits, so a width of over 100 million pixels
    // can pass them with rows of a few bytes. Nothing could be read back into such rows; they
    // get no tiles rather than tens of thousands of tiles that each draw for nothing.
    if (image.IsValid() && int64_t(destination->GetWidth()) * destination->GetBitDepth() / 8 >
                               int64_t(destination->GetRowBytes()))
        image = Region();
    tileSize = tileWidth > 0 && tileHeight > 0 ? Region(0, 0, static_cast<unsigned>(tileWidth),
                                                        static_cast<unsigned>(tileHeight))
                                               : Region();
    current = Region();
    tiles.clear();
    if (!render || !image.IsValid() || !tileSize.IsValid()) return false;
    const int width = static_cast<int>(image.Width());
    const int height = static_cast<int>(image.Height());
    for (int y = 0; y < height; y += tileHeight)
        for (int x = 0; x < width; x += tileWidth)
            tiles.push_back(
                Region(x, y, static_cast<unsigned>(tileWidth), static_cast<unsigned>(tileHeight)) &
                image);
    return !tiles.empty();
}

void TiledBuffer::UseByteTarget() {
    if (render) render->UseByteTexels();
}

bool TiledBuffer::UseSingleChannelTarget() {
    return render && render->UseSingleChannel();
}

bool TiledBuffer::Next() {
    fDrawing.Stop();
    if (!render) {
        // Transparent is all bytes zero in every layout: Clear fills memory, no card needed.
        Clear(destination, Color::Transparent);
        return false;
    }
    if (current.IsValid()) Read(destination);
    if (tiles.empty()) {
        for (Texture* texture : fReleaseFirst) texture->Finalize();
        fReleaseFirst.clear();
        Deselect();
        Finalize();
        return false;
    }
    fDefaultState = false;
    if (!current.IsValid()) {
        firstTile = true;
        if (!fSaved) {
            std::unique_ptr<State> saved(new State());
            saved->Retrieve();
            fSaved = std::move(saved);
        }
        Select();
    }
    current = tiles.front();
    tiles.pop_front();
    if (current.IsValid()) {
        glRasterPos2i(0, 0);
        // A target selected just now is in the default state already.
        if (!fDefaultState) SetDefault();
        Orthogonal(-10000.0, 10000.0);
        fDrawing.Start(Phase::Draw);
    }
    return current.IsValid();
}

bool TiledBuffer::Select() {
    if (render) {
        // A selected target is in the default state but for its own pixel projection.
        if (render->Select()) {
            ProjectionMatrix::Identity.Apply();
            ModelMatrix::Identity.Apply();
        } else {
            SetDefault();
        }
        Orthogonal(-10000.0, 10000.0);
        fDefaultState = true;
    }
    return false;
}

bool TiledBuffer::Deselect() {
    fDrawing.Stop();
    bool result = false;
    if (render) {
        result = render->Deselect();
        current = Region(0, 0, 0, 0);
    }
    RestoreState();
    return result;
}

void TiledBuffer::Reset() {
    if (!render) return;
    SetDefault();
    Orthogonal(-10000.0, 10000.0);
}

void TiledBuffer::Viewport() {
    if (!current.IsValid() || !render) return;
    const GLsizei w = static_cast<GLsizei>(current.Width());
    const GLsizei h = static_cast<GLsizei>(current.Height());
    glViewport(0, 0, w, h);
    glScissor(0, 0, w, h);
}

void TiledBuffer::Orthogonal(double nearPlane, double farPlane) {
    if (!current.IsValid() || !render || !destination) return;
    Viewport();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(current.XOrigin(), current.XEnd(), current.YOrigin(), current.YEnd(), nearPlane,
            farPlane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void TiledBuffer::Perspective(double fovy, double aspect, double nearPlane, double farPlane) {
    if (!current.IsValid() || !render) return;
    Orthogonal(1.0, -1.0);
    glMatrixMode(GL_PROJECTION);
    glScalef(static_cast<float>(image.Width() / 2u), static_cast<float>(image.Height() / 2u), 1.0f);
    gluPerspective(fovy, aspect, nearPlane, farPlane);
    glMatrixMode(GL_MODELVIEW);
}

void TiledBuffer::Perspective(float left, float right, float bottom, float top, float nearPlane,
                              float farPlane) {
    if (!current.IsValid() || !render) return;
    Orthogonal(1.0, -1.0);
    glMatrixMode(GL_PROJECTION);
    glScalef(static_cast<float>(image.Width()) * 0.5f, static_cast<float>(image.Height()) * 0.5f,
             1.0f);
    glFrustum(left, right, bottom, top, nearPlane, farPlane);
    glMatrixMode(GL_MODELVIEW);
}

void TiledBuffer::RS3dPerspective(float left, float right, float bottom, float top, float nearPlane,
                                  float farPlane) {
    if (!current.IsValid() || !render) return;
    Orthogonal(1.0, -1.0);
    glMatrixMode(GL_PROJECTION);
    glScalef(static_cast<float>(image.Width() / 2u), static_cast<float>(image.Height() / 2u), 1.0f);
    glTranslatef(1.0f, 1.0f, 0.0f);
    glFrustum(left, right, bottom, top, nearPlane, farPlane);
    glMatrixMode(GL_MODELVIEW);
    flipped = true;
}

void TiledBuffer::Write(const XIImage* source, int x, int y) {
    if (!IsValid(source)) return;
    DrawOverTile(source, Region(x, y, static_cast<unsigned>(source->GetWidth()),
                                static_cast<unsigned>(source->GetHeight())) &
                             current);
}

Region TiledBuffer::FitRegion(const XIImage* source) const {
    if (!IsValid(source) || !image.IsValid()) return Region();
    const float sx = static_cast<float>(source->GetWidth()) / static_cast<float>(image.Width());
    const float sy = static_cast<float>(source->GetHeight()) / static_cast<float>(image.Height());
    return current.Scale(sx, sy) & SizeOf(source);
}

void TiledBuffer::WriteFit(const XIImage* source) {
    DrawOverTile(source, FitRegion(source));
}

bool TiledBuffer::FitCoversTile(const XIImage* source) const {
    return current.IsValid() && FitRegion(source).IsValid();
}

void TiledBuffer::DrawOverTile(const XIImage* source, Region r) {
    if (!r.IsValid()) return;
    PushProjectionMatrix projection;
    PushModelMatrix model;
    Push<Texture> bindings;
    Orthogonal(-10000.0, 10000.0);
    const int sourceHeight = source->GetHeight();
    if (flipped)
        r = Region(r.XOrigin(), sourceHeight - r.YOrigin() - static_cast<int>(r.Height()),
                   r.Width(), r.Height());
    SubImageTexture texture(source);
    texture.SetRegion(r);
    texture.Apply();
    // Texel for pixel, every fragment samples a texel's centre: nearest sampling reads the same
    // value as linear filtering, with one fetch instead of four.
    if (r.Width() == current.Width() && r.Height() == current.Height()) texture.ApplyNearest();
    if (flipped) texture.FlipTransform();
    sPlane.Draw(static_cast<float>(current.XOrigin()), static_cast<float>(current.YOrigin()),
                static_cast<float>(current.XEnd()), static_cast<float>(current.YEnd()), 0.0f);
}

void TiledBuffer::Read(XIImage* target) {
    if (render && target) render->Read(target, current, flipped);
}

RenderedTexture* TiledBuffer::AcquireRender() {
    if (!render) {
        // Nothing to hand over; the buffer still gets a target to draw into, made only where
        // OpenGL can be asked about it.
        if (Shared::IsThread()) {
            render.reset(new RenderedTexture());
            render->SetReadProcessing(postProcessing);
        }
        return nullptr;
    }
    // The fresh target takes over the framebuffer object and depth buffer; the old one keeps
    // its texture, with the tile in it.
    std::unique_ptr<RenderedTexture> fresh(new RenderedTexture(*render));
    fresh->SetReadProcessing(postProcessing);
    std::unique_ptr<RenderedTexture> acquired(render.release());
    render = std::move(fresh);
    acquired->SetDimensions(static_cast<int>(current.Width()), static_cast<int>(current.Height()));
    Select();
    return acquired.release();
}

void TiledBuffer::SetPostProcessing(GLSL::Shader* processing) {
    postProcessing = processing;
    if (render) render->SetReadProcessing(processing);
}

void TiledBuffer::Finalize() {
    render.reset();
}

} // namespace OGL_TESK_AE
