#include "luma_declaration.glsl"

vec4 process( vec4 fragment ) { float l = luma(fragment); return vec4(fragment.rgb * l, l); }
