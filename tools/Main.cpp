// tesk-ae: the library's image operations on image files, for trying them out and for scripts.
#include "tools/Commands.h"
#include "tools/Failure.h"

#include "common/StaticList.h"

#include <malloc.h>

#include <climits>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

// The library's worker runs while the program uses it and is stopped cleanly at the end.
struct LibraryUse {
    LibraryUse() { TESK_AE::StaticList::Increment(); }
    ~LibraryUse() { TESK_AE::StaticList::Decrement(); }
};

// A sequence allocates the same few frame-sized buffers for every frame, on three threads. The
// allocator's defaults hand each one back to the system when it is freed (buffers this large
// are mapped on their own, and each thread's arena is trimmed), so every frame's buffers were
// faulted in afresh, about a twentieth of the run. One arena that keeps what it is given reuses
// them; the program then holds on to its peak use until it ends.
void KeepFreedMemory() {
#ifdef __GLIBC__
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
#endif
}

} // namespace

int main(int argc, char** argv) {
    KeepFreedMemory();
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    // Known before parsing, so that a bad option still points at its command's help.
    std::string command = !arguments.empty() && !arguments[0].empty() && arguments[0][0] != '-'
                              ? arguments[0]
                              : std::string();
    try {
        const cli::Options options = cli::ParseCommandLine(arguments);
        LibraryUse use;
        return cli::RunCommand(options);
    } catch (const cli::UsageError& error) {
        // Only a command the program has can explain itself.
        const std::string help =
            cli::IsCommand(command) ? "tesk-ae " + command + " --help" : "tesk-ae --help";
        std::fprintf(stderr, "tesk-ae: %s (see '%s')\n", cli::OneLine(error.what()).c_str(),
                     help.c_str());
        return cli::kBadUsage;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "tesk-ae: out of memory\n");
        return cli::kFailed;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tesk-ae: %s\n", cli::OneLine(error.what()).c_str());
        return cli::kFailed;
    }
}
