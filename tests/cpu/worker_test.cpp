// The worker thread that runs every marshalled call, and the lock it is built on.

#include "common/Errors.h"
#include "common/Shared.h"
#include "common/StaticList.h"
#include "common/Implementation/WorkerBackend.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <thread>

using namespace OGL_TESK_AE;
using TESK_AE::StaticList;

TEST(Sync, MutexIsRecursiveForItsOwnerAndTimedForOthers) {
    TESK_AE::XSyncMutex mutex;
    // Whether another thread gets the mutex within 5 ms; it calls Unlock either way.
    const auto other = [&mutex] {
        bool got = false;
        std::thread([&] {
            got = mutex.LockWaitMilliSec(5);
            mutex.Unlock();
        }).join();
        return got;
    };
    ASSERT_TRUE(mutex.Lock(false) && mutex.Lock(false));
    for (int holds : {2, 1, 0}) {
        EXPECT_EQ(other(), holds == 0) << holds; // another's Unlock must not release a hold
        if (holds) mutex.Unlock();
    }
}

namespace {

// Stands in for the OpenGL back-end so the worker can be exercised without a context.
struct FakeBackend : WorkerBackend {
    bool Start() override { return ++starts, !failStart; }
    void Stop() override { ++stops; }
    bool Run(bool (*task)(void*), void* data) override { return ++runs, task(data); }
    void ReleaseAll() override { ++releases, onRelease(); }
    std::atomic<bool> failStart{false};
    std::atomic<int> starts{0}, stops{0}, runs{0}, releases{0};
    std::function<void()> onRelease = [] {};
};

// Every test starts and ends with no worker, so that each sees the lifecycle from the start.
class Worker : public ::testing::Test {
protected:
    void SetUp() override { StopWorker(), Thread::SetBackend(&backend); }
    void TearDown() override { StopWorker(), Thread::SetBackend(nullptr); }
    static void StopWorker() { StaticList::Increment(), StaticList::Decrement(); }
    FakeBackend backend;
};

// Exported-style operations: each hands itself to the worker, then does its work there.
void Operation(uint32_t* where) {
    if (Dispatch(&Operation, where)) return;
    *where = TESK_AE::GetCurrentThreadId();
}

void Nested(uint32_t* inner, uint32_t* outer) {
    if (Dispatch(&Nested, inner, outer)) return;
    *outer = TESK_AE::GetCurrentThreadId();
    Operation(inner);
}

void Throws(int code) {
    if (Dispatch(&Throws, code)) return;
    if (code == 1) throw 7;
    if (code == 0) throw Error("x");
    throw OpenGLError(code);
}

} // namespace

TEST_F(Worker, FailuresBecomeErrorTextsAndNeverCrossThreads) {
    for (const auto& [code, text] :
         {std::pair(0, "x"), {1, "Unknown error."}, {0x0505, "OpenGL error:\n"}}) {
        Throws(code);
        EXPECT_EQ(std::string(Shared::ErrorMessage()).rfind(text, 0), 0u) << code;
    }
    // The worker keeps its own copy: building another error does not change the caller's text.
    const std::string text = Shared::ErrorMessage();
    OpenGLError(0x0500).what();
    EXPECT_EQ(Shared::ErrorMessage(), text);
}

TEST_F(Worker, ContextFailureIsReportedAndTheNextCallTriesAgain) {
    for (int attempt = 1; attempt <= 3; ++attempt) {
        backend.failStart = attempt < 3;
        uint32_t where = 0;
        Operation(&where);
        EXPECT_EQ(where, attempt < 3 ? 0u : sThread->GetId()); // the task ran only on the last
        EXPECT_STREQ(Shared::ErrorMessage(),
                     attempt < 3 ? "OpenGL context failure." : "Unknown error.");
        EXPECT_EQ(sThread->IsRunning(), attempt == 3);
        EXPECT_TRUE(backend.starts == attempt && backend.stops == std::min(attempt, 2));
    }
}

// Calls made on the worker run in place: no second hand-over, no deadlock.
TEST_F(Worker, CallersFromManyThreadsAreServedOneAtATimeAndNestedCallsInPlace) {
    alarm(30); // a lost hand-over leaves its caller waiting for ever: end the run instead
    std::vector<uint32_t> inner(8 * 200, 0), outer(8 * 200, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int i = t * 200; i < (t + 1) * 200; ++i) {
                Nested(&inner[i], &outer[i]);
                // Each caller reads its own outcome, whatever the others did meanwhile.
                EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
            }
        });
    for (auto& thread : threads) thread.join();
    alarm(0);
    ASSERT_NE(sThread->GetId(), TESK_AE::GetCurrentThreadId());
    for (size_t i = 0; i < inner.size(); ++i)
        ASSERT_TRUE(inner[i] == sThread->GetId() && outer[i] == inner[i]) << i; // none lost
    EXPECT_TRUE(backend.runs == 8 * 200 && backend.starts == 1); // one hand-over a caller
}

TEST_F(Worker, LastDecrementStopsEverythingAndALaterCallStartsAgain) {
    StaticList::Decrement(); // at zero already: nothing happens
    EXPECT_EQ(StaticList::UseCount(), 0);
    for (int cycle = 1; cycle <= 50; ++cycle) {
        for (int plugIn = 0; plugIn < 2; ++plugIn) StaticList::Increment();
        uint32_t where = 0;
        Operation(&where);
        StaticList::Decrement();
        ASSERT_TRUE(where != 0 && sThread) << "one plug-in still holds the library";
        StaticList::Decrement();
        ASSERT_EQ(sThread, nullptr);
        // Objects were released on the worker before it stopped, and its context went with it.
        ASSERT_TRUE(backend.releases == cycle && backend.starts == cycle && backend.stops == cycle);
    }
    // A use taken while the last release runs waits for it to end.
    StaticList::Increment();
    uint32_t where = 0;
    Operation(&where);
    std::thread taker;
    int seen = -1;
    backend.onRelease = [&] {
        taker = std::thread(&StaticList::Increment);
        usleep(100000);
        seen = StaticList::UseCount();
    };
    StaticList::Decrement();
    taker.join();
    EXPECT_TRUE(seen == 0 && StaticList::UseCount() == 1);
    StaticList::Decrement();
}
