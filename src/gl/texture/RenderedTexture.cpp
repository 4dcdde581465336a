#include "gl/texture/RenderedTexture.h"

#include "common/Errors.h"
#include "common/OpaqueBuffer.h"
#include "common/PhaseTimer.h"
#include "gl/context/Capabilities.h"
#include "gl/context/Defaults.h"
#include "gl/context/Implementation/EntryPoints.h"
#include "gl/context/State.h"
#include "gl/effects/Conversion.h"
#include "gl/geometry/SimplePlane.h"
#include "gl/state/Blend.h"
#include "gl/state/Clear.h"
#include "gl/state/MatrixState.h"
#include "gl/state/Pixel.h"
#include "gl/state/Push.h"
#include "gl/texture/ImageTextures.h"
#include "gl/texture/RenderBuffer.h"
#include "gl/texture/Implementation/Transfer.h"
#include "gl/texture/Implementation/Selection.h"
#include "gl/texture/TextureBuffer.h"
#include "gl/texture/TextureFormat.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace OGL_TESK_AE {

namespace {

constexpr int kDefaultWidth = 2048;
constexpr int kDefaultHeight = 1080;

bool HasFramebufferObjects() {
    static const bool supported = IsExtensionSupported("GL_EXT_framebuffer_object");
    return supported;
}

// A temporary texture from the cache, handed back however the scope is left.
struct RecycleBuffer {
    void operator()(TextureBuffer* buffer) const { TextureBuffer::Recycle(buffer); }
};
using TemporaryBuffer = std::unique_ptr<TextureBuffer, RecycleBuffer>;

} // namespace

RenderedTexture::RenderedTexture() {
    Resize(kDefaultWidth, kDefaultHeight, GL_RGBA, GL_FLOAT);
}

RenderedTexture::RenderedTexture(RenderedTexture& other)
    : Context(), Texture(), byteTexels(other.byteTexels), fullFloatTexels(other.fullFloatTexels),
      singleChannel(other.singleChannel) {
    Resize(kDefaultWidth, kDefaultHeight, GL_RGBA, GL_FLOAT);
    framebuffer = other.framebuffer;
    depth = other.depth;
    other.framebuffer = 0;
    other.depth = nullptr;
}

RenderedTexture::~RenderedTexture() {
    try {
        RenderedTexture::Finalize();
    } catch (...) {
        // Only a missing entry point can fail here, and then there is nothing to delete.
    }
}

void RenderedTexture::Resize(int newWidth, int newHeight, GLenum newFormat, GLenum) {
    Finalize();
    width = newWidth;
    height = newHeight;
    format = newFormat;
    type = TexelType();
    GLenum internalFormat = GetInternalFormat(format, type);
    if (singleChannel && internalFormat == GL_RGBA16F_ARB) internalFormat = GL_R16F;
    if (singleChannel && internalFormat == GL_RGBA32F_ARB) internalFormat = GL_R32F;
    key = TextureKey(GL_TEXTURE_RECTANGLE_ARB, width, height, internalFormat, false);
}

void RenderedTexture::UseByteTexels() {
    byteTexels = true;
    Resize(width, height, format, type);
}

GLenum RenderedTexture::TexelType() const {
    static const bool floatTexels = IsExtensionSupported("GL_ARB_texture_float");
    if (byteTexels) return GL_UNSIGNED_BYTE;
    return fullFloatTexels && floatTexels ? GL_FLOAT : GetBestType();
}

void RenderedTexture::UseFullFloatTexels() {
    fullFloatTexels = true;
    Resize(width, height, format, type);
}

bool RenderedTexture::UseSingleChannel() {
    static const bool supported = IsExtensionSupported("GL_ARB_texture_rg");
    if (!supported) return false;
    singleChannel = true;
    Resize(width, height, format, type);
    const GLenum internalFormat = key.InternalFormat();
    return internalFormat == GL_R16F || internalFormat == GL_R32F;
}

void RenderedTexture::Resize(const XIImage* image) {
    if (!IsValid(image)) return;
    GLenum imageFormat = GL_RGBA, imageType = 0;
    GetColorSpaceFormat(image->GetColorSpace(), image->GetBitDepth(), image->GetWhiteLevel(),
                        imageFormat, imageType);
    Resize(image->GetWidth(), image->GetHeight(), imageFormat, imageType);
}

void RenderedTexture::Resize(const RenderedTexture& other) {
    Resize(other.width, other.height, other.format, other.type);
}

void RenderedTexture::ChangeKey(const TextureKey& newKey) {
    // The cache widens shared keys, so the buffer in hand often serves a new, smaller key.
    if (buffer && !newKey.IsAcceptable(buffer->Key())) Texture::Finalize();
    key = newKey;
}

