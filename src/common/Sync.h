#pragma once

#include "common/Export.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace TESK_AE {

// The operating system's objects stay behind the platform layer, which plug-ins never see.
namespace platform {
class KernelObject;
class ThreadHandle;
} // namespace platform

// Thin wrappers over the platform's kernel objects, shaped after the Win32 handles they stand
// for: a mutex, an event, a thread, and a scope lock.
class TESK_API XSyncObj {
public:
    XSyncObj() = default;
    XSyncObj(const XSyncObj&) = delete;
    XSyncObj& operator=(const XSyncObj&) = delete;
    virtual ~XSyncObj();
    // Waiting means 0x7FFFFFFF ms, not forever.
    virtual bool Lock(bool wait);
    virtual bool LockWaitMilliSec(int32_t milliseconds);
    virtual void Unlock();

protected:
    platform::KernelObject* fHandle = nullptr;
};

class TESK_API XSyncMutex : public XSyncObj {
public:
    XSyncMutex();
    void Unlock() override;
};

class TESK_API XSyncEvent : public XSyncObj {
public:
    explicit XSyncEvent(bool autoReset = true);
    ~XSyncEvent() override;
    void SetEvent();
    void ResetEvent();
    // True only for a real signal: the wait succeeded and the signalled flag is set.
    bool WaitForEvent(int32_t milliseconds);
    bool IsSignalled() const { return fSignalled.load(); }

private:
    std::atomic<bool> fSignalled{false};
};

class TESK_API XSyncThread : public XSyncObj {
public:
    XSyncThread();
    ~XSyncThread() override;
    virtual bool Process() = 0;

    void StartThread();
    bool IsThread() const;
    bool IsRunning() const { return fId.load() != 0; }
    uint32_t GetId() const { return fId.load(); }

protected:
    bool InternalProcess();
    // Waits until the thread has ended (never from the thread itself).
    void JoinThread();

private:
    static unsigned Entry(void* self);

    std::atomic<uint32_t> fId{0};
    std::unique_ptr<platform::ThreadHandle> fThread;
};

class TESK_API StLock {
public:
    StLock(XSyncObj& object, int32_t milliseconds)
        : fObject(object), fLocked(object.LockWaitMilliSec(milliseconds)) {}
    StLock(const StLock&) = delete;
    StLock& operator=(const StLock&) = delete;
    ~StLock() {
        if (fLocked) fObject.Unlock();
    }
    bool IsLocked() const { return fLocked; }

private:
    XSyncObj& fObject;
    bool fLocked;
};

TESK_API uint32_t GetCurrentThreadId();

} // namespace TESK_AE

namespace OGL_TESK_AE {
// The same primitives under the rendering namespace, for plug-ins written against it.
using SyncObj = TESK_AE::XSyncObj;
using SyncMutex = TESK_AE::XSyncMutex;
using SyncEvent = TESK_AE::XSyncEvent;
using SyncThread = TESK_AE::XSyncThread;
} // namespace OGL_TESK_AE
