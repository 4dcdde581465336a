#version 110
vec4 process( vec4 fragment ) { vec4 result = fragment; if( result.a > 0.001) result.rgb = result.rgb / result.a; return result; }