void RenderedTexture::ExtendEdges(int w, int h) const {
    if (!buffer || w <= 0 || h <= 0) return;
    const bool wider = buffer->Width() > w, taller = buffer->Height() > h;
    if (!wider && !taller) return;
    PhaseTimer timer(Phase::EdgeRepeat);
    Selection<TextureBuffer> selection(*buffer);
    if (!selection.IsSelected()) return;
    // The selected framebuffer reads from this very texture; the copies never overlap what
    // they read. Selecting unbinds every texture, so it is bound again to be written.
    buffer->Bind();
    const GLenum target = buffer->Key().Target();
    if (wider) glCopyTexSubImage2D(target, 0, w, 0, w - 1, 0, 1, h);
    if (taller) glCopyTexSubImage2D(target, 0, 0, h, 0, h - 1, wider ? w + 1 : w, 1);
}

bool RenderedTexture::Select() {
    if (width == 0 || height == 0) return false;
    CreateTexture();
    if (!HasFramebufferObjects()) throw OffscreenUnsupported();
    if (framebuffer == 0) TESK_GL(glGenFramebuffersEXT)(1, &framebuffer);
    if (framebuffer == 0) return false;
    TESK_GL(glBindFramebufferEXT)(GL_FRAMEBUFFER_EXT, framebuffer);
    AttachTexture();
    TESK_GL(glCheckFramebufferStatusEXT)(GL_FRAMEBUFFER_EXT);
    if (!depth)
        depth = RenderBuffer::Make(
            RenderKey(buffer->Width(), buffer->Height(), GL_DEPTH_COMPONENT, GL_FLOAT));
    depth->Attach();
    if (TESK_GL(glCheckFramebufferStatusEXT)(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT) {
        Finalize();
        return false;
    }
    TESK_GL(glBindFramebufferEXT)(GL_FRAMEBUFFER_EXT, framebuffer);
    SetDefault();
    Orthogonal(-10000.0, 10000.0);
    return true;
}

bool RenderedTexture::Deselect() {
    return false;
}

void RenderedTexture::Reset() {
    SetDefault();
    Orthogonal(-10000.0, 10000.0);
}

void RenderedTexture::Finalize() {
    Texture::Finalize();
    if (depth) RenderBuffer::Recycle(depth);
    depth = nullptr;
    if (framebuffer) {
        const GLuint name = framebuffer;
        framebuffer = 0;
        TESK_GL(glDeleteFramebuffersEXT)(1, &name);
    }
}

void RenderedTexture::Apply() const {
    if (width == 0 || height == 0) return;
    binding.Apply();
    BindTexture();
    SetTransform(static_cast<float>(width), static_cast<float>(height), 0.0f, 0.0f);
    ApplyLinear();
    ApplyClampToEdge();
    ApplyModulate();
}

void RenderedTexture::Clear() {
    SetDefault();
    Orthogonal(-10000.0, 10000.0);
    ClearColorBuffer(Color::Transparent);
    ClearDepthBuffer(1.0f);
}

void RenderedTexture::Orthogonal(double nearPlane, double farPlane) {
    PixelProjection(width, height, nearPlane, farPlane);
}

void RenderedTexture::Perspective(float left, float right, float bottom, float top, float nearPlane,
                                  float farPlane) {
    if (width == 0 || height == 0) return;
    Orthogonal(1.0, -1.0);
    glMatrixMode(GL_PROJECTION);
    glScalef(static_cast<float>(width) * 0.5f, static_cast<float>(height) * 0.5f, 1.0f);
    glTranslatef(1.0f, 1.0f, 0.0f);
    glScalef(1.0f, -1.0f, 1.0f);
    glFrustum(left, right, bottom, top, nearPlane, farPlane);
    glMatrixMode(GL_MODELVIEW);
}

void RenderedTexture::Blit() {
    if (width == 0 || height == 0) return;
    Push<State> state;
    // The default state would also reset both matrices; the caller's projection is kept so
    // that the quad lands one texel per unit of the current target.
    ProjectionMatrix projection;
    projection.Retrieve();
    ModelMatrix model;
    model.Retrieve();
    SetDefault();
    projection.Apply();
    model.Apply();
    Apply();
    ApplyNearest();
    sPlane.Draw(0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height), 0.0f);
}

void RenderedTexture::Write(const XIImage* image) {
    if (width == 0 || height == 0 || !IsValid(image)) return;
    Push<Texture> bindings;
    SubImageTexture source(image);
    source.Apply();
    sPlane.Draw(0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height), 0.0f);
}

void RenderedTexture::WriteFit(const XIImage* image) {
    if (width == 0 || height == 0 || !IsValid(image)) return;
    const int w = std::min(image->GetWidth(), width);
    const int h = std::min(image->GetHeight(), height);
    Push<Texture> bindings;
    SubImageTexture source(image);
    source.SetRegion(Region(0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h)));
    source.Apply();
    sPlane.Draw(0.0f, 0.0f, static_cast<float>(w), static_cast<float>(h), 0.0f);
}

void RenderedTexture::Read(XIImage* image) {
    if (!IsValid(image)) return;
    Read(image,
         Region(0, 0, static_cast<unsigned>(image->GetWidth()),
                static_cast<unsigned>(image->GetHeight())),
         false);
}

