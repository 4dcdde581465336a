#include "gl/texture/TextureBuffer.h"

#include "common/Errors.h"
#include "common/HalfFloat.h"
#include "common/PhaseTimer.h"
#include "gl/context/Capabilities.h"
#include "gl/context/Defaults.h"
#include "gl/context/EntryPoints.h"
#include "gl/state/Clear.h"
#include "gl/state/Pixel.h"
#include "gl/texture/Selection.h"
#include "gl/texture/TextureFormat.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace OGL_TESK_AE {

namespace {

// The smallest texture a shared (not exact) request gets, so most requests share one size.
constexpr int kSharedWidth = 2048;
constexpr int kSharedHeight = 1080;

const GLenum kTargets[] = {GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_3D, GL_TEXTURE_RECTANGLE_ARB,
                           GL_TEXTURE_CUBE_MAP};

bool IsTransferable(const XIImage* image, const Region& a, const Region& b) {
    if (!image) throw OpenGLError();
    return image->GetBaseAddress() && a.IsValid() && b.IsValid();
}

// Bytes from one row of image to the next as PixelPack and PixelUnpack lay them out for
// pixels of the given size.
int64_t RowStride(const XIImage* image, int64_t pixel, const Region& region) {
    const int64_t declared = image->GetBitDepth() / 8;
    int64_t rowLength = declared > 0 && IsValid(image) ? image->GetRowBytes() / declared : 0;
    if (rowLength == 0) rowLength = region.Width();
    return (rowLength * pixel + 3) / 4 * 4;
}

// Whether the bytes OpenGL touches for region of image stay inside the image's memory (row
// bytes x height from the base address), with rows laid out as PixelPack and PixelUnpack
// describe them: alignment 4, a row length in pixels of the image's bit depth, the region's
// origin skipped. rowByRow: the region goes over one row per call, each call starting a row
// bytes further on. Nothing checks that a colour-space code agrees with the bit depth; a code
// of wider pixels than the depth promises (float RGBA with a depth of 32, say) would otherwise
// make OpenGL read and write far past the image's rows.
bool StaysInside(const XIImage* image, const Region& region, GLenum format, GLenum type,
                 bool rowByRow = false) {
    const int64_t pixel = PixelTransferBytes(format, type);
    // A layout OpenGL has no name for moves nothing; OpenGL would only reject the call and leave
    // an error behind for whatever runs next on the context.
    if (pixel == 0) return false;
    const int64_t rowBytes = image->GetRowBytes(), height = image->GetHeight();
    const int64_t stride = RowStride(image, pixel, region);
    if (region.XOrigin() < 0 || region.YOrigin() < 0 || rowBytes <= 0 || height <= 0) return false;
    const int64_t step = rowByRow ? rowBytes : stride;
    const int64_t last = int64_t(region.YOrigin()) * stride +
                         (int64_t(region.Height()) - 1) * step +
                         (int64_t(region.XOrigin()) + region.Width()) * pixel;
    return last <= rowBytes * height;
}

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
    TextureKey widened = key;
    widened.SetMinimumSize(kSharedWidth, kSharedHeight);
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

void TextureBuffer::LoadSubTexture(const XIImage* image, const Region& src, const Region& dst,
                                   GLenum format, GLenum type, bool mipmap) const {
    const GLenum target = fKey.Target();
    PhaseTimer timer(Phase::Upload);
    if (mipmap) {
        gluBuild2DMipmaps(target, static_cast<GLint>(fKey.InternalFormat()),
                          static_cast<GLint>(src.Width()), static_cast<GLint>(src.Height()), format,
                          type, image->GetBaseAddress());
    } else {
        glTexSubImage2D(target, 0, dst.XOrigin(), dst.YOrigin(), static_cast<GLsizei>(src.Width()),
                        static_cast<GLsizei>(src.Height()), format, type, image->GetBaseAddress());
    }
}

void TextureBuffer::LoadImageNative(const XIImage* image, const Region& src, const Region& dst,
                                    bool mipmap) const {
    if (!IsTransferable(image, src, dst)) return;
    GLenum format = GL_RGBA, type = 0;
    GetFormatType(image, format, type);
    if (!StaysInside(image, src, format, type)) return;
    PushPixelUnpack unpack(image, src.XOrigin(), src.YOrigin());
    LoadSubTexture(image, src, dst, format, type, mipmap);
}

void TextureBuffer::LoadImageTurnedOver(const XIImage* image, const Region& src,
                                        const Region& dst) const {
    if (!IsTransferable(image, src, dst)) return;
    GLenum format = GL_RGBA, type = 0;
    GetFormatType(image, format, type);
    if (!StaysInside(image, src, format, type, true)) return;
    PushPixelUnpack unpack(image, src.XOrigin(), src.YOrigin());
    PhaseTimer timer(Phase::Upload);
    const GLenum target = fKey.Target();
    const GLsizei width = static_cast<GLsizei>(src.Width());
    const int rows = static_cast<int>(src.Height());
    const char* base = static_cast<const char*>(image->GetBaseAddress());
    const size_t rowBytes = static_cast<size_t>(image->GetRowBytes());
    // Memory row i of the region (skipped to by the unpack state) becomes texture row
    // rows - 1 - i of dst.
    for (int i = 0; i < rows; ++i)
        glTexSubImage2D(target, 0, dst.XOrigin(), dst.YOrigin() + rows - 1 - i, width, 1, format,
                        type, base + static_cast<size_t>(i) * rowBytes);
}

void TextureBuffer::LoadImageAsRgba(const XIImage* image, const Region& src,
                                    const Region& dst) const {
    if (!IsTransferable(image, src, dst)) return;
    Initialize();
    GLenum format = GL_RGBA, type = 0;
    GetFormatType(image, format, type);
    if (!StaysInside(image, src, format, type)) return;
    PushPixelUnpack unpack(image, src.XOrigin(), src.YOrigin());
    AsRgbaLayout(format, type);
    PhaseTimer timer(Phase::Upload);
    glTexSubImage2D(fKey.Target(), 0, dst.XOrigin(), dst.YOrigin(),
                    static_cast<GLsizei>(src.Width()), static_cast<GLsizei>(src.Height()), format,
                    type, image->GetBaseAddress());
}

void TextureBuffer::ReadImageNative(const XIImage* image, const Region& imageRegion,
                                    const Region& frameRegion) const {
    if (!IsTransferable(image, imageRegion, frameRegion)) return;
    GLenum format = GL_RGBA, type = 0;
    GetFormatType(image, format, type);
    if (!StaysInside(image, imageRegion, format, type)) return;
    PushPixelPack pack(image, imageRegion.XOrigin(), imageRegion.YOrigin());
    PhaseTimer timer(Phase::ReadBack);
    glReadPixels(frameRegion.XOrigin(), frameRegion.YOrigin(),
                 static_cast<GLsizei>(imageRegion.Width()),
                 static_cast<GLsizei>(imageRegion.Height()), format, type, image->GetBaseAddress());
}

void TextureBuffer::ReadImageAsRgba(const XIImage* image, const Region& imageRegion,
                                    const Region& frameRegion) const {
    if (!IsTransferable(image, imageRegion, frameRegion)) return;
    GLenum format = GL_RGBA, type = 0;
    GetFormatType(image, format, type);
    AsRgbaLayout(format, type);
    if (!StaysInside(image, imageRegion, format, type)) return;
    PushPixelPack pack(image, imageRegion.XOrigin(), imageRegion.YOrigin());
    PhaseTimer timer(Phase::ReadBack);
    glReadPixels(frameRegion.XOrigin(), frameRegion.YOrigin(),
                 static_cast<GLsizei>(imageRegion.Width()),
                 static_cast<GLsizei>(imageRegion.Height()), format, type, image->GetBaseAddress());
}

namespace {

// Host float RGBA pixels go to and from half-float and float textures through a small scratch
// band converted here, a band at a time, so that it stays in the processor's cache. The driver
// would convert each value on its own, and turning rows over would take either a transfer per
// row or a drawing pass.
constexpr size_t kBandBytes = 1 << 20;

bool IsFloatRgba(const XIImage* image) {
    GLenum format = GL_RGBA, type = 0;
    GetFormatType(image, format, type);
    return format == GL_RGBA && type == GL_FLOAT;
}

// The channel type the texture's texels are moved in without conversion; 0 for none handled.
GLenum TexelType(GLenum internalFormat) {
    if (internalFormat == GL_RGBA16F_ARB || internalFormat == GL_R16F) return GL_HALF_FLOAT_ARB;
    if (internalFormat == GL_RGBA32F_ARB || internalFormat == GL_R32F) return GL_FLOAT;
    return 0;
}

// How the driver rounds floats it stores in half-float textures: the library's own conversion
// must make the same texels. Found once by letting the driver convert values that tell the
// modes apart; false when it matches neither mode, and the driver then keeps converting.
bool DriverHalfRounding(HalfRounding& rounding) {
    static int found = -1; // -1 not probed, 0 neither, 1 to nearest even, 2 toward zero
    if (found < 0) {
        std::vector<float> probe;
        for (int e = -26; e <= 17; ++e) {
            const float one = std::ldexp(1.0f, e);
            const float mid = one + std::ldexp(1.0f, e - 11) * 3; // between two halves' steps
            for (float v : {one, mid, std::nextafter(mid, 0.0f), std::nextafter(mid, 1e30f)})
                probe.insert(probe.end(), {v, -v});
        }
        probe.insert(probe.end(), {65519.0f, 65520.0f, INFINITY, -INFINITY});
        while (probe.size() % 4) probe.push_back(0.0f);
        const GLsizei texels = static_cast<GLsizei>(probe.size() / 4);
        std::vector<uint16_t> stored(probe.size(), 0);
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        {
            PushPixelUnpack unpack(4, 0, 0, 0, 0);
            PushPixelPack pack(4, 0, 0, 0, 0);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA16F_ARB, texels, 1, 0, GL_RGBA, GL_FLOAT,
                         probe.data());
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_HALF_FLOAT_ARB, stored.data());
        }
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
        glDeleteTextures(1, &name);
        bool nearest = true, towardZero = true;
        for (size_t i = 0; i < probe.size(); ++i) {
            nearest = nearest && stored[i] == FloatToHalf(probe[i], HalfRounding::ToNearestEven);
            towardZero = towardZero && stored[i] == FloatToHalf(probe[i], HalfRounding::TowardZero);
        }
        found = nearest ? 1 : (towardZero ? 2 : 0);
    }
    rounding = found == 2 ? HalfRounding::TowardZero : HalfRounding::ToNearestEven;
    return found > 0;
}

