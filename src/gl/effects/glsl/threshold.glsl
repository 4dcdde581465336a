#include "rect.glsl"
uniform sampler2DRect threshold_source;
uniform float threshold_luma;

void main()
{
    vec4 texel = texture2DRect(threshold_source, gl_TexCoord[0].st);
    if (dot(texel.rgb, vec3(0.299, 0.587, 0.114)) < threshold_luma)
        texel = vec4(0.0);
    gl_FragColor = texel;
}
