// The shader manager over a small catalogue written here: tables, IDs and sub-groups, ARB
// binding and uploads rendered on the card, CPU modules, procedural volumes and kernels.
#include "GLTest.h"
#include "TestTarget.h"
#include "Scoped.h"

#include "common/Errors.h"
#include "common/StaticList.h"
#include "platform/Module.h"
#include "shaders/Implementation/ManagerState.h"
#include "shaders/Implementation/ProceduralTextures.h"
#include "shaders/ShaderManager.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace OGL_TESK_AE {
struct ShaderManagerInternals {
    static uint32_t Volume(const char* name) { return ShaderManager::Set3dProceduralTexture(name); }
    static uint32_t Kernel(const char* name, float factor, float& scale) {
        return ShaderManager::SetConvolution(name, factor, scale, 6);
    }
};
} // namespace OGL_TESK_AE

using namespace OGL_TESK_AE;
using namespace tesk_test;
using SM = ShaderManager;

namespace {

const char* const kHead = "!!ARBfp1.0\n# !type ";
#define PLANES " 1 2 3 4, 5 6 7 8, 9 10 11 12, 13 14 15 16\n# !texture "
// File, then its text; "H" opens a fragment program description.
const char* const kFiles[][2] = {
    {"Surface/flat.arb", "surface Flat\n# !name Flat\n# !ID 101\n# !vertexshader none\n"
                         "# !color Kd [1 1 1 1] K\n# !float gain 1 [0 1] G\n"
                         "# !color offset [0 0 0 0] O\n#var float4 Kd : : c[1] : 1 : 1\n"
                         "#var float gain : : c[2] : 2 : 1\n#var float4 offset : : c[3] : 3 : 1\n"
                         "PARAM c[4] = { program.local[0..3] };\n"
                         "MAD result.color, c[1], c[2].x, c[3];\nEND\n"},
    {"Surface/Legacy/old.arb", "surface Old\n# !name Old\n# !ID 102\n# !vertexshader none\nEND\n"},
    {"Surface/Source/src.arb", "surface Src\n# !name Src\n# !ID 103\n# !vertexshader none\nEND\n"},
    {"Surface/Group/a.arb",
     "surface A\n# !name Group A\n# !ID 110\n# !vertexshader none\n# !copyshader 101\nEND\n"},
    {"Surface/Group/b.arb",
     "surface B\n# !name Group B\n# !ID 111\n# !categoryDefault\n# !vertexshader none\nEND\n"},
    {"Surface/Group/c.arb", "surface C\n# !ID 112\n# !vertexshader none\n# !copyshader 110\n"},
    {"Surface/lift.arb", "surface Lift\n# !name Lift\n# !ID 104\n# !vertexshader lift_vert\n"
                         "MOV result.color, fragment.color;\nEND\n"},
    {"Surface/lift_vert.vrb", "!!ARBvp1.0\n#var float lift : $vin.ATTR6 : ATTR6 : 0 : 1\n"
                              "MOV result.position, vertex.position;\nEND\n"},
    {"ImageProcess/three.arb", "imageProcess T\n# !name Three\n# !ID 120\n# !multipasses 3\n"
                               "# !vertexshader none\nMOV result.color, fragment.color;\nEND\n"},
    {"ImageProcess/three.ip2", "!!ARBfp1.0\n# pass 2\nMOV result.color, fragment.color;\nEND\n"},
    {"ImageProcess/three.ip3", "!!ARBfp1.0\n# pass 3\nMOV result.color, fragment.color;\nEND\n"},
    {"ImageProcess/retry.arb", "imageProcess R\n# !name Retry\n# !ID 121\n# !multipasses 3\n"
                               "# !vertexshader none\nMOV result.color, fragment.color;\nEND\n"},
    {"ImageProcess/retry.ip2", "!!ARBfp1.0\nMOV result.color, fragment.color;\nEND\n"},
    {"Volume/cut.arb", "volume Cut\n# !name Cut\n# !ID 150\n# !vertexshader none\n"
                       "MOV result.color, fragment.color;\n"},
    {"Volume/cut2.arb", "volume Cut\n# !name Cut2\n# !ID 152\n# !vertexshader none\n"
                        "MOV result.color, fragment.color;"},
    {"Volume/bad.arb", "volume Bad\n# !name Bad\n# !ID 151\n# !vertexshader none\n"
                       "FOO result.color;\nEND\n"},
    // Texture arguments running one function each.
    {"Volume/funcs.arb",
     "volume F\n# !name Funcs\n# !ID 160\n# !vertexshader none\n# !float s_size 3 [0 9]\n"
     "# !texture gen x\n# !exectexturefunc EnableTexGen 1010\n# !texture coords x\n"
     "# !exectexturefunc GenerateTextureCoord GL_OBJECT_LINEAR, GL_OBJECT_PLANE," PLANES
     "eye x\n# !exectexturefunc GenerateTextureCoord GL_EYE_LINEAR GL_EYE_PLANE" PLANES
     "sphere x\n# !exectexturefunc GenerateTextureCoord GL_SPHERE_MAP GL_EYE_PLANE" PLANES
     "ob5 x\n# !exectexturefunc GenerateTextureCoord GL_OBx GL_OBy" PLANES
     "volume x\n# !exectexturefunc Set3dProceduralTexture RAW\n# !texture kernel x\n"
     "# !exectexturefunc Convolution kern\n#var float factor : : c[2] : 2 : 1\nEND\n"},
    {"Utility/u1.utl", "utilsurf U\n# !name Util\n# !ID 130\n# !vertexshader none\nEND\n"},
    {"Utility/u2.utl", "utilsurf U\n# !name Util\n# !ID 131\n# !vertexshader none\n"
                       "MOV result.color, fragment.color;\nEND\n"},
};

std::string Root() {
    static const std::string root = [] {
        const std::string r = std::filesystem::temp_directory_path() / "tesk-shadermgr-test/";
        std::filesystem::remove_all(r);
        for (const auto& f : kFiles) {
            std::filesystem::create_directories(std::filesystem::path(r + f[0]).parent_path());
            const bool program = std::strncmp(f[1], "!!", 2) == 0;
            std::ofstream(r + f[0]) << (program ? "" : kHead) << f[1];
        }
        std::filesystem::create_directories(r + "Displacement");
        std::filesystem::copy_file(TESK_TEST_MODULE, r + "Displacement/wave.cvs");
        std::filesystem::create_directories(r + "Displacement");
        std::filesystem::copy_file(TESK_TEST_MODULE_NOPROCESS, r + "Displacement/bare.cvs");
        return r;
    }();
    return root;
}

bool sFresh = false;

// A catalogue as a fresh process meets it.
void Fresh() {
    sFresh = true;
    SM::EnableShaders(false);
    SM::ResetShaderBinding();
    SM::Clear();
    shadermgr::Get().initialised = false;
    SM::SetShaderPath(Root().c_str());
}

void Ready() {
    if (!sFresh) Fresh();
    SM::Init();
}

Shader* ByID(uint16_t n) {
    return const_cast<Shader*>(SM::GetShaderFromUIID(n));
}

// The text of the program bound to the fragment target.
std::string BoundFragmentText() {
    GLint length = 0;
    TESK_GL(glGetProgramivARB)(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_LENGTH_ARB, &length);
    std::string text(static_cast<size_t>(length), '\0');
    TESK_GL(glGetProgramStringARB)(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_STRING_ARB, &text[0]);
    return text;
}

std::string FileText(const std::string& name) {
    std::ifstream in(Root() + name);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEST_ON_WORKER(ShaderManager, InitIsLazyAndBuildsTheTables) {
    Fresh();
    EXPECT_EQ(SM::GetSurfaceShader("Flat"), nullptr);
    std::vector<String> names;
    SM::GetSurfaceShaderNames(names);
    std::string all;
    for (const String& n : names) all += n.str() + ";";
    // Legacy, Source and the simple copy stay out; a copy of a shader in the parent folder loads.
    EXPECT_EQ(all, "Flat;Group A;Group B;Lift;");
    ASSERT_TRUE(SM::ShadersAvailable());
    EXPECT_EQ(SM::GetShaderFromUIID(102)->Name().str(), "Old");
    EXPECT_EQ(SM::GetShaderFromUIID(103), nullptr);
    EXPECT_EQ(SM::GetShaderFromUIID(112)->Name().str(), "Group A");
    EXPECT_EQ(SM::GetUtilityShader("Util")->ID(), SM::MakeShaderID(131));
    EXPECT_NE(SM::GetDisplacementShader("Wave"), nullptr);
    EXPECT_EQ(SM::InitCpuShaderProgram((Root() + "Displacement/bare.cvs").c_str()), 0u);
    EXPECT_EQ(SM::MakeShaderFrontEndID(SM::MakeShaderID(7)), 7u);
    EXPECT_EQ(SM::MakeShaderFrontEndID(0x0FFFFFFF), 65535u);
}

// Shader number, then its position in the sub-group.
class ShaderSubGroup : public ::testing::TestWithParam<std::pair<uint16_t, int32_t>> {};
TEST_P(ShaderSubGroup, TypeArgumentGivesThePosition) {
    RunOnWorker([] {
        Ready();
        const std::vector<uint32_t>* ids = SM::GetShaderIDsInSubGroup("Group");
        ASSERT_TRUE(ids && ids->size() == 3);
        EXPECT_EQ(SM::GetSubGroupDefaultID("Group"), SM::MakeShaderID(111));
        const Shader* s = SM::GetShaderFromUIID(GetParam().first);
        ASSERT_TRUE(s && s->HasArg("Type: "));
        EXPECT_EQ(s->GetInt("Type: "), GetParam().second);
        EXPECT_EQ(s->GetShaderArg("Type: ")->ID(), s->ID() + s->NumArgs() - 1 + 2048u);
    });
}
INSTANTIATE_TEST_SUITE_P(Rows, ShaderSubGroup,
                         ::testing::Values(std::make_pair(110, 0), std::make_pair(111, 1),
                                           std::make_pair(112, 0)));

TEST_ON_WORKER(ShaderManager, BoundArbProgramRendersItsUploads) {
    Ready();
    TestTarget target(4, 4);
    target.PixelProjection();
    ASSERT_TRUE(SM::BindShader(ByID(101), kProgramMain));
    const float kd[4] = {0.8f, 0.4f, 0.6f, 0.5f}, offset[2] = {0.1f, 0.3f}, gain = 0.75f;
    SM::SetShaderParameter4fv(kShaderFragment, "Kd", kd, -1, kProgramMain);
    SM::SetShaderParameter1f(kShaderFragment, "gain", gain, -1, kProgramMain);
    SM::SetShaderParameter2fv(kShaderFragment, "offset", offset, -1, kProgramMain);
    Quad(0, 0, 4, 4, 0);
    SM::EnableShaders(false);
    // MAD with (x, y, 0, 0) for the two-component offset.
    const float expected[4] = {kd[0] * gain + offset[0], kd[1] * gain + offset[1], kd[2] * gain,
                               kd[3] * gain};
    std::vector<std::array<unsigned char, 4>> want(16);
    for (auto& p : want)
        for (int c = 0; c < 4; ++c) p[c] = static_cast<unsigned char>(expected[c] * 255 + 0.5f);
    EXPECT_TRUE(PixelsNear(target.Read(), want, 4, 1.0));

    // To a vertex program the same upload sends (x, y, 1).
    ASSERT_TRUE(SM::BindShader(ByID(104), kProgramMain));
    EXPECT_EQ(SM::GetShaderParameterVertexArbID("lift"), 6u);
    SM::SetShaderParameter2fv(kShaderVertex, "lift", offset, -1, kProgramMain);
    GLfloat got[4] = {};
    TESK_GL(glGetVertexAttribfvARB)(6, GL_CURRENT_VERTEX_ATTRIB_ARB, got);
    SM::EnableShaders(false);
    EXPECT_EQ(std::vector<float>(got, got + 4), (std::vector<float>{0.1f, 0.3f, 1.0f, 1.0f}));
}

struct PassRow {
    uint16_t id;
    eShaderProgamType kind;
    const char* file;
};
class ShaderPasses : public ::testing::TestWithParam<PassRow> {};
TEST_P(ShaderPasses, BindLoadsTheKindsFileOrFallsBack) {
    RunOnWorker([] {
        Ready();
        ASSERT_TRUE(SM::BindShader(ByID(GetParam().id), GetParam().kind));
        EXPECT_EQ(BoundFragmentText(), FileText(GetParam().file));
        SM::EnableShaders(false);
    });
}
INSTANTIATE_TEST_SUITE_P(
    Rows, ShaderPasses,
    ::testing::Values(PassRow{120, eShaderProgamType(7), "ImageProcess/three.ip3"},
                      PassRow{121, eShaderProgamType(7), "ImageProcess/retry.arb"}));

// Shader number, then the error text with its path left out. The parse-error text is for a
// position at the text's length; Mesa places the position of a program cut off before its END
// inside the last token, which gives the other text.
class ShaderRejected : public ::testing::TestWithParam<std::pair<uint16_t, const char*>> {};
TEST_P(ShaderRejected, DriverErrorsNameThePath) {
    RunOnWorker([] {
        Ready();
        SM::ResetShaderBinding(); // a failure stays until reset, also from an earlier run
        Shader* s = ByID(GetParam().first);
        std::string message;
        try {
            SM::BindShader(s, kProgramMain);
        } catch (const Error& e) {
            message = e.what();
        }
        SM::EnableShaders(false);
        EXPECT_EQ(message, String(GetParam().second, s->FilePath().str().c_str()).str());
        EXPECT_FALSE(SM::BindShader(s, kProgramMain)) << "stays failed until reset";
    });
}
INSTANTIATE_TEST_SUITE_P(
    Rows, ShaderRejected,
    ::testing::Values(std::make_pair(150, "ARB shader program error in \"%s\":"),
                      std::make_pair(152, "ARB shader program error in \"%s\":"),
                      std::make_pair(151, "ARB shader program error in \"%s\":")));

// The sample catalogue's displacement shader is the example deformer: it binds, takes its
// parameters and bounds through the manager, reports its largest move, and ripples a mesh's
// vertices by amplitude * sin(2 pi r / wavelength + phase) about the middle of the bounds.
TEST_ON_WORKER(ShaderManager, TheExampleDeformerBindsAndRipplesAMesh) {
    Fresh();
    SM::SetShaderPath(TESK_CATALOGUE);
    SM::Init();
    sFresh = false; // the next test builds its own catalogue again
    Shader* ripple = const_cast<Shader*>(SM::GetDisplacementShader("Ripple"));
    ASSERT_TRUE(ripple && ripple->HasCPUShaderComponent());
    ASSERT_TRUE(SM::BindShader(ripple, kProgramMain));
    SM::SetupDeformerInstance(nullptr);
    for (const auto& [name, value, index] :
         {std::tuple{"amplitude", 0.2f, 0}, {"wavelength", 2.0f, 1}, {"phase", 0.5f, 2}})
        SM::SetShaderParameter1f(kShaderCPU, name, value, index, kProgramMain);
    SM::SetDeformerBound(p3f(-1, -1, 0), p3f(3, 1, 0)); // centred on (1, 0)
    float largest = 0;
    SM::GetDeformerProperties(&largest);
    EXPECT_FLOAT_EQ(largest, 0.2f);
    const uint64_t module =
        TESK_AE::platform::OpenModule(TESK_CATALOGUE "/Displacement/ripple.cvs");
    auto process = reinterpret_cast<void (*)(float*, int32_t)>(
        TESK_AE::platform::FindSymbol(module, "Process"));
    ASSERT_TRUE(process);
    std::vector<float> mesh;
    for (int i = 0; i < 25; ++i) mesh.insert(mesh.end(), {i % 5 - 1.0f, i / 5 * 0.5f - 1, 0.25f});
    const std::vector<float> flat = mesh;
    process(mesh.data(), 25);
    for (int i = 0; i < 25; ++i) {
        const double r = std::hypot(flat[3 * i] - 1.0, flat[3 * i + 1]); // wavelength 2
        EXPECT_NEAR(mesh[3 * i + 2], 0.25 + 0.2 * std::sin(M_PI * r + 0.5), 1e-5) << i;
    }
    SM::SetdownDeformerInstance(nullptr);
    SM::EnableShaders(false);
}

// Clear destroys the descriptions and the program objects they made.
TEST_ON_WORKER(ShaderManager, ClearDeletesTheProgramObjects) {
    Ready();
    ASSERT_TRUE(SM::BindShader(ByID(101), kProgramMain));
    GLint bound = 0;
    TESK_GL(glGetProgramivARB)(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_BINDING_ARB, &bound);
    SM::EnableShaders(false);
    ASSERT_TRUE(TESK_GL(glIsProgramARB)(static_cast<GLuint>(bound)));
    SM::Clear();
    EXPECT_FALSE(TESK_GL(glIsProgramARB)(static_cast<GLuint>(bound)));
    sFresh = false; // the next test builds the catalogue again
}

TEST_ON_WORKER(ShaderManager, ResetMakesNewProgramsAndLoadsAgain) {
    Ready();
    ASSERT_TRUE(SM::BindShader(ByID(101), kProgramMain));
    GLint before = 0, after = 0;
    TESK_GL(glGetProgramivARB)(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_BINDING_ARB, &before);
    SM::EnableShaders(false);
    SM::ResetShaderBinding();
    EXPECT_FALSE(TESK_GL(glIsProgramARB)(static_cast<GLuint>(before)));
    ASSERT_TRUE(SM::BindShader(ByID(101), kProgramMain));
    TESK_GL(glGetProgramivARB)(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_BINDING_ARB, &after);
    EXPECT_TRUE(TESK_GL(glIsProgramARB)(static_cast<GLuint>(after)));
    EXPECT_EQ(BoundFragmentText(), FileText("Surface/flat.arb"));
    SM::EnableShaders(false);
}

TEST_ON_WORKER(ShaderManager, CpuModuleReceivesUploadsAndBounds) {
    Ready();
    Shader* wave = const_cast<Shader*>(SM::GetDisplacementShader("Wave"));
    ASSERT_TRUE(wave && wave->HasCPUShaderComponent());
    ASSERT_TRUE(SM::BindShader(wave, kProgramMain));
    const uint64_t module =
        TESK_AE::platform::OpenModule((Root() + "Displacement/wave.cvs").c_str());
    auto calls =
        reinterpret_cast<const char* (*)()>(TESK_AE::platform::FindSymbol(module, "TestCalls"));
    ASSERT_TRUE(calls);
    const std::string earlier = calls();
    const float axis[2] = {1, 2};
    SM::SetShaderParameter1f(kShaderCPU, "height", 0.25f, 0, kProgramMain);
    SM::SetShaderParameter2fv(kShaderCPU, "axis", axis, 1, kProgramMain);
    SM::SetShaderParameter1f(kShaderCPU, "spare", 0.5f, -3, kProgramMain); // the module's index
    SM::SetDeformerBound(p3f(0, 0, 0), p3f(1, 2, 3));
    SM::EnableShaders(true);
    SM::SetShaderParameter1f(kShaderCPU, "height", 9, 0, kProgramMain);
    EXPECT_EQ(std::string(calls()).substr(earlier.size()),
              "1f 0 0.25;3f 1 1 2 0;1f -3 0.5;bound 0 0 0 1 2 3;");

    // The same module as the sibling host binds utility shaders by name through the callbacks.
    ASSERT_TRUE(SM::SetMarlowAsShaderHost(module));
    auto bind = reinterpret_cast<bool (*)(const char*)>(
        TESK_AE::platform::FindSymbol(module, "HostBindUtility"));
    EXPECT_TRUE(bind("Util"));
    EXPECT_TRUE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
    EXPECT_FALSE(bind("None"));
    EXPECT_FALSE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
    EXPECT_FALSE(SM::IsShaderBound());
}

// The depth of the 3-D and the width of the rectangle texture where they are on, local parameter
// 2; then per coordinate S to Q of the active unit: generation on, its mode and plane.
std::vector<float> FunctionState(GLenum plane) {
    std::vector<float> state(6);
    const GLenum v = GL_TEXTURE_3D, r = GL_TEXTURE_RECTANGLE_ARB;
    if (glIsEnabled(v)) state[0] = TexParameter(v, GL_TEXTURE_DEPTH, 0);
    if (glIsEnabled(r)) state[1] = TexParameter(r, GL_TEXTURE_WIDTH, 0);
    TESK_GL(glGetProgramLocalParameterfvARB)(GL_FRAGMENT_PROGRAM_ARB, 2, &state[2]);
    for (GLenum c = GL_S; c <= GL_Q; ++c) {
        state.push_back(glIsEnabled(GL_TEXTURE_GEN_S + c - GL_S));
        state.resize(state.size() + 5);
        glGetTexGenfv(c, GL_TEXTURE_GEN_MODE, &state[state.size() - 5]);
        glGetTexGenfv(c, plane, &state[state.size() - 4]);
    }
    return state;
}

// FunctionState with generation on where `on` says and the coordinates marked in `set` given mode
// and the numbers 1 to 16 in order as planes; the others keep OpenGL's initial mode and planes.
std::vector<float> Want(const char* on, const char* set, GLint mode, float depth = 0,
                        float width = 0, float local = 0) {
    std::vector<float> want = {depth, width, local, local, local, local};
    for (int k = 0; k < 4; ++k) {
        want.insert(want.end(), {float(on[k] == '1'), float(set[k] == '1' ? mode : GL_EYE_LINEAR)});
        for (int j = 0; j < 4; ++j)
            want.push_back(set[k] == '1' ? 4.0f * k + j + 1 : j == k && k < 2 ? 1.0f : 0.0f);
    }
    return want;
}

// The whole kernel of side 11 whose quarter the 6 x 6 table holds, from its formula: the weights
// are a product of one factor per axis, so the sum is the square of one axis' sum.
double KernelTotal(double f) {
    double axis = 0;
    for (int i = -5; i <= 5; ++i) axis += std::pow(2.71828, -0.692041522491345 * i * i / f / f);
    return 0.4693438592958 * axis * axis;
}

// A Funcs argument, the coordinates generated before on the unit (-1: the first past the
// fixed-function units, where nothing may be touched); the plane read back and the state wanted.
using FunctionRow = std::tuple<const char*, const char*, int, GLenum, std::vector<float>>;
class ShaderFunctions : public ::testing::TestWithParam<FunctionRow> {};
TEST_P(ShaderFunctions, LeaveTheStateTheirTextAsks) {
    RunOnWorker([] {
        Ready();
        const auto& [arg, on, unitInRow, plane, want] = GetParam();
        const int unit = unitInRow < 0 ? Integer(GL_MAX_TEXTURE_UNITS) : unitInRow;
        Shader* funcs = ByID(160);
        ASSERT_TRUE(SM::BindShader(funcs, kProgramMain));
        TESK_GL(glProgramLocalParameter4fARB)(GL_FRAGMENT_PROGRAM_ARB, 2, 0, 0, 0, 0);
        glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_TRANSFORM_BIT);
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
        if (unitInRow >= 0) SM::EnableTexGen(on);
        // Eye planes given under this scale would be stored divided by it.
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glScalef(2, 2, 2);
        SM::ExecuteShaderFunctions(funcs->GetShaderArg(arg), ShaderValues(funcs, nullptr),
                                   kProgramMain);
        EXPECT_EQ(Floats(GL_MODELVIEW_MATRIX)[0], 2.0f);
        glPopMatrix();
        const std::vector<float> got = unitInRow >= 0 ? FunctionState(plane) : std::vector<float>();
        SM::EnableShaders(false);
        glPopAttrib();
        EXPECT_TRUE(got.size() == want.size() && PixelsNear(got, want, got.size(), 1, 1e-5, 1));
    });
}
const float kTotal = static_cast<float>(KernelTotal(1.5)); // s_size 3 gives the factor 1.5
INSTANTIATE_TEST_SUITE_P(
    Rows, ShaderFunctions,
    ::testing::Values(
        FunctionRow{"gen", "0101", 2, GL_OBJECT_PLANE, Want("1010", "0000", 0)},
        FunctionRow{"coords", "1001", 2, GL_OBJECT_PLANE, Want("1001", "1001", GL_OBJECT_LINEAR)},
        FunctionRow{"eye", "1010", 1, GL_EYE_PLANE, Want("1010", "1010", GL_EYE_LINEAR)},
        FunctionRow{"sphere", "1100", 0, GL_EYE_PLANE, Want("1100", "1100", GL_SPHERE_MAP)},
        FunctionRow{"ob5", "0110", 0, GL_OBJECT_PLANE, Want("0110", "0110", GL_OBJECT_LINEAR)},
        FunctionRow{"coords", "1111", -1, GL_OBJECT_PLANE, {}},
        FunctionRow{"volume", "0000", 2, GL_OBJECT_PLANE, Want("0000", "0000", 0, 16)},
        FunctionRow{"kernel", "0000", 2, GL_OBJECT_PLANE, Want("0000", "0000", 0, 0, 6, kTotal)}));

TEST_ON_WORKER(ShaderManager, ConvolutionKernelIsCachedWithinATolerance) {
    float scale = 0, total1 = 0;
    procedural::KernelWeights(1, 2.0f, total1);
    EXPECT_FLOAT_EQ(total1, 0.46934387f);
    const GLuint first = ShaderManagerInternals::Kernel("blur", 1.5f, scale);
    // The quarter kernel from its formula, and the weight of the whole kernel.
    std::vector<float> want(36);
    for (int j = 0; j < 6; ++j)
        for (int i = 0; i < 6; ++i)
            want[static_cast<size_t>(j) * 6 + i] = static_cast<float>(
                0.4693438592958 * std::pow(2.71828, -0.692041522491345 * (i * i + j * j) / 2.25));
    EXPECT_NEAR(scale, KernelTotal(1.5), 1e-5);
    std::vector<float> texels(36), marked(36, 0.0f);
    glGetTexImage(GL_TEXTURE_RECTANGLE_ARB, 0, GL_LUMINANCE, GL_FLOAT, texels.data());
    // GL_LUMINANCE keeps 8 bits: the weights come back rounded to 1/255.
    EXPECT_TRUE(PixelsNear(texels, want, 36, 6, 0.5 / 255 + 1e-6, 1));
    // A cached kernel is not rebuilt: what is written into it stays.
    glTexSubImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, 0, 0, 6, 6, GL_LUMINANCE, GL_FLOAT, marked.data());
    EXPECT_EQ(ShaderManagerInternals::Kernel("blur", 1.5005f, scale), first);
    glGetTexImage(GL_TEXTURE_RECTANGLE_ARB, 0, GL_LUMINANCE, GL_FLOAT, texels.data());
    EXPECT_EQ(texels, marked);
    ShaderManagerInternals::Kernel("blur", 1.503f, scale);
    glGetTexImage(GL_TEXTURE_RECTANGLE_ARB, 0, GL_LUMINANCE, GL_FLOAT, texels.data());
    EXPECT_NE(texels, marked);
    glDisable(GL_TEXTURE_RECTANGLE_ARB);
}

