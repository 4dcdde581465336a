#pragma once

#include "common/Export.h"

#include "math/Matrix44.h"
#include "math/Rotation.h"
#include "math/Vector.h"

namespace OGL_TESK_AE {

// Transformations of the current OpenGL matrix.

TESK_API void LoadIdentity();
TESK_API void Translate(const p3f& v);
TESK_API void Translate(float x, float y, float z);
TESK_API void Scale(const p3f& v);
TESK_API void Scale(float x, float y, float z);
TESK_API void Rotate(float degrees, const p3f& axis);
// One glRotatef per axis in the sequence of o, skipping angles of (nearly) zero. Y turns about
// -Y and Z about -Z here, unlike m33f::angle, which only reverses Y.
TESK_API void Rotate(float x, float y, float z, RotationOrder o);
TESK_API void Rotate(const p3f& angles, RotationOrder o);
// Multiplies by m with its row i as OpenGL's column i.
TESK_API void MultMatrix(const m44f& m);

} // namespace OGL_TESK_AE
