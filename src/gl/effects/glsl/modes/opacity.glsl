#include "modes/prelude.glsl"

vec4 apply( vec4 fg, vec4 bg )
{
    return vec4(bg.rgb, min(1.0, bg.a + fg.a));
}
