// Regions: the edge cases, and the set operations against sets of pixels.
#include "math/Region.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <utility>

using namespace OGL_TESK_AE;

namespace {
using Pixels = std::set<std::pair<int, int>>;

Pixels PixelsOf(const Region& r) {
    Pixels p;
    if (!r.IsValid()) return p;
    for (int y = r.YOrigin(); y < r.YEnd(); ++y)
        for (int x = r.XOrigin(); x < r.XEnd(); ++x) p.insert({x, y});
    return p;
}
} // namespace

// x, y, width, height, valid, in that order and without gaps.
TEST(MathRegion, Layout) {
    struct Mirror {
        int x, y;
        unsigned width, height;
        bool valid;
    } m;
    static_assert(sizeof(Mirror) == sizeof(Region), "same size");
    const Region r(-7, 9, 11u, 13u);
    std::memcpy(&m, &r, sizeof m);
    EXPECT_TRUE(m.x == -7 && m.y == 9 && m.width == 11u && m.height == 13u && m.valid);
}

TEST(MathRegion, EdgeCases) {
    // Regions compare equal in all five fields; one is valid exactly when it has both sizes.
    const struct {
        const char* what;
        Region got, expected;
    } rows[] = {
        {"default", Region(), Region(0, 0, 0u, 0u)},
        {"sized", Region(4u, 3u), Region(0, 0, 4, 3)},
        {"overlap", Region(0, 0, 10, 10) & Region(5, 5, 10, 10), Region(5, 5, 5, 5)},
        {"touching", Region(0, 0, 10, 10) & Region(10, 0, 5, 5), Region()},
        {"with invalid", Region(0, 0, 10, 10) & Region(), Region()},
        {"flip", Region(2, 3, 4, 5).Flip(20), Region(2, 12, 4, 5)},
        {"scale", Region(1, 1, 3, 3).Scale(0.5f, 0.5f), Region(0, 0, 2, 2)},
        {"scale to a pixel", Region(3, 3, 1, 1).Scale(0.25f, 0.25f), Region(0, 0, 1, 1)},
        {"scale to nothing", Region(1, 1, 1, 1).Scale(0.25f, 0.25f), Region(0, 0, 0, 0)},
        {"grow", Region(5, 6, 2, 2).Grow(2, 1), Region(3, 5, 6, 4)},
        {"offset", Region(5, 6, 2, 2).Offset(-6, 4), Region(-1, 10, 2, 2)},
        {"offset invalid", Region(0, 0, 10, 0).Offset(3, 3), Region(0, 0, 10, 0)},
        {"grow invalid", Region(0, 0, 10, 0).Grow(3, 3), Region(0, 0, 10, 0)},
        {"flip invalid", Region(0, 0, 10, 0).Flip(3), Region(0, 0, 10, 0)},
        {"invalid | valid", Region(0, 0, 10, 0) | Region(1, 1, 2, 2), Region(1, 1, 2, 2)},
        {"valid | invalid", Region(1, 1, 2, 2) | Region(0, 0, 10, 0), Region(1, 1, 2, 2)},
        {"bounding box", Region(-4, 2, 6, 2) | Region(3, -1, 1, 1), Region(-4, -1, 8, 5)},
        // Ends compare as unsigned values: a region ending left of 0 ends "after" one at 10.
        {"unsigned ends |", Region(-4, 2, 2, 2) | Region(3, 0, 1, 1), Region(-4, 0, 2, 4)},
        {"unsigned ends &", Region(-5, 0, 3, 3) & Region(0, 0, 10, 10), Region(0, 0, 10, 3)},
    };
    for (const auto& row : rows) EXPECT_EQ(row.got, row.expected) << row.what;
    EXPECT_TRUE(Region(4, 5, 0, 0) == Region(4, 5, 0, 0) && !(Region(4, 5, 0, 0) == Region()));
    EXPECT_FALSE(Region(1, 2, 3, 4) == Region(1, 2, 3, 5));
    EXPECT_TRUE(Region(2, 3, 4, 5).XEnd() == 6 && Region(2, 3, 4, 5).YEnd() == 8);

    const Region flat(0, 0, 10, 0);
    const Region box(2, 3, 4, 5);
    const struct {
        float x, y;
        bool in;
    } points[] = {{2, 3, true},  {5.99f, 7.99f, true}, {6, 3, false},
                  {2, 8, false}, {1.99f, 4, false},    {4, 2.99f, false}};
    for (const auto& p : points) {
        EXPECT_EQ(box.IsInRange(p2f(p.x, p.y)), p.in) << p.x << " " << p.y;
        EXPECT_FALSE(flat.IsInRange(p2f(p.x, p.y)));
    }
}

// Intersection is the overlap of the pixel sets, union the bounding box of both.
TEST(MathRegion, AlgebraMatchesPixelSets) {
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> origin(0, 12), size(0, 6);
    for (int n = 0; n < 3000; ++n) {
        Region a(origin(rng), origin(rng), size(rng), size(rng));
        Region b(origin(rng), origin(rng), size(rng), size(rng));
        const Pixels pa = PixelsOf(a), pb = PixelsOf(b);

        Pixels overlap;
        for (const auto& p : pa)
            if (pb.count(p)) overlap.insert(p);
        const Region both = a & b;
        ASSERT_EQ(PixelsOf(both), overlap);
        ASSERT_EQ(both.IsValid(), !overlap.empty());
        if (!both.IsValid()) {
            ASSERT_EQ(both, Region());
        }
        ASSERT_EQ(both, b & a);

        Pixels all(pa);
        all.insert(pb.begin(), pb.end());
        const Region box = a | b;
        if (all.empty()) {
            ASSERT_FALSE(box.IsValid());
            continue;
        }
        int x0 = 1 << 20, y0 = 1 << 20, x1 = -1, y1 = -1;
        for (const auto& p : all) {
            x0 = std::min(x0, p.first), y0 = std::min(y0, p.second);
            x1 = std::max(x1, p.first + 1), y1 = std::max(y1, p.second + 1);
        }
        ASSERT_EQ(box, Region(x0, y0, unsigned(x1 - x0), unsigned(y1 - y0)));
        // Every pixel of either lies in the box.
        for (const auto& p : all) ASSERT_TRUE(box.IsInRange(p2f(p.first + 0.5f, p.second + 0.5f)));
    }
}
