// The built tesk-ae program run on small generated files: its arguments, files, frame sequences
// and failures, with one pixel per command to show that it ran the right operation on the right
// inputs (the operations' own formulas are checked by the library's tests).
#include "tools/Arguments.h"
#include "tools/ImageFile.h"

#include "ScratchFolder.h"

#include <OpenImageIO/imagebufalgo.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

namespace cli {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs the program in the folder with the arguments (shell words); prefix sets its environment.
Outcome RunProgram(const ScratchFolder& folder, const std::string& arguments,
                   const std::string& prefix = "") {
    const std::string out = folder.Path("stdout.txt"), err = folder.Path("stderr.txt");
    const std::string line = "cd '" + folder.Path("") + "' && " + prefix +
                             " '" TESK_AE_PROGRAM "' " + arguments + " >'" + out + "' 2>'" + err +
                             "'";
    const int status = std::system(line.c_str());
    Outcome outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Contents(out), Contents(err)};
    fs::remove(out), fs::remove(err);
    return outcome;
}

// A failure: the status, and one line on stderr that says what.
void ExpectFailure(const Outcome& outcome, int status, const std::string& says) {
    EXPECT_EQ(outcome.status, status) << outcome.err;
    EXPECT_EQ(outcome.err.rfind("tesk-ae: ", 0), 0u) << outcome.err;
    EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
    EXPECT_NE(outcome.err.find(says), std::string::npos) << outcome.err;
}

using PixelRule = std::function<void(int x, int y, float rgba[4])>;

PixelRule Is(float r, float g, float b, float a) {
    return [=](int, int, float* p) { p[0] = r, p[1] = g, p[2] = b, p[3] = a; };
}

OIIO::ImageBuf Solid(int width, int height, float r, float g, float b, float a) {
    OIIO::ImageBuf image(OIIO::ImageSpec(width, height, 4, OIIO::TypeFloat));
    const float rgba[4] = {r, g, b, a};
    OIIO::ImageBufAlgo::fill(image, rgba);
    return image;
}

float At(const OIIO::ImageBuf& image, int x, int y, int c) {
    return image.getchannel(x, y, 0, c);
}

// A file's channels as stored (alpha not multiplied in), read afresh (OpenImageIO's cache would
// hand back an earlier file of the same name).
OIIO::ImageBuf Load(const std::string& path) {
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto input = OIIO::ImageInput::open(path, &config);
    if (!input) return {};
    const OIIO::ImageSpec& h = input->spec();
    OIIO::ImageBuf image(OIIO::ImageSpec(h.width, h.height, h.nchannels, OIIO::TypeFloat));
    input->read_image(0, 0, 0, h.nchannels, OIIO::TypeFloat, image.localpixels());
    return image;
}

// Compares every pixel of an RGBA file with the rule, within the steps of the card's half-float
// textures.
void ExpectPixels(const std::string& path, int width, int height, const PixelRule& expected) {
    const OIIO::ImageBuf image = Load(path);
    ASSERT_EQ(image.spec().width, width) << path;
    ASSERT_EQ(image.spec().height, height) << path;
    ASSERT_EQ(image.spec().nchannels, 4) << path;
    int wrong = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float want[4];
            expected(x, y, want);
            for (int c = 0; c < 4; ++c)
                if (std::fabs(At(image, x, y, c) - want[c]) > 2e-3f && ++wrong <= 5)
                    ADD_FAILURE() << path << " (" << x << ", " << y << ") channel " << c << ": got "
                                  << At(image, x, y, c) << ", expected " << want[c];
        }
    }
    EXPECT_EQ(wrong, 0) << path;
}

