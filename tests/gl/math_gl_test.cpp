#include "GLTest.h"

#include "gl/geometry/ObjectArray.h"
#include "math/Color.h"
#include "math/Matrix.h"
#include "math/Matrix44.h"
#include "math/Transform.h"
#include "math/UnitScale.h"

#include <GL/gl.h>

#include <cmath>
#include <functional>
#include <vector>

using namespace OGL_TESK_AE;
using tesk_test::RunOnWorker;

namespace {

void ModelView(double out[16]) {
    glGetDoublev(GL_MODELVIEW_MATRIX, out);
}

// The model-view after rotate, from the identity, against the rotation by degrees about the
// unit axis (x, y, z) built here from the axis-angle formula c I + s [a]x + (1 - c) a a^T.
void ExpectRotation(const std::function<void()>& rotate, double degrees, double x, double y,
                    double z) {
    glLoadIdentity();
    rotate();
    double actual[16];
    ModelView(actual);
    const double a[3] = {x, y, z}, r = degrees * M_PI / 180.0, c = std::cos(r), s = std::sin(r);
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

} // namespace

TEST(MathOnTheContext, ColourBecomesCurrentForOpenGLAndForBatches) {
    RunOnWorker([] {
        Color(0.25f, 0.5f, 0.75f, 1.0f).Apply();
        Color back(0, 0, 0, 0);
        back.Retrieve();
        EXPECT_EQ(back, Color(0.25f, 0.5f, 0.75f, 1.0f));
        EXPECT_FLOAT_EQ(ObjectArray::fColor.g, 0.5f);
    });
}

TEST(MathOnTheContext, EulerRotationsTurnAboutTheNegativeYAndZAxes) {
    RunOnWorker([] {
        glMatrixMode(GL_MODELVIEW);
        for (int order = 0; order < 6; ++order)
            ExpectRotation([&] { Rotate(30, 0, 0, static_cast<RotationOrder>(order)); }, 30, 1, 0,
                           0);
        ExpectRotation([] { Rotate(0, 40, 0, static_cast<RotationOrder>(0)); }, 40, 0, -1, 0);
        ExpectRotation([] { Rotate(p3f(0, 0, 25), static_cast<RotationOrder>(3)); }, 25, 0, 0, -1);
        // Angles too small to matter issue no rotation at all.
        ExpectRotation([] { Rotate(0, 0, 1e-8f, static_cast<RotationOrder>(0)); }, 0, 1, 0, 0);
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
        double actual[16];
        ModelView(actual);
        EXPECT_DOUBLE_EQ(actual[12], 11);

        glMatrixMode(GL_PROJECTION);
        Matrix mode(false);
        mode.Retrieve();
        EXPECT_EQ(mode.mode, GLenum(GL_PROJECTION));
        glMatrixMode(GL_TEXTURE);
        mode.Apply();
        EXPECT_EQ(tesk_test::Integer(GL_MATRIX_MODE), GL_PROJECTION);

        {
            // Inside, the model-view is a bare translation to where (1, 1, 1) landed.
            UnitScale unit(p3f(1, 1, 1));
            double inside[16];
            ModelView(inside);
            EXPECT_EQ(std::vector<double>(inside + 12, inside + 15),
                      std::vector<double>({12, 3, 4}));
            EXPECT_DOUBLE_EQ(inside[0], 1);
        }
        ModelView(actual);
        EXPECT_DOUBLE_EQ(actual[12], 11);
        EXPECT_EQ(tesk_test::Integer(GL_MATRIX_MODE), GL_PROJECTION);
        glMatrixMode(GL_MODELVIEW);

        glLoadIdentity();
        const m44f scale(p3f(2, 0, 0), p3f(0, 1, 0), p3f(0, 0, 1));
        MultMatrix(scale);
        ModelView(actual);
        EXPECT_DOUBLE_EQ(actual[0], 2);
    });
}
