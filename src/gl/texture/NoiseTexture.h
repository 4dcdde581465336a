#pragma once

#include "common/Export.h"
#include "gl/texture/Texture.h"
#include "math/Vector.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

// A 64 x 64 x 64 volume of random RGB bytes on GL_TEXTURE_3D, shared by every instance, seen
// through a texture matrix that moves and turns it by amounts drawn from the instance's seed:
// two noises with one seed look alike, different seeds look unrelated.
//
// The numbers come from a generator of the library's own with the C runtime's classic rules
// (seeded like srand, 15-bit results like rand with RAND_MAX 32767), so that the placements are
// the same on every platform and the application's own rand sequence is left alone.
class TESK_API NoiseTexture : public Texture {
public:
    explicit NoiseTexture(unsigned int seed = 0);
    ~NoiseTexture() override;

    // Deletes the shared texture; the next Load of any instance makes it again.
    void Finalize() override;
    void Apply() const override;
    // Uploads the volume, binds it, sets the placement as the texture matrix and enables
    // GL_TEXTURE_3D. Unsupported without glTexImage3D.
    void Load() const override;

    // Translation (x, y, z, 0) in texture coordinates and the three angles in degrees (about
    // X, Y and Z, applied in XYZ order, 0).
    const p4f& Offset() const { return offset; }
    const p4f& Angles() const { return angles; }

    // The shared texture name, 0 while there is none.
    static GLuint TextureName();
    // The process-wide volume, 64 x 64 x 64 texels of three bytes, x fastest.
    static const unsigned char* Volume();
    static constexpr int kSide = 64;

private:
    p4f offset;
    p4f angles;
};

} // namespace OGL_TESK_AE
