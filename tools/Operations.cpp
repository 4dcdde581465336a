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

namespace {

// The host images of one run: the inputs as the operation names them, the glow's layers, the
// destination. Inputs are read-only.
struct Operands {
    std::unique_ptr<HostImage> first, second, third, destination;
    Size size; // the destination's
    std::vector<std::unique_ptr<HostImage>> layers;
    Color color;
};

// Where an operation's output gets its size: from its first or second input, from the size
// given, or it is the second input itself (copy-alpha keeps that image's colour). A plane is a
// one-channel buffer the call fills itself, of the size given or else the first input's.
enum class Output { First, Second, Size, SecondItself, Plane };

// An operation as the program runs it: how many inputs it reads (a third one is optional; -1:
// the first, then every further one as a layer), where its output comes from, and its call,
// made on the worker. A call that fills a plane of its own puts the result in result.
struct Record {
    int inputs;
    Output output;
    void (*call)(Operands& o, const OperationInput& in, OIIO::ImageBuf& result);
    // A refusal still leaves a whole frame (a fit with nothing left to draw: transparent), so it
    // is a warning, not a failure.
    bool refusalLeavesFrame = false;
};

p3f Point(const std::array<float, 3>& v) {
    return p3f(v[0], v[1], v[2]);
}

// One record an operation, in the order of the Operation enum.
const Record kRecords[] = {
    {1, Output::First, // Premultiply
     [](Operands& o, const OperationInput&, OIIO::ImageBuf&) {
         Premultiply(o.first.get(), o.destination.get());
     }},
    {1, Output::First, // Copy
     [](Operands& o, const OperationInput&, OIIO::ImageBuf&) {
         Copy(o.first.get(), o.destination.get());
     }},
    {1, Output::Size, // Resize
     [](Operands& o, const OperationInput&, OIIO::ImageBuf&) {
         Resize(o.first.get(), o.destination.get());
     }},
    {1, Output::Size, // Fit
     [](Operands& o, const OperationInput&, OIIO::ImageBuf&) {
         FitInto(o.first.get(), o.destination.get());
     },
     true},
    {1, Output::Size, // Center
     [](Operands& o, const OperationInput&, OIIO::ImageBuf&) {
         Center(o.first.get(), o.destination.get());
     }},
    {0, Output::Size, // Clear
     [](Operands& o, const OperationInput&, OIIO::ImageBuf&) {
         OGL_TESK_AE::Clear(o.destination.get(), o.color);
     }},
    {1, Output::SecondItself, // CopyAlpha
     [](Operands& o, const OperationInput&, OIIO::ImageBuf&) {
         CopyAlpha(o.first.get(), o.destination.get());
     }},
    {2, Output::Second, // Mask
     [](Operands& o, const OperationInput&, OIIO::ImageBuf&) {
         RenderMask(o.first.get(), o.second.get(), o.destination.get(), o.color);
     }},
    {2, Output::Second, // InverseMask
     [](Operands& o, const OperationInput&, OIIO::ImageBuf&) {
         RenderInvMask(o.first.get(), o.second.get(), o.destination.get(), o.color);
     }},
    // The library's buffers come from its memory cache, which belongs to the worker: made,
    // filled and read inside the task.
    {1, Output::Plane, // Alpha
     [](Operands& o, const OperationInput&, OIIO::ImageBuf& result) {
         Buffer<AlphaPixelType<float>> alpha;
         alpha.Resize(o.size.width, o.size.height);
         GetAlpha(o.first.get(), &alpha);
         result = FromPlane(alpha, "No memory for the alpha buffer.");
     }},
    {1, Output::Plane, // Luma
     [](Operands& o, const OperationInput&, OIIO::ImageBuf& result) {
         Buffer<LumaPixelType<float>> luma;
         luma.Resize(o.size.width, o.size.height);
         GetLuma(o.first.get(), &luma);
         result = FromPlane(luma, "No memory for the luma buffer.");
     }},
    {3, Output::Second, // Blend
     [](Operands& o, const OperationInput& in, OIIO::ImageBuf&) {
         ApplyMode::Apply(o.first.get(), o.second.get(), o.third.get(), o.destination.get(),
                          static_cast<PixelApplyMode>(in.mode), in.mix);
     }},
    {3, Output::Second, // Transform
     [](Operands& o, const OperationInput& in, OIIO::ImageBuf&) {
         const Placement& p = in.placement;
         const p3f centre(o.destination->GetWidth() / 2.0f, o.destination->GetHeight() / 2.0f, 0);
         Transform(o.first.get(), o.second.get(), o.third.get(), o.destination.get(),
                   static_cast<PixelApplyMode>(in.mode), p.position ? Point(*p.position) : centre,
                   Point(p.scale), Point(p.rotation), static_cast<RotationOrder>(p.order),
                   static_cast<TransformInterpolationFilterType>(p.interp),
                   static_cast<TransformDecimationFilterType>(p.decim));
     }},
    {1, Output::First, // Blur
     [](Operands& o, const OperationInput& in, OIIO::ImageBuf&) {
         const BlurSize size = Blurred(in, 0);
         if (in.kernel == BlurKernel::Box)
             BoxBlur(o.first.get(), o.destination.get(), size.width, size.height);
         else if (in.kernel == BlurKernel::Pascal)
             PascalBlur(o.first.get(), o.destination.get(), size.width, size.height);
         else
             OGL_TESK_AE::Blur(o.first.get(), o.destination.get(), size.width, size.height,
                               in.spread);
     }},
    {3, Output::Second, // Composite
     [](Operands& o, const OperationInput& in, OIIO::ImageBuf&) {
         OGL_TESK_AE::Composite(o.first.get(), o.second.get(), o.third.get(), o.destination.get(),
                                in.opacity, BlendOpAt(in.op));
     }},
    {-1, Output::First, // Glow
     [](Operands& o, const OperationInput& in, OIIO::ImageBuf&) {
         std::vector<const XIImage*> images;
         std::vector<p2f> sizes;
         for (size_t i = 0; i < o.layers.size(); ++i) {
             images.push_back(o.layers[i].get());
             const BlurSize size = Blurred(in, i);
             sizes.push_back(p2f(size.width, size.height));
         }
         CompositeBlurredImages(images.data(), o.first.get(), o.destination.get(), sizes.data(),
                                static_cast<int>(images.size()), BlendOpAt(in.op),
                                in.unpremultiply);
     }},
};
static_assert(sizeof kRecords / sizeof kRecords[0] == size_t(Operation::Glow) + 1,
              "one record for every operation");

} // namespace

