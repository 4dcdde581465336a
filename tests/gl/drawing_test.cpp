#include "FloatTarget.h"
#include "GLTest.h"

#include "gl/context/Defaults.h"
#include "gl/effects/Draw.h"
#include "gl/effects/EffectProgram.h"
#include "gl/geometry/Grid.h"
#include "gl/geometry/ObjectArray.h"
#include "gl/geometry/Quadric.h"
#include "gl/geometry/SimplePlane.h"
#include "gl/state/Light.h"
#include "math/Matrix.h"
#include "math/Matrix44.h"
#include "math/Region.h"
#include "math/Transform.h"
#include "math/UnitScale.h"

#include <algorithm>

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

struct Vertex {
    float x, y, s, t;
    bool operator==(const Vertex& o) const {
        return std::abs(x - o.x) < 1e-3f && std::abs(y - o.y) < 1e-3f &&
               std::abs(s - o.s) < 1e-4f && std::abs(t - o.t) < 1e-4f;
    }
};

// What OpenGL's feedback mode reports for the triangles draw() emits (a strip of n vertices
// comes back as n - 2): how many, and their distinct vertices with window positions and texture
// coordinates.
std::pair<int, std::vector<Vertex>> Capture(const std::function<void()>& draw) {
    std::vector<GLfloat> buffer(1 << 14);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint count = glRenderMode(GL_RENDER);
    std::pair<int, std::vector<Vertex>> out;
    // A token, a vertex count, then per vertex x, y, z, RGBA, s, t, r, q.
    for (GLint i = 0; i < count; ++out.first) {
        EXPECT_EQ(buffer[i++], GL_POLYGON_TOKEN);
        for (int v = static_cast<int>(buffer[i++]); v > 0; --v, i += 11) {
            const Vertex vertex{buffer[i], buffer[i + 1], buffer[i + 7], buffer[i + 8]};
            if (std::find(out.second.begin(), out.second.end(), vertex) == out.second.end())
                out.second.push_back(vertex);
        }
    }
    return out;
}

} // namespace

// Every way of drawing a quad emits strips over a columns x rows lattice whose positions and
// texture coordinates are the bilinear blend of the corners'; a single row emits nothing.
TEST(QuadDrawing, LatticesInterpolatePositionsAndTextureCoordinatesBilinearly) {
    RunOnWorker([] {
        const TestTarget target(64, 64);
        target.PixelProjection();
        // A rectangle (the region's) and a trapezoid, whose left and right edges differ.
        const std::array<p3f, 4> r{p3f(2, 2, 0), p3f(10, 2, 0), p3f(10, 6, 0), p3f(2, 6, 0)};
        const std::array<p3f, 4> p{p3f(0, 0, 0), p3f(16, 0, 0), p3f(12, 8, 0), p3f(4, 8, 0)};
        const std::array<p2f, 4> unit{p2f(0, 0), p2f(1, 0), p2f(1, 1), p2f(0, 1)};
        const std::array<p2f, 4> t{p2f(0.1f, 0.2f), p2f(0.9f, 0.2f), p2f(0.5f, 1), p2f(0.1f, 0.8f)};
        // (p3 - p1) x (p2 - p0) points down the z axis for a counter-clockwise quad; reversed,
        // and with texture coordinates, (p1 - p3) x (p2 - p0) points up. 0: not checked.
        const struct {
            std::function<void()> draw;
            const std::array<p3f, 4>& q;
            const std::array<p2f, 4>& u;
            int columns, rows;
            float normalZ;
        } cases[] = {
            {[&] { DrawQuad(r[0], r[1], r[2], r[3]); }, r, unit, 2, 2, -1},
            {[] { DrawRegion(Region(2, 2, 8, 4)); }, r, unit, 2, 2, -1},
            {[&] { DrawQuad(p[0], p[1], p[2], p[3], 2, 2, true); }, p, unit, 2, 2, 1},
            {[&] { DrawQuad(p[0], p[1], p[2], p[3], 3, 3, false); }, p, unit, 3, 3, -1},
            {[&] { DrawQuad(p[0], t[0], p[1], t[1], p[2], t[2], p[3], t[3], 5, 3); }, p, t, 5, 3,
             1},
            {[&] { DrawQuad(p[0], p[1], p[2], p[3], 2, 1, false); }, p, unit, 2, 1, 0},
            {[&] { DrawQuad(p[0], t[0], p[1], t[1], p[2], t[2], p[3], t[3], 4, 1); }, p, t, 4, 1,
             0},
        };
        for (const auto& [draw, q, u, columns, rows, normalZ] : cases) {
            SCOPED_TRACE(std::to_string(columns) + " x " + std::to_string(rows));
            glNormal3f(0, 0, 0);
            const auto [triangles, vertices] = Capture(draw);
            EXPECT_EQ(triangles, 2 * (columns - 1) * (rows - 1)); // a strip between two rows
            if (rows < 2) continue;
            EXPECT_EQ(vertices.size(), size_t(columns * rows));
            for (int i = 0; i < columns; ++i)
                for (int j = 0; j < rows; ++j) {
                    const float a = float(i) / (columns - 1), b = float(j) / (rows - 1);
                    const p3f left = q[0] + (q[3] - q[0]) * b, right = q[1] + (q[2] - q[1]) * b;
                    const p2f tl = u[0] + (u[3] - u[0]) * b, tr = u[1] + (u[2] - u[1]) * b;
                    const p3f at = left + (right - left) * a;
                    const p2f st = tl + (tr - tl) * a;
                    const Vertex expected{at.x, at.y, st.x, st.y};
                    EXPECT_EQ(std::count(vertices.begin(), vertices.end(), expected), 1) << a << b;
                }
            EXPECT_TRUE(normalZ == 0 || Floats(GL_CURRENT_NORMAL)[2] == normalZ);
        }
    });
}

