#include "gl/texture/TextureFormat.h"

#include "gl/context/Capabilities.h"

namespace OGL_TESK_AE {

namespace {

// The bit depth decides the channel type when the code does not.
GLenum TypeFromDepth(GLenum format, int bitDepth, int whiteLevel) {
    int bytes = 0;
    switch (format) {
    case GL_RGBA:
    case GL_BGRA:
        bytes = bitDepth / 32;
        break;
    case GL_RGB:
    case GL_BGR:
        bytes = bitDepth / 24;
        break;
    case GL_LUMINANCE:
    case GL_ALPHA:
    case GL_DEPTH_COMPONENT:
        bytes = bitDepth / 8;
        break;
    default:
        break;
    }
    switch (bytes) {
    case 1:
        return GL_UNSIGNED_BYTE;
    case 2:
        return whiteLevel == 1 ? GL_HALF_FLOAT_ARB : GL_UNSIGNED_SHORT;
    case 4:
        return whiteLevel == 1 ? GL_FLOAT : GL_UNSIGNED_INT;
    default:
        return 0;
    }
}

// Signed 32-bit arithmetic that wraps instead of overflowing.
int32_t Mul32(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
int32_t Add32(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

int BitsPerTexel(GLenum internalFormat) {
    switch (internalFormat) {
    case GL_ALPHA8:
    case GL_LUMINANCE8:
        return 8;
    case GL_ALPHA12:
    case GL_ALPHA16:
    case GL_LUMINANCE12:
    case GL_LUMINANCE16:
    case GL_DEPTH_COMPONENT16:
    case GL_ALPHA16F_ARB:
    case GL_LUMINANCE16F_ARB:
    case GL_R16F:
        return 16;
    case GL_RGB8:
    case GL_DEPTH_COMPONENT24:
        return 24;
    case GL_DEPTH_COMPONENT:
    case GL_ALPHA:
    case GL_LUMINANCE:
    case GL_RGBA8:
    case GL_DEPTH_COMPONENT32:
    case GL_ALPHA32F_ARB:
    case GL_LUMINANCE32F_ARB:
    case GL_R32F:
        return 32;
    case GL_RGB12:
    case GL_RGB16:
    case GL_RGB16F_ARB:
        return 48;
    case GL_RGBA12:
    case GL_RGBA16:
    case GL_RGBA16F_ARB:
        return 64;
    case GL_RGB32F_ARB:
        return 96;
    case GL_RGBA32F_ARB:
        return 128;
    default:
        return 0;
    }
}

// The power of two nearest to value, at least 16; ties go to the smaller one.
uint32_t NearestPowerOfTwo(int value) {
    const uint32_t v = static_cast<uint32_t>(value);
    uint64_t p = 32;
    while (p < v) p <<= 1;
    const uint32_t power = static_cast<uint32_t>(p);
    // Unsigned on purpose: below half the power the difference wraps and the larger one wins.
    return power - v < v - power / 2 ? power : power / 2;
}

} // namespace

void GetColorSpaceFormat(int colorSpace, int bitDepth, int whiteLevel, GLenum& format,
                         GLenum& type) {
    format = GL_RGBA;
    type = 0;
    bool derived = false;
    switch (colorSpace) {
    case ColorSpaceCode::kAlpha:
        format = GL_ALPHA;
        derived = true;
        break;
    case 2:
    case 4:
    case 8:
    case 33:
    case 34:
    case 36:
    case 40:
        format = GL_COLOR_INDEX;
        break;
    case ColorSpaceCode::kRGB555:
        format = GL_RGB;
        type = GL_UNSIGNED_SHORT_5_5_5_1;
        break;
    case ColorSpaceCode::kRGB:
        format = GL_RGB;
        derived = true;
        break;
    case ColorSpaceCode::kARGB:
        if (bitDepth == 32) {
            // Memory bytes A, R, G, B.
            format = GL_BGRA;
            type = GL_UNSIGNED_INT_8_8_8_8;
        } else if (bitDepth == 64) {
            type = GL_UNSIGNED_SHORT;
        } else {
            type = GL_FLOAT;
        }
        break;
    case ColorSpaceCode::k24BG:
        format = GL_BGR;
        derived = true;
        break;
    case ColorSpaceCode::kRGBA:
        derived = true;
        break;
    case ColorSpaceCode::kABGR:
    case ColorSpaceCode::kBGRA:
        format = GL_BGRA;
        derived = true;
        break;
    case ColorSpaceCode::kB565:
        format = GL_RGB;
        type = GL_UNSIGNED_SHORT_5_6_5_REV;
        break;
    case ColorSpaceCode::kL565:
        format = GL_RGB;
        type = GL_UNSIGNED_SHORT_5_6_5;
        break;
    case ColorSpaceCode::kL555:
        format = GL_RGB;
        type = GL_UNSIGNED_SHORT_1_5_5_5_REV;
        break;
    case ColorSpaceCode::k5551:
        format = GL_RGB;
        type = GL_UNSIGNED_SHORT_5_5_5_1;
        break;
    // YUV layouts are passed through as RGBA, unconverted.
    case ColorSpaceCode::FourCC('2', 'v', 'u', 'y'):
    case ColorSpaceCode::FourCC('y', 'u', 'v', 's'):
    case ColorSpaceCode::FourCC('y', 'u', 'v', 'u'):
    case ColorSpaceCode::FourCC('Y', 'V', 'Y', 'U'):
    case ColorSpaceCode::FourCC('U', 'Y', 'V', 'Y'):
    case ColorSpaceCode::FourCC('Y', 'V', 'U', '9'):
    case ColorSpaceCode::FourCC('Y', '2', '1', '1'):
    case ColorSpaceCode::FourCC('Y', '4', '1', '1'):
        derived = true;
        break;
    default:
        GetColorSpaceFormat(static_cast<GLenum>(colorSpace), format, type);
        return;
    }
    if (derived) type = TypeFromDepth(format, bitDepth, whiteLevel);
}

void GetColorSpaceFormat(GLenum internalFormat, GLenum& format, GLenum& type) {
    switch (internalFormat) {
    case GL_ALPHA8:
        format = GL_ALPHA, type = GL_UNSIGNED_BYTE;
        break;
    case GL_ALPHA12:
    case GL_ALPHA16:
        format = GL_ALPHA, type = GL_UNSIGNED_SHORT;
        break;
    case GL_ALPHA16F_ARB:
        format = GL_ALPHA, type = GL_HALF_FLOAT_ARB;
        break;
    case GL_ALPHA32F_ARB:
        format = GL_ALPHA, type = GL_FLOAT;
        break;
    case GL_ALPHA:
        format = GL_ALPHA, type = 0;
        break;
    case GL_LUMINANCE8:
        format = GL_LUMINANCE, type = GL_UNSIGNED_BYTE;
        break;
    case GL_LUMINANCE12:
    case GL_LUMINANCE16:
        format = GL_LUMINANCE, type = GL_UNSIGNED_SHORT;
        break;
    case GL_LUMINANCE16F_ARB:
        format = GL_LUMINANCE, type = GL_HALF_FLOAT_ARB;
        break;
    case GL_LUMINANCE32F_ARB:
        format = GL_LUMINANCE, type = GL_FLOAT;
        break;
    case GL_LUMINANCE:
        format = GL_LUMINANCE, type = 0;
        break;
    case GL_RGB8:
        format = GL_RGB, type = GL_UNSIGNED_BYTE;
        break;
    case GL_RGB12:
    case GL_RGB16:
        format = GL_RGB, type = GL_UNSIGNED_SHORT;
        break;
    case GL_RGB16F_ARB:
        format = GL_RGB, type = GL_HALF_FLOAT_ARB;
        break;
    case GL_RGB32F_ARB:
        format = GL_RGB, type = GL_FLOAT;
        break;
    case GL_RGBA8:
        format = GL_RGBA, type = GL_UNSIGNED_BYTE;
        break;
    case GL_RGBA12:
    case GL_RGBA16:
        format = GL_RGBA, type = GL_UNSIGNED_SHORT;
        break;
    case GL_RGBA16F_ARB:
        format = GL_RGBA, type = GL_HALF_FLOAT_ARB;
        break;
    case GL_RGBA32F_ARB:
        format = GL_RGBA, type = GL_FLOAT;
        break;
    case GL_DEPTH_COMPONENT:
        format = GL_DEPTH_COMPONENT, type = GL_FLOAT;
        break;
    case GL_DEPTH_COMPONENT16:
        format = GL_DEPTH_COMPONENT, type = GL_UNSIGNED_SHORT;
        break;
    case GL_DEPTH_COMPONENT24:
    case GL_DEPTH_COMPONENT32:
        format = GL_DEPTH_COMPONENT, type = GL_UNSIGNED_INT;
        break;
    default:
        format = GL_RGBA, type = 0;
        break;
    }
}

float GetWhiteScale(GLenum type, int whiteLevel) {
    switch (type) {
    case GL_UNSIGNED_BYTE:
    case GL_UNSIGNED_INT_8_8_8_8:
    case GL_UNSIGNED_INT_8_8_8_8_REV:
        return whiteLevel < 255 ? static_cast<float>(whiteLevel) * 0.003921569f : 1.0f;
    case GL_UNSIGNED_SHORT:
        return whiteLevel < 65535 ? static_cast<float>(whiteLevel) * 1.5259022e-5f : 1.0f;
    case GL_UNSIGNED_INT: {
        const uint32_t white = static_cast<uint32_t>(whiteLevel);
        return white != 0xFFFFFFFFu ? static_cast<float>(white) * 2.3283064e-10f : 1.0f;
    }
    default:
        return 1.0f;
    }
}

void GetColorSpaceFormat(const XIImage* image, GLenum& format, GLenum& type, float& whiteScale) {
    format = GL_RGBA;
    type = 0;
    whiteScale = 1.0f;
    if (!IsValid(image)) return;
    const int whiteLevel = image->GetWhiteLevel();
    GetColorSpaceFormat(image->GetColorSpace(), image->GetBitDepth(), whiteLevel, format, type);
    whiteScale = GetWhiteScale(type, whiteLevel);
}

void GetFormatType(const XIImage* image, GLenum& format, GLenum& type) {
    float whiteScale;
    GetColorSpaceFormat(image, format, type, whiteScale);
}

GLenum GetInternalFormat(GLenum format, GLenum type) {
    if (format == GL_DEPTH_COMPONENT) return GL_DEPTH_COMPONENT24;
    switch (type) {
    case GL_BYTE:
    case GL_UNSIGNED_BYTE:
    case GL_UNSIGNED_INT_8_8_8_8:
    case GL_UNSIGNED_INT_8_8_8_8_REV:
        return GL_RGBA8;
    case GL_SHORT:
    case GL_UNSIGNED_SHORT:
        return GL_RGBA16;
    case GL_HALF_FLOAT_ARB:
        if (IsHalfFloatSupported()) return GL_RGBA16F_ARB;
        return IsFloatSupported() ? GL_RGBA32F_ARB : GL_RGBA16;
    case GL_UNSIGNED_INT:
    case GL_FLOAT:
        return IsFloatSupported() ? GL_RGBA32F_ARB : GL_RGBA16;
    default:
        return GL_RGB8;
    }
}

GLenum GetInternalFormat(const XIImage* image) {
    if (!IsValid(image)) return GL_RGBA8;
    GLenum format, type;
    GetFormatType(image, format, type);
    return GetInternalFormat(format, type);
}

int32_t CalculateTextureSize(int width, int height, GLenum internalFormat) {
    // Rows in whole bytes, the whole rounded up to 64 bytes, all in 32-bit arithmetic.
    const int32_t rowBits = Add32(Mul32(BitsPerTexel(internalFormat), width), 3) & ~3;
    const int32_t rowBytes = rowBits / 8;
    return Add32(Mul32(rowBytes, height), 63) & ~63;
}

int32_t CalculateTextureSize(int width, int height, GLenum format, GLenum type) {
    return CalculateTextureSize(width, height, GetInternalFormat(format, type));
}

int64_t CalculateTextureSizeOnCard(const XIImage* image, int divisor, bool square) {
    if (!image) return 0;
    int width = image->GetWidth();
    int height = image->GetHeight();
    if (divisor > 1) {
        width /= divisor;
        height /= divisor;
    }
    int64_t w = NearestPowerOfTwo(width);
    int64_t h = NearestPowerOfTwo(height);
    if (square) w = h = w > h ? w : h;
    return w * h * 16;
}

bool IsMatchingFormat(const XIImage* a, const XIImage* b) {
    return IsValid(a) && IsValid(b) && a->GetWidth() == b->GetWidth() &&
           a->GetHeight() == b->GetHeight() && a->GetRowBytes() == b->GetRowBytes() &&
           a->GetColorSpace() == b->GetColorSpace() && a->GetBitDepth() == b->GetBitDepth() &&
           a->GetWhiteLevel() == b->GetWhiteLevel() && a->IsBottomUp() == b->IsBottomUp();
}

bool IsByteType(GLenum type) {
    return type == GL_UNSIGNED_BYTE || type == GL_UNSIGNED_INT_8_8_8_8 ||
           type == GL_UNSIGNED_INT_8_8_8_8_REV;
}

bool IsByteImage(const XIImage* image) {
    if (!IsValid(image)) return false;
    GLenum format = GL_RGBA, type = 0;
    float whiteScale = 1.0f;
    GetColorSpaceFormat(image, format, type, whiteScale);
    return IsByteType(type) && PixelTransferBytes(format, type) == 4 && whiteScale == 1.0f;
}

int PixelTransferBytes(GLenum format, GLenum type) {
    int channel = 0;
    switch (type) {
    case GL_UNSIGNED_BYTE_3_3_2:
    case GL_UNSIGNED_BYTE_2_3_3_REV:
        return 1;
    case GL_UNSIGNED_SHORT_5_6_5:
    case GL_UNSIGNED_SHORT_5_6_5_REV:
    case GL_UNSIGNED_SHORT_4_4_4_4:
    case GL_UNSIGNED_SHORT_4_4_4_4_REV:
    case GL_UNSIGNED_SHORT_5_5_5_1:
    case GL_UNSIGNED_SHORT_1_5_5_5_REV:
        return 2;
    case GL_UNSIGNED_INT_8_8_8_8:
    case GL_UNSIGNED_INT_8_8_8_8_REV:
    case GL_UNSIGNED_INT_10_10_10_2:
    case GL_UNSIGNED_INT_2_10_10_10_REV:
        return 4;
    case GL_BYTE:
    case GL_UNSIGNED_BYTE:
        channel = 1;
        break;
    case GL_SHORT:
    case GL_UNSIGNED_SHORT:
    case GL_HALF_FLOAT_ARB:
        channel = 2;
        break;
    case GL_INT:
    case GL_UNSIGNED_INT:
    case GL_FLOAT:
        channel = 4;
        break;
    default:
        return 0;
    }
    switch (format) {
    case GL_ALPHA:
    case GL_LUMINANCE:
    case GL_RED:
    case GL_GREEN:
    case GL_BLUE:
    case GL_DEPTH_COMPONENT:
    case GL_COLOR_INDEX:
        return channel;
    case GL_LUMINANCE_ALPHA:
        return 2 * channel;
    case GL_RGB:
    case GL_BGR:
        return 3 * channel;
    case GL_RGBA:
    case GL_BGRA:
        return 4 * channel;
    default:
        return 0;
    }
}

} // namespace OGL_TESK_AE
