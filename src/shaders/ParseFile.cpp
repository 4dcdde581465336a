#include "shaders/ParseFile.h"

#include "shaders/FileEncryptor.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace OGL_TESK_AE {

ParseFile::ParseFile(const char* path) {
    std::string text;
    if (CFileEncryptor::ReadSource(path, text)) fBytes.assign(text.begin(), text.end());
    EndLines();
}

ParseFile::ParseFile(const char* text, size_t length) {
    if (!text) return;
    fBytes.assign(length, '\0');
    const size_t header = CFileEncryptor::kHeaderBytes;
    if (CFileEncryptor::LooksEnciphered(text, length))
        CFileEncryptor::DecipherBlocks(reinterpret_cast<const unsigned char*>(text) + header,
                                       length - header, fBytes.data(), fBytes.size());
    else if (length > 0)
        std::memcpy(fBytes.data(), text, length);
    EndLines();
}

ParseFile::~ParseFile() = default;

void ParseFile::EndLines() {
    for (char& c : fBytes)
        if (c == '\n' || c == '\r') c = '\0';
}

int ParseFile::GetNextLine(char* line, int capacity) {
    while (fPosition < fBytes.size() && fBytes[fPosition] == '\0') ++fPosition;
    if (fPosition >= fBytes.size() || !line || capacity < 1) return 0;
    size_t end = fPosition;
    while (end < fBytes.size() && fBytes[end] != '\0') ++end;
    size_t n = end - fPosition;
    if (n > static_cast<size_t>(capacity - 1)) n = static_cast<size_t>(capacity - 1);
    std::memcpy(line, fBytes.data() + fPosition, n);
    line[n] = '\0';
    fPosition = end;
    return static_cast<int>(n);
}

} // namespace OGL_TESK_AE
