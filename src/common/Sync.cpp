#include "common/Sync.h"

#include "platform/Event.h"
#include "platform/Threads.h"
#include "platform/Mutex.h"

namespace TESK_AE {

uint32_t GetCurrentThreadId() {
    return platform::CurrentThreadId();
}

XSyncObj::~XSyncObj() {
    delete fHandle;
}

bool XSyncObj::Lock(bool wait) {
    return LockWaitMilliSec(wait ? 0x7FFFFFFF : 0);
}

bool XSyncObj::LockWaitMilliSec(int32_t milliseconds) {
    if (!fHandle) return false;
    const uint32_t ms = milliseconds < 0 ? 0u : static_cast<uint32_t>(milliseconds);
    return fHandle->Wait(ms) == platform::WaitResult::Signalled;
}

void XSyncObj::Unlock() {}

XSyncMutex::XSyncMutex() {
    fHandle = new platform::Mutex();
}

void XSyncMutex::Unlock() {
    if (fHandle) static_cast<platform::Mutex*>(fHandle)->Release();
}

XSyncEvent::XSyncEvent(bool autoReset) {
    fHandle = new platform::Event(!autoReset);
}

XSyncEvent::~XSyncEvent() {
    fSignalled = false;
}

void XSyncEvent::SetEvent() {
    fSignalled = true;
    if (fHandle) static_cast<platform::Event*>(fHandle)->Set();
}

void XSyncEvent::ResetEvent() {
    fSignalled = false;
    if (fHandle) static_cast<platform::Event*>(fHandle)->Reset();
}

bool XSyncEvent::WaitForEvent(int32_t milliseconds) {
    if (!fHandle) return false;
    const uint32_t ms = milliseconds < 0 ? 0u : static_cast<uint32_t>(milliseconds);
    return fHandle->Wait(ms) == platform::WaitResult::Signalled && fSignalled;
}

XSyncThread::XSyncThread() : fThread(new platform::ThreadHandle) {}

XSyncThread::~XSyncThread() = default;

void XSyncThread::StartThread() {
    if (fId.load() == 0) fThread->Start(&XSyncThread::Entry, this, fId);
}

void XSyncThread::JoinThread() {
    fThread->Join();
}

bool XSyncThread::IsThread() const {
    return fId.load() == GetCurrentThreadId();
}

unsigned XSyncThread::Entry(void* self) {
    return static_cast<XSyncThread*>(self)->InternalProcess() ? 1u : 0u;
}

bool XSyncThread::InternalProcess() {
    bool result = false;
    try {
        result = Process();
    } catch (...) {
        result = false;
    }
    fId = 0;
    return result;
}

} // namespace TESK_AE
