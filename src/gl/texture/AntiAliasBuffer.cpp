#include "gl/texture/AntiAliasBuffer.h"

#include "gl/context/Defaults.h"
#include "gl/geometry/SimplePlane.h"
#include "gl/state/Blend.h"
#include "gl/state/Fragment.h"
#include "gl/state/MatrixState.h"
#include "gl/state/Push.h"
#include "gl/texture/RenderedTexture.h"
#include "gl/texture/Implementation/Selection.h"
#include "gl/texture/TextureFormat.h"

namespace OGL_TESK_AE {

namespace {

constexpr int kTileWidth = 2048;
constexpr int kTileHeight = 1080;

} // namespace

AntiAliasBuffer::AntiAliasBuffer(XIImage* dest, int level) : TiledBuffer(nullptr) {
    SetAntialiasLevel(level);
    if (!IsValid(dest)) return;
    destination = dest;
    GLenum format = GL_RGBA, type = 0;
    GetColorSpaceFormat(dest->GetColorSpace(), dest->GetBitDepth(), dest->GetWhiteLevel(), format,
                        type);
    // One-channel destinations are averaged in colour like the others; the read-back picks the
    // channel.
    if (format == GL_LUMINANCE || format == GL_ALPHA) format = GL_RGBA;
    int width = kTileWidth, height = kTileHeight;
    if (scale >= 2) {
        width /= scale;
        height /= scale;
        supersampled.reset(new RenderedTexture());
        supersampled->Resize(width * scale, height * scale, format, type);
    }
    render.reset(new RenderedTexture());
    render->Resize(width, height, format, type);
    Rewind(width, height);
}

AntiAliasBuffer::~AntiAliasBuffer() {
    try {
        supersampled.reset();
    } catch (...) {
        // Releasing can only fail for a missing entry point; nothing is left to release then.
    }
}

void AntiAliasBuffer::SetAntialiasLevel(int level) {
    static const int kScales[] = {2, 3, 4, 6, 8};
    scale = level >= 1 && level <= 5 ? kScales[level - 1] : 1;
}

RenderedTexture* AntiAliasBuffer::Target() const {
    return scale > 1 && supersampled ? supersampled.get() : render.get();
}

bool AntiAliasBuffer::Select() {
    RenderedTexture* target = Target();
    if (!target) return false;
    const bool selected = target->Select();
    SetDefault();
    Orthogonal(-10000.0, 10000.0);
    return selected;
}

bool AntiAliasBuffer::Deselect() {
    if (RenderedTexture* target = Target()) target->Deselect();
    // The base lets go of the tile and puts back the state saved before the first one.
    return TiledBuffer::Deselect();
}

void AntiAliasBuffer::Viewport() {
    if (!current.IsValid() || !render) return;
    GLsizei width = static_cast<GLsizei>(current.Width());
    GLsizei height = static_cast<GLsizei>(current.Height());
    if (scale >= 2 && supersampled) width *= scale, height *= scale;
    glViewport(0, 0, width, height);
    glScissor(0, 0, width, height);
}

void AntiAliasBuffer::Read(XIImage* image) {
    if (scale < 2 || !supersampled) {
        TiledBuffer::Read(image);
        return;
    }
    if (!render || !IsValid(image)) return;
    const float w = static_cast<float>(render->Width()), h = static_cast<float>(render->Height());
    Selection<RenderedTexture> selection(*render);
    if (!selection.IsSelected()) return;
    PushBlendFunc blend(BlendFunc::Replace);
    PushColor colour;
    Push<DepthFunc> depth(DepthFunc::Always);
    Push<Texture> binding;
    // The scene may have left lighting on; the selection's state puts it back.
    glDisable(GL_LIGHTING);
    supersampled->Apply();
    supersampled->ApplyNearest();
    const float weight = 1.0f / static_cast<float>(scale * scale);
    const float offset = static_cast<float>(scale - 1) * 0.5f;
    for (int j = 0; j < scale; ++j)
        for (int i = 0; i < scale; ++i) {
            glColor4f(weight, weight, weight, weight);
            PushTextureMatrix matrix;
            // Texel offsets come before the saved matrix, which scales [0, 1] to texels.
            glLoadIdentity();
            glTranslatef(static_cast<float>(i) - offset, static_cast<float>(j) - offset, 0.0f);
            glMultMatrixd(matrix.m);
            sPlane.Draw(0.0f, 0.0f, w, h, 0.0f);
            BlendFunc::Add.Apply();
        }
    render->Read(image, current, flipped);
}

RenderedTexture* AntiAliasBuffer::AcquireRender() {
    if (scale <= 1 || !supersampled) return TiledBuffer::AcquireRender();
    // The fresh target takes over the framebuffer object and depth buffer, and keeps drawing at
    // the supersampled size; the old one keeps its texture, with the tile in it.
    std::unique_ptr<RenderedTexture> fresh(new RenderedTexture(*supersampled));
    fresh->SetDimensions(supersampled->Width(), supersampled->Height());
    std::unique_ptr<RenderedTexture> acquired(supersampled.release());
    supersampled = std::move(fresh);
    acquired->SetDimensions(static_cast<int>(current.Width()) * scale,
                            static_cast<int>(current.Height()) * scale);
    Select();
    return acquired.release();
}

void AntiAliasBuffer::Finalize() {
    supersampled.reset();
    render.reset();
}

} // namespace OGL_TESK_AE