// Each command on two solid images that differ in every channel, checked at the output's centre
// (inside the picture for fit and center); between them the rows hand every layout over.
// Half-float textures on the card, and 8-bit steps, set the tolerances.
TEST(Program, RunsEachCommandOnItsInputs) {
    ScratchFolder folder;
    WriteImage(folder.Path("a.exr"), Solid(4, 2, 0.8f, 0.4f, 0.2f, 0.6f), Layout::Float);
    WriteImage(folder.Path("m.exr"), Solid(4, 2, 0.1f, 0.3f, 0.5f, 0.25f), Layout::Float);
    // Masks: t = 0.5 * 0.25 and 0.5 * (1 - 0.25); rgb = a * (1 - t) + colour * t, alpha
    // = 0.6 * (1 - t) + t. Luma: 0.6 * (0.30 * 0.8 + 0.59 * 0.4 + 0.11 * 0.2).
    const std::tuple<const char*, int, int, int, std::array<float, 4>> cases[] = {
        {"premultiply --layout argb8 a.exr", 4, 2, 4, {0.48f, 0.24f, 0.12f, 0.6f}},
        {"copy --layout rgba8 a.exr", 4, 2, 4, {0.8f, 0.4f, 0.2f, 0.6f}},
        {"resize --layout ae16 10x3 a.exr", 10, 3, 4, {0.8f, 0.4f, 0.2f, 0.6f}},
        {"fit --layout rgba16 8x8 a.exr", 8, 8, 4, {0.8f, 0.4f, 0.2f, 0.6f}},
        {"center --layout bgra8 6x6 a.exr", 6, 6, 4, {0.8f, 0.4f, 0.2f, 0.6f}},
        {"clear --layout half --color .25,.5,.75,.5 5x3", 5, 3, 4, {0.25f, 0.5f, 0.75f, 0.5f}},
        {"clear --color 0,0,0,0 a.exr", 4, 2, 4, {0.0f, 0.0f, 0.0f, 0.0f}},
        {"copy-alpha m.exr a.exr", 4, 2, 4, {0.8f, 0.4f, 0.2f, 0.25f}},
        {"mask --color 0,.5,1,.5 m.exr a.exr", 4, 2, 4, {0.7f, 0.4125f, 0.3f, 0.65f}},
        {"inverse-mask --color 0,.5,1,.5 m.exr a.exr", 4, 2, 4, {0.5f, 0.4375f, 0.5f, 0.75f}},
        {"alpha a.exr", 4, 2, 1, {0.6f}},
        {"alpha --size 9x2 a.exr", 9, 2, 1, {0.6f}},
        {"luma --layout half a.exr", 4, 2, 1, {0.2988f}},
    };
    for (const auto& [arguments, width, height, channels, rgba] : cases) {
        SCOPED_TRACE(arguments);
        const Outcome outcome = RunProgram(folder, std::string(arguments) + " out.exr");
        ASSERT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.err, "");
        const OIIO::ImageBuf out = Load(folder.Path("out.exr"));
        ASSERT_EQ(out.spec().width, width);
        ASSERT_EQ(out.spec().height, height);
        ASSERT_EQ(out.spec().nchannels, channels);
        const bool eightBit = std::string(arguments).find("8 ") != std::string::npos;
        for (int k = 0; k < channels; ++k)
            EXPECT_NEAR(At(out, width / 2, height / 2, k), rgba[k], eightBit ? 1.5f / 255 : 2e-3f)
                << k;
    }
}

// Alpha and luma planes come back from the library bottom row first; their files keep the top
// row on top, whichever row order the frame went over in. Luma of white is its alpha.
TEST(Program, PlanesKeepTheTopRowOnTop) {
    ScratchFolder folder;
    OIIO::ImageBuf image = Solid(3, 4, 1.0f, 1.0f, 1.0f, 0.75f);
    const float top[4] = {1.0f, 1.0f, 1.0f, 0.25f};
    OIIO::ImageBufAlgo::fill(image, top, OIIO::ROI(0, 3, 0, 1));
    WriteImage(folder.Path("rows.exr"), image, Layout::Float);
    for (const char* command : {"alpha", "alpha --top-down", "luma"}) {
        SCOPED_TRACE(command);
        const Outcome outcome = RunProgram(folder, std::string(command) + " rows.exr out.exr");
        ASSERT_EQ(outcome.status, 0) << outcome.err;
        const OIIO::ImageBuf out = Load(folder.Path("out.exr"));
        EXPECT_NEAR(At(out, 1, 0, 0), 0.25f, 2e-3f);
        EXPECT_NEAR(At(out, 1, 3, 0), 0.75f, 2e-3f);
    }
}

