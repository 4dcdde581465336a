// Vectors, the degree helpers and colours.
#include "math/Color.h"
#include "math/Vector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <new>

using namespace OGL_TESK_AE;

// The fourth word takes part in whole-vector compares and copies: every way of making a p3f
// must clear it, whatever the memory held before.
TEST(MathVector, FourthWordIsZero) {
    const float xyz[3] = {1, 2, 3};
    const p3f source(4, 5, 6);
    alignas(p3f) unsigned char storage[sizeof(p3f)];
    auto dirty = [&] { return static_cast<void*>(std::memset(storage, 0x7F, sizeof storage)); };
    for (const p3f* v : {new (dirty()) p3f(), new (dirty()) p3f(1, 2, 3), new (dirty()) p3f(xyz),
                         new (dirty()) p3f(p2f(1, 2)), new (dirty()) p3f(p4f(1, 2, 3, 9)),
                         new (dirty()) p3f(source)})
        EXPECT_EQ(v->pad, 0.0f);
    p3f copy(1, 1, 1);
    copy.pad = 5;
    copy = p4f(1, 2, 3, 4);
    EXPECT_TRUE((source + source).pad == 0 && source.cross(p3f(1, 0, 0)).pad == 0 && copy.pad == 0);
}

TEST(MathVector, EdgeCases) {
    EXPECT_EQ(p3f(1, 0, 0).rad(p3f(1, 0, 0)), 0.0f); // no NaN from acos of a rounded 1
    EXPECT_NEAR(p3f(1, 0, 0).deg(p3f(-1, 0, 0)), 180.0f, 1e-3f);
    EXPECT_TRUE(p2f(0.00005f, 0) == p2f(0, 0) && !(p2f(0.0002f, 0) == p2f(0, 0)));
    EXPECT_EQ(p3f(0.5f, 2, 0.1f).lowUniClamp(0.2f), p3f(0.2f, 0.2f, 0.2f)); // all or nothing
    EXPECT_EQ(p3f(0.5f, 2, 0.1f).lowUniClamp(0.05f), p3f(0.5f, 2, 0.1f));
    EXPECT_TRUE(p3f(-2, 0.25f, NAN).UnitClamp() == p3f(0, 0.25f, 0) &&
                p2f(7, NAN).UnitClamp() == p2f(1, 0));
    EXPECT_TRUE(p2f(3, 4)[5] == 3 && p3f(3, 4, 5)[-1] == 3); // out of range reads x
    EXPECT_TRUE(p3f(-1, 0, 1).compress(10) == p3f(0, 5, 10) &&
                p3f(1, 0, 0).rotax(p3f(0, 5, 0)) == p3f(0, 0, 1));
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
    EXPECT_EQ(p3f(350, 10, 0).closest_deg_octave(p3f(10, 350, 0)), p3f(-10, 370, 0));
    EXPECT_EQ(p3f(700, 0, 0).closest_deg_octave(p3f(0, 0, 0)), p3f(340, 0, 0)); // one step only
    EXPECT_FLOAT_EQ(p3f(0, 90, 0).euler_distance_sq(p3f(180, 0, 270)), 180 * 180 + 2 * 90 * 90);
}

TEST(MathColor, PackedWordsAndClamp) {
    const Color packed(uint32_t{0x00FF0080}); // red in the low byte
    EXPECT_NEAR(packed.r, 128.0f / 255, 1e-6f);
    EXPECT_TRUE(packed.g == 0 && std::fabs(packed.b - 1) < 1e-6f && packed.a == 1);
    EXPECT_EQ(Color(-1, 0.5f, 2, NAN).Clamp(), Color(0, 0.5f, 1, 0));
    EXPECT_FLOAT_EQ(Color(1, 1, 1, 0.5f).Luma(), 0.5f); // weights summing to 1, times coverage
    for (int i = 0; i < 1000; ++i) {
        const Color c = Color::Random();
        ASSERT_TRUE(c == c.Clamp() && c.a == 1.0f);
    }
}
