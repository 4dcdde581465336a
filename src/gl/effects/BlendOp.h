#pragma once

#include "common/Export.h"
#include "gl/state/Blend.h"

#include <type_traits>

namespace OGL_TESK_AE {

// A fixed-function blend mode: blend factors, equations and colour, applied together. A plain
// value that may be copied byte for byte.
class TESK_API BlendOp {
public:
    // Alpha blending over the target: the same as Default.
    BlendOp();
    // All three parts enabled.
    BlendOp(unsigned int srcRGB, unsigned int dstRGB, unsigned int srcAlpha, unsigned int dstAlpha,
            unsigned int equationRGB, unsigned int equationAlpha, const Color& color);

    // Factors, then equations, then colour; Unsupported where an entry point they need is
    // missing.
    void Apply() const;
    void Retrieve();

    static const BlendOp Default;
    static const BlendOp Composite;
    static const BlendOp Additive;
    static const BlendOp Lighten;
    static const BlendOp Screen;
    static const BlendOp Max;
    static const BlendOp Min;
    static const BlendOp Darken;
    static const BlendOp Subtractive;
    static const BlendOp Multiply;
    static const BlendOp Difference;
    static const BlendOp Replace;

    BlendFunc func;
    BlendEquation equation;
    BlendColor color;
};

static_assert(sizeof(BlendOp) == 52, "BlendOp is 52 bytes");
static_assert(std::is_trivially_copyable<BlendOp>::value, "BlendOp is copied byte for byte");

} // namespace OGL_TESK_AE
