// Whether a texel position p lies inside a box (offset, size) of TileOperand: the offset has been
// added already, so inside means within 0..size.
bool inside(vec2 p, vec4 box)
{
    return all(greaterThanEqual(p, vec2(0.0))) && all(lessThan(p, box.zw));
}