// The plane is drawn through a grid placed by the model-view matrix, which it puts back with
// the caller's matrix mode.
TEST(QuadDrawing, PlaneCoversItsQuadAndRestoresTheMatrices) {
    RunOnWorker([] {
        FloatTarget target(16, 8);
        target.PixelProjection();
        TESK_GL(glActiveTexture)(GL_TEXTURE0);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        GLSL::Shader show(
            GL_FRAGMENT_SHADER,
            "#version 110\nvoid main() { gl_FragColor = vec4(gl_TexCoord[0].st, 0, 1); }\n");
        EffectProgram program(&show);
        program.Apply();
        DrawPlane(p3f(2, 2, 0), p3f(10, 2, 0), p3f(10, 6, 0), p3f(2, 6, 0), 5, 4);
        TESK_GL(glUseProgram)(0);
        EXPECT_EQ(Integer(GL_MATRIX_MODE), GL_TEXTURE);
        glMatrixMode(GL_MODELVIEW);
        EXPECT_EQ(Floats(GL_MODELVIEW_MATRIX), Floats(GL_TEXTURE_MATRIX)); // both the identity
        // The grid's unit square is laid on the quad from p0.
        std::vector<Pixel> expected(16 * 8);
        for (int y = 2; y < 6; ++y)
            for (int x = 2; x < 10; ++x)
                expected[y * 16 + x] = {(x - 1.5f) / 8, (y - 1.5f) / 4, 0, 1};
        EXPECT_TRUE(PixelsNear(target.Read(), expected, 16, 1e-5));
    });
}

// Only the red channel of an 8-bit target, as 0 or 1 a pixel.
std::vector<int> Lit(const TestTarget& target) {
    std::vector<int> lit;
    for (const auto& p : target.Read()) lit.push_back(p[0] >= 128);
    return lit;
}

TEST(Geometry, PlaneCoversItsRegionExactly) {
    RunOnWorker([] {
        TestTarget target(64, 80);
        target.PixelProjection();
        glColor4f(1, 0, 0, 1);
        sPlane.Draw(Region(10, 20, 30, 40));
        std::vector<int> expected(64 * 80);
        for (int y = 20; y < 60; ++y) std::fill_n(&expected[y * 64 + 10], 30, 1);
        EXPECT_TRUE(PixelsNear(Lit(target), expected, 64 * 80, 64, 0, 1));
        // The last corner drawn is (x1, y0) with (1 - inset, inset).
        sPlane.Draw(0, 0, 8, 8, 0.25f);
        EXPECT_EQ(Floats(GL_CURRENT_TEXTURE_COORDS)[0], 0.75f);
        EXPECT_EQ(Floats(GL_CURRENT_TEXTURE_COORDS)[1], 0.25f);
    });
}

