#pragma once

#include "common/Export.h"

#include "math/Rotation.h"
#include "math/Vector.h"

namespace OGL_TESK_AE {

class m44f;

// A 3 x 3 float matrix of three row vectors; vectors are transformed as columns. Used for
// rotations given as Euler angles in degrees and for turning rotations back into angles.
class TESK_API m33f {
public:
    m33f() { identity(); }
    m33f(const p3f& r0, const p3f& r1, const p3f& r2) : fRow{r0, r1, r2} {}
    m33f(float m00, float m01, float m02, float m10, float m11, float m12, float m20, float m21,
         float m22)
        : fRow{p3f(m00, m01, m02), p3f(m10, m11, m12), p3f(m20, m21, m22)} {}
    m33f(const m44f& m);
    m33f(float x, float y, float z, RotationOrder o) : m33f(angle(x, y, z, o)) {}
    m33f(const p3f& angles, RotationOrder o) : m33f(angle(angles, o)) {}
    // The conversion buffer is scratch space and is not copied.
    m33f(const m33f& m) : fRow{m.fRow[0], m.fRow[1], m.fRow[2]} {}
    m33f& operator=(const m33f& m) {
        for (int i = 0; i < 3; ++i) fRow[i] = m.fRow[i];
        return *this;
    }

    // R_X(x) R_Y(-y) R_Z(z) multiplied in the sequence of o (degrees); identity for an unknown
    // order. The Y angle turns the other way round, X and Z do not.
    static m33f angle(float x, float y, float z, RotationOrder o);
    static m33f angle(const p3f& a, RotationOrder o) { return angle(a.x, a.y, a.z, o); }
    // Rotation by degrees about the (normalised) axis.
    static m33f axangle(const p3f& axis, float degrees);
    static m33f scale(float x, float y, float z);
    static m33f scale(const p3f& v) { return scale(v.x, v.y, v.z); }
    static m33f scale(float s) { return scale(s, s, s); }
    static m33f scale(double s) { return scale(static_cast<float>(s)); }

    void identity();
    m33f transpose() const;
    p3f diagonal() const { return p3f(fRow[0].x, fRow[1].y, fRow[2].z); }
    p3f& operator[](int i) { return fRow[i]; }
    const p3f& operator[](int i) const { return fRow[i]; }

    m33f operator*(const m33f& b) const;
    m33f& operator*=(const m33f& b) { return *this = *this * b; }
    void transform3f(const float* in, float* out) const;
    bool equal(const m33f& b, float eps) const;

    // A column-major 4 x 4 buffer whose columns are this matrix's rows: loading it into OpenGL
    // applies the transpose.
    operator float*() const;
    // Rows from the upper-left 3 x 3 of a 4 x 4 float array, read as consecutive rows of four.
    void set(const float* m);

    // Gauss-Jordan with partial pivoting; a singular matrix is returned unchanged.
    m33f inverse() const;
    // Euler angles (degrees, order o) that rebuild this rotation through angle(): of the
    // candidate solutions the one nearest ref (the previous frame's angles), each angle then
    // moved by at most one turn toward ref so that animation does not jump by whole turns.
    p3f to_closest_euler(const p3f& ref, RotationOrder o) const;

private:
    p3f fRow[3];
    mutable float fBuffer[16] = {};
};

} // namespace OGL_TESK_AE
