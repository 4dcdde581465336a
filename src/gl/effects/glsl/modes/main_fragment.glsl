#include "modes/main_prelude.glsl"

void main()
{
    vec4 fg = texture2DRect(front, gl_TexCoord[0].st);
    vec4 bg = texture2DRect(back, gl_TexCoord[1].st);
    fg.rgb *= fg.a;
    bg.rgb *= bg.a;
    fg = clamp(apply(fg, bg), 0.0, 1.0);
    fg = mix(bg, fg, apply_mix);
    if (fg.a > 0.0)
        fg.rgb /= fg.a;
    gl_FragColor = fg;
}
