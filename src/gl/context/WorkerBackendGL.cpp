#include "common/WorkerBackend.h"

namespace OGL_TESK_AE {

namespace {

// Until the offscreen context lands, the worker runs tasks without a graphics context.
class ContextlessBackend final : public WorkerBackend {
public:
    bool Start() override { return true; }
    void Stop() override {}
    bool Run(bool (*task)(void*), void* data) override { return task(data); }
    void ReleaseAll() override {}
};

} // namespace

WorkerBackend& DefaultWorkerBackend() {
    static ContextlessBackend backend;
    return backend;
}

} // namespace OGL_TESK_AE
