// The per-call overhead a plug-in pays: one empty operation handed from a host thread to the
// worker and back.
#include "common/Shared.h"
#include "common/StaticList.h"
#include "common/Implementation/WorkerBackend.h"

#include <benchmark/benchmark.h>

namespace {

void Empty(int*) {}

void EmptyOperation(int* value) {
    if (OGL_TESK_AE::Dispatch(&EmptyOperation, value)) return;
    Empty(value);
}

void BM_EmptyMarshalledCall(benchmark::State& state) {
    TESK_AE::StaticList::Increment();
    int value = 0;
    EmptyOperation(&value); // start the worker and its context outside the timing
    for (auto _ : state) {
        EmptyOperation(&value);
        benchmark::DoNotOptimize(value);
    }
    TESK_AE::StaticList::Decrement();
}
BENCHMARK(BM_EmptyMarshalledCall)->Repetitions(5)->ReportAggregatesOnly(true);

// The hand-over alone: the same call with a back-end that neither makes a context nor saves
// OpenGL state around the task.
class PassThrough : public OGL_TESK_AE::WorkerBackend {
public:
    bool Start() override { return true; }
    void Stop() override {}
    bool Run(bool (*task)(void*), void* data) override { return task(data); }
    void ReleaseAll() override {}
};

void BM_EmptyHandOverWithoutContext(benchmark::State& state) {
    static PassThrough backend;
    OGL_TESK_AE::Thread::SetBackend(&backend);
    BM_EmptyMarshalledCall(state);
    OGL_TESK_AE::Thread::SetBackend(nullptr);
}
BENCHMARK(BM_EmptyHandOverWithoutContext)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
