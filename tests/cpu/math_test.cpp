// Vectors, colours, regions, matrices and Euler angles on the CPU. Rotations are checked
// against rotations composed here from plain axis matrices, regions against sets of pixels.
#include "math/Color.h"
#include "math/Matrix.h"
#include "math/Matrix33.h"
#include "math/Matrix44.h"
#include "math/Region.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <tuple>

using namespace OGL_TESK_AE;

namespace OGL_TESK_AE { // for failure messages
std::ostream& operator<<(std::ostream& out, const p3f& v) {
    return out << "(" << v.x << " " << v.y << " " << v.z << ")";
}
} // namespace OGL_TESK_AE

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
        double turn[3][3] = {}, next[3][3] = {};
        turn[a][a] = 1, turn[p][p] = turn[q][q] = std::cos(t);
        turn[q][p] = std::sin(t), turn[p][q] = -std::sin(t);
        for (int i = 0; i < 27; ++i)
            next[i / 9][i / 3 % 3] += r[i / 9][i % 3] * turn[i % 3][i / 3 % 3];
        std::memcpy(r, next, sizeof r);
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
    return std::hypot(Wrap180(a.x - b.x), Wrap180(a.y - b.y), Wrap180(a.z - b.z));
}

// m times its inverse, by plain row-by-column products, must be the identity.
template <int N, typename M> void ExpectInverse(const M& m, float eps) {
    const M inv = m.inverse();
    for (int i = 0; i < N * N; ++i) {
        float sum = 0;
        for (int k = 0; k < N; ++k) sum += m[i / N][k] * inv[k][i % N];
        ASSERT_NEAR(sum, i / N == i % N ? 1.0f : 0.0f, eps) << i;
    }
}

} // namespace

TEST(MathVector, EdgeCases) {
    EXPECT_EQ(p3f(1, 0, 0).rad(p3f(1, 0, 0)), 0.0f); // no NaN from acos of a rounded 1
    EXPECT_NEAR(p3f(1, 0, 0).deg(p3f(-1, 0, 0)), 180.0f, 1e-3f);
    EXPECT_TRUE(p2f(0.00005f, 0) == p2f(0, 0) && !(p2f(0.0002f, 0) == p2f(0, 0)));
    EXPECT_EQ(p3f(0.5f, 2, 0.1f).lowUniClamp(0.2f), p3f(0.2f, 0.2f, 0.2f)); // all or nothing
    EXPECT_EQ(p3f(0.5f, 2, 0.1f).lowUniClamp(0.05f), p3f(0.5f, 2, 0.1f));
    EXPECT_TRUE(p3f(-2, 0.25f, NAN).UnitClamp() == p3f(0, 0.25f, 0) &&
                p2f(7, NAN).UnitClamp() == p2f(1, 0));
    EXPECT_TRUE(p2f(3, 4)[5] == 3 && p3f(3, 4, 5)[-1] == 3); // out of range reads x

    const Color packed(uint32_t{0x00FF0080}); // red in the low byte, opaque
    EXPECT_TRUE(std::fabs(packed.r - 128.0f / 255) < 1e-6f && packed.g == 0 &&
                std::fabs(packed.b - 1) < 1e-6f && packed.a == 1);
    EXPECT_EQ(Color(-1, 0.5f, 2, NAN).Clamp(), Color(0, 0.5f, 1, 0));
    EXPECT_FLOAT_EQ(Color(1, 1, 1, 0.5f).Luma(), 0.5f); // weights summing to 1, times coverage
}

// Into one turn, quarter turns snapped, the removed turns returned.
TEST(MathVector, ClampDegrees) {
    // In, out, turns. 359.9999f is the nearest float below 360 that still snaps.
    const float rows[][3] = {{-30, 330, -360},     {720, 0, 720},         {-360, 0, -720},
                             {90.00005f, 90, 0},   {-180, 180, -360},     {1080.5f, 0.5f, 1080},
                             {-0.00001f, 0, -360}, {360, 0, 360},         {-719.5f, 0.5f, -720},
                             {179.99991f, 180, 0}, {0.0002f, 0.0002f, 0}, {359.9999f, 0, 0}};
    for (const auto& r : rows) {
        p3f v(0, r[0], 0);
        const p3f turns = v.clamp_deg();
        EXPECT_TRUE(v.y == r[1] && turns.y == r[2]) << r[0] << " " << v.y << " " << turns.y;
    }
    EXPECT_EQ(p3f(700, 0, 0).closest_deg_octave(p3f(0, 0, 0)), p3f(340, 0, 0)); // one step only
}

