#pragma once

#include "common/Export.h"

#include <cstdint>

namespace OGL_TESK_AE {

// Where an operation's time goes: process-wide totals of the time spent in a few named phases
// of the texture and render-target paths. A timed phase costs two clock reads and no locking;
// the totals are read only by diagnostics and benchmarks.
//
// Phases nest per thread: time spent in an inner phase is counted there and not again in the
// phase around it (an upload made while a tile is drawn counts as upload, not as drawing).
enum class Phase : int {
    Task,           // the worker running a marshalled call, outside every other phase
    Upload,         // host pixels handed to a texture (glTexSubImage2D and the like)
    LoadConversion, // staging pass that converts or turns over loaded pixels
    EdgeRepeat,     // copying edge texels beyond a loaded region
    Draw,           // an operation drawing one tile of a tiled buffer
    ReadConversion, // redrawing a tile in the host's row order or channel layout
    ReadBack,       // render target to host pixels (glReadPixels)
    StateSave,      // saving and putting back OpenGL state
    Allocation,     // making a texture or render buffer the caches did not have
    ProgramBuild,   // compiling shaders and linking programs
    Count
};

class TESK_API PhaseTimes {
public:
    static const char* Name(Phase phase);
    // Totals since the last Reset, over all threads.
    static int64_t Nanoseconds(Phase phase);
    static int64_t Count(Phase phase);
    static void Reset();
    // Called at the start and at the end of every timed phase when set (null: nothing). With
    // a function that waits for the driver (glFinish), work the driver defers is charged to the
    // phase that issued it rather than to the next one that waits for it.
    static void SetFence(void (*fence)());
};

// Times one phase from Start (or construction) to Stop (or destruction). Timers must stop in
// the reverse order of their starts; one left running when an outer timer stops is dropped.
class TESK_API PhaseTimer {
public:
    PhaseTimer() = default;
    explicit PhaseTimer(Phase phase) { Start(phase); }
    ~PhaseTimer() { Stop(); }
    PhaseTimer(const PhaseTimer&) = delete;
    PhaseTimer& operator=(const PhaseTimer&) = delete;

    void Start(Phase phase);
    void Stop();
    bool IsRunning() const { return fDepth >= 0; }

private:
    int fDepth = -1;
    uint32_t fSerial = 0;
};

} // namespace OGL_TESK_AE
