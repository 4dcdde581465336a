#include "luma_declaration.glsl"

vec4 process( vec4 fragment ) { return vec4(fragment.rgb, luma(fragment)); }
