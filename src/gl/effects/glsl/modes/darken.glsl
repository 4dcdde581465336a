#include "modes/prelude.glsl"

vec4 apply( vec4 fg, vec4 bg )
{
    return vec4(min(fg.rgb, bg.rgb), fg.a);
}
