#include "platform/Files.h"

#include <sys/stat.h>

namespace TESK_AE {
namespace platform {

std::string NativePath(const char* path) {
    std::string native = path ? path : "";
    for (char& c : native)
        if (c == '\\') c = '/';
    return native;
}

std::FILE* OpenForReading(const char* path) {
    if (!path || !*path) return nullptr;
    std::FILE* file = std::fopen(NativePath(path).c_str(), "rb");
    // A folder opens too, but has no bytes to read and no meaningful size.
    struct stat info;
    if (file && (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode))) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

bool IsReadable(const char* path) {
    std::FILE* file = OpenForReading(path);
    if (!file) return false;
    std::fclose(file);
    return true;
}

} // namespace platform
} // namespace TESK_AE
