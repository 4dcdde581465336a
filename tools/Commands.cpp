#include "tools/Commands.h"

#include "tools/Demo.h"
#include "tools/Failure.h"
#include "tools/ImageFile.h"
#include "tools/Operations.h"
#include "tools/Pipeline.h"
#include "tools/Sequence.h"
#include "tools/ShaderCommands.h"

#include "common/Buffer.h"
#include "common/Errors.h"
#include "gl/context/Capabilities.h"
#include "gl/effects/ApplyMode.h"
#include "ops/BasicOps.h"
#include "ops/Blur.h"
#include "ops/Composite.h"
#include "ops/Transform.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace cli {

namespace {

// The command records call the library's operations by their own names.
using namespace OGL_TESK_AE;

BlurSize Blurred(const OperationInput& input, size_t index) {
    if (index >= input.blurs.size()) throw Failure("internal error: a blur size is missing");
    return input.blurs[index];
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

p3f Point(const std::array<float, 3>& v) {
    return p3f(v[0], v[1], v[2]);
}

// What every command on files takes.
constexpr unsigned kFileOptions = kLayoutOption | kTopDownOption | kFramesOption | kDepthOption |
                                  kMaxMemoryOption | kChunkOption | kSkipExistingOption |
                                  kKeepGoingOption;
// What places an image (transform).
constexpr unsigned kPlacementOptions =
    kPositionOption | kRotationOption | kOrderOption | kScaleOption | kInterpOption | kDecimOption;

enum class Kind { Operation, Info, Demo, Encipher, Decipher, ShaderInfo, Shaders };

struct Command {
    const char* name;
    Kind kind;
    // What an image-operation command runs: its inputs, its output and its call.
    OperationRecord run;
    // The operands, as the usage line names them; "SIZE" is WxH, "SIZE|IN" either.
    std::vector<const char*> operands;
    unsigned options;
    // The options among them that must be given (--color, --mode, the kernel's --size, --layer).
    unsigned required;
    const char* summary;
    const char* details;
    // The blend op laid with when no --op is given, by name; null: the first.
    const char* defaultOp = nullptr;
};

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"premultiply",
         Kind::Operation,
         {1, Output::First,
          [](Operands& o, const OperationInput&, OIIO::ImageBuf&) {
              Premultiply(o.first.get(), o.destination.get());
          }},
         {"IN", "OUT"},
         kFileOptions,
         0,
         "colour multiplied by alpha",
         "Writes (r*a, g*a, b*a, a) for every pixel (r, g, b, a) of IN: straight colour made\n"
         "premultiplied. Alpha is unchanged."},
        {"copy",
         Kind::Operation,
         {1, Output::First,
          [](Operands& o, const OperationInput&, OIIO::ImageBuf&) {
              Copy(o.first.get(), o.destination.get());
          }},
         {"IN", "OUT"},
         kFileOptions,
         0,
         "the image as it is",
         "Writes IN unchanged: the same pixels, channels, channel type and windows. Both\n"
         "frames are in one layout, so the library copies the bytes without the card."},
        {"resize",
         Kind::Operation,
         {1, Output::Size,
          [](Operands& o, const OperationInput&, OIIO::ImageBuf&) {
              Resize(o.first.get(), o.destination.get());
          }},
         {"SIZE", "IN", "OUT"},
         kFileOptions,
         0,
         "the image stretched to WxH",
         "Writes IN stretched (or squeezed) to exactly SIZE (WxH, e.g. 640x480); the aspect\n"
         "ratio follows SIZE."},
        {"fit",
         Kind::Operation,
         {1, Output::Size,
          [](Operands& o, const OperationInput&, OIIO::ImageBuf&) {
              FitInto(o.first.get(), o.destination.get());
          },
          true},
         {"SIZE", "IN", "OUT"},
         kFileOptions,
         0,
         "the image scaled to fit WxH, aspect kept, centred",
         "Writes a SIZE image (WxH) holding IN scaled by min(W/w, H/h) so that it fits, with\n"
         "its aspect ratio kept, centred; the rest of the frame stays transparent."},
        {"center",
         Kind::Operation,
         {1, Output::Size,
          [](Operands& o, const OperationInput&, OIIO::ImageBuf&) {
              Center(o.first.get(), o.destination.get());
          }},
         {"SIZE", "IN", "OUT"},
         kFileOptions,
         0,
         "the image in the middle of a WxH frame",
         "Writes a SIZE image (WxH) with IN at its centre, not scaled: IN's bottom-left corner\n"
         "is moved by ((W - w) / 2, (H - h) / 2) pixels, rounded toward zero. When a\n"
         "difference is odd, the spare column goes to the right and the spare row to the top;\n"
         "an IN larger than SIZE is cropped likewise, one more column on the right and row at\n"
         "the top. The rest of the frame is transparent."},
        {"clear",
         Kind::Operation,
         {0, Output::Size,
          [](Operands& o, const OperationInput&, OIIO::ImageBuf&) {
              OGL_TESK_AE::Clear(o.destination.get(), o.color);
          }},
         {"SIZE|IN", "OUT"},
         kFileOptions | kColorOption,
         kColorOption,
         "an image of one colour",
         "Writes an image filled with the --color given. Its size is SIZE (WxH) or that of the\n"
         "image IN; given SIZE, OUT is RGBA in a channel type that suits the layout."},
        {"copy-alpha",
         Kind::Operation,
         {1, Output::SecondItself,
          [](Operands& o, const OperationInput&, OIIO::ImageBuf&) {
              CopyAlpha(o.first.get(), o.destination.get());
          }},
         {"ALPHA", "DEST", "OUT"},
         kFileOptions,
         0,
         "one image's colour with another's alpha",
         "Writes DEST with its red, green and blue kept and its alpha replaced by the alpha of\n"
         "ALPHA at the same pixel. The output has DEST's size. Images of different sizes are\n"
         "aligned at their bottom-left corners: where ALPHA does not reach, DEST keeps its own\n"
         "alpha."},
        {"mask",
         Kind::Operation,
         {2, Output::OverSecond,
          [](Operands& o, const OperationInput&, OIIO::ImageBuf&) {
              RenderMask(o.first.get(), o.second.get(), o.destination.get(), o.color);
          }},
         {"MASK", "IMAGE", "OUT"},
         kFileOptions | kColorOption,
         kColorOption,
         "a colour laid over the image where the mask is opaque",
         "With t = colour alpha * MASK alpha at each pixel, writes\n"
         "  rgb = IMAGE rgb * (1 - t) + colour rgb * t,  alpha = IMAGE alpha * (1 - t) + t.\n"
         "The output has IMAGE's size. Images of different sizes are aligned at their\n"
         "bottom-left corners: where MASK does not reach, t is the colour's alpha, as under an\n"
         "opaque MASK."},
        {"inverse-mask",
         Kind::Operation,
         {2, Output::OverSecond,
          [](Operands& o, const OperationInput&, OIIO::ImageBuf&) {
              RenderInvMask(o.first.get(), o.second.get(), o.destination.get(), o.color);
          }},
         {"MASK", "IMAGE", "OUT"},
         kFileOptions | kColorOption,
         kColorOption,
         "a colour laid over the image where the mask is transparent",
         "As mask, with t = colour alpha * (1 - MASK alpha): the colour covers the image where\n"
         "the mask is transparent. The output has IMAGE's size. Images of different sizes are\n"
         "aligned at their bottom-left corners: where MASK does not reach, t is the colour's\n"
         "alpha, as under a transparent MASK."},
        {"alpha",
         Kind::Operation,
         {1, Output::Plane,
          [](Operands& o, const OperationInput&, OIIO::ImageBuf& result) {
              // The library's buffers come from its memory cache, which belongs to the worker:
              // made, filled and read inside the task.
              Buffer<AlphaPixelType<float>> alpha;
              alpha.Resize(o.size.width, o.size.height);
              GetAlpha(o.first.get(), &alpha);
              result = FromPlane(alpha, "No memory for the alpha buffer.");
          }},
         {"IN", "OUT"},
         kFileOptions | kSizeOption,
         0,
         "the alpha channel as a grey image",
         "Writes the alpha of IN as a one-channel image, scaled to --size WxH when given\n"
         "(default: the size of IN)."},
        {"luma",
         Kind::Operation,
         {1, Output::Plane,
          [](Operands& o, const OperationInput&, OIIO::ImageBuf& result) {
              // The library's buffers come from its memory cache, which belongs to the worker:
              // made, filled and read inside the task.
              Buffer<LumaPixelType<float>> luma;
              luma.Resize(o.size.width, o.size.height);
              GetLuma(o.first.get(), &luma);
              result = FromPlane(luma, "No memory for the luma buffer.");
          }},
         {"IN", "OUT"},
         kFileOptions | kSizeOption,
         0,
         "premultiplied luma as a grey image",
         "Writes a * (0.30 r + 0.59 g + 0.11 b) of IN as a one-channel image, scaled to\n"
         "--size WxH when given (default: the size of IN). The library clamps each of the\n"
         "three products to 0..1 as it reads the result back, whatever the layout."},
        {"blend",
         Kind::Operation,
         {3, Output::OverSecond,
          [](Operands& o, const OperationInput& in, OIIO::ImageBuf&) {
              ApplyMode::Apply(o.first.get(), o.second.get(), o.third.get(), o.destination.get(),
                               static_cast<PixelApplyMode>(in.mode), in.mix);
          }},
         {"FRONT", "BACK", "OUT"},
         kFileOptions | kModeOption | kMixOption | kMaskOption | kListOption,
         kModeOption,
         "one image blended over another by a blend mode",
         "Writes FRONT blended over BACK by the mode --mode (a name or a number; --list shows\n"
         "the 49 modes): both premultiplied, combined by the mode's formula, clamped to 0..1,\n"
         "mixed with BACK by --mix (0 keeps BACK, 1 the full mode) and unpremultiplied.\n"
         "--mask FILE multiplies FRONT's alpha by the mask's. The output has BACK's size;\n"
         "images of other sizes are aligned at their bottom-left corners."},
        {"transform",
         Kind::Operation,
         {3, Output::OverSecond,
          [](Operands& o, const OperationInput& in, OIIO::ImageBuf&) {
              const Placement& p = in.placement;
              const p3f centre(o.destination->GetWidth() / 2.0f, o.destination->GetHeight() / 2.0f,
                               0);
              Transform(o.first.get(), o.second.get(), o.third.get(), o.destination.get(),
                        static_cast<PixelApplyMode>(in.mode),
                        p.position ? Point(*p.position) : centre, Point(p.scale), Point(p.rotation),
                        static_cast<RotationOrder>(p.order),
                        static_cast<TransformInterpolationFilterType>(p.interp),
                        static_cast<TransformDecimationFilterType>(p.decim));
          }},
         {"FRONT", "BACK", "OUT"},
         kFileOptions | kModeOption | kMaskOption | kListOption | kPlacementOptions,
         0,
         "one image placed in 3-D over another",
         "Writes FRONT scaled (--scale), turned (--rotation, degrees about X, Y and Z, composed\n"
         "in --order) and moved to --position, in BACK's pixels with y up from its bottom row\n"
         "(default: FRONT's centre on BACK's centre), then blended over BACK by --mode (default\n"
         "Over, as in blend). The view is orthographic: z moves nothing. Outside FRONT the mode\n"
         "sees a transparent front. FRONT is filtered first: by --decim where a scale is below\n"
         "1, by --interp otherwise. --mask FILE multiplies FRONT's alpha by the mask's. The\n"
         "output has BACK's size."},
        {"blur",
         Kind::Operation,
         {1, Output::First,
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
         {"IN", "OUT"},
         kFileOptions | kSizeOption | kKernelOption | kSpreadOption,
         kKernelOption,
         "the image blurred by a Gaussian, box or Pascal kernel",
         "Writes IN blurred across by a kernel W pixels wide, then along by one H pixels high\n"
         "(--size W[,H], H defaulting to W; 1 or less blurs nothing that way). Each pass sums\n"
         "its taps' colour weighted by weight times alpha and their alpha by weight: opaque\n"
         "images blur plainly, partly transparent ones have their colour weighted by alpha in\n"
         "both passes. Past the edges, the edge pixels repeat. The Gaussian's --spread is in\n"
         "half-widths of the kernel (default 0.85); box and pascal take none."},
        {"composite",
         Kind::Operation,
         {3, Output::OverSecond,
          [](Operands& o, const OperationInput& in, OIIO::ImageBuf&) {
              OGL_TESK_AE::Composite(o.first.get(), o.second.get(), o.third.get(),
                                     o.destination.get(), in.opacity, BlendOpAt(in.op));
          }},
         {"FG", "BG", "OUT"},
         kFileOptions | kOpOption | kOpacityOption | kMaskOption,
         0,
         "one image laid over another by a fixed-function blend op",
         "Writes FG laid over BG by one of the library's twelve fixed-function blend ops\n"
         "(--op, default Default): FG's four channels are scaled by --opacity and, with --mask,\n"
         "its alpha multiplied by the mask's, then blended into BG by the op's OpenGL blend\n"
         "factors and equations (Default lays straight colour over, Composite premultiplied).\n"
         "The output has BG's size; FG and the mask sit at its bottom-left corner, and\n"
         "nothing is laid outside either of them."},
        {"glow",
         Kind::Operation,
         {-1, Output::First,
          [](Operands& o, const OperationInput& in, OIIO::ImageBuf&) {
              std::vector<const XIImage*> images;
              std::vector<p2f> sizes;
              for (size_t i = 0; i < o.layers.size(); ++i) {
                  images.push_back(o.layers[i].get());
                  const BlurSize size = Blurred(in, i);
                  sizes.push_back(p2f(size.width, size.height));
              }
              CompositeBlurredImages(images.data(), o.first.get(), o.destination.get(),
                                     sizes.data(), static_cast<int>(images.size()),
                                     BlendOpAt(in.op), in.unpremultiply);
          }},
         {"BG", "OUT"},
         kFileOptions | kLayerOption | kOpOption | kUnpremultiplyOption,
         kLayerOption,
         "blurred layers stacked over an image, for glows and blooms",
         "Blurs each --layer FILE:WxH by Gaussians (spread 0.85) W pixels wide and H high\n"
         "(below 1: no blur that way), stacks the layers over one another in the order given\n"
         "and lays the stack over BG by --op (default Screen, which lightens BG by the stack's\n"
         "light, within 0..1 never past white). A layer's colour is weighted by its alpha\n"
         "again as it is stacked: light on opaque black glows at full strength, light on\n"
         "transparency more faintly. The output has BG's size; the layers sit at its\n"
         "bottom-left corner.",
         "Screen"},
        {"info",
         Kind::Info,
         {},
         {},
         0,
         0,
         "graphics hardware report and capability answers",
         "Prints the library's six-line hardware report (card, OpenGL version, driver, texture\n"
         "rectangles, texture memory, largest texture) and whether the card takes float,\n"
         "half-float and 16-bit textures and framebuffer objects."},
        {"encipher",
         Kind::Encipher,
         {},
         {"IN", "OUT"},
         0,
         0,
         "a description file in the enciphered container",
         "Writes IN as the library's enciphered container: its header line, then the bytes of\n"
         "IN enciphered in blocks of 8 (the last one padded with zeros). The library reads such\n"
         "files wherever it reads plain ones."},
        {"decipher",
         Kind::Decipher,
         {},
         {"IN", "OUT"},
         0,
         0,
         "the plain text of an enciphered description file",
         "Writes the text enciphered in IN, without the zeros that padded its last block.\n"
         "Fails when IN does not begin with the container's header line."},
        {"shader-info",
         Kind::ShaderInfo,
         {},
         {"FILE"},
         0,
         0,
         "a shader description file as the library reads it",
         "Parses the description FILE (plain or enciphered) as the shader catalogue would and\n"
         "prints the record: name, category, ID, folders, companion programs, groups and every\n"
         "argument with its type, value, range, modifiers and registers. The shader root is the\n"
         "nearest folder at or above FILE's that holds a Surface folder; the other \".arb\"\n"
         "files below it stand in for the catalogue (copyshader, duplicate IDs). A parse error\n"
         "is printed whole, with exit status 1."},
        {"demo",
         Kind::Demo,
         {},
         {},
         kOutOption | kLayoutOption | kTopDownOption,
         0,
         "every operation on built-in images, with a contact sheet",
         "Makes test images (gradients, a checker, a soft disc with alpha, noise), runs every\n"
         "image operation on them, prints the hardware report and each operation's time, and\n"
         "writes the inputs, the results and contact-sheet.png (each image's colour beside its\n"
         "alpha, inputs left, result right) into --out DIR (default: tesk-ae-demo)."},
        {"shaders",
         Kind::Shaders,
         {},
         {},
         kRootOption | kBindOption,
         0,
         "the shader catalogue, or one shader bound",
         "Builds the library's shader catalogue and lists it by category and sub-group with\n"
         "each shader's ID, marking sub-group defaults, shaders reachable by ID only (legacy\n"
         "and simple copies) and shaders whose programs fail to load, with the error. The\n"
         "root is --root DIR, else TESK_AE_SHADERS, else the install folder's shaders folder\n"
         "(registry value MasterDirectory), else the sample catalogue shipped with tesk-ae.\n"
         "With --bind NAME, loads and binds that shader and reports success or the error."},
    };
    return commands;
}

