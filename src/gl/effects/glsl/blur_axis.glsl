#include "rect.glsl"
// One direction of the separable blur: AXIS is (1, 0) along the rows or (0, 1) along the
// columns, defined by the program that compiles it. The offsets fall between two texels, so
// linear filtering takes two texels per sample.
uniform sampler2DRect blur_source;
uniform vec2 blur_size;
uniform float blur_radius;

void main()
{
    vec2 centre = gl_TexCoord[0].st;
    float along = dot(centre, AXIS);
    float last = dot(blur_size, AXIS) - 1.0;
    vec2 across = centre - AXIS * along;
    vec4 total = texture2DRect(blur_source, centre);
    float sum = 1.0;
    for (float offset = 1.5; offset <= blur_radius; offset += 2.0) {
        float weight = 1.0 - (offset * offset) / (blur_radius * blur_radius);
        float before = clamp(along - offset, 0.0, last);
        float after = clamp(along + offset, 0.0, last);
        total += texture2DRect(blur_source, across + AXIS * before) * weight;
        total += texture2DRect(blur_source, across + AXIS * after) * weight;
        sum += 2.0 * weight;
    }
    gl_FragColor = clamp(total / sum, 0.0, 1.0);
}
