#include "platform/DriverInfo.h"

#include <fstream>
#include <sstream>

namespace TESK_AE {
namespace platform {

namespace {

// glvnd itself (libEGL.so.1, libGLX.so.0, libOpenGL.so.0) carries glvnd's version, not the
// driver's: only the vendor back-ends it loads count.
const char* const kVendorPrefixes[] = {"libnvidia-glcore.so.", "libnvidia-eglcore.so.", "libGLX_",
                                       "libEGL_", "libnvidia-glsi.so."};

} // namespace

std::string DriverVersionFromFileName(const std::string& fileName) {
    bool vendor = false;
    for (const char* prefix : kVendorPrefixes) vendor = vendor || fileName.rfind(prefix, 0) == 0;
    if (!vendor) return std::string();
    const size_t so = fileName.find(".so.");
    if (so == std::string::npos) return std::string();
    const std::string version = fileName.substr(so + 4);
    // Sonames such as "0" or "0.0.0" are interface numbers, not driver versions.
    bool allZero = true;
    for (char c : version) {
        if (c != '0' && c != '.') allZero = false;
        if (!(c == '.' || (c >= '0' && c <= '9'))) return std::string();
    }
    if (version.empty() || allZero || version.find('.') == std::string::npos) return std::string();
    return version;
}

std::string LoadedDriverVersion() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        const size_t slash = line.rfind('/');
        if (slash == std::string::npos) continue;
        const std::string version = DriverVersionFromFileName(line.substr(slash + 1));
        if (!version.empty()) return version;
    }
    return std::string();
}

} // namespace platform
} // namespace TESK_AE
