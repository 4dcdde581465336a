#include "FloatTarget.h"
#include "GLTest.h"

#include "gl/effects/Draw.h"
#include "gl/effects/EffectProgram.h"
#include "math/Region.h"
#include "math/Vector.h"

#include <GL/gl.h>

#include <algorithm>
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

TEST(QuadDrawing, QuadsEmitTheirCornersWithUnitTextureCoordinates) {
    RunOnWorker([] {
        PixelProjection(64, 64);
        const p3f p0(2, 2, 0), p1(10, 2, 0), p2(10, 6, 0), p3(2, 6, 0);
        struct Case {
            const char* name;
            std::function<void()> draw;
            float normalZ;
        };
        // (p3 - p1) x (p2 - p0) points down the z axis for a counter-clockwise quad.
        const Case cases[] = {
            {"four points", [&] { DrawQuad(p0, p1, p2, p3); }, -1.0f},
            {"region", [] { DrawRegion(Region(2, 2, 8, 4)); }, -1.0f},
            {"2 x 2 lattice", [&] { DrawQuad(p0, p1, p2, p3, 2, 2, false); }, -1.0f},
            {"2 x 2 lattice reversed", [&] { DrawQuad(p0, p1, p2, p3, 2, 2, true); }, 1.0f},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            glNormal3f(0, 0, 0);
            const auto polygons = Capture(c.draw);
            // One strip of four vertices: two triangles over the same four corners.
            ASSERT_EQ(polygons.size(), 2u);
            EXPECT_EQ(polygons[0].size(), 3u);
            const auto vertices = Distinct(polygons);
            EXPECT_EQ(vertices.size(), 4u);
            for (const Vertex& corner :
                 {Vertex{2, 2, 0, 0}, Vertex{10, 2, 1, 0}, Vertex{10, 6, 1, 1}, Vertex{2, 6, 0, 1}})
                EXPECT_TRUE(Has(vertices, corner)) << corner.x << "," << corner.y;
            EXPECT_FLOAT_EQ(CurrentNormalZ(), c.normalZ);
        }
        // A single row of vertices has no band between rows.
        EXPECT_TRUE(Capture([&] { DrawQuad(p0, p1, p2, p3, 2, 1, false); }).empty());
        EXPECT_TRUE(Capture([&] {
                        DrawQuad(p0, p2f(0, 0), p1, p2f(1, 0), p2, p2f(1, 1), p3, p2f(0, 1), 4, 1);
                    }).empty());
    });
}

TEST(QuadDrawing, LatticesInterpolatePositionsAndTextureCoordinatesBilinearly) {
    RunOnWorker([] {
        PixelProjection(64, 64);
        // A trapezoid, so that the left and right edges differ.
        const p3f p0(0, 0, 0), p1(16, 0, 0), p2(12, 8, 0), p3(4, 8, 0);
        auto position = [&](float s, float t) {
            const p3f left = p0 + (p3 - p0) * t, right = p1 + (p2 - p1) * t;
            return left + (right - left) * s;
        };
        // 3 columns and 3 rows: two strips of six vertices, four triangles each.
        const auto plain = Capture([&] { DrawQuad(p0, p1, p2, p3, 3, 3, false); });
        EXPECT_EQ(plain.size(), 8u);
        const auto lattice = Distinct(plain);
        EXPECT_EQ(lattice.size(), 9u);
        for (float s : {0.0f, 0.5f, 1.0f})
            for (float t : {0.0f, 0.5f, 1.0f}) {
                const p3f p = position(s, t);
                EXPECT_TRUE(Has(lattice, {p.x, p.y, s, t})) << s << "," << t;
            }

        // Texture coordinates given at the corners are interpolated the same way.
        const p2f t0(0.1f, 0.2f), t1(0.9f, 0.2f), t2(0.5f, 1.0f), t3(0.1f, 0.8f);
        auto coord = [&](float s, float t) {
            const p2f left = t0 + (t3 - t0) * t, right = t1 + (t2 - t1) * t;
            return left + (right - left) * s;
        };
        glNormal3f(0, 0, 0);
        const auto textured = Capture([&] { DrawQuad(p0, t0, p1, t1, p2, t2, p3, t3, 5, 3); });
        EXPECT_EQ(textured.size(), 2u * 8u);
        const auto vertices = Distinct(textured);
        EXPECT_EQ(vertices.size(), 15u);
        for (float s : {0.0f, 0.25f, 0.5f, 0.75f, 1.0f})
            for (float t : {0.0f, 0.5f, 1.0f}) {
                const p3f p = position(s, t);
                const p2f c = coord(s, t);
                EXPECT_TRUE(Has(vertices, {p.x, p.y, c.x, c.y})) << s << "," << t;
            }
        // (p1 - p3) x (p2 - p0) points up the z axis.
        EXPECT_FLOAT_EQ(CurrentNormalZ(), 1.0f);
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
        GLfloat modelView[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
        EXPECT_EQ(modelView[0], 1.0f);
        EXPECT_EQ(modelView[12], 0.0f);
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
