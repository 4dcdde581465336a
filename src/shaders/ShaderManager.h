#pragma once

#include "common/Export.h"
#include "common/String.h"
#include "math/Vector.h"
#include "shaders/Shader.h"
#include "shaders/ShaderArg.h"
#include "shaders/ShaderTypes.h"
#include "shaders/ShaderValues.h"

#include <cstdint>
#include <vector>

namespace OGL_TESK_AE {

// Codes of the functions a texture argument may run when it is bound.
enum eShaderFunc : uint32_t {
    kFuncNone = 0,
    kFuncEnableTexGen = 1,
    kFuncGenerateTextureCoord = 2,
    kFuncSet3dProceduralTexture = 3,
    kFuncConvolution = 4,
    kFuncCPUBlur = 5,
};

// The process-wide catalogue of shader descriptions by category, name and ID, and the binding
// of one shader at a time with the upload of its argument values. Everything runs on the
// worker thread with the library's context current, and nothing is locked.
class TESK_API ShaderManager {
public:
    ShaderManager() = delete;

    // ---- catalogue

    // Builds the catalogue from the description files below the shader root, once per process.
    static void Init();
    // Destroys every description; a later Init does not rebuild them.
    static void Clear();
    // Each runs Init, then lists the category's names in order.
    static void GetVolumeShaderNames(std::vector<String>& names);
    static void GetSurfaceShaderNames(std::vector<String>& names);
    static void GetDisplacementShaderNames(std::vector<String>& names);
    static void GetLightShaderNames(std::vector<String>& names);
    static void GetImageProcessShaderNames(std::vector<String>& names);
    static void GetProceduralShaderNames(std::vector<String>& names);
    // Lookups by name never run Init; null when the name is unknown.
    static const Shader* GetVolumeShader(const char* name);
    static const Shader* GetSurfaceShader(const char* name);
    static const Shader* GetDisplacementShader(const char* name);
    static const Shader* GetLightShader(const char* name);
    static const Shader* GetImageProcessShader(const char* name);
    static const Shader* GetProceduralShader(const char* name);
    static const Shader* GetUtilityShader(const char* name);
    static const Shader* GetShaderFromID(uint32_t id);
    static const Shader* GetShaderFromUIID(uint16_t n);
    // (n + 4096) * 65536, and back; 65535 for an ID no shader number makes.
    static uint32_t MakeShaderID(uint16_t n);
    static uint32_t MakeShaderFrontEndID(uint32_t id);
    // Shaders two folders deep share the sub-group of the folder below their category.
    static const std::vector<uint32_t>* GetShaderIDsInSubGroup(const char* name);
    static uint32_t GetSubGroupDefaultID(const char* name);
    // Re-reads the surface (else displacement) shader of that name from its file.
    static void ReloadShader(const char* name);
    static bool ShadersAvailable();
    // The root folder of the shader files, ending in a separator: the one set with
    // SetShaderPath, else the environment variable TESK_AE_SHADERS, else the "shaders" folder of
    // the install folder recorded in the registry ("MasterDirectory"); empty when none is known.
    static const String& ShaderPath();
    // Chooses the root for the next Init (a host that ships its catalogue elsewhere).
    static void SetShaderPath(const char* root);
    [[noreturn]] static void ShaderAlert(const String& text);

    // ---- binding and uploads

    // Displacement shaders bind their CPU module; others their ARB programs for kind, falling
    // back to kind 0. False when shaders are unavailable or the programs do not load.
    static bool BindShader(Shader* shader, eShaderProgamType kind);
    // Forgets the bound shaders; false also turns the program targets off.
    static void EnableShaders(bool enable);
    static bool IsShaderBound();
    static bool IsBinormalTangentShaderBound();
    // Deletes every shader's program objects, so the next bind loads them again (after the
    // context was made anew).
    static void ResetShaderBinding();
    // The vertex attribute of the bound GPU shader's register; 0xFFFFFFFF when none.
    static uint32_t GetShaderParameterVertexArbID(const char* name);
    // Uploads to the bound CPU module (by parameter index), vertex attribute or fragment
    // program local parameter; a negative register is looked up by name in the program's
    // register table. Nothing happens when the target is not bound or the register unknown.
    static void SetShaderParameter1f(eShaderType destination, const char* name, float x,
                                     int32_t reg, eShaderProgamType kind);
    static void SetShaderParameter2fv(eShaderType destination, const char* name, const float* v,
                                      int32_t reg, eShaderProgamType kind);
    static void SetShaderParameter3fv(eShaderType destination, const char* name, const float* v,
                                      int32_t reg, eShaderProgamType kind);
    static void SetShaderParameter4fv(eShaderType destination, const char* name, const float* v,
                                      int32_t reg, eShaderProgamType kind);
    static eShaderFunc GetShaderFunctionID(const char* name);
    // Runs the functions a texture argument names, with the values of its shader.
    static void ExecuteShaderFunctions(const ShaderArg* arg, const ShaderValues& values,
                                       eShaderProgamType kind);
    // '1' turns texture-coordinate generation on for S, T, R, Q in turn, anything else off.
    static void EnableTexGen(const char* text);
    // "MODE PLANE" and sixteen numbers: the S, T, R and Q planes of the enabled coordinates.
    static bool GenerateTextureCoord(const char* text);

    // ---- CPU shader modules

    // Loads the module of a "cvs" description and makes it current; its handle, or 0 when the
    // path is no module or lacks a required entry point.
    static uint64_t InitCpuShaderProgram(const char* path);
    // The current module's description text.
    static String CpuShaderData();
    // Calls of the bound CPU module; nothing when none is bound.
    static void SetDeformerBound(const p3f& min, const p3f& max);
    static void GetDeformerProperties(void* properties);
    static void SetupDeformerInstance(void* instance);
    static void SetdownDeformerInstance(void* instance);
    // Hands the sibling host module the library's utility-bind and unbind callbacks; true when
    // it takes both.
    static bool SetMarlowAsShaderHost(uint64_t module);

private:
    friend struct ShaderManagerInternals;

    static void SetCategoryDefaults();
    static bool BindCpuShader(Shader* shader);
    static bool BindArbShader(Shader* shader, eShaderProgamType kind);
    static bool LoadArbShader(const char* path, uint32_t target);
    static void DeleteArbShader(uint32_t& program);
    static bool BindCgShader(Shader* shader, eShaderProgamType kind);
    static uint32_t Set3dProceduralTexture(const char* name);
    static uint32_t SetConvolution(const char* name, float factor, float& scale, int32_t size);
};

} // namespace OGL_TESK_AE
