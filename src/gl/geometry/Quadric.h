#pragma once

#include "common/Export.h"
#include "gl/texture/Resource.h"

#include <GL/glu.h>

namespace OGL_TESK_AE {

// GLU's spheres, cylinders and disks behind a lazily made quadric object.
class TESK_API Quadric : public Resource {
public:
    Quadric() = default;
    // A copy makes its own GLU object when it first draws; two owners never share one.
    Quadric(const Quadric& other);
    Quadric& operator=(const Quadric& other);
    ~Quadric() override;

    void Finalize() override;
    void Dump() const override {}

    bool IsInitialized() const { return fQuadric != nullptr; }
    void Texture(unsigned char on);
    void Orientation(unsigned orientation);
    // Chooses the normal style (GLU_NONE, GLU_FLAT, GLU_SMOOTH).
    void Normals(unsigned value);

    void DrawSphere(float radius, int slices, int stacks) const;
    void DrawCylinder(float base, float top, float height, int slices, int stacks) const;
    void DrawDisk(float inner, float outer, int slices, int loops) const;

private:
    bool Initialize() const;

    mutable GLUquadric* fQuadric = nullptr;
    // Settings made before the GLU object exists are applied when it is made.
    unsigned char fTexture = 0;
    unsigned fOrientation = GLU_OUTSIDE;
    unsigned fNormals = GLU_SMOOTH;
};

// GLU's polygon tessellator.
class TESK_API Tesselator {
public:
    Tesselator();
    Tesselator(const Tesselator&) = delete;
    Tesselator& operator=(const Tesselator&) = delete;
    ~Tesselator();

    void AddTessCallback(int which, void (*fn)());
    void SetTessProperty(int which, float value);
    void TessBeginPolygon(void* data);
    void TessEndPolygon();
    void TessBeginContour();
    void TessEndContour();
    void TessVertex(double* coords, void* data);

private:
    GLUtesselator* fTess;
};

} // namespace OGL_TESK_AE
