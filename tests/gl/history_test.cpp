// A result depends on its inputs only. Every row of the operations table is run on a worker
// that has done nothing yet, then again after each other row has run on larger images of other
// pixels (which leaves the caches full of larger textures and targets holding other texels), and
// then from four host threads at once: the destination must come out the same, bit for bit.

#include "Operations.h"
#include "Scoped.h"

#include "common/StaticList.h"

#include <future>
#include <map>

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

// The destination a row leaves on operands of the layout, w x h, filled from seed (the
// destination of a row that may resize is of another size than its inputs); overBack: the
// destination is in[1] itself.
Picture Outcome(const Operation& op, const Layout& layout, int w, int h, uint32_t seed,
                bool overBack = false) {
    const Kind* k = op.call.kinds;
    Held a(k[0], layout, w, h, false, seed), b(k[1], layout, w, h, false, seed + 1);
    const int dw = op.Has(kAnySize) ? w * 3 / 2 + 1 : w, dh = op.Has(kAnySize) ? h - 3 : h;
    Held d(overBack ? Kind::None : k[2], layout, dw, dh, false, seed + 2);
    const auto texture = TextureOf(k[0] == Kind::Texture ? a.Get() : nullptr);
    const float c = float(seed % 7) / 7.0f;
    const RGBA colour{c, 1 - c, 0.5f, 0.25f + c / 2};
    op.call.run(a.Get(), b.Get(), overBack ? b.Get() : d.Get(), Color(&colour[0]), texture.get());
    return overBack ? b.Read() : d.Read();
}

// What the rows give on a worker of their own, its caches empty.
std::map<std::string, Picture> Fresh(const Layout& layout) {
    std::map<std::string, Picture> fresh;
    UseLent lent;
    for (const Operation& op : Operations()) {
        if (op.Has(kStateful)) continue;
        TESK_AE::StaticList::Increment();
        fresh[op.name] = Outcome(op, layout, 37, 23, 5);
        TESK_AE::StaticList::Decrement();
    }
    return fresh;
}

class History : public ::testing::TestWithParam<int> {};

TEST_P(History, ResultsAreTheSameFreshAfterOtherWorkAndFromFourThreads) {
    const Layout& layout = HostLayouts()[size_t(GetParam())];
    const std::map<std::string, Picture> fresh = Fresh(layout);
    const auto same = [&](const Operation& op) {
        return PixelsNear(Outcome(op, layout, 37, 23, 5).pixels, fresh.at(op.name).pixels, 37);
    };
    for (const Operation& op : Operations()) {
        if (!fresh.count(op.name)) continue;
        for (const Operation& before : Operations()) {
            if (&before == &op) continue;
            Outcome(before, layout, 61, 47, 97);
            EXPECT_TRUE(same(op)) << op.name << " after " << before.name;
        }
    }
    // Each thread starts at a row of its own, so that different rows run at once.
    std::vector<std::future<void>> threads;
    for (size_t t = 0; t < 4; ++t)
        threads.push_back(std::async(std::launch::async, [&, t] {
            for (size_t i = 0; i < Operations().size(); ++i) {
                const Operation& op = Operations()[(i + 5 * t) % Operations().size()];
                if (!fresh.count(op.name)) continue;
                EXPECT_TRUE(same(op)) << op.name << " on thread " << t;
            }
        }));
    for (auto& thread : threads) thread.get();
}

// The back itself as the destination, on frames a pixel wider or higher than a tile, so that a
// tile written early could be read again by the next.
TEST_P(History, RowsThatMayWriteOverTheirBackGiveTheSameInPlace) {
    const Layout& layout = HostLayouts()[size_t(GetParam())];
    for (const auto& [w, h] : {std::pair{2049, 31}, std::pair{29, 541}})
        for (const Operation& op : Operations()) {
            if (!op.Has(kOverBack)) continue;
            EXPECT_TRUE(PixelsNear(Outcome(op, layout, w, h, 11, true).pixels,
                                   Outcome(op, layout, w, h, 11).pixels, w))
                << op.name << " " << w << " x " << h;
        }
}

// 8-bit RGBA, whose operations keep to 8-bit texels where they can, and float.
INSTANTIATE_TEST_SUITE_P(Layouts, History, ::testing::Values(0, 6));

} // namespace