// Lattice noise by its formula, in double, from the library's lattice.
double NoiseReference(double x, double y, double z) {
    const std::vector<float>& L = procedural::Lattice();
    auto weight = [](double d) {
        return d < 1 ? d * d * d - 2 * d * d + 1 : d < 2 ? -d * d * d + 5 * d * d - 8 * d + 4 : 0;
    };
    const double p[3] = {x, y, z};
    double sum = 0;
    for (int c = -1; c <= 2; ++c)
        for (int b = -1; b <= 2; ++b)
            for (int a = -1; a <= 2; ++a) {
                const int o[3] = {a, b, c};
                double w = 1;
                int i[3];
                for (int k = 0; k < 3; ++k) {
                    i[k] = static_cast<int>(std::floor(p[k])) + o[k];
                    w *= weight(std::fabs(p[k] - i[k]));
                }
                sum += w * L[(((i[2] & 15) * 16) + (i[1] & 15)) * 16 + (i[0] & 15)];
            }
    return sum;
}

std::vector<uint8_t> VolumeReference(const std::string& name, int& w) {
    const int mode = name.rfind("NO", 0) == 0   ? 0
                     : name.rfind("VE", 0) == 0 ? 2
                     : name.rfind("RA", 0) == 0 ? 3
                     : name.rfind("DI", 0) == 0 ? 4
                                                : 1;
    w = mode == 3 ? 16 : 64;
    const double s = mode == 3 || mode == 4 ? 1 : 2;
    std::vector<uint8_t> out;
    for (int z = 0; z < w; ++z)
        for (int y = 0; y < w; ++y)
            for (int x = 0; x < w; ++x) {
                const double px = x / s - 0.5, py = y / s - 0.5, pz = z / s - 0.5;
                const double n = mode == 4 || mode == 3 ? 0 : NoiseReference(px, py, pz);
                const double u = px / w, v = py / w;
                const double L =
                    procedural::Lattice()[(((int(pz) & 15) * 16) + (int(py) & 15)) * 16 +
                                          (int(px) & 15)];
                double value =
                    mode == 0   ? (n + 1) / 2
                    : mode == 1 ? std::fabs(n)
                    : mode == 2 ? 1 - 2 * std::fabs(n)
                    : mode == 3 ? (L + 1) / 2
                                : 2 * std::sqrt(2 * (v - 0.5) * (v - 0.5) + (u - 0.5) * (u - 0.5));
                out.push_back(static_cast<uint8_t>(std::min(1.0, std::max(0.0, value)) * 255));
            }
    return out;
}

