#pragma once

// Lets CPU tests hand work to the worker thread without making an OpenGL context: the scope
// installs a back-end that runs tasks as they are, and takes one use of the library so the
// worker stops when the scope ends.

#include "common/StaticList.h"
#include "common/Thread.h"
#include "common/Implementation/WorkerBackend.h"

namespace tesk_test {

class NoContext {
public:
    NoContext() {
        OGL_TESK_AE::Thread::SetBackend(&fBackend);
        TESK_AE::StaticList::Increment();
    }
    ~NoContext() {
        TESK_AE::StaticList::Decrement();
        OGL_TESK_AE::Thread::SetBackend(nullptr);
    }
    NoContext(const NoContext&) = delete;
    NoContext& operator=(const NoContext&) = delete;

private:
    class PassThrough : public OGL_TESK_AE::WorkerBackend {
    public:
        bool Start() override { return true; }
        void Stop() override {}
        bool Run(bool (*task)(void*), void* data) override { return task(data); }
        void ReleaseAll() override {}
    };
    PassThrough fBackend;
};

} // namespace tesk_test
