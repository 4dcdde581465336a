#include "gl/texture/Implementation/Transfer.h"

#include "common/Errors.h"
#include "common/Implementation/HalfFloat.h"
#include "common/PhaseTimer.h"
#include "gl/effects/Conversion.h"
#include "gl/state/Pixel.h"
#include "gl/texture/TextureBuffer.h"
#include "gl/texture/TextureFormat.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace OGL_TESK_AE {
namespace Implementation {
namespace transfer {

namespace {

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

// Host float RGBA pixels go to and from half-float and float textures through a small scratch
// band converted here, a band at a time, so that it stays in the processor's cache. The driver
// would convert each value on its own, and turning rows over would take either a transfer per
// row or a drawing pass.
constexpr size_t kBandBytes = 1 << 20;

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
    if (order) std::copy(picked, picked + 4, order);
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

// Whether the texture holds an 8-bit image of four channels as the image lays its texels out.
bool SameByteTexels(const Plan& plan, GLenum internalFormat) {
    return IsByteType(plan.type) && PixelTransferBytes(plan.format, plan.type) == 4 &&
           internalFormat == GL_RGBA8 && GetInternalFormat(plan.format, plan.type) == GL_RGBA8;
}

// Channels of a float image the band read-back fills: 4 for RGBA, 1 for luminance and alpha,
// 0 for any other layout.
int FloatChannels(const Plan& plan) {
    if (plan.type != GL_FLOAT) return 0;
    if (plan.format == GL_RGBA) return 4;
    return plan.format == GL_LUMINANCE || plan.format == GL_ALPHA ? 1 : 0;
}

bool IsRedTexture(GLenum internalFormat) {
    return internalFormat == GL_R16F || internalFormat == GL_R32F;
}

} // namespace

Plan Describe(const XIImage* image) {
    Plan plan;
    GetColorSpaceFormat(image, plan.format, plan.type, plan.whiteScale);
    plan.convert = NeedToConvert(image, plan.format, plan.type);
    plan.path = PixelTransferBytes(plan.format, plan.type) == 0 ? Path::kNothing : Path::kNative;
    return plan;
}

Plan PlanLoad(const XIImage* image, const TextureBuffer& buffer, const Region& src,
              const Region& dst, bool mipmap, bool fit, bool processing) {
    Plan plan = Describe(image);
    if (plan.path == Path::kNothing || !image) return plan;
    plan.resized = dst.Width() != src.Width() || dst.Height() != src.Height();
    plan.turnOver = !image->IsBottomUp();
    // A white level below full scale needs the scaling pass even where the layout itself could
    // go straight in.
    const bool asItIs = !plan.convert && !plan.resized && !processing && plan.whiteScale == 1.0f;
    plan.path = Path::kPass;
    if (!asItIs) return plan;
    buffer.Initialize();
    const GLenum internalFormat = buffer.Key().InternalFormat();
    const GLenum texelType = TexelType(internalFormat);
    HalfRounding rounding = HalfRounding::ToNearestEven;
    const bool floatTexels = buffer.Name() != 0 && texelType != 0 && plan.format == GL_RGBA &&
                             plan.type == GL_FLOAT &&
                             (texelType != GL_HALF_FLOAT_ARB || DriverHalfRounding(rounding));
    if (!plan.turnOver) {
        plan.path = floatTexels && !mipmap ? Path::kFloatTexels : Path::kNative;
        return plan;
    }
    // Only turning over is left; a fitted or mipmapped load is drawn.
    if (fit || mipmap) return plan;
    // Float pixels that only need turning over go in with their rows in the opposite order: the
    // drawing pass would copy the same floats from a float staging texture and round them to the
    // texture's format just as the transfer does, at the cost of a whole extra pass.
    if (floatTexels)
        plan.path = Path::kFloatTexels;
    else if (plan.type == GL_FLOAT && GetInternalFormat(GL_RGBA, plan.type) == GL_RGBA32F_ARB)
        plan.path = Path::kRowByRow;
    // Into a texture of their own layout, the pass would copy them texel for texel.
    else if (buffer.Name() != 0 && SameByteTexels(plan, internalFormat))
        plan.path = Path::kByteTexels;
    // 8-bit pixels that only need turning over can be looked up in what the pass makes of each
    // value, and go in as the texels the pass would have drawn.
    else if (buffer.Name() != 0 && IsByteType(plan.type) && internalFormat == GL_RGBA16F_ARB &&
             ByteOrder(plan.format, plan.type, nullptr))
        plan.path = Path::kByteHalves;
    return plan;
}

Plan PlanRead(const XIImage* image, const TextureBuffer& buffer, bool flipRows, bool processing) {
    Plan plan = Describe(image);
    if (plan.path == Path::kNothing || !image) return plan;
    plan.turnOver = flipRows;
    plan.path = Path::kPass;
    const GLenum internalFormat = buffer.Key().InternalFormat();
    const bool readFrom = buffer.IsReadFrom();
    // Float pixels are converted, turned over and summed to luminance on the way out, when the
    // drawing pass would do no more than clamp them to [0, 1] (which is done here too).
    const bool plainPass = !processing && plan.whiteScale == 1.0f &&
                           (!plan.convert || ReadSwizzleFor(image) == nullptr);
    const int channels = FloatChannels(plan);
    if (plainPass && readFrom && TexelType(internalFormat) != 0 && channels != 0 &&
        (!IsRedTexture(internalFormat) || channels == 1)) {
        plan.path = Path::kFloatTexels;
        plan.clampToUnit = plan.convert || flipRows;
        return plan;
    }
    if (plan.convert || processing) return plan;
    if (!flipRows) {
        plan.path = Path::kNative;
        return plan;
    }
    if (plan.whiteScale != 1.0f || !readFrom) return plan;
    // From a target of their own layout, the pass would copy them texel for texel; 8-bit images
    // of half-float targets are looked up in what the pass makes of each texel.
    if (SameByteTexels(plan, internalFormat))
        plan.path = Path::kByteTexels;
    else if (IsByteType(plan.type) && internalFormat == GL_RGBA16F_ARB &&
             ByteOrder(plan.format, plan.type, nullptr))
        plan.path = Path::kByteHalves;
    return plan;
}

void Load(const Plan& plan, const TextureBuffer& buffer, const XIImage* image, const Region& src,
          const Region& dst, bool mipmap, const uint16_t* halves, bool asRgba) {
    if (!IsTransferable(image, src, dst) || plan.path == Path::kNothing || plan.path == Path::kPass)
        return;
    // A native load goes into whatever the caller made of the texture; the other paths make it
    // first, as they may be the first to touch it.
    if (plan.path != Path::kNative || asRgba) buffer.Initialize();
    const GLenum target = buffer.Key().Target();
    const int width = static_cast<int>(src.Width());
    switch (plan.path) {
    case Path::kNative: {
        if (!StaysInside(image, src, plan.format, plan.type)) return;
        GLenum format = plan.format, type = plan.type;
        if (asRgba) AsRgbaLayout(format, type);
        PushPixelUnpack unpack(image, src.XOrigin(), src.YOrigin());
        PhaseTimer timer(Phase::Upload);
        if (mipmap)
            gluBuild2DMipmaps(target, static_cast<GLint>(buffer.Key().InternalFormat()), width,
                              static_cast<GLint>(src.Height()), format, type,
                              image->GetBaseAddress());
        else
            glTexSubImage2D(target, 0, dst.XOrigin(), dst.YOrigin(), width,
                            static_cast<GLsizei>(src.Height()), format, type,
                            image->GetBaseAddress());
        return;
    }
    case Path::kRowByRow: {
        if (!StaysInside(image, src, plan.format, plan.type, true)) return;
        PushPixelUnpack unpack(image, src.XOrigin(), src.YOrigin());
        PhaseTimer timer(Phase::Upload);
        const int rows = static_cast<int>(src.Height());
        const char* base = static_cast<const char*>(image->GetBaseAddress());
        const size_t rowBytes = static_cast<size_t>(image->GetRowBytes());
        // Memory row i of the region (skipped to by the unpack state) becomes texture row
        // rows - 1 - i of dst.
        for (int i = 0; i < rows; ++i)
            glTexSubImage2D(target, 0, dst.XOrigin(), dst.YOrigin() + rows - 1 - i, width, 1,
                            plan.format, plan.type, base + static_cast<size_t>(i) * rowBytes);
        return;
    }
    case Path::kByteTexels: {
        if (!StaysInside(image, src, plan.format, plan.type)) return;
        PhaseTimer timer(Phase::Upload);
        const size_t rowBytes = static_cast<size_t>(width) * 4;
        PushPixelUnpack unpack(4, 0, 0, 0, 0);
        ThroughBands(
            image, src, 4, 4, plan.turnOver, NoBandTransfer,
            [&](unsigned char* texels, const unsigned char* memory) {
                std::memcpy(texels, memory, rowBytes);
            },
            [&](int t0, int n, unsigned char* band) {
                glTexSubImage2D(target, 0, dst.XOrigin(), dst.YOrigin() + t0, width, n, plan.format,
                                plan.type, band);
            });
        return;
    }
    case Path::kFloatTexels: {
        const GLenum texelType = TexelType(buffer.Key().InternalFormat());
        HalfRounding rounding = HalfRounding::ToNearestEven;
        if (texelType == 0 || (texelType == GL_HALF_FLOAT_ARB && !DriverHalfRounding(rounding)) ||
            !StaysInside(image, src, GL_RGBA, GL_FLOAT))
            return;
        PhaseTimer timer(Phase::Upload);
        const size_t values = static_cast<size_t>(width) * 4;
        PushPixelUnpack unpack(4, 0, 0, 0, 0);
        ThroughBands(
            image, src, 16, texelType == GL_FLOAT ? 16 : 8, plan.turnOver, NoBandTransfer,
            [&](unsigned char* texels, const unsigned char* memory) {
                const float* in = reinterpret_cast<const float*>(memory);
                if (texelType == GL_FLOAT)
                    CopyFloats(in, reinterpret_cast<float*>(texels), values, false);
                else
                    FloatsToHalves(in, reinterpret_cast<uint16_t*>(texels), values, rounding);
            },
            [&](int t0, int n, unsigned char* band) {
                glTexSubImage2D(target, 0, dst.XOrigin(), dst.YOrigin() + t0, width, n, GL_RGBA,
                                texelType, band);
            });
        return;
    }
    case Path::kByteHalves: {
        int order[4];
        if (!halves || !ByteOrder(plan.format, plan.type, order) ||
            !StaysInside(image, src, plan.format, plan.type))
            return;
        HalfRounding rounding = HalfRounding::ToNearestEven;
        const bool formula = BytesByFormula(halves, rounding);
        PhaseTimer timer(Phase::Upload);
        PushPixelUnpack unpack(4, 0, 0, 0, 0);
        ThroughBands(
            image, src, 4, 8, plan.turnOver, NoBandTransfer,
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
                glTexSubImage2D(target, 0, dst.XOrigin(), dst.YOrigin() + t0, width, n, GL_RGBA,
                                GL_HALF_FLOAT_ARB, band);
            });
        return;
    }
    case Path::kNothing:
    case Path::kPass:
        return;
    }
}

namespace {

void ReadFloatTexels(const Plan& plan, const TextureBuffer& buffer, const XIImage* image,
                     const Region& imageRegion, const Region& frameRegion) {
    const GLenum internalFormat = buffer.Key().InternalFormat();
    const GLenum texelType = TexelType(internalFormat);
    const int channels = FloatChannels(plan);
    if (texelType == 0 || channels == 0 || !StaysInside(image, imageRegion, plan.format, GL_FLOAT))
        return;
    PhaseTimer timer(Phase::ReadBack);
    const int width = static_cast<int>(imageRegion.Width());
    const int x0 = frameRegion.XOrigin(), y0 = frameRegion.YOrigin();
    if (IsRedTexture(internalFormat)) {
        // One value per texel, made by the program that drew it: read as it is, in rows of
        // two-byte texels packed without padding.
        if (channels != 1) return;
        PushPixelPack pack(1, 0, 0, 0, 0);
        ThroughBands(
            image, imageRegion, 4, texelType == GL_FLOAT ? 4 : 2, plan.turnOver,
            [&](int t0, int n, unsigned char* band) {
                glReadPixels(x0, y0 + t0, width, n, GL_RED, texelType, band);
            },
            [&](const unsigned char* texels, unsigned char* memory) {
                float* out = reinterpret_cast<float*>(memory);
                if (texelType == GL_FLOAT)
                    CopyFloats(reinterpret_cast<const float*>(texels), out, width, false);
                else
                    HalvesToFloats(reinterpret_cast<const uint16_t*>(texels), out, width, false);
            },
            NoBandTransfer);
        return;
    }
    const size_t values = static_cast<size_t>(width) * 4;
    // Single-channel images take one value per texel, made from a row of RGBA floats.
    static std::vector<float> rgbaRow;
    if (channels == 1) rgbaRow.resize(values);
    PushPixelPack pack(4, 0, 0, 0, 0);
    ThroughBands(
        image, imageRegion, 4 * channels, texelType == GL_FLOAT ? 16 : 8, plan.turnOver,
        [&](int t0, int n, unsigned char* band) {
            glReadPixels(x0, y0 + t0, width, n, GL_RGBA, texelType, band);
        },
        [&](const unsigned char* texels, unsigned char* memory) {
            float* out = reinterpret_cast<float*>(memory);
            float* rgba = channels == 4 ? out : rgbaRow.data();
            if (texelType == GL_FLOAT)
                CopyFloats(reinterpret_cast<const float*>(texels), rgba, values, plan.clampToUnit);
            else
                HalvesToFloats(reinterpret_cast<const uint16_t*>(texels), rgba, values,
                               plan.clampToUnit);
            if (plan.format == GL_ALPHA) {
                for (int x = 0; x < width; ++x) out[x] = rgba[4 * x + 3];
            } else if (plan.format == GL_LUMINANCE) {
                // OpenGL's luminance is the sum of the colour channels, not clamped for float
                // buffers.
                for (int x = 0; x < width; ++x)
                    out[x] = rgba[4 * x] + rgba[4 * x + 1] + rgba[4 * x + 2];
            }
        },
        NoBandTransfer);
}

} // namespace

void Read(const Plan& plan, const TextureBuffer& buffer, const XIImage* image,
          const Region& imageRegion, const Region& frameRegion, const uint8_t* bytes, bool asRgba) {
    if (!IsTransferable(image, imageRegion, frameRegion)) return;
    const int width = static_cast<int>(imageRegion.Width());
    const int x0 = frameRegion.XOrigin(), y0 = frameRegion.YOrigin();
    switch (plan.path) {
    case Path::kNative: {
        GLenum format = plan.format, type = plan.type;
        if (asRgba) AsRgbaLayout(format, type);
        if (!StaysInside(image, imageRegion, format, type)) return;
        PushPixelPack pack(image, imageRegion.XOrigin(), imageRegion.YOrigin());
        PhaseTimer timer(Phase::ReadBack);
        glReadPixels(x0, y0, width, static_cast<GLsizei>(imageRegion.Height()), format, type,
                     image->GetBaseAddress());
        return;
    }
    case Path::kByteTexels: {
        if (!StaysInside(image, imageRegion, plan.format, plan.type)) return;
        PhaseTimer timer(Phase::ReadBack);
        const size_t rowBytes = static_cast<size_t>(width) * 4;
        PushPixelPack pack(4, 0, 0, 0, 0);
        ThroughBands(
            image, imageRegion, 4, 4, plan.turnOver,
            [&](int t0, int n, unsigned char* band) {
                glReadPixels(x0, y0 + t0, width, n, plan.format, plan.type, band);
            },
            [&](const unsigned char* texels, unsigned char* out) {
                std::memcpy(out, texels, rowBytes);
            },
            NoBandTransfer);
        return;
    }
    case Path::kFloatTexels:
        ReadFloatTexels(plan, buffer, image, imageRegion, frameRegion);
        return;
    case Path::kByteHalves: {
        int order[4];
        if (!bytes || !ByteOrder(plan.format, plan.type, order) ||
            !StaysInside(image, imageRegion, plan.format, plan.type))
            return;
        const bool formula = HalvesByFormula(bytes);
        PhaseTimer timer(Phase::ReadBack);
        PushPixelPack pack(4, 0, 0, 0, 0);
        ThroughBands(
            image, imageRegion, 4, 8, plan.turnOver,
            [&](int t0, int n, unsigned char* band) {
                glReadPixels(x0, y0 + t0, width, n, GL_RGBA, GL_HALF_FLOAT_ARB, band);
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
        return;
    }
    case Path::kRowByRow: // reading back turns rows over in bands or in the pass
    case Path::kNothing:
    case Path::kPass:
        return;
    }
}

} // namespace transfer
} // namespace Implementation
} // namespace OGL_TESK_AE
