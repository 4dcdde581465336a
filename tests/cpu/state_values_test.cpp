// The state values that can be checked without a context: constructors composing values, and
// the Push scope's save-once, restore-once discipline.

#include "common/XIImage.h"
#include "gl/state/Fragment.h"
#include "gl/state/Light.h"
#include "gl/state/Material.h"
#include "gl/state/MatrixState.h"
#include "gl/state/Pixel.h"
#include "gl/state/Push.h"
#include "gl/state/TextureState.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using namespace OGL_TESK_AE;

// A piece of "state" that records the calls Push makes on it.
struct Probe {
    static int sRetrieves, sApplies;
    static int sCurrent; // the state the probe stands for
    static bool sThrowOnApply;
    int value = -1;
    Probe() = default;
    explicit Probe(int v) : value(v) {}
    void Retrieve() {
        ++sRetrieves;
        value = sCurrent;
    }
    void Apply() const {
        ++sApplies;
        if (sThrowOnApply) throw std::runtime_error("unsupported");
        sCurrent = value;
    }
    static void Reset(int current) {
        sRetrieves = sApplies = 0;
        sCurrent = current;
        sThrowOnApply = false;
    }
};
int Probe::sRetrieves, Probe::sApplies, Probe::sCurrent;
bool Probe::sThrowOnApply;

TEST(Push, SavesOnceAndRestoresExactlyOnce) {
    Probe::Reset(7);
    {
        Push<Probe> scope(Probe(3));
        EXPECT_EQ(Probe::sCurrent, 3);
        EXPECT_EQ(scope.value, 7);
        scope.Pop();
        EXPECT_EQ(Probe::sCurrent, 7);
        Probe::sCurrent = 9;
        scope.Pop();
        EXPECT_EQ(Probe::sCurrent, 9) << "a second Pop does nothing";
    }
    EXPECT_EQ(Probe::sCurrent, 9) << "destruction after Pop restores nothing";
    EXPECT_EQ(Probe::sRetrieves, 1);
    EXPECT_EQ(Probe::sApplies, 2); // the new value, then the restore

    Probe::Reset(5);
    try {
        Push<Probe> scope(Probe(1));
        throw std::logic_error("leave");
    } catch (const std::logic_error&) {
    }
    EXPECT_EQ(Probe::sCurrent, 5);

    { Push<Probe> unchanged; }
    EXPECT_EQ(Probe::sCurrent, 5);
    EXPECT_EQ(Probe::sApplies, 3);
}

TEST(Push, FailingApplyInTheConstructorStillRestores) {
    Probe::Reset(4);
    Probe::sThrowOnApply = true;
    EXPECT_THROW(Push<Probe> scope(Probe(8)), std::runtime_error);
    // The restore was attempted once more (and failed quietly in the destructor).
    EXPECT_EQ(Probe::sApplies, 2);
    Probe::sThrowOnApply = false;
}

TEST(StateValues, ConstructorsSwitchTestsOffForAlwaysAndTakeUnitsEitherWay) {
    EXPECT_FALSE(DepthFunc(GL_ALWAYS).enabled);
    EXPECT_TRUE(DepthFunc(GL_LEQUAL).enabled);
    EXPECT_FALSE(AlphaFunc(GL_ALWAYS, 0.5f).enabled);
    EXPECT_TRUE(AlphaFunc(GL_GREATER, 0.5f).enabled);
    EXPECT_EQ(TextureUnit(GL_TEXTURE0 + 5).unit, GLenum(GL_TEXTURE5));
    EXPECT_EQ(int(TextureUnit(5)), 5);
}

// Multiplies a column-major 4 x 4 matrix with a column vector, as OpenGL does.
void Transform(const double* m, const float in[4], double out[4]) {
    for (int row = 0; row < 4; ++row) {
        out[row] = 0;
        for (int column = 0; column < 4; ++column) out[row] += m[column * 4 + row] * in[column];
    }
}

