#pragma once

#include "common/Export.h"

#include <cstddef>

namespace OGL_TESK_AE {

// Everything that owns an OpenGL object or a large memory block. Every live resource sits on one
// list, newest first, so that all OpenGL objects can be released in one sweep on the worker
// before the context goes away.
//
// CPU images are made and dropped on the plug-ins' own threads while the worker makes and
// deletes textures, so the list (and the caches, which make and delete resources) is guarded by
// one lock that any thread may take. The lock is recursive: a sweep holds it while each Finalize
// deletes other resources, which take it again.
class TESK_API Resource {
public:
    // Releases what is held and leaves the object alive and empty, ready to be used again.
    virtual void Finalize() = 0;
    virtual ~Resource();
    virtual void Dump() const = 0;

    // Finalizes every live resource, newest first, and takes each off the list: the list is
    // empty afterwards, the objects stay alive, and one that makes a new OpenGL object or takes
    // a new block puts itself back (Relist). A Finalize that throws ends the sweep, the rest are
    // taken off unfinalized, and the exception goes no further.
    static void FinalizeAll();
    static void DumpAll();

    // The newest live resource and the one made before this one; for walking the list while no
    // other thread makes or drops resources.
    static Resource* LiveHead() { return sHead; }
    Resource* LiveNext() const { return fNext; }

    // Holds the lock of the list and the caches for its lifetime, on any thread; it may be
    // taken again by the thread that holds it.
    class TESK_API ListLock {
    public:
        ListLock();
        ~ListLock();
        ListLock(const ListLock&) = delete;
        ListLock& operator=(const ListLock&) = delete;
    };

    static void* operator new(std::size_t size);
    static void* operator new[](std::size_t size);
    static void* operator new(std::size_t size, const char* file, int line);
    static void* operator new[](std::size_t size, const char* file, int line);
    static void operator delete(void* p);
    static void operator delete[](void* p);
    // Matching the debugging forms: used only when a constructor throws.
    static void operator delete(void* p, const char* file, int line);
    static void operator delete[](void* p, const char* file, int line);

protected:
    Resource();
    // A copy is a resource of its own: it joins the list beside its original instead of taking
    // over the original's links, so destroying either leaves the list intact.
    Resource(const Resource& other);
    Resource& operator=(const Resource& other);

    // Back on the list after a sweep took it off. Called where a resource makes an OpenGL
    // object or takes a block, so that the next sweep finds it: static programs and caches live
    // on across contexts, and an unlisted one would keep its names into the context after next.
    void Relist() const;
    // Why the card would not make a width x height object of this kind (its side limit is the
    // OpenGL query limit), as the text of an Error: in a buffer of the calling thread that the
    // next such failure there overwrites.
    static const char* CannotMake(const char* kind, int width, int height, unsigned limit);

private:
    void Link();
    void Unlink();

    Resource* fPrevious = nullptr;
    Resource* fNext = nullptr;

    static Resource* sHead;
};

} // namespace OGL_TESK_AE
