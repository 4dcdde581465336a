#include "math/Matrix44.h"

#include "math/Matrix33.h"

#include <cmath>
#include <utility>

namespace OGL_TESK_AE {

namespace {
// Composes the rows of a with a 3 x 3 taken row by row from b: the result's rows 0 to 2 are
// combinations of a's first three rows, row 3 stays.
template <typename Rows> m44f Compose(const m44f& a, const Rows& b) {
    m44f result(a);
    for (int i = 0; i < 3; ++i) {
        result[i] = a[0] * b[i][0] + a[1] * b[i][1] + a[2] * b[i][2];
    }
    return result;
}
} // namespace

m44f::m44f(const p3f& r0, const p3f& r1, const p3f& r2)
    : fRow{p4f(r0.x, r0.y, r0.z, 0), p4f(r1.x, r1.y, r1.z, 0), p4f(r2.x, r2.y, r2.z, 0),
           p4f(0, 0, 0, 1)} {}

m44f::m44f(const m33f& m) : m44f(m[0], m[1], m[2]) {}

m44f::m44f(const m33f& m, const p3f& t)
    : fRow{p4f(m[0].x, m[0].y, m[0].z, t.x), p4f(m[1].x, m[1].y, m[1].z, t.y),
           p4f(m[2].x, m[2].y, m[2].z, t.z), p4f(0, 0, 0, 1)} {}

void m44f::set(const float* p, bool transposed) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) fRow[i][j] = transposed ? p[4 * j + i] : p[4 * i + j];
    }
}

m44f& m44f::identity() {
    fRow[0].set(1, 0, 0, 0);
    fRow[1].set(0, 1, 0, 0);
    fRow[2].set(0, 0, 1, 0);
    fRow[3].set(0, 0, 0, 1);
    return *this;
}

m44f m44f::transpose() const {
    return m44f(static_cast<const float*>(*this), true);
}

m44f::operator float*() const {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) fBuffer[4 * i + j] = fRow[i][j];
    }
    return fBuffer;
}

float* m44f::transposef() const {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) fBuffer[4 * j + i] = fRow[i][j];
    }
    return fBuffer;
}

bool m44f::equal(const m44f& b, float eps) const {
    for (int i = 0; i < 4; ++i) {
        if (!fRow[i].equal(b[i], eps)) return false;
    }
    return true;
}

m44f m44f::operator+(const p3f& v) const {
    return *this + p4f(v);
}

m44f m44f::operator+(const p4f& v) const {
    m44f result(*this);
    result[3] += v;
    return result;
}

m44f& m44f::operator+=(const p3f& v) {
    fRow[0].w += v.x;
    fRow[1].w += v.y;
    fRow[2].w += v.z;
    return *this;
}

m44f& m44f::operator+=(const p4f& v) {
    return *this += p3f(v);
}

m44f m44f::operator*(const m44f& b) const {
    return Compose(*this, b);
}

m44f m44f::operator*(const m33f& m) const {
    return Compose(*this, m);
}

void m44f::transform3f(const float* in, float* out) const {
    for (int i = 0; i < 3; ++i) {
        out[i] = fRow[i].x * in[0] + fRow[i].y * in[1] + fRow[i].z * in[2];
    }
}

m44f m44f::inverse() const {
    m44f a(*this);
    m44f result;
    for (int k = 0; k < 4; ++k) {
        for (int r = k + 1; r < 4; ++r) {
            if (std::fabs(a[r][k]) > std::fabs(a[k][k])) {
                std::swap(a[r], a[k]);
                std::swap(result[r], result[k]);
            }
        }
        float pivot = a[k][k];
        float scale = std::fabs(pivot) > 1e-9f ? 1.0f / pivot : (pivot < 0.0f ? -1e9f : 1e9f);
        a[k] *= scale;
        result[k] *= scale;
        for (int r = 0; r < 4; ++r) {
            if (r == k) continue;
            float f = a[r][k];
            a[r] -= a[k] * f;
            result[r] -= result[k] * f;
        }
    }
    return result;
}

} // namespace OGL_TESK_AE
