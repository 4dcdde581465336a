#pragma once

#include <cstdint>

namespace TESK_AE {
namespace platform {

// Dynamic libraries the library drives by name (CPU shader modules, a sibling host). Handles
// are opaque 64-bit values, 0 for none; a module once opened stays loaded for the process.
uint64_t OpenModule(const char* path);
// The address of an exported symbol, or null when the module lacks it.
void* FindSymbol(uint64_t module, const char* name);

} // namespace platform
} // namespace TESK_AE
