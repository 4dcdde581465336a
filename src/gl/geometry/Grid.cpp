#include "gl/geometry/Grid.h"

#include <GL/gl.h>

#include <algorithm>

namespace OGL_TESK_AE {

Grid sGrid(121, 121);
Grid sBigGrid(241, 241);

Grid::~Grid() {
    Finalize();
}

void Grid::Finalize() {
    delete[] fVertices;
    fVertices = nullptr;
}

void Grid::Resize(int columns, int rows) {
    if (columns == fColumns && rows == fRows) return;
    Finalize();
    fColumns = columns;
    fRows = rows;
}

void Grid::Initialize() {
    if (fVertices || fColumns < 2 || fRows < 2) return;
    fVertices = new float[static_cast<size_t>(fRows) * fColumns * 2][3]();
    const float dx = 1.0f / static_cast<float>(fColumns - 1);
    const float dy = 1.0f / static_cast<float>(fRows - 1);
    for (int r = 0; r < fRows; ++r) {
        const float y = static_cast<float>(r) * dy;
        float x = 0.0f;
        for (int c = 0; c < fColumns; ++c, x += dx) {
            // Each row zigzags between its upper and lower edge; the last row's upper edge is
            // clamped to 1 and so is degenerate.
            float* upper = fVertices[Index(c, r, 0)];
            float* lower = fVertices[Index(c, r, 1)];
            upper[0] = std::min(x, 1.0f);
            upper[1] = std::min(y + dy, 1.0f);
            lower[0] = x;
            lower[1] = y;
        }
    }
}

void Grid::DrawRows(bool texture) {
    Initialize();
    if (!fVertices) return;
    glNormal3f(0.0f, 0.0f, 1.0f);
    GLint mode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(-1.0f, -1.0f, 0.0f);
    glScalef(2.0f, 2.0f, 1.0f);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    if (texture) glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    for (int r = 0; r < fRows; ++r) {
        const float* row = fVertices[Index(0, r, 0)];
        glVertexPointer(2, GL_FLOAT, 12, row);
        if (texture) glTexCoordPointer(2, GL_FLOAT, 12, row);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 2 * fColumns);
    }
    glPopClientAttrib();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(static_cast<GLenum>(mode));
}

void Grid::Draw() {
    DrawRows(false);
}

void Grid::DrawTexture() {
    DrawRows(true);
}

} // namespace OGL_TESK_AE
