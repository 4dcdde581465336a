// The per-call overhead a plug-in pays: one empty operation handed from a host thread to the
// worker and back.
#include "common/Shared.h"
#include "common/StaticList.h"

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

} // namespace

BENCHMARK_MAIN();
