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
void (*sUnbind)() = nullptr; // kept, as a host would
const char kDescription[] = "!!CPU\n# !type displacement Test wave\n# !name Wave\n# !ID 140\n"
                            "# !float height 0.5 [0 1] Height\n# !point axis [0 0 1] Axis\n";
void Log(const char* format, double a, double b = 0, double c = 0, double d = 0) {
    char line[128];
    std::snprintf(line, sizeof line, format, a, b, c, d);
    sLog += line;
}
} // namespace

extern "C" {
int32_t Description(char* buffer, int32_t length) {
    if (buffer) std::memcpy(buffer, kDescription, static_cast<size_t>(length));
    return static_cast<int32_t>(sizeof kDescription - 1);
}
void SetParameter1f(int32_t i, float x) {
    Log("1f %g %g;", i, x);
}
void SetParameter3f(int32_t i, float x, float y, float z) {
    Log("3f %g %g %g %g;", i, x, y, z);
}
void SetBound(float a, float b, float c, float d, float e, float f) {
    Log("bound %g %g %g ", a, b, c);
    Log("%g %g %g;", d, e, f);
}
#ifndef TESK_NO_PROCESS
void Process(float*, int32_t) {}
#endif
const char* TestCalls() {
    return sLog.c_str();
}
void SetMarlowUtilityCallback(bool (*f)(const char*)) {
    sUtility = f;
}
void SetMarlowUnbindShader(void (*f)()) {
    sUnbind = f;
}
bool HostBindUtility(const char* name) {
    return sUtility && sUtility(name);
}
}
