// The placed image against CPU references: quarter turns and every rotation order mapped back
// through a matrix of the math module, across tiles; the front's magnified size and the box
// pre-filter of a halved front; and the point-sprite attenuation.

#include "BlendReference.h"
#include "BlurReference.h"
#include "GLTest.h"

#include "gl/texture/RenderedTexture.h"
#include "math/Matrix33.h"
#include "ops/Implementation/TransformFront.h"

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

const Layout& kFloat = HostLayouts().back();
const Layout& kBytes = HostLayouts()[1]; // argb8
using Interp = TransformInterpolationFilterType;
using Decim = TransformDecimationFilterType;

struct Placement {
    int fw, fh, dw, dh;
    p3f rotation;
    RotationOrder order;
    Interp interp;
};
using TransformPlacement = ::testing::TestWithParam<Placement>;

// The front, centred on the destination and rotated, over nothing. Each destination pixel centre
// is mapped back into the front through the inverse of the 2 x 2 part of m33f::angle (Rotate
// turns Z the other way round than angle does): random texels sampled nearest where turns map
// centres onto centres, a linear ramp sampled bilinearly otherwise. Pixels within 1.5 texels of
// the front's edge are left out for the latter, where coverage is a matter of rounding.
// 8-bit frames are placed through 8-bit texels, whose linear filtering may be coarser than a step.
TEST_P(TransformPlacement, MatchesTheInverseMappingOfItsRotation) {
    const Placement c = GetParam();
    for (const Layout* layout : {&kFloat, &kBytes}) {
        SCOPED_TRACE(layout->name);
        TestImage front = MakeImage(*layout, c.fw, c.fh), out = MakeImage(*layout, c.dw, c.dh);
        Picture f = FillPicture(*layout, front, 5);
        for (int i = 0; i < c.fw * c.fh; ++i) {
            RGBA& p = f.pixels[size_t(i)];
            p = c.interp == Interp::Nearest
                    ? RGBA{p[0], p[1], p[2], 1}
                    : RGBA{float(i % c.fw) / c.fw, float(i / c.fw) / c.fh, 0.5f, 1};
            Put(*layout, front, i % c.fw, i / c.fw, p);
        }
        f = ReadPicture(*layout, front);
        const float tolerance = layout == &kFloat ? 3e-3f
                                : c.interp == Interp::Nearest
                                    ? Tolerance(*layout)
                                    : Tolerance(*layout) + kFilterTolerance;
        const p3f centre(c.dw / 2.0f, c.dh / 2.0f, 0);
        Transform(&front, nullptr, nullptr, &out, PixelApplyMode::Over, centre, p3f(1, 1, 1),
                  c.rotation, c.order, c.interp, Decim::None);
        const m33f r = m33f::angle(c.rotation.x, c.rotation.y, -c.rotation.z, c.order);
        const double det = r[0].x * r[1].y - r[0].y * r[1].x;
        int compared = 0;
        for (int y = 0; y < c.dh; ++y)
            for (int x = 0; x < c.dw; ++x) {
                const double X = x + 0.5 - centre.x, Y = y + 0.5 - centre.y;
                const double u = (r[1].y * X - r[0].y * Y) / det + c.fw / 2.0;
                const double v = (r[0].x * Y - r[1].x * X) / det + c.fh / 2.0;
                const bool inside = u >= 0 && u < c.fw && v >= 0 && v < c.fh;
                RGBA want{};
                if (c.interp == Interp::Nearest && inside)
                    want = f.At(int(u), int(v));
                else if (inside && u > 1.5 && u < c.fw - 1.5 && v > 1.5 && v < c.fh - 1.5)
                    want = Bilinear(f, u, v);
                else if (inside || (u > -1.5 && u < c.fw + 1.5 && v > -1.5 && v < c.fh + 1.5))
                    continue;
                const RGBA got = Get(*layout, out, x, y);
                ASSERT_TRUE(PixelsNear(got, want, 4, 1, tolerance))
                    << x << "," << y << " from " << u << "," << v;
                ++compared;
            }
        EXPECT_GT(compared, c.dw * c.dh / 2);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Turns, TransformPlacement,
    ::testing::Values(Placement{1100, 2100, 2100, 1100, p3f(0, 0, 90), XYZ, Interp::Nearest},
                      Placement{37, 23, 23, 37, p3f(0, 0, -90), ZYX, Interp::Nearest},
                      Placement{37, 23, 37, 23, p3f(0, 0, 0), XYZ, Interp::Nearest},
                      Placement{40, 30, 64, 64, p3f(20, 30, 40), XYZ, Interp::Texture},
                      Placement{40, 30, 64, 64, p3f(20, 30, 40), XZY, Interp::Texture},
                      Placement{40, 30, 64, 64, p3f(20, 30, 40), YXZ, Interp::Texture},
                      Placement{40, 30, 64, 64, p3f(20, 30, 40), YZX, Interp::Texture},
                      Placement{40, 30, 64, 64, p3f(20, 30, 40), ZXY, Interp::Texture},
                      Placement{40, 30, 64, 64, p3f(20, 30, 40), ZYX, Interp::Texture}));

// Halved, the front covers the destination with each pixel centre on the corner of four texels:
// the linear filter takes their mean, of the front itself or, with decimation 1, of the front
// filtered by (0.25, 0.5, 0.25) each way (edges clamped).
TEST(TransformScale, AHalvedFrontIsBoxFilteredBeforeItIsDrawn) {
    TestImage front = MakeImage(kFloat, 16, 12), out = MakeImage(kFloat, 8, 6);
    Picture f = FillPicture(kFloat, front, 9);
    for (int i = 0; i < 16 * 12; ++i) Put(kFloat, front, i % 16, i / 16, {f.pixels[i][0], 0, 0, 1});
    f = ReadPicture(kFloat, front);
    for (Decim d : {Decim::None, Decim::Box}) {
        Transform(&front, nullptr, nullptr, &out, PixelApplyMode::Over, p3f(4, 3, 0),
                  p3f(0.5f, 0.5f, 1), p3f(), XYZ, Interp::Texture, d);
        const Picture g = d == Decim::Box ? BlurReference(f, {.25, .5, .25}, {.25, .5, .25}) : f;
        for (int i = 0; i < 8 * 6; ++i)
            EXPECT_NEAR(Get(kFloat, out, i % 8, i / 8)[0],
                        Bilinear(g, i % 8 * 2 + 1, i / 8 * 2 + 1)[0], 2e-3)
                << int(d) << ": " << i % 8 << "," << i / 8;
    }
}

// A flat front stays flat under every pre-filter at every scale, x and y apart: opaque grey and a
// half-transparent colour come out as the mode's blend of that colour wherever a pixel centre
// maps a texel or more inside the front, and a transparent front leaves the whole destination
// (0, 0, 0, 0). Scales below 1 run the decimation filters (with the other axis at 1, the same,
// or magnified twice), scales from 1 the interpolation filters. The half-transparent colour also
// shows that a filtered front's colour is multiplied by its alpha once, not twice.
TEST(TransformScale, AFlatFrontStaysFlatUnderEveryFilterAndScale) {
    // (interpolation, decimation, scale): scales below 1 with each decimation, from 1 up with
    // each interpolation.
    std::vector<std::tuple<Interp, Decim, p3f>> sweeps;
    for (int f = 0; f <= 12; ++f)
        for (float s : f < 6 ? std::vector<float>{1 / 16.0f, 0.3f, 0.5f, 0.7f, 0.9f}
                             : std::vector<float>{1.0f, 1.5f, 3.0f, 8.0f})
            for (const p3f& c : {p3f(s, 1, 1), p3f(1, s, 1), p3f(s, s, 1), p3f(s, 2, 1)})
                sweeps.push_back(
                    {f < 6 ? Interp::Texture : Interp(f - 6), f < 6 ? Decim(f) : Decim::None, c});
    const int fw = 64, fh = 48;
    for (const RGBA& flat : {RGBA{0.5f, 0.5f, 0.5f, 1}, RGBA{1, 0.5f, 0.25f, 0.5f}, RGBA{}}) {
        TestImage front = MakeImage(kFloat, fw, fh);
        for (int i = 0; i < fw * fh; ++i) Put(kFloat, front, i % fw, i / fw, flat);
        const RGBA want = BlendReference(0, flat, RGBA{}, 1);
        for (const auto& [interp, decim, s] : sweeps) {
            const int dw = int(std::ceil(fw * s.x)) + 6, dh = int(std::ceil(fh * s.y)) + 6;
            TestImage out = MakeImage(kFloat, dw, dh);
            FillPicture(kFloat, out, 4);
            Transform(&front, nullptr, nullptr, &out, PixelApplyMode::Over,
                      p3f(dw / 2.0f, dh / 2.0f, 0), s, p3f(), XYZ, interp, decim);
            int compared = 0;
            for (int y = 0; y < dh; ++y)
                for (int x = 0; x < dw; ++x) {
                    const double u = (x + 0.5 - dw / 2.0) / s.x + fw / 2.0;
                    const double v = (y + 0.5 - dh / 2.0) / s.y + fh / 2.0;
                    const bool inside = u >= 1 && u <= fw - 1 && v >= 1 && v <= fh - 1;
                    if (flat[3] > 0 && !inside) continue;
                    ASSERT_TRUE(PixelsNear(Get(kFloat, out, x, y), flat[3] > 0 ? want : RGBA{}, 4,
                                           1, flat[3] > 0 ? 4e-3 : 0))
                        << "interpolation " << int(interp) << ", decimation " << int(decim)
                        << ", scale " << s.x << " x " << s.y << ", alpha " << flat[3] << " at " << x
                        << "," << y;
                    ++compared;
                }
            EXPECT_GT(compared, 0) << s.x << " x " << s.y;
        }
    }
}

// The front texture is the front's size times each scale above 1, truncated, up to 2^24 texels
// (both sides cut alike: 30 x 20 at 1000 x 500 times is 7094 x 2364).
TEST(TransformScale, MagnifiedFrontsGetTexturesOfTheirDrawnSize) {
    TestImage front = MakeImage(kFloat, 30, 20);
    for (const auto& [s, w, h] : {std::tuple{p3f(2, 2, 1), 60, 40},
                                  {p3f(0.5f, 3.5f, 1), 30, 70},
                                  {p3f(1, 1, 1), 30, 20},
                                  {p3f(1000, 500, 1), 7094, 2364}})
        RunOnWorker([&, s = s, w = w, h = h] {
            RenderedTexture prepared;
            bool premultiplied = true;
            PrepareFront(
                prepared, premultiplied, &front, nullptr,
                {PixelApplyMode::Over, p3f(), s, p3f(), XYZ, Interp::Texture, Decim::None});
            EXPECT_EQ(prepared.Width(), w);
            EXPECT_EQ(prepared.Height(), h);
            EXPECT_FALSE(premultiplied); // nothing to filter
            prepared.Finalize();
        });
}

TEST_ON_WORKER(PointSprites, AttenuateWithDistanceUpToSixtyFourTexels) {
    glPushAttrib(GL_POINT_BIT);
    EXPECT_TRUE(EnableDistPointScaling(10.0f));
    const float largest = Floats(GL_POINT_SIZE_MAX)[0];
    EXPECT_FLOAT_EQ(Floats(GL_POINT_DISTANCE_ATTENUATION)[1], 0.01f);
    EXPECT_TRUE(largest >= 1.0f && largest <= 64.0f) << largest;
    EXPECT_EQ(Floats(GL_POINT_SIZE)[0], largest);
    EXPECT_TRUE(RescaleDistPoint(40.0f));
    EXPECT_FLOAT_EQ(Floats(GL_POINT_DISTANCE_ATTENUATION)[1], 0.0025f);
    glPopAttrib();
}

} // namespace
