#include "gl/effects/Draw.h"

#include "gl/geometry/Grid.h"
#include "gl/state/MatrixState.h"
#include "math/Region.h"
#include "math/Vector.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

namespace {

// A point that walks along one line of the lattice, with its texture coordinate.
struct Walker {
    p3f point;
    p2f coord;
    p3f pointStep;
    p2f coordStep;

    void Emit() const {
        glTexCoord2fv(coord);
        glVertex3fv(point);
    }
    void Advance() {
        point += pointStep;
        coord += coordStep;
    }
};

p3f Along(const p3f& from, const p3f& to, float t) {
    return from + (to - from) * t;
}

p2f Along(const p2f& from, const p2f& to, float t) {
    return from + (to - from) * t;
}

// Rows - 1 strips of columns vertex pairs. Positions and texture coordinates are interpolated
// along the left (p0 -> p3) and right (p1 -> p2) edges, then stepped across.
void DrawLattice(const p3f& p0, const p2f& t0, const p3f& p1, const p2f& t1, const p3f& p2,
                 const p2f& t2, const p3f& p3, const p2f& t3, int columns, int rows,
                 const p3f* stripNormal) {
    const float du = 1.0f / static_cast<float>(columns - 1);
    const float dv = 1.0f / static_cast<float>(rows - 1);
    for (int r = 1; r < rows; ++r) {
        Walker lines[2];
        const float t[2] = {static_cast<float>(r - 1) * dv, static_cast<float>(r) * dv};
        for (int i = 0; i < 2; ++i) {
            const p3f left = Along(p0, p3, t[i]);
            const p3f right = Along(p1, p2, t[i]);
            const p2f leftCoord = Along(t0, t3, t[i]);
            const p2f rightCoord = Along(t1, t2, t[i]);
            lines[i] = {left, leftCoord, (right - left) * du, (rightCoord - leftCoord) * du};
        }
        glBegin(GL_TRIANGLE_STRIP);
        if (stripNormal) glNormal3fv(*stripNormal);
        for (int c = 0; c < columns; ++c) {
            lines[0].Emit();
            lines[1].Emit();
            lines[0].Advance();
            lines[1].Advance();
        }
        glEnd();
    }
}

} // namespace

void DrawQuad(const p3f& p0, const p3f& p1, const p3f& p2, const p3f& p3) {
    const p3f n = (p3 - p1).cross(p2 - p0).normalize();
    glBegin(GL_TRIANGLE_STRIP);
    glNormal3fv(n);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3fv(p0);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3fv(p1);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3fv(p3);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3fv(p2);
    glEnd();
}

void DrawQuad(const p3f& p0, const p3f& p1, const p3f& p2, const p3f& p3, int columns, int rows,
              bool reverse) {
    p3f n = (p3 - p1).cross(p2 - p0).normalize();
    if (reverse) n = -n;
    DrawLattice(p0, p2f(0.0f, 0.0f), p1, p2f(1.0f, 0.0f), p2, p2f(1.0f, 1.0f), p3, p2f(0.0f, 1.0f),
                columns, rows, &n);
}

void DrawQuad(const p3f& p0, const p2f& t0, const p3f& p1, const p2f& t1, const p3f& p2,
              const p2f& t2, const p3f& p3, const p2f& t3, int columns, int rows) {
    const p3f n = (p1 - p3).cross(p2 - p0).normalize();
    glNormal3fv(n);
    DrawLattice(p0, t0, p1, t1, p2, t2, p3, t3, columns, rows, nullptr);
}

void DrawPlane(const p3f& p0, const p3f& p1, const p3f& p2, const p3f& p3, int columns, int rows) {
    // One grid serves every call; only the worker draws, so it needs no lock.
    static Grid grid(20, 20);
    grid.Resize(columns, rows);
    const p3f c = (p0 + p2) * 0.5f;
    const p3f u = (p1 - p0) * 0.5f;
    const p3f v = (p3 - p0) * 0.5f;
    const p3f w = u.cross(v);
    // Columns u, v, w and the origin: the grid's [-1, 1] square lands on the quad.
    const GLfloat frame[16] = {u.x, u.y, u.z, 0.0f, v.x,  v.y,  v.z,  0.0f,
                               w.x, w.y, w.z, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
    PushModelMatrix scope;
    glTranslatef(c.x, c.y, c.z);
    glMultMatrixf(frame);
    grid.DrawTexture();
}

void DrawRegion(const Region& region) {
    const float x = static_cast<float>(region.XOrigin());
    const float y = static_cast<float>(region.YOrigin());
    const float w = static_cast<float>(region.Width());
    const float h = static_cast<float>(region.Height());
    DrawQuad(p3f(x, y, 0.0f), p3f(x + w, y, 0.0f), p3f(x + w, y + h, 0.0f), p3f(x, y + h, 0.0f));
}

} // namespace OGL_TESK_AE
