#include "modes/prelude.glsl"

vec4 apply( vec4 fg, vec4 bg )
{
    vec3 f = fg.rgb, b = bg.rgb;
    return vec4(f + (b - 0.5) * (1.0 - f) * f * 2.0, fg.a);
}
