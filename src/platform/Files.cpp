#include "platform/Files.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

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

namespace {

void FindBelow(const std::filesystem::path& folder, const std::string& prefix,
               const std::vector<std::string>& extensions, std::vector<std::string>& found) {
    std::vector<std::string> files, folders;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::error_code ignored;
        if (it->is_directory(ignored)) {
            folders.push_back(name);
            continue;
        }
        const size_t dot = name.rfind('.');
        if (dot != std::string::npos && it->is_regular_file(ignored) &&
            std::find(extensions.begin(), extensions.end(), name.substr(dot + 1)) !=
                extensions.end())
            files.push_back(name);
    }
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    for (const std::string& name : files) found.push_back(prefix + name);
    for (const std::string& name : folders)
        FindBelow(folder / name, prefix + name + "/", extensions, found);
}

} // namespace

std::vector<std::string> FindFiles(const std::string& root,
                                   const std::vector<std::string>& extensions) {
    std::vector<std::string> found;
    if (!root.empty()) FindBelow(NativePath(root.c_str()), root, extensions, found);
    return found;
}

} // namespace platform
} // namespace TESK_AE
