// The state values that can be checked without a context: constants, constructors composing
// values, layouts, and the Push scope's save-once, restore-once discipline.

#include "common/XIImage.h"
#include "gl/effects/BlendOp.h"
#include "gl/state/ColorScale.h"
#include "gl/state/Fragment.h"
#include "gl/state/Light.h"
#include "gl/state/LightModel.h"
#include "gl/state/Material.h"
#include "gl/state/MatrixState.h"
#include "gl/state/Pixel.h"
#include "gl/state/Push.h"
#include "gl/state/TextureState.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <type_traits>

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

struct BlendRow {
    const char* name;
    const BlendOp& op;
    GLenum src, dst, srcA, dstA, eqRGB, eqA;
};

TEST(BlendOp, ConstantsHoldTheirFactorsEquationsAndWhite) {
    static_assert(sizeof(BlendOp) == 52, "52 bytes");
    static_assert(std::is_trivially_copyable<BlendOp>::value, "copied byte for byte");
    const BlendRow rows[] = {
        {"Default", BlendOp::Default, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA,
         GL_ONE_MINUS_SRC_ALPHA, GL_FUNC_ADD, GL_FUNC_ADD},
        {"Composite", BlendOp::Composite, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ONE,
         GL_ONE_MINUS_SRC_ALPHA, GL_FUNC_ADD, GL_FUNC_ADD},
        {"Additive", BlendOp::Additive, GL_SRC_ALPHA, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA,
         GL_FUNC_ADD, GL_FUNC_ADD},
        {"Lighten", BlendOp::Lighten, GL_ONE, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_MAX,
         GL_FUNC_ADD},
        {"Screen", BlendOp::Screen, GL_ONE, GL_ONE_MINUS_SRC_COLOR, GL_ONE, GL_ONE_MINUS_SRC_ALPHA,
         GL_FUNC_ADD, GL_FUNC_ADD},
        {"Max", BlendOp::Max, GL_SRC_ALPHA, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_MAX,
         GL_FUNC_ADD},
        {"Min", BlendOp::Min, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA,
         GL_MIN, GL_FUNC_ADD},
        {"Darken", BlendOp::Darken, GL_ONE, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_MIN,
         GL_FUNC_ADD},
        {"Subtractive", BlendOp::Subtractive, GL_SRC_ALPHA, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA,
         GL_FUNC_REVERSE_SUBTRACT, GL_FUNC_ADD},
        {"Multiply", BlendOp::Multiply, GL_SRC_ALPHA, GL_SRC_COLOR, GL_ONE, GL_ONE_MINUS_SRC_ALPHA,
         GL_MAX, GL_FUNC_ADD},
        {"Difference", BlendOp::Difference, GL_ONE, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA,
         GL_FUNC_REVERSE_SUBTRACT, GL_FUNC_ADD},
        {"Replace", BlendOp::Replace, GL_ONE, GL_ZERO, GL_ONE, GL_ZERO, GL_FUNC_ADD, GL_FUNC_ADD},
    };
    for (const BlendRow& row : rows) {
        SCOPED_TRACE(row.name);
        const BlendOp copy = row.op;
        EXPECT_EQ(std::memcmp(&copy, &row.op, sizeof(BlendOp)), 0);
        EXPECT_TRUE(copy.func.enabled && copy.equation.enabled && copy.color.enabled);
        EXPECT_EQ(copy.func.srcRGB, row.src);
        EXPECT_EQ(copy.func.dstRGB, row.dst);
        EXPECT_EQ(copy.func.srcAlpha, row.srcA);
        EXPECT_EQ(copy.func.dstAlpha, row.dstA);
        EXPECT_EQ(copy.equation.modeRGB, row.eqRGB);
        EXPECT_EQ(copy.equation.modeAlpha, row.eqA);
        EXPECT_EQ(copy.color.color, Color(1, 1, 1, 1));
    }
    const BlendOp byDefault;
    EXPECT_EQ(std::memcmp(&byDefault.func, &BlendOp::Default.func, sizeof(BlendFunc)), 0);
}

TEST(BlendFunc, OnlyTheSixMixedConstantsNeedTheSeparateFunction) {
    const struct {
        const BlendFunc& func;
        bool separate;
    } rows[] = {{BlendFunc::Add, false},      {BlendFunc::AlphaAdd, true},
                {BlendFunc::BlendOver, true}, {BlendFunc::BlendUnder, true},
                {BlendFunc::InvBlend, true},  {BlendFunc::Modulate, false},
                {BlendFunc::Replace, false},  {BlendFunc::Invert, false},
                {BlendFunc::Mask, true},      {BlendFunc::Premultiply, true}};
    for (const auto& row : rows) {
        EXPECT_TRUE(row.func.enabled);
        EXPECT_EQ(row.func.IsSeparate(), row.separate) << row.func.srcRGB;
    }
    EXPECT_EQ(BlendFunc::BlendUnder.dstAlpha, GLenum(GL_ONE));
    EXPECT_EQ(BlendFunc::Mask.dstAlpha, GLenum(GL_SRC_ALPHA));
    const BlendFunc two(GL_ONE, GL_ZERO);
    EXPECT_FALSE(two.IsSeparate());
    EXPECT_TRUE(two.enabled);
}

