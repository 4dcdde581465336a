#include "shaders/ParseFile.h"

#include "platform/Files.h"
#include "shaders/FileEncryptor.h"

#include <cstdio>
#include <cstring>

namespace OGL_TESK_AE {

ParseFile::ParseFile(const char* path) {
    std::FILE* file = TESK_AE::platform::OpenForReading(path);
    if (!file) return;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    if (size > 0 && std::fseek(file, 0, SEEK_SET) == 0) {
        std::vector<char> raw(static_cast<size_t>(size));
        raw.resize(std::fread(raw.data(), 1, raw.size(), file));
        const size_t header = CFileEncryptor::kHeaderBytes;
        if (raw.size() >= header &&
            std::memcmp(raw.data(), CFileEncryptor::Header(), header) == 0) {
            fBytes.assign(raw.size(), '\0');
            CFileEncryptor::DecipherBlocks(reinterpret_cast<const unsigned char*>(raw.data()) +
                                               header,
                                           raw.size() - header, fBytes.data(), fBytes.size());
        } else {
            fBytes.swap(raw);
        }
    }
    std::fclose(file);
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
