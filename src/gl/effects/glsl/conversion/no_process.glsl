#version 110
vec4 process( vec4 fragment ) { return fragment; }
