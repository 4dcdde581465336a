// Regions: the edge cases, and the set operations against sets of pixels.
#include "math/Region.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <tuple>
#include <type_traits>
#include <utility>

using namespace OGL_TESK_AE;

// Plug-ins hand regions across the library boundary as four ints and a flag.
static_assert(sizeof(Region) == 20 && std::is_standard_layout_v<Region>, "plain 20-byte layout");

TEST(MathRegion, EdgeCases) {
    // Regions compare equal in all five fields; one is valid exactly when it has both sizes. The
    // set operations on ordinary regions are the next test's.
    const std::tuple<const char*, Region, Region> rows[] = {
        {"flip", Region(2, 3, 4, 5).Flip(20), Region(2, 12, 4, 5)},
        {"scale", Region(1, 1, 3, 3).Scale(0.5f, 0.5f), Region(0, 0, 2, 2)},
        {"scale to a pixel", Region(3, 3, 1, 1).Scale(0.25f, 0.25f), Region(0, 0, 1, 1)},
        {"scale to nothing", Region(1, 1, 1, 1).Scale(0.25f, 0.25f), Region(0, 0, 0, 0)},
        {"grow", Region(5, 6, 2, 2).Grow(2, 1), Region(3, 5, 6, 4)},
        {"offset", Region(5, 6, 2, 2).Offset(-6, 4), Region(-1, 10, 2, 2)},
        {"offset invalid", Region(0, 0, 10, 0).Offset(3, 3), Region(0, 0, 10, 0)},
        {"grow invalid", Region(0, 0, 10, 0).Grow(3, 3), Region(0, 0, 10, 0)},
        {"flip invalid", Region(0, 0, 10, 0).Flip(3), Region(0, 0, 10, 0)},
        // Ends compare as unsigned values: a region ending left of 0 ends "after" one at 10.
        {"unsigned ends |", Region(-4, 2, 2, 2) | Region(3, 0, 1, 1), Region(-4, 0, 2, 4)},
        {"unsigned ends &", Region(-5, 0, 3, 3) & Region(0, 0, 10, 10), Region(0, 0, 10, 3)},
    };
    for (const auto& [what, got, expected] : rows) EXPECT_EQ(got, expected) << what;
    EXPECT_TRUE(Region(4, 5, 0, 0) != Region() && Region(1, 2, 3, 4) != Region(1, 2, 3, 5));
    // x, y, inside: ends are exclusive, in both directions; a flat region holds no point.
    const float points[][3] = {{2, 3, 1}, {5.99f, 7.99f, 1}, {6, 3, 0},
                               {2, 8, 0}, {1.99f, 4, 0},     {4, 2.99f, 0}};
    for (const auto& p : points) {
        EXPECT_EQ(Region(2, 3, 4, 5).IsInRange(p2f(p[0], p[1])), p[2] != 0) << p[0] << " " << p[1];
        EXPECT_FALSE(Region(0, 0, 10, 0).IsInRange(p2f(p[0], p[1])));
    }
}

// Intersection is the overlap of the pixel sets, union the bounding box of both.
TEST(MathRegion, AlgebraMatchesPixelSets) {
    using Pixels = std::set<std::pair<int, int>>;
    auto pixelsOf = [](const Region& r) {
        Pixels p;
        for (int y = r.YOrigin(); r.IsValid() && y < r.YEnd(); ++y)
            for (int x = r.XOrigin(); x < r.XEnd(); ++x) p.insert({x, y});
        return p;
    };
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> origin(0, 12), size(0, 6);
    for (int n = 0; n < 3000; ++n) {
        const Region a(origin(rng), origin(rng), size(rng), size(rng));
        const Region b(origin(rng), origin(rng), size(rng), size(rng));
        Pixels overlap, all = pixelsOf(a);
        for (const auto& p : pixelsOf(b)) (all.count(p) ? overlap : all).insert(p);
        const Region both = a & b;
        ASSERT_EQ(pixelsOf(both), overlap);
        ASSERT_EQ(both, overlap.empty() ? Region() : b & a);
        int y0 = 1 << 20, y1 = 0; // the set is ordered by x already
        for (const auto& p : all) y0 = std::min(y0, p.second), y1 = std::max(y1, p.second + 1);
        const int x0 = all.empty() ? 0 : all.begin()->first,
                  x1 = all.empty() ? 0 : all.rbegin()->first + 1;
        ASSERT_TRUE(all.empty() || (a | b) == Region(x0, y0, unsigned(x1 - x0), unsigned(y1 - y0)));
        ASSERT_EQ((a | b).IsValid(), !all.empty());
    }
}
