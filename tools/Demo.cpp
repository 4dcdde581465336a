#include "tools/Demo.h"

#include "tools/Commands.h"
#include "tools/CompositingDemo.h"
#include "tools/ContactSheet.h"
#include "tools/Failure.h"
#include "tools/ImageFile.h"
#include "tools/Operations.h"
#include "tools/SceneDemo.h"
#include "tools/ShaderDemo.h"
#include "tools/TestImages.h"
#include "tools/BitmapFont.h"

#include "gl/effects/ApplyMode.h"

#include <OpenImageIO/imagebufalgo.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <list>
#include <vector>

namespace cli {

namespace {

constexpr int kSide = 256;
constexpr int kThumbnail = 128;

struct Input {
    const char* name;
    OIIO::ImageBuf image;
};

struct Step {
    const char* name; // the command run
    std::vector<const char*> inputs;
    Size size;
    Rgba color;
    const char* what;
};

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

constexpr int kChartSide = 128;
constexpr int kChartColumns = 7;
constexpr int kCellWidth = 160;
constexpr int kCellHeight = kChartSide + 16;

// Every numbered blend mode of front over back, each result shown over a grey checker (so that
// its alpha shows) with its number and name under it. Returns how many modes failed.
int BlendChart(const std::string& file, const OIIO::ImageBuf& front, const OIIO::ImageBuf& back,
               Layout layout, Rows order) {
    const int rows = (OGL_TESK_AE::kPixelApplyModeCount + kChartColumns - 1) / kChartColumns;
    OIIO::ImageBuf chart(
        OIIO::ImageSpec(kChartColumns * kCellWidth, 24 + rows * kCellHeight, 4, OIIO::TypeFloat));
    const float ground[4] = {0.12f, 0.12f, 0.14f, 1.0f};
    OIIO::ImageBufAlgo::fill(chart, ground);
    DrawText(chart, 6, 8, "BLEND MODES: A COLOUR WHEEL (ALPHA 0.8) OVER A GRADIENT, MIX 1",
             {1, 1, 1, 1}, 1);
    int failures = 0;
    double total = 0.0;
    for (int mode = 0; mode < OGL_TESK_AE::kPixelApplyModeCount; ++mode) {
        const int left = (mode % kChartColumns) * kCellWidth + (kCellWidth - kChartSide) / 2;
        const int top = 24 + (mode / kChartColumns) * kCellHeight;
        const std::string name =
            OGL_TESK_AE::PixelApplyModeName(static_cast<OGL_TESK_AE::PixelApplyMode>(mode));
        OperationInput request;
        request.images = {&front, &back};
        request.mode = mode;
        double milliseconds = 0.0;
        OIIO::ImageBuf result;
        try {
            result = Apply(OperationOf("blend"), request, layout, order, &milliseconds);
            total += milliseconds;
        } catch (const Failure& failure) {
            ++failures;
            std::printf("blend %-28s failed  %s\n", name.c_str(), failure.what());
            continue;
        }
        for (int y = 0; y < kChartSide; ++y)
            for (int x = 0; x < kChartSide; ++x) {
                float p[4];
                result.getpixel(x, y, p, 4);
                const float checker = ((x / 8 + y / 8) % 2) ? 0.6f : 0.4f;
                float shown[4] = {0, 0, 0, 1};
                for (int c = 0; c < 3; ++c)
                    shown[c] = std::clamp(p[c], 0.0f, 1.0f) * p[3] + checker * (1.0f - p[3]);
                chart.setpixel(left + x, top + y, shown, 4);
            }
        DrawText(chart, left - (kCellWidth - kChartSide) / 2 + 4, top + kChartSide + 4,
                 std::to_string(mode) + " " + Upper(name), {0.9f, 0.9f, 0.9f, 1}, 1);
    }
    std::printf("%-13s %9.2f ms  %s (49 modes)\n", "blend", total, file.c_str());
    WriteImage(file, chart, Layout::Rgba8);
    return failures;
}

} // namespace

int RunDemo(const std::string& folder, Layout layout, Rows order) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder))
        throw Failure("cannot make the folder '" + folder + "'" +
                      (error ? ": " + error.message() : std::string()));
    const std::filesystem::path out(folder);

    std::printf("%s\n", HardwareReport().c_str());
    std::printf("Layout: %s (%s), rows %s\n\n", Describe(layout).name, Describe(layout).description,
                order == Rows::TopDown ? "top-down" : "bottom-up");

    std::list<Input> inputs;
    inputs.push_back({"gradient", Gradient(kSide, kSide)});
    inputs.push_back({"checker", Checker(kSide, kSide, 32)});
    inputs.push_back({"disc", SoftDisc(kSide, kSide)});
    inputs.push_back({"noise", Noise(kSide, kSide, 2024)});
    inputs.push_back({"wide-checker", Checker(kSide, kSide / 2, 32)});
    inputs.push_back({"small-disc", SoftDisc(kSide / 2, kSide / 2)});
    inputs.push_back({"wheel", ColourWheel(kChartSide, kChartSide)});
    inputs.push_back({"small-gradient", Gradient(kChartSide, kChartSide)});
    auto find = [&](const char* name) -> const OIIO::ImageBuf* {
        for (const Input& input : inputs)
            if (std::string(name) == input.name) return &input.image;
        return nullptr;
    };
    for (const Input& input : inputs)
        WriteImage((out / (std::string("input-") + input.name + ".png")).string(), input.image,
                   layout);

    const Size side{kSide, kSide};
    const Rgba none{0, 0, 0, 0};
    const std::vector<Step> steps = {
        {"premultiply", {"disc"}, side, none, "RGB*A, A"},
        {"copy", {"gradient"}, side, none, "UNCHANGED"},
        {"resize", {"checker"}, {256, 96}, none, "STRETCHED TO 256X96"},
        {"fit", {"wide-checker"}, {192, 192}, none, "INTO 192X192, ASPECT KEPT"},
        {"center", {"small-disc"}, side, none, "128X128 IN A 256X256 FRAME"},
        {"clear", {}, side, {0.2f, 0.45f, 0.9f, 0.6f}, "(0.2, 0.45, 0.9, 0.6)"},
        {"copy-alpha", {"disc", "gradient"}, side, none, "COLOUR OF 2ND, ALPHA OF 1ST"},
        {"mask", {"disc", "checker"}, side, {1, 0, 0, 1}, "RED WHERE MASK OPAQUE"},
        {"inverse-mask", {"disc", "checker"}, side, {1, 0, 0, 1}, "RED WHERE MASK TRANSPARENT"},
        {"alpha", {"disc"}, side, none, "ALPHA AS GREY"},
        {"luma", {"noise"}, side, none, "A*(.30R+.59G+.11B)"},
    };

    // The first operation of a process also compiles programs and fills caches; timed apart,
    // so that the times below are those of an operation on a running library.
    {
        const OIIO::ImageBuf small = SoftDisc(16, 16);
        OperationInput request;
        request.images.push_back(&small);
        double milliseconds = 0.0;
        try {
            Apply(OperationOf("premultiply"), request, layout, order, &milliseconds);
            std::printf("%-13s %9.2f ms  (first call: one-time set-up included)\n", "warm-up",
                        milliseconds);
        } catch (const Failure& failure) {
            std::printf("%-13s    failed  %s\n", "warm-up", failure.what());
        }
    }

    std::list<OIIO::ImageBuf> results;
    std::vector<SheetRow> rows;
    int failures = 0;
    for (const Step& step : steps) {
        OperationInput request;
        for (const char* name : step.inputs) request.images.push_back(find(name));
        request.size = step.size;
        request.color = step.color;
        SheetRow row;
        for (const char* name : step.inputs) row.inputs.push_back({Upper(name), find(name)});
        if (row.inputs.empty()) row.inputs.push_back({"NO INPUT", nullptr});
        const std::string file = (out / (std::string(step.name) + ".png")).string();
        double milliseconds = 0.0;
        try {
            results.push_back(Apply(OperationOf(step.name), request, layout, order, &milliseconds));
            WriteImage(file, results.back(), layout);
            std::printf("%-13s %9.2f ms  %s\n", step.name, milliseconds, file.c_str());
            char title[160];
            std::snprintf(title, sizeof title, "%s  %s  %.1f MS", Upper(step.name).c_str(),
                          step.what, milliseconds);
            row.title = title;
            row.output = {"RESULT", &results.back()};
        } catch (const Failure& failure) {
            ++failures;
            std::printf("%-13s    failed  %s\n", step.name, failure.what());
            row.title = Upper(step.name) + "  FAILED";
            row.output = {"FAILED", nullptr};
        }
        rows.push_back(std::move(row));
    }

    // The chart of every blend mode, and one row of it on the sheet.
    const std::string chart = (out / "blend-modes.png").string();
    failures += BlendChart(chart, *find("wheel"), *find("small-gradient"), layout, order);
    {
        OperationInput request;
        request.images = {find("wheel"), find("small-gradient")};
        request.mode = static_cast<int>(OGL_TESK_AE::PixelApplyMode::Screen);
        SheetRow row;
        row.title = "BLEND  ALL 49 MODES IN BLEND-MODES.PNG; HERE 4 SCREEN";
        row.inputs = {{"FRONT", find("wheel")}, {"BACK", find("small-gradient")}};
        try {
            results.push_back(Apply(OperationOf("blend"), request, layout, order));
            row.output = {"RESULT", &results.back()};
        } catch (const Failure&) {
            row.output = {"FAILED", nullptr};
        }
        rows.push_back(std::move(row));
    }
    int compositing = 0;
    failures += CompositingRows(out, layout, order, results, rows, compositing);

    // The checker turned 30 degrees and scaled to 0.6 over the gradient, without and with a box
    // filter first: unfiltered, its squares' edges shimmer where the smaller picture skips
    // texels.
    for (const int decim : {0, 1}) {
        OperationInput request;
        request.images = {find("checker"), find("gradient")};
        request.placement.rotation = {0.0f, 0.0f, 30.0f};
        request.placement.scale = {0.6f, 0.6f, 1.0f};
        request.placement.decim = decim;
        const char* name = decim ? "transform-box" : "transform";
        SheetRow row;
        row.title = decim ? "TRANSFORM  30 DEGREES, SCALE 0.6, BOX DECIMATION"
                          : "TRANSFORM  30 DEGREES, SCALE 0.6, NO DECIMATION";
        row.inputs = {{"FRONT", find("checker")}, {"BACK", find("gradient")}};
        const std::string file = (out / (std::string(name) + ".png")).string();
        double milliseconds = 0.0;
        try {
            results.push_back(
                Apply(OperationOf("transform"), request, layout, order, &milliseconds));
            WriteImage(file, results.back(), layout);
            std::printf("%-13s %9.2f ms  %s\n", name, milliseconds, file.c_str());
            row.output = {"RESULT", &results.back()};
        } catch (const Failure& failure) {
            ++failures;
            std::printf("%-13s    failed  %s\n", name, failure.what());
            row.output = {"FAILED", nullptr};
        }
        rows.push_back(std::move(row));
    }

    int shading = 0;
    failures += ShaderRows(out, layout, order, results, rows, shading);
    int scenes = 0;
    failures += SceneRows(out, layout, order, results, rows, scenes);

    const std::string heading =
        "TESK-AE DEMO  LAYOUT " + Upper(Describe(layout).name) + "  EACH IMAGE: COLOUR | ALPHA";
    const std::string sheet = (out / "contact-sheet.png").string();
    WriteImage(sheet, MakeContactSheet(heading, rows, kThumbnail), Layout::Rgba8);
    std::printf("\nContact sheet: %s\n", sheet.c_str());
    if (failures) {
        std::fprintf(stderr, "tesk-ae: %d of %zu operations failed\n", failures,
                     steps.size() + OGL_TESK_AE::kPixelApplyModeCount + compositing + shading +
                         scenes);
        return kFailed;
    }
    return kSuccess;
}

} // namespace cli
