#include "tools/Arguments.h"

#include "tools/Failure.h"

#include "gl/effects/ApplyMode.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <algorithm>
#include <cctype>

namespace cli {

namespace {

struct OptionName {
    OptionBit bit;
    const char* name;
    bool flag;
};

const OptionName kOptionNames[] = {
    {kLayoutOption, "--layout", false},
    {kColorOption, "--color", false},
    {kFramesOption, "--frames", false},
    {kOutOption, "--out", false},
    {kSizeOption, "--size", false},
    {kTopDownOption, "--top-down", true},
    {kDepthOption, "--depth", false},
    {kModeOption, "--mode", false},
    {kMixOption, "--mix", false},
    {kMaskOption, "--mask", false},
    {kListOption, "--list", true},
    {kRootOption, "--root", false},
    {kBindOption, "--bind", false},
    {kPositionOption, "--position", false},
    {kRotationOption, "--rotation", false},
    {kOrderOption, "--order", false},
    {kScaleOption, "--scale", false},
    {kInterpOption, "--interp", false},
    {kDecimOption, "--decim", false},
    {kKernelOption, "--kernel", false},
    {kSpreadOption, "--spread", false},
    {kOpOption, "--op", false},
    {kOpacityOption, "--opacity", false},
    {kLayerOption, "--layer", false},
    {kUnpremultiplyOption, "--unpremultiply", true},
    {kMaxMemoryOption, "--max-memory", false},
    {kChunkOption, "--chunk", false},
    {kSkipExistingOption, "--skip-existing", true},
    {kKeepGoingOption, "--keep-going", true},
};

// The index of text in names (case folded), or UsageError listing them.
int ParseName(const char* what, const std::string& text, const std::vector<const char*>& names) {
    std::string folded;
    for (char c : text) folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string all;
    for (size_t i = 0; i < names.size(); ++i) {
        if (folded == names[i]) return static_cast<int>(i);
        all += (i ? ", " : "") + std::string(names[i]);
    }
    throw UsageError(std::string("unknown ") + what + " '" + text + "': expected one of " + all);
}

bool AllDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// A non-negative decimal integer no larger than limit; false otherwise.
bool ParseCount(const std::string& text, long limit, long& value) {
    if (!AllDigits(text) || text.size() > 9) return false;
    value = std::strtol(text.c_str(), nullptr, 10);
    return value <= limit;
}

bool ParseNumber(const std::string& text, float& value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(parsed)) return false;
    value = static_cast<float>(parsed);
    return std::isfinite(value);
}

} // namespace

bool LooksLikeSize(const std::string& text) {
    const size_t x = text.find_first_of("xX");
    return x != std::string::npos && AllDigits(text.substr(0, x)) && AllDigits(text.substr(x + 1));
}

Size ParseSize(const std::string& text) {
    const size_t x = text.find_first_of("xX");
    long width = 0, height = 0;
    if (x == std::string::npos || !ParseCount(text.substr(0, x), kMaxDimension, width) ||
        !ParseCount(text.substr(x + 1), kMaxDimension, height) || width < 1 || height < 1)
        throw UsageError("bad size '" + text + "': expected WxH with each side from 1 to " +
                         std::to_string(kMaxDimension) + ", e.g. 640x480");
    return {static_cast<int>(width), static_cast<int>(height)};
}

Rgba ParseColor(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    Rgba color{0.0f, 0.0f, 0.0f, 1.0f};
    bool good = parts.size() == 3 || parts.size() == 4;
    for (size_t i = 0; good && i < parts.size(); ++i) good = ParseNumber(parts[i], color[i]);
    if (!good)
        throw UsageError("bad colour '" + text +
                         "': expected r,g,b or r,g,b,a with numbers, e.g. 1,0,0,1");
    for (float value : color)
        if (value < 0.0f || value > 1.0f)
            throw UsageError("bad colour '" + text + "': each part must be from 0 to 1");
    return color;
}

FrameRange ParseFrames(const std::string& text) {
    const size_t dash = text.find('-');
    long first = 0, last = 0;
    bool good;
    if (dash == std::string::npos) {
        good = ParseCount(text, 99999999, first);
        last = first;
    } else {
        good = ParseCount(text.substr(0, dash), 99999999, first) &&
               ParseCount(text.substr(dash + 1), 99999999, last) && first <= last;
    }
    if (!good)
        throw UsageError("bad frame range '" + text +
                         "': expected A-B with whole numbers 0 <= A <= B, or one frame A");
    return {static_cast<int>(first), static_cast<int>(last)};
}

