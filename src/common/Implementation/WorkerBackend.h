#pragma once

#include "common/Export.h"

namespace OGL_TESK_AE {

// What the worker thread needs from the graphics side, kept behind one interface so that the
// worker can run (and be tested) without a context, and so that a test can make the context
// fail on purpose.
class TESK_API WorkerBackend {
public:
    virtual ~WorkerBackend();
    // On the worker as it starts: make the context current and prepare what every task needs.
    // False means no context could be had.
    virtual bool Start() = 0;
    // On the worker as it ends: release the context.
    virtual void Stop() = 0;
    // On the worker: run one task with the graphics state saved before and restored after,
    // also when the task throws.
    virtual bool Run(bool (*task)(void*), void* data) = 0;
    // On the worker, before it is asked to end for good: release every object the context owns.
    virtual void ReleaseAll() = 0;
};

// The OpenGL back-end the library uses unless a test installs another one.
WorkerBackend& DefaultWorkerBackend();

} // namespace OGL_TESK_AE
