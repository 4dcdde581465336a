#pragma once

// The generators behind the shader functions Set3dProceduralTexture and Convolution: lattice
// noise volumes and the quarter of a Gaussian kernel. The CPU parts are apart from the textures
// so that their numbers can be checked on their own.

#include <cstdint>
#include <vector>

namespace OGL_TESK_AE {
namespace procedural {

constexpr int kLatticeSide = 16;

// 16 x 16 x 16 values in -1 to 1, entry (x, y, z) at (z * 16 + y) * 16 + x; made once, from a
// generator of its own, so that every run of every process gets the same lattice.
const std::vector<float>& Lattice();

// The lattice interpolated with cubic convolution at a point, coordinates wrapping at 16.
float Noise(float x, float y, float z);

enum Mode { kNoise = 0, kTurbulence = 1, kVeins = 2, kRaw = 3, kDistance = 4 };
// The mode of a texture name (its first two characters), its side in voxels and its scale.
Mode ModeOf(const char* name, int& side, float& scale);

// side^3 bytes, x fastest, then y, then z.
std::vector<uint8_t> Voxels(const char* name, int& side);

// A GL_LUMINANCE 3-D texture of the name's voxels, left bound to GL_TEXTURE_3D. Throws
// Unsupported when the context has no glTexImage3D.
uint32_t MakeVolumeTexture(const char* name);

// w(i, j) for 0 <= i, j < n at row j, column i, and the total weight of the full kernel.
std::vector<float> KernelWeights(int32_t n, float factor, float& total);

} // namespace procedural

// The kernel as a GL_LUMINANCE float rectangle texture, left bound; total as above.
uint32_t MakeKernelTexture(int32_t n, float factor, float& total);

} // namespace OGL_TESK_AE
