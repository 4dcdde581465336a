// The exported blend against the CPU formulas: every numbered mode, on pixels that include the
// extremes, across a tile border, in a float and an 8-bit layout and both row orders.

#include "BlendReference.h"
#include "GLTest.h"
#include "OpsReference.h"

#include "common/Shared.h"
#include "gl/effects/ApplyMode.h"

#include <random>
#include <sstream>
#include <tuple>

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

// Pixels drawn from the extremes and the middle as often as from anywhere else; returns what the
// image holds of them.
Picture FillBlendPixels(const Layout& layout, TestImage& image, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> pick(0, 5), level(0, 64);
    const float kept[] = {0.0f, 0.5f, 1.0f};
    Picture held(image.Width(), image.Height());
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) {
            RGBA v;
            for (float& c : v) {
                const int p = pick(random);
                c = p < 3 ? kept[p] : float(level(random)) / 64.0f;
            }
            Put(layout, image, x, y, v);
            held.At(x, y) = Get(layout, image, x, y);
        }
    return held;
}

// Whether got shows want: compared premultiplied, since a nearly transparent result's
// unpremultiplied colour magnifies the card's rounding without changing what a compositor would
// show, and with colour above 1 taken as 1, which the destination holds only in some row orders.
bool Shows(const RGBA& got, const RGBA& want, float tolerance) {
    for (int c = 0; c < 4; ++c) {
        const float g = c < 3 ? std::min(got[c], 1.0f) * got[3] : got[c];
        const float e = c < 3 ? std::min(want[c], 1.0f) * want[3] : want[c];
        if (!(std::fabs(g - e) <= tolerance)) return false;
    }
    return true;
}

// Mode, index into HostLayouts(), bottom-up.
using BlendParam = std::tuple<int, int, bool>;

class ApplyModes : public ::testing::TestWithParam<BlendParam> {};

// 2051 columns cross the first tile's right edge, 1083 rows its top edge (modes take turns).
TEST_P(ApplyModes, MatchTheirFormulas) {
    const int mode = std::get<0>(GetParam());
    const Layout& layout = HostLayouts()[std::get<1>(GetParam())];
    const bool bottomUp = std::get<2>(GetParam());
    const int w = mode % 2 ? 2051 : 3, h = mode % 2 ? 3 : 1083;
    TestImage front = MakeImage(layout, w, h, bottomUp), back = MakeImage(layout, w, h, !bottomUp);
    TestImage destination = MakeImage(layout, w, h, bottomUp);
    const Picture f = FillBlendPixels(layout, front, 5u + mode),
                  b = FillBlendPixels(layout, back, 101u + mode);
    const float mix = mode % 2 ? 1.0f : 0.75f;
    ApplyMode::Apply(&front, &back, nullptr, &destination, static_cast<PixelApplyMode>(mode), mix);
    EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
    const float tolerance = 2.0f * Tolerance(layout);
    const bool dissolve = mode == int(PixelApplyMode::SoftDissolve);
    int blended = 0, opaqueBacks = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const RGBA fg = f.At(x, y), bg = b.At(x, y), got = Get(layout, destination, x, y);
            const RGBA want = BlendReference(mode, fg, bg, mix);
            if (dissolve && bg[3] > 0.0f) {
                // rand() is the card's: over an opaque back the pixel is blended unless it drew
                // below 0.0001, so nearly always; over a partly transparent one, either can be.
                const bool over = Shows(got, BlendReference(mode, fg, bg, mix, 1.0), tolerance);
                if (bg[3] == 1.0f) blended += over, opaqueBacks++;
                if (over || Shows(got, BlendReference(mode, fg, bg, mix, 0.0), tolerance)) continue;
            }
            if (Shows(got, want, tolerance)) continue;
            bool nearby = false;
            for (const RGBA& other : BlendReferencesNearby(mode, fg, bg, mix))
                nearby = nearby || Shows(got, other, tolerance);
            ASSERT_TRUE(nearby) << "at (" << x << ", " << y << "): got "
                                << ::testing::PrintToString(got) << ", expected "
                                << ::testing::PrintToString(want);
        }
    EXPECT_GE(blended, opaqueBacks * 99 / 100);
}