std::vector<unsigned char>& Scratch() {
    // Only the worker thread moves pixels.
    static std::vector<unsigned char> scratch;
    return scratch;
}

// Walks region's rows of the image's memory (pixels of the given bytes) together with texture
// rows of texelBytes per texel held in the scratch band, a band at a time. Texture row t of the
// region goes with memory row t, or row rows - 1 - t turned over. For a band of n rows from
// texture row t0: fill(t0, n, band) first (a read-back fills it from OpenGL), then
// row(texels, memory) for each row of the band, then empty(t0, n, band) (an upload hands it to
// OpenGL).
template <class Fill, class Row, class Empty>
void ThroughBands(const XIImage* image, const Region& region, int64_t pixel, size_t texelBytes,
                  bool turnOver, Fill fill, Row row, Empty empty) {
    const int width = static_cast<int>(region.Width()), rows = static_cast<int>(region.Height());
    const size_t rowTexelBytes = texelBytes * static_cast<size_t>(width);
    const int band = std::max<int>(1, static_cast<int>(kBandBytes / rowTexelBytes));
    std::vector<unsigned char>& scratch = Scratch();
    scratch.resize(static_cast<size_t>(band) * rowTexelBytes);
    const int64_t stride = RowStride(image, pixel, region);
    unsigned char* first = static_cast<unsigned char*>(image->GetBaseAddress()) +
                           region.YOrigin() * stride + int64_t(region.XOrigin()) * pixel;
    for (int t0 = 0; t0 < rows; t0 += band) {
        const int n = std::min(band, rows - t0);
        fill(t0, n, scratch.data());
        for (int t = 0; t < n; ++t) {
            const int memoryRow = turnOver ? rows - 1 - (t0 + t) : t0 + t;
            row(scratch.data() + static_cast<size_t>(t) * rowTexelBytes,
                first + memoryRow * stride);
        }
        empty(t0, n, scratch.data());
    }
}

