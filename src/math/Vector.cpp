#include "math/Vector.h"

#include "math/Implementation/Angle.h"
#include "math/Matrix33.h"

#include <cmath>

namespace OGL_TESK_AE {

namespace {
constexpr float kEqualTolerance = 0.0001f;
constexpr float kDegreesPerRadian = 57.29578f;

// Into [0, 1]; written so that a NaN fails the first test and becomes 0.
float Unit(float c) {
    return c > 0.0f ? (c < 1.0f ? c : 1.0f) : 0.0f;
}

// acos of the cosine of two normalised directions; rounding can push it just past +-1, and
// a zero-length direction gives NaN, both of which read as "no angle".
float AngleFromCosine(float c) {
    return (c >= -1.0f && c <= 1.0f) ? std::acos(c) : 0.0f;
}
} // namespace

// p2f

bool p2f::operator==(const p2f& v) const {
    return std::fabs(x - v.x) < kEqualTolerance && std::fabs(y - v.y) < kEqualTolerance;
}

float p2f::length() const {
    return std::sqrt(sqlength());
}

p2f p2f::normalize() const {
    return *this * (1.0f / length());
}

float p2f::rad(const p2f& v) const {
    p2f a = *this * (1.0f / std::sqrt(sqlength()));
    p2f b = v * (1.0f / std::sqrt(v.sqlength()));
    return AngleFromCosine(a.dot(b));
}

float p2f::deg(const p2f& v) const {
    return rad(v) * kDegreesPerRadian;
}

p2f& p2f::UnitClamp() {
    x = Unit(x);
    y = Unit(y);
    return *this;
}

p2f& p2f::lowUniClamp(float m) {
    if (std::fabs(x) < m || std::fabs(y) < m) x = y = m;
    return *this;
}

// p3f

p3f p3f::operator*(const m33f& m) const {
    return p3f(m[0].dot(*this), m[1].dot(*this), m[2].dot(*this));
}

p3f& p3f::operator*=(const m33f& m) {
    return *this = *this * m;
}

bool p3f::equal(const p3f& v, float eps) const {
    return std::fabs(x - v.x) < eps && std::fabs(y - v.y) < eps && std::fabs(z - v.z) < eps;
}

float p3f::length() const {
    return std::sqrt(sqlength());
}

p3f p3f::normalize() const {
    return *this * (1.0f / length());
}

float p3f::rad(const p3f& v) const {
    p3f a = *this * (1.0f / std::sqrt(sqlength()));
    p3f b = v * (1.0f / std::sqrt(v.sqlength()));
    return AngleFromCosine(a.dot(b));
}

float p3f::deg(const p3f& v) const {
    return rad(v) * kDegreesPerRadian;
}

p3f p3f::compress(float s) const {
    return p3f((x + 1.0f) * s * 0.5f, (y + 1.0f) * s * 0.5f, (z + 1.0f) * s * 0.5f);
}

p3f& p3f::UnitClamp() {
    return set(Unit(x), Unit(y), Unit(z));
}

p3f& p3f::lowUniClamp(float m) {
    if (std::fabs(x) < m || std::fabs(y) < m || std::fabs(z) < m) set(m, m, m);
    return *this;
}

p3f p3f::clamp_deg() {
    p3f turns;
    turns.x = ClampDegrees(x);
    turns.y = ClampDegrees(y);
    turns.z = ClampDegrees(z);
    return turns;
}

float p3f::euler_distance_sq(const p3f& v) const {
    float sum = 0.0f;
    for (int i = 0; i < 3; ++i) {
        float d = std::fabs((*this)[i] - v[i]);
        if (d > 180.0f) d = 360.0f - d;
        sum += d * d;
    }
    return sum;
}

p3f p3f::closest_deg_octave(const p3f& ref) const {
    p3f result(*this);
    for (int i = 0; i < 3; ++i) {
        float d = result[i] - ref[i];
        if (d > 180.0f)
            result[i] -= 360.0f;
        else if (d < -180.0f)
            result[i] += 360.0f;
    }
    return result;
}

// p4f

bool p4f::equal(const p4f& v, float eps) const {
    return std::fabs(x - v.x) < eps && std::fabs(y - v.y) < eps && std::fabs(z - v.z) < eps &&
           std::fabs(w - v.w) < eps;
}

} // namespace OGL_TESK_AE
