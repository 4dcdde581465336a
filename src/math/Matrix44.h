#pragma once

#include "common/Export.h"

#include "math/Vector.h"

namespace OGL_TESK_AE {

class m33f;

// A 4 x 4 float matrix of four row vectors. Its operators follow the conventions the effects were
// written against rather than plain matrix algebra: `*` composes only the rotation part of its
// right operand, and `+` and `+=` add to different elements (see below).
class TESK_API m44f {
public:
    m44f() { identity(); }
    // Rows (r_i, 0) and (0, 0, 0, 1).
    m44f(const p3f& r0, const p3f& r1, const p3f& r2);
    m44f(const p4f& r0, const p4f& r1, const p4f& r2, const p4f& r3) : fRow{r0, r1, r2, r3} {}
    m44f(const m33f& m);
    // m with t as the translation column.
    m44f(const m33f& m, const p3f& t);
    m44f(const float* p, bool transposed) { set(p, transposed); }
    m44f(const m44f& m) = default;
    m44f& operator=(const m44f& m) = default;

    // Row by row, or (transposed) column by column as OpenGL stores matrices.
    void set(const float* p, bool transposed);
    m44f& identity();
    m44f transpose() const;
    p4f& operator[](int i) { return fRow[i]; }
    const p4f& operator[](int i) const { return fRow[i]; }

    // The rows, one after the other, in the conversion buffer: OpenGL reads row i as column i.
    operator float*() const;
    // The transpose in the conversion buffer.
    float* transposef() const;

    bool equal(const m44f& b, float eps) const;
    bool operator==(const m44f& b) const { return equal(b, 0.0001f); }

    // A copy with (v, 1) or v added to row 3.
    m44f operator+(const p3f& v) const;
    m44f operator+(const p4f& v) const;
    // v.x, v.y, v.z added to column 3 (the translation); w is not used.
    m44f& operator+=(const p3f& v);
    m44f& operator+=(const p4f& v);

    // b' * this, where b' is the upper-left 3 x 3 of b bordered by (0, 0, 0, 1): row 3 of this
    // and the translation column of b do not take part.
    m44f operator*(const m44f& b) const;
    m44f operator*(const m33f& m) const;
    m44f& operator*=(const m44f& b) { return *this = *this * b; }
    m44f& operator*=(const m33f& m) { return *this = *this * m; }

    // out = upper-left 3 x 3 * in.
    void transform3f(const float* in, float* out) const;

    // Gauss-Jordan with partial pivoting; a (near-)singular pivot is replaced by a huge scale
    // instead of failing.
    m44f inverse() const;

private:
    p4f fRow[4];
    mutable float fBuffer[16] = {};
};

} // namespace OGL_TESK_AE