void NoBandTransfer(int, int, unsigned char*) {}

} // namespace

namespace {

// The layout of an 8-bit image of four channels whose texels this texture holds as they are:
// false for any other pair.
bool SameByteTexels(const XIImage* image, GLenum internalFormat, GLenum& format, GLenum& type) {
    GetFormatType(image, format, type);
    return IsByteType(type) && PixelTransferBytes(format, type) == 4 &&
           internalFormat == GL_RGBA8 && GetInternalFormat(format, type) == GL_RGBA8;
}

} // namespace

bool TextureBuffer::LoadRowsTurnedOver(const XIImage* image, const Region& src,
                                       const Region& dst) const {
    if (!IsTransferable(image, src, dst)) return true;
    Initialize();
    GLenum format = GL_RGBA, type = 0;
    if (!fTexture || !SameByteTexels(image, fKey.InternalFormat(), format, type)) return false;
    if (!StaysInside(image, src, format, type)) return true;
    PhaseTimer timer(Phase::Upload);
    const int width = static_cast<int>(src.Width());
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    PushPixelUnpack unpack(4, 0, 0, 0, 0);
    ThroughBands(
        image, src, 4, 4, true, NoBandTransfer,
        [&](unsigned char* texels, const unsigned char* memory) {
            std::memcpy(texels, memory, rowBytes);
        },
        [&](int t0, int n, unsigned char* band) {
            glTexSubImage2D(fKey.Target(), 0, dst.XOrigin(), dst.YOrigin() + t0, width, n, format,
                            type, band);
        });
    return true;
}

