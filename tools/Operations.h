#pragma once

#include "tools/Arguments.h"
#include "tools/HostImage.h"
#include "tools/Worker.h"

#include "math/Color.h"

#include <OpenImageIO/imagebuf.h>

#include <functional>
#include <string>
#include <vector>

namespace cli {

// What an operation works on. Images are float RGBA; which ones an operation reads:
//   Premultiply, Copy, Resize, Fit, Center, Alpha, Luma: images[0] is the source.
//   Clear: none (size gives the destination).
//   CopyAlpha: images[0] gives the alpha, images[1] the destination's starting pixels.
//   Mask, InverseMask: images[0] is the mask, images[1] the image.
//   Blend: images[0] is the front, images[1] the back, images[2] (optional) the mask; the
//   output has the back's size. Transform reads them as Blend does.
//   Blur: images[0] is the source, blurred by blurs[0].
//   Composite: images[0] is the foreground, images[1] the background, images[2] (optional)
//   the mask; the output has the background's size.
//   Glow: images[0] is the background (the output has its size), the others the layers, each
//   blurred by the entry of blurs with its own index less one.
// size is the destination's for Resize, Fit, Center, Clear, and the buffer's for Alpha, Luma
// (there, when none is given, the source's).
struct OperationInput {
    std::vector<const OIIO::ImageBuf*> images;
    // Whether the images are buffers the caller may have modified while the operation runs
    // (none of them const) and is done with afterwards: float ones are then lent to the library
    // as they are, rows turned over in place and back, instead of copied, and an operation that
    // may write over its second input writes its result there (Apply returns that buffer, taken
    // out of the caller's).
    bool lend = false;
    // What to call each image in messages (its file name); "input N" where missing.
    std::vector<std::string> names;
    Size size;
    Rgba color{0.0f, 0.0f, 0.0f, 0.0f};
    // Blend: the numbered mode and the amount.
    int mode = 0;
    float mix = 1.0f;
    // Transform: where the front goes.
    Placement placement;
    // Blur: the kernel, and the Gaussian's spread in half-widths.
    BlurKernel kernel = BlurKernel::Gaussian;
    float spread = 0.85f;
    std::vector<BlurSize> blurs;
    // Composite and Glow: the blend op (numbered as BlendOpName numbers them), Composite's
    // opacity, and whether Glow's result is unpremultiplied as it is read back.
    int op = 0;
    float opacity = 1.0f;
    bool unpremultiply = false;
};

// The host images of one run: the inputs as the operation names them, the glow's layers, the
// destination. Inputs are read-only, except a second input that is the destination itself.
struct Operands {
    std::shared_ptr<HostImage> first, second, third, destination;
    Size size; // the destination's
    std::vector<std::unique_ptr<HostImage>> layers;
    OGL_TESK_AE::Color color;
};

// Where an operation's output gets its size: from its first input, from the size given, or it
// is the second input itself (copy-alpha keeps that image's colour). OverSecond: the second
// input's size, and the call reads each pixel of that input before it writes the same pixel, so
// a lent second input can be the destination. A plane is a one-channel buffer the call fills
// itself, of the size given or else the first input's.
enum class Output { First, Size, SecondItself, OverSecond, Plane };

// An operation as the program runs it: how many inputs it reads (a third one is optional; -1:
// the first, then every further one as a layer), where its output comes from, and its call,
// made on the worker. A call that fills a plane of its own puts the result in result.
struct OperationRecord {
    int inputs = 0;
    Output output = Output::First;
    void (*call)(Operands& o, const OperationInput& in, OIIO::ImageBuf& result) = nullptr;
    // A refusal still leaves a whole frame (a fit with nothing left to draw: transparent), so it
    // is a warning, not a failure.
    bool refusalLeavesFrame = false;
};

// The library's hardware report, asked for on the worker so that its reading of the largest
// texture size finds the worker's context (a thread without one reads 0). Without a worker
// context it is asked for on the calling thread.
std::string HardwareReport();

// The input whose windows, channels and depth a file's output keeps: the one the output takes
// its size from (the second for the operations laid over a back, image or destination).
size_t KeptInput(const OperationRecord& operation);

// Wraps the images in host images of the layout and row order, runs the operation on the worker
// and returns the destination as float RGBA (one channel for Alpha and Luma). Throws Failure
// with the library's reason when the operation refused or failed. A refusal that still leaves a
// whole frame (a fit with nothing left to draw) goes into warning instead, where one is given.
// milliseconds, when given, receives the time of the call on the worker, conversions excluded.
OIIO::ImageBuf Apply(const OperationRecord& operation, const OperationInput& input, Layout layout,
                     Rows rows, double* milliseconds = nullptr, std::string* warning = nullptr);

// The operation of the tesk-ae command of that name (the demos run them as the commands do).
const OperationRecord& OperationOf(const char* command);

} // namespace cli
