#include "modes/prelude.glsl"

vec4 apply( vec4 fg, vec4 bg )
{
    vec4 result;
    float lf = luma(fg);
    vec4 d = bg - luma(bg);
    float sb = saturation(bg);
    if (sb > 0.0) {
        float k = saturation(fg) / sb;
        if (k > 1.0) {
            if (d.r > 0.0) k = min(k, (1.0 - lf) / d.r);
            if (d.g > 0.0) k = min(k, (1.0 - lf) / d.g);
            if (d.b > 0.0) k = min(k, (1.0 - lf) / d.b);
        }
        d *= k;
        result = d + (lf - luma(d));
    } else {
        result = vec4(lf, lf, lf, 0.0);
    }
    result.a = fg.a + bg.a;
    return result;
}
