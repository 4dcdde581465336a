#include "GLTest.h"
#include "TestTarget.h"

#include "gl/geometry/Grid.h"
#include "gl/geometry/ObjectArray.h"
#include "gl/geometry/Quadric.h"
#include "gl/geometry/SimplePlane.h"

#include <GL/gl.h>

#include <array>
#include <cmath>
#include <functional>

using namespace OGL_TESK_AE;
using tesk_test::RunOnWorker;
using tesk_test::TestTarget;

namespace {

// Counts the pixels whose red channel is at least half on.
int CountLit(const TestTarget& target, int width, int height) {
    const auto pixels = target.Read();
    int lit = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) lit += target.At(pixels, x, y)[0] >= 128;
    return lit;
}

} // namespace

TEST(Geometry, PlaneCoversItsRegionExactly) {
    RunOnWorker([] {
        TestTarget target(64, 80);
        ASSERT_TRUE(target.IsComplete());
        target.PixelProjection();
        glColor4f(1, 0, 0, 1);
        sPlane.Draw(Region(10, 20, 30, 40));
        const auto pixels = target.Read();
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 64; ++x) {
                const bool inside = x >= 10 && x < 40 && y >= 20 && y < 60;
                ASSERT_EQ(target.At(pixels, x, y)[0], inside ? 255 : 0) << x << "," << y;
            }
        // The last corner drawn is (x1, y0) with (1 - inset, inset).
        sPlane.Draw(0, 0, 8, 8, 0.25f);
        const auto coord = tesk_test::Floats(GL_CURRENT_TEXTURE_COORDS);
        EXPECT_FLOAT_EQ(coord[0], 0.75f);
        EXPECT_FLOAT_EQ(coord[1], 0.25f);
    });
}

// The plane's default draw and a grid, before and after a resize, fill the viewport under
// identity matrices; the grid leaves the model-view matrix and the matrix mode as they were.
TEST(Geometry, PlaneAndGridFillTheViewport) {
    RunOnWorker([] {
        TestTarget target(32, 32);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glColor4f(1, 0, 0, 1);
        Grid grid(2, 2);
        const std::function<void()> draws[] = {[] { sPlane.Draw(); }, [&] { grid.Draw(); },
                                               [&] {
                                                   glMatrixMode(GL_PROJECTION);
                                                   grid.Resize(5, 3);
                                                   grid.DrawTexture();
                                                   EXPECT_EQ(tesk_test::Integer(GL_MATRIX_MODE),
                                                             GL_PROJECTION);
                                                   glMatrixMode(GL_MODELVIEW);
                                               }};
        for (const auto& draw : draws) {
            glClear(GL_COLOR_BUFFER_BIT);
            draw();
            EXPECT_EQ(CountLit(target, 32, 32), 32 * 32);
            EXPECT_EQ(tesk_test::Floats(GL_MODELVIEW_MATRIX),
                      (std::array<GLfloat, 16>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
        }
        EXPECT_EQ(grid.Columns(), 5);
    });
}

TEST(Geometry, ObjectArrayBatchesVerticesWithTheirAttributes) {
    RunOnWorker([] {
        TestTarget target(16, 16);
        target.PixelProjection();
        // No vertex: nothing is drawn.
        { ObjectArray empty(GL_QUADS); }
        EXPECT_EQ(CountLit(target, 16, 16), 0);

        // The colour set with Color::Apply is stored with the vertices, but drawn per vertex
        // only once the colour array is on: the left quad takes the current colour instead.
        Color(0.0f, 1.0f, 0.0f, 1.0f).Apply();
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
        EXPECT_EQ(target.At(pixels, 3, 8)[2], 255);
        EXPECT_EQ(target.At(pixels, 3, 8)[0], 0);
        EXPECT_EQ(target.At(pixels, 12, 8)[0], 255);
        // The client arrays are off again after the batches.
        EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
        EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
    });
}

TEST(Geometry, LitSphereMatchesFixedFunctionLighting) {
    RunOnWorker([] {
        TestTarget target(64, 64);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glPushAttrib(GL_LIGHTING_BIT | GL_ENABLE_BIT);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glEnable(GL_CULL_FACE); // no depth buffer here: keep the far side from overdrawing
        // Light 0 by default: directional along +z, white diffuse. Material: diffuse 0.8,
        // ambient 0.2 under a global ambient of 0.2, no specular. Facing the light, a pixel is
        // 0.2 * 0.2 + 0.8 * cos(angle).
        Quadric sphere;
        sphere.DrawSphere(0.9f, 64, 32);
        glPopAttrib();
        const auto pixels = target.Read();
        const auto centre = target.At(pixels, 32, 32);
        EXPECT_NEAR(centre[0], 0.84 * 255, 3.0);
        EXPECT_EQ(centre[0], centre[1]);
        EXPECT_EQ(target.At(pixels, 1, 1)[3], 0); // outside the sphere
        // Off centre the normal leans away from the light: the diffuse term falls with its z.
        const double x = (44.5 / 32.0 - 1.0) / 0.9; // the centre of pixel 44, on the unit sphere
        const double expected = (0.04 + 0.8 * std::sqrt(1.0 - x * x)) * 255;
        EXPECT_NEAR(target.At(pixels, 44, 32)[0], expected, 6.0);
        sphere.Finalize();
        EXPECT_FALSE(sphere.IsInitialized());
    });
}
