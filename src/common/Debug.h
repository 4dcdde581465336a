#pragma once

#include "common/Export.h"

namespace OGL_TESK_AE {

// Kept for plug-ins built against the diagnostics interface; every operation does nothing.
class TESK_API Debug {
public:
    explicit Debug(unsigned char level = 0);
    Debug(const Debug& other);
    Debug& operator=(const Debug& other);
    void Sample();
    void Log() const;
    void Difference(const Debug& other) const;

private:
    unsigned char fLevel;
};

} // namespace OGL_TESK_AE