// Float and half frames keep values outside [0, 1] through every operation. Handed over
// top-down, as hosts keep them, they go through the library's conversion, which clamps; the
// integer layouts hold 0..1 only.
TEST(Program, KeepsValuesOutsideZeroToOne) {
    ScratchFolder folder;
    WriteImage(folder.Path("hdr.exr"), Solid(4, 3, 3.5f, -0.25f, 2.0f, 1.0f), Layout::Float);
    const std::tuple<const char*, int, int> cases[] = {
        {"premultiply", 4, 3}, {"resize 8x6", 8, 6},         {"fit 8x6", 8, 6},
        {"center 4x3", 4, 3},  {"copy-alpha hdr.exr", 4, 3}, {"mask --color 0,0,0,0 hdr.exr", 4, 3},
    };
    for (const char* layout : {"float", "half"}) {
        for (const auto& [command, width, height] : cases) {
            const std::string arguments =
                std::string(command) + " --layout " + layout + " hdr.exr out.exr";
            SCOPED_TRACE(arguments);
            ASSERT_EQ(RunProgram(folder, arguments).status, 0);
            ExpectPixels(folder.Path("out.exr"), width, height, Is(3.5f, -0.25f, 2.0f, 1.0f));
        }
    }
    // Handed over top-down, or in an integer layout, they are clamped.
    for (const char* command : {"premultiply --top-down", "copy --layout rgba16"}) {
        ASSERT_EQ(RunProgram(folder, std::string(command) + " hdr.exr out.exr").status, 0);
        ExpectPixels(folder.Path("out.exr"), 4, 3, Is(1.0f, 0.0f, 1.0f, 1.0f));
    }
}

// How a file keeps its picture besides the pixel values: channels, type, bits in use where
// fewer than the type's, data window and display window.
struct Stored {
    int channels;
    OIIO::TypeDesc type;
    int bits;
    OIIO::ROI data, display;
};

std::string Text(const Stored& s) {
    std::ostringstream text;
    text << s.channels << " x " << s.type << " (" << s.bits << " bits) " << s.data << " in "
         << s.display;
    return text.str();
}

std::string StoredIn(const std::string& path) {
    auto input = OIIO::ImageInput::open(path);
    if (!input) return "no file";
    const OIIO::ImageSpec& h = input->spec();
    const int bits = h.get_int_attribute("oiio:BitsPerSample", 0);
    return Text({h.nchannels, h.format, bits == static_cast<int>(h.format.size()) * 8 ? 0 : bits,
                 OIIO::ROI(h.x, h.x + h.width, h.y, h.y + h.height),
                 OIIO::ROI(h.full_x, h.full_x + h.full_width, h.full_y, h.full_y + h.full_height)});
}

