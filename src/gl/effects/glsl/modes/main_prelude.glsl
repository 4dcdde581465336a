#include "rect.glsl"
uniform sampler2DRect front;
uniform sampler2DRect back;
uniform float apply_mix;
vec4 apply( vec4 fg, vec4 bg );
