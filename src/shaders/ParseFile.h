#pragma once

#include "common/Export.h"

#include <cstddef>
#include <vector>

namespace OGL_TESK_AE {

// A description or program text read whole, as a run of lines. CR and LF both end a line and
// empty lines are never returned. An enciphered container (CFileEncryptor) is deciphered on the
// way in; anything else is read as it is.
class TESK_API ParseFile {
public:
    // The whole file; one that cannot be opened reads as empty.
    explicit ParseFile(const char* path);
    // length bytes of text from memory.
    ParseFile(const char* text, size_t length);
    ~ParseFile();
    ParseFile(const ParseFile&) = delete;
    ParseFile& operator=(const ParseFile&) = delete;

    // Copies the next non-empty line into line and returns its length, 0 at the end. A line
    // longer than capacity - 1 characters is cut there (the copy is always terminated) and its
    // remainder skipped, so a long line never turns into several.
    int GetNextLine(char* line, int capacity);

    size_t Size() const { return fBytes.size(); }

private:
    void EndLines();

    std::vector<char> fBytes;
    size_t fPosition = 0;
};

} // namespace OGL_TESK_AE