// Plug-ins hand regions across the library boundary as four ints and a flag.
static_assert(sizeof(Region) == 20 && std::is_standard_layout_v<Region>, "plain 20-byte layout");

TEST(MathRegion, EdgeCases) {
    // Regions compare equal in all five fields; one is valid exactly when it has both sizes. The
    // set operations on ordinary regions are the next test's.
    const std::tuple<const char*, Region, Region> rows[] = {
        {"flip", Region(2, 3, 4, 5).Flip(20), Region(2, 12, 4, 5)},
        {"scale", Region(1, 1, 3, 3).Scale(0.5f, 0.5f), Region(0, 0, 2, 2)},
        {"scale to a pixel", Region(3, 3, 1, 1).Scale(0.25f, 0.25f), Region(0, 0, 1, 1)},
        {"scale to nothing", Region(1, 1, 1, 1).Scale(0.25f, 0.25f), Region(0, 0, 0, 0)},
        {"grow", Region(5, 6, 2, 2).Grow(2, 1), Region(3, 5, 6, 4)},
        {"offset", Region(5, 6, 2, 2).Offset(-6, 4), Region(-1, 10, 2, 2)},
        {"offset invalid", Region(0, 0, 10, 0).Offset(3, 3), Region(0, 0, 10, 0)},
        {"grow invalid", Region(0, 0, 10, 0).Grow(3, 3), Region(0, 0, 10, 0)},
        {"flip invalid", Region(0, 0, 10, 0).Flip(3), Region(0, 0, 10, 0)},
        // Ends compare as unsigned values: a region ending left of 0 ends "after" one at 10.
        {"unsigned ends |", Region(-4, 2, 2, 2) | Region(3, 0, 1, 1), Region(-4, 0, 2, 4)},
        {"unsigned ends &", Region(-5, 0, 3, 3) & Region(0, 0, 10, 10), Region(0, 0, 10, 3)}};
    for (const auto& [what, got, expected] : rows) EXPECT_EQ(got, expected) << what;

    // Ends are exclusive, in both directions; a flat region holds no point.
    const Region box(2, 3, 4, 5), flat(0, 0, 10, 0);
    EXPECT_TRUE(box.IsInRange(p2f(2, 3)) && box.IsInRange(p2f(5.99f, 7.99f)) &&
                !flat.IsInRange(p2f(2, 3)));
    EXPECT_FALSE(box.IsInRange(p2f(6, 3)) || box.IsInRange(p2f(2, 8)) ||
                 box.IsInRange(p2f(1.99f, 4)) || box.IsInRange(p2f(4, 2.99f)));
}

// Intersection is the overlap of the pixel sets, union the bounding box of both.
TEST(MathRegion, AlgebraMatchesPixelSets) {
    using Pixels = std::set<std::pair<int, int>>;
    auto pixelsOf = [](const Region& r) {
        Pixels p;
        for (int y = r.YOrigin(); r.IsValid() && y < r.YEnd(); ++y)
            for (int x = r.XOrigin(); x < r.XEnd(); ++x) p.insert({x, y});
        return p;
    };
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> origin(0, 12), size(0, 6);
    for (int n = 0; n < 3000; ++n) {
        const Region a(origin(rng), origin(rng), size(rng), size(rng)),
            b(origin(rng), origin(rng), size(rng), size(rng));
        Pixels overlap, all = pixelsOf(a);
        for (const auto& p : pixelsOf(b)) (all.count(p) ? overlap : all).insert(p);
        ASSERT_EQ(pixelsOf(a & b), overlap);
        ASSERT_EQ(a & b, overlap.empty() ? Region() : b & a);
        ASSERT_EQ((a | b).IsValid(), !all.empty());
        if (all.empty()) continue;
        int y0 = 1 << 20, y1 = 0; // the set is ordered by x already
        for (const auto& p : all) y0 = std::min(y0, p.second), y1 = std::max(y1, p.second + 1);
        const int x0 = all.begin()->first, x1 = all.rbegin()->first + 1;
        ASSERT_EQ(a | b, Region(x0, y0, unsigned(x1 - x0), unsigned(y1 - y0)));
    }
}

