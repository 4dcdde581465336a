#pragma once

#include "tools/Arguments.h"

#include <cstdio>
#include <string>

namespace cli {

// Exit statuses.
constexpr int kSuccess = 0;
constexpr int kFailed = 1;
constexpr int kBadUsage = 2;

// Whether name is one of the program's commands.
bool IsCommand(const std::string& name);

// Runs one parsed command line (help included). Throws UsageError and Failure.
int RunCommand(const Options& options);

// The program's overview: every command with one line on what it does.
void PrintOverview(std::FILE* stream);

} // namespace cli
