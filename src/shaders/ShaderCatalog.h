#pragma once

#include "common/Export.h"
#include "common/String.h"

#include <cstdint>

namespace OGL_TESK_AE {

class Shader;

// What a description parse asks of the catalogue that holds it: shaders by ID (for duplicate
// IDs and copyshader), the shader root, and CPU shader modules. The shader manager installs
// itself here; without one, the catalogue is empty and there are no modules.
class TESK_API ShaderCatalog {
public:
    virtual ~ShaderCatalog();
    virtual Shader* FindShader(uint32_t id) = 0;
    // Root folder of the shader files; categories are the folders below it.
    virtual String ShaderPath() const { return String(); }
    // A CPU module for the description at path: its handle, 0 for none.
    virtual uint64_t InitCpuShaderProgram(const char* path);
    // The description text of the current CPU module.
    virtual String CpuShaderData() { return String(); }
    // Whether surface sub-programs are taken in their ATI variants (".ati.tsl"); the manager
    // answers from the card, and without one no card is known.
    virtual bool IsATI() const { return false; }

    // The catalogue parses consult; null when none is installed.
    static ShaderCatalog* Current();
    static void SetCurrent(ShaderCatalog* catalog);
};

// Codes of the functions a texture argument may run (exectexturefunc): 1 EnableTexGen,
// 2 GenerateTextureCoord, 3 Set3dProceduralTexture, 4 Convolution, 5 CPUBlur; 0 for none.
TESK_API uint32_t ShaderFunctionID(const char* name);

} // namespace OGL_TESK_AE
