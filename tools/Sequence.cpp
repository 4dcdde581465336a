#include "tools/Sequence.h"

#include "tools/Failure.h"

#include <cstdlib>

#include <unistd.h>

namespace cli {

bool IsPattern(const std::string& name) {
    return name.find('#') != std::string::npos;
}

std::string FrameName(const std::string& name, int frame) {
    const size_t last = name.rfind('#');
    if (last == std::string::npos) return name;
    size_t first = last;
    while (first > 0 && name[first - 1] == '#') --first;
    const size_t width = last - first + 1;
    std::string number = std::to_string(frame);
    if (number.size() < width) number.insert(0, width - number.size(), '0');
    return name.substr(0, first) + number + name.substr(last + 1);
}

std::vector<int> PlanFrames(const std::vector<std::string>& inputs, const std::string& output,
                            const std::optional<FrameRange>& frames) {
    bool inputPattern = false;
    for (const std::string& input : inputs) inputPattern = inputPattern || IsPattern(input);
    const bool outputPattern = IsPattern(output);
    if (inputPattern && !outputPattern)
        throw UsageError("output '" + output +
                         "' needs a #### frame number like its input, or every frame would "
                         "overwrite it");
    if (!inputPattern && !outputPattern) {
        if (frames) throw UsageError("--frames needs file names with #### for the frame number");
        return {-1};
    }
    if (!frames) throw UsageError("'" + output + "' is a frame pattern: give --frames A-B");
    std::vector<int> list;
    for (int frame = frames->first; frame <= frames->last; ++frame) list.push_back(frame);
    return list;
}

std::vector<int> ChunkOf(const std::vector<int>& frames, Chunk chunk) {
    if (frames.size() == 1 && frames[0] < 0)
        throw UsageError("--chunk needs a frame sequence: file names with #### and --frames");
    if (chunk.fromSlurm) {
        const auto number = [](const char* name) {
            const char* text = std::getenv(name);
            char* end = nullptr;
            const long value = text ? std::strtol(text, &end, 10) : -1;
            if (!text || end == text || *end != '\0' || value < 0)
                throw UsageError(std::string("--chunk slurm: not a Slurm array task (") + name +
                                 (text ? " is not a number)" : " is not set)"));
            return value;
        };
        const long id = number("SLURM_ARRAY_TASK_ID"), first = number("SLURM_ARRAY_TASK_MIN"),
                   count = number("SLURM_ARRAY_TASK_COUNT");
        if (count < 1 || id < first || id - first >= count)
            throw UsageError("--chunk slurm: task " + std::to_string(id) +
                             " is outside the array's " + std::to_string(count) + " tasks");
        chunk.index = static_cast<int>(id - first + 1);
        chunk.count = static_cast<int>(count);
    }
    const size_t n = frames.size(), k = static_cast<size_t>(chunk.count);
    const size_t begin = n * static_cast<size_t>(chunk.index - 1) / k;
    const size_t end = n * static_cast<size_t>(chunk.index) / k;
    return std::vector<int>(frames.begin() + static_cast<long>(begin),
                            frames.begin() + static_cast<long>(end));
}

Progress::Progress(std::FILE* stream, std::string command, size_t count)
    : fStream(stream), fOwn(nullptr), fCommand(std::move(command)), fCount(count),
      fTerminal(::isatty(::fileno(stream)) == 1) {
    std::fflush(stream);
    const int own = ::dup(::fileno(stream));
    if (own >= 0 && !(fOwn = ::fdopen(own, "w"))) ::close(own);
    if (fOwn) fStream = fOwn;
}

Progress::~Progress() {
    if (fOpenLine) std::fputc('\n', fStream);
    if (fOwn) std::fclose(fOwn);
}

void Progress::Frame(int frame, size_t index) {
    std::fprintf(fStream, "%stesk-ae %s: frame %d (%zu of %zu)%s", fTerminal ? "\r" : "",
                 fCommand.c_str(), frame, index + 1, fCount, fTerminal ? "" : "\n");
    std::fflush(fStream);
    fOpenLine = fTerminal;
}

void Progress::Print(const std::string& lines) {
    if (lines.empty()) return;
    std::fprintf(fStream, "%s%s", fOpenLine ? "\n" : "", lines.c_str());
    std::fflush(fStream);
    fOpenLine = false;
}

} // namespace cli
