#include "rect.glsl"
uniform sampler2DRect glow_source;
uniform sampler2DRect glow_blurred;
uniform float glow_intensity;

void main()
{
    vec4 original = texture2DRect(glow_source, gl_TexCoord[0].st);
    vec4 blurred = texture2DRect(glow_blurred, gl_TexCoord[0].st);
    float strength = blurred.a * glow_intensity;
    gl_FragColor = clamp(vec4(blurred.rgb * strength + original.rgb, strength + original.a),
                         0.0, 1.0);
}
