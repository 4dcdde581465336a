// The state values that can be checked without a context: values derived from their arguments,
// and the Push scope's save-once, restore-once discipline.

#include "TestImage.h"

#include "gl/state/Fragment.h"
#include "gl/state/Light.h"
#include "gl/state/MatrixState.h"
#include "gl/state/Pixel.h"
#include "gl/state/Push.h"

#include <gtest/gtest.h>

#include <array>
#include <stdexcept>

namespace {

using namespace OGL_TESK_AE;
using tesk_test::TestImage;

// A piece of "state" that counts the calls Push makes on it; sCurrent is the state itself.
struct Probe {
    static inline int sRetrieves, sApplies, sCurrent;
    static inline bool sThrows;
    int value = -1;
    void Retrieve() { ++sRetrieves, value = sCurrent; }
    void Apply() const {
        ++sApplies, sCurrent = sThrows ? throw std::runtime_error("unsupported") : value;
    }
    static void Reset(int current, bool throws = false) {
        sRetrieves = sApplies = 0, sCurrent = current, sThrows = throws;
    }
};

TEST(Push, SavesOnceAndRestoresExactlyOnce) {
    Probe::Reset(7);
    {
        Push<Probe> scope(Probe{3});
        EXPECT_TRUE(Probe::sCurrent == 3 && scope.value == 7);
        scope.Pop();
        EXPECT_EQ(Probe::sCurrent, 7);
        Probe::sCurrent = 9;
        scope.Pop(); // neither a second Pop nor the destructor restores again
    }
    EXPECT_TRUE(Probe::sCurrent == 9 && Probe::sRetrieves == 1 && Probe::sApplies == 2);
    Probe::Reset(5);
    try {
        Push<Probe> scope(Probe{1});
        throw std::logic_error("leave");
    } catch (const std::logic_error&) {
    }
    { Push<Probe> unchanged; }
    EXPECT_TRUE(Probe::sCurrent == 5 && Probe::sApplies == 3);
    // A failing apply in the constructor: the restore is still tried (and fails quietly).
    Probe::Reset(4, true);
    EXPECT_THROW(Push<Probe> scope(Probe{8}), std::runtime_error);
    EXPECT_EQ(Probe::sApplies, 2);
    Probe::Reset(0);
}

TEST(StateValues, DerivedFromTheirArguments) {
    // ARGB words read as r, g, b, a come out as R, G, B, A, scaled (column-major, as OpenGL).
    const ARGBWrite argb(0.5f);
    const float in[4] = {0.9f, 0.1f, 0.2f, 0.3f};
    std::array<double, 4> out{};
    for (int i = 0; i < 16; ++i) out[i % 4] += argb.m[i] * in[i / 4];
    EXPECT_EQ(out, (std::array<double, 4>{0.5 * 0.1f, 0.5 * 0.2f, 0.5 * 0.3f, 0.5 * 0.9f}));
    // Pixel rows from the image's row bytes; none when rows are shorter than their pixels.
    const TestImage padded(10, 6, tesk_test::Fourcc("RGBA"), 32, 255, false, 48),
        tooShort(10, 6, tesk_test::Fourcc("RGBA"), 32, 255, false, 39);
    const PixelUnpack unpack(&padded, 2, 3);
    EXPECT_TRUE(unpack.alignment == 4 && unpack.rowLength == 12 && unpack.imageHeight == 6 &&
                unpack.skipPixels == 2 && unpack.skipRows == 3);
    EXPECT_TRUE(PixelUnpack(nullptr, 1, 1).rowLength == 0 &&
                PixelPack(&tooShort, 0, 0).rowLength == 0);
    // Tests that always pass are switched off.
    EXPECT_FALSE(DepthFunc(GL_ALWAYS).enabled || AlphaFunc(GL_ALWAYS, 0.5f).enabled);
    EXPECT_TRUE(DepthFunc(GL_LEQUAL).enabled && AlphaFunc(GL_GREATER, 0.5f).enabled);
    ParamLight light(3);
    light.direction = p4f(1, 2, 3, 0);
    light.SetDefaults(5, 99); // twice the distance down the z axis; light and direction kept
    EXPECT_TRUE(light.enabled && light.position == p4f(0, 0, -10, 1) && light.direction.y == 2.0f &&
                light.light == GL_LIGHT3);
}

} // namespace
