#pragma once

#include <cstdint>

namespace OGL_TESK_AE {
namespace tea {

// The Tiny Encryption Algorithm on one block of two words, 32 rounds, under the library's
// fixed key. Kept out of the exported interface: shipping tools encipher, the library only
// deciphers.
struct Key {
    uint32_t k[4];
};

const Key& LibraryKey();
void EncipherBlock(uint32_t v[2], const Key& key);
void DecipherBlock(uint32_t v[2], const Key& key);

} // namespace tea
} // namespace OGL_TESK_AE
