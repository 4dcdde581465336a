#include "FloatTarget.h"
#include "GLTest.h"

#include "gl/effects/Draw.h"
#include "gl/effects/EffectProgram.h"
#include "math/Region.h"
#include "math/Vector.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <vector>

using namespace OGL_TESK_AE;
using tesk_test::FloatTarget;
using tesk_test::Pixel;
using tesk_test::RunOnWorker;

namespace {

struct Vertex {
    float x, y, s, t;
};
using Polygon = std::vector<Vertex>;

// What OpenGL's feedback mode reports for the primitives draw() emits: every triangle with
// its window positions and texture coordinates. A triangle strip of n vertices comes back as
// n - 2 triangles.
std::vector<Polygon> Capture(const std::function<void()>& draw) {
    std::vector<GLfloat> buffer(1 << 14);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint count = glRenderMode(GL_RENDER);
    std::vector<Polygon> polygons;
    // Each vertex: x, y, z, RGBA colour, s, t, r, q.
    constexpr int kVertexFloats = 11;
    for (GLint i = 0; i < count;) {
        const GLint token = static_cast<GLint>(buffer[i++]);
        EXPECT_EQ(token, GL_POLYGON_TOKEN);
        if (token != GL_POLYGON_TOKEN) break;
        const int n = static_cast<int>(buffer[i++]);
        Polygon polygon;
        for (int v = 0; v < n; ++v, i += kVertexFloats)
            polygon.push_back({buffer[i], buffer[i + 1], buffer[i + 7], buffer[i + 8]});
        polygons.push_back(polygon);
    }
    return polygons;
}

bool Same(const Vertex& a, const Vertex& b) {
    return std::abs(a.x - b.x) < 1e-3f && std::abs(a.y - b.y) < 1e-3f &&
           std::abs(a.s - b.s) < 1e-4f && std::abs(a.t - b.t) < 1e-4f;
}

bool Has(const std::vector<Vertex>& vertices, const Vertex& v) {
    return std::any_of(vertices.begin(), vertices.end(),
                       [&](const Vertex& o) { return Same(o, v); });
}

// The distinct vertices of all polygons, to within rounding.
std::vector<Vertex> Distinct(const std::vector<Polygon>& polygons) {
    std::vector<Vertex> out;
    for (const Polygon& polygon : polygons)
        for (const Vertex& v : polygon)
            if (!Has(out, v)) out.push_back(v);
    return out;
}

float CurrentNormalZ() {
    GLfloat normal[4] = {};
    glGetFloatv(GL_CURRENT_NORMAL, normal);
    return normal[2];
}

void PixelProjection(int width, int height) {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

} // namespace

// Every way of drawing a quad emits strips over a columns x rows lattice whose positions and
// texture coordinates are the bilinear blend of the corners'; a single row emits nothing.
TEST(QuadDrawing, LatticesInterpolatePositionsAndTextureCoordinatesBilinearly) {
    RunOnWorker([] {
        PixelProjection(64, 64);
        // A rectangle (the region's) and a trapezoid, whose left and right edges differ.
        const std::array<p3f, 4> rect{p3f(2, 2, 0), p3f(10, 2, 0), p3f(10, 6, 0), p3f(2, 6, 0)};
        const std::array<p3f, 4> p{p3f(0, 0, 0), p3f(16, 0, 0), p3f(12, 8, 0), p3f(4, 8, 0)};
        const std::array<p2f, 4> unit{p2f(0, 0), p2f(1, 0), p2f(1, 1), p2f(0, 1)};
        const std::array<p2f, 4> t{p2f(0.1f, 0.2f), p2f(0.9f, 0.2f), p2f(0.5f, 1), p2f(0.1f, 0.8f)};
        struct Case {
            const char* name;
            std::function<void()> draw;
            std::array<p3f, 4> corners;
            std::array<p2f, 4> coords;
            int columns, rows;
            float normalZ; // 0: not checked
        };
        // (p3 - p1) x (p2 - p0) points down the z axis for a counter-clockwise quad; reversed,
        // and with texture coordinates, (p1 - p3) x (p2 - p0) points up.
        const Case cases[] = {
            {"four points", [&] { DrawQuad(rect[0], rect[1], rect[2], rect[3]); }, rect, unit, 2, 2,
             -1},
            {"region", [] { DrawRegion(Region(2, 2, 8, 4)); }, rect, unit, 2, 2, -1},
            {"2 x 2 reversed", [&] { DrawQuad(p[0], p[1], p[2], p[3], 2, 2, true); }, p, unit, 2, 2,
             1},
            {"3 x 3", [&] { DrawQuad(p[0], p[1], p[2], p[3], 3, 3, false); }, p, unit, 3, 3, -1},
            {"textured 5 x 3",
             [&] { DrawQuad(p[0], t[0], p[1], t[1], p[2], t[2], p[3], t[3], 5, 3); }, p, t, 5, 3,
             1},
            {"one row", [&] { DrawQuad(p[0], p[1], p[2], p[3], 2, 1, false); }, p, unit, 2, 1, 0},
            {"textured one row",
             [&] { DrawQuad(p[0], t[0], p[1], t[1], p[2], t[2], p[3], t[3], 4, 1); }, p, t, 4, 1,
             0},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            glNormal3f(0, 0, 0);
            const auto polygons = Capture(c.draw);
            // Each band between rows is a strip: two triangles a column.
            EXPECT_EQ(polygons.size(), size_t(2 * (c.columns - 1) * (c.rows - 1)));
            if (c.rows < 2) continue;
            const auto vertices = Distinct(polygons);
            EXPECT_EQ(vertices.size(), size_t(c.columns * c.rows));
            const auto& q = c.corners;
            const auto& u = c.coords;
            for (int i = 0; i < c.columns; ++i)
                for (int j = 0; j < c.rows; ++j) {
                    const float s = float(i) / (c.columns - 1), r = float(j) / (c.rows - 1);
                    const p3f left = q[0] + (q[3] - q[0]) * r, right = q[1] + (q[2] - q[1]) * r;
                    const p2f tl = u[0] + (u[3] - u[0]) * r, tr = u[1] + (u[2] - u[1]) * r;
                    const p3f at = left + (right - left) * s;
                    const p2f st = tl + (tr - tl) * s;
                    EXPECT_TRUE(Has(vertices, {at.x, at.y, st.x, st.y})) << s << "," << r;
                }
            if (c.normalZ != 0) {
                EXPECT_FLOAT_EQ(CurrentNormalZ(), c.normalZ);
            }
        }
    });
}

TEST(QuadDrawing, PlaneCoversItsQuadAndRestoresTheMatrices) {
    RunOnWorker([] {
        const int width = 16, height = 8;
        FloatTarget target(width, height);
        ASSERT_TRUE(target.IsComplete());
        target.PixelProjection();
        TESK_GL(glActiveTexture)(GL_TEXTURE0);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        GLSL::Shader show(GL_FRAGMENT_SHADER, "#version 110\n"
                                              "void main() { gl_FragColor = "
                                              "vec4(gl_TexCoord[0].st, 0.0, 1.0); }\n");
        EffectProgram program(&show);
        program.Apply();
        // The texture matrix stays current around the call.
        glMatrixMode(GL_TEXTURE);
        DrawPlane(p3f(2, 2, 0), p3f(10, 2, 0), p3f(10, 6, 0), p3f(2, 6, 0), 5, 4);
        TESK_GL(glUseProgram)(0);
        EXPECT_EQ(tesk_test::Integer(GL_MATRIX_MODE), GL_TEXTURE);
        glMatrixMode(GL_MODELVIEW);
        EXPECT_EQ(tesk_test::Floats(GL_MODELVIEW_MATRIX), tesk_test::Floats(GL_TEXTURE_MATRIX));
        const auto pixels = target.Read();
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const Pixel& p = pixels[y * width + x];
                const bool inside = x >= 2 && x < 10 && y >= 2 && y < 6;
                ASSERT_EQ(p[3], inside ? 1.0f : 0.0f) << x << "," << y;
                if (!inside) continue;
                // The grid's unit square is laid on the quad from p0.
                EXPECT_NEAR(p[0], (x + 0.5f - 2) / 8, 1e-5f) << x << "," << y;
                EXPECT_NEAR(p[1], (y + 0.5f - 2) / 4, 1e-5f) << x << "," << y;
            }
    });
}
