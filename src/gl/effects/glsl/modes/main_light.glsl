#include "modes/main_prelude.glsl"

void main()
{
    vec4 fg = texture2DRect(front, gl_TexCoord[0].st);
    fg.a = max(fg.r, max(fg.g, fg.b));
    if (fg.a > 0.0) {
        vec4 bg = texture2DRect(back, gl_TexCoord[1].st);
        fg = clamp(fg, 0.0, 1.0);
        bg.rgb *= bg.a;
        bg.rgb *= 1.0 - fg.rgb;
        fg = clamp(apply(fg, bg), 0.0, 1.0);
        fg = mix(bg, fg, apply_mix);
        if (fg.a > 0.0)
            fg.rgb /= fg.a;
    }
    gl_FragColor = fg;
}
