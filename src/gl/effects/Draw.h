#pragma once

#include "common/Export.h"

namespace OGL_TESK_AE {

class Region;
class p2f;
class p3f;

// Textured quads in immediate mode. Corners are always given as p0 (origin), p1 (along the
// first edge), p2 (opposite p0) and p3 (along the second edge); texture coordinates run 0..1
// from p0 towards p1 (s) and towards p3 (t).

// One strip of two triangles with one normal, normalize((p3 - p1) x (p2 - p0)).
TESK_API void DrawQuad(const p3f& p0, const p3f& p1, const p3f& p2, const p3f& p3);

// A columns x rows lattice of vertices drawn as rows - 1 strips; the normal is negated when
// reverse is set. Fewer than two rows draw nothing.
TESK_API void DrawQuad(const p3f& p0, const p3f& p1, const p3f& p2, const p3f& p3, int columns,
                       int rows, bool reverse);

// As the lattice above, with each vertex's texture coordinate interpolated from the corners'
// t0..t3 as its position is from p0..p3; the normal is normalize((p1 - p3) x (p2 - p0)).
TESK_API void DrawQuad(const p3f& p0, const p2f& t0, const p3f& p1, const p2f& t1, const p3f& p2,
                       const p2f& t2, const p3f& p3, const p2f& t3, int columns, int rows);

// The quad through a shared vertex-array grid of columns x rows vertices, placed by the
// model-view matrix (which is restored afterwards).
TESK_API void DrawPlane(const p3f& p0, const p3f& p1, const p3f& p2, const p3f& p3, int columns,
                        int rows);

// The region as a quad at z = 0.
TESK_API void DrawRegion(const Region& region);

} // namespace OGL_TESK_AE