TEST(ColorMatrix, ChannelsAreDotProductsWithTheRowColours) {
    const ColorMatrix m(Color(1, 2, 3, 4), Color(5, 6, 7, 8), Color(9, 10, 11, 12),
                        Color(13, 14, 15, 16));
    // Row i, column j is component j of colour i: column-major index 4j + i.
    EXPECT_EQ(m.m[0], 1);
    EXPECT_EQ(m.m[1], 5);
    EXPECT_EQ(m.m[4], 2);
    EXPECT_EQ(m.m[15], 16);
    const float in[4] = {1, 0.5f, 0.25f, 2};
    double out[4];
    Transform(m.m, in, out);
    EXPECT_DOUBLE_EQ(out[0], 1 + 1 + 0.75 + 8);
    EXPECT_DOUBLE_EQ(out[3], 13 + 7 + 3.75 + 32);

    const ARGBWrite argb(0.5f);
    const float memory[4] = {0.9f, 0.1f, 0.2f, 0.3f}; // A, R, G, B read as r, g, b, a
    Transform(argb.m, memory, out);
    EXPECT_DOUBLE_EQ(out[0], 0.5 * 0.1f);
    EXPECT_DOUBLE_EQ(out[1], 0.5 * 0.2f);
    EXPECT_DOUBLE_EQ(out[2], 0.5 * 0.3f);
    EXPECT_DOUBLE_EQ(out[3], 0.5 * 0.9f);
}

class FakeImage : public XIImage {
public:
    FakeImage(int32_t width, int32_t height, int32_t rowBytes, int32_t bitDepth)
        : fWidth(width), fHeight(height), fRowBytes(rowBytes), fBitDepth(bitDepth) {}
    bool IsReadOnly() const override { return false; }
    int32_t GetWidth() const override { return fWidth; }
    int32_t GetHeight() const override { return fHeight; }
    int32_t GetRowBytes() const override { return fRowBytes; }
    void* GetBaseAddress() const override { return const_cast<char*>(fPixels); }
    int32_t GetColorSpace() const override { return 32; }
    int32_t GetBitDepth() const override { return fBitDepth; }
    int32_t GetWhiteLevel() const override { return 255; }
    bool IsBottomUp() const override { return true; }
    void* GetNative() const override { return nullptr; }

private:
    int32_t fWidth, fHeight, fRowBytes, fBitDepth;
    char fPixels[1] = {};
};

TEST(PixelLayout, ImageRowsGivePixelRowLengthAndHeight) {
    const FakeImage padded(10, 6, 48, 32); // 10 pixels of 4 bytes in rows of 48 bytes
    const PixelUnpack unpack(&padded, 2, 3);
    EXPECT_EQ(unpack.alignment, 4);
    EXPECT_EQ(unpack.rowLength, 12);
    EXPECT_EQ(unpack.imageHeight, 6);
    EXPECT_EQ(unpack.skipPixels, 2);
    EXPECT_EQ(unpack.skipRows, 3);
    const FakeImage floats(3, 2, 64, 128);
    EXPECT_EQ(PixelPack(&floats, 0, 0).rowLength, 4);

    const PixelUnpack none(nullptr, 1, 1);
    EXPECT_EQ(none.alignment, 4);
    EXPECT_EQ(none.rowLength, 0);
    EXPECT_EQ(none.imageHeight, 0);
    EXPECT_EQ(none.skipPixels, 1);
    const FakeImage tooShort(10, 6, 39, 32); // rows shorter than their pixels: not valid
    EXPECT_EQ(PixelPack(&tooShort, 0, 0).rowLength, 0);
}

TEST(LightingValues, ConstructorsComposeTheirArguments) {
    const ColorMaterial cm(Color::Red, Color::Blue);
    EXPECT_EQ(cm.color, Color::Red);
    EXPECT_EQ(cm.material.back.ambient, Color::Red);
    EXPECT_EQ(cm.material.front.diffuse, Color::Blue);
    const SimpleLight simple(Color::Green);
    EXPECT_EQ(simple.ambient.ambient, Color::Green);
    EXPECT_EQ(simple.diffuse.diffuse, Color::Green);
    ParamLight light(3);
    light.direction = p4f(1, 2, 3, 0);
    light.SetDefaults(5, 99);
    EXPECT_TRUE(light.enabled);
    EXPECT_EQ(light.position, p4f(0, 0, -10, 1)) << "twice the distance down the z axis";
    EXPECT_EQ(light.direction.y, 2.0f) << "direction is kept";
    EXPECT_EQ(light.light, GLenum(GL_LIGHT3)) << "light is kept";
}

} // namespace
