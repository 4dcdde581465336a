// The catalogue of shader descriptions, the binding of one shader and the upload of its values.
#include "shaders/ShaderManager.h"

#include "common/Errors.h"
#include "gl/context/Capabilities.h"
#include "gl/context/Implementation/EntryPoints.h"
#include "gl/context/HardwareInfo.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "shaders/Implementation/ManagerState.h"
#include "shaders/Implementation/ProceduralTextures.h"
#include "shaders/Implementation/Numbers.h"
#include "shaders/ShaderCatalog.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace OGL_TESK_AE {

namespace shadermgr {

State& Get() {
    static State state;
    return state;
}

void ClearBinding() {
    State& s = Get();
    s.bound = s.boundGpu = s.boundCpu = nullptr;
    s.fragmentProgram = s.vertexProgram = 0;
    s.module = CpuModule();
}

} // namespace shadermgr

namespace {

using shadermgr::Get;
using shadermgr::ShaderTable;
using shadermgr::State;

// What description parses ask of the catalogue, answered from the manager's tables.
class ManagerCatalog : public ShaderCatalog {
public:
    Shader* FindShader(uint32_t id) override {
        const auto found = Get().byID.find(id);
        return found == Get().byID.end() ? nullptr : found->second;
    }
    String ShaderPath() const override { return ShaderManager::ShaderPath(); }
    uint64_t InitCpuShaderProgram(const char* path) override {
        return ShaderManager::InitCpuShaderProgram(path);
    }
    String CpuShaderData() override { return ShaderManager::CpuShaderData(); }
    bool IsATI() const override { return OGL_TESK_AE::IsATI(); }
};

ManagerCatalog sCatalog;

const char* const kInstallKey = "HKEY_LOCAL_MACHINE\\Software\\Tarnwell, Inc.\\";

// '/' separators, no doubled ones, one at the end, so that the files found below the root
// begin with exactly this text (the shaders' folders are what follows it).
String RootFolder(const std::string& folder) {
    if (folder.empty()) return String();
    std::string root =
        std::filesystem::path(TESK_AE::platform::NativePath(folder.c_str())).lexically_normal();
    if (root.back() != '/') root += '/';
    return String(root);
}

void CheckExtensions() {
    State& s = Get();
    if (s.availabilityKnown) return;
    s.availabilityKnown = true;
    s.available = IsExtensionSupported("GL_ARB_multitexture") &&
                  IsExtensionSupported("GL_ARB_vertex_program") &&
                  IsExtensionSupported("GL_ARB_fragment_program") &&
                  IsExtensionSupported("GL_ARB_texture_rectangle") &&
                  IsExtensionSupported("GL_ARB_texture_cube_map");
}

bool PathHas(const std::string& path, const char* folder) {
    return TESK_AE::platform::NativePath(path.c_str()).find(folder) != std::string::npos;
}

ShaderTable* TableOf(eRSShaderType category) {
    State& s = Get();
    switch (category) {
    case kRSVolume:
        return &s.volume;
    case kRSSurface:
        return &s.surface;
    case kRSDisplacement:
        return &s.displacement;
    case kRSLight:
        return &s.light;
    case kRSImageProcess:
        return &s.imageProcess;
    case kRSProcedural:
        return &s.procedural;
    default:
        return nullptr;
    }
}

// A shader loaded from path, or null when its description does not load.
std::unique_ptr<Shader> Load(const std::string& path) {
    std::unique_ptr<Shader> shader(new Shader);
    try {
        shader->LoadDefault(path.c_str());
    } catch (const std::exception&) {
        return nullptr;
    }
    return shader;
}

void Names(const ShaderTable& table, std::vector<String>& names) {
    ShaderManager::Init();
    names.clear();
    for (const auto& entry : table) names.push_back(String(entry.first));
}

const Shader* Find(const ShaderTable& table, const char* name) {
    const auto found = name ? table.find(name) : table.end();
    return found == table.end() ? nullptr : found->second;
}

void DisablePrograms() {
    glDisable(GL_FRAGMENT_PROGRAM_ARB);
    glDisable(GL_VERTEX_PROGRAM_ARB);
}

// The register of an upload: the one given, else the program's register of that name; -1 when
// neither is known.
int32_t RegisterOf(const Shader* shader, const char* name, int32_t reg, eShaderProgamType kind) {
    return reg >= 0 ? reg : static_cast<int32_t>(shader->GetArbID(name, kind));
}

// One upload of count values (1 for a single float).
void Upload(eShaderType destination, const char* name, const float* v, int count, int32_t reg,
            eShaderProgamType kind) {
    State& s = Get();
    if (!s.available || !v) return;
    const float x = v[0], y = count > 1 ? v[1] : 0.0f, z = count > 2 ? v[2] : 0.0f;
    if (destination == kShaderCPU) {
        // The register is the module's own index and is handed over as it is, negative too:
        // what an index means is the module's affair.
        if (!s.boundCpu) return;
        if (count == 1 && s.module.setParameter1f)
            s.module.setParameter1f(reg, x);
        else if (count > 1 && s.module.setParameter3f)
            s.module.setParameter3f(reg, x, y, z);
    } else if (destination == kShaderVertex) {
        if (!s.boundGpu) return;
        const int32_t index = RegisterOf(s.boundGpu, name, reg, kind);
        if (index < 0) return;
        const GLuint i = static_cast<GLuint>(index);
        if (count == 1)
            TESK_GL(glVertexAttrib1fARB)(i, x);
        else if (count == 2)
            TESK_GL(glVertexAttrib3fARB)(i, x, y, 1.0f);
        else if (count == 3)
            TESK_GL(glVertexAttrib3fARB)(i, x, y, z);
        else
            TESK_GL(glVertexAttrib4fARB)(i, x, y, z, v[3]);
    } else if (destination == kShaderFragment) {
        if (!s.bound) return;
        const int32_t index = RegisterOf(s.bound, name, reg, kind);
        if (index < 0) return;
        const GLuint i = static_cast<GLuint>(index);
        auto set = TESK_GL(glProgramLocalParameter4fARB);
        if (count == 1)
            set(GL_FRAGMENT_PROGRAM_ARB, i, x, x, x, x);
        else if (count == 2)
            set(GL_FRAGMENT_PROGRAM_ARB, i, x, y, 0.0f, 0.0f);
        else if (count == 3)
            set(GL_FRAGMENT_PROGRAM_ARB, i, x, y, z, 1.0f);
        else
            set(GL_FRAGMENT_PROGRAM_ARB, i, x, y, z, v[3]);
    }
}

} // namespace

