#include "tools/Sequence.h"

#include "tools/Failure.h"

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
