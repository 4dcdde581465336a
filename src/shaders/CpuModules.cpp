// CPU shader modules: dynamic libraries that deform geometry for displacement shaders, driven
// through a fixed set of exported entry points.
#include "platform/Module.h"
#include "shaders/Implementation/ManagerState.h"
#include "shaders/ShaderManager.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>
#include <string>
#include <vector>

namespace OGL_TESK_AE {

namespace {

using shadermgr::CpuModule;

template <class F> F Entry(uint64_t module, const char* name) {
    return reinterpret_cast<F>(TESK_AE::platform::FindSymbol(module, name));
}

// A module is used only with all five required entry points, although the library itself
// never calls "Process": a module without it cannot deform anything for its host.
void MakeCurrent(uint64_t handle) {
    CpuModule& current = shadermgr::Get().module;
    current = CpuModule();
    if (handle == 0) return;
    CpuModule m;
    m.handle = handle;
    m.description = Entry<shadermgr::DescriptionFn>(handle, "Description");
    m.setParameter1f = Entry<shadermgr::SetParameter1fFn>(handle, "SetParameter1f");
    m.setParameter3f = Entry<shadermgr::SetParameter3fFn>(handle, "SetParameter3f");
    m.setBound = Entry<shadermgr::SetBoundFn>(handle, "SetBound");
    m.process = TESK_AE::platform::FindSymbol(handle, "Process");
    m.setHostInfo = TESK_AE::platform::FindSymbol(handle, "SetHostInfo");
    m.getProperties = Entry<shadermgr::OpaqueFn>(handle, "GetProperties");
    m.instanceSetup = Entry<shadermgr::OpaqueFn>(handle, "InstanceSetup");
    m.instanceSetdown = Entry<shadermgr::OpaqueFn>(handle, "InstanceSetdown");
    if (m.description && m.setParameter1f && m.setParameter3f && m.setBound && m.process)
        current = m;
}

bool IsModulePath(const char* path) {
    const char* dot = path ? std::strrchr(path, '.') : nullptr;
    return dot && std::strcmp(dot + 1, "cvs") == 0;
}

// The module of the bound CPU shader, or null.
const CpuModule* BoundModule() {
    const shadermgr::State& s = shadermgr::Get();
    return s.boundCpu && s.module.handle ? &s.module : nullptr;
}

bool UtilityBind(const char* name) {
    const bool available = ShaderManager::ShadersAvailable();
    if (available) shadermgr::ClearBinding();
    Shader* shader = const_cast<Shader*>(ShaderManager::GetUtilityShader(name));
    if (ShaderManager::BindShader(shader, kProgramMain)) return true;
    if (available) {
        glDisable(GL_FRAGMENT_PROGRAM_ARB);
        glDisable(GL_VERTEX_PROGRAM_ARB);
        shadermgr::ClearBinding();
    }
    return false;
}

void Unbind() {
    if (!ShaderManager::ShadersAvailable()) return;
    glDisable(GL_FRAGMENT_PROGRAM_ARB);
    glDisable(GL_VERTEX_PROGRAM_ARB);
    shadermgr::ClearBinding();
}

} // namespace

uint64_t ShaderManager::InitCpuShaderProgram(const char* path) {
    if (!IsModulePath(path)) {
        MakeCurrent(0);
        return 0;
    }
    MakeCurrent(TESK_AE::platform::OpenModule(path));
    return shadermgr::Get().module.handle;
}

String ShaderManager::CpuShaderData() {
    const CpuModule& m = shadermgr::Get().module;
    if (!m.description) return String();
    const int32_t length = m.description(nullptr, 0);
    if (length <= 0) return String();
    std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
    m.description(text.data(), length);
    // An enciphered text may hold zero bytes, so the length counts, not the first NUL.
    return String(std::string(text.data(), static_cast<size_t>(length)));
}

bool ShaderManager::BindCpuShader(Shader* shader) {
    if (shader->fCpuModule == 0) {
        if (shader->fErrors.empty() || shader->fErrors[0]) return false;
        shader->fCpuModule = InitCpuShaderProgram(shader->FilePath().str().c_str());
        if (shader->fCpuModule == 0) {
            shader->fErrors[0] = 1;
            return false;
        }
    }
    MakeCurrent(shader->fCpuModule);
    return shadermgr::Get().module.handle != 0;
}

void ShaderManager::SetDeformerBound(const p3f& min, const p3f& max) {
    if (const CpuModule* m = BoundModule()) m->setBound(min.x, min.y, min.z, max.x, max.y, max.z);
}

void ShaderManager::GetDeformerProperties(void* properties) {
    const CpuModule* m = BoundModule();
    if (m && m->getProperties) m->getProperties(properties);
}

void ShaderManager::SetupDeformerInstance(void* instance) {
    const CpuModule* m = BoundModule();
    if (m && m->instanceSetup) m->instanceSetup(instance);
}

void ShaderManager::SetdownDeformerInstance(void* instance) {
    const CpuModule* m = BoundModule();
    if (m && m->instanceSetdown) m->instanceSetdown(instance);
}

bool ShaderManager::SetMarlowAsShaderHost(uint64_t module) {
    using UtilityCallback = bool (*)(const char*);
    using UnbindCallback = void (*)();
    const auto setUtility = Entry<void (*)(UtilityCallback)>(module, "SetMarlowUtilityCallback");
    const auto setUnbind = Entry<void (*)(UnbindCallback)>(module, "SetMarlowUnbindShader");
    if (setUtility) setUtility(&UtilityBind);
    if (setUnbind) setUnbind(&Unbind);
    return setUtility && setUnbind;
}

} // namespace OGL_TESK_AE
