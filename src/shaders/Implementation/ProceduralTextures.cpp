#include "shaders/Implementation/ProceduralTextures.h"

#include "gl/context/Implementation/EntryPoints.h"
#include "shaders/Implementation/ManagerState.h"
#include "shaders/ShaderManager.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstring>
#include <string>

namespace OGL_TESK_AE {
namespace procedural {

namespace {

// Uniform values in 0 to 32767: the sequence of the C standard's sample rand() from seed 1,
// kept here rather than taken from rand() so that no other user of rand() shifts it.
class Uniform15 {
public:
    int32_t Next() {
        fState = fState * 1103515245u + 12345u;
        return static_cast<int32_t>((fState >> 16) & 0x7FFFu);
    }

private:
    uint32_t fState = 1;
};

float Weight(float d) {
    if (d < 1.0f) return d * d * d - 2.0f * d * d + 1.0f;
    if (d < 2.0f) return -d * d * d + 5.0f * d * d - 8.0f * d + 4.0f;
    return 0.0f;
}

float At(const std::vector<float>& lattice, int x, int y, int z) {
    return lattice[static_cast<size_t>(((z & 15) * 16 + (y & 15)) * 16 + (x & 15))];
}

uint8_t Byte(float value) {
    if (!(value >= 0.0f)) value = 0.0f;
    if (value > 1.0f) value = 1.0f;
    return static_cast<uint8_t>(value * 255.0f);
}

} // namespace

const std::vector<float>& Lattice() {
    static const std::vector<float> lattice = [] {
        std::vector<float> values(kLatticeSide * kLatticeSide * kLatticeSide);
        Uniform15 random;
        for (float& v : values) v = static_cast<float>(random.Next()) * 6.103702e-5f - 1.0f;
        return values;
    }();
    return lattice;
}

float Noise(float x, float y, float z) {
    const std::vector<float>& lattice = Lattice();
    const float point[3] = {x, y, z};
    int base[3];
    float w[3][4];
    for (int axis = 0; axis < 3; ++axis) {
        const float i = std::floor(point[axis]);
        const float t = point[axis] - i;
        base[axis] = static_cast<int>(i);
        w[axis][0] = Weight(1.0f + t);
        w[axis][1] = Weight(t);
        w[axis][2] = Weight(1.0f - t);
        w[axis][3] = Weight(2.0f - t);
    }
    float sum = 0.0f;
    for (int c = 0; c < 4; ++c)
        for (int b = 0; b < 4; ++b)
            for (int a = 0; a < 4; ++a)
                sum += w[0][a] * w[1][b] * w[2][c] *
                       At(lattice, base[0] + a - 1, base[1] + b - 1, base[2] + c - 1);
    return sum;
}

Mode ModeOf(const char* name, int& side, float& scale) {
    const char* n = name ? name : "";
    auto is = [n](const char* prefix) { return std::strncmp(n, prefix, 2) == 0; };
    side = 64;
    scale = 2.0f;
    if (is("NO")) return kNoise;
    if (is("VE")) return kVeins;
    if (is("RA")) {
        side = 16;
        scale = 1.0f;
        return kRaw;
    }
    if (is("DI")) {
        scale = 1.0f;
        return kDistance;
    }
    return kTurbulence;
}

std::vector<uint8_t> Voxels(const char* name, int& side) {
    float s = 1.0f;
    const Mode mode = ModeOf(name, side, s);
    const int w = side;
    std::vector<uint8_t> voxels(static_cast<size_t>(w) * w * w);
    const std::vector<float>& lattice = Lattice();
    size_t at = 0;
    for (int z = 0; z < w; ++z)
        for (int y = 0; y < w; ++y)
            for (int x = 0; x < w; ++x) {
                const float px = x / s - 0.5f, py = y / s - 0.5f, pz = z / s - 0.5f;
                float value = 0.0f;
                switch (mode) {
                case kNoise:
                    value = (Noise(px, py, pz) + 1.0f) * 0.5f;
                    break;
                case kTurbulence:
                    value = std::fabs(Noise(px, py, pz));
                    break;
                case kVeins:
                    value = 1.0f - 2.0f * std::fabs(Noise(px, py, pz));
                    break;
                case kRaw:
                    value = (At(lattice, static_cast<int>(px), static_cast<int>(py),
                                static_cast<int>(pz)) +
                             1.0f) *
                            0.5f;
                    break;
                case kDistance: {
                    const float u = px / w - 0.5f, v = py / w - 0.5f;
                    value = 2.0f * std::sqrt(2.0f * v * v + u * u);
                    break;
                }
                }
                voxels[at++] = Byte(value);
            }
    return voxels;
}

uint32_t MakeVolumeTexture(const char* name) {
    int side = 0;
    const std::vector<uint8_t> voxels = Voxels(name, side);
    auto texImage3D = TESK_GL(glTexImage3D);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_3D, texture);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R, GL_REPEAT);
    GLint rowLength = 0, alignment = 4;
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, side);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    texImage3D(GL_TEXTURE_3D, 0, GL_LUMINANCE, side, side, side, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE,
               voxels.data());
    glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    return texture;
}

