#include "modes/prelude.glsl"

vec4 apply( vec4 fg, vec4 bg )
{
    vec3 f = fg.rgb, b = bg.rgb;
    vec3 m = f * b, s = f + b - m;
    vec3 up = f + (s - f) * (b - 0.5) * 0.5, down = f + (m - f) * (0.5 - b) * 0.5;
    return vec4(mix(down, up, vec3(greaterThan(b, vec3(0.5)))), fg.a);
}
