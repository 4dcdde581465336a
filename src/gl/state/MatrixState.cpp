#include "gl/state/MatrixState.h"

#include "common/Errors.h"
#include "gl/context/Capabilities.h"
#include "gl/state/Implementation/GetState.h"
#include "math/Matrix44.h"

namespace OGL_TESK_AE {

namespace {

void SetIdentity(double* m) {
    for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0 : 0.0;
}

void RetrieveFloats(GLenum query, m44f& m) {
    float values[16];
    glGetFloatv(query, values);
    m.set(values, false);
}

} // namespace

MatrixState::MatrixState(GLenum mode) : mode(mode) {
    SetIdentity(m);
}

void MatrixState::Load(GLenum target) const {
    glMatrixMode(target);
    glLoadMatrixd(m);
    glMatrixMode(mode);
}

void MatrixState::Read(GLenum query) {
    mode = GetEnum(GL_MATRIX_MODE);
    glGetDoublev(query, m);
}

ModelMatrix::ModelMatrix(bool /*identity*/) : MatrixState(GL_MODELVIEW) {}
void ModelMatrix::Apply() const {
    Load(GL_MODELVIEW);
}
void ModelMatrix::Retrieve() {
    Read(GL_MODELVIEW_MATRIX);
}
void ModelMatrix::Retrieve(m44f& m) {
    RetrieveFloats(GL_MODELVIEW_MATRIX, m);
}
const ModelMatrix ModelMatrix::Identity(true);

ProjectionMatrix::ProjectionMatrix(bool /*identity*/) : MatrixState(GL_PROJECTION) {}
void ProjectionMatrix::Apply() const {
    Load(GL_PROJECTION);
}
void ProjectionMatrix::Retrieve() {
    Read(GL_PROJECTION_MATRIX);
}
void ProjectionMatrix::Retrieve(m44f& m) {
    RetrieveFloats(GL_PROJECTION_MATRIX, m);
}
const ProjectionMatrix ProjectionMatrix::Identity(true);

TextureMatrix::TextureMatrix(bool /*identity*/) : MatrixState(GL_TEXTURE) {}
void TextureMatrix::Apply() const {
    Load(GL_TEXTURE);
}
void TextureMatrix::Retrieve() {
    Read(GL_TEXTURE_MATRIX);
}
const TextureMatrix TextureMatrix::Identity(true);

ColorMatrix::ColorMatrix() {
    SetIdentity(m);
}

ColorMatrix::ColorMatrix(const Color& c0, const Color& c1, const Color& c2, const Color& c3) {
    const Color* rows[4] = {&c0, &c1, &c2, &c3};
    for (int row = 0; row < 4; ++row) {
        const Color& c = *rows[row];
        At(row, 0) = c.r;
        At(row, 1) = c.g;
        At(row, 2) = c.b;
        At(row, 3) = c.a;
    }
}

bool ColorMatrix::IsSupported() {
    static const bool sSupported = IsExtensionSupported("GL_ARB_imaging");
    return sSupported;
}

void ColorMatrix::Apply() const {
    if (!IsSupported()) throw Unsupported();
    glMatrixMode(GL_COLOR);
    glLoadMatrixd(m);
    glMatrixMode(GL_MODELVIEW);
}

void ColorMatrix::Retrieve() {
    glGetDoublev(GL_COLOR_MATRIX, m);
}

ARGBWrite::ARGBWrite(float scale) {
    for (double& element : m) element = 0.0;
    At(0, 1) = scale;
    At(1, 2) = scale;
    At(2, 3) = scale;
    At(3, 0) = scale;
}

PushModelMatrix::PushModelMatrix() {
    glMatrixMode(GL_MODELVIEW);
}
PushProjectionMatrix::PushProjectionMatrix() {
    glMatrixMode(GL_PROJECTION);
}
PushTextureMatrix::PushTextureMatrix() {
    glMatrixMode(GL_TEXTURE);
}

template class Push<ModelMatrix>;
template class Push<ProjectionMatrix>;
template class Push<TextureMatrix>;

} // namespace OGL_TESK_AE