Chunk ParseChunk(const std::string& text) {
    Chunk chunk;
    if (text == "slurm") {
        chunk.fromSlurm = true;
        return chunk;
    }
    const size_t slash = text.find('/');
    long index = 0, count = 0;
    if (slash == std::string::npos || !ParseCount(text.substr(0, slash), 1000000, index) ||
        !ParseCount(text.substr(slash + 1), 1000000, count) || index < 1 || index > count)
        throw UsageError("bad chunk '" + text +
                         "': expected I/N with whole numbers 1 <= I <= N, or slurm");
    chunk.index = static_cast<int>(index);
    chunk.count = static_cast<int>(count);
    return chunk;
}

double ParseMemory(const std::string& text) {
    char* end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    std::string unit = end ? end : "";
    if (!unit.empty() && (unit.back() == 'B' || unit.back() == 'b')) unit.pop_back();
    const double scale = unit.empty()                 ? 1.0
                         : unit == "K" || unit == "k" ? 1e3
                         : unit == "M" || unit == "m" ? 1e6
                         : unit == "G" || unit == "g" ? 1e9
                                                      : 0.0;
    if (end == text.c_str() || scale == 0.0 || !(number > 0.0) || !std::isfinite(number))
        throw UsageError("bad memory size '" + text + "': expected a number with K, M or G");
    return number * scale;
}

Depth ParseDepth(const std::string& text) {
    struct Named {
        const char* name;
        Depth depth;
    };
    const Named depths[] = {
        {"8", {OIIO::TypeUInt8, 0}},    {"10", {OIIO::TypeUInt16, 10}},
        {"12", {OIIO::TypeUInt16, 12}}, {"16", {OIIO::TypeUInt16, 0}},
        {"half", {OIIO::TypeHalf, 0}},  {"float", {OIIO::TypeFloat, 0}},
    };
    for (const Named& named : depths)
        if (text == named.name) return named.depth;
    throw UsageError("bad depth '" + text + "': expected 8, 10, 12, 16, half or float");
}

namespace {

// Letters and digits only, lower case: "Soft-Light" and "softlight" name the same mode.
std::string Folded(const std::string& text) {
    std::string folded;
    for (char c : text)
        if (std::isalnum(static_cast<unsigned char>(c)))
            folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// "X,Y,Z": three numbers.
std::array<float, 3> ParseTriple(const std::string& name, const std::string& text) {
    std::array<float, 3> v{};
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t comma = text.find(',', start);
        const bool last = comma == std::string::npos;
        if (last != (i == 2) || !ParseNumber(text.substr(start, comma - start), v[size_t(i)]))
            throw UsageError("bad " + name + " '" + text + "': expected three numbers X,Y,Z");
        start = comma + 1;
    }
    return v;
}

// The names text could have meant: within a typing slip or two of it, or holding it or held in
// it, nearest first. exact is the index of the name text folds to, -1 when none does.
std::vector<std::string> NearNames(const std::string& text, const std::vector<std::string>& names,
                                   int& exact) {
    const std::string wanted = Folded(text);
    // Typing slips: a letter or two in short names, three in long ones.
    const size_t slips = wanted.size() < 6 ? 2 : 3;
    std::vector<std::pair<size_t, std::string>> near;
    exact = -1;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string folded = Folded(names[i]);
        if (!wanted.empty() && folded == wanted) {
            exact = static_cast<int>(i);
            return {};
        }
        const bool part = !wanted.empty() && (folded.find(wanted) != std::string::npos ||
                                              wanted.find(folded) != std::string::npos);
        const size_t distance = part ? 0 : EditDistance(folded, wanted);
        if (distance <= slips) near.push_back({distance, names[i]});
    }
    std::stable_sort(near.begin(), near.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> nearest;
    for (size_t i = 0; i < near.size() && i < 5; ++i) nearest.push_back(near[i].second);
    return nearest;
}

// "; did you mean A, B?" for the names NearNames found, nothing for none.
std::string Suggestions(const std::vector<std::string>& nearest) {
    std::string text;
    for (size_t i = 0; i < nearest.size(); ++i)
        text += (i == 0 ? "; did you mean " : ", ") + nearest[i];
    return text + (nearest.empty() ? "" : "?");
}

// A number from 0 to kMaxDimension, false otherwise.
bool ParseExtent(const std::string& text, float& value) {
    return ParseNumber(text, value) && value >= 0.0f && value <= float(kMaxDimension);
}

} // namespace

