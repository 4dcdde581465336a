// Euler angles to rotation matrices and back, checked against rotations composed here from
// plain axis matrices.
#include "math/Matrix33.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace OGL_TESK_AE;

namespace {

// Sequences by order value, as named by the enumeration.
const char* const kSequence[6] = {"XYZ", "ZXY", "YZX", "XZY", "ZYX", "YXZ"};

// The rotation for angles (x, y, z) in order o: right-handed axis rotations (acting on column
// vectors) multiplied left to right in the order's sequence, the Y angle with its sign reversed.
m33f Reference(double x, double y, double z, int o) {
    using M3 = std::array<std::array<double, 3>, 3>;
    M3 r = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    for (const char* axis = kSequence[o]; *axis; ++axis) {
        const double t = (*axis == 'X' ? x : (*axis == 'Y' ? -y : z)) * M_PI / 180.0;
        const double c = std::cos(t), s = std::sin(t);
        const M3 turn = *axis == 'X'   ? M3{{{1, 0, 0}, {0, c, -s}, {0, s, c}}}
                        : *axis == 'Y' ? M3{{{c, 0, s}, {0, 1, 0}, {-s, 0, c}}}
                                       : M3{{{c, -s, 0}, {s, c, 0}, {0, 0, 1}}};
        M3 product{};
        for (int i = 0; i < 9; ++i)
            for (int k = 0; k < 3; ++k) product[i / 3][i % 3] += r[i / 3][k] * turn[k][i % 3];
        r = product;
    }
    m33f m;
    for (int i = 0; i < 9; ++i) m[i / 3][i % 3] = static_cast<float>(r[i / 3][i % 3]);
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
    std::ostringstream text;
    text << "order " << kSequence[o] << " truth (" << truth.x << " " << truth.y << " " << truth.z
         << ") ref (" << ref.x << " " << ref.y << " " << ref.z << ") got (" << got.x << " " << got.y
         << " " << got.z << ")";
    return text.str();
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

TEST(MathEuler, ClosestEulerExamples) {
    // A quarter-turn outer angle with no middle turn leaves the elements the candidates are read
    // from at zero; the result must still rebuild the rotation.
    const std::pair<RotationOrder, p3f> quarterTurns[] = {
        {ZXY, {0, -170, 90}}, {ZXY, {180, 35, -90}}, {YXZ, {0, 90, 20}},
        {YZX, {-90, 40, 0}},  {XZY, {90, 10, 180}},  {ZYX, {90, 0, 30}}};
    for (const auto& [order, a] : quarterTurns)
        for (const m33f& m : {m33f::angle(a, order), Reference(a.x, a.y, a.z, order)}) {
            const p3f got = m.to_closest_euler(a, order);
            EXPECT_TRUE(m33f::angle(got, order).equal(m, 1e-4f)) << Describe(order, a, a, got);
        }
    // Order, angles, previous frame's angles, closest angles.
    std::vector<std::array<p3f, 3>> rows[6];
    rows[XYZ] = {{p3f(350, 0, 0), p3f(-5, 0, 0), p3f(-10, 0, 0)},
                 // Near the previous frame's angles the twin solution beats the plain one.
                 {p3f(30, 40, 50), p3f(200, 130, 220), p3f(210, 140, 230)}};
    for (int o = 0; o < 6; ++o) {
        for (const p3f& ref : {p3f(10, 20, 30), p3f(370, 20, 30)})
            rows[o].push_back({p3f(10, 20, 30), ref, ref});
        for (const auto& [angles, ref, expected] : rows[o]) {
            const auto order = static_cast<RotationOrder>(o);
            const p3f got = m33f::angle(angles, order).to_closest_euler(ref, order);
            EXPECT_TRUE(got.equal(expected, 1e-3f)) << Describe(o, angles, ref, got);
        }
    }
    // An unknown order gives ref back untouched.
    EXPECT_EQ(m33f().to_closest_euler(p3f(1, 2, 3), static_cast<RotationOrder>(9)), p3f(1, 2, 3));
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
