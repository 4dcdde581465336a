#version 110
vec4 process( vec4 fragment )
{
    float i = max(max(fragment.r, fragment.g), max(fragment.b, fragment.a));
    if (i > 0.0)
        return vec4(fragment.rgb / i, i);
    return fragment;
}
