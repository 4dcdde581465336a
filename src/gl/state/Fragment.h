#pragma once

#include "common/Export.h"

#include <GL/gl.h>
#include <cstdint>

namespace OGL_TESK_AE {

// Alpha test. Testing against GL_ALWAYS passes everything, so such a function switches the
// test off instead.
class TESK_API AlphaFunc {
public:
    explicit AlphaFunc(GLenum func = GL_ALWAYS, float ref = 0.0f);

    void Apply() const;
    void Retrieve();

    static bool IsSupported() { return true; }

    static const AlphaFunc Default;
    static const AlphaFunc Always;

    bool enabled;
    GLenum func;
    float ref;
};

// Depth test; GL_ALWAYS switches the test off, as for AlphaFunc.
class TESK_API DepthFunc {
public:
    explicit DepthFunc(GLenum func = GL_ALWAYS);

    void Apply() const;
    void Retrieve();

    static const DepthFunc Never;
    static const DepthFunc Less;
    static const DepthFunc Equal;
    static const DepthFunc LessEqual;
    static const DepthFunc Greater;
    static const DepthFunc NotEqual;
    static const DepthFunc GreaterEqual;
    static const DepthFunc Always;

    bool enabled;
    GLenum func;
};

class TESK_API CullFace {
public:
    explicit CullFace(bool enabled = true, GLenum mode = GL_BACK);

    void Apply() const;
    void Retrieve();

    static const CullFace Default;
    static const CullFace CullBack;

    bool enabled;
    GLenum mode;
};

// Which channels drawing may write; each is 0 or 1.
class TESK_API ColorMask {
public:
    ColorMask(unsigned char red = 1, unsigned char green = 1, unsigned char blue = 1,
              unsigned char alpha = 1);

    void Apply() const;
    void Retrieve();

    static const ColorMask Default;
    static const ColorMask AllChannels;
    static const ColorMask NoAlpha;
    static const ColorMask AlphaOnly;

    int32_t red;
    int32_t green;
    int32_t blue;
    int32_t alpha;
};

} // namespace OGL_TESK_AE
