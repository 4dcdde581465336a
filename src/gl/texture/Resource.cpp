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
