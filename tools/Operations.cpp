#include "tools/Operations.h"

#include "tools/Failure.h"

#include "common/Errors.h"
#include "common/Reason.h"
#include "common/Shared.h"
#include "gl/context/HardwareInfo.h"

#include <algorithm>
#include <chrono>
#include <memory>

namespace cli {

namespace {

using namespace OGL_TESK_AE;

const OIIO::ImageBuf& Image(const OperationInput& input, size_t index) {
    if (index >= input.images.size() || !input.images[index])
        throw Failure("internal error: an input image is missing");
    return *input.images[index];
}

Color ToColor(const Rgba& rgba) {
    return Color(rgba[0], rgba[1], rgba[2], rgba[3]);
}

Size SizeOf(const OIIO::ImageBuf& image) {
    return {image.spec().width, image.spec().height};
}

} // namespace

std::string HardwareReport() {
    std::string report, error;
    if (RunOnWorker([&]() { report = HardwareInfoString(); }, error)) return report;
    return HardwareInfoString();
}

size_t KeptInput(const OperationRecord& record) {
    const Output output = record.output;
    return output == Output::SecondItself || output == Output::OverSecond ? 1 : 0;
}

OIIO::ImageBuf Apply(const OperationRecord& record, const OperationInput& input, Layout layout,
                     Rows rows, double* milliseconds, std::string* warning) {
    if (!record.call) throw Failure("internal error: the command runs no image operation");
    Operands o;
    const auto exclusive = [&](const OIIO::ImageBuf& buffer) {
        return input.lend && layout == Layout::Float &&
               std::count(input.images.begin(), input.images.end(), &buffer) == 1;
    };
    // Float inputs lent are borrowed, not copied, unless one buffer stands for two inputs (it
    // would be turned over twice).
    const auto host = [&](size_t i) {
        const OIIO::ImageBuf& buffer = Image(input, i);
        std::unique_ptr<HostImage> image;
        if (exclusive(buffer)) image = HostImage::Borrow(const_cast<OIIO::ImageBuf&>(buffer), rows);
        if (!image) image = std::make_unique<HostImage>(layout, buffer, rows);
        image->SetReadOnly(true);
        return image;
    };
    const auto blank = [&](Size size) {
        return std::make_unique<HostImage>(layout, size.width, size.height, rows);
    };
    const bool itself = record.output == Output::SecondItself;
    const bool over = itself || record.output == Output::OverSecond;
    // A lent second input the result may be written over is the destination: one frame less.
    if (over && input.images.size() > 1 && exclusive(Image(input, 1)))
        o.destination = HostImage::Borrow(const_cast<OIIO::ImageBuf&>(Image(input, 1)), rows);
    if (o.destination && !itself) o.second = o.destination;
    if (record.inputs != 0) o.first = host(0);
    if (record.inputs >= 2 && !o.second) o.second = host(1);
    if (record.inputs >= 3 && input.images.size() > 2) o.third = host(2);
    for (size_t i = 1; record.inputs < 0 && i < input.images.size(); ++i)
        o.layers.push_back(host(i));
    const bool plane = record.output == Output::Plane;
    o.size = input.size;
    if (record.output == Output::First || (plane && o.size.width == 0 && o.size.height == 0))
        o.size = SizeOf(Image(input, 0));
    else if (over)
        o.size = SizeOf(Image(input, 1));
    if (!o.destination && itself)
        o.destination = std::make_unique<HostImage>(layout, Image(input, 1), rows);
    else if (!o.destination && !plane)
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
    return plane ? std::move(result) : o.destination->TakeRgba();
}

} // namespace cli
