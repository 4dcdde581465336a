#include "modes/prelude.glsl"

vec4 apply( vec4 fg, vec4 bg )
{
    vec4 result = fg;
    float lf = luma(fg);
    vec4 d = fg - lf;
    float sf = saturation(fg);
    if (sf > 0.0) {
        float k = saturation(bg) / sf;
        if (k > 1.0) {
            if (d.r > 0.0) k = min(k, (1.0 - lf) / d.r);
            if (d.g > 0.0) k = min(k, (1.0 - lf) / d.g);
            if (d.b > 0.0) k = min(k, (1.0 - lf) / d.b);
        }
        vec4 e = d * k;
        result = e + (lf - luma(e));
    }
    result.a = fg.a + bg.a;
    return result;
}
