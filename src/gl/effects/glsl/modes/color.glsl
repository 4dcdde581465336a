#include "modes/prelude.glsl"

vec4 apply( vec4 fg, vec4 bg )
{
    float l = luma(fg);
    vec4 d = bg - luma(bg);
    float c = 1.0;
    for (int i = 0; i < 3; ++i) {
        float x = d[i];
        if (l + x > 1.0) c = min(c, (1.0 - l) / x);
        else if (l + x < 0.0) c = min(c, -l / x);
    }
    if (c < 1.0) d *= c;
    vec4 result = d + (l - luma(d));
    result.a = fg.a + bg.a;
    return result;
}