TEST(StateConstants, TestsSwitchOffForAlways) {
    EXPECT_FALSE(DepthFunc(GL_ALWAYS).enabled);
    EXPECT_TRUE(DepthFunc(GL_LEQUAL).enabled);
    EXPECT_FALSE(AlphaFunc(GL_ALWAYS, 0.5f).enabled);
    EXPECT_TRUE(AlphaFunc(GL_GREATER, 0.5f).enabled);
    EXPECT_FALSE(DepthFunc::Always.enabled);
    EXPECT_TRUE(DepthFunc::Never.enabled);
    EXPECT_EQ(DepthFunc::GreaterEqual.func, GLenum(GL_GEQUAL));
    EXPECT_FALSE(CullFace::Default.enabled);
    EXPECT_TRUE(CullFace::CullBack.enabled);
    EXPECT_EQ(ColorMask::NoAlpha.alpha, 0);
    EXPECT_EQ(ColorMask::AlphaOnly.red, 0);
    EXPECT_EQ(ColorMask::AlphaOnly.alpha, 1);
    EXPECT_EQ(BlendEquation::Subtract.modeAlpha, GLenum(GL_FUNC_SUBTRACT));
    EXPECT_EQ(ModelMatrix::Identity.mode, GLenum(GL_MODELVIEW));
    EXPECT_EQ(ProjectionMatrix::Identity.mode, GLenum(GL_PROJECTION));
    EXPECT_EQ(TextureMatrix::Identity.mode, GLenum(GL_TEXTURE));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(TextureMatrix::Identity.m[i], i % 5 == 0 ? 1 : 0);
    EXPECT_EQ(TextureUnit::Default.unit, GLenum(GL_TEXTURE0));
    EXPECT_EQ(TextureUnit::Default.texture, nullptr);
    EXPECT_EQ(TextureUnit(GL_TEXTURE0 + 5).unit, GLenum(GL_TEXTURE5));
    EXPECT_EQ(int(TextureUnit(5)), 5);
    EXPECT_EQ(TextureBinding::Default.envMode, GL_MODULATE);
    EXPECT_EQ(TextureBinding::Default.minMag[3], GL_LINEAR);
    EXPECT_FALSE(TextureBinding::Default.texture2D);
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

TEST(LightingValues, ConstructorsComposeTheirParts) {
    const Material material;
    EXPECT_EQ(material.front.ambient, Color(0.2f, 0.2f, 0.2f, 1));
    EXPECT_EQ(material.back.diffuse, Color(0.8f, 0.8f, 0.8f, 1));
    EXPECT_EQ(material.back.specular, Color(0, 0, 0, 0));
    EXPECT_EQ(material.front.shininess, 0.0f);
    EXPECT_EQ(material.back.colorIndexes[2], 0.0f);

    const ColorMaterial cm(Color::Red, Color::Blue);
    EXPECT_EQ(cm.color, Color::Red);
    EXPECT_EQ(cm.material.back.ambient, Color::Red);
    EXPECT_EQ(cm.material.front.diffuse, Color::Blue);
    EXPECT_EQ(ColorMaterial::Default.material.front.diffuse, Color(0, 0, 0, 0));

    const ColorScale scale(0.5f);
    EXPECT_EQ(scale.color, Color(0.5f, 0.5f, 0.5f, 0.5f));
    EXPECT_EQ(scale.material.front.ambient, Color(0.5f, 0.5f, 0.5f, 0.5f));
    EXPECT_EQ(scale.material.front.diffuse, Color(0, 0, 0, 0));
    EXPECT_EQ(scale.blend.srcRGB, GLenum(GL_ZERO));
    EXPECT_EQ(scale.blend.dstAlpha, GLenum(GL_SRC_COLOR));

    EXPECT_EQ(LightModel::Default.ambient, Color(0.2f, 0.2f, 0.2f, 1));
    EXPECT_EQ(LightModel::Default.colorControl, GL_SEPARATE_SPECULAR_COLOR);
    EXPECT_EQ(LightModel::Default.localViewer, 0);
    EXPECT_EQ(LightModel::Default.twoSide, 1);

    const SpotLight<4> spot;
    EXPECT_EQ(spot.cutoff, 180.0f);
    EXPECT_EQ(spot.direction.z, -1.0f);
    const SimpleLight simple(Color::Green);
    EXPECT_EQ(simple.ambient.ambient, Color::Green);
    EXPECT_EQ(simple.diffuse.diffuse, Color::Green);

    ParamLight light(3);
    EXPECT_EQ(light.light, GLenum(GL_LIGHT3));
    EXPECT_FALSE(light.enabled);
    EXPECT_EQ(light.cutoff, 90.0f);
    EXPECT_EQ(light.quadraticAttenuation, 64000.0f);
    light.direction = p4f(1, 2, 3, 0);
    light.SetDefaults(5, 99);
    EXPECT_TRUE(light.enabled);
    EXPECT_EQ(light.position.z, -10.0f);
    EXPECT_EQ(light.position.w, 1.0f);
    EXPECT_EQ(light.specular, Color(0, 0, 0, 0));
    EXPECT_EQ(light.direction.y, 2.0f) << "direction is kept";
    EXPECT_EQ(light.light, GLenum(GL_LIGHT3)) << "light is kept";
}

} // namespace
