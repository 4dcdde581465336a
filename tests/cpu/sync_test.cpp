#include "common/Sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace TESK_AE;

namespace {

// Runs body on another thread and waits for it.
template <class F> void OnOtherThread(F body) {
    std::thread t(body);
    t.join();
}

} // namespace

TEST(Sync, MutexIsRecursiveForItsOwnerAndTimedForOthers) {
    XSyncMutex mutex;
    ASSERT_TRUE(mutex.Lock(false));
    ASSERT_TRUE(mutex.Lock(false)); // the owner takes it again
    OnOtherThread([&] {
        EXPECT_FALSE(mutex.Lock(false));
        EXPECT_FALSE(mutex.LockWaitMilliSec(5));
        mutex.Unlock(); // a non-owner cannot release it
    });
    mutex.Unlock();
    OnOtherThread([&] { EXPECT_FALSE(mutex.Lock(false)); }); // still held once
    mutex.Unlock();
    OnOtherThread([&] {
        EXPECT_TRUE(mutex.Lock(false));
        mutex.Unlock();
    });
}

TEST(Sync, StLockReleasesOnScopeExit) {
    XSyncMutex mutex;
    {
        StLock lock(mutex, 0);
        EXPECT_TRUE(lock.IsLocked());
        OnOtherThread([&] { EXPECT_FALSE(StLock(mutex, 0).IsLocked()); });
    }
    OnOtherThread([&] { EXPECT_TRUE(StLock(mutex, 0).IsLocked()); });
}

TEST(Sync, AutoResetEventReleasesOneWait) {
    XSyncEvent event;
    EXPECT_FALSE(event.WaitForEvent(0));
    event.SetEvent();
    EXPECT_TRUE(event.IsSignalled());
    EXPECT_TRUE(event.WaitForEvent(0));
    // The kernel event reset itself; the flag alone is not a signal.
    EXPECT_FALSE(event.WaitForEvent(1));
    event.SetEvent();
    event.ResetEvent();
    EXPECT_FALSE(event.IsSignalled());
    EXPECT_FALSE(event.WaitForEvent(0));
}

TEST(Sync, ManualResetEventStaysSignalled) {
    XSyncEvent event(false);
    event.SetEvent();
    EXPECT_TRUE(event.WaitForEvent(0));
    EXPECT_TRUE(event.WaitForEvent(0));
    event.ResetEvent();
    EXPECT_FALSE(event.WaitForEvent(0));
}

TEST(Sync, EventWakesAWaitingThread) {
    XSyncEvent ready, go;
    std::atomic<bool> woke{false};
    std::thread waiter([&] {
        ready.SetEvent();
        woke = go.WaitForEvent(0x7FFFFFFF);
    });
    ASSERT_TRUE(ready.WaitForEvent(0x7FFFFFFF));
    go.SetEvent();
    waiter.join();
    EXPECT_TRUE(woke);
}

namespace {

class CountingThread : public XSyncThread {
public:
    bool Process() override {
        ranOn = GetCurrentThreadId();
        sawOwnId = IsThread();
        done.SetEvent();
        if (shouldThrow) throw 1;
        return true;
    }
    void Join() { JoinThread(); }
    XSyncEvent done;
    std::atomic<uint32_t> ranOn{0};
    std::atomic<bool> sawOwnId{false};
    bool shouldThrow = false;
};

} // namespace

TEST(Sync, ThreadRunsProcessAndClearsItsId) {
    CountingThread thread;
    EXPECT_FALSE(thread.IsRunning());
    thread.StartThread();
    ASSERT_TRUE(thread.done.WaitForEvent(0x7FFFFFFF));
    thread.Join();
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_NE(thread.ranOn.load(), 0u);
    EXPECT_NE(thread.ranOn.load(), GetCurrentThreadId());
    EXPECT_TRUE(thread.sawOwnId);
    // An exception out of Process is swallowed and the thread can be started again.
    thread.shouldThrow = true;
    thread.StartThread();
    ASSERT_TRUE(thread.done.WaitForEvent(0x7FFFFFFF));
    thread.Join();
    EXPECT_FALSE(thread.IsRunning());
}
