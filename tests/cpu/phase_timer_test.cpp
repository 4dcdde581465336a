#include "common/PhaseTimer.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <thread>

using namespace OGL_TESK_AE;

namespace {

int sFences = 0;

// Busy for a millisecond of the steady clock, which gives every phase a known least duration.
void SpinningFence() {
    ++sFences;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1);
    while (std::chrono::steady_clock::now() < until) {
    }
}

class PhaseTimerTest : public ::testing::Test {
protected:
    void SetUp() override { PhaseTimes::Reset(), PhaseTimes::SetFence(&SpinningFence); }
    void TearDown() override { PhaseTimes::SetFence(nullptr); }
};

} // namespace

TEST_F(PhaseTimerTest, EachPhaseCountsOnceAndNotInThePhaseAroundIt) {
    sFences = 0;
    const auto begin = std::chrono::steady_clock::now();
    {
        PhaseTimer draw(Phase::Draw), upload(Phase::Upload), allocation(Phase::Allocation);
        allocation.Stop();
        allocation.Stop();             // a second stop counts nothing
        upload.Start(Phase::ReadBack); // restarting stops the running phase first
    }
    const std::chrono::nanoseconds wall = std::chrono::steady_clock::now() - begin;
    // Each phase holds at least its closing fence's millisecond; were the inner ones also
    // counted in the outer ones, the phases would add up to more than the time that passed.
    int64_t sum = 0;
    for (Phase phase : {Phase::Draw, Phase::Upload, Phase::Allocation, Phase::ReadBack}) {
        EXPECT_EQ(PhaseTimes::Count(phase), 1);
        EXPECT_GE(PhaseTimes::Nanoseconds(phase), 1000000);
        sum += PhaseTimes::Nanoseconds(phase);
    }
    EXPECT_LE(sum, wall.count());
    EXPECT_EQ(sFences, 8); // at each start and each end
}

// A timer left running when an outer one stops is dropped, and so is one nested deeper than
// the stack holds; the totals are process-wide.
TEST_F(PhaseTimerTest, DroppedAndTooDeepTimersCountNothing) {
    PhaseTimer inner;
    {
        PhaseTimer outer(Phase::Draw);
        inner.Start(Phase::Upload);
    }
    // The next timer takes the inner one's slot, which the stale timer must not end.
    PhaseTimer next(Phase::ReadBack);
    inner.Stop();
    EXPECT_TRUE(!inner.IsRunning() && next.IsRunning());
    next.Stop();
    std::thread([] { PhaseTimer there(Phase::ReadBack); }).join();
    {
        std::array<PhaseTimer, 20> timers; // destroyed last to first, as nested timers stop
        for (PhaseTimer& timer : timers) timer.Start(Phase::StateSave);
        EXPECT_TRUE(timers[15].IsRunning() && !timers[16].IsRunning());
    }
    const std::array<int64_t, 4> counts = {
        PhaseTimes::Count(Phase::Draw), PhaseTimes::Count(Phase::Upload),
        PhaseTimes::Count(Phase::ReadBack), PhaseTimes::Count(Phase::StateSave)};
    EXPECT_EQ(counts, (std::array<int64_t, 4>{1, 0, 2, 16}));
}