// Outputs keep the channels, channel type and windows of the input they stand for, and gain
// channels only where their pixels need them; copy writes its input unchanged.
TEST(Program, OutputsKeepHowTheirInputIsStored) {
    ScratchFolder folder;
    const OIIO::ROI frame(0, 6, 0, 4), shifted(2, 8, 1, 5), display(0, 10, 0, 8);
    const std::pair<std::string, Stored> inputs[] = {
        {"grey.png", {1, OIIO::TypeUInt8, 0, frame, frame}},
        {"colour.png", {3, OIIO::TypeUInt8, 0, frame, frame}},
        {"grey-alpha.png", {2, OIIO::TypeUInt16, 0, frame, frame}},
        {"ten.dpx", {3, OIIO::TypeUInt16, 10, frame, frame}},
        {"window.exr", {4, OIIO::TypeHalf, 0, shifted, display}},
    };
    for (const auto& [name, stored] : inputs) {
        OIIO::ImageSpec header(6, 4, stored.channels, stored.type);
        header.x = stored.data.xbegin, header.y = stored.data.ybegin;
        header.full_x = 0, header.full_width = stored.display.width();
        header.full_y = 0, header.full_height = stored.display.height();
        if (stored.bits) header.attribute("oiio:BitsPerSample", stored.bits);
        if (stored.channels % 2 == 0) header.alpha_channel = stored.channels - 1;
        // Steps of 1/255, which every type holds exactly.
        std::vector<float> pixels(6 * 4 * stored.channels);
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = (i * 37 % 256) / 255.0f;
        auto output = OIIO::ImageOutput::create(folder.Path(name));
        ASSERT_TRUE(output && output->open(folder.Path(name), header) &&
                    output->write_image(OIIO::TypeFloat, pixels.data()) && output->close());
        SCOPED_TRACE("copy " + name);
        ASSERT_EQ(RunProgram(folder, "copy " + name + " copy-" + name).status, 0);
        EXPECT_EQ(StoredIn(folder.Path("copy-" + name)), Text(stored));
        const OIIO::ImageBuf in(folder.Path(name)), out(folder.Path("copy-" + name));
        EXPECT_EQ(OIIO::ImageBufAlgo::compare(in, out, 0.0f, 0.0f).nfail, 0u);
    }

    const OIIO::ROI small(0, 3, 0, 2);
    const std::pair<std::string, Stored> cases[] = {
        {"copy-alpha window.exr colour.png out.png", {4, OIIO::TypeUInt8, 0, frame, frame}},
        {"mask --color 1,0,0 colour.png grey.png out.png", {3, OIIO::TypeUInt8, 0, frame, frame}},
        {"alpha window.exr out.exr", {1, OIIO::TypeHalf, 0, shifted, display}},
        {"resize 3x2 window.exr out.exr", {4, OIIO::TypeHalf, 0, small, small}},
        {"copy --depth 12 window.exr out.tif", {4, OIIO::TypeUInt16, 12, shifted, display}},
    };
    for (const auto& [arguments, stored] : cases) {
        SCOPED_TRACE(arguments);
        ASSERT_EQ(RunProgram(folder, arguments).status, 0);
        EXPECT_EQ(StoredIn(folder.Path(arguments.substr(arguments.rfind(' ') + 1))), Text(stored));
    }
}

// The hardware report, read on the worker's context, and what it says about the largest texture:
// a source larger than that works where no tile of the output needs more of it (the library
// loads each tile's share on its own), and fails with the reason where one does.
TEST(Program, ReportsTheHardwareAndTakesSourcesLargerThanItsLargestTexture) {
    ScratchFolder folder;
    const Outcome info = RunProgram(folder, "info");
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.out.rfind("Graphics Card:     ", 0), 0u) << info.out;
    for (const char* answer : {"\nFloat textures:      ", "\nHalf-float textures: ",
                               "\n16-bit textures:     ", "\nFramebuffer objects: "})
        EXPECT_NE(info.out.find(answer), std::string::npos) << answer;
    ExpectFailure(RunProgram(folder, "info", "TESK_AE_FAIL_CONTEXT=1"), 1,
                  "OpenGL context failure.");
    // Read on the worker's context: a real size, the same twice.
    const size_t at = info.out.find("\nTexture Dimension: ");
    ASSERT_NE(at, std::string::npos) << info.out;
    int largest = 0, second = 0;
    ASSERT_EQ(std::sscanf(info.out.c_str() + at, " Texture Dimension: %d x %d", &largest, &second),
              2);
    EXPECT_GT(largest, 0);
    EXPECT_EQ(largest, second);
    if (largest >= kMaxDimension) GTEST_SKIP() << "no input may be larger than this card's";
    const int wide = largest + 1;
    WriteImage(folder.Path("wide.exr"), Solid(wide, 8, 0.25f, 0.5f, 0.75f, 1.0f), Layout::Float);
    // Output tiles are 2048 pixels wide: at half the source's width each needs half of it.
    const std::string half = std::to_string(wide / 2);
    ASSERT_EQ(RunProgram(folder, "resize " + half + "x8 wide.exr out.exr").status, 0);
    ExpectPixels(folder.Path("out.exr"), wide / 2, 8, Is(0.25f, 0.5f, 0.75f, 1.0f));
    ASSERT_EQ(RunProgram(folder, "alpha --size " + half + "x8 wide.exr out.exr").status, 0);
    // The one tile of a 100-pixel-wide output would need the whole source.
    for (const char* command : {"resize 100x8", "alpha --size 100x8"})
        ExpectFailure(RunProgram(folder, std::string(command) + " wide.exr small.exr"), 1,
                      "'wide.exr' is " + std::to_string(wide) +
                          " x 8, more than the card's largest texture (" + std::to_string(largest) +
                          " x ");
}

