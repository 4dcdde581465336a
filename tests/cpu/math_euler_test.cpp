// Euler angles to rotation matrices and back, checked against rotations composed here from
// plain axis matrices.
#include "math/Matrix33.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

using namespace OGL_TESK_AE;

namespace {

using M3 = std::array<std::array<double, 3>, 3>;

// Right-handed rotation by degrees about axis 'X', 'Y' or 'Z', acting on column vectors.
M3 AxisMatrix(char axis, double degrees) {
    const double t = degrees * M_PI / 180.0, c = std::cos(t), s = std::sin(t);
    if (axis == 'X') return {{{1, 0, 0}, {0, c, -s}, {0, s, c}}};
    if (axis == 'Y') return {{{c, 0, s}, {0, 1, 0}, {-s, 0, c}}};
    return {{{c, -s, 0}, {s, c, 0}, {0, 0, 1}}};
}

M3 Product(const M3& a, const M3& b) {
    M3 r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) r[i][j] += a[i][k] * b[k][j];
    return r;
}

// Sequences by order value, as named by the enumeration.
const char* const kSequence[6] = {"XYZ", "ZXY", "YZX", "XZY", "ZYX", "YXZ"};

// The rotation for angles (x, y, z) in order o: the axis rotations multiplied left to right in
// the order's sequence, the Y angle entering with its sign reversed.
m33f Reference(double x, double y, double z, int o) {
    M3 r = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    for (const char* axis = kSequence[o]; *axis; ++axis) {
        double a = *axis == 'X' ? x : (*axis == 'Y' ? -y : z);
        r = Product(r, AxisMatrix(*axis, a));
    }
    m33f m;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m[i][j] = static_cast<float>(r[i][j]);
    return m;
}

// Index of the axis that stands second in the sequence (x = 0, y = 1, z = 2).
int MiddleIndex(int o) {
    return kSequence[o][1] - 'X';
}

double Wrap180(double a) { // into (-180, 180]
    a = std::fmod(a, 360.0);
    if (a <= -180.0) a += 360.0;
    if (a > 180.0) a -= 360.0;
    return a;
}

// Squared distance between angle triples, each difference taken the short way round.
double Distance(const p3f& a, const p3f& b) {
    double sum = 0;
    for (int i = 0; i < 3; ++i) {
        double d = Wrap180(double(a[i]) - double(b[i]));
        sum += d * d;
    }
    return sum;
}

std::string Describe(int o, const p3f& truth, const p3f& ref, const p3f& got) {
    char text[200];
    std::snprintf(text, sizeof text, "order %s truth (%g %g %g) ref (%g %g %g) got (%g %g %g)",
                  kSequence[o], truth.x, truth.y, truth.z, ref.x, ref.y, ref.z, got.x, got.y,
                  got.z);
    return text;
}

} // namespace

TEST(MathEuler, AngleMatchesAxisProducts) {
    for (int o = 0; o < 6; ++o) {
        for (float x : {-170.f, -30.f, 0.f, 45.f, 90.f, 200.f}) {
            for (float y : {-90.f, -20.f, 0.f, 35.f, 90.f, 181.f}) {
                for (float z : {-120.f, 0.f, 10.f, 270.f}) {
                    auto order = static_cast<RotationOrder>(o);
                    EXPECT_TRUE(m33f::angle(x, y, z, order).equal(Reference(x, y, z, o), 1e-5f))
                        << kSequence[o] << " " << x << " " << y << " " << z;
                }
            }
        }
    }
    // (1, 0, 0) turned by 90 degrees of the (reversed) Y angle lands on +Z.
    p3f v = p3f(1, 0, 0) * m33f::angle(0, 90, 0, XYZ);
    EXPECT_TRUE(v.equal(p3f(0, 0, 1), 1e-6f));
    EXPECT_TRUE(m33f::angle(10, 20, 30, static_cast<RotationOrder>(6)).equal(m33f(), 1e-9f));
}

