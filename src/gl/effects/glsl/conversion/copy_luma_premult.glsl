#include "luma_declaration.glsl"

vec4 process( vec4 fragment ) { return vec4(luma(fragment)); }
