#include "rect.glsl"
uniform sampler2DRect current;
uniform sampler2DRect source;
uniform vec4 sourceBox;
void main()
{
    vec4 c = texture2DRect(current, gl_FragCoord.xy);
    vec2 p = gl_FragCoord.xy + sourceBox.xy;
    if (all(greaterThanEqual(p, vec2(0.0))) && all(lessThan(p, sourceBox.zw)))
        c.a = texture2DRect(source, p).a;
    gl_FragColor = c;
}