std::vector<float> KernelWeights(int32_t n, float factor, float& total) {
    const size_t side = n > 0 ? static_cast<size_t>(n) : 0;
    std::vector<float> weights(side * side);
    double sum = 0.0;
    for (size_t j = 0; j < side; ++j)
        for (size_t i = 0; i < side; ++i) {
            const double a = i / static_cast<double>(factor), b = j / static_cast<double>(factor);
            const float w =
                i == 0 && j == 0
                    ? 0.46934387f
                    : static_cast<float>(0.4693438592958 *
                                         std::pow(2.71828, -0.692041522491345 * (a * a + b * b)));
            weights[j * side + i] = w;
            // The full kernel of side 2n - 1 holds the centre once, each axis weight and each
            // off-axis weight four times; the table's column 0 beyond the centre repeats row 0.
            if (i == 0 && j == 0)
                sum += w;
            else if (j == 0)
                sum += 4.0 * w;
            else if (i > 0)
                sum += 4.0 * w;
        }
    total = static_cast<float>(sum);
    return weights;
}

} // namespace procedural

uint32_t MakeKernelTexture(int32_t n, float factor, float& total) {
    const std::vector<float> weights = procedural::KernelWeights(n, factor, total);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, texture);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    // Rectangle textures do not repeat; clamping reads the same texels inside the table.
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, GL_LUMINANCE, n, n, 0, GL_LUMINANCE, GL_FLOAT,
                 weights.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    return texture;
}

namespace shadermgr {

void ProceduralTextures::Finalize() {
    for (Slot& slot : slots) {
        if (slot.texture) glDeleteTextures(1, &slot.texture);
        slot = Slot();
    }
    if (convolution.texture) glDeleteTextures(1, &convolution.texture);
    convolution = Convolution();
}

} // namespace shadermgr

uint32_t ShaderManager::Set3dProceduralTexture(const char* name) {
    shadermgr::ProceduralTextures& s = shadermgr::Get().textures;
    const std::string text = name ? name : "";
    glEnable(GL_TEXTURE_3D);
    for (shadermgr::ProceduralTextures::Slot& slot : s.slots)
        if (slot.texture != 0 && slot.name == text && glIsTexture(slot.texture)) {
            glBindTexture(GL_TEXTURE_3D, slot.texture);
            ++slot.uses;
            return slot.texture;
        }
    shadermgr::ProceduralTextures::Slot* slot = &s.slots[0];
    for (shadermgr::ProceduralTextures::Slot& other : s.slots)
        if (other.uses < slot->uses) slot = &other;
    ++slot->uses;
    if (slot->texture != 0) glDeleteTextures(1, &slot->texture);
    slot->texture = 0;
    slot->name = text;
    slot->texture = procedural::MakeVolumeTexture(text.c_str());
    s.Made();
    return slot->texture;
}

} // namespace OGL_TESK_AE