// Under identity matrices the plane's default draw and a grid, before and after a resize, fill
// the viewport; the grid leaves the model-view matrix and the matrix mode as they were.
TEST(Geometry, PlaneAndGridFillTheViewport) {
    RunOnWorker([] {
        TestTarget target(32, 32);
        SetDefault();
        glDisable(GL_BLEND);
        glColor4f(1, 0, 0, 1);
        Grid grid(2, 2);
        for (int draw = 0; draw < 3; ++draw) {
            glClear(GL_COLOR_BUFFER_BIT);
            glMatrixMode(GL_PROJECTION);
            if (draw == 2) grid.Resize(5, 3);
            draw == 0 ? sPlane.Draw() : draw == 1 ? grid.Draw() : grid.DrawTexture();
            EXPECT_EQ(Integer(GL_MATRIX_MODE), GL_PROJECTION);
            EXPECT_EQ(Lit(target), std::vector<int>(32 * 32, 1)) << draw;
            EXPECT_EQ(Floats(GL_MODELVIEW_MATRIX), Floats(GL_PROJECTION_MATRIX)); // identities
        }
    });
}

TEST(Geometry, ObjectArrayBatchesVerticesWithTheirAttributes) {
    RunOnWorker([] {
        TestTarget target(16, 16);
        target.PixelProjection();
        { ObjectArray empty(GL_QUADS); } // no vertex: nothing is drawn
        EXPECT_EQ(Lit(target), std::vector<int>(16 * 16, 0));
        // The colour set with Color::Apply is stored with the vertices, but drawn per vertex
        // only once the colour array is on: the left quad takes the current colour instead.
        {
            ObjectArray batch(GL_QUADS);
            Color(1.0f, 0.0f, 0.0f, 1.0f).Apply();
            for (const p3f& p : {p3f(0, 0, 0), p3f(8, 0, 0), p3f(8, 16, 0), p3f(0, 16, 0)})
                ObjectArray::Vertex(p);
            glColor4f(0.0f, 0.0f, 1.0f, 1.0f); // what the fixed pipeline draws with
        }
        {
            ObjectArray batch(GL_QUADS);
            ObjectArray::Color(Color(1.0f, 0.0f, 0.0f, 1.0f));
            for (const p3f& p : {p3f(8, 0, 0), p3f(16, 0, 0), p3f(16, 16, 0), p3f(8, 16, 0)})
                ObjectArray::Vertex(p);
            batch.Draw();
            EXPECT_EQ(ObjectArray::fCount, 4); // the count stays after drawing
        }
        const auto pixels = target.Read();
        EXPECT_EQ(pixels[8 * 16 + 3], (std::array<unsigned char, 4>{0, 0, 255, 255}));
        EXPECT_EQ(pixels[8 * 16 + 12], (std::array<unsigned char, 4>{255, 0, 0, 255}));
        EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY) || glIsEnabled(GL_COLOR_ARRAY));
    });
}

// A sphere facing a directional light along +z, with the default material and light model,
// comes out as the fixed-function lighting sum worked out by hand: model ambient 0.2 *
// material ambient 0.2 + light ambient * 0.2 + cos(angle) * light diffuse * material diffuse
// 0.8; no specular (material specular 0).
TEST(Lighting, LitSphereMatchesTheLightingEquation) {
    RunOnWorker([] {
        TestTarget target(64, 64);
        SetDefault();
        glDisable(GL_BLEND);
        glEnable(GL_CULL_FACE); // no depth buffer here: keep the far side from overdrawing
        ParamLight::DisableLights();
        glLightfv(GL_LIGHT0, GL_POSITION, std::array<GLfloat, 4>{0, 0, 1, 0}.data());
        AmbientLight<0>(Color(0.1f, 0.2f, 0.3f, 1.0f)).Apply();
        DiffuseLight<0>(Color(0.5f, 0.25f, 1.0f, 1.0f)).Apply();
        Quadric sphere;
        sphere.DrawSphere(0.9f, 64, 32);
        const auto pixels = target.ReadFloat();
        EXPECT_EQ(pixels[65][3], 0); // outside the sphere
        // Pixel 44's centre, on the unit sphere, leans away from the light: the diffuse term
        // falls with the normal's z.
        for (int x : {32, 44}) {
            const float nx = ((x + 0.5f) / 32 - 1) / 0.9f, cos = std::sqrt(1 - nx * nx);
            const std::array<float, 4> expected = {0.04f + 0.02f + 0.4f * cos,
                                                   0.04f + 0.04f + 0.2f * cos,
                                                   0.04f + 0.06f + 0.8f * cos, 1.0f};
            EXPECT_TRUE(PixelsNear(pixels[32 * 64 + x], expected, 4, 1, (x == 32 ? 3 : 6) / 255.0));
        }
        sphere.Finalize();
        EXPECT_FALSE(sphere.IsInitialized());
    });
}

