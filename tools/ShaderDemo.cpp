#include "tools/ShaderDemo.h"

#include "tools/Failure.h"
#include "tools/ImageFile.h"
#include "tools/Operations.h"
#include "tools/ShaderCommands.h"

#include "gl/state/Blend.h"
#include "gl/texture/TiledBuffer.h"
#include "shaders/ShaderManager.h"
#include "shaders/ShaderValues.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>
#include <string>

namespace cli {

namespace {

using namespace OGL_TESK_AE;

constexpr int kSide = 256;

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

// The shader over the whole destination: a unit quad scaled to the picture, so that the
// object-linear coordinates the stone shaders generate run from 0 to 1 across it.
void Draw(Shader* shader, XIImage* destination) {
    ShaderTextures textures;
    ShaderValues values(shader, &textures);
    TiledBuffer tiles(destination);
    while (tiles.Next()) {
        ShaderScope scope;
        PushBlendFunc overwrite(BlendFunc::Overwrite());
        if (!ShaderManager::BindShader(shader, kProgramMain))
            throw Failure("the shader '" + shader->Name().str() + "' does not bind");
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

} // namespace

int ShaderRows(const std::filesystem::path& out, Layout layout, Rows order,
               std::list<OIIO::ImageBuf>& results, std::vector<SheetRow>& rows, int& ran) {
    const struct {
        const char* shader;
        const char* file;
        const char* volume;
    } kPanels[] = {{"Stone", "shader-stone", "NOISE"},
                   {"Veined Stone", "shader-veined-stone", "VEINS"},
                   {"Polished Stone", "shader-polished-stone", "DISTANCE"}};
    // The sample catalogue whatever the environment names, so that the pictures are the same
    // everywhere.
    const std::string root = SampleCatalogue();
    int failures = 0;
    double total = 0.0;
    ran = 0;
    std::vector<SheetImage> shown;
    for (const auto& panel : kPanels) {
        ++ran;
        HostImage destination(layout, kSide, kSide, order);
        std::string error;
        const auto start = std::chrono::steady_clock::now();
        const bool drawn = RunOnWorker(
            [&]() {
                ShaderManager::SetShaderPath(root.c_str());
                ShaderManager::Init();
                const Shader* shader = ShaderManager::GetSurfaceShader(panel.shader);
                if (!shader)
                    throw Failure("no surface shader '" + std::string(panel.shader) + "' in " +
                                  ShaderManager::ShaderPath().str());
                Draw(const_cast<Shader*>(shader), &destination);
            },
            error);
        const double milliseconds =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        if (!drawn) {
            ++failures;
            std::printf("%-13s    failed  %s\n", "shader", OneLine(error).c_str());
            shown.push_back({std::string(panel.volume) + " FAILED", nullptr});
            continue;
        }
        total += milliseconds;
        results.push_back(destination.Load());
        const std::string path = (out / (std::string(panel.file) + ".png")).string();
        WriteImage(path, results.back(), layout);
        std::printf("%-13s %9.2f ms  %s\n", "shader", milliseconds, path.c_str());
        shown.push_back({panel.volume, &results.back()});
    }
    char title[160];
    std::snprintf(title, sizeof title,
                  "SHADER  STONE SURFACE SHADERS, ONE 3-D TEXTURE ARGUMENT  %.1f MS", total);
    SheetRow row;
    row.title = title;
    row.output = shown.back();
    shown.pop_back();
    row.inputs = shown;
    rows.push_back(std::move(row));
    return failures;
}

} // namespace cli
