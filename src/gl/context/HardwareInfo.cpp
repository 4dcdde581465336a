#include "gl/context/HardwareInfo.h"

#include "common/Shared.h"
#include "gl/context/Capabilities.h"
#include "platform/DriverInfo.h"
#include "platform/Registry.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace OGL_TESK_AE {

namespace hardware {

const char* const kDisplayClassKey = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class"
                                     "\\{4D36E968-E325-11CE-BFC1-08002BE10318}\\0000";

const char* const kOpenGLEffects =
    "Copy, Clear, Invert, Premultiply, Center, Copy Alpha, Resize, Fit Into, Render Mask, "
    "Render Inverse Mask, Blend Modes, Composite, Blur, Box Blur, Pascal Blur, Resample, "
    "Transform";

int32_t SeriesOf(const std::string& renderer) {
    for (size_t i = 0; i < renderer.size(); ++i)
        if (const int n = std::atoi(renderer.c_str() + i)) return n;
    return 0;
}

bool IsQuadroName(const std::string& renderer) {
    return renderer.find("Quadro") != std::string::npos;
}

bool IsBasicQuadroName(const std::string& renderer) {
    if (!IsQuadroName(renderer)) return false;
    for (const char* model : {"1500", "3500", "4500", "5500"})
        if (renderer.find(model) != std::string::npos) return true;
    return false;
}

bool IsATIName(const std::string& renderer) {
    return renderer.find("ATI") != std::string::npos;
}

std::string DriverFromVersionText(const std::string& glVersion) {
    const size_t mesa = glVersion.find("Mesa ");
    if (mesa == std::string::npos) return std::string();
    const size_t start = mesa + 5;
    const size_t end = glVersion.find_first_of(" (", start);
    return glVersion.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string BuildReport(const std::string& card, const std::string& version,
                        const std::string& driver, bool textureRectangle, uint32_t memoryBytes,
                        int maxTextureSize) {
    std::string report;
    report += "Graphics Card:     " + card + "\n";
    report += "OpenGL Version:    " + version + "\n";
    report += "Driver Version:    " + driver + "\n";
    report += std::string("Texture Rectangle: ") + (textureRectangle ? "true" : "false") + "\n";
    report += "Texture Memory:    " + std::to_string(memoryBytes >> 20) + " MB\n";
    report += "Texture Dimension: " + std::to_string(maxTextureSize) + " x " +
              std::to_string(maxTextureSize) + "\n";
    const bool unsupported =
        card.find("geforce2") != std::string::npos || (memoryBytes & ~0xFFFFFu) < 0x2000000u;
    if (unsupported)
        report += std::string("\nA component of your system has been detected which is not "
                              "officially supported by Tarnwell for OpenGL renders. This means "
                              "that you cannot use the OpenGL filters (") +
                  kOpenGLEffects + ").\n";
    return report;
}

} // namespace hardware

namespace {

constexpr int kTextBytes = 1024;

struct TextCache {
    char text[kTextBytes] = "Unknown";
    bool first = true;
};

TextCache sVendor, sRenderer, sVersion;
std::string sDriver = "Unknown";
bool sDriverFirst = true;
int32_t sSeries = 0;
bool sSeriesFirst = true;
uint32_t sMemory = 134217728u;
bool sMemoryFirst = true;
std::string sReport;
bool sReportFirst = true;

void QueryString(unsigned name, char* buffer, int size) {
    if (Dispatch(&QueryString, name, buffer, size)) return;
    if (const GLubyte* text = glGetString(name)) {
        std::snprintf(buffer, static_cast<size_t>(size), "%s", reinterpret_cast<const char*>(text));
    }
}

const std::string Cached(TextCache& cache, unsigned name) {
    if (cache.first) {
        cache.first = false;
        QueryString(name, cache.text, kTextBytes);
    }
    return cache.text;
}

// NVIDIA's drivers tell the dedicated memory in KiB, as their Windows driver writes it to the
// registry; other drivers have no such query.
void QueryDedicatedMemory(uint32_t* bytes, bool* found) {
    if (Dispatch(&QueryDedicatedMemory, bytes, found)) return;
    if (!IsExtensionSupported("GL_NVX_gpu_memory_info")) return;
    GLint kib = 0;
    glGetIntegerv(0x9047 /* GL_GPU_MEMORY_INFO_DEDICATED_VIDMEM_NVX */, &kib);
    if (kib <= 0) return;
    const uint64_t total = static_cast<uint64_t>(kib) * 1024u;
    *bytes = total > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(total);
    *found = true;
}

// The largest texture side, asked where the context is: a plug-in's interface thread, which may
// ask for the report first, has none current.
void QueryMaxTextureSize(GLint* size) {
    if (Dispatch(&QueryMaxTextureSize, size)) return;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, size);
}

} // namespace

const std::string GetVendor() {
    return Cached(sVendor, GL_VENDOR);
}
const std::string GetCard() {
    return Cached(sRenderer, GL_RENDERER);
}
const std::string GetVersion() {
    return Cached(sVersion, GL_VERSION);
}

const std::string GetDriver() {
    if (sDriverFirst) {
        sDriverFirst = false;
        sDriver = TESK_AE::platform::LoadedDriverVersion();
        if (sDriver.empty()) sDriver = hardware::DriverFromVersionText(GetVersion());
    }
    return sDriver;
}

int32_t GetCardSeries() {
    if (sSeriesFirst) {
        sSeriesFirst = false;
        sSeries = hardware::SeriesOf(GetCard());
    }
    return sSeries;
}

uint32_t GetCardMemorySize() {
    if (sMemoryFirst) {
        sMemoryFirst = false;
        uint32_t bytes = 0;
        bool found = false;
        if (TESK_AE::platform::Registry::ReadDword(hardware::kDisplayClassKey,
                                                   "HardwareInformation.MemorySize", bytes)) {
            sMemory = bytes;
        } else {
            QueryDedicatedMemory(&bytes, &found);
            if (found) sMemory = bytes;
        }
    }
    return sMemory;
}

bool IsQuadro() {
    return hardware::IsQuadroName(GetCard());
}
bool IsBasicQuadro() {
    return hardware::IsBasicQuadroName(GetCard());
}
bool IsATI() {
    return hardware::IsATIName(GetCard());
}

const std::string HardwareInfoString() {
    if (sReportFirst) {
        sReportFirst = false;
        GLint maxSize = 0;
        QueryMaxTextureSize(&maxSize);
        sReport = hardware::BuildReport(GetCard(), GetVersion(), GetDriver(),
                                        IsExtensionSupported("GL_ARB_texture_rectangle"),
                                        GetCardMemorySize(), maxSize);
    }
    return sReport;
}

} // namespace OGL_TESK_AE