int ParseBlendMode(const std::string& text) {
    using OGL_TESK_AE::PixelApplyMode;
    long number = 0;
    if (ParseCount(text, OGL_TESK_AE::kPixelApplyModeCount - 1, number))
        return static_cast<int>(number);
    if (AllDigits(text))
        throw UsageError("bad blend mode '" + text + "': the numbered modes are 0 to " +
                         std::to_string(OGL_TESK_AE::kPixelApplyModeCount - 1));
    std::vector<std::string> names;
    for (int mode = 0; mode < OGL_TESK_AE::kPixelApplyModeCount; ++mode)
        names.push_back(OGL_TESK_AE::PixelApplyModeName(static_cast<PixelApplyMode>(mode)));
    int exact = -1;
    const std::vector<std::string> nearest = NearNames(text, names, exact);
    if (exact >= 0) return exact;
    throw UsageError("unknown blend mode '" + text + "'" + Suggestions(nearest) +
                     " (tesk-ae blend --list shows them all)");
}

float ParseMix(const std::string& text) {
    float value = 0.0f;
    if (!ParseNumber(text, value) || value < 0.0f || value > 1.0f)
        throw UsageError("bad mix '" + text + "': expected a number from 0 to 1");
    return value;
}

const char* BlendOpName(int op) {
    static const char* const names[kBlendOpCount] = {
        "Default", "Composite", "Additive",    "Lighten",  "Screen",     "Max",
        "Min",     "Darken",    "Subtractive", "Multiply", "Difference", "Replace"};
    return op >= 0 && op < kBlendOpCount ? names[op] : "";
}

BlurSize ParseBlurSize(const std::string& text) {
    const size_t comma = text.find(',');
    BlurSize size;
    bool good = ParseExtent(text.substr(0, comma), size.width);
    size.height = size.width;
    if (good && comma != std::string::npos) good = ParseExtent(text.substr(comma + 1), size.height);
    if (!good)
        throw UsageError("bad blur size '" + text +
                         "': expected W or W,H, each a number from 0 to " +
                         std::to_string(kMaxDimension) + ", e.g. 9 or 12,4.5");
    return size;
}

BlurKernel ParseKernel(const std::string& text) {
    const std::string folded = Folded(text);
    if (folded == "gaussian") return BlurKernel::Gaussian;
    if (folded == "box") return BlurKernel::Box;
    if (folded == "pascal") return BlurKernel::Pascal;
    throw UsageError("unknown kernel '" + text + "': expected gaussian, box or pascal");
}

float ParseSpread(const std::string& text) {
    float value = 0.0f;
    if (!ParseNumber(text, value) || !(value > 0.0f))
        throw UsageError("bad spread '" + text + "': expected a number above 0, e.g. 0.85");
    return value;
}

int ParseBlendOp(const std::string& text) {
    std::vector<std::string> names;
    for (int op = 0; op < kBlendOpCount; ++op) names.push_back(BlendOpName(op));
    int exact = -1;
    const std::vector<std::string> nearest = NearNames(text, names, exact);
    if (exact >= 0) return exact;
    std::string all;
    for (const std::string& name : names) all += (all.empty() ? "" : ", ") + name;
    throw UsageError("unknown blend op '" + text + "'" + Suggestions(nearest) +
                     " (the ops: " + all + ")");
}

float ParseOpacity(const std::string& text) {
    float value = 0.0f;
    if (!ParseNumber(text, value) || value < 0.0f || value > 1.0f)
        throw UsageError("bad opacity '" + text + "': expected a number from 0 to 1");
    return value;
}

Layer ParseLayer(const std::string& text) {
    const size_t colon = text.rfind(':');
    const std::string size = colon == std::string::npos ? std::string() : text.substr(colon + 1);
    const size_t x = size.find_first_of("xX");
    Layer layer;
    if (colon == 0 || colon == std::string::npos || x == std::string::npos ||
        !ParseExtent(size.substr(0, x), layer.size.width) ||
        !ParseExtent(size.substr(x + 1), layer.size.height))
        throw UsageError("bad layer '" + text + "': expected FILE:WxH with blur sizes from 0 to " +
                         std::to_string(kMaxDimension) + ", e.g. glow.png:24x24");
    layer.file = text.substr(0, colon);
    return layer;
}

