#include "common/Implementation/WorkerBackend.h"

#include "common/PhaseTimer.h"

#include "gl/context/RootContext.h"
#include "gl/context/State.h"
#include "gl/texture/Resource.h"

namespace OGL_TESK_AE {

// The worker's OpenGL side: the root context lives exactly as long as the worker thread.
class OpenGLWorkerBackend final : public WorkerBackend {
public:
    // Makes the context (loading the entry points the first time) and makes it current.
    bool Start() override { return RootContext::Select(); }

    void Stop() override { RootContext::Finalize(); }

    // Tasks share one context, so each leaves it as it found it, also when it fails; the
    // State's destructor then pops the attribute stacks it pushed.
    bool Run(bool (*task)(void*), void* data) override {
        PhaseTimer timer(Phase::Task);
        State saved;
        saved.Retrieve();
        bool result = false;
        try {
            result = task(data);
        } catch (...) {
            saved.Restore();
            throw;
        }
        saved.Restore();
        return result;
    }

    // Deletes every OpenGL object while the context is still current.
    void ReleaseAll() override { Resource::FinalizeAll(); }
};

WorkerBackend& DefaultWorkerBackend() {
    static OpenGLWorkerBackend backend;
    return backend;
}

} // namespace OGL_TESK_AE