// ---- catalogue

void ShaderManager::Init() {
    State& s = Get();
    if (s.initialised) return;
    s.initialised = true;
    ShaderCatalog::SetCurrent(&sCatalog);
    CheckExtensions();
    const std::string root = ShaderPath().str();

    const std::vector<std::string> mainFiles = TESK_AE::platform::FindFiles(
        root, {"cvs", OGL_TESK_AE::IsATI() ? "atb" : "arb", "arp", "ipl", "drb"});
    for (const std::string& file : mainFiles) {
        if (PathHas(file, "/Source/")) continue;
        const bool legacy = PathHas(file, "/Legacy/");
        String path(file);
        path.FixPath();
        std::unique_ptr<Shader> shader = Load(path.str());
        if (!shader) continue;

        const uint32_t id = shader->ID();
        const std::vector<String>& folders = shader->GetShaderCategory();
        if (folders.size() >= 2) {
            const std::string group = folders[1].str();
            if (s.subGroupDefaults.find(group) == s.subGroupDefaults.end())
                s.subGroupDefaults[group] = id;
            s.subGroups[group].push_back(id);
            if (shader->IsSubCategoryDefault()) s.subGroupDefaults[group] = id;
        }

        ShaderTable* table = TableOf(shader->Type());
        if (!table) continue;
        const bool named = shader->Type() == kRSSurface ? !shader->SimpleCopyShader() && !legacy
                           : shader->Type() == kRSDisplacement ? !legacy
                                                               : true;
        // A name met twice keeps its first shader; the second stays reachable by its ID.
        if (named) table->emplace(shader->Name().str(), shader.get());
        s.byID[id] = shader.get();
        s.all.push_back(std::move(shader));
    }

    SetCategoryDefaults();

    const std::vector<std::string> utilityFiles = TESK_AE::platform::FindFiles(root, {"utl"});
    for (auto file = utilityFiles.rbegin(); file != utilityFiles.rend(); ++file) {
        std::unique_ptr<Shader> shader = Load(*file);
        if (!shader) continue;
        s.utility.emplace(shader->Name().str(), shader.get());
        s.byID[shader->ID()] = shader.get();
        s.all.push_back(std::move(shader));
    }
}

