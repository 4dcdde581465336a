#include "tools/Operations.h"

#include "tools/Failure.h"

#include "common/Buffer.h"
#include "common/Errors.h"
#include "common/Reason.h"
#include "common/Shared.h"
#include "gl/context/HardwareInfo.h"
#include "gl/effects/ApplyMode.h"
#include "ops/BasicOps.h"
#include "ops/Transform.h"
#include "ops/Blur.h"
#include "ops/Composite.h"

#include <chrono>
#include <memory>

namespace cli {

namespace {

using namespace OGL_TESK_AE;

// A task of the program's own: the exported operations only keep a failure as the worker's
// error text, so each call runs inside a task whose result says whether it got through.
class WorkerJob final : public Shared {
public:
    explicit WorkerJob(const std::function<void()>& job) : fJob(job) {}
    void Run() override { fJob(); }

private:
    const std::function<void()>& fJob;
};

const OIIO::ImageBuf& Image(const OperationInput& input, size_t index) {
    if (index >= input.images.size() || !input.images[index])
        throw Failure("internal error: an input image is missing");
    return *input.images[index];
}

Color ToColor(const Rgba& rgba) {
    return Color(rgba[0], rgba[1], rgba[2], rgba[3]);
}

const BlendOp& BlendOpAt(int op) {
    static const BlendOp* const ops[kBlendOpCount] = {
        &BlendOp::Default,     &BlendOp::Composite, &BlendOp::Additive,   &BlendOp::Lighten,
        &BlendOp::Screen,      &BlendOp::Max,       &BlendOp::Min,        &BlendOp::Darken,
        &BlendOp::Subtractive, &BlendOp::Multiply,  &BlendOp::Difference, &BlendOp::Replace};
    if (op < 0 || op >= kBlendOpCount)
        throw Failure("internal error: no blend op " + std::to_string(op));
    return *ops[op];
}

BlurSize Blurred(const OperationInput& input, size_t index) {
    if (index >= input.blurs.size()) throw Failure("internal error: a blur size is missing");
    return input.blurs[index];
}

Size SizeOf(const OIIO::ImageBuf& image) {
    return {image.spec().width, image.spec().height};
}

// The library's buffers keep rows bottom-up; files and the program's buffers are top-down.
template <class PixelType>
OIIO::ImageBuf FromPlane(const Buffer<PixelType>& plane, const char* what) {
    if (!IsValid(&plane)) throw Error(what);
    const int width = plane.GetWidth(), height = plane.GetHeight();
    OIIO::ImageBuf image(OIIO::ImageSpec(width, height, 1, OIIO::TypeFloat));
    for (int y = 0; y < height; ++y)
        image.set_pixels(OIIO::ROI(0, width, y, y + 1, 0, 1, 0, 1), OIIO::TypeFloat,
                         plane.Row(height - 1 - y));
    return image;
}

} // namespace

bool RunOnWorker(const std::function<void()>& job, std::string& error) {
    WorkerJob task(job);
    if (task.ThreadQueue()) return true;
    error = Shared::ErrorMessage();
    return false;
}

std::string HardwareReport() {
    std::string report, error;
    if (RunOnWorker([&]() { report = HardwareInfoString(); }, error)) return report;
    return HardwareInfoString();
}

OIIO::ImageBuf Apply(Operation operation, const OperationInput& input, Layout layout, Rows rows,
                     double* milliseconds) {
    std::unique_ptr<HostImage> first, second, third, destination;
    std::vector<std::unique_ptr<HostImage>> layers;
    auto host = [&](const OIIO::ImageBuf& image) {
        return std::make_unique<HostImage>(layout, image, rows);
    };
    auto blank = [&](int width, int height) {
        return std::make_unique<HostImage>(layout, width, height, rows);
    };
    const bool plane = operation == Operation::Alpha || operation == Operation::Luma;
    switch (operation) {
    case Operation::Clear:
        destination = blank(input.size.width, input.size.height);
        break;
    case Operation::Premultiply:
    case Operation::Copy:
        first = host(Image(input, 0));
        destination = blank(first->GetWidth(), first->GetHeight());
        break;
    case Operation::Resize:
    case Operation::Fit:
    case Operation::Center:
        first = host(Image(input, 0));
        destination = blank(input.size.width, input.size.height);
        break;
    case Operation::CopyAlpha:
        first = host(Image(input, 0));
        destination = host(Image(input, 1));
        break;
    case Operation::Mask:
    case Operation::InverseMask: {
        first = host(Image(input, 0));
        second = host(Image(input, 1));
        const Size size = SizeOf(Image(input, 1));
        destination = blank(size.width, size.height);
        break;
    }
    case Operation::Alpha:
    case Operation::Luma:
        first = host(Image(input, 0));
        break;
    case Operation::Blur:
        first = host(Image(input, 0));
        destination = blank(first->GetWidth(), first->GetHeight());
        break;
    case Operation::Glow:
        first = host(Image(input, 0));
        for (size_t i = 1; i < input.images.size(); ++i) {
            layers.push_back(host(Image(input, i)));
            layers.back()->SetReadOnly(true);
        }
        destination = blank(first->GetWidth(), first->GetHeight());
        break;
    case Operation::Composite:
    case Operation::Blend:
    case Operation::Transform: {
        first = host(Image(input, 0));
        second = host(Image(input, 1));
        if (input.images.size() > 2) third = host(Image(input, 2));
        const Size size = SizeOf(Image(input, 1));
        destination = blank(size.width, size.height);
        break;
    }
    }
    for (HostImage* source : {first.get(), second.get(), third.get()})
        if (source) source->SetReadOnly(true);

    const Color color = ToColor(input.color);
    OIIO::ImageBuf result;
    // Why the operation refused, read where it ran: the reason belongs to the calling thread.
    std::string refused;
    auto job = [&]() {
        struct Reason {
            std::string& refused;
            ~Reason() { refused = LastOperationReason(); }
        } reason{refused};
        switch (operation) {
        case Operation::Premultiply:
            Premultiply(first.get(), destination.get());
            break;
        case Operation::Copy:
            Copy(first.get(), destination.get());
            break;
        case Operation::Resize:
            Resize(first.get(), destination.get());
            break;
        case Operation::Fit:
            FitInto(first.get(), destination.get());
            break;
        case Operation::Center:
            Center(first.get(), destination.get());
            break;
        case Operation::Clear:
            OGL_TESK_AE::Clear(destination.get(), color);
            break;
        case Operation::CopyAlpha:
            CopyAlpha(first.get(), destination.get());
            break;
        case Operation::Mask:
            RenderMask(first.get(), second.get(), destination.get(), color);
            break;
        case Operation::InverseMask:
            RenderInvMask(first.get(), second.get(), destination.get(), color);
            break;
        case Operation::Alpha: {
            // The library's buffers come from its memory cache, which belongs to the worker:
            // made, filled and read here, inside the task.
            Buffer<AlphaPixelType<float>> alpha;
            alpha.Resize(input.size.width, input.size.height);
            GetAlpha(first.get(), &alpha);
            result = FromPlane(alpha, "No memory for the alpha buffer.");
            break;
        }
        case Operation::Luma: {
            Buffer<LumaPixelType<float>> luma;
            luma.Resize(input.size.width, input.size.height);
            GetLuma(first.get(), &luma);
            result = FromPlane(luma, "No memory for the luma buffer.");
            break;
        }
        case Operation::Blend:
            ApplyMode::Apply(first.get(), second.get(), third.get(), destination.get(),
                             static_cast<PixelApplyMode>(input.mode), input.mix);
            break;
        case Operation::Transform: {
            const Placement& p = input.placement;
            const auto point = [](const std::array<float, 3>& v) { return p3f(v[0], v[1], v[2]); };
            const p3f centre(destination->GetWidth() / 2.0f, destination->GetHeight() / 2.0f, 0);
            Transform(first.get(), second.get(), third.get(), destination.get(),
                      static_cast<PixelApplyMode>(input.mode),
                      p.position ? point(*p.position) : centre, point(p.scale), point(p.rotation),
                      static_cast<RotationOrder>(p.order),
                      static_cast<TransformInterpolationFilterType>(p.interp),
                      static_cast<TransformDecimationFilterType>(p.decim));
            break;
        }
        case Operation::Blur: {
            const BlurSize size = Blurred(input, 0);
            if (input.kernel == BlurKernel::Box)
                BoxBlur(first.get(), destination.get(), size.width, size.height);
            else if (input.kernel == BlurKernel::Pascal)
                PascalBlur(first.get(), destination.get(), size.width, size.height);
            else
                OGL_TESK_AE::Blur(first.get(), destination.get(), size.width, size.height,
                                  input.spread);
            break;
        }
        case Operation::Composite:
            OGL_TESK_AE::Composite(first.get(), second.get(), third.get(), destination.get(),
                                   input.opacity, BlendOpAt(input.op));
            break;
        case Operation::Glow: {
            std::vector<const XIImage*> images;
            std::vector<p2f> sizes;
            for (size_t i = 0; i < layers.size(); ++i) {
                images.push_back(layers[i].get());
                const BlurSize size = Blurred(input, i);
                sizes.push_back(p2f(size.width, size.height));
            }
            CompositeBlurredImages(images.data(), first.get(), destination.get(), sizes.data(),
                                   static_cast<int>(images.size()), BlendOpAt(input.op),
                                   input.unpremultiply);
            break;
        }
        }
    };

    std::string error;
    const auto start = std::chrono::steady_clock::now();
    const bool ran = RunOnWorker(job, error);
    const auto end = std::chrono::steady_clock::now();
    if (milliseconds)
        *milliseconds = std::chrono::duration<double, std::milli>(end - start).count();
    if (!ran || !refused.empty()) {
        const std::string reason = OneLine(refused.empty() ? error : refused);
        throw Failure(reason.empty() ? "the library stopped with an OpenGL error" : reason);
    }
    return plane ? std::move(result) : destination->Load();
}

} // namespace cli