bool TextureBuffer::ReadRowsTurnedOver(const XIImage* image, const Region& imageRegion,
                                       const Region& frameRegion) const {
    if (!IsTransferable(image, imageRegion, frameRegion)) return true;
    GLenum format = GL_RGBA, type = 0;
    if (!SameByteTexels(image, fKey.InternalFormat(), format, type) || !IsReadFrom()) return false;
    if (!StaysInside(image, imageRegion, format, type)) return true;
    PhaseTimer timer(Phase::ReadBack);
    const int width = static_cast<int>(imageRegion.Width());
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    PushPixelPack pack(4, 0, 0, 0, 0);
    ThroughBands(
        image, imageRegion, 4, 4, true,
        [&](int t0, int n, unsigned char* band) {
            glReadPixels(frameRegion.XOrigin(), frameRegion.YOrigin() + t0, width, n, format, type,
                         band);
        },
        [&](const unsigned char* texels, unsigned char* out) {
            std::memcpy(out, texels, rowBytes);
        },
        NoBandTransfer);
    return true;
}

bool TextureBuffer::LoadFloatRows(const XIImage* image, const Region& src, const Region& dst,
                                  bool turnOver) const {
    if (!IsTransferable(image, src, dst)) return true;
    Initialize();
    const GLenum texelType = TexelType(fKey.InternalFormat());
    if (!fTexture || texelType == 0 || !IsFloatRgba(image)) return false;
    HalfRounding rounding = HalfRounding::ToNearestEven;
    if (texelType == GL_HALF_FLOAT_ARB && !DriverHalfRounding(rounding)) return false;
    if (!StaysInside(image, src, GL_RGBA, GL_FLOAT)) return true;
    PhaseTimer timer(Phase::Upload);
    const int width = static_cast<int>(src.Width());
    const size_t values = static_cast<size_t>(width) * 4;
    PushPixelUnpack unpack(4, 0, 0, 0, 0);
    ThroughBands(
        image, src, 16, texelType == GL_FLOAT ? 16 : 8, turnOver, NoBandTransfer,
        [&](unsigned char* texels, const unsigned char* memory) {
            const float* in = reinterpret_cast<const float*>(memory);
            if (texelType == GL_FLOAT)
                CopyFloats(in, reinterpret_cast<float*>(texels), values, false);
            else
                FloatsToHalves(in, reinterpret_cast<uint16_t*>(texels), values, rounding);
        },
        [&](int t0, int n, unsigned char* band) {
            glTexSubImage2D(fKey.Target(), 0, dst.XOrigin(), dst.YOrigin() + t0, width, n, GL_RGBA,
                            texelType, band);
        });
    return true;
}

