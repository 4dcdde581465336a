#include "gl/texture/Resource.h"

#include "platform/Mutex.h"

#include <new>

namespace OGL_TESK_AE {

namespace {

// Made on first use, as static resources of other files may be constructed before this file's
// statics, and never destroyed, as static resources are destroyed at exit in no set order.
TESK_AE::platform::Mutex& ListMutex() {
    static TESK_AE::platform::Mutex* mutex = new TESK_AE::platform::Mutex();
    return *mutex;
}

} // namespace

Resource* Resource::sHead = nullptr;

Resource::ListLock::ListLock() {
    // The platform's waits all have a time-out; this one must not give up.
    while (ListMutex().Wait(0xFFFFFFFF) != TESK_AE::platform::WaitResult::Signalled) {
    }
}

Resource::ListLock::~ListLock() {
    ListMutex().Release();
}

Resource::Resource() {
    Link();
}

Resource::Resource(const Resource&) {
    Link();
}

Resource& Resource::operator=(const Resource&) {
    return *this;
}

Resource::~Resource() {
    Unlink();
}

void Resource::Link() {
    ListLock lock;
    fPrevious = nullptr;
    fNext = sHead;
    if (sHead) sHead->fPrevious = this;
    sHead = this;
}

void Resource::Unlink() {
    ListLock lock;
    if (fPrevious) fPrevious->fNext = fNext;
    if (fNext) fNext->fPrevious = fPrevious;
    if (sHead == this) sHead = fNext;
    fPrevious = nullptr;
    fNext = nullptr;
}

void Resource::FinalizeAll() {
    ListLock lock;
    // Every resource stays on the list: static programs and caches outlive a context and make
    // new OpenGL objects in the next one, and the next sweep must find them again. Finalize may
    // delete other resources (a cache deletes its idle buffers); deletion unlinks them and fixes
    // the neighbours' links, so the next pointer is read only after the call. A resource made
    // during the sweep goes to the head and is not visited. A failing Finalize ends the sweep.
    try {
        for (Resource* r = sHead; r; r = r->fNext) r->Finalize();
    } catch (...) {
    }
}

void Resource::DumpAll() {}

void* Resource::operator new(std::size_t size) {
    return ::operator new(size);
}
void* Resource::operator new[](std::size_t size) {
    return ::operator new[](size);
}
void* Resource::operator new(std::size_t size, const char*, int) {
    return ::operator new(size);
}
void* Resource::operator new[](std::size_t size, const char*, int) {
    return ::operator new[](size);
}
void Resource::operator delete(void* p) {
    ::operator delete(p);
}
void Resource::operator delete[](void* p) {
    ::operator delete[](p);
}
void Resource::operator delete(void* p, const char*, int) {
    ::operator delete(p);
}
void Resource::operator delete[](void* p, const char*, int) {
    ::operator delete[](p);
}

} // namespace OGL_TESK_AE