void RenderedTexture::Read(XIImage* image, const Region& region, bool flip) {
    if (!IsValid(image) || !buffer) return;
    const int imageHeight = image->GetHeight();
    Region r = region & Region(0, 0, static_cast<unsigned>(image->GetWidth()),
                               static_cast<unsigned>(imageHeight));
    const Region d(0, 0, r.Width(), r.Height());
    const bool flipRows = !image->IsBottomUp() != flip;
    if (flipRows && r.IsValid())
        r = Region(r.XOrigin(), imageHeight - r.YOrigin() - static_cast<int>(r.Height()), r.Width(),
                   r.Height());
    if (!r.IsValid() || !image->GetBaseAddress()) return;

    transfer::Plan move = transfer::PlanRead(image, *buffer, flipRows, readProcessing != nullptr);
    const uint8_t* bytes = nullptr;
    if (move.path == transfer::Path::kByteHalves && !(bytes = PassedHalfBytes()))
        move.path = transfer::Path::kPass;
    if (move.path != transfer::Path::kPass) {
        transfer::Read(move, *buffer, image, r, d, bytes);
        return;
    }
    ReadThroughPass(image, r, d, flipRows, move.convert, move.whiteScale, move.type);
}

void RenderedTexture::ReadThroughPass(XIImage* image, const Region& r, const Region& d,
                                      bool flipRows, bool convert, float whiteScale,
                                      GLenum imageType) {
    PhaseTimer timer(Phase::ReadConversion);
    const int w = static_cast<int>(r.Width()), h = static_cast<int>(r.Height());
    const GLenum tempType = IsByteType(imageType) ? imageType : GetBestType();
    TemporaryBuffer temp(TextureBuffer::Make(
        TextureKey(GL_TEXTURE_RECTANGLE_ARB, w, h, GetInternalFormat(GL_RGBA, tempType), false)));
    Selection<TextureBuffer> selection(*temp);
    if (!selection.IsSelected()) return;
    PushBlendFunc blend(BlendFunc::Overwrite());
    buffer->Bind();
    SetTransform(static_cast<float>(w), static_cast<float>(h), 0.0f, 0.0f);
    if (flipRows) FlipTransform();
    ApplyNearest();
    {
        Push<State> state;
        static Conversion sRead;
        // A native read already puts the channels in the image's order; only raw RGBA bytes
        // need the swizzle.
        sRead.SetConversion(convert ? ReadSwizzleFor(image) : nullptr);
        sRead.SetProcessing(readProcessing);
        sRead.SetScale(whiteScale);
        sRead.Apply();
        sPlane.Draw(0.0f, 0.0f, static_cast<float>(w), static_cast<float>(h), 0.0f);
    }
    timer.Stop();
    if (convert)
        temp->ReadImageAsRgba(image, r, d);
    else
        temp->ReadImageNative(image, r, d);
}

const uint8_t* RenderedTexture::PassedHalfBytes() {
    static int found = -1; // -1 not yet, 0 not usable, 1 the table holds
    static uint8_t table[65536];
    if (found >= 0) return found ? table : nullptr;
    found = 0;
    // Every half-float bit pattern once, in all four channels of a 256 x 256 target.
    RenderedTexture all;
    all.Resize(256, 256, GL_RGBA, GL_HALF_FLOAT_ARB);
    Selection<RenderedTexture> selection(all);
    if (!selection.IsSelected() || !all.buffer ||
        all.buffer->Key().InternalFormat() != GL_RGBA16F_ARB)
        return nullptr;
    std::vector<uint16_t> halves(65536 * 4);
    for (size_t i = 0; i < halves.size(); ++i) halves[i] = static_cast<uint16_t>(i / 4);
    {
        Push<Texture> binding;
        all.buffer->Bind();
        PushPixelUnpack unpack(4, 0, 0, 0, 0);
        glTexSubImage2D(all.buffer->Key().Target(), 0, 0, 0, 256, 256, GL_RGBA, GL_HALF_FLOAT_ARB,
                        halves.data());
    }
    // An 8-bit RGBA image in memory of its own; bottom-up, so flipping makes the pass turn the
    // rows over as it does for top-down images.
    OpaqueBuffer bytes;
    if (!bytes.Resize(256, 256, ColorSpaceCode::kRGBA, 32, 255)) return nullptr;
    const Region region(0, 0, 256, 256);
    all.ReadThroughPass(&bytes, region, region, true, false, 1.0f, GL_UNSIGNED_BYTE);
    for (int y = 0; y < 256; ++y) {
        // Texel row y lands in memory row 255 - y.
        const uint8_t* row = static_cast<const uint8_t*>(bytes.GetBaseAddress()) +
                             static_cast<size_t>(255 - y) * bytes.GetRowBytes();
        for (int x = 0; x < 256; ++x) {
            const uint8_t* p = row + 4 * x;
            if (p[1] != p[0] || p[2] != p[0] || p[3] != p[0]) return nullptr;
            table[y * 256 + x] = p[0];
        }
    }
    found = 1;
    return table;
}

} // namespace OGL_TESK_AE
