#pragma once

#include <stdexcept>
#include <string>

namespace cli {

// Something the user asked for that the program cannot do as asked: a bad option, a malformed
// size or colour, a missing argument. The program prints it with a hint to --help.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A request that was well formed but failed: an unreadable file, a failed operation.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Messages from libraries may run over several lines; the program reports on one.
std::string OneLine(const std::string& text);

} // namespace cli
