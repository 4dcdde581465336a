#include "gl/texture/TextureBuffer.h"

#include "common/Errors.h"
#include "common/Implementation/HalfFloat.h"
#include "common/PhaseTimer.h"
#include "gl/context/Capabilities.h"
#include "gl/context/Defaults.h"
#include "gl/context/Implementation/EntryPoints.h"
#include "gl/state/Clear.h"
#include "gl/state/Pixel.h"
#include "gl/texture/Implementation/Transfer.h"
#include "gl/texture/Implementation/Selection.h"
#include "gl/texture/TextureFormat.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace OGL_TESK_AE {

namespace {

// The smallest texture a shared (not exact) request gets, so most requests share a few sizes:
// a tile is 2048 wide (see TiledBuffer), a blur's band of one 256 rows or more.
constexpr int kSharedWidth = 2048;
constexpr int kSharedHeight = 256;

const GLenum kTargets[] = {GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_3D, GL_TEXTURE_RECTANGLE_ARB,
                           GL_TEXTURE_CUBE_MAP};

} // namespace

void AsRgbaLayout(GLenum& format, GLenum& type) {
    if (format == GL_BGR) {
        format = GL_RGB;
    } else if (format == GL_BGRA) {
        format = GL_RGBA;
        if (type == GL_UNSIGNED_INT_8_8_8_8 || type == GL_UNSIGNED_INT_8_8_8_8_REV)
            type = GL_UNSIGNED_BYTE;
    }
}

TextureFactory& TextureBuffer::Factory() {
    static TextureFactory factory;
    return factory;
}

namespace {

// Requests up to this size in both directions share power-of-two sizes of their own instead of
// the shared size: llvmpipe's cost of a draw and of reading it back grows with the size of the
// framebuffer's texture (it walks every 64 x 64 bin of it), not with the area drawn, and a
// 64 x 64 call on a 2048 x 1080 target pays about half of its time for that.
constexpr int kSmallSide = 1024;
constexpr int kSmallestSide = 64;
// The side of llvmpipe's bins.
constexpr int kBinSide = 64;

int SizeClass(int side) {
    int size = kSmallestSide;
    while (size < side) size *= 2;
    return size;
}

} // namespace

TextureBuffer* TextureBuffer::Make(const TextureKey& key) {
    if (key.IsExact()) return Factory().Make(key);
    // Exact, so that a small request never takes a large idle texture.
    if (key.Width() <= kSmallSide && key.Height() <= kSmallSide)
        return Factory().Make(TextureKey(key.Target(), SizeClass(key.Width()),
                                         SizeClass(key.Height()), key.InternalFormat(), true));
    // Whole bins: the areas a tiled pass reads differ by a few rows of apron from tile to tile,
    // and each slightly larger one would otherwise leave the texture before idle and make one
    // more of nearly the same size. Never past the largest texture: a request beyond it fails
    // under its own size, one within it stays within.
    GLint largest = 0;
    glGetIntegerv(key.Target() == GL_TEXTURE_RECTANGLE_ARB ? GL_MAX_RECTANGLE_TEXTURE_SIZE_ARB
                                                           : GL_MAX_TEXTURE_SIZE,
                  &largest);
    const auto bins = [largest](int side) {
        const int whole = (side + kBinSide - 1) / kBinSide * kBinSide;
        return whole <= largest ? whole : side;
    };
    TextureKey widened = key;
    widened.SetMinimumSize(std::max(kSharedWidth, bins(key.Width())),
                           std::max(kSharedHeight, bins(key.Height())));
    return Factory().Make(widened);
}

void TextureBuffer::Recycle(TextureBuffer* buffer) {
    Factory().Recycle(buffer);
}

TextureBuffer::TextureBuffer(const TextureKey& key) : fKey(key) {
    fKey.SetSize(0);
    Initialize();
}

TextureBuffer::~TextureBuffer() {
    Finalize();
}

void TextureBuffer::Finalize() {
    if (fFramebuffer) {
        if (EntryPoints::Slot(EntryPoints::e_glDeleteFramebuffersEXT))
            TESK_GL(glDeleteFramebuffersEXT)(1, &fFramebuffer);
        fFramebuffer = 0;
    }
    if (fTexture) glDeleteTextures(1, &fTexture);
    fTexture = 0;
}

