#include "modes/prelude.glsl"

vec4 apply( vec4 fg, vec4 bg )
{
    float lf = luma(fg), lb = luma(bg);
    if (lf <= 0.0) return vec4(0.0);
    if (lb <= 0.0) {
        float l = clamp(lf, 0.0, 1.0);
        return vec4(l, l, l, fg.a);
    }
    vec4 result = clamp(bg * lf / lb, 0.0, 1.0);
    result.a = bg.a;
    return result;
}
