// A blend op's fixed-function blending, done in the program in one pass over the tile: the
// front (scaled by opacity) blended onto the back where the front's box covers, the back
// elsewhere, transparent beyond both. The op arrives as definitions put before this text: each
// factor as an expression of s, d and constant (FACTOR_*), each equation as one of s and d
// with their factored terms x and y (COMBINE_*), so that each op compiles to its own few
// instructions.
uniform sampler2DRect front;
uniform sampler2DRect back;
uniform vec4 frontBox;
uniform vec4 backBox;
uniform float opacity;
uniform vec4 constant;
#include "box.glsl"
void main()
{
    vec4 d = vec4(0.0);
    vec2 b = gl_FragCoord.xy + backBox.xy;
    if (inside(b, backBox))
        d = texture2DRect(back, b);
    vec2 f = gl_FragCoord.xy + frontBox.xy;
    if (!inside(f, frontBox)) {
        gl_FragColor = d;
        return;
    }
    vec4 s = texture2DRect(front, f) * opacity;
    vec3 x = s.rgb * (FACTOR_SRC_RGB), y = d.rgb * (FACTOR_DST_RGB);
    float xa = s.a * (FACTOR_SRC_ALPHA), ya = d.a * (FACTOR_DST_ALPHA);
    gl_FragColor = vec4(COMBINE_RGB, COMBINE_ALPHA);
}
