#include "rect.glsl"
uniform sampler2DRect texture;
uniform float scale;
vec4 process( vec4 fragment );
