#pragma once

#include "common/Export.h"

namespace TESK_AE {

// Objects finalized together when the last plug-in lets go of the library. Finalizing the head
// finalizes the whole list, newest first: every Finalize ends with FinalizedNext().
class TESK_API StaticList {
public:
    virtual void Finalize() = 0;

    static void Increment();
    static void Decrement();
    static int UseCount();

protected:
    StaticList();
    StaticList(const StaticList&) = delete;
    StaticList& operator=(const StaticList&) = delete;
    virtual ~StaticList();
    void FinalizedNext();

private:
    StaticList* fPrevious = nullptr;
    StaticList* fNext = nullptr;
};

// A static object of the list holding one T; T::Finalize() does the work.
template <class T> class StaticObject : public StaticList {
public:
    StaticObject() = default;
    ~StaticObject() override = default;
    void Finalize() override {
        fObject.Finalize();
        FinalizedNext();
    }
    T& Get() { return fObject; }

private:
    T fObject;
};

} // namespace TESK_AE

namespace OGL_TESK_AE {

// The library's own static object: on the last release it frees every OpenGL object on the
// worker, stops the worker and deletes it.
class TESK_API SharedCleaner {
public:
    void Finalize();
    bool IsFinalized() const { return fFinalized; }

private:
    bool fFinalized = false;
};

} // namespace OGL_TESK_AE