// Layouts 6 and 1 of HostLayouts(): float and 8-bit ARGB.
INSTANTIATE_TEST_SUITE_P(Numbered, ApplyModes,
                         ::testing::Combine(::testing::Range(0, kPixelApplyModeCount),
                                            ::testing::Values(6, 1), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<BlendParam>& info) {
                             const auto mode = static_cast<PixelApplyMode>(std::get<0>(info.param));
                             return std::string(PixelApplyModeName(mode)) + "_" +
                                    HostLayouts()[std::get<1>(info.param)].name +
                                    (std::get<2>(info.param) ? "_up" : "");
                         });

// One pixel blended: front over back through mode at mix, under a mask of that alpha (< 0: none).
RGBA BlendOne(int mode, const RGBA& fg, const RGBA& bg, float mix, float mask = -1) {
    const Layout& layout = HostLayouts()[6];
    TestImage front = MakeImage(layout, 1, 1), back = MakeImage(layout, 1, 1),
              matte = MakeImage(layout, 1, 1), destination = MakeImage(layout, 1, 1);
    Put(layout, front, 0, 0, fg);
    Put(layout, back, 0, 0, bg);
    Put(layout, matte, 0, 0, {1, 1, 1, mask});
    ApplyMode::Apply(&front, &back, mask < 0 ? nullptr : &matte, &destination,
                     static_cast<PixelApplyMode>(mode), mix);
    return Get(layout, destination, 0, 0);
}

struct OnePixel {
    const char* what;
    int mode;
    RGBA fg, bg;
    float mix, mask;
    RGBA want;
};

// Worked out by hand. Over weighs the front by its alpha twice and clamps the alpha sum; a tie
// in distance from grey keeps the front; without a program the tile takes the current colour.
TEST(ApplyModes, HandWorkedPixels) {
    const OnePixel rows[] = {
        {"over", 0, {1, 0, 0, 0.5f}, {0, 0, 1, 1}, 1, -1, {0.25f, 0, 0.5f, 1}},
        {"more gray ties",
         23,
         {0.5f, 0.25f, 0.75f, 1},
         {0.5f, 0.75f, 0.25f, 1},
         1,
         -1,
         {0.5f, 0.25f, 0.75f, 1}},
        {"half mix", 3, {0.5f, 1, 1, 1}, {1, 0.5f, 0, 1}, 0.5f, -1, {0.75f, 0.5f, 0, 1}},
        {"black luminosity", 20, {0, 0, 0, 1}, {1, 1, 1, 1}, 1, -1, {0, 0, 0, 0}},
        {"half mask",
         26,
         {0.2f, 0.4f, 0.8f, 0.8f},
         {1, 0, 0, 1},
         1,
         0.5f,
         {0.2f, 0.4f, 0.8f, 0.4f}},
        {"mode -1", -1, {0.2f, 0.4f, 0.8f, 0.8f}, {1, 0.5f, 0, 1}, 1, -1, {1, 1, 1, 1}},
        {"mode 49", 49, {0.2f, 0.4f, 0.8f, 0.8f}, {1, 0.5f, 0, 1}, 1, -1, {1, 1, 1, 1}},
    };
    for (const OnePixel& row : rows) {
        const RGBA got = BlendOne(row.mode, row.fg, row.bg, row.mix, row.mask);
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(got[c], row.want[c], 1e-3f) << row.what << ", channel " << c;
    }
    EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
}

// A back of alpha 0 comes out as (0, 0, 0, 0).
TEST(ApplyModes, MixZeroKeepsTheBackForEveryMode) {
    const RGBA fg{0.9f, 0.1f, 0.5f, 0.7f}, bg{0.2f, 0.4f, 0.6f, 0.8f}, clear{0.2f, 0.4f, 0.6f, 0};
    for (int mode = 0; mode < kPixelApplyModeCount; ++mode) {
        const RGBA kept = BlendOne(mode, fg, bg, 0), none = BlendOne(mode, fg, clear, 0);
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(kept[c], bg[c], 1e-3f) << mode;
            EXPECT_EQ(none[c], 0.0f) << mode;
        }
    }
}

// The dissolve reseeds rand() before its program is current: the seed must wait for it, or it
// lands in whatever program is current (with none, an OpenGL error the next task sees).
TEST(ApplyModes, ReseedingTheDissolveLeavesNoOpenGLError) {
    for (int i = 0; i < 2; ++i)
        BlendOne(int(PixelApplyMode::SoftDissolve), {1, 0, 0, 1}, {0, 0, 1, 1}, 1);
    EXPECT_TRUE(RunOnWorker([] {}));
}

} // namespace
