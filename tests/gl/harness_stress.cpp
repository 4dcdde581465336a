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
    const std::vector<const Operation*> rows = Compared();
    StaticList::Increment();
    for (int i = 0; i < kCalls; ++i) {
        // Every row runs in every round, each thread starting at its own, in a layout and pairing
        // of its own, its float buffers made and destroyed on the thread or the worker.
        const int j = thread * 7 + i + round;
        const Operation& op = *rows[size_t(j - round) % rows.size()];
        SCOPED_TRACE("thread " + std::to_string(thread) + ", round " + std::to_string(round));
        // When every other thread happens to be between uses too, this stops the worker while
        // none is calling.
        if (j % 4 == 0) StaticList::Decrement(), StaticList::Increment();
        if (j % 4 == 1) StaticList::Increment();
        CheckRow(op, HostLayouts()[size_t(j) % HostLayouts().size()], j % 3, j / 3 % 4);
        if (j % 4 == 1) StaticList::Decrement();
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
