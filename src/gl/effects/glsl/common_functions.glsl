#include "rect.glsl"
uniform vec2 random;

float luma( vec4 pixel )
{
    return pixel.r * 0.30 + pixel.g * 0.59 + pixel.b * 0.11;
}

float saturation( vec4 pixel )
{
    return max(pixel.r, max(pixel.g, pixel.b)) - min(pixel.r, min(pixel.g, pixel.b));
}

float rand()
{
    return fract(sin(dot(gl_TexCoord[0].st, random)) * 43758.5453);
}

// Weights fall off with the product of the squared offsets, so the axes through the centre
// keep full weight. Texels darker than threshold add nothing but still count in the sum.
vec4 blur( sampler2DRect source, vec2 position, float threshold, float radius )
{
    vec4 total = vec4(0.0);
    float sum = 0.0;
    float radius4 = radius * radius * radius * radius;
    vec2 offset;
    for (offset.y = -radius; offset.y <= radius; offset.y += 1.0) {
        for (offset.x = -radius; offset.x <= radius; offset.x += 1.0) {
            float weight = 1.0 - (offset.x * offset.x) * (offset.y * offset.y) / radius4;
            vec4 texel = texture2DRect(source, position + offset);
            if (dot(texel.rgb, vec3(0.299, 0.587, 0.114)) >= threshold)
                total += texel * weight;
            sum += weight;
        }
    }
    return total / sum;
}