namespace {

// Where each of R, G, B and A sits among a pixel's four bytes in memory, for the 8-bit layouts
// OpenGL names with a format and type (packed types as they lie on a little-endian machine).
bool ByteOrder(GLenum format, GLenum type, int order[4]) {
    static const int rgba[4] = {0, 1, 2, 3}, bgra[4] = {2, 1, 0, 3}, argb[4] = {1, 2, 3, 0},
                     abgr[4] = {3, 2, 1, 0};
    const int* picked = nullptr;
    if (type == GL_UNSIGNED_BYTE || type == GL_UNSIGNED_INT_8_8_8_8_REV)
        picked = format == GL_RGBA ? rgba : (format == GL_BGRA ? bgra : nullptr);
    else if (type == GL_UNSIGNED_INT_8_8_8_8)
        picked = format == GL_RGBA ? abgr : (format == GL_BGRA ? argb : nullptr);
    if (!picked) return false;
    std::copy(picked, picked + 4, order);
    return true;
}

// Whether BytesToHalves makes every texel of the table (what the loading pass draws of each
// byte value), and in which rounding mode: it converts a row at a time, several times faster
// than looking each channel up. Checked once per table.
bool BytesByFormula(const uint16_t table[256], HalfRounding& rounding) {
    static const uint16_t* checked = nullptr;
    static int found = 0; // 0 neither mode, 1 to nearest even, 2 toward zero
    if (checked != table) {
        checked = table;
        found = 0;
        uint8_t bytes[256 * 4];
        for (int v = 0; v < 256 * 4; ++v) bytes[v] = static_cast<uint8_t>(v / 4);
        static const int rgba[4] = {0, 1, 2, 3};
        uint16_t halves[256 * 4];
        for (int mode : {1, 2}) {
            BytesToHalves(bytes, halves, 256, rgba,
                          mode == 2 ? HalfRounding::TowardZero : HalfRounding::ToNearestEven);
            bool same = true;
            for (int v = 0; v < 256 * 4 && same; ++v) same = halves[v] == table[v / 4];
            if (same) found = mode;
        }
    }
    rounding = found == 2 ? HalfRounding::TowardZero : HalfRounding::ToNearestEven;
    return found > 0;
}

// The same for the way back: whether HalvesToBytes gives the byte the table holds (what the
// reading pass makes of each half-float texel) for all 65536 of them.
bool HalvesByFormula(const uint8_t table[65536]) {
    static const uint8_t* checked = nullptr;
    static bool same = false;
    if (checked != table) {
        checked = table;
        std::vector<uint16_t> halves(65536);
        std::vector<uint8_t> bytes(65536);
        for (size_t i = 0; i < halves.size(); ++i) halves[i] = static_cast<uint16_t>(i);
        static const int rgba[4] = {0, 1, 2, 3};
        HalvesToBytes(halves.data(), bytes.data(), halves.size() / 4, rgba);
        same = std::equal(bytes.begin(), bytes.end(), table);
    }
    return same;
}

} // namespace

bool TextureBuffer::LoadByteRows(const XIImage* image, const Region& src, const Region& dst,
                                 bool turnOver, const uint16_t halves[256]) const {
    if (!IsTransferable(image, src, dst)) return true;
    Initialize();
    GLenum format = GL_RGBA, type = 0;
    GetFormatType(image, format, type);
    int order[4];
    if (!fTexture || fKey.InternalFormat() != GL_RGBA16F_ARB || !ByteOrder(format, type, order))
        return false;
    if (!StaysInside(image, src, format, type)) return true;
    HalfRounding rounding = HalfRounding::ToNearestEven;
    const bool formula = BytesByFormula(halves, rounding);
    PhaseTimer timer(Phase::Upload);
    const int width = static_cast<int>(src.Width());
    PushPixelUnpack unpack(4, 0, 0, 0, 0);
    ThroughBands(
        image, src, 4, 8, turnOver, NoBandTransfer,
        [&](unsigned char* texels, const unsigned char* in) {
            uint16_t* out = reinterpret_cast<uint16_t*>(texels);
            if (formula) {
                BytesToHalves(in, out, static_cast<size_t>(width), order, rounding);
                return;
            }
            for (int x = 0; x < width; ++x, in += 4, out += 4) {
                out[0] = halves[in[order[0]]];
                out[1] = halves[in[order[1]]];
                out[2] = halves[in[order[2]]];
                out[3] = halves[in[order[3]]];
            }
        },
        [&](int t0, int n, unsigned char* band) {
            glTexSubImage2D(fKey.Target(), 0, dst.XOrigin(), dst.YOrigin() + t0, width, n, GL_RGBA,
                            GL_HALF_FLOAT_ARB, band);
        });
    return true;
}