void ShaderManager::SetCategoryDefaults() {
    State& s = Get();
    auto addType = [](Shader* shader, int32_t value) {
        const uint32_t id = shader->ID() + static_cast<uint32_t>(shader->NumArgs()) + 2048u;
        const String text("%d", value);
        shader->AddArg(std::unique_ptr<ShaderArg>(
            new ShaderArg(-1, id, "Type: ", "submenu", text.str().c_str(), "0 256", "", "", 1)));
    };
    for (const auto& group : s.subGroups) {
        std::vector<Shader*> copies;
        int32_t position = static_cast<int32_t>(group.second.size()) - 1;
        for (auto id = group.second.rbegin(); id != group.second.rend(); ++id, --position) {
            const auto found = s.byID.find(*id);
            if (found == s.byID.end()) continue;
            if (found->second->SimpleCopyShader())
                copies.push_back(found->second);
            else
                addType(found->second, position);
        }
        for (auto copy = copies.rbegin(); copy != copies.rend(); ++copy) {
            const Shader* master =
                GetShaderFromID(MakeShaderID(static_cast<uint16_t>((*copy)->FrontEndMasterID())));
            addType(*copy, master ? master->GetInt("Type: ") : 0);
        }
    }
}

void ShaderManager::Clear() {
    State& s = Get();
    for (ShaderTable* table : {&s.volume, &s.surface, &s.displacement, &s.light, &s.imageProcess,
                               &s.procedural, &s.utility})
        table->clear();
    s.byID.clear();
    s.subGroups.clear();
    s.subGroupDefaults.clear();
    s.bound = s.boundGpu = s.boundCpu = nullptr;
    // The descriptions own their program objects; destroyed without them, the objects would
    // stay on the card with no one left to delete them.
    for (const auto& shader : s.all) shader->ResetShaderBinding();
    s.all.clear();
}

void ShaderManager::GetVolumeShaderNames(std::vector<String>& names) {
    Names(Get().volume, names);
}
void ShaderManager::GetSurfaceShaderNames(std::vector<String>& names) {
    Names(Get().surface, names);
}
void ShaderManager::GetDisplacementShaderNames(std::vector<String>& names) {
    Names(Get().displacement, names);
}
void ShaderManager::GetLightShaderNames(std::vector<String>& names) {
    Names(Get().light, names);
}
void ShaderManager::GetImageProcessShaderNames(std::vector<String>& names) {
    Names(Get().imageProcess, names);
}
void ShaderManager::GetProceduralShaderNames(std::vector<String>& names) {
    Names(Get().procedural, names);
}

