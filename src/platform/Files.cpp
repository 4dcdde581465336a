#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    // Opened without waiting: opening a FIFO waits for a writer, which may never come. A folder
    // opens too, but has no bytes to read and no meaningful size. Only a regular file is kept,
    // and read as usual.
    const int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info;
    std::FILE* file = nullptr;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0)
        file = fdopen(fd, "rb");
    if (!file) ::close(fd);
    return file;
}

bool ReadWholeFile(const char* path, std::string& bytes) {
    bytes.clear();
    std::FILE* file = OpenForReading(path);
    if (!file) return false;
    char chunk[1 << 16];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, count);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) bytes.clear();
    return !failed;
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