// The model-view after rotate, from the identity, against the rotation by degrees about the
// unit axis a built here from the axis-angle formula c I + s [a]x + (1 - c) a a^T.
void ExpectRotation(const std::function<void()>& rotate, double degrees, std::array<double, 3> a) {
    glLoadIdentity();
    rotate();
    const double r = degrees * M_PI / 180.0, c = std::cos(r), s = std::sin(r);
    const auto actual = Floats(GL_MODELVIEW_MATRIX);
    for (int i = 0; i < 16; ++i) {
        const int row = i % 4, column = i / 4;
        double expected = row == column ? 1 : 0;
        if (row < 3 && column < 3) {
            // [a]x holds -z, y in row 0, z, -x in row 1 and -y, x in row 2, off the diagonal.
            const int sign = (column - row + 3) % 3 == 1 ? -1 : 1;
            const double cross = row == column ? 0 : sign * a[3 - row - column];
            expected = (row == column ? c : 0) + s * cross + (1 - c) * a[row] * a[column];
        }
        EXPECT_NEAR(actual[i], expected, 1e-5) << "element " << i;
    }
}

TEST(MathOnTheContext, EulerRotationsTurnAboutTheNegativeYAndZAxes) {
    RunOnWorker([] {
        glMatrixMode(GL_MODELVIEW);
        for (int order = 0; order < 6; ++order)
            ExpectRotation([&] { Rotate(30, 0, 0, RotationOrder(order)); }, 30, {1, 0, 0});
        ExpectRotation([] { Rotate(0, 40, 0, RotationOrder(0)); }, 40, {0, -1, 0});
        ExpectRotation([] { Rotate(p3f(0, 0, 25), RotationOrder(3)); }, 25, {0, 0, -1});
        // Angles too small to matter issue no rotation at all.
        ExpectRotation([] { Rotate(0, 0, 1e-8f, RotationOrder(0)); }, 0, {1, 0, 0});
    });
}

TEST(MathOnTheContext, MatricesMultiplyAndScopesRestore) {
    RunOnWorker([] {
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslated(1, 2, 3);
        Matrix translation(true);
        translation.m[12] = 10; // a further translation by (10, 0, 0)
        translation.Multiply();
        EXPECT_EQ(Floats(GL_MODELVIEW_MATRIX)[12], 11);

        glMatrixMode(GL_PROJECTION);
        Matrix mode(false);
        mode.Retrieve();
        glMatrixMode(GL_TEXTURE);
        mode.Apply();
        EXPECT_EQ(Integer(GL_MATRIX_MODE), GL_PROJECTION);
        {
            // Inside, the model-view is a bare translation to where (1, 1, 1) landed.
            UnitScale unit(p3f(1, 1, 1));
            const auto inside = Floats(GL_MODELVIEW_MATRIX);
            EXPECT_EQ(std::vector<float>(inside.begin() + 12, inside.begin() + 15),
                      std::vector<float>({12, 3, 4}));
            EXPECT_EQ(inside[0], 1);
        }
        EXPECT_EQ(Floats(GL_MODELVIEW_MATRIX)[12], 11);
        EXPECT_EQ(Integer(GL_MATRIX_MODE), GL_PROJECTION);
        glMatrixMode(GL_MODELVIEW);

        glLoadIdentity();
        MultMatrix(m44f(p3f(2, 0, 0), p3f(0, 1, 0), p3f(0, 0, 1)));
        EXPECT_EQ(Floats(GL_MODELVIEW_MATRIX)[0], 2);
    });
}
