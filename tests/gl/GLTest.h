#pragma once

// What every GL test file needs: run code on the library's worker thread, where the offscreen
// context is current, and see its failures in the test that asked.

#include "common/Shared.h"

#include <gtest/gtest.h>

#include <exception>
#include <functional>
#include <string>

namespace tesk_test {

namespace detail {

struct WorkerCall {
    const std::function<void()>* body = nullptr;
    bool ran = false;
    std::string failure;
};

inline void RunCall(WorkerCall* call) {
    call->ran = true;
    try {
        (*call->body)();
    } catch (const std::exception& e) {
        call->failure = std::string("exception on the worker: ") + e.what();
    } catch (...) {
        call->failure = "non-standard exception on the worker";
    }
}

} // namespace detail

// Runs body on the worker thread and returns whether it ran to its end without an exception.
// gtest assertions inside body count for the calling test (a failed ASSERT_* leaves body only);
// an exception, or a worker that could not run it (no context), is reported as a failure of
// the calling test. Called on the worker itself, it runs body in place.
inline bool RunOnWorker(const std::function<void()>& body) {
    detail::WorkerCall call;
    call.body = &body;
    if (!OGL_TESK_AE::Dispatch(&detail::RunCall, &call)) detail::RunCall(&call);
    if (!call.ran) {
        ADD_FAILURE() << "the worker did not run the task: " << OGL_TESK_AE::Shared::ErrorMessage();
        return false;
    }
    if (!call.failure.empty()) {
        ADD_FAILURE() << call.failure;
        return false;
    }
    return true;
}

} // namespace tesk_test
