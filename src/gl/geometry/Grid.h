#pragma once

#include "common/Export.h"

namespace OGL_TESK_AE {

// A regular grid over the unit square drawn as one triangle strip per row from a vertex array
// built on first use; drawn, it fills the viewport ([-1, 1] in both directions).
class TESK_API Grid {
public:
    Grid(int columns, int rows) : fColumns(columns), fRows(rows) {}
    Grid(const Grid&) = delete;
    Grid& operator=(const Grid&) = delete;
    ~Grid();

    // A new size takes effect at the next draw, which rebuilds the array.
    void Resize(int columns, int rows);
    void Draw();
    // As Draw, with texture coordinates equal to the unit-square positions.
    void DrawTexture();

    int Columns() const { return fColumns; }
    int Rows() const { return fRows; }

private:
    void Initialize();
    void Finalize();
    void DrawRows(bool texture);
    int Index(int x, int y, int k) const { return k + (fColumns * y + x) * 2; }

    int fColumns;
    int fRows;
    // rows x columns x 2 entries of three floats; x and y are used.
    float (*fVertices)[3] = nullptr;
};

TESK_API extern Grid sGrid;
TESK_API extern Grid sBigGrid;

} // namespace OGL_TESK_AE