const Command* Find(const std::string& name) {
    for (const Command& command : Commands())
        if (name == command.name) return &command;
    return nullptr;
}

} // namespace

const OperationRecord& OperationOf(const char* name) {
    const Command* command = Find(name);
    if (!command || !command->run.call)
        throw Failure(std::string("internal error: no image operation '") + name + "'");
    return command->run;
}

namespace {

int DefaultOp(const Command& command) {
    return command.defaultOp ? ParseBlendOp(command.defaultOp) : 0;
}

std::string UsageLine(const Command& command) {
    std::string line = std::string("tesk-ae ") + command.name;
    if (command.options & kLayoutOption) line += " [--layout L]";
    if (command.options & kTopDownOption) line += " [--top-down]";
    if (command.options & kFramesOption) line += " [--frames A-B]";
    if (command.options & kChunkOption) line += " [--chunk I/N] [--skip-existing] [--keep-going]";
    if (command.options & kDepthOption) line += " [--depth D]";
    if (command.options & kMaxMemoryOption) line += " [--max-memory N]";
    if ((command.options & kSizeOption) && !(command.options & kKernelOption))
        line += " [--size WxH]";
    if (command.options & kPositionOption)
        line += " [--position X,Y,Z] [--rotation A,B,C] [--order O] [--scale SX,SY,SZ]"
                " [--interp NAME] [--decim NAME] [--mode M] [--mask FILE]";
    else if (command.options & kModeOption)
        line += " --mode M [--mix X] [--mask FILE]";
    if (command.options & kKernelOption) line += " --size W[,H] [--kernel K] [--spread S]";
    if (command.options & kOpacityOption) line += " [--op NAME] [--opacity O] [--mask FILE]";
    if (command.options & kLayerOption)
        line += " --layer FILE:WxH [--layer ...] [--op NAME] [--unpremultiply]";
    if (command.options & kOutOption) line += " [--out DIR]";
    if (command.options & kRootOption) line += " [--root DIR] [--bind NAME]";
    if (command.required & kColorOption) line += " --color r,g,b[,a]";
    for (const char* operand : command.operands) line += std::string(" ") + operand;
    return line;
}

// The operand whose windows, channels and depth the output keeps.
std::string KeptOperand(const Command& command) {
    const std::string operand = command.operands.size() >= 2
                                    ? command.operands[command.operands.size() - 2]
                                    : std::string();
    return operand == "SIZE" || operand == "SIZE|IN" ? std::string("IN") : operand;
}

void PrintHelp(const Command& command) {
    std::printf("usage: %s\n\n%s\n", UsageLine(command).c_str(), command.details);
    if (command.options == 0) return;
    std::printf("\noptions:\n");
    if (command.options & kLayoutOption)
        std::printf("  --layout L     host pixel layout the images are handed over in, one of\n"
                    "                 %s (default float);\n"
                    "                 the integer layouts hold 0..1 only\n",
                    LayoutNames().c_str());
    if (command.options & kTopDownOption)
        std::printf("  --top-down     rows top-down, as hosts keep them: float and half frames\n"
                    "                 then go through the library's conversion, which clamps\n"
                    "                 them to 0..1 in every command but copy (default: rows\n"
                    "                 bottom-up, which keeps values outside 0..1)\n");
    if (command.options & kFramesOption)
        std::printf("  --frames A-B   run for frames A to B; file names hold #### for the\n"
                    "                 frame number, e.g. shot.####.exr\n");
    if (command.options & kChunkOption)
        std::printf("  --chunk I/N    only chunk I of N equal runs of the frames (in order), or\n"
                    "                 --chunk slurm: the run of this Slurm array task, so that\n"
                    "                 the tasks of an array together do every frame once\n"
                    "  --skip-existing  leave out frames whose output is there already (outputs\n"
                    "                 appear only when whole), to finish what a run left\n"
                    "  --keep-going   a frame that fails is reported and the others go on; the\n"
                    "                 run then ends with status 1 and the list of failed frames\n");
    if (command.options & kDepthOption)
        std::printf("  --depth D      channel type of OUT: 8, 10, 12 or 16 bits, half or float\n"
                    "                 (default: that of %s)\n",
                    KeptOperand(command).c_str());
    if (command.options & kColorOption)
        std::printf("  --color C      r,g,b or r,g,b,a, each from 0 to 1, e.g. 1,0,0,1\n");
    if ((command.options & kSizeOption) && !(command.options & kKernelOption))
        std::printf("  --size WxH     size of the written image\n");
    if (command.options & kModeOption)
        std::printf("  --mode M       blend mode: its name in any case (SoftLight, soft-light) or\n"
                    "                 its number 0..48%s\n"
                    "  --mask FILE    an image whose alpha multiplies FRONT's (a sequence with\n"
                    "                 #### like the operands)\n"
                    "  --list         print the modes with their numbers and stop\n",
                    command.options & kMixOption
                        ? "\n  --mix X        amount of the mode from 0 to 1 (default 1)"
                        : " (default Over)");
    if (command.options & kPositionOption)
        std::printf("  --position P   X,Y,Z where FRONT's centre goes, in BACK's pixels\n"
                    "  --rotation R   A,B,C degrees about X, Y and Z (default 0,0,0)\n"
                    "  --order O      XYZ, XZY, YXZ, YZX, ZXY or ZYX (default XYZ)\n"
                    "  --scale S      SX,SY,SZ (default 1,1,1)\n"
                    "  --interp F     nearest, texture, catmull-rom, mitchell, b-spline,\n"
                    "                 lanczos2 or lanczos3 (default texture: linear)\n"
                    "  --decim F      none, box, triangle, binomial, lanczos2 or lanczos3\n"
                    "                 (default none)\n");
    if (command.options & kKernelOption)
        std::printf("  --size W[,H]   the kernel's width and height in pixels, fractions allowed\n"
                    "                 (H defaults to W)\n"
                    "  --kernel K     gaussian (the default), box or pascal (binomial weights)\n"
                    "  --spread S     the Gaussian's spread in half-widths (default 0.85)\n");
    if (command.options & kLayerOption)
        std::printf("  --layer F:WxH  one layer: the image F blurred W pixels across and H along,\n"
                    "                 e.g. glow.png:24x24 (F a sequence with #### like BG)\n"
                    "  --unpremultiply  divide the result's colour by its alpha\n");
    if (command.options & kOpOption) {
        std::printf("  --op NAME      blend op, by its name in any case (default %s):\n",
                    BlendOpName(DefaultOp(command)));
        for (int op = 0; op < kBlendOpCount; ++op)
            std::printf("%s%s%s", op % 6 == 0 ? "                 " : " ", BlendOpName(op),
                        op + 1 == kBlendOpCount ? "\n"
                        : op % 6 == 5           ? ",\n"
                                                : ",");
    }
    if (command.options & kOpacityOption)
        std::printf("  --opacity O    FG's four channels scaled by O, from 0 to 1 (default 1)\n"
                    "  --mask FILE    an image whose alpha multiplies FG's (a sequence with ####\n"
                    "                 like the operands)\n");
    if (command.options & kOutOption)
        std::printf("  --out DIR      folder for the results (made when missing)\n");
    if (command.kind == Kind::Operation)
        std::printf(
            "\nFiles: anything OpenImageIO reads and writes (EXR, PNG, TIFF, JPEG, DPX, ...).\n"
            "OUT keeps the channels (grey, grey and alpha, RGB or RGBA), channel type and\n"
            "bit depth of %s, and its data and display windows where OUT has its\n"
            "size; it gains alpha or colour channels only where the result needs them.\n"
            "An existing OUT is replaced only when the operation succeeded, and never\n"
            "when it is read-only.\n",
            KeptOperand(command).c_str());
}

int RunInfo() {
    std::fputs(HardwareReport().c_str(), stdout);
    bool floats = false, halves = false, framebuffers = false, shorts = false;
    std::string error;
    const bool ran = RunOnWorker(
        [&]() {
            floats = OGL_TESK_AE::IsFloatSupported();
            halves = OGL_TESK_AE::IsHalfFloatSupported();
            framebuffers = OGL_TESK_AE::IsFrameBufferSupported();
            shorts = OGL_TESK_AE::IsShortSupported();
        },
        error);
    if (!ran)
        throw Failure(OneLine(error).empty() ? "the capability queries failed" : OneLine(error));
    auto answer = [](bool yes) { return yes ? "yes" : "no"; };
    std::printf("\nFloat textures:      %s\n", answer(floats));
    std::printf("Half-float textures: %s\n", answer(halves));
    std::printf("16-bit textures:     %s\n", answer(shorts));
    std::printf("Framebuffer objects: %s\n", answer(framebuffers));
    return kSuccess;
}

int ListBlendModes() {
    for (int mode = 0; mode < OGL_TESK_AE::kPixelApplyModeCount; ++mode)
        std::printf(
            "%2d  %s\n", mode,
            OGL_TESK_AE::PixelApplyModeName(static_cast<OGL_TESK_AE::PixelApplyMode>(mode)));
    return kSuccess;
}

int RunOperation(const Command& command, const Options& options) {
    if (options.list) {
        if (!options.operands.empty()) throw UsageError("--list takes no operands");
        return ListBlendModes();
    }
    if (options.operands.size() != command.operands.size())
        throw UsageError(std::string("'") + command.name + "' takes " +
                         std::to_string(command.operands.size()) +
                         " operands: " + UsageLine(command).substr(8));
    const struct {
        unsigned option;
        bool given;
        const char* usage;
    } requirements[] = {{kColorOption, bool(options.color), "--color r,g,b[,a]"},
                        {kModeOption, bool(options.mode), "--mode M"},
                        {kKernelOption, bool(options.blur), "--size W[,H]"},
                        {kLayerOption, !options.layers.empty(), "--layer FILE:WxH"}};
    for (const auto& requirement : requirements)
        if ((command.required & requirement.option) && !requirement.given)
            throw UsageError(std::string("'") + command.name + "' needs " + requirement.usage);
    if (options.spread && options.kernel != BlurKernel::Gaussian)
        throw UsageError("--spread is for the gaussian kernel only");

    // Operands that are sizes, then input files, then the output.
    Size size;
    bool sizeFromInput = false;
    std::vector<std::string> inputs;
    for (size_t i = 0; i + 1 < command.operands.size(); ++i) {
        const std::string operand = command.operands[i];
        const std::string& value = options.operands[i];
        if (operand == "SIZE" || (operand == "SIZE|IN" && LooksLikeSize(value)))
            size = ParseSize(value);
        else if (operand == "SIZE|IN") {
            inputs.push_back(value);
            sizeFromInput = true;
        } else
            inputs.push_back(value);
    }
    if (!options.mask.empty()) inputs.push_back(options.mask);
    for (const Layer& layer : options.layers) inputs.push_back(layer.file);
    if (options.size) {
        size = *options.size;
        sizeFromInput = false;
    }
    const std::string& output = options.operands.back();
    std::vector<int> frames = PlanFrames(inputs, output, options.frames);
    if (options.chunk) frames = ChunkOf(frames, *options.chunk);
    if (options.skipExisting) {
        const size_t planned = frames.size();
        frames.erase(
            std::remove_if(frames.begin(), frames.end(),
                           [&](int frame) { return IsWrittenImage(FrameName(output, frame)); }),
            frames.end());
        if (frames.size() < planned)
            std::fprintf(stderr, "tesk-ae: %s: %zu of %zu frames are done already\n", command.name,
                         planned - frames.size(), planned);
    }
    if (frames.empty()) return kSuccess;
    // The input the output stands for: its windows, channels and depth are kept.
    const size_t kept = KeptInput(command.run);

    // What one frame holds on its way through the steps; each step lets go of what the next
    // does not need.
    struct Frame {
        std::vector<OIIO::ImageBuf> images;
        std::vector<Storage> storages;
        std::string warnings;
        OIIO::ImageBuf result;
        Storage storage;
    };
    std::vector<Frame> held(frames.size());
    Progress progress(stderr, command.name, frames[0] < 0 ? 0 : frames.size());
    FrameSteps steps;
    steps.read = [&](size_t index) {
        // Before any work: an output that cannot be written stops the run here.
        CheckOutput(FrameName(output, frames[index]));
        Frame& frame = held[index];
        frame.storages.resize(inputs.size());
        // Reserved: growing would copy the frames read so far (ImageBuf moves may throw).
        frame.images.reserve(inputs.size());
        for (size_t i = 0; i < inputs.size(); ++i)
            frame.images.push_back(ReadImage(FrameName(inputs[i], frames[index]),
                                             &frame.storages[i], &frame.warnings,
                                             options.maxMemory));
    };
    steps.begin = [&](size_t index) {
        if (frames[index] >= 0) progress.Frame(frames[index], index);
    };
    steps.work = [&](size_t index) {
        Frame& frame = held[index];
        progress.Print(frame.warnings);
        std::vector<OIIO::ImageBuf> images = std::move(frame.images);
        OperationInput request;
        request.lend = true;
        for (size_t i = 0; i < inputs.size(); ++i) {
            request.names.push_back(FrameName(inputs[i], frames[index]));
            request.images.push_back(&images[i]);
        }
        request.size = size;
        if (sizeFromInput) request.size = {images[0].spec().width, images[0].spec().height};
        if (options.color) request.color = *options.color;
        if (options.mode) request.mode = *options.mode;
        request.mix = options.mix;
        request.placement = options.placement;
        request.kernel = options.kernel;
        if (options.spread) request.spread = *options.spread;
        if (options.blur) request.blurs.push_back(*options.blur);
        for (const Layer& layer : options.layers) request.blurs.push_back(layer.size);
        request.op = options.given & kOpOption ? options.op : DefaultOp(command);
        request.opacity = options.opacity;
        request.unpremultiply = options.unpremultiply;
        // Read before the call: the result may be written over the kept input's buffer.
        const Size keptSize = kept < images.size()
                                  ? Size{images[kept].spec().width, images[kept].spec().height}
                                  : Size{};
        try {
            std::string warning;
            frame.result =
                Apply(command.run, request, options.layout, options.rows, nullptr, &warning);
            if (!warning.empty())
                progress.Print("tesk-ae: warning: " + std::string(command.name) + ": " + warning +
                               "\n");
        } catch (const Failure& failure) {
            throw Failure(std::string(command.name) + " failed: " + failure.what());
        }
        if (kept < frame.storages.size()) {
            frame.storage = frame.storages[kept];
            // Windows belong to a picture of the input's size.
            frame.storage.windows = frame.storage.windows &&
                                    keptSize.width == frame.result.spec().width &&
                                    keptSize.height == frame.result.spec().height;
        }
        if (options.depth) {
            frame.storage.type = options.depth->type;
            frame.storage.bits = options.depth->bits;
        }
    };
    steps.write = [&](size_t index) {
        Frame& frame = held[index];
        WriteImage(FrameName(output, frames[index]), frame.result, options.layout, frame.storage);
        frame = Frame();
    };
    if (options.keepGoing) {
        // A frame's failure is kept and its later steps skipped; the others go on. Each entry is
        // written by the step of its own frame, which the pipeline orders.
        std::vector<std::string> failed(frames.size());
        const auto guard = [&](std::function<void(size_t)> step) {
            return [&failed, &held, &progress, &frames, step](size_t index) {
                if (!failed[index].empty()) return;
                try {
                    step(index);
                } catch (const Failure& failure) {
                    failed[index] = failure.what();
                    held[index] = Frame();
                    progress.Print("tesk-ae: frame " + std::to_string(frames[index]) + ": " +
                                   failed[index] + "\n");
                }
            };
        };
        steps.read = guard(steps.read);
        steps.work = guard(steps.work);
        steps.write = guard(steps.write);
        RunFrames(frames.size(), steps);
        std::string list;
        size_t count = 0;
        for (size_t i = 0; i < frames.size(); ++i)
            if (!failed[i].empty()) {
                list += (count++ ? ", " : "") + std::to_string(frames[i]);
            }
        if (count == 0) return kSuccess;
        std::fprintf(stderr, "tesk-ae: %s: %zu of %zu frames failed: %s\n", command.name, count,
                     frames.size(), list.c_str());
        return kFailed;
    }
    RunFrames(frames.size(), steps);
    return kSuccess;
}

} // namespace

