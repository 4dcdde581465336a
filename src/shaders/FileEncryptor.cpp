#include "shaders/FileEncryptor.h"

#include "platform/Files.h"
#include "shaders/Implementation/Tea.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace OGL_TESK_AE {

namespace {

constexpr char kHeader[] = "tesk_common_ae enciphered v001\n";
static_assert(sizeof(kHeader) - 1 == CFileEncryptor::kHeaderBytes, "header line is 31 bytes");

uint32_t LoadWord(const unsigned char* b) {
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

void StoreWord(uint32_t w, unsigned char* b) {
    for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(w >> (8 * i));
}

bool StartsWithHeader(const std::string& bytes) {
    return bytes.compare(0, CFileEncryptor::kHeaderBytes, kHeader) == 0;
}

} // namespace

const char* CFileEncryptor::Header() {
    return kHeader;
}

std::string CFileEncryptor::Encipher(const std::string& plain) {
    std::string out(kHeader);
    const tea::Key& key = tea::LibraryKey();
    for (size_t at = 0; at < plain.size(); at += 8) {
        unsigned char block[8] = {};
        std::memcpy(block, plain.data() + at, plain.size() - at < 8 ? plain.size() - at : 8);
        uint32_t v[2] = {LoadWord(block), LoadWord(block + 4)};
        tea::EncipherBlock(v, key);
        StoreWord(v[0], block);
        StoreWord(v[1], block + 4);
        out.append(reinterpret_cast<const char*>(block), 8);
    }
    return out;
}

bool CFileEncryptor::Decipher(const std::string& container, std::string& plain) {
    if (!StartsWithHeader(container)) return false;
    const size_t n = container.size() - kHeaderBytes;
    std::vector<char> out((n + 7) / 8 * 8, '\0');
    DecipherBlocks(reinterpret_cast<const unsigned char*>(container.data()) + kHeaderBytes, n,
                   out.data(), out.size());
    size_t end = out.size();
    while (end > 0 && end + 8 > out.size() && out[end - 1] == '\0') --end;
    plain.assign(out.data(), end);
    return true;
}

bool CFileEncryptor::LooksEnciphered(const char* text, size_t length) {
    if (!text || length < kHeaderBytes) return false;
    for (size_t i = 0; i < kHeaderBytes; ++i)
        if (text[i] == '\0' || !std::strchr(kHeader, text[i])) return false;
    return length == kHeaderBytes || text[kHeaderBytes] == '\0' ||
           !std::strchr(kHeader, text[kHeaderBytes]);
}

void CFileEncryptor::DecipherBlocks(const unsigned char* in, size_t n, char* out, size_t capacity) {
    const tea::Key& key = tea::LibraryKey();
    for (size_t at = 0; at < n; at += 8) {
        unsigned char block[8] = {};
        const size_t got = n - at < 8 ? n - at : 8;
        std::memcpy(block, in + at, got);
        uint32_t v[2] = {LoadWord(block), LoadWord(block + 4)};
        tea::DecipherBlock(v, key);
        StoreWord(v[0], block);
        StoreWord(v[1], block + 4);
        // Zeros of the last block are padding; the buffer already holds them.
        const bool last = at + 8 >= n;
        for (size_t j = 0; j < 8 && at + j < capacity; ++j)
            if (!last || block[j] != 0) out[at + j] = static_cast<char>(block[j]);
    }
}

bool CFileEncryptor::ReadSource(const char* path, std::string& text) {
    std::string bytes;
    if (!TESK_AE::platform::ReadWholeFile(path, bytes)) return false;
    if (!Decipher(bytes, text)) text.swap(bytes);
    return true;
}

bool CFileEncryptor::DecipherFile(const char* path, char* buffer, size_t size) {
    std::string bytes;
    if (!TESK_AE::platform::ReadWholeFile(path, bytes) || !buffer || bytes.size() > size ||
        !StartsWithHeader(bytes))
        return false;
    std::memset(buffer, 0, size);
    DecipherBlocks(reinterpret_cast<const unsigned char*>(bytes.data()) + kHeaderBytes,
                   bytes.size() - kHeaderBytes, buffer, size);
    return true;
}

} // namespace OGL_TESK_AE
