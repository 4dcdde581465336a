#include "modes/prelude.glsl"

vec4 apply( vec4 fg, vec4 bg )
{
    return vec4(abs(fg.rgb - bg.rgb) * 4.0, fg.a);
}
