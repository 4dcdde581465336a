#include "tools/Catalogue.h"

#include "gl/state/Blend.h"
#include "gl/texture/TiledBuffer.h"
#include "shaders/Shader.h"
#include "shaders/ShaderManager.h"
#include "shaders/ShaderValues.h"

#include <GL/gl.h>

#include <algorithm>
#include <set>
#include <stdexcept>

namespace cli {

using namespace OGL_TESK_AE;

std::string BindError(const Shader* shader) {
    std::string failure;
    try {
        if (!ShaderManager::BindShader(const_cast<Shader*>(shader), kProgramMain))
            failure = shader->Type() == kRSDisplacement ? "no usable CPU module"
                                                        : "a program file is missing";
    } catch (const std::exception& e) {
        failure = e.what();
    }
    ShaderManager::EnableShaders(false);
    return failure;
}

std::vector<CatalogueEntry> ListCatalogue() {
    using Lister = void (*)(std::vector<String>&);
    using Getter = const Shader* (*)(const char*);
    const struct {
        const char* name;
        Lister list;
        Getter get;
    } kCategories[] = {
        {"volume", ShaderManager::GetVolumeShaderNames, ShaderManager::GetVolumeShader},
        {"surface", ShaderManager::GetSurfaceShaderNames, ShaderManager::GetSurfaceShader},
        {"displacement", ShaderManager::GetDisplacementShaderNames,
         ShaderManager::GetDisplacementShader},
        {"light", ShaderManager::GetLightShaderNames, ShaderManager::GetLightShader},
        {"imageProcess", ShaderManager::GetImageProcessShaderNames,
         ShaderManager::GetImageProcessShader},
        {"procedural", ShaderManager::GetProceduralShaderNames, ShaderManager::GetProceduralShader},
    };
    std::vector<CatalogueEntry> entries;
    auto add = [&](const char* category, const Shader* shader, const char* kind) {
        CatalogueEntry entry;
        entry.category = category;
        entry.name = shader->Name().str();
        entry.id = shader->FrontEndID();
        const std::vector<String>& folders = shader->GetShaderCategory();
        if (folders.size() >= 2) {
            entry.group = folders[1].str();
            entry.groupDefault =
                ShaderManager::GetSubGroupDefaultID(entry.group.c_str()) == shader->ID();
        }
        entry.kind = kind;
        entry.failure = BindError(shader);
        entries.push_back(entry);
    };
    std::vector<String> names;
    std::vector<uint32_t> named;
    for (const auto& category : kCategories) {
        category.list(names);
        for (const String& name : names) {
            const Shader* shader = category.get(name.str().c_str());
            named.push_back(shader->ID());
            add(category.name, shader, "");
        }
    }
    for (uint32_t n = 0; n <= 4096; ++n) {
        const Shader* shader = ShaderManager::GetShaderFromUIID(static_cast<uint16_t>(n));
        if (shader && std::find(named.begin(), named.end(), shader->ID()) == named.end())
            add("by ID only", shader,
                ShaderManager::GetUtilityShader(shader->Name().str().c_str()) == shader ? "utility"
                : shader->SimpleCopyShader()                                            ? "copy"
                                                                                        : "legacy");
    }
    return entries;
}

namespace {

// Undoes what binding a shader and running its texture functions leave switched on, at the end
// of each tile and also when an exception passes, so that the tile is read back (and the next
// operation starts) with none of it.
class ShaderScope {
public:
    ShaderScope() = default;
    ShaderScope(const ShaderScope&) = delete;
    ShaderScope& operator=(const ShaderScope&) = delete;
    ~ShaderScope() {
        ShaderManager::EnableShaders(false);
        for (const GLenum unit : fUnits) {
            glActiveTexture(unit);
            ShaderManager::EnableTexGen("0000");
            glDisable(GL_TEXTURE_3D);
            glDisable(GL_TEXTURE_RECTANGLE_ARB);
        }
        glActiveTexture(GL_TEXTURE0);
    }
    // Makes a texture unit active; its switches are undone at the end.
    void Use(int32_t unit) {
        fUnits.insert(GL_TEXTURE0 + static_cast<GLenum>(unit));
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    }

private:
    std::set<GLenum> fUnits;
};

// One value of the set to the bound shader's programs, as a plug-in sends it: registers looked
// up by name, CPU arguments by their index. Texture arguments run their functions on their unit
// (the procedural volume and the coordinates it is read with).
void Upload(const ShaderArg& arg, ShaderValues& values, ShaderScope& scope) {
    const std::string& name = arg.Name().str();
    const Arg* value = values.GetShaderArg(name.c_str());
    if (!value) return;
    const eShaderType to = arg.ArgDest();
    const int32_t reg = to == kShaderCPU ? arg.ParameterIndex() : -1;
    switch (value->GetType()) {
    case kArgColor:
        ShaderManager::SetShaderParameter4fv(to, name.c_str(), value->GetFloatPtr(), reg,
                                             kProgramMain);
        break;
    case kArgPoint:
        ShaderManager::SetShaderParameter3fv(to, name.c_str(), value->GetFloatPtr(), reg,
                                             kProgramMain);
        break;
    case kArgFloat:
    case kArgAngle:
    case kArgTime:
        ShaderManager::SetShaderParameter1f(
            to, name.c_str(), arg.ApplyArgModifiers(value->GetFloat()), reg, kProgramMain);
        break;
    case kArgBool:
    case kArgInt:
        ShaderManager::SetShaderParameter1f(to, name.c_str(), static_cast<float>(value->GetInt()),
                                            reg, kProgramMain);
        break;
    default:
        if (!arg.IsTextureArg()) break;
        scope.Use(std::max(0, arg.HwRegsiterID(0)));
        ShaderManager::ExecuteShaderFunctions(&arg, values, kProgramMain);
    }
}

} // namespace

void DrawSurfaceShader(Shader* shader, XIImage* destination) {
    ShaderTextures textures;
    ShaderValues values(shader, &textures);
    TiledBuffer tiles(destination);
    while (tiles.Next()) {
        ShaderScope scope;
        PushBlendFunc overwrite(BlendFunc::Overwrite());
        if (!ShaderManager::BindShader(shader, kProgramMain))
            throw std::runtime_error("the shader '" + shader->Name().str() + "' does not bind");
        for (int32_t i = 0; i < shader->NumArgs(); ++i)
            Upload(*shader->GetShaderArg(i), values, scope);
        glScalef(static_cast<float>(tiles.Width()), static_cast<float>(tiles.Height()), 1.0f);
        glBegin(GL_QUADS);
        glVertex2f(0.0f, 0.0f);
        glVertex2f(1.0f, 0.0f);
        glVertex2f(1.0f, 1.0f);
        glVertex2f(0.0f, 1.0f);
        glEnd();
    }
}

} // namespace cli
