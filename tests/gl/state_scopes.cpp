#include "GLTest.h"
#include "StateSnapshot.h"

#include "gl/context/EntryPoints.h"
#include "gl/context/State.h"
#include "gl/effects/BlendOp.h"
#include "gl/state/Blend.h"
#include "gl/state/Clear.h"
#include "gl/state/ColorScale.h"
#include "gl/state/Fragment.h"
#include "gl/state/Highlight.h"
#include "gl/state/Light.h"
#include "gl/state/LightModel.h"
#include "gl/state/Material.h"
#include "gl/state/MatrixState.h"
#include "gl/state/Pixel.h"
#include "gl/state/TextureState.h"

#include <functional>
#include <stdexcept>

namespace {

using namespace OGL_TESK_AE;
using tesk_test::RunOnWorker;
using tesk_test::StateSnapshot;

struct ScopeBreak : std::runtime_error {
    ScopeBreak() : std::runtime_error("leaving the scope by an exception") {}
};

// A state far from OpenGL's initial one, set with plain OpenGL calls, so that a scope that
// restored fixed values instead of the saved ones would be caught.
GLuint SetBaseline() {
    glDisable(GL_BLEND);
    TESK_GL(glBlendFuncSeparate)(GL_DST_COLOR, GL_ZERO, GL_ONE, GL_ONE_MINUS_DST_ALPHA);
    TESK_GL(glBlendEquationSeparate)(GL_FUNC_ADD, GL_FUNC_REVERSE_SUBTRACT);
    TESK_GL(glBlendColor)(0.9f, 0.8f, 0.7f, 0.6f);
    glAlphaFunc(GL_GEQUAL, 0.25f);
    glEnable(GL_ALPHA_TEST);
    glDepthFunc(GL_LEQUAL);
    glCullFace(GL_FRONT_AND_BACK);
    glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_TRUE);
    glClearColor(0.1f, 0.2f, 0.3f, 0.4f);
    glClearDepth(0.75);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 3);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    glPixelStorei(GL_PACK_ROW_LENGTH, 5);
    glPixelStorei(GL_PACK_SKIP_ROWS, 2);
    glPixelTransferf(GL_RED_SCALE, 0.5f);
    glPixelTransferf(GL_RED_BIAS, 0.25f);
    glPixelTransferf(GL_ALPHA_SCALE, 2.0f);
    glColor4f(0.6f, 0.5f, 0.4f, 0.3f);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 8, 0, 8, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const GLfloat ambient[4] = {0.3f, 0.25f, 0.2f, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SINGLE_COLOR);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
    const GLfloat lightAmbient[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    glLightfv(GL_LIGHT3, GL_AMBIENT, lightAmbient);
    glEnable(GL_LIGHT3);
    const GLfloat materialAmbient[4] = {0.7f, 0.6f, 0.5f, 1.0f};
    glMaterialfv(GL_FRONT, GL_AMBIENT, materialAmbient);

    // Unit 1 active with a texture bound and enabled, a scaled texture matrix and its own
    // environment.
    TESK_GL(glActiveTexture)(GL_TEXTURE1);
    TESK_GL(glClientActiveTexture)(GL_TEXTURE1);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glScalef(4.0f, 2.0f, 1.0f);
    glMatrixMode(GL_MODELVIEW);
    return texture;
}

using Body = std::function<void(const std::function<void()>& inside)>;

struct Row {
    const char* name;
    Body body;
};

