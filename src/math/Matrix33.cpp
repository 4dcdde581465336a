#include "math/Matrix33.h"

#include "math/Implementation/Angle.h"
#include "math/Matrix44.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace OGL_TESK_AE {

namespace {
constexpr float kRadiansPerDegree = 0.017453292f;
constexpr float kDegreesPerRadian = 57.29578f;
constexpr float kPi = 3.1415927f;
constexpr float kHalfPi = 1.5707964f;
constexpr float kThreeHalfPi = 4.712389f;
constexpr float kTolerance = 0.0001f;

m33f AxisRotation(int axis, float degrees) {
    float t = degrees * kRadiansPerDegree;
    float c = std::cos(t);
    float s = std::sin(t);
    switch (axis) {
    case 0:
        return m33f(1, 0, 0, 0, c, -s, 0, s, c);
    case 1:
        return m33f(c, 0, s, 0, 1, 0, -s, 0, c);
    default:
        return m33f(c, -s, 0, s, c, 0, 0, 0, 1);
    }
}

bool Near(float a, float b) {
    return std::fabs(a - b) < kTolerance;
}

// Whether an angle in degrees lies in (90, 270].
bool BeyondQuarter(float a) {
    return a > 90.0f && a <= 270.0f;
}

// Euler angles of a rotation matrix from the elements that stay well conditioned in every
// configuration, in [0, 360): of the two solutions, the one nearer ref. False when neither
// rebuilds m (m is no rotation).
bool DirectEuler(const m33f& m, RotationOrder o, const p3f& ref, p3f& result) {
    const int* axes = RotationAxes(o);
    const int i = axes[0], j = axes[1], k = axes[2];
    // The middle element's sign depends on whether the sequence is a cyclic permutation of XYZ.
    const double s = (j - i + 3) % 3 == 1 ? 1.0 : -1.0;
    auto e = [&m](int r, int c) { return static_cast<double>(m[r][c]); };
    const double sinb = std::max(-1.0, std::min(1.0, s * e(i, k)));
    double first, middle = std::asin(sinb), last;
    if (std::fabs(sinb) < 1.0 - 1e-9) {
        first = std::atan2(-s * e(j, k), e(k, k));
        last = std::atan2(-s * e(i, j), e(i, i));
    } else {
        // Gimbal lock: only a combination of the outer angles is fixed; put it all in the first.
        first = std::atan2(s * e(k, j), e(j, j));
        last = 0.0;
    }
    constexpr double kDegrees = 57.29577951308232;
    double actual[3];
    actual[i] = first * kDegrees;
    actual[j] = middle * kDegrees;
    actual[k] = last * kDegrees;
    // The Y angle of angle() turns the other way round.
    p3f solution(static_cast<float>(actual[0]), static_cast<float>(-actual[1]),
                 static_cast<float>(actual[2]));
    p3f twin(solution);
    twin[i] += 180.0f;
    twin[j] = 180.0f - twin[j];
    twin[k] += 180.0f;
    solution.clamp_deg();
    twin.clamp_deg();
    const bool useTwin = ref.euler_distance_sq(twin) < ref.euler_distance_sq(solution);
    result = useTwin ? twin : solution;
    return m33f::angle(result, o).equal(m, kTolerance);
}
} // namespace

m33f::m33f(const m44f& m)
    : fRow{p3f(m[0].x, m[0].y, m[0].z), p3f(m[1].x, m[1].y, m[1].z), p3f(m[2].x, m[2].y, m[2].z)} {}

m33f m33f::angle(float x, float y, float z, RotationOrder o) {
    m33f result;
    const int* axes = RotationAxes(o);
    if (!axes) return result;
    const float angles[3] = {x, -y, z};
    for (int k = 0; k < 3; ++k) result *= AxisRotation(axes[k], angles[axes[k]]);
    return result;
}

