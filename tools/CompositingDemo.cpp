#include "tools/CompositingDemo.h"

#include "tools/BitmapFont.h"
#include "tools/Failure.h"
#include "tools/ImageFile.h"
#include "tools/Operations.h"
#include "tools/TestImages.h"

#include <OpenImageIO/imagebufalgo.h>

#include <cstdio>

namespace cli {

namespace {

constexpr int kSide = 256;
// The checker's squares and the blur's size: at one size the three kernels spread the squares'
// edges over plainly different widths (the Pascal's binomial weights are the narrowest).
constexpr int kCell = 16;
constexpr float kBlurSize = 16.0f;

// Light in the shape of a word over the rest, which is (0, 0, 0, 0) or, with opaque, black.
// Premultiplied either way, so that blurs spread the light without darkening its edges.
OIIO::ImageBuf GlowShape(bool opaque) {
    OIIO::ImageBuf shape(OIIO::ImageSpec(kSide, kSide, 4, OIIO::TypeFloat));
    const float black[4] = {0.0f, 0.0f, 0.0f, opaque ? 1.0f : 0.0f};
    OIIO::ImageBufAlgo::fill(shape, black);
    const int scale = 10;
    DrawText(shape, (kSide - TextWidth("GLOW", scale)) / 2, (kSide - kGlyphHeight * scale) / 2,
             "GLOW", {1.0f, 0.85f, 0.45f, 1.0f}, scale);
    return shape;
}

// The gradient at a fifth of its light, opaque: a night the glow shows against.
OIIO::ImageBuf Dark() {
    const float dim[4] = {0.2f, 0.2f, 0.25f, 1.0f};
    return OIIO::ImageBufAlgo::mul(Gradient(kSide, kSide), OIIO::cspan<float>(dim));
}

} // namespace

int CompositingRows(const std::filesystem::path& out, Layout layout, Rows order,
                    std::list<OIIO::ImageBuf>& results, std::vector<SheetRow>& rows, int& ran) {
    auto keep = [&](OIIO::ImageBuf image) {
        results.push_back(std::move(image));
        return &results.back();
    };
    const OIIO::ImageBuf* checker = keep(Checker(kSide, kSide, kCell));
    // The demo's wheel and small gradient; the ops that take their source premultiplied get it.
    const OIIO::ImageBuf* wheel =
        keep(OIIO::ImageBufAlgo::premult(ColourWheel(kSide / 2, kSide / 2)));
    const OIIO::ImageBuf* gradient = keep(Gradient(kSide / 2, kSide / 2));
    const OIIO::ImageBuf* light = keep(GlowShape(true));
    const OIIO::ImageBuf* shape = keep(GlowShape(false));
    const OIIO::ImageBuf* dark = keep(Dark());
    const std::pair<const char*, const OIIO::ImageBuf*> written[] = {{"fine-checker", checker},
                                                                     {"premultiplied-wheel", wheel},
                                                                     {"glow-light", light},
                                                                     {"glow-shape", shape},
                                                                     {"dark", dark}};
    for (const auto& [name, image] : written)
        WriteImage((out / ("input-" + std::string(name) + ".png")).string(), *image, layout);

    int failures = 0;
    ran = 0;
    auto run = [&](const char* name, const std::string& file, const std::string& what,
                   const char* command, const OperationInput& request,
                   std::vector<SheetImage> inputs) {
        ++ran;
        SheetRow row;
        row.inputs = std::move(inputs);
        const std::string path = (out / (file + ".png")).string();
        double milliseconds = 0.0;
        try {
            const OIIO::ImageBuf* result =
                keep(Apply(OperationOf(command), request, layout, order, &milliseconds));
            WriteImage(path, *result, layout);
            std::printf("%-13s %9.2f ms  %s\n", name, milliseconds, path.c_str());
            char title[160];
            std::snprintf(title, sizeof title, "%s  %s  %.1f MS", file.c_str(), what.c_str(),
                          milliseconds);
            row.title = title;
            row.output = {"RESULT", result};
        } catch (const Failure& failure) {
            ++failures;
            std::printf("%-13s    failed  %s\n", name, failure.what());
            row.title = file + "  FAILED";
            row.output = {"FAILED", nullptr};
        }
        rows.push_back(std::move(row));
    };

    const std::pair<BlurKernel, const char*> kernels[] = {{BlurKernel::Gaussian, "gaussian"},
                                                          {BlurKernel::Box, "box"},
                                                          {BlurKernel::Pascal, "pascal"}};
    for (const auto& [kernel, kernelName] : kernels) {
        OperationInput request;
        request.images = {checker};
        request.kernel = kernel;
        request.blurs = {{kBlurSize, kBlurSize}};
        run("blur", std::string("blur-") + kernelName, "SIZE 16, " + std::string(kernelName),
            "blur", request, {{"FINE-CHECKER", checker}});
    }

    for (const char* op : {"Composite", "Screen", "Difference"}) {
        OperationInput request;
        request.images = {wheel, gradient};
        request.op = ParseBlendOp(op);
        std::string file = std::string("composite-") + op;
        file[10] = static_cast<char>(file[10] - 'A' + 'a');
        run("composite", file, "OP " + std::string(op) + ", WHEEL PREMULTIPLIED", "composite",
            request, {{"FG", wheel}, {"BG", gradient}});
    }

    // The light on black makes the halo: a layer counts with its alpha twice as it is stacked,
    // so an opaque one glows at full strength. The sharp shape lies on top of it.
    OperationInput request;
    request.images = {dark, light, shape};
    request.blurs = {{40.0f, 40.0f}, {0.0f, 0.0f}};
    request.op = ParseBlendOp("Screen");
    run("glow", "glow", "LIGHT BLURRED 40, SHAPE ON TOP; SCREEN", "glow", request,
        {{"LIGHT", light}, {"SHAPE", shape}, {"BACKGROUND", dark}});
    return failures;
}

} // namespace cli
