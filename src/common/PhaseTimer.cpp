#include "common/PhaseTimer.h"

#include <atomic>
#include <chrono>

namespace OGL_TESK_AE {

namespace {

constexpr int kPhases = static_cast<int>(Phase::Count);
constexpr int kMaxDepth = 16;

std::atomic<int64_t> sNanoseconds[kPhases];
std::atomic<int64_t> sCounts[kPhases];
std::atomic<void (*)()> sFence{nullptr};

// One running timer. The serial tells a timer whether its frame is still its own after an
// outer timer dropped it and the slot was reused.
struct Frame {
    Phase phase;
    uint32_t serial;
    int64_t start;
    int64_t inner; // time of the phases nested in this one
};

thread_local Frame tFrames[kMaxDepth];
thread_local int tDepth = 0;
thread_local uint32_t tSerial = 0;

int64_t Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Fence() {
    if (void (*fence)() = sFence.load(std::memory_order_relaxed)) fence();
}

} // namespace

const char* PhaseTimes::Name(Phase phase) {
    switch (phase) {
    case Phase::Task:
        return "worker task (other)";
    case Phase::Upload:
        return "upload";
    case Phase::LoadConversion:
        return "load conversion pass";
    case Phase::EdgeRepeat:
        return "edge repeat";
    case Phase::Draw:
        return "draw";
    case Phase::ReadConversion:
        return "read conversion pass";
    case Phase::ReadBack:
        return "read-back";
    case Phase::StateSave:
        return "state save/restore";
    case Phase::Allocation:
        return "texture/render buffer allocation";
    case Phase::ProgramBuild:
        return "shader compile/link";
    default:
        return "?";
    }
}

int64_t PhaseTimes::Nanoseconds(Phase phase) {
    const int i = static_cast<int>(phase);
    return i >= 0 && i < kPhases ? sNanoseconds[i].load(std::memory_order_relaxed) : 0;
}

int64_t PhaseTimes::Count(Phase phase) {
    const int i = static_cast<int>(phase);
    return i >= 0 && i < kPhases ? sCounts[i].load(std::memory_order_relaxed) : 0;
}

void PhaseTimes::Reset() {
    for (int i = 0; i < kPhases; ++i) {
        sNanoseconds[i].store(0, std::memory_order_relaxed);
        sCounts[i].store(0, std::memory_order_relaxed);
    }
}

void PhaseTimes::SetFence(void (*fence)()) {
    sFence.store(fence, std::memory_order_relaxed);
}

void PhaseTimer::Start(Phase phase) {
    Stop();
    if (tDepth >= kMaxDepth) return;
    Fence();
    Frame& frame = tFrames[tDepth];
    frame.phase = phase;
    frame.serial = ++tSerial;
    frame.inner = 0;
    frame.start = Now();
    fDepth = tDepth++;
    fSerial = frame.serial;
}

void PhaseTimer::Stop() {
    if (fDepth < 0) return;
    const int depth = fDepth;
    fDepth = -1;
    if (depth >= tDepth || tFrames[depth].serial != fSerial) return; // dropped by an outer stop
    Fence();
    const Frame& frame = tFrames[depth];
    const int64_t elapsed = Now() - frame.start;
    const int i = static_cast<int>(frame.phase);
    sNanoseconds[i].fetch_add(elapsed - frame.inner, std::memory_order_relaxed);
    sCounts[i].fetch_add(1, std::memory_order_relaxed);
    tDepth = depth; // drops any inner timer still running
    if (depth > 0) tFrames[depth - 1].inner += elapsed;
}

} // namespace OGL_TESK_AE
