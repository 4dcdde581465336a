#pragma once

#include "tools/HostImage.h"

#include <string>

namespace cli {

// Runs every image operation on built-in pictures in the given layout, writes inputs, results
// and contact-sheet.png into folder, and prints the hardware report and each operation's time.
// Returns the exit status: failed operations are reported, the rest still run.
int RunDemo(const std::string& folder, Layout layout, Rows order);

} // namespace cli
