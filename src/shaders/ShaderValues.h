#pragma once

#include "common/Export.h"
#include "common/XIImage.h"
#include "math/Vector.h"
#include "shaders/Arg.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace OGL_TESK_AE {

class Shader;

// Images bound to texture arguments, by argument name; owned by the plug-in.
using ShaderTextures = std::map<std::string, XIImage*>;

// One independent set of values for one use of a shader: a copy of each argument's value, in
// declaration order, and the plug-in's images for its texture arguments.
class TESK_API ShaderValues {
public:
    explicit ShaderValues(ShaderTextures* textures);
    ShaderValues(Shader* shader, ShaderTextures* textures);
    // Copies take the shader, its version and the values; not the images nor the aspect.
    ShaderValues(const ShaderValues& other);
    ShaderValues& operator=(const ShaderValues& other);
    ShaderValues& operator=(Shader* shader);
    virtual ~ShaderValues();

    // Takes the shader's default values, unless they are already those of this shader at its
    // current version.
    void SetShader(Shader* shader);
    Shader* GetShader() const { return fShader; }
    ShaderTextures* GetTextures() const { return fTextures; }
    void Clear();
    // This set's value of the named argument; null when the shader has no such argument.
    Arg* GetShaderArg(const char* name);
    // The image bound to the shader's main texture, or null.
    XIImage* GetMainTexture() const;
    const p2f& TextureAspectAdjust() const { return fAspect; }
    void SetTextureAspectAdjust(const p2f& aspect) { fAspect = aspect; }
    int32_t NumValues() const { return static_cast<int32_t>(fValues.size()); }

private:
    Shader* fShader = nullptr;
    int32_t fVersion = 0;
    std::vector<Arg> fValues;
    ShaderTextures* fTextures = nullptr;
    p2f fAspect{1.0f, 1.0f};
};

} // namespace OGL_TESK_AE
