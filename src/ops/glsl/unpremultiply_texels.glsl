#include "rect.glsl"
uniform sampler2DRect texture;
void main()
{
    vec4 t = texture2DRect(texture, gl_TexCoord[0].st);
    gl_FragColor = t.a > 0.0 ? vec4(t.rgb / t.a, t.a) : vec4(0.0);
}
