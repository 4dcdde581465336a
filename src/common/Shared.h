#pragma once

#include "common/Export.h"
#include "common/Thread.h"

#include <cstddef>
#include <tuple>
#include <utility>

namespace OGL_TESK_AE {

// A task that can be handed to the worker thread.
class TESK_API Shared {
public:
    virtual void Run() = 0;
    virtual ~Shared();

    static bool IsThread();
    static const char* ErrorMessage();
    // Runs this task on the worker (creating the worker if needed); the task's result.
    bool ThreadQueue();

protected:
    static bool ThreadTask(void* task);
};

// A call of `function` with arguments read through pointers; the pointed-to values live in the
// caller's frame until the worker has finished with them.
template <class F, class... A> class ThreaderN : public Shared {
public:
    ThreaderN(F function, A*... arguments) : fFunction(function), fArguments(arguments...) {}
    void Run() override { Invoke(std::index_sequence_for<A...>()); }

private:
    template <size_t... I> void Invoke(std::index_sequence<I...>) {
        fFunction(*std::get<I>(fArguments)...);
    }

    F fFunction;
    std::tuple<A*...> fArguments;
};

template <class F, class A1, class A2> using Threader2 = ThreaderN<F, A1, A2>;
template <class F, class A1, class A2, class A3> using Threader3 = ThreaderN<F, A1, A2, A3>;
template <class F, class A1, class A2, class A3, class A4>
using Threader4 = ThreaderN<F, A1, A2, A3, A4>;
template <class F, class A1, class A2, class A3, class A4, class A5>
using Threader5 = ThreaderN<F, A1, A2, A3, A4, A5>;
template <class F, class A1, class A2, class A3, class A4, class A5, class A6>
using Threader6 = ThreaderN<F, A1, A2, A3, A4, A5, A6>;
template <class F, class A1, class A2, class A3, class A4, class A5, class A6, class A7>
using Threader7 = ThreaderN<F, A1, A2, A3, A4, A5, A6, A7>;

// Makes sure a worker exists; creation is guarded so two first callers build only one.
TESK_API Thread* EnsureWorker();
// sThread, read safely from any thread.
TESK_API Thread* CurrentWorker();

// The dispatcher every marshalled operation calls first:
//     if (Dispatch(&Premultiply, source, destination)) return;
// It returns false on the worker (the operation goes on and does its work) and otherwise runs
// the operation on the worker and returns true once it has finished. The arguments are copied
// into this frame (class arguments by value, pointers as they are), so they outlive the task.
template <class... P, class... A> bool Dispatch(void (*function)(P...), A... arguments) {
    static_assert(sizeof...(P) == sizeof...(A), "one argument per parameter");
    if (Shared::IsThread()) return false;
    ThreaderN<void (*)(P...), A...> task(function, &arguments...);
    task.ThreadQueue();
    return true;
}

} // namespace OGL_TESK_AE