TEST(Program, RunsFrameSequences) {
    ScratchFolder folder;
    for (int frame = 1; frame <= 3; ++frame)
        WriteImage(folder.Path("in.000" + std::to_string(frame) + ".exr"),
                   Solid(3, 2, 0.8f, 0.4f, 0.2f, frame * 0.25f), Layout::Float);
    const Outcome outcome = RunProgram(folder, "premultiply --frames 1-3 in.####.exr out.####.exr");
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "tesk-ae premultiply: frame 1 (1 of 3)\n"
                           "tesk-ae premultiply: frame 2 (2 of 3)\n"
                           "tesk-ae premultiply: frame 3 (3 of 3)\n");
    for (const float a : {0.25f, 0.5f, 0.75f})
        ExpectPixels(folder.Path("out.000" + std::to_string(int(a * 4)) + ".exr"), 3, 2,
                     Is(0.8f * a, 0.4f * a, 0.2f * a, a));

    // A missing frame stops the run there: earlier frames are written, later ones are not.
    const Outcome gap = RunProgram(folder, "copy --frames 2-5 in.####.exr copy.##.exr");
    EXPECT_EQ(gap.status, 1);
    EXPECT_NE(gap.err.find("tesk-ae: cannot read '"), std::string::npos) << gap.err;
    EXPECT_NE(gap.err.find("in.0004.exr"), std::string::npos) << gap.err;
    for (int frame = 2; frame <= 5; ++frame)
        EXPECT_EQ(fs::exists(folder.Path("copy.0" + std::to_string(frame) + ".exr")), frame <= 3)
            << frame;
}

