#include "modes/prelude.glsl"

vec4 apply( vec4 fg, vec4 bg )
{
    vec3 farther = vec3(greaterThan(abs(0.5 - bg.rgb), abs(0.5 - fg.rgb)));
    return vec4(mix(fg.rgb, bg.rgb, farther), bg.a);
}
