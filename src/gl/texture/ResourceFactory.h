#pragma once

#include "gl/texture/Resource.h"

#include <list>

namespace OGL_TESK_AE {

// Byte budgets for the idle buffers of the library's three caches.
constexpr int kMemoryBudget = 134217728;  // memory blocks of CPU images (MemoryBuffer.h)
constexpr int kRenderBudget = 16777216;   // framebuffer render buffers (RenderKey.h)
constexpr int kTextureBudget = 268435456; // textures (TextureKey.h)

// A cache of buffers that are expensive to create. Buffers handed back with Recycle stay idle
// for reuse until the idle bytes pass Budget; the ones released longest ago go first. The budget
// never limits what is in use.
//
// What it asks of its parameters:
//     Buffer(const Key&)                  creates the buffer (may throw; nothing changes then)
//     int Buffer::Size() const            its size in bytes, fixed for its lifetime
//     Key Buffer::GetKey() const          the key it was created with (or a reference)
//     bool Key::IsAcceptable(const Key& candidate) const
//                                         whether an idle buffer with that key may serve
//                                         this request
//
// Every operation holds the resource list's lock: blocks for CPU images are taken and given
// back on the plug-ins' threads, and the cache makes and deletes resources, which are listed.
template <class Key, class Buffer, int Budget> class ResourceFactory : public Resource {
public:
    ResourceFactory() = default;
    ResourceFactory(const ResourceFactory&) = delete;
    ResourceFactory& operator=(const ResourceFactory&) = delete;
    ~ResourceFactory() override { FinalizePool(); }

    // An idle buffer the key accepts (most recently released first), else a new one.
    Buffer* Make(const Key& key) {
        ListLock lock;
        if (Buffer* buffer = Search(key)) return buffer;
        Buffer* buffer = new Buffer(key);
        const int size = buffer->Size();
        fTotalBytes += size;
        if (fTotalBytes > fPeakBytes) fPeakBytes = fTotalBytes;
        fInUseBytes += size;
        return buffer;
    }

    // Takes an idle buffer the key accepts off the list; null when there is none.
    Buffer* Search(const Key& key) {
        ListLock lock;
        Open();
        for (auto it = fIdle->begin(); it != fIdle->end(); ++it) {
            Buffer* buffer = *it;
            if (!key.IsAcceptable(buffer->GetKey())) continue;
            const int size = buffer->Size();
            fIdleBytes -= size;
            fIdle->erase(it);
            fInUseBytes += size;
            return buffer;
        }
        return nullptr;
    }

    // Hands a buffer from Make back: kept idle while the cache is open, deleted once it is
    // finalized.
    void Recycle(Buffer* buffer) {
        if (!buffer) return;
        ListLock lock;
        const int size = buffer->Size();
        if (fFinalized) {
            fInUseBytes -= size;
            fTotalBytes -= size;
            delete buffer;
            return;
        }
        Open();
        fIdle->push_front(buffer);
        fInUseBytes -= size;
        fIdleBytes += size;
        while (fIdleBytes > Budget && !fIdle->empty()) {
            Buffer* oldest = fIdle->back();
            const int oldestSize = oldest->Size();
            fIdleBytes -= oldestSize;
            fTotalBytes -= oldestSize;
            fIdle->pop_back();
            delete oldest;
        }
    }

    // Deletes the idle buffers and closes the cache: until the next Make, recycled buffers are
    // deleted instead of kept.
    void Finalize() override {
        ListLock lock;
        FinalizePool();
        fFinalized = true;
    }
    void Dump() const override {}

    // Deletes the idle buffers, oldest first, and leaves the cache open or closed as it was.
    void FinalizePool() {
        ListLock lock;
        if (!fIdle) return;
        while (!fIdle->empty()) {
            Buffer* oldest = fIdle->back();
            fTotalBytes -= oldest->Size();
            fIdle->pop_back();
            delete oldest;
        }
        fIdleBytes = 0;
        delete fIdle;
        fIdle = nullptr;
    }

    int InUseBytes() const { return Read(fInUseBytes); }
    int PeakBytes() const { return Read(fPeakBytes); }
    int TotalBytes() const { return Read(fTotalBytes); }
    int IdleBytes() const { return Read(fIdleBytes); }
    int IdleCount() const {
        ListLock lock;
        return fIdle ? static_cast<int>(fIdle->size()) : 0;
    }
    bool IsFinalized() const { return Read(fFinalized); }
    static constexpr int BudgetBytes() { return Budget; }

private:
    // A sweep takes the cache off the list; reopened, it will keep buffers again, which the next
    // sweep must delete.
    void Open() {
        if (!fIdle) fIdle = new std::list<Buffer*>();
        fFinalized = false;
        Relist();
    }

    template <class T> static T Read(const T& field) {
        ListLock lock;
        return field;
    }

    std::list<Buffer*>* fIdle = nullptr;
    int fInUseBytes = 0;
    int fPeakBytes = 0;
    int fTotalBytes = 0;
    int fIdleBytes = 0;
    bool fFinalized = false;
};

} // namespace OGL_TESK_AE