TEST(Program, RejectsBadRequestsOnOneLineWithoutWriting) {
    ScratchFolder folder;
    WriteImage(folder.Path("in.exr"), Solid(4, 3, 0.2f, 0.4f, 0.6f, 0.8f), Layout::Float);
    { std::ofstream(folder.Path("notes.exr")) << "not an image\n"; }
    // A header that claims more than any output may have, with too few pixels behind it.
    { std::ofstream(folder.Path("huge.ppm")) << "P6\n40000 2\n255\n" << std::string(64, 'x'); }
    // A damaged header (the checksum after IHDR, at byte 29) makes libpng print a line of its
    // own as it fails.
    WriteImage(folder.Path("bad.png"), Solid(4, 3, 0.2f, 0.4f, 0.6f, 0.8f), Layout::Rgba8);
    std::string bytes = Contents(folder.Path("bad.png"));
    bytes[29] = static_cast<char>(bytes[29] ^ 0xFF);
    std::ofstream(folder.Path("bad.png"), std::ios::binary) << bytes;
    const std::vector<std::string> inputs = {"bad.png", "huge.ppm", "in.exr", "notes.exr"};
    const std::tuple<const char*, int, const char*> cases[] = {
        {"premultiply missing.exr out.exr", 1, "cannot read 'missing.exr': no such file"},
        {"premultiply notes.exr out.exr", 1, "cannot read 'notes.exr'"},
        {"copy huge.ppm out.exr", 1, "'huge.ppm': it is 40000 x 2, larger than the 32768 pixels"},
        {"copy bad.png out.exr", 1, "cannot read 'bad.png': PNG read error: IHDR: CRC error"},
        {"premultiply in.exr out.unknownformat", 1, "cannot write 'out.unknownformat'"},
        {"resize 0x5 in.exr out.exr", 2, "bad size '0x5'"},
        {"resize 10 in.exr out.exr", 2, "bad size '10'"},
        {"fit 12xab in.exr out.exr", 2, "bad size '12xab'"},
        {"center 99999x2 in.exr out.exr", 2, "bad size '99999x2'"},
        {"premultiply --layout rgb32 in.exr out.exr", 2, "unknown layout 'rgb32'"},
        {"premultiply --layout", 2, "--layout needs a value"},
        {"frobnicate in.exr out.exr", 2, "unknown command 'frobnicate' (see 'tesk-ae --help')"},
        {"premultiply in.exr", 2, "'premultiply' takes 2 operands"},
        {"premultiply in.exr out.exr extra.exr", 2, "'premultiply' takes 2 operands"},
        {"clear 4x4 out.exr", 2, "'clear' needs --color"},
        {"clear --color 1,0 4x4 out.exr", 2, "bad colour '1,0'"},
        {"clear --color 1.5,0,0 4x4 out.exr", 2,
         "bad colour '1.5,0,0': each part must be from 0 to 1"},
        {"mask --color 0,-0.25,0 in.exr in.exr out.exr", 2, "bad colour '0,-0.25,0'"},
        {"copy --depth 9 in.exr out.exr", 2, "bad depth '9'"},
        {"copy --color 1,0,0 in.exr out.exr", 2, "'copy' does not take --color"},
        {"premultiply --frames 1-2 in.exr out.exr", 2, "--frames needs file names with ####"},
        {"premultiply --frames 2-1 in.##.exr out.##.exr", 2, "bad frame range '2-1'"},
        {"premultiply in.##.exr out.##.exr", 2, "give --frames A-B"},
        {"premultiply --frames 1-2 in.##.exr out.exr", 2, "needs a #### frame number"},
        {"info extra", 2, "'info' takes no operands"},
        {"", 2, "no command given"},
    };
    for (const auto& [arguments, status, says] : cases) {
        SCOPED_TRACE(arguments);
        ExpectFailure(RunProgram(folder, arguments), status, says);
        EXPECT_EQ(folder.Names(), inputs);
    }
}

TEST(Program, KeepsTheOldOutputWhenTheOperationFails) {
    ScratchFolder folder;
    WriteImage(folder.Path("in.exr"), Solid(4, 3, 0.2f, 0.4f, 0.6f, 0.8f), Layout::Float);
    WriteImage(folder.Path("out.exr"), Solid(2, 2, 0.1f, 0.2f, 0.3f, 0.4f), Layout::Float);
    const std::string before = Contents(folder.Path("out.exr"));
    for (const char* command : {"premultiply in.exr out.exr", "clear --color 1,0,0,1 4x4 out.exr",
                                "alpha in.exr out.exr"}) {
        SCOPED_TRACE(command);
        ExpectFailure(RunProgram(folder, command, "TESK_AE_FAIL_CONTEXT=1"), 1,
                      "OpenGL context failure.");
        EXPECT_EQ(Contents(folder.Path("out.exr")), before);
        EXPECT_EQ(folder.Names(), (std::vector<std::string>{"in.exr", "out.exr"}));
    }
    // Renaming over a read-only file would work; it is refused all the same, as oiiotool does.
    fs::permissions(folder.Path("out.exr"),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    ExpectFailure(RunProgram(folder, "premultiply in.exr out.exr"), 1,
                  "cannot write 'out.exr': the file there is read-only");
    EXPECT_EQ(Contents(folder.Path("out.exr")), before);
    fs::permissions(folder.Path("out.exr"), fs::perms::owner_write, fs::perm_options::add);
    // The same call without the failure does replace it.
    ASSERT_EQ(RunProgram(folder, "premultiply in.exr out.exr").status, 0);
    EXPECT_NE(Contents(folder.Path("out.exr")), before);
}
// Stopped while it writes, the program leaves no half-written file behind. A pipe put where its
// temporary file goes (named after the process) holds the write mid-way: nobody drains it.
class StoppedWhileWriting : public ::testing::TestWithParam<int> {};

TEST_P(StoppedWhileWriting, RemovesTheTemporaryFile) {
    ScratchFolder folder;
    // As PPM, far more than a pipe holds.
    WriteImage(folder.Path("in.exr"), Solid(256, 256, 0.25f, 0.5f, 0.75f, 1.0f), Layout::Float);
    // Nothing is allocated in the child: other threads may hold the allocator's lock.
    const std::string where = folder.Path("");
    int release[2];
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Held until the parent has made the pipe; started with the signals' usual effect even
        // where the test itself runs with them ignored.
        char go;
        ::close(release[1]);
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        if (::read(release[0], &go, 1) == 1 && ::chdir(where.c_str()) == 0)
            ::execl(TESK_AE_PROGRAM, TESK_AE_PROGRAM, "copy", "in.exr", "out.ppm",
                    static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(release[0]);
    const std::string temporary = folder.Path("out.ppm.tesk-ae-" + std::to_string(child) + ".tmp");
    ASSERT_EQ(::mkfifo(temporary.c_str(), 0600), 0);
    const int reader = ::open(temporary.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_EQ(::write(release[1], "g", 1), 1);
    ::close(release[1]);
    // Bytes in the pipe: the program is inside its write, and stays there.
    pollfd ready{reader, POLLIN, 0};
    int status = 0;
    while (::poll(&ready, 1, 100) == 0)
        ASSERT_NE(::waitpid(child, &status, WNOHANG), child) << "the program ended before it wrote";
    ASSERT_EQ(::kill(child, GetParam()), 0);
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(reader);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == GetParam()) << status;
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"in.exr"});
}

