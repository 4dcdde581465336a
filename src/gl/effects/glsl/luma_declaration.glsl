#version 110
float luma( vec4 pixel );
