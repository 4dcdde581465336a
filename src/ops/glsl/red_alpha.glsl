#include "rect.glsl"
uniform sampler2DRect texture;
void main()
{
    float a = (texture2DRect(texture, gl_TexCoord[0].st) * gl_Color).a;
    gl_FragColor = vec4(a > 0.0 ? min(a, 1.0) : 0.0);
}
