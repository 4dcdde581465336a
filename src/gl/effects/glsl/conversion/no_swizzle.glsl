#include "conversion/swizzle_prelude.glsl"

void main()
{
    vec4 f = clamp(texture2DRect(texture, gl_TexCoord[0].st), 0.0, 1.0);
    gl_FragColor = clamp(process(f) * scale, 0.0, 1.0);
}
