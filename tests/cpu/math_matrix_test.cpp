// 3 x 3 and 4 x 4 matrices and the double-precision OpenGL matrix, on the CPU.
#include "math/Matrix.h"
#include "math/Matrix33.h"
#include "math/Matrix44.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace OGL_TESK_AE;

namespace {
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

TEST(MathMatrix33, ProductsAndOpenGLLayout) {
    const m33f a(1, 2, 3, 4, 5, 6, 7, 8, 10), swapXYDoubleZ(0, 1, 0, 1, 0, 0, 0, 0, 2);
    EXPECT_TRUE((a * swapXYDoubleZ).equal(m33f(2, 1, 6, 5, 4, 12, 8, 7, 20), 1e-6f));
    EXPECT_TRUE(a.transpose().equal(m33f(1, 4, 7, 2, 5, 8, 3, 6, 10), 1e-9f));
    EXPECT_EQ(p3f(1, 0, -1) * a, p3f(-2, -2, -3)); // vectors are columns
    // OpenGL reads the rows as columns, padded with identity; set() skips the padding.
    const float expected[16] = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 10, 0, 0, 0, 0, 1};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(static_cast<const float*>(a)[i], expected[i]) << i;
    float padded[16];
    for (int i = 0; i < 16; ++i) padded[i] = i % 4 == 3 || i > 11 ? 99 : expected[i];
    m33f d;
    d.set(padded);
    EXPECT_TRUE(d.equal(a, 1e-9f) && m33f(m44f(padded, false)).equal(a, 1e-9f));
}

// Any axis stays put, a perpendicular turns by the angle the right-hand way, lengths are kept.
TEST(MathMatrix33, AxisAngleTurnsAboutTheAxis) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-1, 1);
    for (int n = 0; n < 200; ++n) {
        const p3f axis(u(rng), u(rng), u(rng)), side = axis.cross(p3f(u(rng), u(rng), u(rng)));
        if (axis.length() < 0.1f || side.length() < 0.05f) continue;
        const float degrees = 170 * u(rng);
        const p3f turned = side * m33f::axangle(axis, degrees);
        ASSERT_TRUE((axis * m33f::axangle(axis, degrees)).equal(axis, 1e-5f));
        ASSERT_NEAR(turned.length(), side.length(), 1e-4f);
        ASSERT_NEAR(side.deg(turned), std::fabs(degrees), 0.02f);
        ASSERT_TRUE(std::fabs(degrees) <= 1 || side.cross(turned).dot(axis) * degrees > 0);
    }
}

TEST(MathMatrix, InversesOfRandomAndEdgeMatrices) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-2, 2);
    for (int n = 0; n < 500; ++n) {
        const m33f m(u(rng), u(rng), u(rng), u(rng), u(rng), u(rng), u(rng), u(rng), u(rng));
        if (std::fabs(m[0].dot(m[1].cross(m[2]))) > 0.2f) ExpectInverse<3>(m, 1e-4f);
        m44f m4;
        for (int i = 0; i < 16; ++i)
            m4[i / 4][i % 4] = u(rng) + (i % 5 ? 0 : 7); // well conditioned
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
    EXPECT_TRUE(shifted[0] == p4f(1, 0, 0, 2) && shifted[1] == p4f(0, 1, 0, 3));
    EXPECT_TRUE(shifted[2] == p4f(0, 0, 1, 4) && shifted[3] == p4f(0, 0, 0, 1));
    // a * b takes b's 3 x 3 only, from the left: b swaps a's first two rows and doubles the third.
    const m44f a(p4f(1, 2, 3, 4), p4f(5, 6, 7, 8), p4f(9, 10, 11, 12), p4f(13, 14, 15, 16));
    const m33f b(0, 1, 0, 1, 0, 0, 0, 0, 2);
    const m44f expected(p4f(5, 6, 7, 8), p4f(1, 2, 3, 4), p4f(18, 20, 22, 24), p4f(13, 14, 15, 16));
    EXPECT_TRUE((a * m44f(b, p3f(100, 200, 300))).equal(expected, 1e-6f) &&
                (a * b).equal(expected, 1e-6f));
}

TEST(MathMatrixGL, ColumnMajorPointTransformWithPerspectiveDivide) {
    Matrix m(true), copy(false);
    m.m[0] = 2, m.m[12] = 1, m.m[13] = 2, m.m[14] = 3;
    m.m[11] = 1; // w' = z + 1
    EXPECT_TRUE((m * p3f(1, 1, 1)).equal(p3f(1.5f, 1.5f, 2), 1e-6f));
    EXPECT_TRUE((m * p4f(1, 1, 1, 0)).equal(p4f(2, 1, 1, 1), 1e-6f));
    copy = m;
    EXPECT_TRUE(copy.m[11] == 1.0 && copy.mode == m.mode);
}
