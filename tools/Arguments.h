#pragma once

#include "tools/HostImage.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace cli {

struct Size {
    int width = 0;
    int height = 0;
};

using Rgba = std::array<float, 4>;

struct FrameRange {
    int first = 0;
    int last = 0;
};

// One of count equal runs of a sequence's frames (index 1 to count), or the run a Slurm array
// task stands for (read from its environment when the command runs).
struct Chunk {
    int index = 1;
    int count = 1;
    bool fromSlurm = false;
};

// The channel type of written files, and the bits of it in use where that is fewer.
struct Depth {
    OIIO::TypeDesc type;
    int bits = 0;
};

// The largest width or height the program accepts.
constexpr int kMaxDimension = 32768;

// "WxH" with both between 1 and kMaxDimension. Throws UsageError.
Size ParseSize(const std::string& text);
// Whether text has the shape of a size ("640x480"), valid or not.
bool LooksLikeSize(const std::string& text);
// "r,g,b,a" or "r,g,b" (alpha 1): numbers from 0 to 1, which is all a colour can hold in the
// library's clears and blends (OpenGL would clamp anything else). Throws UsageError.
Rgba ParseColor(const std::string& text);
// "A-B" or "A", with 0 <= A <= B. Throws UsageError.
FrameRange ParseFrames(const std::string& text);
// "I/N" with 1 <= I <= N, or "slurm". Throws UsageError.
Chunk ParseChunk(const std::string& text);
// "8", "10", "12", "16" (bits of integer channels), "half" or "float". Throws UsageError.
Depth ParseDepth(const std::string& text);
// A memory size in bytes: a number with an optional unit K, M or G (powers of 1000, a trailing
// B allowed), "2G" or "512MB". Throws UsageError.
double ParseMemory(const std::string& text);
// A numbered blend mode by its name, in any case ("Multiply", "soft-light", "SoftLight"), or
// by its number 0 to 48. Throws UsageError naming the closest modes.
int ParseBlendMode(const std::string& text);
// A mix amount from 0 to 1. Throws UsageError.
float ParseMix(const std::string& text);

// A blur's size in pixels across and along the rows; below 1 blurs nothing that way.
struct BlurSize {
    float width = 0.0f;
    float height = 0.0f;
};

enum class BlurKernel { Gaussian, Box, Pascal };

// One layer of a glow: a file and the size it is blurred by.
struct Layer {
    std::string file;
    BlurSize size;
};

// The library's twelve fixed-function blend ops, numbered in the order BlendOp declares them.
constexpr int kBlendOpCount = 12;
const char* BlendOpName(int op);

// "W" or "W,H" (H = W), each from 0 to kMaxDimension, fractions allowed. Throws UsageError.
BlurSize ParseBlurSize(const std::string& text);
// "gaussian", "box" or "pascal", in any case. Throws UsageError.
BlurKernel ParseKernel(const std::string& text);
// A Gaussian's spread in half-widths: a number above 0. Throws UsageError.
float ParseSpread(const std::string& text);
// A blend op by its name, in any case and with any punctuation ("Additive", "sub-tractive").
// Throws UsageError naming the closest ops.
int ParseBlendOp(const std::string& text);
// An opacity from 0 to 1. Throws UsageError.
float ParseOpacity(const std::string& text);
// "FILE:WxH", split at the last colon, W and H as in ParseBlurSize. Throws UsageError.
Layer ParseLayer(const std::string& text);

// The options a command may accept, as bits.
enum OptionBit : unsigned {
    kLayoutOption = 1u << 0,
    kColorOption = 1u << 1,
    kFramesOption = 1u << 2,
    kOutOption = 1u << 3,
    kSizeOption = 1u << 4,
    kTopDownOption = 1u << 5,
    kDepthOption = 1u << 6,
    kModeOption = 1u << 7,
    kMixOption = 1u << 8,
    kMaskOption = 1u << 9,
    kListOption = 1u << 10,
    kRootOption = 1u << 11,
    kBindOption = 1u << 12,
    kPositionOption = 1u << 13,
    kRotationOption = 1u << 14,
    kOrderOption = 1u << 15,
    kScaleOption = 1u << 16,
    kInterpOption = 1u << 17,
    kDecimOption = 1u << 18,
    kKernelOption = 1u << 19,
    kSpreadOption = 1u << 20,
    kOpOption = 1u << 21,
    kOpacityOption = 1u << 22,
    kLayerOption = 1u << 23,
    kUnpremultiplyOption = 1u << 24,
    kMaxMemoryOption = 1u << 25,
    kChunkOption = 1u << 26,
    kSkipExistingOption = 1u << 27,
    kKeepGoingOption = 1u << 28,
};

// What places an image in 3-D (transform).
struct Placement {
    std::optional<std::array<float, 3>> position; // default: the destination's centre
    std::array<float, 3> rotation{0.0f, 0.0f, 0.0f};
    std::array<float, 3> scale{1.0f, 1.0f, 1.0f};
    int order = 0;  // RotationOrder
    int interp = 1; // TransformInterpolationFilterType: the texture's own filtering
    int decim = 0;  // TransformDecimationFilterType: none
};

// One command line: the command word, the operands in order and the options (each at most
// once but --layer, as "--name value" or "--name=value", flags as "--name"; "--" ends the
// options).
struct Options {
    std::string command;
    std::vector<std::string> operands;
    bool help = false;
    unsigned given = 0;
    Layout layout = Layout::Float;
    Rows rows = Rows::BottomUp;
    std::optional<Rgba> color;
    std::optional<FrameRange> frames;
    // A farm's share of the frames; frames whose outputs exist left out; failed frames reported
    // while the others go on.
    std::optional<Chunk> chunk;
    bool skipExisting = false;
    bool keepGoing = false;
    std::optional<Size> size;
    std::optional<Depth> depth;
    // The most memory a frame may need, in bytes; 0 for what the system has available.
    double maxMemory = 0;
    std::optional<int> mode;
    float mix = 1.0f;
    std::string mask;
    bool list = false;
    std::string out;
    std::string root;
    std::string bind;
    Placement placement;
    // --size is a blur's W[,H] for the blur command, WxH for the others.
    std::optional<BlurSize> blur;
    BlurKernel kernel = BlurKernel::Gaussian;
    std::optional<float> spread;
    int op = 0;
    float opacity = 1.0f;
    std::vector<Layer> layers;
    bool unpremultiply = false;
};

// The arguments after the program's name. Throws UsageError.
Options ParseCommandLine(const std::vector<std::string>& arguments);

// Throws UsageError naming the first option in options.given that accepted does not hold.
void CheckAccepted(const Options& options, unsigned accepted);

} // namespace cli
