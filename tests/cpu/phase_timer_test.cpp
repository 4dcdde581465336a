#include "common/PhaseTimer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

using namespace OGL_TESK_AE;

namespace {

int sFences = 0;

void CountingFence() {
    ++sFences;
}

// Busy for at least a millisecond of the steady clock: gives a phase a duration with a known
// lower bound.
void SpinningFence() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1);
    while (std::chrono::steady_clock::now() < until) {
    }
}

int64_t Sum() {
    int64_t total = 0;
    for (int i = 0; i < static_cast<int>(Phase::Count); ++i)
        total += PhaseTimes::Nanoseconds(static_cast<Phase>(i));
    return total;
}

// Every test starts from zero and leaves no fence and no totals behind.
class PhaseTimerTest : public ::testing::Test {
protected:
    void SetUp() override { PhaseTimes::Reset(); }
    void TearDown() override {
        PhaseTimes::SetFence(nullptr);
        PhaseTimes::Reset();
    }
};

} // namespace

TEST_F(PhaseTimerTest, CountsStopsAndFences) {
    sFences = 0;
    PhaseTimes::SetFence(&CountingFence);
    {
        PhaseTimer upload(Phase::Upload);
        EXPECT_TRUE(upload.IsRunning());
        upload.Stop();
        EXPECT_FALSE(upload.IsRunning());
        upload.Stop(); // a second stop counts nothing
    }
    EXPECT_EQ(PhaseTimes::Count(Phase::Upload), 1);
    EXPECT_EQ(sFences, 2); // once at the start, once at the end
    {
        PhaseTimer draw(Phase::Draw);
        draw.Start(Phase::ReadBack); // restarting stops the running phase first
    }
    EXPECT_EQ(PhaseTimes::Count(Phase::Draw), 1);
    EXPECT_EQ(PhaseTimes::Count(Phase::ReadBack), 1);
    EXPECT_EQ(sFences, 6);

    PhaseTimes::Reset();
    for (int i = 0; i < static_cast<int>(Phase::Count); ++i) {
        EXPECT_EQ(PhaseTimes::Count(static_cast<Phase>(i)), 0);
        EXPECT_EQ(PhaseTimes::Nanoseconds(static_cast<Phase>(i)), 0);
        EXPECT_STRNE(PhaseTimes::Name(static_cast<Phase>(i)), "?");
    }
    EXPECT_STREQ(PhaseTimes::Name(Phase::Count), "?");
    EXPECT_EQ(PhaseTimes::Count(Phase::Count), 0);
}

TEST_F(PhaseTimerTest, InnerPhasesAreNotCountedTwice) {
    PhaseTimes::SetFence(&SpinningFence);
    const auto begin = std::chrono::steady_clock::now();
    {
        PhaseTimer draw(Phase::Draw);
        {
            PhaseTimer upload(Phase::Upload);
            PhaseTimer allocation(Phase::Allocation);
        }
    }
    const int64_t wall = std::chrono::duration_cast<std::chrono::nanoseconds>(
                             std::chrono::steady_clock::now() - begin)
                             .count();
    // Each phase ends with a fence of its own, so each holds at least a millisecond; were the
    // inner ones also counted in the outer ones, the phases would add up to more than the
    // time that passed.
    for (Phase phase : {Phase::Draw, Phase::Upload, Phase::Allocation}) {
        EXPECT_EQ(PhaseTimes::Count(phase), 1);
        EXPECT_GE(PhaseTimes::Nanoseconds(phase), 1000000);
    }
    EXPECT_LE(Sum(), wall);
}

TEST_F(PhaseTimerTest, OuterStopDropsTimersLeftRunning) {
    PhaseTimer inner;
    {
        PhaseTimer outer(Phase::Draw);
        inner.Start(Phase::Upload);
    } // the outer stops while the inner still runs
    EXPECT_EQ(PhaseTimes::Count(Phase::Draw), 1);
    // The slot the inner timer had is taken by a new one; stopping the stale timer must not
    // end it.
    PhaseTimer next(Phase::ReadBack);
    inner.Stop();
    EXPECT_FALSE(inner.IsRunning());
    EXPECT_EQ(PhaseTimes::Count(Phase::Upload), 0);
    EXPECT_TRUE(next.IsRunning());
    next.Stop();
    // Totals are process-wide.
    std::thread([] { PhaseTimer there(Phase::ReadBack); }).join();
    EXPECT_EQ(PhaseTimes::Count(Phase::ReadBack), 2);
}

TEST_F(PhaseTimerTest, DeepNestingBeyondTheStackIsNotTimed) {
    std::vector<std::unique_ptr<PhaseTimer>> timers;
    for (int i = 0; i < 20; ++i) timers.emplace_back(new PhaseTimer(Phase::StateSave));
    EXPECT_TRUE(timers[15]->IsRunning());
    EXPECT_FALSE(timers[16]->IsRunning());
    while (!timers.empty()) timers.pop_back();
    EXPECT_EQ(PhaseTimes::Count(Phase::StateSave), 16);
}
