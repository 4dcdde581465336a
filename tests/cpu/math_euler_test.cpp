// Euler angles to rotation matrices and back, checked against rotations composed here from
// plain axis matrices.
#include "math/Matrix33.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <ostream>
#include <string>
#include <utility>

using namespace OGL_TESK_AE;

namespace {

// Sequences by order value, as named by the enumeration.
const char* const kSequence[6] = {"XYZ", "ZXY", "YZX", "XZY", "ZYX", "YXZ"};

// Right-handed axis rotations (acting on column vectors) multiplied left to right in the
// order's sequence, the Y angle with its sign reversed; in double, rounded once.
m33f Reference(double x, double y, double z, int o) {
    double r[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (const char* axis = kSequence[o]; *axis; ++axis) {
        // A turn about axis a takes the next axis p toward the one after it, q.
        const int a = *axis - 'X', p = (a + 1) % 3, q = (a + 2) % 3;
        const double t = (a == 0 ? x : a == 1 ? -y : z) * M_PI / 180.0;
        double turn[3][3] = {}, product[3][3] = {};
        turn[a][a] = 1, turn[p][p] = turn[q][q] = std::cos(t);
        turn[q][p] = std::sin(t), turn[p][q] = -std::sin(t);
        for (int i = 0; i < 27; ++i)
            product[i / 9][i / 3 % 3] += r[i / 9][i % 3] * turn[i % 3][i / 3 % 3];
        std::memcpy(r, product, sizeof r);
    }
    m33f m;
    for (int i = 0; i < 9; ++i) m[i / 3][i % 3] = static_cast<float>(r[i / 3][i % 3]);
    return m;
}

double Wrap180(double a) { // into (-180, 180]
    a = std::fmod(a, 360.0);
    return a <= -180.0 ? a + 360.0 : (a > 180.0 ? a - 360.0 : a);
}

// Distance between angle triples, each difference taken the short way round.
double Distance(const p3f& a, const p3f& b) {
    return std::hypot(Wrap180(double(a.x) - b.x), Wrap180(double(a.y) - b.y),
                      Wrap180(double(a.z) - b.z));
}

} // namespace

namespace OGL_TESK_AE { // for failure messages
std::ostream& operator<<(std::ostream& out, const p3f& v) {
    return out << "(" << v.x << " " << v.y << " " << v.z << ")";
}
} // namespace OGL_TESK_AE

// For every order and a dense sweep of angles: both exact solutions compose to the rotation
// built here, and the angles found rebuild it, each within half a turn of ref, with no other
// exact solution nearer ref. Where the middle angle is a
// multiple of a quarter turn only the first two hold: a continuum of solutions at gimbal lock,
// only one of the two solutions on offer with no middle turn.
TEST(MathEuler, AnglesAndClosestEulerSweep) {
    const float middles[] = {-180,  -135, -90, -89.5f, -45, -10, -0.01f, 0,
                             0.01f, 10,   45,  89.5f,  90,  135, 180};
    const float offsets[][3] = {{0, 0, 0}, {25, -40, 60}, {-70, 15, -35}, {170, -170, 100}};
    int nearChecked = 0;
    for (int o = 0; o < 6; ++o) {
        const int mid = kSequence[o][1] - 'X', lo = mid == 0 ? 1 : 0, hi = mid == 2 ? 1 : 2;
        for (float b : middles)
            for (int i = -12; i <= 12; ++i)
                for (int j = -12; j <= 12; j += 3) {
                    p3f truth, twin; // the two exact solutions
                    truth[mid] = b, truth[lo] = 15.0f * i, truth[hi] = 15.0f * j;
                    twin[mid] = 180.0f - b, twin[lo] = truth[lo] + 180, twin[hi] = truth[hi] + 180;
                    const m33f m = Reference(truth.x, truth.y, truth.z, o);
                    ASSERT_TRUE(m33f::angle(truth, RotationOrder(o)).equal(m, 1e-5f) &&
                                m33f::angle(twin, RotationOrder(o)).equal(m, 1e-5f))
                        << kSequence[o] << truth;
                    // YZX and XZY may pick the farther solution when either z lies in (-180, -90].
                    auto zOut = [](double z) { return Wrap180(z) > -180.0 && Wrap180(z) <= -90.0; };
                    const bool onlyExact =
                        std::fmod(std::fabs(b), 90.0f) == 0 ||
                        ((o == YZX || o == XZY) && (zOut(truth.z) || zOut(twin.z)));
                    for (const auto& off : offsets) {
                        p3f ref;
                        for (int k = 0; k < 3; ++k) ref[k] = float(Wrap180(truth[k] + off[k]));
                        const p3f got = m.to_closest_euler(ref, RotationOrder(o));
                        SCOPED_TRACE(testing::Message() << kSequence[o] << truth << ref << got);
                        ASSERT_TRUE(m33f::angle(got, RotationOrder(o)).equal(m, 1e-4f));
                        for (int k = 0; k < 3; ++k)
                            ASSERT_LE(std::fabs(got[k] - ref[k]), 180.0f + 1e-3f);
                        if (onlyExact) continue;
                        EXPECT_LE(Distance(ref, got),
                                  std::min(Distance(ref, truth), Distance(ref, twin)) + 1e-2);
                        ++nearChecked;
                    }
                }
    }
    EXPECT_GT(nearChecked, 15000);
}

TEST(MathEuler, ClosestEulerExamples) {
    // (1, 0, 0) turned by 90 degrees of the (reversed) Y angle lands on +Z; unknown orders turn
    // nothing.
    EXPECT_TRUE((p3f(1, 0, 0) * m33f::angle(0, 90, 0, XYZ)).equal(p3f(0, 0, 1), 1e-6f));
    EXPECT_TRUE(m33f::angle(10, 20, 30, RotationOrder(6)).equal(m33f(), 1e-9f));
    // A quarter-turn outer angle with no middle turn zeroes the elements the candidates are read
    // from; the result must still rebuild the rotation.
    const std::pair<RotationOrder, p3f> quarterTurns[] = {
        {ZXY, {0, -170, 90}}, {ZXY, {180, 35, -90}}, {YXZ, {0, 90, 20}},
        {YZX, {-90, 40, 0}},  {XZY, {90, 10, 180}},  {ZYX, {90, 0, 30}}};
    for (const auto& [order, a] : quarterTurns)
        for (const m33f& m : {m33f::angle(a, order), Reference(a.x, a.y, a.z, order)})
            EXPECT_TRUE(m33f::angle(m.to_closest_euler(a, order), order).equal(m, 1e-4f))
                << order << a;
    // Angles, the previous frame's angles, the closest angles: whole turns follow ref, and near
    // ref the twin solution beats the plain one.
    const std::array<p3f, 3> rows[] = {{p3f(350, 0, 0), p3f(-5, 0, 0), p3f(-10, 0, 0)},
                                       {p3f(30, 40, 50), p3f(200, 130, 220), p3f(210, 140, 230)},
                                       {p3f(10, 20, 30), p3f(370, 20, 30), p3f(370, 20, 30)}};
    for (const auto& [angles, ref, expected] : rows)
        EXPECT_TRUE(m33f::angle(angles, XYZ).to_closest_euler(ref, XYZ).equal(expected, 1e-3f))
            << angles << ref;
    EXPECT_EQ(m33f().to_closest_euler(p3f(1, 2, 3), RotationOrder(9)), p3f(1, 2, 3));
}

// The reverse order composes the same axes back to front; other values map to themselves.
TEST(MathEuler, ReverseOrder) {
    for (int o = 0; o < 6; ++o) {
        const std::string s = kSequence[o];
        EXPECT_EQ(std::string(s.rbegin(), s.rend()),
                  kSequence[ReverseRotationOrder(RotationOrder(o))]);
    }
    EXPECT_TRUE(ReverseRotationOrder(RotationOrder(7)) == 7 &&
                ReverseRotationOrder(RotationOrder(-1)) == -1);
}