INSTANTIATE_TEST_SUITE_P(Program, StoppedWhileWriting, ::testing::Values(SIGINT, SIGTERM));

// Images of different sizes meet at their bottom-left corners, as the help says; centring
// rounds toward zero.
TEST(Program, AlignsImagesOfDifferentSizesAsTheHelpSays) {
    ScratchFolder folder;
    WriteImage(folder.Path("image.exr"), Solid(4, 3, 0.5f, 0.5f, 0.5f, 1.0f), Layout::Float);
    WriteImage(folder.Path("small.exr"), Solid(2, 2, 1.0f, 1.0f, 1.0f, 0.0f), Layout::Float);
    // Colours and alphas that vary over the whole range, alpha 0 and 1 included.
    OIIO::ImageBuf varied(OIIO::ImageSpec(5, 4, 4, OIIO::TypeFloat));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            const float p[4] = {(x + 1) / 8.0f, (y + 1) / 6.0f, ((x * 3 + y * 5) % 7) / 6.0f,
                                ((x + 2 * y) % 5) / 4.0f};
            varied.setpixel(x, y, p, 4);
        }
    }
    WriteImage(folder.Path("varied.exr"), varied, Layout::Float);
    // The 2 x 2 image covers the bottom two rows of the first two columns of the 4 x 3 one.
    auto underSmall = [](int x, int y) { return x < 2 && y >= 1; };
    const PixelRule grey = Is(0.5f, 0.5f, 0.5f, 1.0f), red = Is(1.0f, 0.0f, 0.0f, 1.0f);
    struct Case {
        const char* arguments;
        int width, height;
        PixelRule expected;
    };
    const Case cases[] = {
        {"mask --color 1,0,0 small.exr image.exr", 4, 3,
         [&](int x, int y, float* p) { (underSmall(x, y) ? grey : red)(x, y, p); }},
        {"inverse-mask --color 1,0,0 small.exr image.exr", 4, 3, red},
        {"copy-alpha small.exr image.exr", 4, 3,
         [&](int x, int y, float* p) {
             grey(x, y, p);
             p[3] = underSmall(x, y) ? 0.0f : 1.0f;
         }},
        // 5 x 4 in a 7 x 7 frame: one column on either side, one row below and two above.
        {"center 7x7 varied.exr", 7, 7,
         [&](int x, int y, float* p) {
             const bool inside = x >= 1 && x < 6 && y >= 2 && y < 6;
             for (int c = 0; c < 4; ++c) p[c] = inside ? At(varied, x - 1, y - 2, c) : 0.0f;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        ASSERT_EQ(RunProgram(folder, std::string(c.arguments) + " out.exr").status, 0);
        ExpectPixels(folder.Path("out.exr"), c.width, c.height, c.expected);
    }
    for (const char* command : {"center", "mask", "inverse-mask", "copy-alpha"}) {
        const Outcome help = RunProgram(folder, std::string(command) + " --help");
        EXPECT_NE(help.out.find("bottom-left corner"), std::string::npos) << help.out;
    }
}

TEST(Program, HelpsWithEveryCommand) {
    ScratchFolder folder;
    const Outcome overview = RunProgram(folder, "--help");
    ASSERT_EQ(overview.status, 0);
    for (const char* command :
         {"premultiply", "copy", "resize", "fit", "center", "clear", "copy-alpha", "mask",
          "inverse-mask", "alpha", "luma", "info", "demo"}) {
        SCOPED_TRACE(command);
        EXPECT_NE(overview.out.find(std::string("\n  ") + command + " "), std::string::npos);
        const Outcome help = RunProgram(folder, std::string(command) + " --help");
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind(std::string("usage: tesk-ae ") + command, 0), 0u) << help.out;
        EXPECT_EQ(help.err, "");
    }
    // The other spellings of the same request.
    for (const char* form : {"resize -h", "help resize", "resize --help 10x10 in.exr out.exr"}) {
        const Outcome help = RunProgram(folder, form);
        EXPECT_EQ(help.status, 0) << form;
        EXPECT_EQ(help.out.rfind("usage: tesk-ae resize", 0), 0u) << help.out;
    }
    EXPECT_EQ(folder.Names(), std::vector<std::string>{});
}

