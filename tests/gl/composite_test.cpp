#include "GLTest.h"
#include "CompositeReference.h"
#include "HostLayouts.h"

#include "ops/Composite.h"

namespace tesk_test {
namespace {

using namespace OGL_TESK_AE;

constexpr int kFloat = 6, kArgb8 = 1; // rows of HostLayouts()

RGBA Clamped(RGBA p) {
    for (float& v : p) v = std::clamp(v, 0.0f, 1.0f);
    return p;
}

struct OpCase {
    const char* name;
    const BlendOp& op;
    Equation equation;
};

// Ops of a plug-in's own, with the factors and equations the named ones leave out.
const BlendOp kDestinationAndConstant(GL_DST_ALPHA, GL_ONE_MINUS_CONSTANT_COLOR, GL_CONSTANT_ALPHA,
                                      GL_ONE_MINUS_DST_COLOR, GL_FUNC_SUBTRACT, GL_FUNC_ADD,
                                      Color(0.2f, 0.4f, 0.6f, 0.8f));
const BlendOp kSaturate(GL_SRC_ALPHA_SATURATE, GL_DST_COLOR, GL_SRC_ALPHA_SATURATE,
                        GL_ONE_MINUS_DST_ALPHA, GL_FUNC_ADD, GL_FUNC_REVERSE_SUBTRACT,
                        Color(1.0f, 1.0f, 1.0f, 1.0f));

// The twelve ops as their factors and equations are documented, and two of a plug-in's own.
const OpCase kOps[] = {
    {"Default",
     BlendOp::Default,
     {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_FUNC_ADD,
      GL_FUNC_ADD}},
    {"Composite",
     BlendOp::Composite,
     {GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_FUNC_ADD, GL_FUNC_ADD}},
    {"Additive",
     BlendOp::Additive,
     {GL_SRC_ALPHA, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_FUNC_ADD, GL_FUNC_ADD}},
    {"Lighten",
     BlendOp::Lighten,
     {GL_ONE, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_MAX, GL_FUNC_ADD}},
    {"Screen",
     BlendOp::Screen,
     {GL_ONE, GL_ONE_MINUS_SRC_COLOR, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_FUNC_ADD, GL_FUNC_ADD}},
    {"Max",
     BlendOp::Max,
     {GL_SRC_ALPHA, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_MAX, GL_FUNC_ADD}},
    {"Min",
     BlendOp::Min,
     {GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_MIN, GL_FUNC_ADD}},
    {"Darken",
     BlendOp::Darken,
     {GL_ONE, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_MIN, GL_FUNC_ADD}},
    {"Subtractive",
     BlendOp::Subtractive,
     {GL_SRC_ALPHA, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_FUNC_REVERSE_SUBTRACT, GL_FUNC_ADD}},
    {"Multiply",
     BlendOp::Multiply,
     {GL_SRC_ALPHA, GL_SRC_COLOR, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_MAX, GL_FUNC_ADD}},
    {"Difference",
     BlendOp::Difference,
     {GL_ONE, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_FUNC_REVERSE_SUBTRACT, GL_FUNC_ADD}},
    {"Replace", BlendOp::Replace, {GL_ONE, GL_ZERO, GL_ONE, GL_ZERO, GL_FUNC_ADD, GL_FUNC_ADD}},
    {"DestinationAndConstant",
     kDestinationAndConstant,
     {GL_DST_ALPHA, GL_ONE_MINUS_CONSTANT_COLOR, GL_CONSTANT_ALPHA, GL_ONE_MINUS_DST_COLOR,
      GL_FUNC_SUBTRACT, GL_FUNC_ADD, RGBA{0.2f, 0.4f, 0.6f, 0.8f}}},
    {"Saturate",
     kSaturate,
     {GL_SRC_ALPHA_SATURATE, GL_DST_COLOR, GL_SRC_ALPHA_SATURATE, GL_ONE_MINUS_DST_ALPHA,
      GL_FUNC_ADD, GL_FUNC_REVERSE_SUBTRACT}},
};

// The foreground's alpha times the mask's, scaled by opacity in all four channels, blended over
// the background where both reach (the background elsewhere); clamped, as the read-back into a
// top-down frame is.
TEST(Composite, EachOpMatchesItsBlendEquationAcrossTiles) {
    const int w = 2051, h = 3, fw = w - 9, mw = w - 4;
    for (int row : {kArgb8, kFloat})
        for (float opacity : {0.7f, 0.0f})
            for (const OpCase& c : kOps) {
                const Layout& layout = HostLayouts()[row];
                TestImage fg = MakeImage(layout, fw, h), bg = MakeImage(layout, w, h),
                          mask = MakeImage(layout, mw, h), out = MakeImage(layout, w, h);
                const Picture f = FillPicture(layout, fg, 1), b = FillPicture(layout, bg, 2),
                              m = FillPicture(layout, mask, 3);
                Composite(&fg, &bg, &mask, &out, opacity, c.op);
                Picture expected = b;
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < fw; ++x) {
                        RGBA s = f.At(x, y);
                        s[3] *= m.At(x, y)[3];
                        for (float& v : s) v *= opacity;
                        expected.At(x, y) = Clamped(Blended(c.equation, s, b.At(x, y)));
                    }
                EXPECT_EQ(FirstDifference(layout, out, expected, 2 * Tolerance(layout)), "")
                    << c.name << " at opacity " << opacity << ", " << layout.name;
            }
}

// One layer: each direction of at least one pixel is a premultiplying Gaussian pass.
Picture BlurredLayer(const Picture& p, float x, float y) {
    Picture out = p;
    if (x >= 1) out = BlurPass(out, GaussianWeights(x, 0.85), 1, 0);
    if (y >= 1) out = BlurPass(out, GaussianWeights(y, 0.85), 0, 1);
    return out;
}

RGBA Unpremultiplied(const RGBA& p) {
    return p[3] > 0.001f ? RGBA{p[0] / p[3], p[1] / p[3], p[2] / p[3], p[3]} : p;
}

struct StackCase {
    std::vector<p2f> sizes;
    int w, h;
    bool unpremultiply;
};

// Layers stacked over transparent with (src alpha, 1 - src alpha), the stack laid over the
// background with the op.
TEST(CompositeBlurredImages, MatchesBlurredLayersStackedOverTheBackground) {
    const Layout& layout = HostLayouts()[kFloat];
    const StackCase cases[] = {
        {{}, 5, 4, false},
        {{}, 5, 4, true},
        {{p2f(0.5f, 3)}, 7, 9, false},
        {{p2f(4, 4), p2f(1, 1)}, 2051, 4, false},
        {{p2f(9, 0), p2f(0, 0), p2f(2, 7)}, 6, 1083, true},
    };
    for (const StackCase& c : cases) {
        std::vector<TestImage> images;
        std::vector<Picture> pictures;
        for (size_t i = 0; i < c.sizes.size(); ++i) {
            images.push_back(MakeImage(layout, c.w, c.h));
            pictures.push_back(FillPicture(layout, images.back(), 10 + unsigned(i)));
        }
        std::vector<const XIImage*> list;
        for (TestImage& image : images) list.push_back(&image);
        list.push_back(nullptr); // skipped
        std::vector<p2f> sizes = c.sizes;
        sizes.push_back(p2f(5, 5));
        TestImage bg = MakeImage(layout, c.w, c.h), out = MakeImage(layout, c.w, c.h);
        Picture b = FillPicture(layout, bg, 2);
        for (RGBA& p : b.pixels) p = Clamped(p); // the background is loaded clamped
        CompositeBlurredImages(list.data(), &bg, &out, sizes.data(), int(list.size()),
                               BlendOp::Composite, c.unpremultiply);

        Picture stack(c.w, c.h);
        for (size_t i = 0; i < pictures.size(); ++i) {
            const Picture layer = BlurredLayer(pictures[i], c.sizes[i].x, c.sizes[i].y);
            for (size_t p = 0; p < stack.pixels.size(); ++p)
                stack.pixels[p] = Blended({GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE,
                                           GL_ONE_MINUS_SRC_ALPHA, GL_FUNC_ADD, GL_FUNC_ADD},
                                          layer.pixels[p], stack.pixels[p]);
        }
        Picture expected(c.w, c.h);
        for (size_t p = 0; p < stack.pixels.size(); ++p) {
            expected.pixels[p] = Blended(kOps[1].equation, stack.pixels[p], b.pixels[p]);
            // Unpremultiplied colour is clamped as it is read back.
            if (c.unpremultiply) expected.pixels[p] = Clamped(Unpremultiplied(expected.pixels[p]));
        }
        EXPECT_EQ(FirstDifference(layout, out, expected, 4 * Tolerance(layout)), "")
            << c.sizes.size() << " layers " << c.w << "x" << c.h;
    }
}

} // namespace
} // namespace tesk_test
