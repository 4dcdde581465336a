#pragma once

#include "common/Export.h"
#include "gl/state/Push.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

class m44f;

// One of OpenGL's matrices, with the matrix mode that was current when it was read. Applying
// loads the matrix and then puts that mode back, so a save and restore leaves both as found.
class TESK_API MatrixState {
public:
    GLenum mode;
    double m[16]; // OpenGL's column order

protected:
    explicit MatrixState(GLenum mode);
    void Load(GLenum target) const;
    void Read(GLenum query);
};

class TESK_API ModelMatrix : public MatrixState {
public:
    // Without identity the matrix holds the identity as well, OpenGL's own start value, until
    // something is retrieved into it; the flag only documents the caller's intent.
    explicit ModelMatrix(bool identity = false);

    void Apply() const;
    void Retrieve();
    // The current model-view matrix, OpenGL's column i going to row i of m.
    static void Retrieve(m44f& m);

    static const ModelMatrix Identity;
};

class TESK_API ProjectionMatrix : public MatrixState {
public:
    explicit ProjectionMatrix(bool identity = false);

    void Apply() const;
    void Retrieve();
    static void Retrieve(m44f& m);

    static const ProjectionMatrix Identity;
};

// The texture matrix of the active texture unit.
class TESK_API TextureMatrix : public MatrixState {
public:
    explicit TextureMatrix(bool identity = false);

    void Apply() const;
    void Retrieve();

    static const TextureMatrix Identity;
};

// The colour matrix of the imaging subset, applied to pixels during transfer. Applying leaves
// the matrix mode at GL_MODELVIEW, whatever it was. Without the imaging subset OpenGL would load
// the matrix into whatever matrix is current, so Apply throws Unsupported there instead and
// Retrieve leaves the values as they are.
class TESK_API ColorMatrix {
public:
    // The identity, until something is retrieved into it.
    ColorMatrix();
    // Output channel i is c_i dotted with the input (r, g, b, a).
    ColorMatrix(const Color& c0, const Color& c1, const Color& c2, const Color& c3);

    void Apply() const;
    void Retrieve();

    // Whether the context has the imaging subset; asked once.
    static bool IsSupported();

    // Element at row, column.
    double& At(int row, int column) { return m[column * 4 + row]; }
    double At(int row, int column) const { return m[column * 4 + row]; }

    double m[16]; // OpenGL's column order
};

// A colour matrix that turns pixels stored A, R, G, B and transferred as RGBA into R, G, B, A,
// each scaled: the output (r, g, b, a) is scale times the input (g, b, a, r).
class TESK_API ARGBWrite : public ColorMatrix {
public:
    explicit ARGBWrite(float scale = 1.0f);
};

// Scopes that also make their matrix the current one, so the body works on it; the end loads
// the saved matrix and puts the saved matrix mode back.
class TESK_API PushModelMatrix : public Push<ModelMatrix> {
public:
    PushModelMatrix();
};

class TESK_API PushProjectionMatrix : public Push<ProjectionMatrix> {
public:
    PushProjectionMatrix();
};

class TESK_API PushTextureMatrix : public Push<TextureMatrix> {
public:
    PushTextureMatrix();
};

extern template class Push<ModelMatrix>;
extern template class Push<ProjectionMatrix>;
extern template class Push<TextureMatrix>;

} // namespace OGL_TESK_AE