std::vector<uint8_t> ReadVolume(GLuint texture, int w) {
    std::vector<uint8_t> texels(static_cast<size_t>(w) * w * w);
    glBindTexture(GL_TEXTURE_3D, texture);
    glGetTexImage(GL_TEXTURE_3D, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

class ProceduralVolume : public ::testing::TestWithParam<const char*> {};
TEST_P(ProceduralVolume, VoxelsFollowTheLatticeFormulas) {
    RunOnWorker([] {
        int w = 0;
        const std::vector<uint8_t> want = VolumeReference(GetParam(), w);
        const GLuint texture = ShaderManagerInternals::Volume(GetParam());
        EXPECT_EQ(TexParameter(GL_TEXTURE_3D, GL_TEXTURE_DEPTH, 0), w);
        // One step where the float and double evaluations truncate on either side of a level.
        EXPECT_TRUE(PixelsNear(ReadVolume(texture, w), want, want.size(), w, 1, 1));
        glDisable(GL_TEXTURE_3D);
    });
}
INSTANTIATE_TEST_SUITE_P(Rows, ProceduralVolume,
                         ::testing::Values("NOISE", "noise", "VEINS", "RAW", "DISTANCE"));

// The volumes and kernel the manager keeps go with the context: in the next one, their old names
// belong to other textures (made here first), and the manager makes its own again.
TEST(ShaderManager, VolumesAndKernelsAreMadeAgainInTheNextContext) {
    UseLent lent;
    std::vector<uint8_t> voxels[2];
    for (int next = 0; next < 2; ++next) {
        TESK_AE::StaticList::Increment();
        RunOnWorker([&] {
            GLuint others[8];
            if (next) glGenTextures(8, others);
            for (int i = 0; next && i < 8; ++i) glBindTexture(GL_TEXTURE_2D, others[i]);
            float scale = 0;
            ShaderManagerInternals::Kernel("blur", 1.5f, scale);
            voxels[next] = ReadVolume(ShaderManagerInternals::Volume("RAW"), 16);
            glDisable(GL_TEXTURE_3D), glDisable(GL_TEXTURE_RECTANGLE_ARB);
            EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        });
        TESK_AE::StaticList::Decrement();
    }
    EXPECT_EQ(voxels[1], voxels[0]);
}

TEST_ON_WORKER(ShaderManager, FourthVolumeEvictsTheLeastUsed) {
    shadermgr::Get().textures.Finalize();
    auto volume = [](const char* name) { return ShaderManagerInternals::Volume(name); };
    const std::vector<uint8_t> raw = ReadVolume(volume("RAW"), 16);
    const auto entry0 = static_cast<uint8_t>((procedural::Lattice()[0] + 1) * 0.5f * 255);
    EXPECT_TRUE(raw[0] == entry0 && raw[1] == entry0) << "voxels 0 and 1 both take entry 0";
    volume("RAW");
    const std::vector<uint8_t> first = ReadVolume(volume("RAy"), 16);
    volume("RAx");
    volume("DI");
    EXPECT_EQ(shadermgr::Get().textures.slots[1].name, "DI");
    const GLuint again = volume("RAy");
    EXPECT_EQ(shadermgr::Get().textures.slots[2].name, "RAy");
    EXPECT_EQ(ReadVolume(again, 16), first);
    glDisable(GL_TEXTURE_3D);
}
