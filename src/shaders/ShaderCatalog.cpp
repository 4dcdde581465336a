#include "shaders/ShaderCatalog.h"

#include <cstring>

namespace OGL_TESK_AE {

namespace {

ShaderCatalog* sCatalog = nullptr;

struct Function {
    const char* name;
    size_t compared;
};
const Function kFunctions[] = {{"EnableTexGen", 12},
                               {"GenerateTextureCoord", 12},
                               {"Set3dProceduralTexture", 12},
                               {"Convolution", 11},
                               {"CPUBlur", 7}};

} // namespace

ShaderCatalog::~ShaderCatalog() = default;

uint64_t ShaderCatalog::InitCpuShaderProgram(const char*) {
    return 0;
}

ShaderCatalog* ShaderCatalog::Current() {
    return sCatalog;
}

void ShaderCatalog::SetCurrent(ShaderCatalog* catalog) {
    sCatalog = catalog;
}

uint32_t ShaderFunctionID(const char* name) {
    if (!name) return 0;
    for (uint32_t i = 0; i < sizeof kFunctions / sizeof kFunctions[0]; ++i)
        if (std::strncmp(name, kFunctions[i].name, kFunctions[i].compared) == 0) return i + 1;
    return 0;
}

} // namespace OGL_TESK_AE
