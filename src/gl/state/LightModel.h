#pragma once

#include "common/Export.h"
#include "math/Color.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

// Scene-wide lighting parameters.
class TESK_API LightModel {
public:
    // Dark grey ambient, separate specular colour, infinite viewer, two-sided.
    LightModel();
    LightModel(const Color& ambient, GLenum colorControl = GL_SEPARATE_SPECULAR_COLOR,
               bool localViewer = false, bool twoSide = true);

    void Apply() const;
    void Retrieve();

    static const LightModel Default;

    Color ambient;
    GLint colorControl;
    GLint localViewer;
    GLint twoSide;
};

} // namespace OGL_TESK_AE
