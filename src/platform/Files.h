#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace TESK_AE {
namespace platform {

// Description files name their companions with Windows separators ("Surface\\x.vrb") while
// paths built on this system use '/'; both are accepted and every '\\' is read as '/'.
std::string NativePath(const char* path);

// Opens a file for binary reading, or returns null. The caller closes it.
std::FILE* OpenForReading(const char* path);

// The whole of a regular file, read once; false (bytes emptied) when it cannot be opened or read.
bool ReadWholeFile(const char* path, std::string& bytes);

// Whether the file exists and can be opened for reading.
bool IsReadable(const char* path);

// The files below root (a folder path ending in a separator) whose extension, the text after
// their last '.', is one of extensions; each folder's own files come before its subfolders,
// both in the order of their names, so that a folder's shaders load before those of its
// sub-groups. Paths are root followed by the relative path with '/' separators.
std::vector<std::string> FindFiles(const std::string& root,
                                   const std::vector<std::string>& extensions);

} // namespace platform
} // namespace TESK_AE
