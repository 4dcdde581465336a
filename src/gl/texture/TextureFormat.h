#pragma once

#include "common/Export.h"
#include "common/XIImage.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>

namespace OGL_TESK_AE {

// How host pixel layouts map onto OpenGL, and how large textures are.
//
// A colour-space code is either a host pixel-format code (a small depth code such as 32, or a
// four-character code packed big-endian, "RGBA" = 0x52474241) or an OpenGL internal format.
// Codes that are neither map to GL_RGBA with no type; nothing rejects them.

// Format and type of a colour-space code with its bit depth and white level. A type left to the
// bit depth is taken from the bytes per channel: 1 byte is GL_UNSIGNED_BYTE; 2 bytes
// GL_HALF_FLOAT_ARB when the white level is 1, else GL_UNSIGNED_SHORT; 4 bytes GL_FLOAT when
// the white level is 1, else GL_UNSIGNED_INT.
TESK_API void GetColorSpaceFormat(int colorSpace, int bitDepth, int whiteLevel, GLenum& format,
                                  GLenum& type);
// Format and type of an OpenGL internal format used as a colour-space code.
TESK_API void GetColorSpaceFormat(GLenum internalFormat, GLenum& format, GLenum& type);
// Format, type and the factor that turns the image's white level into 1.0 for integer types
// whose white level is below full scale. An invalid image gives GL_RGBA, no type, scale 1.
TESK_API void GetColorSpaceFormat(const XIImage* image, GLenum& format, GLenum& type,
                                  float& whiteScale);
TESK_API void GetFormatType(const XIImage* image, GLenum& format, GLenum& type);

// The factor for a white level below the full scale of an integer type; 1 otherwise.
TESK_API float GetWhiteScale(GLenum type, int whiteLevel);

// The internal format the library gives a texture for pixels of this format and type: always
// RGBA (RGB8 for unknown types), and depth textures for depth pixels. Float and half types
// depend on what the card supports.
TESK_API GLenum GetInternalFormat(GLenum format, GLenum type);
// GL_RGBA8 for an invalid image.
TESK_API GLenum GetInternalFormat(const XIImage* image);

// Bytes a texture of this size takes: rows rounded to whole bytes, the total to 64 bytes.
TESK_API int32_t CalculateTextureSize(int width, int height, GLenum internalFormat);
TESK_API int32_t CalculateTextureSize(int width, int height, GLenum format, GLenum type);

// Bytes of the image (its size divided by divisor when above 1) as a float RGBA texture whose
// sides are rounded to the nearest power of two (at least 16, ties to the smaller), squared
// when asked. 0 for a null image.
TESK_API int64_t CalculateTextureSizeOnCard(const XIImage* image, int divisor, bool square);

// Bytes OpenGL moves per pixel of format and type; 0 for a pair it refuses (type 0 among them).
TESK_API int PixelTransferBytes(GLenum format, GLenum type);
// Whether type holds 8 bits per channel (plain or packed in 32-bit words).
TESK_API bool IsByteType(GLenum type);
// Whether the image has four 8-bit channels at full white that OpenGL moves as they are laid
// out: work whose images all do can keep its texels in 8 bits (RenderedTexture::UseByteTexels).
TESK_API bool IsByteImage(const XIImage* image);

// Whether both images are valid and laid out alike in memory, so that pixels can be copied
// byte for byte.
TESK_API bool IsMatchingFormat(const XIImage* a, const XIImage* b);

} // namespace OGL_TESK_AE
