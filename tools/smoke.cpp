// Loads the built library, hands one call to its worker thread and reports what happened.
#include "common/Shared.h"
#include "common/StaticList.h"

#include <chrono>
#include <cstdio>

namespace {

bool gRan = false;
void Touch(bool* flag) {
    *flag = true;
}

} // namespace

int main() {
    using namespace OGL_TESK_AE;
    TESK_AE::StaticList::Increment();
    const auto start = std::chrono::steady_clock::now();
    Dispatch(&Touch, &gRan);
    const auto end = std::chrono::steady_clock::now();
    const double ms = std::chrono::duration<double, std::milli>(end - start).count();
    std::printf("TESK_Common_AE smoke check: first marshalled call %s in %.2f ms (%s)\n",
                gRan ? "ran on the worker" : "did not run", ms, Shared::ErrorMessage());
    TESK_AE::StaticList::Decrement();
    return gRan ? 0 : 1;
}
