#pragma once

#include <cstdio>
#include <string>

namespace TESK_AE {
namespace platform {

// Description files name their companions with Windows separators ("Surface\\x.vrb") while
// paths built on this system use '/'; both are accepted and every '\\' is read as '/'.
std::string NativePath(const char* path);

// Opens a file for binary reading, or returns null. The caller closes it.
std::FILE* OpenForReading(const char* path);

// Whether the file exists and can be opened for reading.
bool IsReadable(const char* path);

} // namespace platform
} // namespace TESK_AE
