#include "modes/prelude.glsl"

vec4 apply( vec4 fg, vec4 bg )
{
    vec3 nearer = vec3(lessThan(abs(0.5 - bg.rgb), abs(0.5 - fg.rgb)));
    return vec4(mix(fg.rgb, bg.rgb, nearer), bg.a);
}
