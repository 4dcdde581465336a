#include "rect.glsl"
uniform sampler2DRect texture;
float unit(float v) { return v > 0.0 ? min(v, 1.0) : 0.0; }
void main()
{
    vec4 t = texture2DRect(texture, gl_TexCoord[0].st) * gl_Color;
    gl_FragColor = vec4(unit(t.r * t.a) + unit(t.g * t.a) + unit(t.b * t.a));
}
