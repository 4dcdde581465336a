#include "gl/texture/Resource.h"

#include "platform/Mutex.h"

#include <GL/gl.h>

#include <cstdio>
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

void Resource::Relist() const {
    ListLock lock;
    // Unlinking clears both links, so only the head is listed without a previous resource.
    if (fPrevious || sHead == this) return;
    const_cast<Resource*>(this)->Link();
}

void Resource::FinalizeAll() {
    ListLock lock;
    // Finalize may delete other resources (a cache deletes its idle buffers): deleting one still
    // ahead fixes the links of its neighbours, and deleting one already taken off touches nothing
    // since its links are cleared, so the next pointer is read only after the call. A resource
    // made or relisted during the sweep goes in front of the one being finalized and stays.
    Resource* r = sHead;
    try {
        while (r) {
            r->Finalize();
            Resource* next = r->fNext;
            r->Unlink();
            r = next;
        }
    } catch (...) {
        while (r) {
            Resource* next = r->fNext;
            r->Unlink();
            r = next;
        }
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

const char* Resource::CannotMake(const char* kind, int width, int height, unsigned limit) {
    thread_local char text[200];
    GLint largest = 0;
    glGetIntegerv(static_cast<GLenum>(limit), &largest);
    std::snprintf(text, sizeof text,
                  "The graphics card could not make a %d x %d %s (its largest is %d x %d, and "
                  "memory may have run out).",
                  width, height, kind, int(largest), int(largest));
    return text;
}

} // namespace OGL_TESK_AE
