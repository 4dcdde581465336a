#include "common/Errors.h"
#include "common/Shared.h"
#include "common/StaticList.h"
#include "common/WorkerBackend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace OGL_TESK_AE;

namespace {

// Stands in for the OpenGL back-end so the worker can be exercised without a context.
class FakeBackend : public WorkerBackend {
public:
    bool Start() override {
        ++starts;
        return !failStart;
    }
    void Stop() override { ++stops; }
    bool Run(bool (*task)(void*), void* data) override {
        ++runs;
        return task(data);
    }
    void ReleaseAll() override { ++releases; }

    std::atomic<bool> failStart{false};
    std::atomic<int> starts{0}, stops{0}, runs{0}, releases{0};
};

// Every test starts and ends with no worker, so that each sees the lifecycle from the start.
class Worker : public ::testing::Test {
protected:
    void SetUp() override {
        StopWorker();
        Thread::SetBackend(&backend);
    }
    void TearDown() override {
        StopWorker();
        Thread::SetBackend(nullptr);
    }
    static void StopWorker() {
        TESK_AE::StaticList::Increment();
        TESK_AE::StaticList::Decrement();
        ASSERT_EQ(sThread, nullptr);
    }
    FakeBackend backend;
};

void RecordThread(uint32_t* where) {
    *where = TESK_AE::GetCurrentThreadId();
}

// An exported-style operation: hands itself to the worker, then does its work there.
void Operation(uint32_t* where) {
    if (Dispatch(&Operation, where)) return;
    RecordThread(where);
}

void Nested(uint32_t* inner, uint32_t* outer) {
    if (Dispatch(&Nested, inner, outer)) return;
    *outer = TESK_AE::GetCurrentThreadId();
    Operation(inner); // runs in place: no second hand-over, no deadlock
}

void ThrowsError(int) {
    if (Dispatch(&ThrowsError, 0)) return;
    throw Error("x");
}

void ThrowsInt(int) {
    if (Dispatch(&ThrowsInt, 0)) return;
    throw 7;
}

void ThrowsFormatted(int code) {
    if (Dispatch(&ThrowsFormatted, code)) return;
    throw OpenGLError(code);
}

} // namespace

TEST_F(Worker, CallsRunOnTheWorkerAndNestedCallsRunInPlace) {
    EXPECT_STREQ(Shared::ErrorMessage(), "Unknown");
    uint32_t where = 0;
    Operation(&where);
    ASSERT_NE(sThread, nullptr);
    EXPECT_EQ(where, sThread->GetId());
    EXPECT_NE(where, TESK_AE::GetCurrentThreadId());
    EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");

    uint32_t inner = 0, outer = 0;
    Nested(&inner, &outer);
    EXPECT_EQ(outer, sThread->GetId());
    EXPECT_EQ(inner, outer);
    EXPECT_EQ(backend.runs, 2); // the nested call did not go through the hand-over again
    EXPECT_EQ(backend.starts, 1);
}

TEST_F(Worker, FailuresBecomeErrorTextsAndNeverCrossThreads) {
    ThrowsError(0);
    EXPECT_STREQ(Shared::ErrorMessage(), "x");
    ThrowsInt(0);
    EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
    ThrowsFormatted(0x0505);
    const std::string text = Shared::ErrorMessage();
    EXPECT_EQ(text.rfind("OpenGL error:\n", 0), 0u);
    // The worker keeps its own copy: building another error does not change the caller's text.
    OpenGLError(0x0500).what();
    EXPECT_EQ(Shared::ErrorMessage(), text);

    int value = 0;
    EXPECT_FALSE(sThread->Execute(nullptr, &value));
    EXPECT_STREQ(Shared::ErrorMessage(), "Internal error: missing function.");
    EXPECT_FALSE(sThread->Execute([](void*) { return true; }, nullptr));
    EXPECT_STREQ(Shared::ErrorMessage(), "Internal error: missing data.");
    EXPECT_TRUE(sThread->Execute([](void*) { return true; }, &value));
}

TEST_F(Worker, ContextFailureIsReportedAndTheNextCallTriesAgain) {
    backend.failStart = true;
    uint32_t where = 0;
    Operation(&where);
    EXPECT_EQ(where, 0u); // the task never ran
    EXPECT_STREQ(Shared::ErrorMessage(), "OpenGL context failure.");
    EXPECT_FALSE(sThread->IsRunning());
    EXPECT_EQ(backend.stops, 1);

    Operation(&where);
    EXPECT_EQ(where, 0u);
    EXPECT_EQ(backend.starts, 2);

    backend.failStart = false;
    Operation(&where);
    EXPECT_EQ(where, sThread->GetId());
    EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
}

namespace {

std::atomic<int> gActive{0};
std::atomic<int> gOverlaps{0};
std::atomic<int> gTotal{0};

void Serialised(int* slot, int value) {
    if (Dispatch(&Serialised, slot, value)) return;
    if (gActive.fetch_add(1) != 0) ++gOverlaps;
    for (volatile int spin = 0; spin < 1000; ++spin) {
    }
    *slot = value;
    ++gTotal;
    --gActive;
}

} // namespace

TEST_F(Worker, CallersFromManyThreadsAreServedOneAtATime) {
    constexpr int kThreads = 8, kCalls = 200;
    std::vector<int> results(kThreads * kCalls, -1);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&results, t] {
            for (int i = 0; i < kCalls; ++i) {
                const int index = t * kCalls + i;
                Serialised(&results[index], index);
                // Each caller reads its own outcome, whatever the others did meanwhile.
                EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(gOverlaps, 0);
    EXPECT_EQ(gTotal, kThreads * kCalls);
    for (int i = 0; i < kThreads * kCalls; ++i) ASSERT_EQ(results[i], i);
    EXPECT_EQ(backend.starts, 1);
}

TEST_F(Worker, LastDecrementStopsEverythingAndALaterCallStartsAgain) {
    TESK_AE::StaticList::Decrement(); // at zero already: nothing happens
    EXPECT_EQ(TESK_AE::StaticList::UseCount(), 0);
    for (int cycle = 1; cycle <= 50; ++cycle) {
        TESK_AE::StaticList::Increment();
        TESK_AE::StaticList::Increment();
        uint32_t where = 0;
        Operation(&where);
        ASSERT_NE(where, 0u);
        TESK_AE::StaticList::Decrement();
        ASSERT_NE(sThread, nullptr) << "one plug-in still holds the library";
        TESK_AE::StaticList::Decrement();
        ASSERT_EQ(sThread, nullptr);
        // Objects were released on the worker before it stopped, and its context went with it.
        ASSERT_EQ(backend.releases, cycle);
        ASSERT_EQ(backend.starts, cycle);
        ASSERT_EQ(backend.stops, cycle);
    }
}
