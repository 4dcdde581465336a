#pragma once

#include "common/Export.h"

#include <cstddef>

namespace OGL_TESK_AE {

class m33f;
class p4f;

// Two floats: texture coordinates, pixel positions, sizes.
class TESK_API p2f {
public:
    float x, y;

    p2f() : x(0.0f), y(0.0f) {}
    p2f(float x, float y) : x(x), y(y) {}
    p2f(const p2f& v) = default;
    p2f& operator=(const p2f& v) = default;

    p2f& reset() { return set(0.0f, 0.0f); }
    p2f& set(float nx, float ny) {
        x = nx;
        y = ny;
        return *this;
    }

    p2f operator+(const p2f& v) const { return p2f(x + v.x, y + v.y); }
    p2f operator-(const p2f& v) const { return p2f(x - v.x, y - v.y); }
    p2f operator*(const p2f& v) const { return p2f(x * v.x, y * v.y); }
    p2f operator/(const p2f& v) const { return p2f(x / v.x, y / v.y); }
    p2f operator+(float s) const { return p2f(x + s, y + s); }
    p2f operator-(float s) const { return p2f(x - s, y - s); }
    p2f operator*(float s) const { return p2f(x * s, y * s); }
    p2f operator/(float s) const { return *this * (1.0f / s); }
    p2f operator+(double s) const { return *this + static_cast<float>(s); }
    p2f operator-(double s) const { return *this - static_cast<float>(s); }
    p2f operator*(double s) const { return *this * static_cast<float>(s); }
    p2f operator/(double s) const { return *this / static_cast<float>(s); }
    p2f& operator+=(const p2f& v) { return *this = *this + v; }
    p2f& operator-=(const p2f& v) { return *this = *this - v; }
    p2f& operator*=(const p2f& v) { return *this = *this * v; }
    p2f& operator/=(const p2f& v) { return *this = *this / v; }
    p2f& operator+=(float s) { return *this = *this + s; }
    p2f& operator-=(float s) { return *this = *this - s; }
    p2f& operator*=(float s) { return *this = *this * s; }
    p2f& operator/=(float s) { return *this = *this / s; }
    p2f& operator+=(double s) { return *this = *this + s; }
    p2f& operator-=(double s) { return *this = *this - s; }
    p2f& operator*=(double s) { return *this = *this * s; }
    p2f& operator/=(double s) { return *this = *this / s; }
    p2f operator-() const { return p2f(-x, -y); }

    bool operator==(const p2f& v) const;
    bool operator!=(const p2f& v) const { return !(*this == v); }

    float sqlength() const { return x * x + y * y; }
    float length() const;
    float dot(const p2f& v) const { return x * v.x + y * v.y; }
    // No guard for the zero vector: callers normalise directions, never points.
    p2f normalize() const;
    float rad(const p2f& v) const;
    float deg(const p2f& v) const;

    p2f& UnitClamp();
    p2f& lowUniClamp(float m);

    float& operator[](int i) { return i == 1 ? y : x; }
    operator const float*() const { return &x; }
    float* asfloat() { return &x; }
    const float* asfloat() const { return &x; }
};

// Three floats and one unused word: arrays of p3f have a stride of 16 bytes, which is what the
// vertex and normal arrays handed to OpenGL expect. Everything that makes a p3f writes 0 into the
// unused word and nothing reads it.
class TESK_API p3f {
public:
    float x, y, z;
    float pad;

    p3f() : x(0.0f), y(0.0f), z(0.0f), pad(0.0f) {}
    p3f(float x, float y, float z) : x(x), y(y), z(z), pad(0.0f) {}
    explicit p3f(const float* p) : x(p[0]), y(p[1]), z(p[2]), pad(0.0f) {}
    p3f(const p2f& v) : x(v.x), y(v.y), z(0.0f), pad(0.0f) {}
    // The w component is dropped, not divided by.
    p3f(const p4f& v);
    p3f(const p3f& v) : x(v.x), y(v.y), z(v.z), pad(0.0f) {}
    p3f& operator=(const p3f& v) { return set(v.x, v.y, v.z); }
    p3f& operator=(const p4f& v);

    static p3f xaxis() { return p3f(1.0f, 0.0f, 0.0f); }
    static p3f yaxis() { return p3f(0.0f, 1.0f, 0.0f); }
    static p3f zaxis() { return p3f(0.0f, 0.0f, 1.0f); }

    p3f& reset() { return set(0.0f, 0.0f, 0.0f); }
    p3f& set(float nx, float ny, float nz) {
        x = nx;
        y = ny;
        z = nz;
        pad = 0.0f;
        return *this;
    }
    // The translation of a column-major 4 x 4 matrix.
    void set(const float* m) { set(m[12], m[13], m[14]); }

