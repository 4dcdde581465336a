// A CPU shader module for the tests: a displacement description with two CPU arguments, and a
// log of every call the library makes. Built once as is and once without "Process", which the
// library must refuse. It also plays the sibling host, keeping the callbacks it is handed.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {
std::string sLog;
bool (*sUtility)(const char*) = nullptr;
void (*sUnbind)() = nullptr;
const char kDescription[] = "!!CPU\n# !type displacement Test wave\n# !name Wave\n# !ID 140\n"
                            "# !float height 0.5 [0 1] Height\n# !point axis [0 0 1] Axis\n";
void Log(const char* format, double a, double b = 0, double c = 0, double d = 0) {
    char line[128];
    std::snprintf(line, sizeof line, format, a, b, c, d);
    sLog += line;
}
} // namespace

extern "C" {
__attribute__((visibility("default"))) int32_t Description(char* buffer, int32_t length) {
    if (buffer) std::memcpy(buffer, kDescription, static_cast<size_t>(length));
    return static_cast<int32_t>(sizeof kDescription - 1);
}
__attribute__((visibility("default"))) void SetParameter1f(int32_t i, float x) {
    Log("1f %g %g;", i, x);
}
__attribute__((visibility("default"))) void SetParameter3f(int32_t i, float x, float y, float z) {
    Log("3f %g %g %g %g;", i, x, y, z);
}
__attribute__((visibility("default"))) void SetBound(float a, float b, float c, float d, float e,
                                                     float f) {
    Log("bound %g %g %g ", a, b, c);
    Log("%g %g %g;", d, e, f);
}
#ifndef TESK_NO_PROCESS
__attribute__((visibility("default"))) void Process(float*, int32_t) {}
#endif
__attribute__((visibility("default"))) void InstanceSetup(void* block) {
    *static_cast<int*>(block) += 1;
}
__attribute__((visibility("default"))) const char* TestCalls() {
    return sLog.c_str();
}
__attribute__((visibility("default"))) void SetMarlowUtilityCallback(bool (*f)(const char*)) {
    sUtility = f;
}
__attribute__((visibility("default"))) void SetMarlowUnbindShader(void (*f)()) {
    sUnbind = f;
}
__attribute__((visibility("default"))) bool HostBindUtility(const char* name) {
    return sUtility && sUtility(name);
}
__attribute__((visibility("default"))) void HostUnbind() {
    if (sUnbind) sUnbind();
}
}
