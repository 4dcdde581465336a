#include "GLTest.h"
#include "StateSnapshot.h"
#include "TestTarget.h"

#include "common/Shared.h"
#include "gl/context/Defaults.h"
#include "gl/context/EntryPoints.h"
#include "gl/context/State.h"
#include "gl/effects/BlendOp.h"
#include "gl/state/Clear.h"
#include "gl/state/ColorScale.h"
#include "gl/state/Fragment.h"
#include "gl/state/Light.h"
#include "gl/state/LightModel.h"
#include "gl/state/Material.h"
#include "gl/state/MatrixState.h"
#include "gl/state/Pixel.h"
#include "gl/state/TextureState.h"

#include <array>
#include <cstring>
#include <functional>
#include <utility>

namespace {

using namespace OGL_TESK_AE;
using tesk_test::Floats;
using tesk_test::Integer;
using tesk_test::Integers;
using tesk_test::RunOnWorker;
using tesk_test::TestTarget;

TEST(Attributes, PopOnlyWhatWasPushedAndHoldOneLevel) {
    RunOnWorker([] {
        const auto depths = [] {
            return std::make_pair(Integer(GL_ATTRIB_STACK_DEPTH),
                                  Integer(GL_CLIENT_ATTRIB_STACK_DEPTH));
        };
        const auto before = depths();
        { Attributes unused; }
        EXPECT_EQ(depths(), before);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "a pop without a push underflows";
        {
            Attributes attributes;
            attributes.Apply();
            attributes.Apply(); // pops the first level, so what it saved is what it restores
            EXPECT_EQ(depths(), std::make_pair(before.first + 1, before.second + 1));
            glEnable(GL_SCISSOR_TEST);
        }
        EXPECT_EQ(depths(), before);
        EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    });
}

TEST(SetDefault, PutsTheContextIntoTheLibraryDefaults) {
    RunOnWorker([] {
        // Disturb what SetDefault is meant to reset, on more than one unit (client arrays have
        // the higher enumerants).
        for (GLenum cap : {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_COLOR_ARRAY, GL_TEXTURE_COORD_ARRAY,
                           GL_ALPHA_TEST, GL_CULL_FACE, GL_DITHER})
            cap >= GL_VERTEX_ARRAY ? glEnableClientState(cap) : glEnable(cap);
        glBlendFunc(GL_ONE, GL_ONE);
        glDisable(GL_BLEND);
        glDisable(GL_NORMALIZE);
        TESK_GL(glBlendEquation)(GL_MAX);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glFrontFace(GL_CW);
        for (GLenum unit : {GL_TEXTURE0, GL_TEXTURE2}) {
            TextureUnit::Activate(unit);
            glEnable(GL_TEXTURE_2D);
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
            glMatrixMode(GL_TEXTURE);
            glScalef(2, 2, 2);
        }
        glMatrixMode(GL_PROJECTION);
        glScalef(3, 3, 3);
        glMatrixMode(GL_TEXTURE);

        SetDefault();

        const std::pair<GLenum, GLint> values[] = {
            {GL_VERTEX_ARRAY, 0},
            {GL_NORMAL_ARRAY, 0},
            {GL_COLOR_ARRAY, 0},
            {GL_TEXTURE_COORD_ARRAY, 0},
            {GL_BLEND, 1},
            {GL_ALPHA_TEST, 0},
            {GL_CULL_FACE, 0},
            {GL_DITHER, 0},
            {GL_NORMALIZE, 1},
            {GL_ACTIVE_TEXTURE, GL_TEXTURE0},
            {GL_CLIENT_ACTIVE_TEXTURE, GL_TEXTURE0},
            {GL_BLEND_SRC_RGB, GL_SRC_ALPHA},
            {GL_BLEND_DST_RGB, GL_ONE_MINUS_SRC_ALPHA},
            {GL_BLEND_SRC_ALPHA, GL_SRC_ALPHA},
            {GL_BLEND_DST_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
            {GL_BLEND_EQUATION_RGB, GL_FUNC_ADD},
            {GL_BLEND_EQUATION_ALPHA, GL_FUNC_ADD},
            {GL_ALPHA_TEST_FUNC, GL_ALWAYS},
            {GL_FRONT_FACE, GL_CCW},
            {GL_MATRIX_MODE, GL_MODELVIEW},
            {GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR},
            {GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE}};
        for (const auto& v : values) EXPECT_EQ(Integer(v.first), v.second) << v.first;
        EXPECT_EQ(Floats(GL_PROJECTION_MATRIX)[0], 1.0f);
        EXPECT_EQ(Floats(GL_BLEND_COLOR), (std::array<GLfloat, 16>{1, 1, 1, 1}));
        EXPECT_EQ(Integers(GL_COLOR_WRITEMASK), (std::array<GLint, 16>{1, 1, 1, 1}));
        GLfloat v[4];
        glGetMaterialfv(GL_BACK, GL_DIFFUSE, v);
        EXPECT_FLOAT_EQ(v[0], 0.8f);
        for (GLenum unit : {GL_TEXTURE0, GL_TEXTURE2}) {
            TextureUnit::Activate(unit);
            EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << unit;
            GLint envMode = 0;
            glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &envMode);
            EXPECT_EQ(envMode, GL_MODULATE) << unit;
            EXPECT_EQ(Floats(GL_TEXTURE_MATRIX)[0], 1.0f) << unit;
        }
        TextureUnit::Activate(GL_TEXTURE0);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

// One pixel drawn in colour s = (0.8, 0.2, 0.4, 0.6) over d = (0.2, 0.6, 1.0, 0.2) with each
// blend mode, against the blend worked out by hand (8-bit target: results clamp to [0, 1]).
TEST(BlendModes, EachModeBlendsOnePixelAsItsFactorsAndEquationsSay) {
    RunOnWorker([] {
        TestTarget target(2, 2);
        ASSERT_TRUE(target.IsComplete());
        target.PixelProjection();
        const struct {
            const char* name;
            std::function<void()> apply;
            std::array<float, 4> expected;
        } rows[] = {
            // rgb s * sa + d * (1 - sa), alpha sa * sa + da * (1 - sa)
            {"Default", [] { BlendOp::Default.Apply(); }, {0.56f, 0.36f, 0.64f, 0.44f}},
            {"BlendOp()", [] { BlendOp().Apply(); }, {0.56f, 0.36f, 0.64f, 0.44f}},
            // Below, alpha is sa + da * (1 - sa) = 0.68 unless stated.
            {"Composite", [] { BlendOp::Composite.Apply(); }, {0.88f, 0.44f, 0.8f, 0.68f}},
            // s * sa + d
            {"Additive", [] { BlendOp::Additive.Apply(); }, {0.68f, 0.72f, 1.0f, 0.68f}},
            // max(s, d) for Lighten, Max and Multiply; min(s, d) for Min and Darken
            {"Lighten", [] { BlendOp::Lighten.Apply(); }, {0.8f, 0.6f, 1.0f, 0.68f}},
            {"Max", [] { BlendOp::Max.Apply(); }, {0.8f, 0.6f, 1.0f, 0.68f}},
            {"Multiply", [] { BlendOp::Multiply.Apply(); }, {0.8f, 0.6f, 1.0f, 0.68f}},
            {"Min", [] { BlendOp::Min.Apply(); }, {0.2f, 0.2f, 0.4f, 0.68f}},
            {"Darken", [] { BlendOp::Darken.Apply(); }, {0.2f, 0.2f, 0.4f, 0.68f}},
            // s + d * (1 - s)
            {"Screen", [] { BlendOp::Screen.Apply(); }, {0.84f, 0.68f, 1.0f, 0.68f}},
            // d - s * sa; d - s
            {"Subtractive", [] { BlendOp::Subtractive.Apply(); }, {0.0f, 0.48f, 0.76f, 0.68f}},
            {"Difference", [] { BlendOp::Difference.Apply(); }, {0.0f, 0.4f, 0.6f, 0.68f}},
            {"BlendOp::Replace", [] { BlendOp::Replace.Apply(); }, {0.8f, 0.2f, 0.4f, 0.6f}},
            // The factor sets, under the adding equation. s + d
            {"Add", [] { BlendFunc::Add.Apply(); }, {1.0f, 0.8f, 1.0f, 0.8f}},
            {"BlendFunc(1, 1)", [] { BlendFunc(GL_ONE, GL_ONE).Apply(); }, {1, 0.8f, 1, 0.8f}},
            // rgb s * sa + d * da, alpha sa + da
            {"AlphaAdd", [] { BlendFunc::AlphaAdd.Apply(); }, {0.52f, 0.24f, 0.44f, 0.8f}},
            // rgb s * sa + d * (1 - sa)
            {"BlendOver", [] { BlendFunc::BlendOver.Apply(); }, {0.56f, 0.36f, 0.64f, 0.68f}},
            // s * (1 - da) + d * da, alpha sa * (1 - da) + da
            {"BlendUnder", [] { BlendFunc::BlendUnder.Apply(); }, {0.68f, 0.28f, 0.52f, 0.68f}},
            // rgb s * (1 - sa) + d * sa, alpha sa + da * sa
            {"InvBlend", [] { BlendFunc::InvBlend.Apply(); }, {0.44f, 0.44f, 0.76f, 0.72f}},
            // d * s
            {"Modulate", [] { BlendFunc::Modulate.Apply(); }, {0.16f, 0.12f, 0.4f, 0.12f}},
            {"BlendFunc::Replace", [] { BlendFunc::Replace.Apply(); }, {0.8f, 0.2f, 0.4f, 0.6f}},
            // s * (1 - s)
            {"Invert", [] { BlendFunc::Invert.Apply(); }, {0.16f, 0.16f, 0.24f, 0.24f}},
            // rgb d, alpha da * sa
            {"Mask", [] { BlendFunc::Mask.Apply(); }, {0.2f, 0.6f, 1.0f, 0.12f}},
            // rgb s * sa, alpha sa
            {"Premultiply", [] { BlendFunc::Premultiply.Apply(); }, {0.48f, 0.12f, 0.24f, 0.6f}},
            // Its own colour, 0.5, multiplying d.
            {"ColorScale(0.5)", [] { ColorScale(0.5f).Apply(); }, {0.1f, 0.3f, 0.5f, 0.1f}},
        };
        for (const auto& row : rows) {
            SCOPED_TRACE(row.name);
            glDisable(GL_BLEND);
            TESK_GL(glBlendEquation)(GL_FUNC_ADD);
            glClearColor(0.2f, 0.6f, 1.0f, 0.2f);
            glClear(GL_COLOR_BUFFER_BIT);
            glColor4f(0.8f, 0.2f, 0.4f, 0.6f);
            row.apply();
            glRectf(0, 0, 2, 2);
            const auto pixel = target.ReadFloat()[3];
            for (int c = 0; c < 4; ++c) EXPECT_NEAR(pixel[c], row.expected[c], 2.0f / 255) << c;
        }
    });
}

// Clearing one buffer leaves the clear values and the write mask as they were; 8-bit target.
TEST(ClearBuffers, ClearOneBufferAndKeepTheClearValues) {
    RunOnWorker([] {
        TestTarget target(4, 4);
        ASSERT_TRUE(target.IsComplete());
        glClearColor(0.1f, 0.2f, 0.3f, 0.4f);
        glClearDepth(0.25);
        ClearColorBuffer(Color(0.2f, 0.4f, 0.6f, 0.8f));
        EXPECT_NEAR(target.ReadFloat()[9][3], 204 / 255.0f, 1e-6f);
        ClearAlphaBuffer(0.5f);
        ClearDepthBuffer(0.75f);
        const auto pixel = target.ReadFloat()[9];
        const float expected[4] = {51 / 255.0f, 102 / 255.0f, 153 / 255.0f, 0.5f};
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(pixel[i], expected[i], i < 3 ? 1e-6f : 0.5f / 255 + 1e-6f) << i;
        EXPECT_EQ(Floats(GL_COLOR_CLEAR_VALUE), (std::array<GLfloat, 16>{0.1f, 0.2f, 0.3f, 0.4f}));
        EXPECT_EQ(Integers(GL_COLOR_WRITEMASK), (std::array<GLint, 16>{1, 1, 1, 1}));
        EXPECT_FLOAT_EQ(Floats(GL_DEPTH_CLEAR_VALUE)[0], 0.25f);
    });
}

TEST(PixelTransferValues, ComposeOntoTheCurrentMapping) {
    RunOnWorker([] {
        glPixelTransferf(GL_RED_SCALE, 2.0f);
        glPixelTransferf(GL_RED_BIAS, 0.5f);
        glPixelTransferf(GL_ALPHA_SCALE, 0.5f);
        // x -> 3 * (2x + 0.5) + 0.25 = 6x + 1.75
        const PixelTransfer composed(3.0f, 0.25f, 1.0f, 0.0f, 1.0f, 0.0f, 4.0f, 0.125f);
        EXPECT_FLOAT_EQ(composed.redScale, 6.0f);
        EXPECT_FLOAT_EQ(composed.redBias, 1.75f);
        EXPECT_FLOAT_EQ(composed.greenScale, 1.0f);
        EXPECT_FLOAT_EQ(composed.alphaScale, 2.0f);
        EXPECT_FLOAT_EQ(composed.alphaBias, 0.125f);
        const ColorSpace shorts(GL_UNSIGNED_SHORT, 32768);
        EXPECT_FLOAT_EQ(shorts.redScale, 2.0f * 32768.0f / 65535.0f);
        EXPECT_FLOAT_EQ(shorts.greenScale, 32768.0f / 65535.0f);
        EXPECT_FLOAT_EQ(shorts.alphaScale, 0.5f * 32768.0f / 65535.0f);
        EXPECT_FLOAT_EQ(ColorSpace(GL_UNSIGNED_BYTE, 200).blueScale, 200.0f / 255.0f);
        EXPECT_EQ(ColorSpace(GL_FLOAT, 7).redScale, 2.0f);
        EXPECT_FLOAT_EQ(Opacity(0.5f).alphaScale, 0.25f);
    });
}

TEST(TextureState, BindingsOfDeletedTexturesComeBackAsZero) {
    RunOnWorker([] {
        GLuint names[2];
        glGenTextures(2, names);
        glBindTexture(GL_TEXTURE_2D, names[0]);
        glBindTexture(GL_TEXTURE_RECTANGLE_ARB, names[1]);
        TextureBinding saved;
        saved.Retrieve();
        glDeleteTextures(1, &names[0]);
        saved.Apply();
        EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), 0);
        EXPECT_EQ(Integer(GL_TEXTURE_BINDING_RECTANGLE_ARB), GLint(names[1]));
        glDeleteTextures(1, &names[1]);

        glMatrixMode(GL_PROJECTION);
        if (ColorMatrix::IsSupported()) {
            ColorMatrix().Apply();
            EXPECT_EQ(Integer(GL_MATRIX_MODE), GL_MODELVIEW);
        } else {
            // Loading it would land in the projection matrix.
            const auto before = Floats(GL_PROJECTION_MATRIX);
            EXPECT_THROW(ARGBWrite(0.5f).Apply(), Unsupported);
            EXPECT_EQ(Floats(GL_PROJECTION_MATRIX), before);
            EXPECT_EQ(Integer(GL_MATRIX_MODE), GL_PROJECTION);
        }
        glMatrixMode(GL_MODELVIEW);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

TEST(Lighting, LightsAndMaterialsReachOpenGL) {
    RunOnWorker([] {
        // The light and its colour terms reach the pixels in the lit quad below.
        GLfloat v[4];
        ParamLight custom(2);
        custom.enabled = true;
        custom.cutoff = 30.0f;
        custom.exponent = 5.0f;
        custom.ambientOn = false;
        custom.ApplyCustom(); // not a spot light: no cone
        EXPECT_EQ(custom.cutoff, 180.0f);
        EXPECT_EQ(custom.exponent, 0.0f);
        glGetLightfv(GL_LIGHT2, GL_SPOT_CUTOFF, v);
        EXPECT_EQ(v[0], 180.0f);
        glGetLightfv(GL_LIGHT2, GL_AMBIENT, v);
        EXPECT_EQ(v[3], 0.0f);
        ParamLight::DisableLights();
        for (int i = 0; i < Integer(GL_MAX_LIGHTS); ++i) EXPECT_FALSE(glIsEnabled(GL_LIGHT0 + i));

        Material material(Color::Red, Color::Green, Color::Blue, Color::Yellow, 32.0f);
        material.back.ambient = Color(0.25f, 0.5f, 0.75f, 1.0f);
        for (int i = 0; i < 3; ++i) material.back.colorIndexes[i] = i + 1.0f;
        material.Apply();
        Material read(Color::Black, Color::Black, Color::Black, Color::Black, 0.0f);
        read.Retrieve();
        EXPECT_EQ(read.front.emission, Color::Yellow);
        EXPECT_EQ(read.front.shininess, 32.0f);
        EXPECT_EQ(read.back.ambient, Color(0.25f, 0.5f, 0.75f, 1.0f));
        EXPECT_EQ(read.back.specular, Color::Blue);
        EXPECT_EQ(read.back.colorIndexes[2], 3.0f);
    });
}

// A quad facing a directional light, drawn with the default material and light model, comes
// out as the fixed-function lighting sum computed here by hand:
// model ambient * material ambient + light ambient * material ambient
// + (N . L = 1) * light diffuse * material diffuse; no specular (material specular 0).
TEST(Lighting, LitQuadMatchesTheLightingEquation) {
    RunOnWorker([] {
        TestTarget target(4, 4);
        ASSERT_TRUE(target.IsComplete());
        SetDefault();
        glDisable(GL_BLEND);
        ParamLight::DisableLights();
        // A directional light along +z, set under the identity model-view of SetDefault.
        const GLfloat direction[4] = {0.0f, 0.0f, 1.0f, 0.0f};
        glLightfv(GL_LIGHT0, GL_POSITION, direction);
        AmbientLight<0>(Color(0.1f, 0.2f, 0.3f, 1.0f)).Apply();
        DiffuseLight<0>(Color(0.5f, 0.25f, 1.0f, 1.0f)).Apply();
        glNormal3f(0, 0, 1);
        glRectf(-1, -1, 1, 1);
        const auto pixel = target.ReadFloat()[2 * 4 + 2];
        const float expected[4] = {0.2f * 0.2f + 0.1f * 0.2f + 0.5f * 0.8f,
                                   0.2f * 0.2f + 0.2f * 0.2f + 0.25f * 0.8f,
                                   0.2f * 0.2f + 0.3f * 0.2f + 1.0f * 0.8f, 1.0f};
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(pixel[i], expected[i], 1.5f / 255.0f) << i;
    });
}

GLuint sDisturbedFramebuffer = 0;

// Disturbs what the worker saves around a task (attribute groups, matrices, the active unit's
// binding, the unit itself, the framebuffer) and fails.
void DisturbAndThrow(int) {
    glEnable(GL_SCISSOR_TEST);
    glPixelTransferf(GL_RED_SCALE, 3.0f);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
    glEnable(GL_LIGHTING);
    glMatrixMode(GL_PROJECTION);
    glTranslatef(1.0f, 2.0f, 3.0f);
    glMatrixMode(GL_TEXTURE);
    glScalef(2.0f, 2.0f, 2.0f);
    glEnable(GL_TEXTURE_2D);
    TESK_GL(glBindFramebufferEXT)(GL_FRAMEBUFFER_EXT, sDisturbedFramebuffer);
    TextureUnit::Activate(GL_TEXTURE3);
    throw Error("the task failed on purpose");
}

TEST(WorkerState, RestoredAfterATaskThatThrew) {
    std::vector<tesk_test::StateSnapshot> before;
    RunOnWorker([&] {
        TESK_GL(glGenFramebuffersEXT)(1, &sDisturbedFramebuffer);
        TESK_GL(glBindFramebufferEXT)(GL_FRAMEBUFFER_EXT, sDisturbedFramebuffer);
        TESK_GL(glBindFramebufferEXT)(GL_FRAMEBUFFER_EXT, 0);
        before.emplace_back();
    });
    ASSERT_EQ(before.size(), 1u);
    ASSERT_TRUE(Dispatch(&DisturbAndThrow, 0));
    EXPECT_STREQ(Shared::ErrorMessage(), "the task failed on purpose");
    RunOnWorker([&] {
        const tesk_test::StateSnapshot after;
        EXPECT_EQ(after, before[0]) << before[0].Differences(after);
        TESK_GL(glDeleteFramebuffersEXT)(1, &sDisturbedFramebuffer);
    });
}

} // namespace
