#include "conversion/swizzle_prelude.glsl"

void main()
{
    vec4 t = texture2DRect(texture, gl_TexCoord[0].st);
    vec4 f = clamp(t.gbar * scale, 0.0, 1.0);
    gl_FragColor = clamp(process(f), 0.0, 1.0);
}