const Shader* ShaderManager::GetVolumeShader(const char* name) {
    return Find(Get().volume, name);
}
const Shader* ShaderManager::GetSurfaceShader(const char* name) {
    return Find(Get().surface, name);
}
const Shader* ShaderManager::GetDisplacementShader(const char* name) {
    return Find(Get().displacement, name);
}
const Shader* ShaderManager::GetLightShader(const char* name) {
    return Find(Get().light, name);
}
const Shader* ShaderManager::GetImageProcessShader(const char* name) {
    return Find(Get().imageProcess, name);
}
const Shader* ShaderManager::GetProceduralShader(const char* name) {
    return Find(Get().procedural, name);
}
const Shader* ShaderManager::GetUtilityShader(const char* name) {
    return Find(Get().utility, name);
}

const Shader* ShaderManager::GetShaderFromID(uint32_t id) {
    return sCatalog.FindShader(id);
}

const Shader* ShaderManager::GetShaderFromUIID(uint16_t n) {
    return GetShaderFromID(MakeShaderID(n));
}

uint32_t ShaderManager::MakeShaderID(uint16_t n) {
    return (static_cast<uint32_t>(n) + 4096u) << 16;
}

uint32_t ShaderManager::MakeShaderFrontEndID(uint32_t id) {
    const int64_t n = static_cast<int64_t>(id >> 16) - 4096;
    return n >= 0 && n <= 4096 ? static_cast<uint32_t>(n) : 65535u;
}

const std::vector<uint32_t>* ShaderManager::GetShaderIDsInSubGroup(const char* name) {
    Init();
    const auto found = name ? Get().subGroups.find(name) : Get().subGroups.end();
    return found == Get().subGroups.end() ? nullptr : &found->second;
}

uint32_t ShaderManager::GetSubGroupDefaultID(const char* name) {
    const auto found = name ? Get().subGroupDefaults.find(name) : Get().subGroupDefaults.end();
    return found == Get().subGroupDefaults.end() ? 0 : found->second;
}

void ShaderManager::ReloadShader(const char* name) {
    Shader* shader = const_cast<Shader*>(GetSurfaceShader(name));
    if (!shader) shader = const_cast<Shader*>(GetDisplacementShader(name));
    if (!shader) return;
    // Reading the description again does not touch the programs made from it.
    const std::vector<uint32_t> programs = shader->fProgramIDs;
    const std::vector<char> errors = shader->fErrors;
    const uint32_t vertex = shader->fVertexProgram;
    ShaderCatalog::SetCurrent(&sCatalog);
    shader->LoadDefault(nullptr);
    for (size_t i = 0; i < programs.size(); ++i) {
        if (i < shader->fProgramIDs.size()) {
            shader->fProgramIDs[i] = programs[i];
            shader->fErrors[i] = errors[i];
        } else {
            uint32_t surplus = programs[i];
            DeleteArbShader(surplus);
        }
    }
    shader->fVertexProgram = vertex;
}

bool ShaderManager::ShadersAvailable() {
    return Get().available;
}

const String& ShaderManager::ShaderPath() {
    State& s = Get();
    if (s.rootKnown) return s.root;
    s.rootKnown = true;
    if (const char* folder = std::getenv("TESK_AE_SHADERS"); folder && *folder) {
        s.root = RootFolder(folder);
        return s.root;
    }
    std::string install;
    if (TESK_AE::platform::Registry::ReadString(kInstallKey, "MasterDirectory", install) &&
        !install.empty()) {
        // The value holds at most 1024 bytes, its terminating NUL included.
        if (install.size() > 1023) install.resize(1023);
        s.root = RootFolder(install + "/shaders");
    }
    return s.root;
}

void ShaderManager::SetShaderPath(const char* root) {
    State& s = Get();
    s.root = RootFolder(root ? root : "");
    s.rootKnown = true;
}

void ShaderManager::ShaderAlert(const String& text) {
    shadertext::Fail(text.str());
}

// ---- binding and uploads

