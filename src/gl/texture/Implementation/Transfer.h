#pragma once

#include "common/XIImage.h"
#include "math/Region.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>

// How host pixels move between an image and a texture, in both directions. The facts of one
// transfer (the image's layout as OpenGL names it, its white scale, whether its channels need
// the conversion program, which way its rows go, which path moves them) are found once, into a
// Plan, and every step of the transfer reads them from there.

namespace OGL_TESK_AE {

class TextureBuffer;

// Internals of the library's own units, never installed; their symbols are not exported.
namespace Implementation {
namespace transfer {

// The ways pixels move, roughly fastest first. Every path but kPass is a plain transfer, with
// any conversion done on the CPU; kPass is a drawing pass through a staging texture (loading)
// or a conversion program (reading back), which the caller runs.
enum class Path {
    kNothing,     // OpenGL has no name for the image's layout: nothing moves
    kNative,      // one transfer in the image's layout, rows as they lie
    kRowByRow,    // the image's layout, rows turned over, one transfer per row
    kByteTexels,  // 8-bit texels as they lie in a GL_RGBA8 texture, turned over in bands
    kFloatTexels, // float pixels converted on the CPU to or from half or float texels, in bands
    kByteHalves,  // 8-bit pixels to or from half-float texels through the drawing pass's table
    kPass,
};

struct Plan {
    GLenum format = GL_RGBA; // the image's layout as OpenGL names it
    GLenum type = 0;
    float whiteScale = 1.0f;  // turns the image's white level into 1.0
    bool convert = false;     // the channels need the conversion program's swizzle
    bool turnOver = false;    // memory rows go the other way from texture rows
    bool clampToUnit = false; // read-back: texels clamped to [0, 1] as the pass would
    bool resized = false;     // loading: the destination's size differs from the source's
    Path path = Path::kPass;
};

// The image's side of a plan: layout, white scale and conversion; the path is kNative, or
// kNothing for a layout OpenGL has no name for.
Plan Describe(const XIImage* image);

// What loading src of image into buffer's dst takes. processing: a load-processing shader
// is set; fit: the source is drawn fitted into dst.
Plan PlanLoad(const XIImage* image, const TextureBuffer& buffer, const Region& src,
              const Region& dst, bool mipmap, bool fit, bool processing);
// What reading region of buffer (the bound framebuffer) back into image takes. flipRows: the
// rows are turned over on the way.
Plan PlanRead(const XIImage* image, const TextureBuffer& buffer, bool flipRows, bool processing);

// Carries out a plan's plain transfer. halves: for kByteHalves, the half-float texel the
// drawing pass makes of each byte value. Loading with asRgba moves the image's bytes as plain
// RGBA in memory order, for a conversion pass to put in place.
void Load(const Plan& plan, const TextureBuffer& buffer, const XIImage* image, const Region& src,
          const Region& dst, bool mipmap = false, const uint16_t* halves = nullptr,
          bool asRgba = false);
// bytes: for kByteHalves, the byte the reading pass makes of each half-float texel. As
// above for asRgba.
void Read(const Plan& plan, const TextureBuffer& buffer, const XIImage* image,
          const Region& imageRegion, const Region& frameRegion, const uint8_t* bytes = nullptr,
          bool asRgba = false);

} // namespace transfer
} // namespace Implementation

namespace transfer = Implementation::transfer;

} // namespace OGL_TESK_AE