m33f m33f::axangle(const p3f& axis, float degrees) {
    p3f u = axis.normalize();
    float t = degrees * kRadiansPerDegree;
    float c = std::cos(t);
    float s = std::sin(t);
    float k = 1.0f - c;
    return m33f(k * u.x * u.x + c, k * u.x * u.y - s * u.z, k * u.x * u.z + s * u.y,
                k * u.y * u.x + s * u.z, k * u.y * u.y + c, k * u.y * u.z - s * u.x,
                k * u.z * u.x - s * u.y, k * u.z * u.y + s * u.x, k * u.z * u.z + c);
}

m33f m33f::scale(float x, float y, float z) {
    return m33f(x, 0, 0, 0, y, 0, 0, 0, z);
}

void m33f::identity() {
    fRow[0].set(1, 0, 0);
    fRow[1].set(0, 1, 0);
    fRow[2].set(0, 0, 1);
}

m33f m33f::transpose() const {
    const m33f& m = *this;
    return m33f(m[0].x, m[1].x, m[2].x, m[0].y, m[1].y, m[2].y, m[0].z, m[1].z, m[2].z);
}

m33f m33f::operator*(const m33f& b) const {
    m33f result;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            result[i][j] = fRow[i][0] * b[0][j] + fRow[i][1] * b[1][j] + fRow[i][2] * b[2][j];
        }
    }
    return result;
}

void m33f::transform3f(const float* in, float* out) const {
    p3f v(in);
    for (int i = 0; i < 3; ++i) out[i] = fRow[i].dot(v);
}

bool m33f::equal(const m33f& b, float eps) const {
    return fRow[0].equal(b[0], eps) && fRow[1].equal(b[1], eps) && fRow[2].equal(b[2], eps);
}

m33f::operator float*() const {
    for (int i = 0; i < 3; ++i) {
        fBuffer[4 * i + 0] = fRow[i].x;
        fBuffer[4 * i + 1] = fRow[i].y;
        fBuffer[4 * i + 2] = fRow[i].z;
        fBuffer[4 * i + 3] = 0.0f;
    }
    fBuffer[12] = fBuffer[13] = fBuffer[14] = 0.0f;
    fBuffer[15] = 1.0f;
    return fBuffer;
}

void m33f::set(const float* m) {
    for (int i = 0; i < 3; ++i) fRow[i].set(m[4 * i], m[4 * i + 1], m[4 * i + 2]);
}

m33f m33f::inverse() const {
    m33f a(*this);
    m33f result;
    for (int k = 0; k < 3; ++k) {
        for (int r = k + 1; r < 3; ++r) {
            if (std::fabs(a[r][k]) > std::fabs(a[k][k])) {
                std::swap(a[r], a[k]);
                std::swap(result[r], result[k]);
            }
        }
        float pivot = a[k][k];
        if (pivot == 0.0f) return *this;
        float inv = 1.0f / pivot;
        a[k] *= inv;
        result[k] *= inv;
        for (int r = 0; r < 3; ++r) {
            if (r == k) continue;
            float f = a[r][k];
            a[r] -= a[k] * f;
            result[r] -= result[k] * f;
        }
    }
    return result;
}