std::vector<Row> Rows() {
    std::vector<Row> rows = {
        {"Push<BlendFunc>",
         [](auto& inside) {
             Push<BlendFunc> scope(BlendFunc::BlendOver);
             inside();
         }},
        {"PushBlendFunc(src, dst)",
         [](auto& inside) {
             PushBlendFunc scope(GL_SRC_ALPHA, GL_ONE);
             inside();
         }},
        {"PushBlendFunc(four factors)",
         [](auto& inside) {
             PushBlendFunc scope(GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ZERO, GL_ONE);
             inside();
         }},
        {"Push<BlendEquation>",
         [](auto& inside) {
             Push<BlendEquation> scope(BlendEquation(GL_FUNC_SUBTRACT, GL_MAX));
             inside();
         }},
        {"Push<BlendColor>",
         [](auto& inside) {
             Push<BlendColor> scope(BlendColor(Color(0.1f, 0.2f, 0.3f, 0.4f)));
             inside();
         }},
        {"Push<BlendOp>",
         [](auto& inside) {
             Push<BlendOp> scope(BlendOp::Subtractive);
             inside();
         }},
        {"Push<AlphaFunc>",
         [](auto& inside) {
             Push<AlphaFunc> scope(AlphaFunc::Default);
             inside();
         }},
        {"Push<DepthFunc>",
         [](auto& inside) {
             Push<DepthFunc> scope(DepthFunc::Greater);
             inside();
         }},
        {"Push<CullFace>",
         [](auto& inside) {
             Push<CullFace> scope(CullFace::CullBack);
             inside();
         }},
        {"Push<ColorMask>",
         [](auto& inside) {
             Push<ColorMask> scope(ColorMask::AlphaOnly);
             inside();
         }},
        {"Push<ClearColor>",
         [](auto& inside) {
             Push<ClearColor> scope(ClearColor(Color(0.5f, 0.25f, 0.125f, 1.0f), 0.5f));
             inside();
         }},
        {"Push<Opacity>",
         [](auto& inside) {
             Push<Opacity> scope(Opacity(0.5f));
             inside();
         }},
        {"PushPixelStore",
         [](auto& inside) {
             PushPixelStore scope(8, 7, 3, 1);
             inside();
         }},
        {"PushPixelUnpack",
         [](auto& inside) {
             PushPixelUnpack scope(8, 11, 5, 2, 3);
             inside();
         }},
        {"PushPixelPack",
         [](auto& inside) {
             PushPixelPack scope(1, 9, 4, 1, 3);
             inside();
         }},
        {"PushPixelTransfer",
         [](auto& inside) {
             PushPixelTransfer scope(2.0f, 0.1f, 3.0f, 0.2f, 4.0f, 0.3f, 0.5f, 0.4f);
             inside();
         }},
        {"Push<ColorSpace>",
         [](auto& inside) {
             Push<ColorSpace> scope(ColorSpace(GL_UNSIGNED_SHORT, 32768));
             inside();
         }},
        {"Push<ColorScale>",
         [](auto& inside) {
             Push<ColorScale> scope(ColorScale(0.5f));
             inside();
         }},
        {"PushModelMatrix",
         [](auto& inside) {
             PushModelMatrix scope;
             glTranslatef(1.0f, 2.0f, 3.0f);
             inside();
         }},
        {"PushProjectionMatrix",
         [](auto& inside) {
             PushProjectionMatrix scope;
             glLoadIdentity();
             inside();
         }},
        {"PushTextureMatrix",
         [](auto& inside) {
             PushTextureMatrix scope;
             glLoadIdentity();
             inside();
         }},
        {"Push<TextureUnit>",
         [](auto& inside) {
             Push<TextureUnit> scope(TextureUnit(3));
             inside();
         }},
        {"Push<TextureBinding>",
         [](auto& inside) {
             // Applying a binding sets the filters of what it binds; a texture of its own keeps
             // that away from the textures the snapshot reads.
             GLuint other = 0;
             glGenTextures(1, &other);
             GLint previous = 0; // a generated name is a texture only once it has been bound
             glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
             glBindTexture(GL_TEXTURE_2D, other);
             glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
             TextureBinding binding;
             binding.texture2D = true;
             binding.binding2D = other;
             binding.texGenS = true;
             binding.envMode = GL_DECAL;
             binding.envColor[1] = 0.5f;
             binding.minMag[0] = GL_NEAREST;
             {
                 Push<TextureBinding> scope(binding);
                 inside();
             }
             glDeleteTextures(1, &other);
         }},
        {"PushColor",
         [](auto& inside) {
             PushColor scope(Color(0.25f, 0.5f, 0.75f, 1.0f));
             inside();
         }},
        {"PushColorMaterial",
         [](auto& inside) {
             PushColorMaterial scope(Color::Red, Color::Green);
             inside();
         }},
        {"Push<Material>",
         [](auto& inside) {
             Material material(Color::Red, Color::Green, Color::Blue, Color::Yellow, 12.0f);
             material.back.colorIndexes[2] = 5.0f;
             Push<Material> scope(material);
             inside();
         }},
        {"Push<LightModel>",
         [](auto& inside) {
             Push<LightModel> scope(LightModel(Color::Gray, GL_SEPARATE_SPECULAR_COLOR, true));
             inside();
         }},
        {"Push<AmbientLight<3>>",
         [](auto& inside) {
             Push<AmbientLight<3>> scope(AmbientLight<3>(Color::Red));
             inside();
         }},
        {"Push<DiffuseLight<2>>",
         [](auto& inside) {
             Push<DiffuseLight<2>> scope(DiffuseLight<2>(Color::Blue));
             inside();
         }},
        {"Push<SpotLight<1>>",
         [](auto& inside) {
             Push<SpotLight<1>> scope(
                 SpotLight<1>(Color::White, p4f(1, 2, 3, 1), p4f(0, 1, 0, 1), 4.0f, 30.0f, 0.5f));
             inside();
         }},
        {"Push<SimpleLight>",
         [](auto& inside) {
             Push<SimpleLight> scope(SimpleLight(Color::LightGray));
             inside();
         }},
        {"PushParamLights",
         [](auto& inside) {
             PushParamLights scope;
             for (int i = 0; i < 8; ++i) {
                 ParamLight light(i);
                 light.SetDefaults(i + 1, 0);
                 light.spot = (i % 2) != 0;
                 light.cutoff = 45.0f;
                 light.ApplyCustom();
             }
             inside();
         }},
        {"Highlight",
         [](auto& inside) {
             Highlight scope;
             inside();
         }},
        {"Attributes",
         [](auto& inside) {
             Attributes scope;
             scope.Apply();
             glEnable(GL_SCISSOR_TEST);
             glLineWidth(3.0f);
             glEnableClientState(GL_NORMAL_ARRAY);
             glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
             inside();
         }},
        {"Push<State>",
         [](auto& inside) {
             Push<State> scope;
             GLuint framebuffer = 0;
             TESK_GL(glGenFramebuffersEXT)(1, &framebuffer);
             TESK_GL(glBindFramebufferEXT)(GL_FRAMEBUFFER_EXT, framebuffer);
             glMatrixMode(GL_PROJECTION);
             glLoadIdentity();
             glMatrixMode(GL_TEXTURE);
             glLoadIdentity();
             glDisable(GL_TEXTURE_2D);
             glBindTexture(GL_TEXTURE_2D, 0);
             TextureUnit::Activate(GL_TEXTURE2);
             glEnable(GL_DEPTH_TEST);
             inside();
             scope.Pop();
             TESK_GL(glDeleteFramebuffersEXT)(1, &framebuffer);
         }},
    };
    if (ColorMatrix::IsSupported())
        rows.push_back({"Push<ColorMatrix>", [](auto& inside) {
                            Push<ColorMatrix> scope(ARGBWrite(0.5f));
                            inside();
                        }});
    return rows;
}

// Each scope, left normally and by an exception, must change the state while it lives and
// leave every value read back afterwards exactly as it was before.
TEST(StateScopes, RestoreEverythingOnNormalAndThrowingExit) {
    RunOnWorker([] {
        const GLuint texture = SetBaseline();
        for (const Row& row : Rows()) {
            for (bool throwing : {false, true}) {
                SCOPED_TRACE(std::string(row.name) + (throwing ? " (exception)" : " (normal)"));
                const StateSnapshot before;
                StateSnapshot inside;
                try {
                    row.body([&] {
                        inside = StateSnapshot();
                        if (throwing) throw ScopeBreak();
                    });
                } catch (const ScopeBreak&) {
                }
                const StateSnapshot after;
                EXPECT_NE(inside, before) << "the scope changed nothing, so the row proves nothing";
                EXPECT_EQ(after, before) << before.Differences(after);
                EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
            }
        }
        glDeleteTextures(1, &texture);
    });
}

} // namespace