TEST(MathMatrix33, ProductsAndOpenGLLayout) {
    const m33f a(1, 2, 3, 4, 5, 6, 7, 8, 10), swapXYDoubleZ(0, 1, 0, 1, 0, 0, 0, 0, 2);
    EXPECT_TRUE((a * swapXYDoubleZ).equal(m33f(2, 1, 6, 5, 4, 12, 8, 7, 20), 1e-6f));
    EXPECT_TRUE(a.transpose().equal(m33f(1, 4, 7, 2, 5, 8, 3, 6, 10), 1e-9f));
    EXPECT_EQ(p3f(1, 0, -1) * a, p3f(-2, -2, -3)); // vectors are columns
    // OpenGL reads the rows as columns, padded with identity.
    const float gl[16] = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 10, 0, 0, 0, 0, 1};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(static_cast<const float*>(a)[i], gl[i]) << i;
    EXPECT_TRUE(m33f(m44f(gl, false)).equal(a, 1e-9f)); // and back
}

TEST(MathMatrix, InversesOfRandomAndEdgeMatrices) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-2, 2);
    for (int n = 0; n < 500; ++n) {
        const m33f m(u(rng), u(rng), u(rng), u(rng), u(rng), u(rng), u(rng), u(rng), u(rng));
        if (std::fabs(m[0].dot(m[1].cross(m[2]))) > 0.2f) ExpectInverse<3>(m, 1e-4f); // conditioned
        m44f m4;
        // Diagonally dominant, hence well conditioned.
        for (int i = 0; i < 16; ++i) m4[i / 4][i % 4] = u(rng) + (i % 5 ? 0 : 7);
        ExpectInverse<4>(m4, 1e-5f);
    }
    ExpectInverse<3>(m33f(0, 1, 0, 1, 0, 0, 0, 0, 1), 1e-6f); // needs pivoting
    const m33f singular(1, 2, 3, 0, 0, 0, 4, 5, 6);           // comes back unchanged
    EXPECT_TRUE(singular.inverse().equal(singular, 1e-9f));
    m44f flat; // a vanishing 4 x 4 pivot is scaled by 1e9, keeping its sign, instead of failing
    flat[3].set(0, 0, 0, -1e-12f);
    EXPECT_TRUE(flat.inverse()[3][3] == -1e9f && m33f(flat.inverse()).equal(m33f(), 1e-9f));
}

TEST(MathMatrix44, TranslationAndProducts) {
    const m44f m(m33f(1, 2, 3, 4, 5, 6, 7, 8, 9), p3f(10, 11, 12));
    EXPECT_TRUE(m[0] == p4f(1, 2, 3, 10) && m[2] == p4f(7, 8, 9, 12) && m[3] == p4f(0, 0, 0, 1));
    const float* columns = m.transposef();
    for (int i = 0; i < 16; ++i) EXPECT_EQ(columns[i], m[i % 4][i / 4]) << i;
    // + adds to row 3, += to the translation column.
    EXPECT_EQ((m44f() + p3f(1, 2, 3))[3], p4f(1, 2, 3, 2));
    m44f shifted;
    shifted += p3f(1, 2, 3);
    shifted += p4f(1, 1, 1, 50);
    EXPECT_TRUE(shifted[0] == p4f(1, 0, 0, 2) && shifted[1] == p4f(0, 1, 0, 3) &&
                shifted[2] == p4f(0, 0, 1, 4));
    // a * b takes b's 3 x 3 only, from the left: b swaps a's first two rows and doubles the third.
    const m44f a(p4f(1, 2, 3, 4), p4f(5, 6, 7, 8), p4f(9, 10, 11, 12), p4f(13, 14, 15, 16));
    const m33f b(0, 1, 0, 1, 0, 0, 0, 0, 2);
    const m44f expected(p4f(5, 6, 7, 8), p4f(1, 2, 3, 4), p4f(18, 20, 22, 24), p4f(13, 14, 15, 16));
    EXPECT_TRUE((a * m44f(b, p3f(100, 200, 300))).equal(expected, 1e-6f) &&
                (a * b).equal(expected, 1e-6f));
    Matrix gl(true); // column-major, with the perspective divide
    gl.m[0] = 2, gl.m[12] = 1, gl.m[13] = 2, gl.m[14] = 3, gl.m[11] = 1; // w' = z + 1
    EXPECT_TRUE((gl * p3f(1, 1, 1)).equal(p3f(1.5f, 1.5f, 2), 1e-6f) &&
                (gl * p4f(1, 1, 1, 0)).equal(p4f(2, 1, 1, 1), 1e-6f));
}

