#version 110
vec4 process( vec4 fragment ) { return vec4(fragment.a); }
