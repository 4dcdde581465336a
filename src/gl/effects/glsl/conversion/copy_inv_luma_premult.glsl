#include "luma_declaration.glsl"

vec4 process( vec4 fragment ) { return vec4(1.0 - luma(fragment)); }
