// Vectors, the degree helpers and colours.
#include "math/Color.h"
#include "math/Vector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <new>

using namespace OGL_TESK_AE;

namespace {
void ExpectP3(const p3f& v, float x, float y, float z, float eps = 1e-5f) {
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
}
} // namespace

// Every way of making a p3f writes 0 into its fourth word, whatever the memory held before.
TEST(MathVector, FourthWordIsZero) {
    const float xyz[3] = {1, 2, 3};
    const p3f source(4, 5, 6);
    alignas(p3f) unsigned char storage[sizeof(p3f)];
    auto dirty = [&] { return static_cast<void*>(std::memset(storage, 0x7F, sizeof storage)); };
    for (const p3f* v : {new (dirty()) p3f(), new (dirty()) p3f(1, 2, 3), new (dirty()) p3f(xyz),
                         new (dirty()) p3f(p2f(1, 2)), new (dirty()) p3f(p4f(1, 2, 3, 9)),
                         new (dirty()) p3f(source)}) {
        EXPECT_EQ(v->pad, 0.0f);
    }
    EXPECT_EQ((source + source).pad, 0.0f);
    EXPECT_EQ(source.cross(p3f(1, 0, 0)).pad, 0.0f);
    p3f copy(1, 1, 1);
    copy.pad = 5;
    copy = p4f(1, 2, 3, 4);
    EXPECT_EQ(copy.pad, 0.0f);
}

TEST(MathVector, Arithmetic) {
    p2f a(2, 8);
    EXPECT_EQ(a / p2f(2, 4), p2f(1, 2));
    a -= p2f(1, 1);
    a *= 2.0;
    EXPECT_EQ(-a / 4.0f + 1.0f, p2f(0.5f, -2.5f));
    EXPECT_EQ(p2f(3, 4).set(1, 2).reset(), p2f());
    ExpectP3(p3f(1, 2, 3).cross(p3f(4, 5, 6)), -3, 6, -3);
    ExpectP3(p3f(3, 0, 4).normalize(), 0.6f, 0, 0.8f);
    ExpectP3(p3f(1, 0, 0).rotax(p3f(0, 5, 0)), 0, 0, 1);
    ExpectP3(p3f(-1, 0, 1).compress(10), 0, 5, 10);
    float m[16] = {};
    m[12] = 7, m[13] = 8, m[14] = 9;
    p3f t;
    t.set(m);
    ExpectP3(t, 7, 8, 9);
    EXPECT_EQ(p4f(), p4f(0, 0, 0, 1));
    EXPECT_EQ(p4f(p3f(1, 2, 3)), p4f(1, 2, 3, 1));
    EXPECT_EQ(p4f(2, 4, 6, 8) / 2.0f, p4f(1, 2, 3, 4));
    EXPECT_FALSE(p4f(1, 1, 1, 1).equal(p4f(1, 1, 1, 1.2f), 0.1f));
}

TEST(MathVector, EdgeCases) {
    EXPECT_NEAR(p2f(1, 0).deg(p2f(0, 1)), 90.0f, 1e-4f);
    EXPECT_EQ(p3f(1, 0, 0).rad(p3f(1, 0, 0)), 0.0f);
    EXPECT_NEAR(p3f(1, 0, 0).deg(p3f(-1, 0, 0)), 180.0f, 1e-3f);
    EXPECT_TRUE(p2f(0.00005f, 0) == p2f(0, 0));
    EXPECT_FALSE(p2f(0.0002f, 0) == p2f(0, 0));
    ExpectP3(p3f(0.5f, 2, 0.1f).lowUniClamp(0.2f), 0.2f, 0.2f, 0.2f);
    ExpectP3(p3f(0.5f, 2, 0.1f).lowUniClamp(0.05f), 0.5f, 2, 0.1f);
    ExpectP3(p3f(-2, 0.25f, NAN).UnitClamp(), 0, 0.25f, 0);
    EXPECT_EQ(p2f(7, NAN).UnitClamp(), p2f(1, 0));
    EXPECT_EQ(p2f(3, 4)[5], 3);
    EXPECT_EQ(p3f(3, 4, 5)[-1], 3);
}

// The angle rule: into one turn, quarter turns snapped, the removed turns returned.
TEST(MathVector, ClampDegrees) {
    // 359.9999f is the nearest float below 360 that still snaps; 359.99999f would already be
    // 360.0f, a whole turn.
    p3f a(-30, 720, 359.9999f);
    p3f turns = a.clamp_deg();
    ExpectP3(a, 330, 0, 0, 0);
    ExpectP3(turns, -360, 720, 0, 0);
    const struct {
        float in, out, turns;
    } table[] = {{-360, 0, -720},       {90.00005f, 90, 0},   {-180, 180, -360},
                 {1080.5f, 0.5f, 1080}, {-0.00001f, 0, -360}, {360, 0, 360},
                 {-719.5f, 0.5f, -720}, {179.99991f, 180, 0}, {0.0002f, 0.0002f, 0}};
    for (const auto& row : table) {
        p3f v(row.in, 0, 0);
        p3f t = v.clamp_deg();
        EXPECT_EQ(v.x, row.out) << row.in;
        EXPECT_EQ(t.x, row.turns) << row.in;
    }
    ExpectP3(p3f(350, 10, 0).closest_deg_octave(p3f(10, 350, 0)), -10, 370, 0);
    ExpectP3(p3f(700, 0, 0).closest_deg_octave(p3f(0, 0, 0)), 340, 0, 0); // one step only
    EXPECT_FLOAT_EQ(p3f(10, 0, 0).euler_distance_sq(p3f(350, 0, 0)), 400);
    EXPECT_FLOAT_EQ(p3f(0, 90, 0).euler_distance_sq(p3f(180, 0, 270)), 180 * 180 + 2 * 90 * 90);
}

TEST(MathColor, Values) {
    EXPECT_EQ(Color(), Color(1, 1, 1, 1));
    EXPECT_EQ(Color(0.25f), Color(0.25f, 0.25f, 0.25f, 0.25f));
    Color packed(uint32_t{0x0000FF80});
    EXPECT_FLOAT_EQ(packed.r, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(packed.g, 1.0f);
    EXPECT_EQ(packed.b, 0.0f);
    EXPECT_EQ(packed.a, 1.0f);
    EXPECT_FLOAT_EQ(Color(uint32_t{0x00FF0000}).b, 1.0f);
    EXPECT_FLOAT_EQ(Color(1, 1, 1, 0.5f).Luma(), 0.5f);
    EXPECT_FLOAT_EQ(Color(1, 0, 0, 1).Luma(), 0.299f);
    EXPECT_EQ(Color(-1, 0.5f, 2, NAN).Clamp(), Color(0, 0.5f, 1, 0));
    EXPECT_EQ(Color(1, 2, 3, 4) - Color(1.0f), Color(0, 1, 2, 3));
    EXPECT_EQ(Color(1, 2, 3, 4) * Color(2, 0, 1, 0.5f), Color(2, 0, 3, 2));
    EXPECT_NE(Color(0.5f), Color(0.5f, 0.5f, 0.5f, 0.50001f));
    for (int i = 0; i < 1000; ++i) {
        const Color c = Color::Random();
        ASSERT_EQ(c, c.Clamp());
        ASSERT_EQ(c.a, 1.0f);
    }
}
