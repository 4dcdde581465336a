#pragma once

namespace OGL_TESK_AE {

// Fixed-size vectors and square matrices of plain numbers, laid out as the arrays OpenGL's
// uniform calls read: a vec<int, 3> can be handed to glUniform3iv as it is.
template <class T, int N> struct vec {
    static_assert(N > 0, "a vector has at least one component");
    T v[N];

    T& operator[](int i) { return v[i]; }
    const T& operator[](int i) const { return v[i]; }
    operator const T*() const { return v; }
};

// Rows x Columns elements in OpenGL's column order: element (row, column) is at
// m[column * Rows + row], so the array goes to glUniformMatrix*fv without transposing.
template <class T, int Rows, int Columns> struct mat {
    static_assert(Rows > 0 && Columns > 0, "a matrix has at least one element");
    T m[Rows * Columns];

    T& at(int row, int column) { return m[column * Rows + row]; }
    const T& at(int row, int column) const { return m[column * Rows + row]; }
    operator const T*() const { return m; }
};

} // namespace OGL_TESK_AE
