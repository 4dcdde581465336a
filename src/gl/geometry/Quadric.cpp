#include "gl/geometry/Quadric.h"

#include <GL/glu.h>

namespace OGL_TESK_AE {

Quadric::Quadric(const Quadric& other)
    : Resource(other), fTexture(other.fTexture), fOrientation(other.fOrientation),
      fNormals(other.fNormals) {}

Quadric& Quadric::operator=(const Quadric& other) {
    if (this != &other) {
        Finalize();
        fTexture = other.fTexture;
        fOrientation = other.fOrientation;
        fNormals = other.fNormals;
    }
    return *this;
}

Quadric::~Quadric() {
    Finalize();
}

void Quadric::Finalize() {
    if (fQuadric) gluDeleteQuadric(fQuadric);
    fQuadric = nullptr;
}

bool Quadric::Initialize() const {
    if (!fQuadric) {
        Relist();
        fQuadric = gluNewQuadric();
        if (!fQuadric) return false;
        gluQuadricTexture(fQuadric, fTexture);
        gluQuadricOrientation(fQuadric, fOrientation);
        gluQuadricNormals(fQuadric, fNormals);
    }
    return true;
}

void Quadric::Texture(unsigned char on) {
    fTexture = on;
    if (Initialize()) gluQuadricTexture(fQuadric, on);
}

void Quadric::Orientation(unsigned orientation) {
    fOrientation = orientation;
    if (Initialize()) gluQuadricOrientation(fQuadric, orientation);
}

void Quadric::Normals(unsigned value) {
    fNormals = value;
    if (Initialize()) gluQuadricNormals(fQuadric, value);
}

void Quadric::DrawSphere(float radius, int slices, int stacks) const {
    if (Initialize()) gluSphere(fQuadric, radius, slices, stacks);
}

void Quadric::DrawCylinder(float base, float top, float height, int slices, int stacks) const {
    if (Initialize()) gluCylinder(fQuadric, base, top, height, slices, stacks);
}

void Quadric::DrawDisk(float inner, float outer, int slices, int loops) const {
    if (Initialize()) gluDisk(fQuadric, inner, outer, slices, loops);
}

Tesselator::Tesselator() : fTess(gluNewTess()) {}

Tesselator::~Tesselator() {
    if (fTess) gluDeleteTess(fTess);
}

void Tesselator::AddTessCallback(int which, void (*fn)()) {
    if (fTess) gluTessCallback(fTess, static_cast<GLenum>(which), fn);
}

void Tesselator::SetTessProperty(int which, float value) {
    if (fTess) gluTessProperty(fTess, static_cast<GLenum>(which), value);
}

void Tesselator::TessBeginPolygon(void* data) {
    if (fTess) gluTessBeginPolygon(fTess, data);
}

void Tesselator::TessEndPolygon() {
    if (fTess) gluTessEndPolygon(fTess);
}

void Tesselator::TessBeginContour() {
    if (fTess) gluTessBeginContour(fTess);
}

void Tesselator::TessEndContour() {
    if (fTess) gluTessEndContour(fTess);
}

void Tesselator::TessVertex(double* coords, void* data) {
    if (fTess) gluTessVertex(fTess, coords, data);
}

} // namespace OGL_TESK_AE
