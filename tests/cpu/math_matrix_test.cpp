// 3 x 3 and 4 x 4 matrices and the double-precision OpenGL matrix, on the CPU.
#include "math/Matrix.h"
#include "math/Matrix33.h"
#include "math/Matrix44.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace OGL_TESK_AE;

namespace {
constexpr float kPi = 3.14159265f;

// Plain row-by-column products, independent of the operators under test.
template <int N, typename M> void Multiply(const M& a, const M& b, float (&out)[N][N]) {
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < N; ++j) {
            out[i][j] = 0;
            for (int k = 0; k < N; ++k) out[i][j] += a[i][k] * b[k][j];
        }
}

template <int N> void ExpectIdentity(const float (&m)[N][N], float eps) {
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < N; ++j) ASSERT_NEAR(m[i][j], i == j ? 1.0f : 0.0f, eps) << i << j;
}

float Det3(const m33f& m) {
    return m[0].dot(m[1].cross(m[2]));
}
} // namespace

TEST(MathMatrix33, Basics) {
    const m33f a(1, 2, 3, 4, 5, 6, 7, 8, 10);
    const m33f b(0, 1, 0, 1, 0, 0, 0, 0, 2); // swaps x and y, doubles z
    EXPECT_TRUE((a * b).equal(m33f(2, 1, 6, 5, 4, 12, 8, 7, 20), 1e-6f));
    EXPECT_TRUE(a.transpose().equal(m33f(1, 4, 7, 2, 5, 8, 3, 6, 10), 1e-9f));
    EXPECT_EQ(a.diagonal(), p3f(1, 5, 10));
    // Vectors are columns: component i is row i times the vector.
    EXPECT_EQ(p3f(1, 0, -1) * a, p3f(-2, -2, -3));
    // The OpenGL buffer holds the rows as columns, with the fourth row and column of identity.
    const float* gl = a;
    const float expected[16] = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 10, 0, 0, 0, 0, 1};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(gl[i], expected[i]) << i;
    m33f d;
    const float m44[16] = {1, 2, 3, 99, 4, 5, 6, 99, 7, 8, 10, 99, 99, 99, 99, 99};
    d.set(m44);
    EXPECT_TRUE(d.equal(a, 1e-9f));
    EXPECT_TRUE(m33f(m44f(m44, false)).equal(a, 1e-9f));
    EXPECT_TRUE(m33f::scale(p3f(1, 2, 3)).equal(m33f(1, 0, 0, 0, 2, 0, 0, 0, 3), 1e-9f));
    EXPECT_FALSE(m33f().equal(m33f::scale(1.0f, 1.0f, 1.0002f), 1e-4f));
}

TEST(MathMatrix33, AxisAngle) {
    EXPECT_TRUE((p3f(1, 0, 0) * m33f::axangle(p3f(0, 0, 1), 90)).equal(p3f(0, 1, 0), 1e-6f));
    EXPECT_TRUE(m33f::axangle(p3f(0.3f, -2, 1), 0).equal(m33f(), 1e-7f));
    const float c = std::cos(30 * kPi / 180), s = std::sin(30 * kPi / 180);
    EXPECT_TRUE(m33f::axangle(p3f(5, 0, 0), 30).equal(m33f(1, 0, 0, 0, c, -s, 0, s, c), 1e-6f));
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-1, 1);
    for (int n = 0; n < 200; ++n) {
        p3f axis(u(rng), u(rng), u(rng));
        if (axis.length() < 0.1f) continue;
        const float degrees = 170 * u(rng);
        const m33f r = m33f::axangle(axis, degrees);
        // The axis stays, a perpendicular direction turns by the angle, lengths are kept.
        ASSERT_TRUE((axis * r).equal(axis, 1e-5f));
        p3f perpendicular = axis.cross(p3f(u(rng), u(rng), u(rng)));
        if (perpendicular.length() < 0.05f) continue;
        p3f turned = perpendicular * r;
        ASSERT_NEAR(turned.length(), perpendicular.length(), 1e-4f);
        ASSERT_NEAR(perpendicular.deg(turned), std::fabs(degrees), 0.02f);
        // Turning positively about the axis follows the right-hand rule.
        if (std::fabs(degrees) > 1) {
            ASSERT_GT(perpendicular.cross(turned).dot(axis) * degrees, 0);
        }
    }
}

TEST(MathMatrix33, Inverse) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-2, 2);
    int tested = 0;
    while (tested < 500) {
        m33f m(u(rng), u(rng), u(rng), u(rng), u(rng), u(rng), u(rng), u(rng), u(rng));
        if (std::fabs(Det3(m)) < 0.2f) continue;
        float product[3][3];
        Multiply<3>(m, m.inverse(), product);
        ExpectIdentity(product, 1e-4f);
        ++tested;
    }
    // Pivoting copes with a zero on the diagonal.
    float product[3][3];
    const m33f swap(0, 1, 0, 1, 0, 0, 0, 0, 1);
    Multiply<3>(swap, swap.inverse(), product);
    ExpectIdentity(product, 1e-6f);
    // A singular matrix comes back unchanged.
    const m33f zeroRow(1, 2, 3, 0, 0, 0, 4, 5, 6);
    EXPECT_TRUE(zeroRow.inverse().equal(zeroRow, 1e-9f));
}

