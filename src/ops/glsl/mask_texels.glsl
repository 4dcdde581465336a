#include "rect.glsl"
uniform sampler2DRect mask;
uniform sampler2DRect image;
uniform vec4 colour;
uniform vec4 maskBox;
uniform vec4 imageBox;
uniform float inverse;
#include "box.glsl"
void main()
{
    float t = colour.a;
    vec2 m = gl_FragCoord.xy + maskBox.xy;
    if (inside(m, maskBox)) {
        float a = texture2DRect(mask, m).a;
        t *= inverse > 0.5 ? 1.0 - a : a;
    }
    vec2 i = gl_FragCoord.xy + imageBox.xy;
    if (inside(i, imageBox))
        gl_FragColor = texture2DRect(image, i) * (1.0 - t) + vec4(colour.rgb, 1.0) * t;
    else
        gl_FragColor = vec4(colour.rgb, t);
}
