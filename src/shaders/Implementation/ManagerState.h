#pragma once

// The shader manager's process-wide state, shared by its catalogue, its program back-ends and
// its procedural textures. Worker thread only.

#include "common/String.h"
#include "gl/texture/Resource.h"
#include "shaders/Shader.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace OGL_TESK_AE {
namespace shadermgr {

// Tables by name; the state's list of all shaders owns them.
using ShaderTable = std::map<std::string, Shader*>;

// Entry points of a CPU shader module.
using DescriptionFn = int32_t (*)(char* buffer, int32_t length);
using SetParameter1fFn = void (*)(int32_t index, float x);
using SetParameter3fFn = void (*)(int32_t index, float x, float y, float z);
using SetBoundFn = void (*)(float minX, float minY, float minZ, float maxX, float maxY, float maxZ);
using OpaqueFn = void (*)(void* block);

struct CpuModule {
    uint64_t handle = 0;
    DescriptionFn description = nullptr;
    SetParameter1fFn setParameter1f = nullptr;
    SetParameter3fFn setParameter3f = nullptr;
    SetBoundFn setBound = nullptr;
    void* process = nullptr;
    void* setHostInfo = nullptr;
    OpaqueFn getProperties = nullptr;
    OpaqueFn instanceSetup = nullptr;
    OpaqueFn instanceSetdown = nullptr;
};

// The textures the shader functions make, kept from call to call. A resource: the library's
// release deletes them before their context goes, since a name kept past it would be another
// texture, or none, in the next context.
class ProceduralTextures final : public Resource {
public:
    struct Convolution {
        std::string name;
        float factor = 0.0f;
        int32_t size = 0;
        uint32_t texture = 0;
        float scale = 0.0f;
    } convolution;

    struct Slot {
        std::string name;
        uint32_t texture = 0;
        uint32_t uses = 0;
    } slots[3];

    // Called with each texture made, so that the next release finds it.
    void Made() const { Relist(); }
    void Finalize() override;
    void Dump() const override {}
};

struct State {
    bool available = false;
    bool availabilityKnown = false;
    bool initialised = false;
    std::vector<std::unique_ptr<Shader>> all;
    ShaderTable volume, surface, displacement, light, imageProcess, procedural, utility;
    std::map<uint32_t, Shader*> byID;
    std::map<std::string, std::vector<uint32_t>> subGroups;
    std::map<std::string, uint32_t> subGroupDefaults;
    Shader* bound = nullptr;
    Shader* boundGpu = nullptr;
    Shader* boundCpu = nullptr;
    uint32_t fragmentProgram = 0, vertexProgram = 0;
    CpuModule module;
    String root;
    bool rootKnown = false;

    ProceduralTextures textures;
};

State& Get();

// Forgets the bound shaders, programs and module, as EnableShaders(true) does.
void ClearBinding();

} // namespace shadermgr
} // namespace OGL_TESK_AE
