#include "platform/Module.h"

#include "platform/Files.h"

#include <dlfcn.h>

#include <string>

namespace TESK_AE {
namespace platform {

uint64_t OpenModule(const char* path) {
    if (!path || !*path) return 0;
    std::string native = NativePath(path);
    // dlopen searches the library path for a bare name; a module is always meant as a file.
    if (native.find('/') == std::string::npos) native = "./" + native;
    return reinterpret_cast<uint64_t>(dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL));
}

void* FindSymbol(uint64_t module, const char* name) {
    if (module == 0 || !name) return nullptr;
    return dlsym(reinterpret_cast<void*>(module), name);
}

} // namespace platform
} // namespace TESK_AE
