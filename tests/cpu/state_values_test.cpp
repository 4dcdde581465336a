// The state values that can be checked without a context: constructors composing values, and
// the Push scope's save-once, restore-once discipline.

#include "TestImage.h"

#include "gl/state/Fragment.h"
#include "gl/state/Light.h"
#include "gl/state/Material.h"
#include "gl/state/MatrixState.h"
#include "gl/state/Pixel.h"
#include "gl/state/Push.h"
#include "gl/state/TextureState.h"

#include <gtest/gtest.h>

#include <array>
#include <stdexcept>

namespace {

using namespace OGL_TESK_AE;
using tesk_test::TestImage;

// A piece of "state" that records the calls Push makes on it.
struct Probe {
    static inline int sRetrieves = 0, sApplies = 0, sCurrent = 0; // sCurrent: the state itself
    static inline bool sThrowOnApply = false;
    int value = -1;
    Probe() = default;
    explicit Probe(int v) : value(v) {}
    void Retrieve() { ++sRetrieves, value = sCurrent; }
    void Apply() const {
        ++sApplies;
        if (sThrowOnApply) throw std::runtime_error("unsupported");
        sCurrent = value;
    }
    static void Reset(int current, bool throwOnApply = false) {
        sRetrieves = sApplies = 0;
        sCurrent = current;
        sThrowOnApply = throwOnApply;
    }
};

TEST(Push, SavesOnceAndRestoresExactlyOnce) {
    Probe::Reset(7);
    {
        Push<Probe> scope(Probe(3));
        EXPECT_TRUE(Probe::sCurrent == 3 && scope.value == 7);
        scope.Pop();
        EXPECT_EQ(Probe::sCurrent, 7);
        Probe::sCurrent = 9;
        scope.Pop();
        EXPECT_EQ(Probe::sCurrent, 9) << "a second Pop does nothing";
    }
    EXPECT_EQ(Probe::sCurrent, 9) << "destruction after Pop restores nothing";
    EXPECT_TRUE(Probe::sRetrieves == 1 && Probe::sApplies == 2); // the new value, the restore

    Probe::Reset(5);
    try {
        Push<Probe> scope(Probe(1));
        throw std::logic_error("leave");
    } catch (const std::logic_error&) {
    }
    { Push<Probe> unchanged; }
    EXPECT_TRUE(Probe::sCurrent == 5 && Probe::sApplies == 3);

    // A failing apply in the constructor: the restore is still attempted (and fails quietly in
    // the destructor).
    Probe::Reset(4, true);
    EXPECT_THROW(Push<Probe> scope(Probe(8)), std::runtime_error);
    EXPECT_EQ(Probe::sApplies, 2);
    Probe::Reset(0);
}

// A column-major 4 x 4 matrix times a column vector, as OpenGL multiplies them.
std::array<double, 4> Transform(const double* m, const std::array<float, 4>& in) {
    std::array<double, 4> out{};
    for (int i = 0; i < 16; ++i) out[i % 4] += m[i] * in[i / 4];
    return out;
}

TEST(ColorMatrix, ChannelsAreDotProductsWithTheRowColours) {
    const ColorMatrix m(Color(1, 2, 3, 4), Color(5, 6, 7, 8), Color(9, 10, 11, 12),
                        Color(13, 14, 15, 16));
    // Row i, column j is component j of colour i: column-major index 4j + i.
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_EQ(m.m[4 * j + i], 4 * i + j + 1) << i << " " << j;
    // ARGB words read as r, g, b, a come out as R, G, B, A, scaled.
    const std::array<double, 4> argb = Transform(ARGBWrite(0.5f).m, {0.9f, 0.1f, 0.2f, 0.3f});
    EXPECT_EQ(argb, (std::array<double, 4>{0.5 * 0.1f, 0.5 * 0.2f, 0.5 * 0.3f, 0.5 * 0.9f}));
}

// The fields in the order alignment, row length, image height, skipped pixels, skipped rows.
template <class Store> std::array<int, 5> Fields(const Store& p) {
    return {p.alignment, p.rowLength, p.imageHeight, p.skipPixels, p.skipRows};
}

TEST(PixelLayout, ImageRowsGivePixelRowLengthAndHeight) {
    using F = std::array<int, 5>;
    const int32_t RGBA = tesk_test::Fourcc("RGBA");
    const TestImage padded(10, 6, RGBA, 32, 255, false, 48); // 10 pixels of 4 bytes, rows of 48
    const TestImage floats(3, 2, RGBA, 128, 1, false, 64);
    const TestImage tooShort(10, 6, RGBA, 32, 255, false, 39); // rows shorter than their pixels
    EXPECT_EQ(Fields(PixelUnpack(&padded, 2, 3)), (F{4, 12, 6, 2, 3}));
    EXPECT_EQ(Fields(PixelUnpack(nullptr, 1, 1)), (F{4, 0, 0, 1, 1}));
    EXPECT_EQ(PixelPack(&floats, 0, 0).rowLength, 4);
    EXPECT_EQ(PixelPack(&tooShort, 0, 0).rowLength, 0);
}

TEST(StateValues, ConstructorsComposeTheirArguments) {
    // Depth and alpha tests are switched off for GL_ALWAYS; units are taken either way.
    EXPECT_FALSE(DepthFunc(GL_ALWAYS).enabled);
    EXPECT_TRUE(DepthFunc(GL_LEQUAL).enabled);
    EXPECT_FALSE(AlphaFunc(GL_ALWAYS, 0.5f).enabled);
    EXPECT_TRUE(AlphaFunc(GL_GREATER, 0.5f).enabled);
    EXPECT_EQ(TextureUnit(GL_TEXTURE0 + 5).unit, GLenum(GL_TEXTURE5));
    EXPECT_EQ(int(TextureUnit(5)), 5);
    const ColorMaterial cm(Color::Red, Color::Blue);
    EXPECT_TRUE(cm.color == Color::Red && cm.material.back.ambient == Color::Red);
    EXPECT_EQ(cm.material.front.diffuse, Color::Blue);
    const SimpleLight simple(Color::Green);
    EXPECT_TRUE(simple.ambient.ambient == Color::Green && simple.diffuse.diffuse == Color::Green);
    ParamLight light(3);
    light.direction = p4f(1, 2, 3, 0);
    light.SetDefaults(5, 99);
    EXPECT_TRUE(light.enabled);
    EXPECT_EQ(light.position, p4f(0, 0, -10, 1)) << "twice the distance down the z axis";
    EXPECT_EQ(light.direction.y, 2.0f) << "direction is kept";
    EXPECT_EQ(light.light, GLenum(GL_LIGHT3)) << "light is kept";
}

} // namespace
