#include "shaders/ShaderValues.h"

#include "shaders/Shader.h"

namespace OGL_TESK_AE {

ShaderValues::ShaderValues(ShaderTextures* textures) : fTextures(textures) {}

ShaderValues::ShaderValues(Shader* shader, ShaderTextures* textures) : fTextures(textures) {
    SetShader(shader);
}

ShaderValues::ShaderValues(const ShaderValues& other)
    : fShader(other.fShader), fVersion(other.fVersion), fValues(other.fValues) {}

ShaderValues& ShaderValues::operator=(const ShaderValues& other) {
    fShader = other.fShader;
    fVersion = other.fVersion;
    fValues = other.fValues;
    return *this;
}

ShaderValues& ShaderValues::operator=(Shader* shader) {
    SetShader(shader);
    return *this;
}

ShaderValues::~ShaderValues() = default;

void ShaderValues::SetShader(Shader* shader) {
    if (shader && shader == fShader && shader->Version() == fVersion &&
        shader->NumArgs() == NumValues())
        return;
    fShader = shader;
    fVersion = shader ? shader->Version() : 0;
    fValues.clear();
    for (int32_t i = 0; shader && i < shader->NumArgs(); ++i)
        fValues.push_back(static_cast<const Arg&>(*shader->GetShaderArg(i)));
}

void ShaderValues::Clear() {
    fShader = nullptr;
    fValues.clear();
}

Arg* ShaderValues::GetShaderArg(const char* name) {
    if (!fShader) return nullptr;
    const uint32_t index = fShader->GetArgIdx(name);
    if (index == 0xFFFFFFFFu || index >= fValues.size()) return nullptr;
    return &fValues[index];
}

XIImage* ShaderValues::GetMainTexture() const {
    if (!fShader || !fTextures) return nullptr;
    const auto found = fTextures->find(fShader->GetMainTextureName().str());
    return found == fTextures->end() ? nullptr : found->second;
}

} // namespace OGL_TESK_AE
