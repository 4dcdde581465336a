#pragma once

#include "common/Export.h"
#include "gl/texture/Resource.h"
#include "gl/texture/ResourceFactory.h"

namespace OGL_TESK_AE {

// A request for a memory block of at least this many bytes.
class TESK_API MemoryKey {
public:
    explicit MemoryKey(int bytes = 0) : fBytes(bytes) {}
    int Bytes() const { return fBytes; }
    // Any block at least as large as the request will do.
    bool IsAcceptable(const MemoryKey& candidate) const { return candidate.fBytes >= fBytes; }

private:
    int fBytes;
};

class MemoryBuffer;
using MemoryFactory = ResourceFactory<MemoryKey, MemoryBuffer, kMemoryBudget>;

// A heap block for the pixels of a CPU image (OpaqueBuffer), taken from and given back to the
// memory cache.
class TESK_API MemoryBuffer : public Resource {
public:
    // Allocates the block; throws std::bad_alloc when the heap cannot.
    explicit MemoryBuffer(const MemoryKey& key);
    MemoryBuffer(const MemoryBuffer&) = delete;
    MemoryBuffer& operator=(const MemoryBuffer&) = delete;
    ~MemoryBuffer() override;

    // Frees the block; the byte count stays, so the cache's accounting is unchanged.
    void Finalize() override;
    void Dump() const override;

    int Size() const { return fBytes; }
    MemoryKey GetKey() const { return MemoryKey(fBytes); }
    void* Data() const { return fData; }

    // Images that share a block (copies of one OpaqueBuffer) count themselves here; the last
    // one to let go gives the block back to the cache. Copies may live on different threads,
    // so the count is changed only under Resource::ListLock.
    void Hold() { ++fHolders; }
    bool Release() { return --fHolders <= 0; }

    // The library's memory cache (budget kMemoryBudget), made at load.
    static MemoryFactory& Factory();
    static MemoryBuffer* Make(const MemoryKey& key);
    static void Recycle(MemoryBuffer* buffer);

private:
    int fBytes;
    char* fData;
    int fHolders = 0;
};

} // namespace OGL_TESK_AE
