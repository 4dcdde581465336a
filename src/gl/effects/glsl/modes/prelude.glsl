#version 110
float luma( vec4 pixel );
float saturation( vec4 pixel );
float rand();
