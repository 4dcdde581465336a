#include "modes/prelude.glsl"

vec4 apply( vec4 fg, vec4 bg )
{
    vec3 difference = fg.rgb - bg.rgb;
    return vec4(mix(vec3(0.0), difference, vec3(greaterThanEqual(fg.rgb, bg.rgb))), fg.a + bg.a);
}
