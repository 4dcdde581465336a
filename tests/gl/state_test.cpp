#include "GLTest.h"
#include "Scoped.h"
#include "StateSnapshot.h"
#include "TestTarget.h"

#include "common/StaticList.h"
#include "common/Thread.h"
#include "gl/context/Capabilities.h"
#include "gl/context/HardwareInfo.h"
#include "gl/context/RootContext.h"
#include "gl/context/State.h"
#include "gl/effects/BlendOp.h"
#include "gl/state/Clear.h"
#include "gl/state/ColorScale.h"
#include "gl/state/Fragment.h"
#include "gl/state/Highlight.h"
#include "gl/state/Light.h"
#include "gl/state/LightModel.h"
#include "gl/state/Material.h"
#include "gl/state/Pixel.h"
#include "platform/EglContext.h"

#include <typeinfo>

namespace OGL_TESK_AE {

struct RootContextTestAccess {
    static bool Initialize() { return RootContext::Initialize(); }
};

} // namespace OGL_TESK_AE

namespace {

using namespace OGL_TESK_AE;
using namespace tesk_test;
using Inside = std::function<void()>;
using TESK_AE::platform::EglContext;

// A state far from OpenGL's initial one, set with plain OpenGL calls, so that a scope that
// restored fixed values instead of the saved ones would be caught. Unit 1 is left active, with
// a texture bound and enabled, a scaled texture matrix and an environment of its own.
GLuint SetBaseline() {
    glDisable(GL_BLEND);
    TESK_GL(glBlendFuncSeparate)(GL_DST_COLOR, GL_ZERO, GL_ONE, GL_ONE_MINUS_DST_ALPHA);
    TESK_GL(glBlendEquationSeparate)(GL_FUNC_ADD, GL_FUNC_REVERSE_SUBTRACT);
    TESK_GL(glBlendColor)(0.9f, 0.8f, 0.7f, 0.6f);
    glAlphaFunc(GL_GEQUAL, 0.25f);
    glDepthFunc(GL_LEQUAL);
    glCullFace(GL_FRONT_AND_BACK);
    glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_TRUE);
    glClearColor(0.1f, 0.2f, 0.3f, 0.4f);
    glClearDepth(0.75);
    const std::pair<GLenum, float> store[] = {{GL_UNPACK_ALIGNMENT, 2},   {GL_UNPACK_ROW_LENGTH, 3},
                                              {GL_UNPACK_SKIP_PIXELS, 1}, {GL_PACK_ALIGNMENT, 8},
                                              {GL_PACK_ROW_LENGTH, 5},    {GL_PACK_SKIP_ROWS, 2}};
    for (auto [name, value] : store) glPixelStoref(name, value);
    for (auto [name, value] : {std::pair(GL_RED_SCALE, 0.5f), std::pair(GL_ALPHA_SCALE, 2.0f)})
        glPixelTransferf(name, value);
    glColor4f(0.6f, 0.5f, 0.4f, 0.3f);
    glMatrixMode(GL_PROJECTION);
    glOrtho(0, 8, 0, 8, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, std::array<GLfloat, 4>{0.3f, 0.25f, 0.2f, 1}.data());
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SINGLE_COLOR);
    glLightfv(GL_LIGHT3, GL_AMBIENT, std::array<GLfloat, 4>{0.1f, 0.2f, 0.3f, 0.4f}.data());
    glMaterialfv(GL_FRONT, GL_AMBIENT, std::array<GLfloat, 4>{0.7f, 0.6f, 0.5f, 1}.data());
    for (GLenum cap : {GL_ALPHA_TEST, GL_LIGHT3}) glEnable(cap);
    TESK_GL(glActiveTexture)(GL_TEXTURE1);
    TESK_GL(glClientActiveTexture)(GL_TEXTURE1); // the unit scopes keep the two together
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glMatrixMode(GL_TEXTURE);
    glScalef(4.0f, 2.0f, 1.0f);
    glMatrixMode(GL_MODELVIEW);
    return texture;
}

GLuint sFramebuffer = 0;

