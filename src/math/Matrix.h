#pragma once

#include "common/Export.h"

#include "math/Vector.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

// A double-precision matrix in OpenGL's column-major order, tied to an OpenGL matrix mode.
class TESK_API Matrix {
public:
    GLenum mode;
    double m[16];

    // The mode is only ever taken from OpenGL by Retrieve; until then it names the model-view.
    explicit Matrix(bool identity);
    Matrix(const Matrix& other) = default;
    Matrix& operator=(const Matrix& other) = default;

    // Selects this matrix's mode.
    void Apply() const;
    // Takes the current matrix mode.
    void Retrieve();
    // Multiplies the current OpenGL matrix by m.
    void Multiply() const;

    // The point v transformed, divided by its w.
    p3f operator*(const p3f& v);
    p4f operator*(const p4f& v);
};

} // namespace OGL_TESK_AE