size_t KeptInput(Operation operation) {
    const Output output = kRecords[size_t(operation)].output;
    return output == Output::Second || output == Output::SecondItself ? 1 : 0;
}

OIIO::ImageBuf Apply(Operation operation, const OperationInput& input, Layout layout, Rows rows,
                     double* milliseconds, std::string* warning) {
    const Record& record = kRecords[size_t(operation)];
    Operands o;
    const auto host = [&](size_t i) {
        auto image = std::make_unique<HostImage>(layout, Image(input, i), rows);
        image->SetReadOnly(true);
        return image;
    };
    const auto blank = [&](Size size) {
        return std::make_unique<HostImage>(layout, size.width, size.height, rows);
    };
    if (record.inputs != 0) o.first = host(0);
    if (record.inputs >= 2) o.second = host(1);
    if (record.inputs >= 3 && input.images.size() > 2) o.third = host(2);
    for (size_t i = 1; record.inputs < 0 && i < input.images.size(); ++i)
        o.layers.push_back(host(i));
    const bool plane = record.output == Output::Plane;
    o.size = input.size;
    if (record.output == Output::First || (plane && o.size.width == 0 && o.size.height == 0))
        o.size = SizeOf(Image(input, 0));
    else if (record.output == Output::Second || record.output == Output::SecondItself)
        o.size = SizeOf(Image(input, 1));
    if (record.output == Output::SecondItself)
        o.destination = std::make_unique<HostImage>(layout, Image(input, 1), rows);
    else if (!plane)
        o.destination = blank(o.size);
    o.color = ToColor(input.color);

    OIIO::ImageBuf result;
    // Why the operation refused, read where it ran: the reason belongs to the calling thread.
    std::string refused;
    auto job = [&]() {
        struct Reason {
            std::string& refused;
            ~Reason() { refused = LastOperationReason(); }
        } reason{refused};
        record.call(o, input, result);
    };

    std::string error;
    const auto start = std::chrono::steady_clock::now();
    const bool ran = RunOnWorker(job, error);
    const auto end = std::chrono::steady_clock::now();
    if (milliseconds)
        *milliseconds = std::chrono::duration<double, std::milli>(end - start).count();
    if (ran && !refused.empty() && record.refusalLeavesFrame && warning) {
        *warning = OneLine(refused);
    } else if (!ran || !refused.empty()) {
        const std::string reason = OneLine(refused.empty() ? error : refused);
        throw Failure(reason.empty() ? "the library stopped with an OpenGL error" : reason);
    }
    return plane ? std::move(result) : o.destination->Load();
}

} // namespace cli