// Changes state in the groups the attribute stacks keep and, for everything, what else the
// library saves around its work: the matrices, the active unit's texturing, the unit itself
// and the framebuffer.
void Disturb(bool everything) {
    glEnable(GL_SCISSOR_TEST);
    glEnable(GL_LIGHTING);
    glLineWidth(3.0f);
    glEnableClientState(GL_NORMAL_ARRAY);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelTransferf(GL_RED_SCALE, 3.0f);
    glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
    if (!everything) return;
    glMatrixMode(GL_PROJECTION);
    glTranslatef(1.0f, 2.0f, 3.0f);
    glMatrixMode(GL_TEXTURE);
    glScalef(2.0f, 2.0f, 2.0f);
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    TESK_GL(glBindFramebufferEXT)(GL_FRAMEBUFFER_EXT, sFramebuffer);
    TextureUnit::Activate(GL_TEXTURE3);
}

// A framebuffer object that exists (a generated name becomes one once bound).
GLuint NewFramebuffer() {
    GLuint framebuffer = 0;
    TESK_GL(glGenFramebuffersEXT)(1, &framebuffer);
    TESK_GL(glBindFramebufferEXT)(GL_FRAMEBUFFER_EXT, framebuffer);
    TESK_GL(glBindFramebufferEXT)(GL_FRAMEBUFFER_EXT, 0);
    return framebuffer;
}

using Row = std::pair<const char*, std::function<void(const Inside&)>>;

// Scope S opened over the arguments given, then the further change (if any), then inside.
template <class S, class... A> Row Open(void (*change)(), A... args) {
    return {typeid(S).name(), [=](const Inside& inside) {
                S scope(args...);
                if (change) change();
                inside();
            }};
}
// Apply pops what the first push saved before pushing again: the scope holds one level.
struct PushedAttributes : Attributes {
    PushedAttributes() { Apply(), Apply(); }
};

void ChangeLights() {
    for (int i = 0; i < 8; ++i) {
        ParamLight light(i);
        light.SetDefaults(i + 1, 0);
        light.spot = (i % 2) != 0;
        light.cutoff = 45.0f;
        light.ApplyCustom();
    }
}

std::vector<Row> Rows(GLuint texture) {
    const Color red = Color::Red, green = Color::Green, blue = Color::Blue;
    Material material(red, green, blue, Color::Yellow, 12.0f);
    material.back.colorIndexes[2] = 5.0f;
    const SpotLight<1> spot(Color::White, p4f(1, 2, 3, 1), p4f(0, 1, 0, 1), 4.0f, 30.0f, 0.5f);
    TextureBinding binding;
    binding.texture2D = binding.texGenS = true;
    binding.binding2D = texture;
    binding.envMode = GL_DECAL;
    binding.envColor[1] = 0.5f;
    binding.minMag[0] = GL_NEAREST;
    std::vector<Row> rows = {
        Open<Push<BlendFunc>>(nullptr, BlendFunc::BlendOver),
        Open<PushBlendFunc>(nullptr, GL_SRC_ALPHA, GL_ONE),
        Open<PushBlendFunc>(nullptr, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ZERO, GL_ONE),
        Open<Push<BlendEquation>>(nullptr, BlendEquation(GL_FUNC_SUBTRACT, GL_MAX)),
        Open<Push<BlendColor>>(nullptr, BlendColor(Color(0.1f, 0.2f, 0.3f, 0.4f))),
        Open<Push<BlendOp>>(nullptr, BlendOp::Subtractive),
        Open<Push<AlphaFunc>>(nullptr, AlphaFunc::Default),
        Open<Push<DepthFunc>>(nullptr, DepthFunc::Greater),
        Open<Push<CullFace>>(nullptr, CullFace::CullBack),
        Open<Push<ColorMask>>(nullptr, ColorMask::AlphaOnly),
        Open<Push<ClearColor>>(nullptr, ClearColor(Color(0.5f, 0.25f, 0.125f, 1), 0.5f)),
        Open<Push<Opacity>>(nullptr, Opacity(0.5f)),
        Open<PushPixelStore>(nullptr, 8, 7, 3, 1),
        Open<PushPixelUnpack>(nullptr, 8, 11, 5, 2, 3),
        Open<PushPixelPack>(nullptr, 1, 9, 4, 1, 3),
        Open<PushPixelTransfer>(nullptr, 2.0f, 0.1f, 3.0f, 0.2f, 4.0f, 0.3f, 0.5f, 0.4f),
        Open<Push<ColorSpace>>(nullptr, ColorSpace(GL_UNSIGNED_SHORT, 32768)),
        Open<Push<ColorScale>>(nullptr, ColorScale(0.5f)),
        Open<PushModelMatrix>([] { glTranslatef(1, 2, 3); }),
        Open<PushProjectionMatrix>([] { glLoadIdentity(); }),
        Open<PushTextureMatrix>([] { glLoadIdentity(); }),
        Open<Push<TextureUnit>>(nullptr, TextureUnit(3)),
        Open<PushColor>(nullptr, Color(0.25f, 0.5f, 0.75f, 1.0f)),
        Open<PushColorMaterial>(nullptr, red, green),
        Open<Push<Material>>(nullptr, material),
        Open<Push<LightModel>>(nullptr, LightModel(Color::Gray, GL_SEPARATE_SPECULAR_COLOR, true)),
        Open<Push<AmbientLight<3>>>(nullptr, AmbientLight<3>(red)),
        Open<Push<DiffuseLight<2>>>(nullptr, DiffuseLight<2>(blue)),
        Open<Push<SpotLight<1>>>(nullptr, spot),
        Open<Push<SimpleLight>>(nullptr, SimpleLight(Color::LightGray)),
        Open<PushParamLights>(ChangeLights),
        Open<Highlight>(nullptr),
        Open<PushedAttributes>([] { Disturb(false); }),
        Open<Push<TextureBinding>>(nullptr, binding),
        Open<Push<State>>([] { Disturb(true); }),
    };
    if (ColorMatrix::IsSupported())
        rows.push_back(Open<Push<ColorMatrix>>(nullptr, ARGBWrite(0.5f)));
    return rows;
}

