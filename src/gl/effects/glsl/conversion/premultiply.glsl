#version 110
vec4 process( vec4 fragment ) { return vec4(fragment.rgb * fragment.a, fragment.a); }
