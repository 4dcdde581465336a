#include "rect.glsl"
uniform sampler2DRect texture;
void main()
{
    vec4 t = texture2DRect(texture, gl_TexCoord[0].st) * gl_Color;
    gl_FragColor = vec4(t.rgb * t.a, t.a);
}
