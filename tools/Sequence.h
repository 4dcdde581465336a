#pragma once

#include "tools/Arguments.h"

#include <cstdio>
#include <string>
#include <vector>

namespace cli {

// Whether a file name holds a run of '#' that stands for the frame number ("shot.####.exr").
bool IsPattern(const std::string& name);

// The name with its last run of '#' replaced by the frame number, zero-padded to the length of
// the run (longer numbers keep all their digits). Names without '#' come back unchanged.
std::string FrameName(const std::string& name, int frame);

// The frames a command runs for: the range when a file name is a pattern, or one pass (frame
// -1, names used as given) for plain files. Throws UsageError when --frames and the names do
// not go together: a pattern without a range, a range without a pattern, or input patterns
// with an output that every frame would overwrite.
std::vector<int> PlanFrames(const std::vector<std::string>& inputs, const std::string& output,
                            const std::optional<FrameRange>& frames);

// The frames of chunk: run chunk.index of chunk.count runs of (nearly) equal length, in order,
// so that the chunks together hold every frame once. A Slurm chunk is the array task's
// (SLURM_ARRAY_TASK_ID counted from SLURM_ARRAY_TASK_MIN, of SLURM_ARRAY_TASK_COUNT). Throws
// UsageError for a plain-file run or a Slurm chunk outside an array job.
std::vector<int> ChunkOf(const std::vector<int>& frames, Chunk chunk);

// The progress line of a sequence on a stream (stderr): rewritten in place on a terminal, one
// line per frame otherwise. It writes through a descriptor of its own, so that stderr turned
// aside while a decoder runs on another thread does not catch it.
class Progress {
public:
    Progress(std::FILE* stream, std::string command, size_t count);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    void Frame(int frame, size_t index);
    // Text of its own (warnings, each line ending in a newline) below the progress line.
    void Print(const std::string& lines);

private:
    std::FILE* fStream;
    std::FILE* fOwn;
    std::string fCommand;
    size_t fCount;
    bool fTerminal;
    bool fOpenLine = false;
};

} // namespace cli
