#pragma once

#include "common/Export.h"
#include "math/Color.h"

namespace OGL_TESK_AE {

// The values glClear writes into the colour and depth buffers.
class TESK_API ClearColor {
public:
    ClearColor();
    explicit ClearColor(const Color& color, float depth = 1.0f);

    void Apply() const;
    void Retrieve();

    static const ClearColor Default;

    Color color;
    float depth;
};

// Each clears one buffer of the current target and leaves the clear values, and the colour
// mask, as they were.
TESK_API void ClearColorBuffer(const Color& c);
TESK_API void ClearDepthBuffer(float d);
// Only the alpha channel becomes a; red, green and blue keep their values.
TESK_API void ClearAlphaBuffer(float a);

} // namespace OGL_TESK_AE