// Each scope, left normally and by an exception, must change the state while it lives and
// leave every value read back afterwards exactly as it was before.
TEST_ON_WORKER(StateScopes, RestoreEverythingOnNormalAndThrowingExit) {
    const GLuint texture = SetBaseline();
    sFramebuffer = NewFramebuffer();
    { Attributes unused; } // popping what it never pushed would underflow: an OpenGL error
    for (const Row& row : Rows(texture))
        for (bool throwing : {false, true}) {
            SCOPED_TRACE(std::string(row.first) + (throwing ? " (exception)" : " (normal)"));
            const StateSnapshot before;
            StateSnapshot inside;
            try {
                row.second([&] {
                    inside = StateSnapshot();
                    if (throwing) throw 0; // any exception leaves the scope
                });
            } catch (int) {
            }
            const StateSnapshot after;
            EXPECT_FALSE(inside == before)
                << "the scope changed nothing, so the row proves nothing";
            EXPECT_EQ(after, before) << before.Differences(after);
        }
    glDeleteTextures(1, &texture);
    TESK_GL(glDeleteFramebuffersEXT)(1, &sFramebuffer);
}

// The worker saves what a task may disturb and puts it back even when the task fails.
void DisturbAndThrow() {
    Disturb(true);
    throw Error("the task failed on purpose");
}

// Asked first from a host thread (no other test here asks), as a plug-in's interface thread may.
TEST(HardwareReport, AskedFirstFromAHostThreadTellsTheLargestTexture) {
    GLint largest = 0;
    ASSERT_TRUE(RunOnWorker([&] { glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest); }));
    ASSERT_GT(largest, 0);
    const std::string side = std::to_string(largest);
    EXPECT_NE(HardwareInfoString().find("Texture Dimension: " + side + " x " + side + "\n"),
              std::string::npos)
        << HardwareInfoString();
}

TEST(WorkerState, RestoredAfterATaskThatThrew) {
    std::vector<StateSnapshot> before;
    RunOnWorker([&] { sFramebuffer = NewFramebuffer(), before.emplace_back(); });
    ASSERT_EQ(before.size(), 1u);
    ASSERT_TRUE(Dispatch(&DisturbAndThrow));
    EXPECT_STREQ(Shared::ErrorMessage(), "the task failed on purpose");
    RunOnWorker([&] {
        const StateSnapshot after;
        EXPECT_EQ(after, before[0]) << before[0].Differences(after);
        TESK_GL(glDeleteFramebuffersEXT)(1, &sFramebuffer);
    });
}

