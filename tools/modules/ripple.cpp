// An example deformer for the shader catalogue: concentric ripples that move the vertices of a
// mesh along z. The library loads it as the displacement shader "Ripple" and hands it the
// shader's parameters and the bounds of the geometry; the host then calls Process on its
// vertices. A plug-in author's deformer has the same entry points.
//
// Parameters, by the index the description gives them: 0 amplitude (the largest distance a
// vertex moves), 1 wavelength (in the units of the vertices), 2 phase (radians; the
// description's degrees are converted by its procedure). The ripples centre on the middle of
// the bounds in x and y.
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

const char kDescription[] = "!!CPU\n"
                            "# !type displacement Concentric ripples\n"
                            "# !name Ripple\n"
                            "# !ID 40\n"
                            "# !float amplitude 0.1 [0 1] Amplitude\n"
                            "# !float wavelength 0.25 [0.01 10] Wavelength\n"
                            "# !float phase 0 [0 6.2831853] Phase\n";

struct Ripple {
    float amplitude = 0.1f;
    float wavelength = 0.25f;
    float phase = 0.0f;
    float centre[2] = {0.0f, 0.0f};
};

Ripple sRipple;
int sInstances = 0;

} // namespace

extern "C" {

int32_t Description(char* buffer, int32_t length) {
    if (buffer && length > 0)
        std::memcpy(buffer, kDescription,
                    static_cast<size_t>(length) < sizeof kDescription ? size_t(length)
                                                                      : sizeof kDescription);
    return static_cast<int32_t>(sizeof kDescription - 1);
}

void SetParameter1f(int32_t index, float x) {
    if (index == 0) sRipple.amplitude = x;
    if (index == 1 && x > 0.0f) sRipple.wavelength = x;
    if (index == 2) sRipple.phase = x;
}

// The ripples have no vector parameter.
void SetParameter3f(int32_t, float, float, float) {}

void SetBound(float minX, float minY, float, float maxX, float maxY, float) {
    sRipple.centre[0] = (minX + maxX) / 2.0f;
    sRipple.centre[1] = (minY + maxY) / 2.0f;
}

// count vertices of three floats each, moved in place: z gains
// amplitude * sin(2 pi r / wavelength + phase), r the distance from the centre in x and y.
void Process(float* vertices, int32_t count) {
    if (!vertices) return;
    const float k = 6.28318531f / sRipple.wavelength;
    for (int32_t i = 0; i < count; ++i) {
        float* v = vertices + 3 * i;
        const float r = std::hypot(v[0] - sRipple.centre[0], v[1] - sRipple.centre[1]);
        v[2] += sRipple.amplitude * std::sin(k * r + sRipple.phase);
    }
}

// The property block is one float: the largest distance the module moves a vertex, by which a
// host grows the bounds it culls the deformed mesh with.
void GetProperties(void* block) {
    if (block) *static_cast<float*>(block) = std::fabs(sRipple.amplitude);
}

// An instance starts from the description's values; the block is not used.
void InstanceSetup(void*) {
    if (sInstances++ == 0) sRipple = Ripple();
}

void InstanceSetdown(void*) {
    if (sInstances > 0) --sInstances;
}
}
