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

using Inside = std::function<void()>;
using Body = std::function<void(const Inside& inside)>;

// Opens scope S over the given value, makes the further change given, then runs inside.
template <class S, class... A> Body Open(A... args) {
    return [=](const Inside& inside) {
        S scope(args...);
        inside();
    };
}
template <class S> Body OpenAndChange(const Inside& change) {
    return [=](const Inside& inside) {
        S scope;
        change();
        inside();
    };
}

struct Row {
    const char* name;
    Body body;
};

std::vector<Row> Rows() {
    const Color red = Color::Red, green = Color::Green, blue = Color::Blue;
    Material material(red, green, blue, Color::Yellow, 12.0f);
    material.back.colorIndexes[2] = 5.0f;
    std::vector<Row> rows = {
        {"Push<BlendFunc>", Open<Push<BlendFunc>>(BlendFunc::BlendOver)},
        {"PushBlendFunc(src, dst)", Open<PushBlendFunc>(GL_SRC_ALPHA, GL_ONE)},
        {"PushBlendFunc(four)", Open<PushBlendFunc>(GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ZERO, GL_ONE)},
        {"Push<BlendEquation>", Open<Push<BlendEquation>>(BlendEquation(GL_FUNC_SUBTRACT, GL_MAX))},
        {"Push<BlendColor>", Open<Push<BlendColor>>(BlendColor(Color(0.1f, 0.2f, 0.3f, 0.4f)))},
        {"Push<BlendOp>", Open<Push<BlendOp>>(BlendOp::Subtractive)},
        {"Push<AlphaFunc>", Open<Push<AlphaFunc>>(AlphaFunc::Default)},
        {"Push<DepthFunc>", Open<Push<DepthFunc>>(DepthFunc::Greater)},
        {"Push<CullFace>", Open<Push<CullFace>>(CullFace::CullBack)},
        {"Push<ColorMask>", Open<Push<ColorMask>>(ColorMask::AlphaOnly)},
        {"Push<ClearColor>", Open<Push<ClearColor>>(ClearColor(Color(0.5f, 0.25f, 0.125f, 1), 0.5f))},
        {"Push<Opacity>", Open<Push<Opacity>>(Opacity(0.5f))},
        {"PushPixelStore", Open<PushPixelStore>(8, 7, 3, 1)},
        {"PushPixelUnpack", Open<PushPixelUnpack>(8, 11, 5, 2, 3)},
        {"PushPixelPack", Open<PushPixelPack>(1, 9, 4, 1, 3)},
        {"PushPixelTransfer",
         Open<PushPixelTransfer>(2.0f, 0.1f, 3.0f, 0.2f, 4.0f, 0.3f, 0.5f, 0.4f)},
        {"Push<ColorSpace>", Open<Push<ColorSpace>>(ColorSpace(GL_UNSIGNED_SHORT, 32768))},
        {"Push<ColorScale>", Open<Push<ColorScale>>(ColorScale(0.5f))},
        {"PushModelMatrix", OpenAndChange<PushModelMatrix>([] { glTranslatef(1, 2, 3); })},
        {"PushProjectionMatrix", OpenAndChange<PushProjectionMatrix>([] { glLoadIdentity(); })},
        {"PushTextureMatrix", OpenAndChange<PushTextureMatrix>([] { glLoadIdentity(); })},
        {"Push<TextureUnit>", Open<Push<TextureUnit>>(TextureUnit(3))},
        {"PushColor", Open<PushColor>(Color(0.25f, 0.5f, 0.75f, 1.0f))},
        {"PushColorMaterial", Open<PushColorMaterial>(red, green)},
        {"Push<Material>", Open<Push<Material>>(material)},
        {"Push<LightModel>", Open<Push<LightModel>>(LightModel(Color::Gray, GL_SEPARATE_SPECULAR_COLOR, true))},
        {"Push<AmbientLight<3>>", Open<Push<AmbientLight<3>>>(AmbientLight<3>(red))},
        {"Push<DiffuseLight<2>>", Open<Push<DiffuseLight<2>>>(DiffuseLight<2>(blue))},
        {"Push<SpotLight<1>>", Open<Push<SpotLight<1>>>(SpotLight<1>(Color::White, p4f(1, 2, 3, 1), p4f(0, 1, 0, 1), 4.0f, 30.0f, 0.5f))},
        {"Push<SimpleLight>", Open<Push<SimpleLight>>(SimpleLight(Color::LightGray))},
        {"PushParamLights", OpenAndChange<PushParamLights>([] {
             for (int i = 0; i < 8; ++i) {
                 ParamLight light(i);
                 light.SetDefaults(i + 1, 0);
                 light.spot = (i % 2) != 0;
                 light.cutoff = 45.0f;
                 light.ApplyCustom();
             }
         })},
        {"Highlight", Open<Highlight>()},
        {"Attributes",
         [](const Inside& inside) {
             Attributes scope;
             scope.Apply();
             glEnable(GL_SCISSOR_TEST);
             glLineWidth(3.0f);
             glEnableClientState(GL_NORMAL_ARRAY);
             glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
             inside();
         }},
        {"Push<TextureBinding>",
         [](const Inside& inside) {
             // Applying a binding sets the filters of what it binds; a texture of its own keeps
             // that away from the textures the snapshot reads. A generated name is a texture
             // only once it has been bound.
             GLuint other = 0;
             glGenTextures(1, &other);
             const GLint previous = tesk_test::Integer(GL_TEXTURE_BINDING_2D);
             glBindTexture(GL_TEXTURE_2D, other);
             glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
             TextureBinding binding;
             binding.texture2D = binding.texGenS = true;
             binding.binding2D = other;
             binding.envMode = GL_DECAL;
             binding.envColor[1] = 0.5f;
             binding.minMag[0] = GL_NEAREST;
             Open<Push<TextureBinding>>(binding)(inside);
             glDeleteTextures(1, &other);
         }},
        {"Push<State>",
         [](const Inside& inside) {
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
        rows.push_back(
            {"Push<ColorMatrix>", Open<Push<ColorMatrix>>(ColorMatrix(ARGBWrite(0.5f)))});
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