bool ShaderManager::BindShader(Shader* shader, eShaderProgamType kind) {
    State& s = Get();
    if (!s.available || !shader || !shader->Valid()) return false;
    if (shader->Type() == kRSDisplacement) {
        if (!BindCpuShader(shader)) return false;
        s.boundCpu = shader;
    } else {
        glEnable(GL_FRAGMENT_PROGRAM_ARB);
        if (shader->fVertexProgram != 0) glEnable(GL_VERTEX_PROGRAM_ARB);
        bool bound = BindArbShader(shader, kind);
        if (!bound && kind != kProgramMain) bound = BindArbShader(shader, kProgramMain);
        if (!bound) {
            DisablePrograms();
            return false;
        }
    }
    s.bound = s.boundGpu = shader;
    return true;
}

void ShaderManager::EnableShaders(bool enable) {
    if (!Get().available) return;
    shadermgr::ClearBinding();
    if (!enable) DisablePrograms();
}

bool ShaderManager::IsShaderBound() {
    const State& s = Get();
    return s.available && (s.boundGpu || s.bound);
}

bool ShaderManager::IsBinormalTangentShaderBound() {
    const State& s = Get();
    if (!s.available || !s.boundGpu) return false;
    const auto& registers = s.boundGpu->Registers(0);
    const auto tangent = registers.find("tangent");
    return tangent != registers.end() && tangent->second > 0;
}

void ShaderManager::ResetShaderBinding() {
    for (const auto& shader : Get().all) shader->ResetShaderBinding();
}

uint32_t ShaderManager::GetShaderParameterVertexArbID(const char* name) {
    const Shader* shader = Get().boundGpu;
    return shader ? shader->GetArbID(name, kProgramMain) : 0xFFFFFFFFu;
}

void ShaderManager::SetShaderParameter1f(eShaderType destination, const char* name, float x,
                                         int32_t reg, eShaderProgamType kind) {
    Upload(destination, name, &x, 1, reg, kind);
}

void ShaderManager::SetShaderParameter2fv(eShaderType destination, const char* name, const float* v,
                                          int32_t reg, eShaderProgamType kind) {
    Upload(destination, name, v, 2, reg, kind);
}

void ShaderManager::SetShaderParameter3fv(eShaderType destination, const char* name, const float* v,
                                          int32_t reg, eShaderProgamType kind) {
    Upload(destination, name, v, 3, reg, kind);
}

void ShaderManager::SetShaderParameter4fv(eShaderType destination, const char* name, const float* v,
                                          int32_t reg, eShaderProgamType kind) {
    Upload(destination, name, v, 4, reg, kind);
}

eShaderFunc ShaderManager::GetShaderFunctionID(const char* name) {
    return static_cast<eShaderFunc>(ShaderFunctionID(name));
}

void ShaderManager::ExecuteShaderFunctions(const ShaderArg* arg, const ShaderValues& values,
                                           eShaderProgamType kind) {
    if (!arg) return;
    const std::vector<uint32_t>& functions = arg->ExecuteFunctions();
    const std::vector<String>& arguments = arg->ExecuteArguments();
    for (size_t i = 0; i < functions.size() && i < arguments.size(); ++i) {
        const char* text = arguments[i].str().c_str();
        switch (functions[i]) {
        case kFuncEnableTexGen:
            EnableTexGen(text);
            break;
        case kFuncGenerateTextureCoord:
            GenerateTextureCoord(text);
            break;
        case kFuncSet3dProceduralTexture:
            Set3dProceduralTexture(text);
            break;
        case kFuncConvolution: {
            // Reading a value does not change the set; only the accessor is not const.
            const Arg* size = const_cast<ShaderValues&>(values).GetShaderArg("s_size");
            const Shader* shader = values.GetShader();
            const uint32_t reg = shader ? shader->GetArbID("factor", kind) : 0xFFFFFFFFu;
            if (!size || reg == 0xFFFFFFFFu) break;
            const float s = size->GetType() == kArgFloat || size->GetType() == kArgAngle ||
                                    size->GetType() == kArgTime
                                ? size->GetFloat()
                                : static_cast<float>(size->GetInt());
            float scale = 0.0f;
            SetConvolution(text, s * 0.5f, scale, 6);
            if (Get().available && Get().bound) TESK_GL(glProgramLocalParameter4fARB)
            (GL_FRAGMENT_PROGRAM_ARB, reg, scale, scale, scale, scale);
            break;
        }
        default:
            break;
        }
    }
}

