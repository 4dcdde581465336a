#include "gl/geometry/SimplePlane.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

SimplePlane sPlane;
Triangle sTriangle;

void SimplePlane::Draw(float x0, float y0, float x1, float y1, float inset) const {
    const float lo = inset, hi = 1.0f - inset;
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glTexCoord2f(hi, hi);
    glVertex2f(x1, y1);
    glTexCoord2f(lo, hi);
    glVertex2f(x0, y1);
    glTexCoord2f(lo, lo);
    glVertex2f(x0, y0);
    glTexCoord2f(hi, lo);
    glVertex2f(x1, y0);
    glEnd();
}

void SimplePlane::Draw() const {
    Draw(-1.0f, -1.0f, 1.0f, 1.0f, 0.01f);
}

void SimplePlane::Draw(float width, float height) const {
    Draw(0.0f, 0.0f, width, height, 0.0f);
}

void SimplePlane::Draw(const Region& region) const {
    const float x = static_cast<float>(region.XOrigin());
    const float y = static_cast<float>(region.YOrigin());
    Draw(x, y, x + static_cast<float>(region.Width()), y + static_cast<float>(region.Height()),
         0.0f);
}

void Triangle::Draw() const {
    glBegin(GL_TRIANGLES);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glTexCoord2f(0.0001f, 0.9999f);
    glVertex2f(-0.5f, 1.0f);
    glTexCoord2f(0.4999f, 0.0001f);
    glVertex2f(0.0f, -1.0f);
    glTexCoord2f(0.9999f, 0.9999f);
    glVertex2f(0.5f, 1.0f);
    glEnd();
}

} // namespace OGL_TESK_AE
