#include "gl/geometry/ObjectArray.h"

#include <GL/gl.h>

#include <cstddef>

namespace OGL_TESK_AE {

p3f ObjectArray::fVertices[kCapacity];
ObjectArray::TexCoord2 ObjectArray::fTexCoords[kCapacity];
p3f ObjectArray::fNormals[kCapacity];
Color ObjectArray::fColors[kCapacity];
int ObjectArray::fCount = 0;
p2f ObjectArray::fTexCoord(0.0f, 0.0f);
p3f ObjectArray::fNormal(0.0f, 0.0f, 1.0f);
Color ObjectArray::fColor(1.0f, 1.0f, 1.0f, 1.0f);
unsigned char ObjectArray::fTexCoordEnabled = 0;
unsigned char ObjectArray::fNormalEnabled = 0;
unsigned char ObjectArray::fColorEnabled = 0;

ObjectArray::ObjectArray(unsigned mode) : fMode(mode), fPending(true) {
    fCount = 0;
    fTexCoord = p2f(0.0f, 0.0f);
    fNormal = p3f(0.0f, 0.0f, 1.0f);
    fTexCoordEnabled = fNormalEnabled = fColorEnabled = 0;
    glGetFloatv(GL_CURRENT_COLOR, &fColor.r);
}

ObjectArray::~ObjectArray() {
    if (fPending) Draw();
}

void ObjectArray::TexCoord(const p2f& t) {
    fTexCoord = t;
    fTexCoordEnabled = 1;
}

void ObjectArray::Normal(const p3f& n) {
    fNormal = n;
    fNormalEnabled = 1;
}

void ObjectArray::Color(const OGL_TESK_AE::Color& c) {
    fColor = c;
    fColorEnabled = 1;
}

void ObjectArray::Vertex(const p3f& p) {
    if (fCount >= kCapacity) return;
    fVertices[fCount] = p;
    fTexCoords[fCount] = {fTexCoord.x, fTexCoord.y, 0.0f};
    fNormals[fCount] = fNormal;
    fColors[fCount] = fColor;
    ++fCount;
}

void ObjectArray::Vertex(const p3f& p, const p2f& t) {
    TexCoord(t);
    Vertex(p);
}

void ObjectArray::Draw() {
    fPending = false;
    if (fCount == 0) return;
    glNormal3fv(&fNormal.x);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    // The pointers are set here as well as in Initialize: a context made after the first one
    // starts without them, and a plug-in may have pointed the arrays elsewhere.
    Initialize();
    glEnableClientState(GL_VERTEX_ARRAY);
    if (fTexCoordEnabled) glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    if (fNormalEnabled) glEnableClientState(GL_NORMAL_ARRAY);
    if (fColorEnabled) glEnableClientState(GL_COLOR_ARRAY);
    glDrawArrays(fMode, 0, fCount);
    glPopClientAttrib();
}

void ObjectArray::Initialize() {
    glVertexPointer(3, GL_FLOAT, 16, fVertices);
    glTexCoordPointer(2, GL_FLOAT, 12, fTexCoords);
    glNormalPointer(GL_FLOAT, 16, fNormals);
    glColorPointer(4, GL_FLOAT, 16, fColors);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
}

PushArrays::PushArrays(unsigned char texCoords, unsigned char normals, unsigned char colors) {
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    if (texCoords) glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    if (normals) glEnableClientState(GL_NORMAL_ARRAY);
    if (colors) glEnableClientState(GL_COLOR_ARRAY);
}

PushArrays::~PushArrays() {
    glPopClientAttrib();
}

void IndexVertices(unsigned mode, std::vector<p3f>& vertices, std::vector<p3f>& normals,
                   std::vector<p3f>& texCoords, std::vector<int>& indices, int first, int count) {
    ObjectArray batch(mode);
    for (int k = first; k < first + count; ++k) {
        const int i = indices[static_cast<size_t>(k)];
        ObjectArray::Normal(normals[static_cast<size_t>(i)]);
        ObjectArray::TexCoord(
            p2f(texCoords[static_cast<size_t>(i)].x, texCoords[static_cast<size_t>(i)].y));
        ObjectArray::Vertex(vertices[static_cast<size_t>(i)]);
    }
    batch.Draw();
}

} // namespace OGL_TESK_AE