void ShaderManager::EnableTexGen(const char* text) {
    static const GLenum kCoordinates[] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R,
                                          GL_TEXTURE_GEN_Q};
    const size_t length = text ? std::strlen(text) : 0;
    for (size_t k = 0; k < 4; ++k) {
        if (k < length && text[k] == '1')
            glEnable(kCoordinates[k]);
        else
            glDisable(kCoordinates[k]);
    }
}

bool ShaderManager::GenerateTextureCoord(const char* text) {
    GLint active = 0, units = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
    const GLint unit = active - static_cast<GLint>(GL_TEXTURE0);
    // Units are numbered from 0: the one numbered GL_MAX_TEXTURE_UNITS has no coordinate
    // generation, and every call below would raise GL_INVALID_OPERATION there.
    if (unit < 0 || unit >= units || !text) return false;
    char modeWord[64], planeWord[64];
    float p[16];
    if (std::sscanf(text, "%63s %63s %f %f %f %f %f %f %f %f %f %f %f %f %f %f %f %f", modeWord,
                    planeWord, &p[0], &p[1], &p[2], &p[3], &p[4], &p[5], &p[6], &p[7], &p[8], &p[9],
                    &p[10], &p[11], &p[12], &p[13], &p[14], &p[15]) != 18)
        return false;
    const GLint mode = std::strncmp(modeWord, "GL_OB", 5) == 0   ? GL_OBJECT_LINEAR
                       : std::strncmp(modeWord, "GL_SP", 5) == 0 ? GL_SPHERE_MAP
                                                                 : GL_EYE_LINEAR;
    const GLenum plane = std::strncmp(planeWord, "GL_OB", 5) == 0 ? GL_OBJECT_PLANE : GL_EYE_PLANE;
    static const GLenum kGen[] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R,
                                  GL_TEXTURE_GEN_Q};
    static const GLenum kCoord[] = {GL_S, GL_T, GL_R, GL_Q};
    bool enabled[4];
    for (int k = 0; k < 4; ++k) {
        enabled[k] = glIsEnabled(kGen[k]) == GL_TRUE;
        if (enabled[k]) glTexGeni(kCoord[k], GL_TEXTURE_GEN_MODE, mode);
    }
    // Eye planes are taken through the current modelview matrix; identity keeps them as given.
    GLint matrixMode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    for (int k = 0; k < 4; ++k)
        if (enabled[k]) glTexGenfv(kCoord[k], plane, &p[k * 4]);
    glPopMatrix();
    glMatrixMode(static_cast<GLenum>(matrixMode));
    return true;
}

uint32_t ShaderManager::SetConvolution(const char* name, float factor, float& scale, int32_t size) {
    shadermgr::ProceduralTextures::Convolution& c = Get().textures.convolution;
    const std::string text = name ? name : "";
    glEnable(GL_TEXTURE_RECTANGLE_ARB);
    if (c.texture != 0 && c.name == text && std::fabs(c.factor - factor) <= 0.001f &&
        c.size == size && glIsTexture(c.texture)) {
        glBindTexture(GL_TEXTURE_RECTANGLE_ARB, c.texture);
        scale = c.scale;
        return c.texture;
    }
    if (c.texture != 0) glDeleteTextures(1, &c.texture);
    c.name = text;
    c.factor = factor;
    c.size = size;
    c.texture = MakeKernelTexture(size, factor, c.scale);
    Get().textures.Made();
    scale = c.scale;
    return c.texture;
}

} // namespace OGL_TESK_AE
