#include "shaders/Implementation/Tea.h"

namespace OGL_TESK_AE {
namespace tea {

namespace {

constexpr uint32_t kDelta = 0x9E3779B9u;
constexpr int kRounds = 32;

// The key never appears whole in the binary: each word is two of these mixed at run time.
constexpr uint32_t kSeeds[4] = {0x54455348u, 0x41444552u, 0x4F474C21u, 0x7A1D52C3u};

uint32_t Rotate(uint32_t x, int by) {
    return (x << by) | (x >> (32 - by));
}

} // namespace

const Key& LibraryKey() {
    static const Key key = [] {
        Key made{};
        for (int i = 0; i < 4; ++i) made.k[i] = Rotate(kSeeds[i], 7 + 5 * i) ^ kSeeds[(i + 1) % 4];
        return made;
    }();
    return key;
}

void EncipherBlock(uint32_t v[2], const Key& key) {
    uint32_t y = v[0], z = v[1], sum = 0;
    const uint32_t* k = key.k;
    for (int i = 0; i < kRounds; ++i) {
        sum += kDelta;
        y += ((z << 4) + k[0]) ^ (z + sum) ^ ((z >> 5) + k[1]);
        z += ((y << 4) + k[2]) ^ (y + sum) ^ ((y >> 5) + k[3]);
    }
    v[0] = y;
    v[1] = z;
}

void DecipherBlock(uint32_t v[2], const Key& key) {
    uint32_t y = v[0], z = v[1], sum = 0xC6EF3720u;
    const uint32_t* k = key.k;
    for (int i = 0; i < kRounds; ++i) {
        z -= ((y << 4) + k[2]) ^ (y + sum) ^ ((y >> 5) + k[3]);
        y -= ((z << 4) + k[0]) ^ (z + sum) ^ ((z >> 5) + k[1]);
        sum -= kDelta;
    }
    v[0] = y;
    v[1] = z;
}

} // namespace tea
} // namespace OGL_TESK_AE
