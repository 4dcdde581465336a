#include "modes/prelude.glsl"

vec4 apply( vec4 fg, vec4 bg )
{
    return vec4(fg.rgb * fg.a + bg.rgb * (1.0 - fg.a), fg.a + bg.a);
}
