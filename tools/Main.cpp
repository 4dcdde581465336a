// tesk-ae: the library's image operations on image files, for trying them out and for scripts.
#include "tools/Commands.h"
#include "tools/Failure.h"

#include "common/StaticList.h"

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

} // namespace

int main(int argc, char** argv) {
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