// One pixel drawn in colour s = (0.8, 0.2, 0.4, 0.6) over d = (0.2, 0.6, 1.0, 0.2) with each
// blend mode, against the blend worked out by hand (8-bit target: results clamp to [0, 1]).
TEST_ON_WORKER(BlendModes, EachModeBlendsOnePixelAsItsFactorsAndEquationsSay) {
    TestTarget target(2, 2);
    target.PixelProjection();
    const std::pair<std::function<void()>, std::array<float, 4>> rows[] = {
        // rgb s * sa + d * (1 - sa), alpha sa * sa + da * (1 - sa)
        {[] { BlendOp::Default.Apply(); }, {0.56f, 0.36f, 0.64f, 0.44f}},
        // Below, alpha is sa + da * (1 - sa) = 0.68 unless stated.
        {[] { BlendOp::Composite.Apply(); }, {0.88f, 0.44f, 0.8f, 0.68f}},
        {[] { BlendOp::Additive.Apply(); }, {0.68f, 0.72f, 1.0f, 0.68f}}, // s * sa + d
        // max(s, d) for Lighten, Max and Multiply; min(s, d) for Min and Darken
        {[] { BlendOp::Lighten.Apply(); }, {0.8f, 0.6f, 1.0f, 0.68f}},
        {[] { BlendOp::Max.Apply(); }, {0.8f, 0.6f, 1.0f, 0.68f}},
        {[] { BlendOp::Multiply.Apply(); }, {0.8f, 0.6f, 1.0f, 0.68f}},
        {[] { BlendOp::Min.Apply(); }, {0.2f, 0.2f, 0.4f, 0.68f}},
        {[] { BlendOp::Darken.Apply(); }, {0.2f, 0.2f, 0.4f, 0.68f}},
        {[] { BlendOp::Screen.Apply(); }, {0.84f, 0.68f, 1.0f, 0.68f}},      // s + d * (1 - s)
        {[] { BlendOp::Subtractive.Apply(); }, {0.0f, 0.48f, 0.76f, 0.68f}}, // d - s * sa
        {[] { BlendOp::Difference.Apply(); }, {0.0f, 0.4f, 0.6f, 0.68f}},    // d - s
        {[] { BlendOp::Replace.Apply(); }, {0.8f, 0.2f, 0.4f, 0.6f}},
        // The factor sets, under the adding equation.
        {[] { BlendFunc::Add.Apply(); }, {1.0f, 0.8f, 1.0f, 0.8f}}, // s + d
        // rgb s * sa + d * da, alpha sa + da
        {[] { BlendFunc::AlphaAdd.Apply(); }, {0.52f, 0.24f, 0.44f, 0.8f}},
        // rgb s * sa + d * (1 - sa)
        {[] { BlendFunc::BlendOver.Apply(); }, {0.56f, 0.36f, 0.64f, 0.68f}},
        // s * (1 - da) + d * da, alpha sa * (1 - da) + da
        {[] { BlendFunc::BlendUnder.Apply(); }, {0.68f, 0.28f, 0.52f, 0.68f}},
        // rgb s * (1 - sa) + d * sa, alpha sa + da * sa
        {[] { BlendFunc::InvBlend.Apply(); }, {0.44f, 0.44f, 0.76f, 0.72f}},
        {[] { BlendFunc::Modulate.Apply(); }, {0.16f, 0.12f, 0.4f, 0.12f}}, // d * s
        {[] { BlendFunc::Replace.Apply(); }, {0.8f, 0.2f, 0.4f, 0.6f}},
        {[] { BlendFunc::Invert.Apply(); }, {0.16f, 0.16f, 0.24f, 0.24f}}, // s * (1 - s)
        {[] { BlendFunc::Mask.Apply(); }, {0.2f, 0.6f, 1.0f, 0.12f}},      // rgb d, alpha da * sa
        {[] { BlendFunc::Premultiply.Apply(); }, {0.48f, 0.12f, 0.24f, 0.6f}}, // rgb s * sa, sa
        {[] { ColorScale(0.5f).Apply(); }, {0.1f, 0.3f, 0.5f, 0.1f}}, // its own colour 0.5 times d
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        glDisable(GL_BLEND);
        TESK_GL(glBlendEquation)(GL_FUNC_ADD);
        glClearColor(0.2f, 0.6f, 1.0f, 0.2f);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor4f(0.8f, 0.2f, 0.4f, 0.6f);
        row.first();
        glRectf(0, 0, 2, 2);
        EXPECT_TRUE(PixelsNear(target.ReadFloat()[3], row.second, 4, 1, 2.0f / 255));
    }
}