Options ParseCommandLine(const std::vector<std::string>& arguments) {
    Options options;
    std::string sizeText;
    bool operandsOnly = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (operandsOnly || argument.size() < 2 || argument[0] != '-') {
            if (options.command.empty())
                options.command = argument;
            else
                options.operands.push_back(argument);
            continue;
        }
        if (argument == "--") {
            operandsOnly = true;
            continue;
        }
        if (argument == "-h" || argument == "--help") {
            options.help = true;
            continue;
        }
        std::string name = argument, value;
        bool hasValue = false;
        if (const size_t equals = argument.find('='); equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
            hasValue = true;
        }
        const OptionName* option = nullptr;
        for (const OptionName& known : kOptionNames)
            if (name == known.name) option = &known;
        if (!option) throw UsageError("unknown option '" + name + "'");
        if (option->flag && hasValue) throw UsageError(name + " takes no value");
        if (!hasValue && !option->flag) {
            if (i + 1 >= arguments.size()) throw UsageError(name + " needs a value");
            value = arguments[++i];
        }
        // Each layer of a glow is one --layer.
        if ((options.given & option->bit) && option->bit != kLayerOption)
            throw UsageError(name + " is given more than once");
        options.given |= option->bit;
        switch (option->bit) {
        case kLayoutOption:
            if (!ParseLayout(value, options.layout))
                throw UsageError("unknown layout '" + value + "': expected one of " +
                                 LayoutNames());
            break;
        case kColorOption:
            options.color = ParseColor(value);
            break;
        case kFramesOption:
            options.frames = ParseFrames(value);
            break;
        case kSizeOption:
            // Read once the command is known, wherever it stands.
            sizeText = value;
            break;
        case kOutOption:
            if (value.empty()) throw UsageError("--out needs a folder name");
            options.out = value;
            break;
        case kTopDownOption:
            options.rows = Rows::TopDown;
            break;
        case kDepthOption:
            options.depth = ParseDepth(value);
            break;
        case kMaxMemoryOption:
            options.maxMemory = ParseMemory(value);
            break;
        case kChunkOption:
            options.chunk = ParseChunk(value);
            break;
        case kSkipExistingOption:
            options.skipExisting = true;
            break;
        case kKeepGoingOption:
            options.keepGoing = true;
            break;
        case kModeOption:
            options.mode = ParseBlendMode(value);
            break;
        case kMixOption:
            options.mix = ParseMix(value);
            break;
        case kMaskOption:
            if (value.empty()) throw UsageError("--mask needs a file name");
            options.mask = value;
            break;
        case kListOption:
            options.list = true;
            break;
        case kRootOption:
            if (value.empty()) throw UsageError("--root needs a folder name");
            options.root = value;
            break;
        case kBindOption:
            if (value.empty()) throw UsageError("--bind needs a shader name");
            options.bind = value;
            break;
        case kPositionOption:
            options.placement.position = ParseTriple(name, value);
            break;
        case kRotationOption:
            options.placement.rotation = ParseTriple(name, value);
            break;
        case kScaleOption:
            options.placement.scale = ParseTriple(name, value);
            break;
        case kOrderOption: // in RotationOrder's numbering
            options.placement.order =
                ParseName("rotation order", value, {"xyz", "zxy", "yzx", "xzy", "zyx", "yxz"});
            break;
        case kInterpOption:
            options.placement.interp = ParseName("interpolation", value,
                                                 {"nearest", "texture", "catmull-rom", "mitchell",
                                                  "b-spline", "lanczos2", "lanczos3"});
            break;
        case kDecimOption:
            options.placement.decim =
                ParseName("decimation", value,
                          {"none", "box", "triangle", "binomial", "lanczos2", "lanczos3"});
            break;
        case kKernelOption:
            options.kernel = ParseKernel(value);
            break;
        case kSpreadOption:
            options.spread = ParseSpread(value);
            break;
        case kOpOption:
            options.op = ParseBlendOp(value);
            break;
        case kOpacityOption:
            options.opacity = ParseOpacity(value);
            break;
        case kLayerOption:
            options.layers.push_back(ParseLayer(value));
            break;
        case kUnpremultiplyOption:
            options.unpremultiply = true;
            break;
        }
    }
    if (options.given & kSizeOption) {
        if (options.command == "blur")
            options.blur = ParseBlurSize(sizeText);
        else
            options.size = ParseSize(sizeText);
    }
    return options;
}

void CheckAccepted(const Options& options, unsigned accepted) {
    for (const OptionName& known : kOptionNames)
        if ((options.given & known.bit) && !(accepted & known.bit))
            throw UsageError("'" + options.command + "' does not take " + known.name);
}

} // namespace cli
