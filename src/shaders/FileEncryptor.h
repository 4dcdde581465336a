#pragma once

#include "common/Export.h"

#include <cstddef>
#include <string>

namespace OGL_TESK_AE {

// The container description files may be shipped in: a fixed header line of 30 characters and a
// line feed, then the text enciphered in blocks of 8 bytes (TEA, zero-padded). The library
// reads such files wherever it reads plain ones; enciphering is for the shipping tools.
class TESK_API CFileEncryptor {
public:
    static constexpr size_t kHeaderBytes = 31;

    // The header line, line feed included, NUL-terminated.
    static const char* Header();

    // Header line followed by the enciphered text.
    static std::string Encipher(const std::string& plain);
    // The text of a whole container; false (plain untouched) when it lacks the header line.
    // Zero bytes that padded the last block are dropped.
    static bool Decipher(const std::string& container, std::string& plain);

    // How text handed over in memory is recognised: its first 31 characters all occur in the
    // header line and the one after them (if any) does not.
    static bool LooksEnciphered(const char* text, size_t length);

    // Deciphers the blocks of in (n bytes, the last block zero-padded) into out, which the
    // caller has zeroed; nothing is written at or past capacity.
    static void DecipherBlocks(const unsigned char* in, size_t n, char* out, size_t capacity);

    // The text of the file at path, read once and deciphered when it begins with the header
    // line; false when it cannot be read. Every shader source the library loads comes through
    // here, so a shipped container works wherever a plain file does.
    static bool ReadSource(const char* path, std::string& text);

    // Deciphers the container at path into buffer (size bytes, at least the file's size);
    // the rest of the buffer is zero. False when the file cannot be opened, does not fit or
    // does not begin with the header line.
    static bool DecipherFile(const char* path, char* buffer, size_t size);
};

} // namespace OGL_TESK_AE
