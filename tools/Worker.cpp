#include "tools/Worker.h"

#include "common/Shared.h"

#include <stdexcept>

namespace cli {

using namespace OGL_TESK_AE;

namespace {

// A task of the program's own: the exported operations only keep a failure as the worker's
// error text, so each call runs inside a task whose result says whether it got through.
class WorkerJob final : public Shared {
public:
    explicit WorkerJob(const std::function<void()>& job) : fJob(job) {}
    void Run() override { fJob(); }

private:
    const std::function<void()>& fJob;
};

} // namespace

bool RunOnWorker(const std::function<void()>& job, std::string& error) {
    WorkerJob task(job);
    if (task.ThreadQueue()) return true;
    const char* text = Shared::ErrorMessage();
    error = text ? text : "";
    return false;
}

const BlendOp& BlendOpAt(int op) {
    static const BlendOp* const ops[] = {
        &BlendOp::Default,     &BlendOp::Composite, &BlendOp::Additive,   &BlendOp::Lighten,
        &BlendOp::Screen,      &BlendOp::Max,       &BlendOp::Min,        &BlendOp::Darken,
        &BlendOp::Subtractive, &BlendOp::Multiply,  &BlendOp::Difference, &BlendOp::Replace};
    if (op < 0 || op >= static_cast<int>(sizeof ops / sizeof ops[0]))
        throw std::out_of_range("no blend op " + std::to_string(op));
    return *ops[op];
}

} // namespace cli
