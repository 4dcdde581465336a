#include "GLTest.h"

#include "gl/geometry/ObjectArray.h"
#include "math/Color.h"
#include "math/Matrix.h"
#include "math/Matrix44.h"
#include "math/Transform.h"
#include "math/UnitScale.h"

#include <GL/gl.h>

#include <cmath>

using namespace OGL_TESK_AE;
using tesk_test::RunOnWorker;

namespace {

void ModelView(double out[16]) {
    glGetDoublev(GL_MODELVIEW_MATRIX, out);
}

// Column-major rotation by degrees about a unit axis, from the axis-angle formula.
void AxisRotation(double degrees, double x, double y, double z, double out[16]) {
    const double a = degrees * M_PI / 180.0, c = std::cos(a), s = std::sin(a), t = 1 - c;
    const double m[16] = {t * x * x + c,
                          t * x * y + s * z,
                          t * x * z - s * y,
                          0,
                          t * x * y - s * z,
                          t * y * y + c,
                          t * y * z + s * x,
                          0,
                          t * x * z + s * y,
                          t * y * z - s * x,
                          t * z * z + c,
                          0,
                          0,
                          0,
                          0,
                          1};
    for (int i = 0; i < 16; ++i) out[i] = m[i];
}

void ExpectMatrixNear(const double* actual, const double* expected) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-5) << "element " << i;
}

} // namespace

TEST(MathOnTheContext, ColourBecomesCurrentForOpenGLAndForBatches) {
    RunOnWorker([] {
        const Color c(0.25f, 0.5f, 0.75f, 1.0f);
        c.Apply();
        Color back(0, 0, 0, 0);
        back.Retrieve();
        EXPECT_FLOAT_EQ(back.r, 0.25f);
        EXPECT_FLOAT_EQ(back.b, 0.75f);
        EXPECT_FLOAT_EQ(ObjectArray::fColor.g, 0.5f);
    });
}

TEST(MathOnTheContext, EulerRotationsTurnAboutTheNegativeYAndZAxes) {
    RunOnWorker([] {
        glMatrixMode(GL_MODELVIEW);
        double actual[16], expected[16];
        for (int order = 0; order < 6; ++order) {
            glLoadIdentity();
            Rotate(30, 0, 0, static_cast<RotationOrder>(order));
            ModelView(actual);
            AxisRotation(30, 1, 0, 0, expected);
            ExpectMatrixNear(actual, expected);
        }
        glLoadIdentity();
        Rotate(0, 40, 0, static_cast<RotationOrder>(0));
        ModelView(actual);
        AxisRotation(40, 0, -1, 0, expected);
        ExpectMatrixNear(actual, expected);
        glLoadIdentity();
        Rotate(p3f(0, 0, 25), static_cast<RotationOrder>(3));
        ModelView(actual);
        AxisRotation(25, 0, 0, -1, expected);
        ExpectMatrixNear(actual, expected);
        // Angles too small to matter issue no rotation at all.
        glLoadIdentity();
        Rotate(0, 0, 1e-8f, static_cast<RotationOrder>(0));
        ModelView(actual);
        AxisRotation(0, 1, 0, 0, expected);
        ExpectMatrixNear(actual, expected);
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
        EXPECT_DOUBLE_EQ(actual[13], 2);

        glMatrixMode(GL_PROJECTION);
        Matrix mode(false);
        mode.Retrieve();
        EXPECT_EQ(mode.mode, GLenum(GL_PROJECTION));
        glMatrixMode(GL_TEXTURE);
        mode.Apply();
        GLint current = 0;
        glGetIntegerv(GL_MATRIX_MODE, &current);
        EXPECT_EQ(current, GL_PROJECTION);

        {
            // Inside, the model-view is a bare translation to where (1, 1, 1) landed.
            UnitScale unit(p3f(1, 1, 1));
            double inside[16];
            ModelView(inside);
            EXPECT_DOUBLE_EQ(inside[0], 1);
            EXPECT_DOUBLE_EQ(inside[12], 12);
            EXPECT_DOUBLE_EQ(inside[13], 3);
            EXPECT_DOUBLE_EQ(inside[14], 4);
        }
        ModelView(actual);
        EXPECT_DOUBLE_EQ(actual[12], 11);
        glGetIntegerv(GL_MATRIX_MODE, &current);
        EXPECT_EQ(current, GL_PROJECTION);
        glMatrixMode(GL_MODELVIEW);

        glLoadIdentity();
        const m44f scale(p3f(2, 0, 0), p3f(0, 1, 0), p3f(0, 0, 1));
        MultMatrix(scale);
        ModelView(actual);
        EXPECT_DOUBLE_EQ(actual[0], 2);
    });
}
