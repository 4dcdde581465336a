#pragma once

#include "common/Export.h"

#include "math/Vector.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

// Scope that draws in plain units: the model-view matrix is replaced by the identity (or by a
// translation to where a point of the current model-view lands, without its rotation and scale)
// and restored, with the matrix mode, when the scope ends. The mode is the model-view while the
// scope lives.
class TESK_API UnitScale {
public:
    UnitScale();
    explicit UnitScale(const p3f& p);
    ~UnitScale();

    UnitScale(const UnitScale&) = delete;
    UnitScale& operator=(const UnitScale&) = delete;

private:
    void Save();

    GLenum fMode;
    double fModelView[16];
    bool fActive;
};

} // namespace OGL_TESK_AE
