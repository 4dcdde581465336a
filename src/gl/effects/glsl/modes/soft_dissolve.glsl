#include "modes/prelude.glsl"

vec4 apply( vec4 fg, vec4 bg )
{
    if (bg.a + rand() >= 1.0001)
        return fg * fg.a + bg * (1.0 - fg.a);
    return fg;
}