// For every order and a dense sweep of angles: both exact solutions compose to the rotation
// built here, and the angles found rebuild it, each within half a turn of ref, with no other
// exact solution nearer ref. Where the middle angle is a multiple of a quarter turn only the
// first two hold: a continuum of solutions at gimbal lock, only one of the two solutions on
// offer with no middle turn. YZX and XZY may pick the farther solution when either z lies in
// (-180, -90].
TEST(MathEuler, AnglesAndClosestEulerSweep) {
    const float middles[] = {-180,  -135, -90, -89.5f, -45, -10, -0.01f, 0,
                             0.01f, 10,   45,  89.5f,  90,  135, 180};
    const float offsets[][3] = {{0, 0, 0}, {25, -40, 60}, {-70, 15, -35}, {170, -170, 100}};
    auto zOut = [](double z) { return Wrap180(z) > -180.0 && Wrap180(z) <= -90.0; };
    int nearChecked = 0;
    for (int o = 0; o < 6; ++o) {
        const RotationOrder order = RotationOrder(o);
        const int mid = kSequence[o][1] - 'X', lo = mid == 0 ? 1 : 0, hi = mid == 2 ? 1 : 2;
        for (float b : middles)
            for (int n = 0; n < 25 * 9; ++n) {
                p3f truth, twin; // the two exact solutions
                truth[mid] = b, truth[lo] = 15.0f * (n % 25 - 12), truth[hi] = 45.0f * (n / 25 - 4);
                twin[mid] = 180.0f - b, twin[lo] = truth[lo] + 180, twin[hi] = truth[hi] + 180;
                const m33f m = Reference(truth.x, truth.y, truth.z, o);
                ASSERT_TRUE(m33f::angle(truth, order).equal(m, 1e-5f)) << o << truth;
                ASSERT_TRUE(m33f::angle(twin, order).equal(m, 1e-5f)) << o << twin;
                const bool onlyExact = std::fmod(std::fabs(b), 90.0f) == 0 ||
                                       ((o == YZX || o == XZY) && (zOut(truth.z) || zOut(twin.z)));
                for (const auto& off : offsets) {
                    p3f ref;
                    for (int k = 0; k < 3; ++k) ref[k] = float(Wrap180(truth[k] + off[k]));
                    const p3f got = m.to_closest_euler(ref, order);
                    SCOPED_TRACE(testing::Message() << kSequence[o] << truth << ref << got);
                    ASSERT_TRUE(m33f::angle(got, order).equal(m, 1e-4f));
                    for (int k = 0; k < 3; ++k) ASSERT_LE(std::fabs(got[k] - ref[k]), 180.001f);
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
    // nothing and give ref back.
    EXPECT_TRUE((p3f(1, 0, 0) * m33f::angle(0, 90, 0, XYZ)).equal(p3f(0, 0, 1), 1e-6f));
    EXPECT_TRUE(m33f::angle(10, 20, 30, RotationOrder(6)).equal(m33f(), 1e-9f));
    EXPECT_EQ(m33f().to_closest_euler(p3f(1, 2, 3), RotationOrder(9)), p3f(1, 2, 3));
    // Whole turns follow ref.
    const p3f turned(370, 20, 30);
    EXPECT_TRUE(m33f::angle(turned, ZXY).to_closest_euler(turned, ZXY).equal(turned, 1e-3f));
    // A quarter-turn outer angle with no middle turn zeroes the elements the candidates are read
    // from; the result must still rebuild the rotation.
    const std::pair<RotationOrder, p3f> quarterTurns[] = {
        {ZXY, {0, -170, 90}}, {ZXY, {180, 35, -90}}, {YXZ, {0, 90, 20}},
        {YZX, {-90, 40, 0}},  {XZY, {90, 10, 180}},  {ZYX, {90, 0, 30}}};
    for (const auto& [order, a] : quarterTurns)
        for (const m33f& m : {m33f::angle(a, order), Reference(a.x, a.y, a.z, order)})
            EXPECT_TRUE(m33f::angle(m.to_closest_euler(a, order), order).equal(m, 1e-4f))
                << order << a;
    // The reverse order composes the same axes back to front; other values map to themselves.
    for (int o = 0; o < 6; ++o) {
        const std::string s = kSequence[o];
        EXPECT_EQ(std::string(s.rbegin(), s.rend()),
                  kSequence[ReverseRotationOrder(RotationOrder(o))]);
    }
    EXPECT_TRUE(ReverseRotationOrder(RotationOrder(7)) == 7 &&
                ReverseRotationOrder(RotationOrder(-1)) == -1);
}
