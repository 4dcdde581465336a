#include "tools/ShaderDemo.h"

#include "tools/Catalogue.h"
#include "tools/Failure.h"
#include "tools/ImageFile.h"
#include "tools/Operations.h"
#include "tools/ShaderCommands.h"

#include "shaders/ShaderManager.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace cli {

namespace {

using namespace OGL_TESK_AE;

constexpr int kSide = 256;

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
                DrawSurfaceShader(const_cast<Shader*>(shader), &destination);
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
