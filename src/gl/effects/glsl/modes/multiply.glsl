#include "modes/prelude.glsl"

vec4 apply( vec4 fg, vec4 bg )
{
    return fg * bg;
}
