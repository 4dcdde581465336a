#pragma once

#include "common/Export.h"

namespace OGL_TESK_AE {

// One immediate-mode primitive for the length of a scope, facing +z: glBegin and the normal
// (0, 0, 1) when made, glEnd when left.
class TESK_API Object {
public:
    explicit Object(unsigned int mode);
    ~Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
};

} // namespace OGL_TESK_AE