TEST(Program, DemoShowsEveryOperationOnAContactSheet) {
    ScratchFolder folder;
    const Outcome outcome = RunProgram(folder, "demo --out results");
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.out.rfind("Graphics Card:     ", 0), 0u);
    const std::string results = folder.Path("results") + "/";
    for (const char* name : {"premultiply", "copy", "resize", "fit", "center", "clear",
                             "copy-alpha", "mask", "inverse-mask", "alpha", "luma"}) {
        EXPECT_NE(outcome.out.find(std::string("\n") + name + " "), std::string::npos) << name;
        EXPECT_TRUE(fs::exists(results + name + ".png")) << name;
    }
    EXPECT_NE(outcome.out.find("Contact sheet: results/contact-sheet.png"), std::string::npos);
    const OIIO::ImageBuf sheet = Load(results + "contact-sheet.png");
    EXPECT_GT(sheet.spec().width, 256);
    EXPECT_GT(sheet.spec().height, 11 * 128);
    // Results against the inputs the demo wrote, at a pixel on the disc's soft edge: the disc
    // premultiplied and its alpha, and red laid over the checker by the disc's alpha.
    const OIIO::ImageBuf disc = Load(results + "input-disc.png");
    const OIIO::ImageBuf checker = Load(results + "input-checker.png");
    const OIIO::ImageBuf premultiplied = Load(results + "premultiply.png");
    const OIIO::ImageBuf mask = Load(results + "mask.png"), alpha = Load(results + "alpha.png");
    const int x = 218, y = 128;
    const float t = At(disc, x, y, 3), tolerance = 2e-3f + 1.0f / 65535;
    ASSERT_TRUE(t > 0.1f && t < 0.9f) << t;
    EXPECT_NEAR(At(alpha, x, y, 0), t, tolerance);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(At(premultiplied, x, y, c), At(disc, x, y, c) * t, tolerance) << c;
        EXPECT_NEAR(At(mask, x, y, c), At(checker, x, y, c) * (1 - t) + (c == 0 ? t : 0), tolerance)
            << c;
    }
}

} // namespace
} // namespace cli