bool TextureBuffer::ReadByteRows(const XIImage* image, const Region& imageRegion,
                                 const Region& frameRegion, bool turnOver,
                                 const uint8_t bytes[65536]) const {
    if (!IsTransferable(image, imageRegion, frameRegion)) return true;
    GLenum format = GL_RGBA, type = 0;
    GetFormatType(image, format, type);
    int order[4];
    if (fKey.InternalFormat() != GL_RGBA16F_ARB || !ByteOrder(format, type, order)) return false;
    if (!IsReadFrom()) return false;
    if (!StaysInside(image, imageRegion, format, type)) return true;
    const bool formula = HalvesByFormula(bytes);
    PhaseTimer timer(Phase::ReadBack);
    const int width = static_cast<int>(imageRegion.Width());
    PushPixelPack pack(4, 0, 0, 0, 0);
    ThroughBands(
        image, imageRegion, 4, 8, turnOver,
        [&](int t0, int n, unsigned char* band) {
            glReadPixels(frameRegion.XOrigin(), frameRegion.YOrigin() + t0, width, n, GL_RGBA,
                         GL_HALF_FLOAT_ARB, band);
        },
        [&](const unsigned char* texels, unsigned char* out) {
            const uint16_t* in = reinterpret_cast<const uint16_t*>(texels);
            if (formula) {
                HalvesToBytes(in, out, static_cast<size_t>(width), order);
                return;
            }
            for (int x = 0; x < width; ++x, in += 4, out += 4) {
                out[order[0]] = bytes[in[0]];
                out[order[1]] = bytes[in[1]];
                out[order[2]] = bytes[in[2]];
                out[order[3]] = bytes[in[3]];
            }
        },
        NoBandTransfer);
    return true;
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

bool TextureBuffer::ReadFloatRows(const XIImage* image, const Region& imageRegion,
                                  const Region& frameRegion, bool turnOver,
                                  bool clampToUnit) const {
    if (!IsTransferable(image, imageRegion, frameRegion)) return true;
    const GLenum texelType = TexelType(fKey.InternalFormat());
    GLenum format = GL_RGBA, type = 0;
    GetFormatType(image, format, type);
    const int channels =
        format == GL_RGBA ? 4 : (format == GL_LUMINANCE || format == GL_ALPHA ? 1 : 0);
    if (!fTexture || texelType == 0 || type != GL_FLOAT || channels == 0) return false;
    if (!IsReadFrom()) return false;
    if (!StaysInside(image, imageRegion, format, GL_FLOAT)) return true;
    PhaseTimer timer(Phase::ReadBack);
    const int width = static_cast<int>(imageRegion.Width());
    const bool red = fKey.InternalFormat() == GL_R16F || fKey.InternalFormat() == GL_R32F;
    if (red) {
        // One value per texel, made by the program that drew it: read as it is, in rows of
        // two-byte texels packed without padding.
        if (channels != 1) return false;
        PushPixelPack pack(1, 0, 0, 0, 0);
        ThroughBands(
            image, imageRegion, 4, texelType == GL_FLOAT ? 4 : 2, turnOver,
            [&](int t0, int n, unsigned char* band) {
                glReadPixels(frameRegion.XOrigin(), frameRegion.YOrigin() + t0, width, n, GL_RED,
                             texelType, band);
            },
            [&](const unsigned char* texels, unsigned char* memory) {
                float* out = reinterpret_cast<float*>(memory);
                if (texelType == GL_FLOAT)
                    CopyFloats(reinterpret_cast<const float*>(texels), out, width, false);
                else
                    HalvesToFloats(reinterpret_cast<const uint16_t*>(texels), out, width, false);
            },
            NoBandTransfer);
        return true;
    }
    const size_t values = static_cast<size_t>(width) * 4;
    // Single-channel images take one value per texel, made from a row of RGBA floats.
    static std::vector<float> rgbaRow;
    if (channels == 1) rgbaRow.resize(values);
    PushPixelPack pack(4, 0, 0, 0, 0);
    ThroughBands(
        image, imageRegion, 4 * channels, texelType == GL_FLOAT ? 16 : 8, turnOver,
        [&](int t0, int n, unsigned char* band) {
            glReadPixels(frameRegion.XOrigin(), frameRegion.YOrigin() + t0, width, n, GL_RGBA,
                         texelType, band);
        },
        [&](const unsigned char* texels, unsigned char* memory) {
            float* out = reinterpret_cast<float*>(memory);
            float* rgba = channels == 4 ? out : rgbaRow.data();
            if (texelType == GL_FLOAT)
                CopyFloats(reinterpret_cast<const float*>(texels), rgba, values, clampToUnit);
            else
                HalvesToFloats(reinterpret_cast<const uint16_t*>(texels), rgba, values,
                               clampToUnit);
            if (format == GL_ALPHA) {
                for (int x = 0; x < width; ++x) out[x] = rgba[4 * x + 3];
            } else if (format == GL_LUMINANCE) {
                // OpenGL's luminance is the sum of the colour channels, not clamped for float
                // buffers.
                for (int x = 0; x < width; ++x)
                    out[x] = rgba[4 * x] + rgba[4 * x + 1] + rgba[4 * x + 2];
            }
        },
        NoBandTransfer);
    return true;
}

} // namespace OGL_TESK_AE