// Clearing one buffer leaves the clear values and the write mask as they were; 8-bit target.
TEST_ON_WORKER(ClearBuffers, ClearOneBufferAndKeepTheClearValues) {
    TestTarget target(4, 4);
    glClearColor(0.1f, 0.2f, 0.3f, 0.4f);
    glClearDepth(0.25);
    ClearColorBuffer(Color(0.2f, 0.4f, 0.6f, 0.8f));
    ClearAlphaBuffer(0.5f);
    ClearDepthBuffer(0.75f);
    EXPECT_TRUE(PixelsNear(target.Read()[9], std::array{51.0, 102.0, 153.0, 127.5}, 4, 1, 0.5));
    EXPECT_EQ(Floats(GL_COLOR_CLEAR_VALUE), (std::array<GLfloat, 16>{0.1f, 0.2f, 0.3f, 0.4f}));
    EXPECT_EQ(Integers(GL_COLOR_WRITEMASK), (std::array<GLint, 16>{1, 1, 1, 1}));
    EXPECT_EQ(Floats(GL_DEPTH_CLEAR_VALUE)[0], 0.25f);
}

// Values compose onto the current mapping: x -> 3 (2x + 0.5) + 0.25 = 6x + 1.75.
TEST_ON_WORKER(PixelTransferValues, ComposeOntoTheCurrentMapping) {
    glPixelTransferf(GL_RED_SCALE, 2.0f);
    glPixelTransferf(GL_RED_BIAS, 0.5f);
    glPixelTransferf(GL_ALPHA_SCALE, 0.5f);
    const PixelTransfer p(3.0f, 0.25f, 1.0f, 0.0f, 1.0f, 0.0f, 4.0f, 0.125f);
    EXPECT_EQ((std::array{p.redScale, p.redBias, p.alphaScale}), (std::array{6.0f, 1.75f, 2.0f}));
    // The white level's share of the type's range likewise; floats are taken as they are.
    EXPECT_FLOAT_EQ(ColorSpace(GL_UNSIGNED_SHORT, 32768).redScale, 2.0f * 32768 / 65535);
    EXPECT_EQ(ColorSpace(GL_FLOAT, 7).redScale, 2.0f);
    EXPECT_EQ(Opacity(0.5f).alphaScale, 0.25f);
}

// Bindings of textures deleted since are put back as none; a colour matrix the context cannot
// take throws before anything lands in the current matrix.
TEST_ON_WORKER(TextureState, DeletedTexturesComeBackUnboundAndUnsupportedMatricesLoadNothing) {
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
    const auto before = Floats(GL_PROJECTION_MATRIX);
    const bool supported = ColorMatrix::IsSupported();
    try {
        ARGBWrite(0.5f).Apply();
        EXPECT_TRUE(supported);
    } catch (const Unsupported&) {
        EXPECT_FALSE(supported);
    }
    EXPECT_EQ(Floats(GL_PROJECTION_MATRIX), before);
    EXPECT_EQ(Integer(GL_MATRIX_MODE), supported ? GL_MODELVIEW : GL_PROJECTION);
}