// For every order and a dense sweep of angles, matrices built here are turned back into angles
// that rebuild them, each within half a turn of ref; away from the configurations where the
// middle angle sits on a quarter turn, no other exact solution lies nearer ref.
TEST(MathEuler, ClosestEulerSweep) {
    const float middles[] = {-180,  -135, -90, -89.5f, -45, -10, -0.01f, 0,
                             0.01f, 10,   45,  89.5f,  90,  135, 180};
    const float offsets[][3] = {{0, 0, 0}, {25, -40, 60}, {-70, 15, -35}, {170, -170, 100}};
    int nearChecked = 0;
    for (int o = 0; o < 6; ++o) {
        const auto order = static_cast<RotationOrder>(o);
        const int mid = MiddleIndex(o), lo = mid == 0 ? 1 : 0, hi = mid == 2 ? 1 : 2;
        for (float b : middles) {
            // Gimbal lock (a continuum of solutions), and no middle turn at all, where the
            // candidates offer only one of the two solutions for all orders but XYZ.
            const bool special = std::fmod(std::fabs(b), 90.0f) == 0.0f;
            for (int i = -12; i <= 12; ++i) {
                for (int j = -12; j <= 12; j += 3) {
                    p3f truth;
                    truth[mid] = b;
                    truth[lo] = 15.0f * i;
                    truth[hi] = 15.0f * j;
                    const m33f m = Reference(truth.x, truth.y, truth.z, o);
                    p3f twin(truth); // the other exact solution
                    twin[lo] += 180.0f;
                    twin[hi] += 180.0f;
                    twin[mid] = 180.0f - twin[mid];
                    // YZX and XZY may pick the farther solution when either solution's z angle
                    // lies in (-180, -90].
                    auto zOut = [](double z) { return z > -180.0 && z <= -90.0; };
                    const bool documented =
                        (o == YZX || o == XZY) && (zOut(Wrap180(truth.z)) || zOut(Wrap180(twin.z)));
                    for (const auto& off : offsets) {
                        p3f ref(float(Wrap180(truth.x + off[0])), float(Wrap180(truth.y + off[1])),
                                float(Wrap180(truth.z + off[2])));
                        p3f got = m.to_closest_euler(ref, order);
                        ASSERT_TRUE(m33f::angle(got, order).equal(m, 1e-4f))
                            << Describe(o, truth, ref, got);
                        for (int k = 0; k < 3; ++k) {
                            ASSERT_LE(std::fabs(got[k] - ref[k]), 180.0f + 1e-3f)
                                << Describe(o, truth, ref, got);
                        }
                        if (special || documented) continue;
                        double nearest = std::min(Distance(ref, truth), Distance(ref, twin));
                        EXPECT_LE(std::sqrt(Distance(ref, got)), std::sqrt(nearest) + 1e-2)
                            << Describe(o, truth, ref, got);
                        ++nearChecked;
                    }
                }
            }
        }
    }
    EXPECT_GT(nearChecked, 15000);
}

// A quarter-turn outer angle with no middle turn leaves the elements the candidates are read
// from at zero; the result must still rebuild the rotation.
TEST(MathEuler, ClosestEulerQuarterTurnsWithoutMiddle) {
    const struct {
        RotationOrder order;
        float x, y, z;
    } table[] = {{ZXY, 0, -170, 90}, {ZXY, 180, 35, -90}, {YXZ, 0, 90, 20},
                 {YZX, -90, 40, 0},  {XZY, 90, 10, 180},  {ZYX, 90, 0, 30}};
    for (const auto& row : table) {
        for (bool fromReference : {false, true}) {
            m33f m = fromReference ? Reference(row.x, row.y, row.z, row.order)
                                   : m33f::angle(row.x, row.y, row.z, row.order);
            p3f ref(row.x, row.y, row.z);
            p3f got = m.to_closest_euler(ref, row.order);
            EXPECT_TRUE(m33f::angle(got, row.order).equal(m, 1e-4f))
                << Describe(row.order, ref, ref, got);
        }
    }
}

TEST(MathEuler, ClosestEulerExamples) {
    for (int o = 0; o < 6; ++o) {
        const auto order = static_cast<RotationOrder>(o);
        const m33f m = m33f::angle(10, 20, 30, order);
        EXPECT_TRUE(m.to_closest_euler(p3f(10, 20, 30), order).equal(p3f(10, 20, 30), 1e-3f))
            << kSequence[o];
        EXPECT_TRUE(m.to_closest_euler(p3f(370, 20, 30), order).equal(p3f(370, 20, 30), 1e-3f))
            << kSequence[o];
    }
    p3f got = m33f::angle(350, 0, 0, XYZ).to_closest_euler(p3f(-5, 0, 0), XYZ);
    EXPECT_TRUE(got.equal(p3f(-10, 0, 0), 1e-3f)) << got.x << " " << got.y << " " << got.z;
    // An unknown order gives ref back untouched.
    p3f ref(1, 2, 3);
    EXPECT_EQ(m33f().to_closest_euler(ref, static_cast<RotationOrder>(9)), ref);
    // Near the previous frame's angles the twin solution is preferred over the plain one.
    got = m33f::angle(30, 40, 50, XYZ).to_closest_euler(p3f(200, 130, 220), XYZ);
    EXPECT_TRUE(got.equal(p3f(210, 140, 230), 1e-3f)) << got.x << " " << got.y << " " << got.z;
}

TEST(MathEuler, ReverseOrder) {
    const struct {
        int in, out;
    } table[] = {{0, 4}, {4, 0}, {1, 5}, {5, 1}, {2, 3}, {3, 2}, {7, 7}, {-1, -1}};
    for (const auto& row : table) {
        EXPECT_EQ(ReverseRotationOrder(static_cast<RotationOrder>(row.in)), row.out) << row.in;
    }
    // The reverse order composes the same axes back to front.
    for (int o = 0; o < 6; ++o) {
        std::string s = kSequence[o];
        EXPECT_EQ(std::string(s.rbegin(), s.rend()),
                  kSequence[ReverseRotationOrder(static_cast<RotationOrder>(o))]);
    }
}