void TextureBuffer::Initialize() const {
    if (fTexture) return;
    PhaseTimer timer(Phase::Allocation);
    Relist();
    glGenTextures(1, &fTexture);
    if (!fTexture) throw OpenGLError();
    const GLenum target = fKey.Target();
    GLenum format = GL_RGBA, type = 0;
    GetColorSpaceFormat(fKey.InternalFormat(), format, type);
    if (type == 0) type = GL_UNSIGNED_BYTE; // no pixels are passed; any valid type will do
    glBindTexture(target, fTexture);
    glTexImage2D(target, 0, static_cast<GLint>(fKey.InternalFormat()), fKey.Width(), fKey.Height(),
                 0, format, type, nullptr);
    GLint width = 0, height = 0, internalFormat = 0;
    glGetTexLevelParameteriv(target, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(target, 0, GL_TEXTURE_HEIGHT, &height);
    if (width != fKey.Width() || height != fKey.Height()) {
        glDeleteTextures(1, &fTexture);
        fTexture = 0;
        throw Error(CannotMake("texture", fKey.Width(), fKey.Height(),
                               target == GL_TEXTURE_RECTANGLE_ARB
                                   ? GL_MAX_RECTANGLE_TEXTURE_SIZE_ARB
                                   : GL_MAX_TEXTURE_SIZE));
    }
    glGetTexLevelParameteriv(target, 0, GL_TEXTURE_INTERNAL_FORMAT, &internalFormat);
    // The cache counts what the card really holds.
    fKey = TextureKey(target, fKey.Width(), fKey.Height(), static_cast<GLenum>(internalFormat),
                      fKey.IsExact());
    fKey.SetSize(CalculateTextureSize(fKey.Width(), fKey.Height(), fKey.InternalFormat()));
    // A new texture holds whatever the card had there; make it transparent.
    Selection<TextureBuffer> selection(const_cast<TextureBuffer&>(*this));
    if (selection.IsSelected()) ClearColorBuffer(Color::Transparent);
}

void TextureBuffer::Bind() const {
    for (GLenum target : kTargets) glDisable(target);
    Initialize();
    if (!fTexture) return;
    glEnable(fKey.Target());
    glBindTexture(fKey.Target(), fTexture);
}

void TextureBuffer::Attach() const {
    Initialize();
    const GLenum target = fKey.Target();
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    const GLenum attachment = fKey.InternalFormat() == GL_DEPTH_COMPONENT24
                                  ? GL_DEPTH_ATTACHMENT_EXT
                                  : GL_COLOR_ATTACHMENT0_EXT;
    TESK_GL(glFramebufferTexture2DEXT)(GL_FRAMEBUFFER_EXT, attachment, target, fTexture, 0);
}

bool TextureBuffer::IsResident() const {
    if (!fTexture) return false;
    GLboolean resident = GL_FALSE;
    return glAreTexturesResident(1, &fTexture, &resident) == GL_TRUE || resident == GL_TRUE;
}

bool TextureBuffer::Select() {
    if (fKey.Width() == 0 || fKey.Height() == 0) return false;
    Bind();
    if (!IsFrameBufferSupported()) throw OffscreenUnsupported();
    if (!fFramebuffer) {
        Relist();
        TESK_GL(glGenFramebuffersEXT)(1, &fFramebuffer);
    }
    if (!fFramebuffer) return false;
    TESK_GL(glBindFramebufferEXT)(GL_FRAMEBUFFER_EXT, fFramebuffer);
    Attach();
    if (TESK_GL(glCheckFramebufferStatusEXT)(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT) {
        Finalize();
        return false;
    }
    TESK_GL(glBindFramebufferEXT)(GL_FRAMEBUFFER_EXT, fFramebuffer);
    SetDefault();
    Orthogonal(-10000.0, 10000.0);
    return true;
}

void TextureBuffer::Reset() {
    SetDefault();
    Orthogonal(-10000.0, 10000.0);
}

void TextureBuffer::Orthogonal(double nearPlane, double farPlane) {
    PixelProjection(fKey.Width(), fKey.Height(), nearPlane, farPlane);
}

void PixelProjection(int width, int height, double nearPlane, double farPlane) {
    if (width == 0 || height == 0) return;
    glViewport(0, 0, width, height);
    glScissor(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, width, 0.0, height, nearPlane, farPlane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// The members below move pixels exactly as their names say; which path a whole load or read
// takes is decided by the callers' transfer plans.

void TextureBuffer::LoadImageNative(const XIImage* image, const Region& src, const Region& dst,
                                    bool mipmap) const {
    transfer::Load(transfer::Describe(image), *this, image, src, dst, mipmap);
}

void TextureBuffer::LoadImageTurnedOver(const XIImage* image, const Region& src,
                                        const Region& dst) const {
    transfer::Plan plan = transfer::Describe(image);
    if (plan.path == transfer::Path::kNative) plan.path = transfer::Path::kRowByRow;
    transfer::Load(plan, *this, image, src, dst);
}

void TextureBuffer::LoadImageAsRgba(const XIImage* image, const Region& src,
                                    const Region& dst) const {
    transfer::Load(transfer::Describe(image), *this, image, src, dst, false, nullptr, true);
}

void TextureBuffer::ReadImageNative(const XIImage* image, const Region& imageRegion,
                                    const Region& frameRegion) const {
    transfer::Read(transfer::Describe(image), *this, image, imageRegion, frameRegion);
}

void TextureBuffer::ReadImageAsRgba(const XIImage* image, const Region& imageRegion,
                                    const Region& frameRegion) const {
    transfer::Read(transfer::Describe(image), *this, image, imageRegion, frameRegion, nullptr,
                   true);
}

bool TextureBuffer::IsReadFrom() const {
    if (!fTexture) return false;
    GLint framebuffer = 0, readBuffer = 0, type = 0, name = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    if (framebuffer == 0 || readBuffer != GL_COLOR_ATTACHMENT0_EXT) return false;
    TESK_GL(glGetFramebufferAttachmentParameterivEXT)
    (GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE_EXT,
     &type);
    if (type != GL_TEXTURE) return false;
    TESK_GL(glGetFramebufferAttachmentParameterivEXT)
    (GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT,
     &name);
    return static_cast<GLuint>(name) == fTexture;
}

} // namespace OGL_TESK_AE