GLuint NewTexture() {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

// A second Initialize keeps the context it made; Select makes that same context current
// again after none was.
TEST_ON_WORKER(RootContext, InitializeAndSelectKeepTheOneContext) {
    const GLuint texture = NewTexture();
    EXPECT_TRUE(RootContextTestAccess::Initialize());
    EXPECT_TRUE(EglContext::IsCurrent());
    EXPECT_TRUE(glIsTexture(texture)) << "a new context would not know the texture";
    EglContext::ReleaseCurrent();
    EXPECT_FALSE(RootContext::HasContext());
    EXPECT_TRUE(RootContext::Select());
    EXPECT_TRUE(glIsTexture(texture)) << "Select must bring back the same context";
    glDeleteTextures(1, &texture);
}

// Giving back the run's use of the library stops the worker with its context; the next call
// starts a fresh one, which TESK_AE_FAIL_CONTEXT set to "0" or "" does not refuse.
TEST(RootContext, ComesBackFreshAfterTheLastRelease) {
    GLuint texture = 0;
    RunOnWorker([&] { texture = NewTexture(); });
    ASSERT_EQ(TESK_AE::StaticList::UseCount(), 1);
    for (const char* off : {"0", ""}) {
        const UseLent lent;
        EXPECT_EQ(sThread, nullptr);
        const ScopedEnv failing("TESK_AE_FAIL_CONTEXT", off);
        bool ran = false;
        const auto touch = +[](bool* flag) { *flag = true; };
        EXPECT_TRUE(Dispatch(touch, &ran) && ran) << "TESK_AE_FAIL_CONTEXT=\"" << off << "\"";
    }
    RunOnWorker([&] {
        EXPECT_FALSE(glIsTexture(texture)) << "the old context's objects must be gone";
        EXPECT_TRUE(EntryPoints::IsLoaded()); // the table outlives the context it came from
    });
}

// The table is filled from the context: every entry point this context offers resolves, those
// of extensions it lacks stay empty and throw when called.
TEST_ON_WORKER(EntryPoints, EverySlotTheContextOffersIsFilledAndAnEmptyOneThrows) {
    const std::string extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    using R = EntryRequirement;
    const std::pair<R, const char*> optional[] = {{R::Imaging, "GL_ARB_imaging"},
                                                  {R::ArbDebugOutput, "GL_ARB_debug_output"},
                                                  {R::AmdDebugOutput, "GL_AMD_debug_output"},
                                                  {R::Wgl, "WGL_"}};
    for (int i = 0; i < EntryPoints::eCount; ++i) {
        bool offered = true; // OpenGL 2.1, framebuffer objects and ARB programs everywhere
        for (const auto& [requirement, extension] : optional)
            if (EntryPoints::Requirement(i) == requirement)
                offered = extensions.find(extension) != std::string::npos;
        EXPECT_EQ(EntryPoints::Slot(i) != nullptr, offered) << EntryPoints::Name(i);
    }
    EXPECT_EQ(EntryPoints::Name(-1), nullptr);
    EXPECT_EQ(EntryPoints::Name(EntryPoints::eCount), nullptr);
    EXPECT_THROW(EntryPoints::Get<void (*)()>(EntryPoints::e_wglCreatePbufferARB), Unsupported);
}

TEST(Capabilities, ExtensionNamesMatchAsSubstringsOnAnyThread) {
    // A part of a name is enough; the display's extensions, which OpenGL's list never names, are
    // searched too (Mesa and NVIDIA both offer EGL_KHR_create_context).
    const std::pair<const char*, bool> cases[] = {{"GL_EXT_framebuffer_object", true},
                                                  {"framebuffer_obj", true},
                                                  {"GL_TESK_no_such", false},
                                                  {"GL_EXT_framebuffer_object2", false},
                                                  {nullptr, false},
                                                  {"EGL_KHR_create_context", true}};
    const auto check = [&] {
        for (const auto& [name, expected] : cases)
            EXPECT_EQ(IsExtensionSupported(name), expected) << (name ? name : "null");
    };
    check();
    RunOnWorker(check); // where the query runs in place
}

TEST(Capabilities, CachedQueriesAnswerFromTheirCacheOnceAsked) {
    // llvmpipe and every card the library is meant for have all three.
    const auto answers = [] {
        return std::array{IsFloatSupported(), IsHalfFloatSupported(), IsFrameBufferSupported()};
    };
    EXPECT_EQ(answers(), (std::array{true, true, true}));
    ASSERT_EQ(TESK_AE::StaticList::UseCount(), 1);
    {
        // With no worker and no context to be had, the answers must come from the caches.
        const UseLent lent;
        const ScopedEnv failing("TESK_AE_FAIL_CONTEXT", "1");
        EXPECT_EQ(answers(), (std::array{true, true, true}));
        EXPECT_EQ(sThread, nullptr) << "a cached answer must not start the worker";
        // An uncached query does go to the worker, which now fails.
        EXPECT_FALSE(IsExtensionSupported("GL_EXT_framebuffer_object"));
        EXPECT_STREQ(Shared::ErrorMessage(), "OpenGL context failure.");
    }
}

} // namespace
