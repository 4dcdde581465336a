#include "GLTest.h"
#include "BlurReference.h"
#include "HostLayouts.h"

#include "gl/texture/ImageTextures.h"
#include "ops/BasicOps.h"
#include "ops/Blur.h"

#include <tuple>

namespace tesk_test {
namespace {

using namespace OGL_TESK_AE;

constexpr int kFloat = 6, kArgb8 = 1; // rows of HostLayouts()

// Summing taps in the card's half floats rounds once per tap: up to half a step of 1/2048 each.
float AccumulationTolerance(const Layout& layout, const Weights& x, const Weights& y) {
    return Tolerance(layout) + float(x.size() + y.size()) / 4096.0f;
}

enum Shape { kGaussian, kBox, kPascal };

struct BlurCase {
    Shape shape;
    int layout, w, h;
    float bx, by;
};

void PrintTo(const BlurCase& c, std::ostream* os) {
    *os << "shape" << c.shape << "_" << HostLayouts()[c.layout].name << "_" << c.w << "x" << c.h
        << "_" << c.bx << "x" << c.by;
}

class ImageBlur : public ::testing::TestWithParam<BlurCase> {};

TEST_P(ImageBlur, MatchesSeparableCpuConvolution) {
    const BlurCase c = GetParam();
    const Layout& layout = HostLayouts()[c.layout];
    TestImage source = MakeImage(layout, c.w, c.h), destination = MakeImage(layout, c.w, c.h);
    const Picture before = FillPicture(layout, source, 17);
    Weights kx, ky;
    if (c.shape == kGaussian) {
        Blur(&source, &destination, c.bx, c.by, 0.5f);
        kx = GaussianWeights(c.bx, 0.5), ky = GaussianWeights(c.by, 0.5);
    } else if (c.shape == kBox) {
        BoxBlur(&source, &destination, c.bx, c.by);
        kx = BoxWeights(c.bx), ky = BoxWeights(c.by);
    } else {
        PascalBlur(&source, &destination, c.bx, c.by);
        kx = PascalWeights(c.bx), ky = PascalWeights(c.by);
    }
    // Each direction's sum is rounded once, to the card's half floats; kernels longer than a
    // program sums accumulate, boxes apart: those are summed in steps or, where their sums would
    // not fit a texture, accumulated in 32-bit floats, which round less than the frame does.
    const bool accumulated = c.shape != kBox && (kx.size() > 255 || ky.size() > 255);
    EXPECT_EQ(FirstDifference(layout, destination, BlurReference(before, kx, ky),
                              accumulated ? AccumulationTolerance(layout, kx, ky)
                                          : 2 * Tolerance(layout)),
              "");
}

// Strips that cross a tile border across and along their blur; each direction alone and both;
// widths from one tap (a copy) to 41; wide boxes, whose sums reach beyond a narrow frame.
INSTANTIATE_TEST_SUITE_P(
    Strips, ImageBlur,
    ::testing::Values(
        BlurCase{kGaussian, kFloat, 2051, 3, 1, 1}, BlurCase{kGaussian, kFloat, 2051, 3, 41, 1},
        BlurCase{kGaussian, kFloat, 2051, 3, 1, 2.5f}, BlurCase{kGaussian, kArgb8, 2051, 3, 9, 41},
        BlurCase{kGaussian, kFloat, 3, 1083, 41, 4}, BlurCase{kGaussian, kArgb8, 3, 1083, 1, 41},
        BlurCase{kBox, kFloat, 2051, 5, 4, 3}, BlurCase{kBox, kArgb8, 5, 1083, 2.2f, 21},
        BlurCase{kPascal, kFloat, 2051, 4, 5, 5}, BlurCase{kPascal, kArgb8, 6, 1083, 1, 9},
        BlurCase{kGaussian, kFloat, 2051, 1083, 7, 3}, BlurCase{kBox, kFloat, 300, 2, 260, 1},
        BlurCase{kBox, kFloat, 2051, 5, 20.4f, 3}, BlurCase{kBox, kArgb8, 7, 1083, 41, 20.4f},
        BlurCase{kBox, kArgb8, 3, 1083, 1, 300.6f}));

// Boxes whose sums would be wider (taller) than llvmpipe's largest texture: the plain
// accumulation takes over, across and along. Left out of the run on softpipe, where 13001 draws
// a band take minutes.
INSTANTIATE_TEST_SUITE_P(BeyondSums, ImageBlur,
                         ::testing::Values(BlurCase{kBox, kFloat, 3600, 1, 13001, 1},
                                           BlurCase{kBox, kFloat, 1, 3600, 1, 13001}));

TEST(ImageBlur, OneTapOnItselfKeepsIt) {
    const Layout& layout = HostLayouts()[kFloat];
    TestImage source = MakeImage(layout, 40, 7);
    const Picture kept = FillPicture(layout, source, 3);
    BoxBlur(&source, &source, 1.0f, 1.0f);
    EXPECT_EQ(FirstDifference(layout, source, kept, 0.0f), "");
}

// A flat field stays flat under every shape and width, each direction alone and both: opaque
// grey keeps its value, a transparent field stays (0, 0, 0, 0). Widths run from a quarter pixel
// (no neighbour reached) through the widths whose outer taps fall beyond a triangle's foot to
// 64; the texture functions take the same sweep.
TEST(FlatField, StaysFlatUnderEveryShapeAndWidth) {
    using Blurs = std::function<void(const XIImage*, XIImage*, float, float)>;
    // A texture function, through a texture of the source copied to the destination.
    const auto inPlace = [](void (*blur)(RenderedTexture&, float, float)) -> Blurs {
        return [blur](const XIImage* s, XIImage* d, float w, float h) {
            RunOnWorker([&] {
                SubImageTexture texture(s);
                blur(texture, w, h);
                CopyTexture(texture, d);
            });
        };
    };
    const std::vector<std::pair<const char*, Blurs>> blurs = {
        {"Blur", [](const XIImage* s, XIImage* d, float w, float h) { Blur(s, d, w, h, 0.85f); }},
        {"BoxBlur", BoxBlur},
        {"PascalBlur", PascalBlur},
        {"BoxBlurTexture", inPlace(BoxBlurTexture)},
        {"TriangleBlurTexture", inPlace(TriangleBlurTexture)},
        {"PascalBlurTexture", inPlace(PascalBlurTexture)}};
    for (int l : {kFloat, kArgb8}) {
        const Layout& layout = HostLayouts()[size_t(l)];
        for (const RGBA& flat : {RGBA{0.5f, 0.5f, 0.5f, 1}, RGBA{0, 0, 0, 0}}) {
            TestImage source = MakeImage(layout, 70, 9), out = MakeImage(layout, 70, 9);
            for (int i = 0; i < 70 * 9; ++i) Put(layout, source, i % 70, i / 70, flat);
            // Opaque grey within the rounding of a sum of many taps; transparent exactly.
            const float tolerance = flat[3] > 0 ? 2 * Tolerance(layout) : 0.0f;
            for (float w : {0.25f, 0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.5f, 5.2f, 8.0f, 21.0f, 64.0f})
                for (const auto& [bx, by] : {std::pair{w, 1.0f}, {1.0f, w}, {w, w}})
                    for (const auto& [name, blur] : blurs) {
                        FillPicture(layout, out, 3);
                        blur(&source, &out, bx, by);
                        EXPECT_EQ(FirstDifference(layout, out, Picture(70, 9, flat), tolerance), "")
                            << name << " " << layout.name << " " << bx << " x " << by << " alpha "
                            << flat[3];
                    }
        }
    }
}

// The texture functions blur a rendered texture in place, with the weights of their shape (the
// interpolation filters: the values their comment gives).
struct TextureCase {
    const char* name;
    std::function<void(RenderedTexture&)> blur;
    Weights x, y;
};

TEST(TextureBlur, InPlaceMatchesCpuConvolution) {
    const Weights catmull{0.264706, 0.470588, 0.264706},
        mitchell{0.026846, 0.258389, 0.429530, 0.258389, 0.026846};
    const Weights spline{0.085106, 0.244681, 0.340426, 0.244681, 0.085106},
        lanczos2{0.267043, 0.465914, 0.267043}, lanczos3{0.274353, 0.451293, 0.274353};
    const std::vector<TextureCase> cases = {
        {"box", [](RenderedTexture& t) { BoxBlurTexture(t, 4, 3); }, BoxWeights(4), BoxWeights(3)},
        {"wide box", [](RenderedTexture& t) { BoxBlurTexture(t, 21, 20.4f); }, BoxWeights(21),
         BoxWeights(20.4f)},
        {"triangle", [](RenderedTexture& t) { TriangleBlurTexture(t, 4, 3); }, TriangleWeights(4),
         TriangleWeights(3)},
        {"pascal", [](RenderedTexture& t) { PascalBlurTexture(t, 5, 1); }, PascalWeights(5), {1}},
        {"catmull", CatmulInterpolateTexture, catmull, catmull},
        {"mitchell", MitchellInterpolateTexture, mitchell, mitchell},
        {"b-spline", BSplineInterpolateTexture, spline, spline},
        {"lanczos2", Lanczos2InterpolateTexture, lanczos2, lanczos2},
        {"lanczos3", Lanczos3InterpolateTexture, lanczos3, lanczos3},
    };
    const Layout& layout = HostLayouts()[kFloat];
    for (const TextureCase& c : cases) {
        TestImage source = MakeImage(layout, 33, 21), destination = MakeImage(layout, 33, 21);
        const Picture before = FillPicture(layout, source, 9);
        RunOnWorker([&] {
            SubImageTexture texture(&source);
            c.blur(texture);
            CopyTexture(texture, &destination);
        });
        EXPECT_EQ(FirstDifference(layout, destination, BlurReference(before, c.x, c.y),
                                  AccumulationTolerance(layout, c.x, c.y)),
                  "")
            << c.name;
    }
}

} // namespace
} // namespace tesk_test