TEST(MathMatrix44, ConstructionAndLayout) {
    const m33f r(1, 2, 3, 4, 5, 6, 7, 8, 9);
    const m44f m(r, p3f(10, 11, 12));
    EXPECT_EQ(m[0], p4f(1, 2, 3, 10));
    EXPECT_EQ(m[2], p4f(7, 8, 9, 12));
    EXPECT_EQ(m[3], p4f(0, 0, 0, 1));
    EXPECT_EQ(m44f(r)[1], p4f(4, 5, 6, 0));
    const float* rows = m;
    for (int i = 0; i < 16; ++i) EXPECT_EQ(rows[i], m[i / 4][i % 4]) << i;
    const float* columns = m.transposef();
    for (int i = 0; i < 16; ++i) EXPECT_EQ(columns[i], m[i % 4][i / 4]) << i;
    float p[16];
    for (int i = 0; i < 16; ++i) p[i] = float(i);
    EXPECT_EQ(m44f(p, false)[1], p4f(4, 5, 6, 7));
    EXPECT_EQ(m44f(p, true)[1], p4f(1, 5, 9, 13));
    float out[3];
    const float in[3] = {1, 1, 1};
    m.transform3f(in, out);
    EXPECT_EQ(p3f(out), p3f(6, 15, 24));
}

TEST(MathMatrix44, Operators) {
    // + adds to row 3, += to the translation column.
    const m44f plus = m44f() + p3f(1, 2, 3);
    EXPECT_EQ(plus[3], p4f(1, 2, 3, 2));
    EXPECT_EQ(plus[0], p4f(1, 0, 0, 0));
    EXPECT_EQ((m44f() + p4f(1, 2, 3, 4))[3], p4f(1, 2, 3, 5));
    m44f shifted;
    shifted += p3f(1, 2, 3);
    shifted += p4f(1, 1, 1, 50);
    EXPECT_EQ(shifted[0], p4f(1, 0, 0, 2));
    EXPECT_EQ(shifted[2], p4f(0, 0, 1, 4));
    EXPECT_EQ(shifted[3], p4f(0, 0, 0, 1));

    // a * b takes b's 3 x 3 only and multiplies it from the left: b swaps a's first two rows
    // and doubles the third; the translation of b and a's row 3 play no part.
    const m44f a(p4f(1, 2, 3, 4), p4f(5, 6, 7, 8), p4f(9, 10, 11, 12), p4f(13, 14, 15, 16));
    const m33f swapDouble(0, 1, 0, 1, 0, 0, 0, 0, 2);
    const m44f b(swapDouble, p3f(100, 200, 300));
    const m44f expected(p4f(5, 6, 7, 8), p4f(1, 2, 3, 4), p4f(18, 20, 22, 24), p4f(13, 14, 15, 16));
    EXPECT_TRUE((a * b).equal(expected, 1e-6f));
    EXPECT_TRUE((a * swapDouble).equal(expected, 1e-6f));
    m44f c(a);
    c *= b;
    EXPECT_TRUE(c.equal(expected, 1e-6f));
}

TEST(MathMatrix44, Inverse) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> u(-2, 2);
    for (int n = 0; n < 300; ++n) {
        m44f m;
        for (int i = 0; i < 4; ++i) m[i].set(u(rng), u(rng), u(rng), u(rng));
        // Diagonally dominant, hence well conditioned.
        for (int i = 0; i < 4; ++i) m[i][i] += m[i][i] < 0 ? -7.0f : 7.0f;
        float product[4][4];
        Multiply<4>(m, m.inverse(), product);
        ExpectIdentity(product, 1e-5f);
    }
    // A vanishing pivot is scaled by 1e9 (negated for a negative one) instead of failing.
    m44f flat;
    flat[3].set(0, 0, 0, 0);
    m44f inv = flat.inverse();
    EXPECT_EQ(inv[3][3], 1e9f);
    EXPECT_TRUE(m33f(inv).equal(m33f(), 1e-9f));
    flat[3].set(0, 0, 0, -1e-12f);
    EXPECT_EQ(flat.inverse()[3][3], -1e9f);
}

TEST(MathMatrixGL, PointTransform) {
    Matrix id(true);
    EXPECT_EQ(id * p3f(1, 2, 3), p3f(1, 2, 3));
    // Column-major: m[12..14] translate, m[3], m[7], m[11], m[15] make w.
    Matrix m(true);
    m.m[0] = 2;
    m.m[12] = 1, m.m[13] = 2, m.m[14] = 3;
    m.m[11] = 1; // w' = z + 1
    EXPECT_TRUE((m * p3f(1, 1, 1)).equal(p3f(1.5f, 1.5f, 2), 1e-6f));
    EXPECT_TRUE((m * p4f(1, 1, 1, 0)).equal(p4f(2, 1, 1, 1), 1e-6f));
    Matrix copy(false);
    copy = m;
    EXPECT_EQ(copy.m[11], 1.0);
    EXPECT_EQ(copy.mode, m.mode);
}
