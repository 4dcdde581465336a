#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace TESK_AE {
namespace platform {

// A small, non-zero number naming the calling thread for the life of the process.
uint32_t CurrentThreadId();

// A started thread that can be waited for, so that a stopped worker never outlives its owner.
class ThreadHandle {
public:
    ThreadHandle() = default;
    ThreadHandle(const ThreadHandle&) = delete;
    ThreadHandle& operator=(const ThreadHandle&) = delete;
    ~ThreadHandle();

    // Starts entry(argument) on a new thread, after waiting for any thread this handle started
    // before. The new thread's id is stored in id before the thread runs, so the thread and its
    // starter agree on it from the first instruction. Returns false, leaving id as it was, when
    // no thread could be started.
    bool Start(unsigned (*entry)(void*), void* argument, std::atomic<uint32_t>& id);

    // Waits until the thread has ended. Does nothing when there is no thread or when called
    // from the thread itself.
    void Join();

private:
    std::thread fThread;
};

} // namespace platform
} // namespace TESK_AE
