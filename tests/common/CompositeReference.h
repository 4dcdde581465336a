#pragma once

// Fixed-function blending on the CPU, written from the blend equations: source and destination
// weighted by their factors and combined by the equation, per channel; min and max ignore the
// factors.

#include "BlurReference.h"

#include <GL/gl.h>
#include <GL/glext.h>

namespace tesk_test {

struct Equation {
    GLenum src, dst, srcAlpha, dstAlpha, rgb, alpha;
    RGBA constant{}; // the blend colour
};

// Channel c's factor; the alpha factors (c = 3) see alphas where the colour factors see colours.
inline float Factor(GLenum f, const RGBA& s, const RGBA& d, const RGBA& k, int c) {
    switch (f) {
    case GL_ZERO:
        return 0;
    case GL_ONE:
        return 1;
    case GL_SRC_COLOR:
        return s[c];
    case GL_ONE_MINUS_SRC_COLOR:
        return 1 - s[c];
    case GL_DST_COLOR:
        return d[c];
    case GL_ONE_MINUS_DST_COLOR:
        return 1 - d[c];
    case GL_SRC_ALPHA:
        return s[3];
    case GL_DST_ALPHA:
        return d[3];
    case GL_ONE_MINUS_DST_ALPHA:
        return 1 - d[3];
    case GL_CONSTANT_COLOR:
        return k[c];
    case GL_ONE_MINUS_CONSTANT_COLOR:
        return 1 - k[c];
    case GL_CONSTANT_ALPHA:
        return k[3];
    case GL_ONE_MINUS_CONSTANT_ALPHA:
        return 1 - k[3];
    case GL_SRC_ALPHA_SATURATE:
        return c < 3 ? std::min(s[3], 1 - d[3]) : 1;
    default:
        return 1 - s[3]; // GL_ONE_MINUS_SRC_ALPHA
    }
}

inline RGBA Blended(const Equation& e, const RGBA& s, const RGBA& d) {
    RGBA out;
    for (int c = 0; c < 4; ++c) {
        const GLenum mode = c < 3 ? e.rgb : e.alpha;
        const float a = s[c] * Factor(c < 3 ? e.src : e.srcAlpha, s, d, e.constant, c);
        const float b = d[c] * Factor(c < 3 ? e.dst : e.dstAlpha, s, d, e.constant, c);
        out[c] = mode == GL_MIN                     ? std::min(s[c], d[c])
                 : mode == GL_MAX                   ? std::max(s[c], d[c])
                 : mode == GL_FUNC_REVERSE_SUBTRACT ? b - a
                 : mode == GL_FUNC_SUBTRACT         ? a - b
                                                    : a + b;
    }
    return out;
}

} // namespace tesk_test
