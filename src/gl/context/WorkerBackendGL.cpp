#include "common/WorkerBackend.h"

#include "gl/context/RootContext.h"
#include "gl/texture/Resource.h"

namespace OGL_TESK_AE {

// The worker's OpenGL side: the root context lives exactly as long as the worker thread.
class OpenGLWorkerBackend final : public WorkerBackend {
public:
    // Makes the context (loading the entry points the first time) and makes it current.
    bool Start() override { return RootContext::Select(); }

    void Stop() override { RootContext::Finalize(); }

    bool Run(bool (*task)(void*), void* data) override {
        // TODO(state): save the OpenGL state before the task and restore it after, also when
        // the task throws.
        return task(data);
    }

    // Deletes every OpenGL object while the context is still current.
    void ReleaseAll() override { Resource::FinalizeAll(); }
};

WorkerBackend& DefaultWorkerBackend() {
    static OpenGLWorkerBackend backend;
    return backend;
}

} // namespace OGL_TESK_AE
