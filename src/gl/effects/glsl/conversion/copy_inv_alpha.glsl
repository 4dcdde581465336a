#version 110
vec4 process( vec4 fragment ) { return vec4(1.0, 1.0, 1.0, 1.0 - fragment.a); }
