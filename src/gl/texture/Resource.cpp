#include "gl/texture/Resource.h"

#include <new>

namespace OGL_TESK_AE {

Resource* Resource::sHead = nullptr;

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
    fPrevious = nullptr;
    fNext = sHead;
    if (sHead) sHead->fPrevious = this;
    sHead = this;
}

void Resource::Unlink() {
    if (fPrevious) fPrevious->fNext = fNext;
    if (fNext) fNext->fPrevious = fPrevious;
    if (sHead == this) sHead = fNext;
    fPrevious = nullptr;
    fNext = nullptr;
}

void Resource::FinalizeAll() {
    // Each resource leaves the list as the sweep passes it, so that after the sweep no object
    // keeps links into a list that no longer exists. Finalize may delete other resources (a
    // cache deletes its idle buffers); deletion unlinks them, so the next pointer is read only
    // after the call.
    try {
        Resource* r = sHead;
        while (r) {
            r->Finalize();
            Resource* next = r->fNext;
            r->Unlink();
            r = next;
        }
    } catch (...) {
    }
    // After a failure the rest are cut loose unfinalized, and so are resources made during the
    // sweep: the list is empty in every case.
    while (Resource* r = sHead) r->Unlink();
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