    p3f operator+(const p3f& v) const { return p3f(x + v.x, y + v.y, z + v.z); }
    p3f operator-(const p3f& v) const { return p3f(x - v.x, y - v.y, z - v.z); }
    p3f operator*(const p3f& v) const { return p3f(x * v.x, y * v.y, z * v.z); }
    p3f operator+(float s) const { return p3f(x + s, y + s, z + s); }
    p3f operator-(float s) const { return p3f(x - s, y - s, z - s); }
    p3f operator*(float s) const { return p3f(x * s, y * s, z * s); }
    p3f operator/(float s) const { return *this * (1.0f / s); }
    p3f operator+(double s) const { return *this + static_cast<float>(s); }
    p3f operator-(double s) const { return *this - static_cast<float>(s); }
    p3f operator*(double s) const { return *this * static_cast<float>(s); }
    p3f operator/(double s) const { return *this / static_cast<float>(s); }
    p3f& operator+=(const p3f& v) { return *this = *this + v; }
    p3f& operator-=(const p3f& v) { return *this = *this - v; }
    p3f& operator*=(const p3f& v) { return *this = *this * v; }
    p3f& operator+=(float s) { return *this = *this + s; }
    p3f& operator-=(float s) { return *this = *this - s; }
    p3f& operator*=(float s) { return *this = *this * s; }
    p3f& operator/=(float s) { return *this = *this / s; }
    p3f& operator+=(double s) { return *this = *this + s; }
    p3f& operator-=(double s) { return *this = *this - s; }
    p3f& operator*=(double s) { return *this = *this * s; }
    p3f& operator/=(double s) { return *this = *this / s; }
    p3f operator-() const { return p3f(-x, -y, -z); }

    // m applied to this vector taken as a column.
    p3f operator*(const m33f& m) const;
    p3f& operator*=(const m33f& m);

    bool operator==(const p3f& v) const { return equal(v, 0.0001f); }
    bool operator!=(const p3f& v) const { return !(*this == v); }
    bool equal(const p3f& v, float eps) const;

    float sqlength() const { return x * x + y * y + z * z; }
    float length() const;
    float dot(const p3f& v) const { return x * v.x + y * v.y + z * v.z; }
    p3f cross(const p3f& v) const {
        return p3f(y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x);
    }
    p3f normalize() const;
    // The axis about which this direction turns into v.
    p3f rotax(const p3f& v) const { return normalize().cross(v.normalize()); }
    float rad(const p3f& v) const;
    float deg(const p3f& v) const;
    p3f inverse() const { return p3f(-x, -y, -z); }
    // Maps [-1, 1] onto [0, s], as when a normal is stored as a colour.
    p3f compress(float s) const;

    p3f& UnitClamp();
    p3f& lowUniClamp(float m);

    // Euler-angle helpers, all in degrees.
    p3f clamp_deg();
    float euler_distance_sq(const p3f& v) const;
    p3f closest_deg_octave(const p3f& ref) const;

    float& operator[](int i) { return i == 1 ? y : (i == 2 ? z : x); }
    const float& operator[](int i) const { return i == 1 ? y : (i == 2 ? z : x); }
    operator float*() const { return const_cast<float*>(&x); }
    float* asfloat() const { return const_cast<float*>(&x); }
};

// Four floats: homogeneous points and plane equations.
class TESK_API p4f {
public:
    float x, y, z, w;

    p4f() : x(0.0f), y(0.0f), z(0.0f), w(1.0f) {}
    p4f(float x, float y, float z, float w) : x(x), y(y), z(z), w(w) {}
    p4f(const p3f& v) : x(v.x), y(v.y), z(v.z), w(1.0f) {}
    p4f(const p4f& v) = default;
    p4f& operator=(const p4f& v) = default;
    p4f& operator=(const p3f& v) {
        set(v.x, v.y, v.z, 1.0f);
        return *this;
    }

    p4f& reset() {
        set(0.0f, 0.0f, 0.0f, 1.0f);
        return *this;
    }
    void set(float nx, float ny, float nz, float nw) {
        x = nx;
        y = ny;
        z = nz;
        w = nw;
    }

    p4f operator+(const p4f& v) const { return p4f(x + v.x, y + v.y, z + v.z, w + v.w); }
    p4f operator-(const p4f& v) const { return p4f(x - v.x, y - v.y, z - v.z, w - v.w); }
    p4f operator*(const p4f& v) const { return p4f(x * v.x, y * v.y, z * v.z, w * v.w); }
    p4f operator*(float s) const { return p4f(x * s, y * s, z * s, w * s); }
    p4f operator/(float s) const { return *this * (1.0f / s); }
    p4f& operator+=(const p4f& v) { return *this = *this + v; }
    p4f& operator-=(const p4f& v) { return *this = *this - v; }
    p4f& operator*=(const p4f& v) { return *this = *this * v; }
    p4f& operator*=(float s) { return *this = *this * s; }
    p4f& operator/=(float s) { return *this = *this / s; }
    p4f operator-() const { return p4f(-x, -y, -z, -w); }

    bool operator==(const p4f& v) const { return equal(v, 0.0001f); }
    bool operator!=(const p4f& v) const { return !(*this == v); }
    bool equal(const p4f& v, float eps) const;

    operator float*() const { return const_cast<float*>(&x); }
    float* asfloat() const { return const_cast<float*>(&x); }
};

// Packed floats that OpenGL reads straight from memory; a p3f is padded to four words.
static_assert(sizeof(p2f) == 8 && sizeof(p4f) == 16, "p2f and p4f are packed floats");
static_assert(sizeof(p3f) == 16 && offsetof(p3f, x) == 0 && offsetof(p3f, z) == 8,
              "p3f is x, y, z and a pad word");

inline p3f::p3f(const p4f& v) : x(v.x), y(v.y), z(v.z), pad(0.0f) {}
inline p3f& p3f::operator=(const p4f& v) {
    return set(v.x, v.y, v.z);
}

} // namespace OGL_TESK_AE
