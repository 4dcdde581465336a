#include "gl/texture/NoiseTexture.h"

#include "common/Errors.h"
#include "gl/context/Implementation/EntryPoints.h"
#include "math/Rotation.h"
#include "math/Transform.h"

#include <GL/glext.h>

#include <cstdint>
#include <vector>

namespace OGL_TESK_AE {

namespace {

// The classic C runtime generator: 32-bit linear congruential state, 15 bits of each step.
class ClassicRandom {
public:
    explicit ClassicRandom(uint32_t seed) : fState(seed) {}
    int Next() {
        fState = fState * 214013u + 2531011u;
        return static_cast<int>((fState >> 16) & 0x7FFFu);
    }

private:
    uint32_t fState;
};

constexpr float kUnit = 1.0f / 32767.0f;
constexpr size_t kVolumeBytes =
    size_t(NoiseTexture::kSide) * NoiseTexture::kSide * NoiseTexture::kSide * 3;

GLuint sTexture = 0;

const std::vector<unsigned char>& SharedVolume() {
    static const std::vector<unsigned char> volume = [] {
        std::vector<unsigned char> bytes(kVolumeBytes);
        ClassicRandom random(0);
        for (unsigned char& byte : bytes)
            byte = static_cast<unsigned char>(static_cast<double>(random.Next()) * 0.00778222);
        return bytes;
    }();
    return volume;
}

} // namespace

NoiseTexture::NoiseTexture(unsigned int seed) {
    ClassicRandom random(seed);
    const float z = static_cast<float>(random.Next()) * kUnit;
    const float y = static_cast<float>(random.Next()) * kUnit;
    const float x = static_cast<float>(random.Next()) * kUnit;
    offset = p4f(x, y, z, 0.0f);
    const float angle3 = static_cast<float>(random.Next()) * kUnit * 360.0f;
    const float angle2 = static_cast<float>(random.Next()) * kUnit * 360.0f;
    const float angle1 = static_cast<float>(random.Next()) * kUnit * 360.0f;
    angles = p4f(angle1, angle2, angle3, 0.0f);
}

NoiseTexture::~NoiseTexture() {
    NoiseTexture::Finalize();
}

void NoiseTexture::Finalize() {
    Texture::Finalize();
    if (sTexture) glDeleteTextures(1, &sTexture);
    sTexture = 0;
}

GLuint NoiseTexture::TextureName() {
    return sTexture;
}

const unsigned char* NoiseTexture::Volume() {
    return SharedVolume().data();
}

void NoiseTexture::Apply() const {
    binding.Apply();
    Load();
}

void NoiseTexture::Load() const {
    const std::vector<unsigned char>& volume = SharedVolume();
    if (sTexture == 0 || !glIsTexture(sTexture)) {
        Relist();
        glGenTextures(1, &sTexture);
    }
    glBindTexture(GL_TEXTURE_3D, sTexture);
    {
        // The volume is tightly packed; whatever unpack state the caller left must not apply.
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
        glPixelStorei(GL_UNPACK_IMAGE_HEIGHT, 0);
        glPixelStorei(GL_UNPACK_SKIP_IMAGES, 0);
        try {
            TESK_GL(glTexImage3D)
            (GL_TEXTURE_3D, 0, GL_RGBA8, kSide, kSide, kSide, 0, GL_RGB, GL_UNSIGNED_BYTE,
             volume.data());
        } catch (...) {
            glPopClientAttrib();
            throw;
        }
        glPopClientAttrib();
    }

    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glTranslatef(offset.x, offset.y, offset.z);
    Rotate(angles.x, angles.y, angles.z, XYZ);
    glMatrixMode(GL_MODELVIEW);

    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glEnable(GL_TEXTURE_3D);
}

} // namespace OGL_TESK_AE