p3f m33f::to_closest_euler(const p3f& ref, RotationOrder o) const {
    auto e = [this](int i, int j) { return fRow[i][j]; };
    auto arcsin = [](float v) { return std::asin(std::max(-1.0f, std::min(1.0f, v))); };

    // The middle angle of the sequence is the one a single element determines.
    float b;
    switch (o) {
    case XYZ:
        b = -arcsin(e(0, 2));
        break;
    case ZXY:
        b = arcsin(e(2, 1));
        break;
    case YZX:
        b = arcsin(e(1, 0));
        break;
    case XZY:
        b = -arcsin(e(0, 1));
        break;
    case ZYX:
        b = arcsin(e(2, 0));
        break;
    case YXZ:
        b = -arcsin(e(1, 2));
        break;
    default:
        return ref;
    }
    b = NormalizeRadians(b);
    const bool level = std::fabs(b) < kTolerance;

    // Component indices (x = 0, y = 1, z = 2) of the middle axis and of the two outer axes.
    static constexpr int kMiddle[6] = {1, 0, 2, 2, 1, 0};
    static constexpr int kLow[6] = {0, 1, 0, 0, 0, 1};
    static constexpr int kHigh[6] = {2, 2, 1, 1, 2, 2};

    p3f candidates[8];
    if (level) {
        // With no middle turn the outer angles come from the plain elements; both solutions of
        // the middle angle (0 and a half turn) are tried.
        auto at = [](float y, float x) { return NormalizeRadians(std::atan2(y, x)); };
        float a = 0.0f, c = 0.0f;
        switch (o) {
        case XYZ:
            a = at(-e(1, 2), e(2, 2));
            c = (Near(a, kHalfPi) || Near(a, kThreeHalfPi)) ? at(e(2, 0), e(2, 1))
                                                            : at(e(1, 0), e(1, 1));
            break;
        case ZXY:
            a = at(-e(0, 1), e(1, 1));
            c = at(-e(0, 2), e(0, 0));
            break;
        case YZX:
            a = at(-e(1, 2), e(1, 1));
            c = at(-e(0, 2), e(2, 2));
            break;
        case XZY:
            a = at(e(2, 1), e(1, 1));
            c = at(e(2, 0), e(2, 2));
            break;
        case ZYX:
            a = at(-e(1, 2), e(1, 1));
            c = at(-e(0, 1), e(1, 1));
            break;
        case YXZ:
            a = at(-e(0, 2), e(2, 2));
            c = at(-e(0, 1), e(0, 0));
            break;
        }
        const float na = kPi - a, nc = kPi - c;
        switch (o) {
        case XYZ:
            candidates[0].set(a, 0, c);
            candidates[1].set(a, 0, nc);
            candidates[2].set(na, 0, c);
            candidates[3].set(na, 0, nc);
            candidates[4].set(-a, kPi, c);
            candidates[5].set(-a, kPi, nc);
            candidates[6].set(-na, kPi, c);
            candidates[7].set(-na, kPi, nc);
            break;
        case ZXY:
            candidates[0].set(0, c, a);
            candidates[1].set(0, c, na);
            candidates[2].set(0, nc, a);
            candidates[3].set(0, nc, na);
            candidates[4].set(kPi, c, a);
            candidates[5].set(kPi, c, na);
            candidates[6].set(kPi, nc, a);
            candidates[7].set(kPi, nc, na);
            break;
        case YZX:
        case XZY:
            candidates[0].set(a, c, 0);
            candidates[1].set(na, c, 0);
            candidates[2].set(a, nc, 0);
            candidates[3].set(na, nc, 0);
            candidates[4].set(a, c, kPi);
            candidates[5].set(a, nc, kPi);
            candidates[6].set(na, c, kPi);
            candidates[7].set(na, nc, kPi);
            break;
        case ZYX:
            candidates[0].set(a, 0, c);
            candidates[1].set(a, 0, nc);
            candidates[2].set(na, 0, c);
            candidates[3].set(na, 0, nc);
            candidates[4].set(a, kPi, c);
            candidates[5].set(a, kPi, nc);
            candidates[6].set(na, kPi, c);
            candidates[7].set(na, kPi, nc);
            break;
        case YXZ:
            candidates[0].set(0, a, c);
            candidates[1].set(0, a, nc);
            candidates[2].set(0, na, c);
            candidates[3].set(0, na, nc);
            candidates[4].set(kPi, a, c);
            candidates[5].set(kPi, a, nc);
            candidates[6].set(kPi, na, c);
            candidates[7].set(kPi, na, nc);
            break;
        }
    } else {
        // The outer angles from atan2 with both arguments divided by the middle angle: for the
        // second solution (a half turn minus b) a negative divisor moves them by a half turn.
        const float middles[2] = {b, kPi - b};
        for (int k = 0; k < 2; ++k) {
            const float d = middles[k];
            auto at = [d](float y, float x) { return NormalizeRadians(std::atan2(y / d, x / d)); };
            float p = 0.0f, q = 0.0f;
            switch (o) {
            case XYZ:
                p = at(-e(1, 2), e(2, 2));
                q = at(-e(0, 1), e(0, 0));
                break;
            case ZXY:
                p = at(e(2, 0), e(2, 2));
                q = at(-e(0, 1), e(1, 1));
                break;
            case YZX:
                p = at(-e(1, 2), e(1, 1));
                q = at(e(2, 0), e(0, 0));
                break;
            case XZY:
                p = at(e(2, 1), e(1, 1));
                q = at(-e(0, 2), e(0, 0));
                break;
            case ZYX:
                p = at(e(2, 1), e(2, 2));
                q = at(e(1, 0), e(0, 0));
                break;
            case YXZ:
                p = at(-e(0, 2), e(2, 2));
                q = at(e(1, 0), e(1, 1));
                break;
            }
            const float lows[4] = {p, kPi - p, p, kPi - p};
            const float highs[4] = {q, q, kPi - q, kPi - q};
            for (int n = 0; n < 4; ++n) {
                p3f& cand = candidates[4 * k + n];
                cand[kMiddle[o]] = d;
                cand[kLow[o]] = lows[n];
                cand[kHigh[o]] = highs[n];
            }
        }
    }

    bool accepted[8];
    for (int n = 0; n < 8; ++n) {
        p3f& cand = candidates[n];
        cand *= kDegreesPerRadian;
        cand.clamp_deg();
        // The triples above only fix the angles up to a common sign; these flips pick the sign
        // under which the order's composition reproduces the matrix.
        if (level) {
            switch (o) {
            case XYZ:
                if (BeyondQuarter(cand.x)) cand.z = -cand.z;
                break;
            case ZXY:
                if (BeyondQuarter(cand.z)) cand.y = -cand.y;
                break;
            case YZX:
            case XZY:
                if (BeyondQuarter(cand.x)) cand.y = -cand.y;
                break;
            case ZYX:
                if (BeyondQuarter(cand.x) && BeyondQuarter(cand.z)) {
                    cand.x = -cand.x;
                    cand.z = -cand.z;
                } else if (BeyondQuarter(cand.x)) {
                    cand.z = -cand.z;
                } else if (BeyondQuarter(cand.z)) {
                    cand.x = -cand.x;
                }
                break;
            case YXZ:
                if (BeyondQuarter(cand.y)) cand.z = -cand.z;
                break;
            }
        } else {
            switch (o) {
            case XYZ:
            case ZYX:
                if (cand.y >= 90.0f && cand.y <= 180.0f) {
                    cand.x = -cand.x;
                    cand.z = -cand.z;
                }
                break;
            case ZXY:
            case YXZ:
                if (cand.x >= 90.0f && cand.x <= 180.0f) {
                    cand.y = -cand.y;
                    cand.z = -cand.z;
                }
                break;
            case YZX:
            case XZY:
                if (cand.z >= 90.0f && cand.z <= 270.0f) {
                    cand.x = -cand.x;
                    cand.y = -cand.y;
                }
                break;
            }
        }
        accepted[n] = angle(cand, o).equal(*this, kTolerance);
    }

    // Nearest to ref among the candidates that rebuild the matrix; the earliest wins a tie. When
    // rounding leaves none that does, nearest among all of them. A ref several turns away can put
    // every candidate beyond the starting bound; then the first that rebuilds the matrix is kept.
    auto nearest = [&](bool acceptedOnly) {
        int best = -1;
        float bestDistance = 97200.0f; // three half turns squared
        for (int n = 0; n < 8; ++n) {
            if (acceptedOnly && !accepted[n]) continue;
            float d = ref.euler_distance_sq(candidates[n]);
            if (d < bestDistance) {
                bestDistance = d;
                best = n;
            }
        }
        return best;
    };
    int chosen = nearest(true);
    if (chosen < 0) {
        const bool* first = std::find(accepted, accepted + 8, true);
        if (first != accepted + 8) {
            chosen = static_cast<int>(first - accepted);
        } else {
            // With the middle angle at 0 or a half turn and an outer angle at a quarter turn,
            // the elements the candidates come from vanish and only rounding decides their
            // angles, so none may rebuild a perfectly ordinary rotation. Solve it directly then.
            p3f direct;
            if (DirectEuler(*this, o, ref, direct)) return direct.closest_deg_octave(ref);
            chosen = std::max(nearest(false), 0);
        }
    }
    return candidates[chosen].closest_deg_octave(ref);
}

} // namespace OGL_TESK_AE
