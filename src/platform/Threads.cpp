#include "platform/Threads.h"

#include <system_error>

namespace TESK_AE {
namespace platform {

namespace {

std::atomic<uint32_t> sNextId{1};
thread_local uint32_t tThreadId = 0;

uint32_t NewId() {
    uint32_t id = sNextId.fetch_add(1);
    if (id == 0) id = sNextId.fetch_add(1); // after wrap-around, never hand out 0
    return id;
}

} // namespace

uint32_t CurrentThreadId() {
    if (tThreadId == 0) tThreadId = NewId();
    return tThreadId;
}

ThreadHandle::~ThreadHandle() {
    // A handle destroyed from its own thread cannot wait for itself.
    if (fThread.joinable()) {
        if (fThread.get_id() == std::this_thread::get_id())
            fThread.detach();
        else
            fThread.join();
    }
}

bool ThreadHandle::Start(unsigned (*entry)(void*), void* argument, std::atomic<uint32_t>& id) {
    Join();
    const uint32_t newId = NewId();
    const uint32_t previous = id.exchange(newId);
    try {
        fThread = std::thread([entry, argument, newId] {
            tThreadId = newId;
            entry(argument);
        });
    } catch (const std::system_error&) {
        id.store(previous);
        return false;
    }
    return true;
}

void ThreadHandle::Join() {
    if (fThread.joinable() && fThread.get_id() != std::this_thread::get_id()) fThread.join();
}

} // namespace platform
} // namespace TESK_AE
