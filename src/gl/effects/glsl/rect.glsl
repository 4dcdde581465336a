#version 110
#extension GL_ARB_texture_rectangle : enable