void PrintOverview(std::FILE* stream) {
    std::fprintf(stream, "usage: tesk-ae COMMAND [options] ARGUMENTS   (tesk-ae COMMAND --help)\n\n"
                         "Runs the TESK_Common_AE image operations on image files.\n\ncommands:\n");
    for (const Command& command : Commands())
        std::fprintf(stream, "  %-13s %s\n", command.name, command.summary);
    std::fprintf(stream,
                 "\nlayouts (--layout): %s\n"
                 "Float and half keep values outside 0..1 unless --top-down hands frames over\n"
                 "as hosts keep them; the integer layouts hold 0..1 only. NaN and infinite\n"
                 "values in input files are read as 0, with a warning.\n",
                 LayoutNames().c_str());
}

bool IsCommand(const std::string& name) {
    return Find(name) != nullptr;
}

int RunCommand(const Options& options) {
    if (options.command.empty() || options.command == "help") {
        if (options.command == "help" && !options.operands.empty()) {
            const Command* command = Find(options.operands[0]);
            if (!command) throw UsageError("unknown command '" + options.operands[0] + "'");
            PrintHelp(*command);
            return kSuccess;
        }
        if (options.command.empty() && !options.help) throw UsageError("no command given");
        PrintOverview(stdout);
        return kSuccess;
    }
    const Command* command = Find(options.command);
    if (!command) throw UsageError("unknown command '" + options.command + "'");
    if (options.help) {
        PrintHelp(*command);
        return kSuccess;
    }
    CheckAccepted(options, command->options);
    switch (command->kind) {
    case Kind::Info:
        if (!options.operands.empty()) throw UsageError("'info' takes no operands");
        return RunInfo();
    case Kind::Demo:
        if (!options.operands.empty()) throw UsageError("'demo' takes no operands");
        return RunDemo(options.out.empty() ? "tesk-ae-demo" : options.out, options.layout,
                       options.rows);
    case Kind::Encipher:
    case Kind::Decipher:
    case Kind::ShaderInfo:
        if (options.operands.size() != command->operands.size())
            throw UsageError(std::string("'") + command->name + "' takes " +
                             std::to_string(command->operands.size()) +
                             " operands: " + UsageLine(*command).substr(8));
        if (command->kind == Kind::ShaderInfo) return PrintShaderInfo(options.operands[0]);
        return command->kind == Kind::Encipher
                   ? EncipherFile(options.operands[0], options.operands[1])
                   : DecipherFile(options.operands[0], options.operands[1]);
    case Kind::Shaders:
        if (!options.operands.empty()) throw UsageError("'shaders' takes no operands");
        return ListShaders(options.root, options.bind);
    case Kind::Operation:
        break;
    }
    return RunOperation(*command, options);
}

} // namespace cli
