// Eight host threads at once, as eight plug-in instances would call: each runs a mix of the
// operations on operands of its own (random sizes, layouts and row orders; float buffers made
// and destroyed on the thread or the worker) and checks every result against the row's CPU
// reference. Each thread holds a use of the library while it calls, and now and then lets go of
// it and takes it back, or takes a second one, while the others keep calling; between rounds
// every thread has let go, so the worker stops and a fresh one starts.

#include "Operations.h"
#include "Scoped.h"

#include <chrono>
#include <future>

using namespace OGL_TESK_AE;
using namespace tesk_test;
using TESK_AE::StaticList;

namespace {

constexpr int kThreads = 8, kRounds = 2, kCalls = 16;

void Calls(int thread, int round) {
    std::mt19937 random(1000u + uint32_t(thread + kThreads * round));
    const auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    const auto unit = [&] { return std::uniform_real_distribution<float>()(random); };
    const auto layout = [&]() -> const Layout& { return HostLayouts()[size_t(below(7))]; };
    const std::vector<const Operation*> rows = Compared();
    StaticList::Increment();
    for (int i = 0; i < kCalls; ++i) {
        // Every row runs in every round, each thread starting at its own.
        const Operation& op = *rows[size_t(thread * 7 + i) % rows.size()];
        SCOPED_TRACE(std::string(op.name) + ", thread " + std::to_string(thread) + ", round " +
                     std::to_string(round) + ", call " + std::to_string(i));
        const int w = 1 + below(24), h = 1 + below(24);
        const int dw = op.Has(kAnySize) ? 1 + below(24) : w,
                  dh = op.Has(kAnySize) ? 1 + below(24) : h;
        const Layout& in = layout();
        const Layout& out = op.Has(kAlike) ? in : layout();
        const bool inUp = below(2), outUp = op.Has(kAlike) ? inUp : below(2);
        const RGBA colour{unit(), unit(), unit(), 0.05f + 0.95f * unit()};
        const Kind* k = op.call.kinds;
        Held a(k[0], in, w, h, inUp, random(), below(4));
        Held b(k[1], layout(), w, h, below(2), random(), below(4));
        Held d(k[2], out, dw, dh, outUp, random(), below(4));
        // When every other thread happens to be between uses too, this stops the worker while
        // none is calling.
        if (below(4) == 0) StaticList::Decrement(), StaticList::Increment();
        const bool second = below(4) == 0;
        if (second) StaticList::Increment();
        EXPECT_TRUE(RunAndCompare(op, a, b, d, colour));
        if (second) StaticList::Decrement();
    }
    StaticList::Decrement();
}

} // namespace

TEST(HarnessStress, EightThreadsOfMixedOperationsWithUsesComingAndGoing) {
    UseLent lent; // the threads' uses are the only ones
    ASSERT_EQ(StaticList::UseCount(), 0);
    ASSERT_EQ(CurrentWorker(), nullptr);
    // Far longer than the test takes even under the sanitizers: past it the calls are deadlocked,
    // and the run ends at once instead of at the suite's time-out.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(4);
    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::future<void>> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.push_back(std::async(std::launch::async, Calls, t, round));
        for (auto& thread : threads)
            if (thread.wait_until(deadline) == std::future_status::timeout)
                std::fprintf(stderr, "HarnessStress: deadlocked\n"), std::abort();
        // The last use given back stopped the worker.
        EXPECT_EQ(StaticList::UseCount(), 0);
        EXPECT_EQ(CurrentWorker(), nullptr);
    }
}
