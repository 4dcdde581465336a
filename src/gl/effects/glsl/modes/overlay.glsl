#include "modes/prelude.glsl"

vec4 apply( vec4 fg, vec4 bg )
{
    vec3 f = fg.rgb, b = bg.rgb;
    vec3 low = b * f * 2.0, high = 2.0 * (f + b * (1.0 - f)) - 1.0;
    return vec4(mix(high, low, vec3(lessThan(f, vec3(0.5)))), fg.a);
}
