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

#include <csignal>
#include <fstream>
#include <limits>
#include <map>
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
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs the program in the folder with the arguments (shell words); a leading NAME=value word
// sets its environment. With a time limit, a run past it is killed.
Outcome RunProgram(const ScratchFolder& folder, const std::string& arguments, int seconds = 0) {
    const size_t env = arguments.find('=') < arguments.find(' ') ? arguments.find(' ') + 1 : 0;
    const std::string limit = seconds ? " timeout -s KILL " + std::to_string(seconds) : "";
    const std::string line = "cd '" + folder.Path("") + "' && " + arguments.substr(0, env) + limit +
                             " '" TESK_AE_PROGRAM "' " + arguments.substr(env) +
                             " >stdout.txt 2>stderr.txt";
    const int status = std::system(line.c_str());
    const std::string out = folder.Path("stdout.txt"), err = folder.Path("stderr.txt");
    Outcome outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Contents(out), Contents(err)};
    fs::remove(out), fs::remove(err);
    return outcome;
}

// A failure: the status, and one line on stderr that says what.
void ExpectFailure(const Outcome& outcome, int status, const std::string& says) {
    const std::string& err = outcome.err;
    EXPECT_TRUE(outcome.status == status && err.rfind("tesk-ae: ", 0) == 0 &&
                err.find('\n') == err.size() - 1 && err.find(says) != std::string::npos)
        << outcome.status << ": " << err;
}

OIIO::ImageBuf Solid(int width, int height, const Rgba& rgba) {
    return OIIO::ImageBufAlgo::fill(rgba, OIIO::ROI(0, width, 0, height, 0, 1, 0, 4));
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

// Channels, type, bits in use where fewer than the type's, size, and the windows where the data
// does not start at the origin.
std::string StoredIn(const std::string& path) {
    auto input = OIIO::ImageInput::open(path);
    const OIIO::ImageSpec h = input ? input->spec() : OIIO::ImageSpec();
    std::ostringstream text;
    text << h.nchannels << ' ' << h.format;
    if (const int bits = h.get_int_attribute("oiio:BitsPerSample"); bits % 8) text << '/' << bits;
    text << ' ' << h.width << 'x' << h.height;
    if (h.x || h.y)
        text << " @" << h.x << ',' << h.y << " in " << h.full_width << 'x' << h.full_height;
    return text.str();
}

// Each command's output: how it is stored, and its centre pixel. a.exr's top row differs from the
// one below, so that planes or outputs turned over show; h.exr holds values that only float and
// half frames handed over bottom-up keep. Between them the rows hand every layout over. Outputs
// keep the channels, type and windows of the input they stand for, and gain channels only where
// their pixels need them. 8-bit steps set the tolerance.
TEST(Program, RunsEachCommandOnItsInputsAndKeepsHowTheyAreStored) {
    ScratchFolder folder;
    OIIO::ImageBuf a = Solid(4, 2, {0.8f, 0.4f, 0.2f, 0.6f});
    OIIO::ImageBufAlgo::fill(a, Rgba{0.8f, 0.4f, 0.2f, 0.2f}.data(), OIIO::ROI(0, 4, 0, 1));
    WriteImage(folder.Path("a.exr"), a, Layout::Float);
    const std::tuple<const char*, int, int, Rgba, int, OIIO::TypeDesc, int> inputs[] = {
        {"m.exr", 4, 2, {0.1f, 0.3f, 0.5f, 0.25f}, 4, OIIO::TypeUnknown, 0},
        {"h.exr", 4, 2, {3.5f, -0.25f, 2.0f, 1.0f}, 4, OIIO::TypeUnknown, 0},
        {"small.exr", 3, 1, {1.0f, 1.0f, 1.0f, 0.0f}, 4, OIIO::TypeUnknown, 0},
        {"grey.png", 6, 4, {0.4f, 0.4f, 0.4f, 1.0f}, 1, OIIO::TypeUInt8, 0},
        {"ten.dpx", 6, 4, {0.4f, 0.4f, 0.4f, 1.0f}, 3, OIIO::TypeUInt16, 10},
        {"window.exr", 6, 4, {0.4f, 0.4f, 0.4f, 0.25f}, 4, OIIO::TypeHalf, 0},
    };
    for (const auto& [name, width, height, rgba, channels, type, bits] : inputs) {
        const Storage storage{channels, type, bits, type == OIIO::TypeHalf, 2, 1, {0, 10, 0, 8}};
        WriteImage(folder.Path(name), Solid(width, height, rgba), Layout::Float, storage);
    }
    // Masks: t = 0.5 * 0.25 and 0.5 * (1 - 0.25); rgb = a * (1 - t) + colour * t, alpha
    // = 0.6 * (1 - t) + t. Luma: 0.6 * (0.30 * 0.8 + 0.59 * 0.4 + 0.11 * 0.2).
    const std::tuple<std::string, const char*, std::vector<float>> cases[] = {
        {"premultiply --layout argb8 a.exr out.exr", "4 float 4x2", {.48, .24, .12, .6}},
        {"copy --layout rgba8 a.exr out.exr", "4 float 4x2", {.8, .4, .2, .6}},
        {"resize --layout ae16 10x3 m.exr out.exr", "4 float 10x3", {.1, .3, .5, .25}},
        {"fit --layout rgba16 8x8 m.exr out.exr", "4 float 8x8", {.1, .3, .5, .25}},
        // One row up (1.5 rounded toward zero): a.exr's top row is at the centre.
        {"center --layout bgra8 6x5 a.exr out.exr", "4 float 6x5", {.8, .4, .2, .2}},
        {"clear --layout half --color 0,.5,1,.5 5x3 out.exr", "4 half 5x3", {0, .5, 1, .5}},
        {"clear --layout rgba16 --color 1,.5,0,0 4x2 out.png", "4 uint16 4x2", {1, .5, 0, 0}},
        {"copy-alpha m.exr a.exr out.exr", "4 float 4x2", {.8, .4, .2, .25}},
        {"mask --color 0,.5,1,.5 m.exr a.exr out.exr", "4 float 4x2", {.7, .4125, .3, .65}},
        {"inverse-mask --color 0,.5,1,.5 m.exr a.exr out.exr", "4 float 4x2", {.5, .4375, .5, .75}},
        {"alpha a.exr out.exr", "1 float 4x2", {.6}},
        {"alpha --top-down --size 9x2 a.exr out.exr", "1 float 9x2", {.6}},
        {"luma --layout half a.exr out.exr", "1 float 4x2", {.2988}},
        // Images of different sizes meet at their bottom-left corners: small.exr is clear there.
        {"mask --color 1,0,0 small.exr a.exr out.exr", "4 float 4x2", {.8, .4, .2, .6}},
        {"copy-alpha small.exr a.exr out.exr", "4 float 4x2", {.8, .4, .2, 0}},
        {"premultiply --layout half h.exr out.exr", "4 float 4x2", {3.5, -.25, 2, 1}},
        {"resize 8x4 h.exr out.exr", "4 float 8x4", {3.5, -.25, 2, 1}},
        {"premultiply --top-down h.exr out.exr", "4 float 4x2", {1, 0, 1, 1}},
        {"copy --layout rgba16 h.exr out.exr", "4 float 4x2", {1, 0, 1, 1}},
        {"copy grey.png out.png", "1 uint8 6x4", {.4}},
        {"copy ten.dpx out.dpx", "3 uint16/10 6x4", {.4, .4, .4}},
        {"copy window.exr out.exr", "4 half 6x4 @2,1 in 10x8", {.4, .4, .4, .25}},
        {"copy-alpha window.exr grey.png out.png", "2 uint8 6x4", {.4, .25}},
        {"mask --color 1,0,0 ten.dpx grey.png out.png", "3 uint8 6x4", {1, 0, 0}},
        {"alpha window.exr out.exr", "1 half 6x4 @2,1 in 10x8", {.25}},
        {"resize 3x2 window.exr out.exr", "4 half 3x2", {.4, .4, .4, .25}},
        {"copy --depth 12 window.exr out.tif", "4 uint16/12 6x4 @2,1 in 10x8", {.4, .4, .4, .25}},
        // (0.1, 0.3, 0.5) * 0.25 times (0.8, 0.4, 0.2) * 0.6, half mixed into the back, then
        // unpremultiplied by the mixed alpha (0.15 + 0.6) / 2.
        {"blend --mode multiply --mix .5 m.exr a.exr out.exr",
         "4 float 4x2",
         {.656, .344, .18, .375}},
        // Unmoved, a.exr over m.exr by Over: (0.48, 0.24, 0.12) * 0.6 plus m's premultiplied
        // colour * 0.4, alpha 0.6 + 0.25, unpremultiplied.
        {"transform a.exr m.exr out.exr", "4 float 4x2", {.3506, .2047, .1435, .85}},
        // A blur pass sums weight * alpha * rgb and weight * alpha: across (one tap) a.exr's rows
        // become (.48, .24, .12, .6) and (.16, .08, .04, .2); along, Pascal (1, 2, 1) / 4 with
        // the edge row repeated. r = .25 * .2 * .16 + .75 * .6 * .48, alpha = .25 * .2 + .75 * .6.
        {"blur --kernel pascal --size 1,3 a.exr out.exr", "4 float 4x2", {.224, .112, .056, .5}},
        // Screen of s = m / 2: s + a * (1 - s) in colour, .125 + .6 * .875 in alpha.
        {"composite --layout rgba16 --op Screen --opacity .5 m.exr a.exr out.exr",
         "4 float 4x2",
         {.81, .49, .4, .65}},
        // Gaussian (.2976, .4048, .2976) along gives (.3848, .1924, .0962, .481); stacked over
        // nothing, colour times alpha again; screened over m.exr and divided by its alpha .6108.
        {"glow --layer a.exr:0x3 --unpremultiply m.exr out.exr",
         "4 float 4x2",
         {.4365, .5972, .8564, .6108}},
        // JPEG holds no alpha.
        {"copy m.exr out.jpg", "3 uint8 4x2", {}},
    };
    for (const auto& [arguments, stored, want] : cases) {
        SCOPED_TRACE(arguments);
        ASSERT_EQ(RunProgram(folder, arguments).status, 0);
        const std::string out = folder.Path(arguments.substr(arguments.rfind(' ') + 1));
        EXPECT_EQ(StoredIn(out), stored);
        const OIIO::ImageBuf image = Load(out);
        for (size_t c = 0; c < want.size(); ++c)
            EXPECT_NEAR(image.getchannel(image.spec().width / 2, image.spec().height / 2, 0, c),
                        want[c], 1.5f / 255);
    }
}

// The demo, and the largest texture its hardware report gives: a source larger than that works
// where no tile of the output needs more of it (the library loads each tile's share on its own),
// and fails with the reason where one does.
TEST(Program, DemoRunsAndSourcesBeyondTheLargestTextureWorkTileByTile) {
    ScratchFolder folder;
    const Outcome demo = RunProgram(folder, "demo --out results");
    ASSERT_EQ(demo.status, 0) << demo.err;
    // At a pixel on the disc's soft edge, the demo's alpha result is its disc's alpha.
    const float t = Load(folder.Path("results/input-disc.png")).getchannel(218, 128, 0, 3);
    EXPECT_TRUE(t > 0.1f && t < 0.9f) << t;
    EXPECT_NEAR(Load(folder.Path("results/alpha.png")).getchannel(218, 128, 0, 0), t,
                2e-3f + 1.0f / 65535);
    // The 16 x 16 pixels of the scene's sphere edge the sheet enlarges: coverage (alpha, against
    // the empty sky) is 0 or 1 in the plain render, graded in each anti-aliased one.
    for (const std::string method : {"plain", "aa-buffer-1", "aa-buffer-3", "aa-render-8"}) {
        const OIIO::ImageBuf scene = Load(folder.Path("results/scene-" + method + ".png"));
        int graded = 0;
        for (int i = 0; i < 256; ++i) {
            const float a = scene.getchannel(60 + i % 16, 55 + i / 16, 0, 3);
            graded += a > 0.02f && a < 0.98f;
        }
        EXPECT_EQ(graded >= 6, method != "plain") << method << ": " << graded;
    }
    const int largest = std::stoi(demo.out.substr(demo.out.find("Texture Dimension: ") + 19));
    if (largest >= kMaxDimension) GTEST_SKIP() << "no input may be larger than this card's";
    const int wide = largest + 1;
    const OIIO::ImageBuf source = Solid(wide, 8, {0.25f, 0.5f, 0.75f, 1}),
                         want = Solid(wide / 2, 8, {0.25f, 0.5f, 0.75f, 1});
    WriteImage(folder.Path("wide.exr"), source, Layout::Float);
    // Output tiles are 2048 pixels wide: at half the source's width each needs half of it.
    const std::string half = std::to_string(wide / 2);
    ASSERT_EQ(RunProgram(folder, "resize " + half + "x8 wide.exr out.exr").status, 0);
    EXPECT_EQ(OIIO::ImageBufAlgo::compare(Load(folder.Path("out.exr")), want, 2e-3f, 0).nfail, 0u);
    ASSERT_EQ(RunProgram(folder, "alpha --size " + half + "x8 wide.exr out.exr").status, 0);
    // The one tile of a 100-pixel-wide output would need the whole source: the library says
    // which texture the card would not make.
    for (const std::string command : {"resize 100x8", "alpha --size 100x8"})
        ExpectFailure(RunProgram(folder, command + " wide.exr small.exr"), 1,
                      "could not make a " + std::to_string(wide) + " x ");
}

// A sequence stops at the first frame that fails, whichever step it fails in, even while later
// frames are read ahead: the frames before it are written whole, none after it, and the message
// follows that frame's progress line.
// NaN and infinite input values are read as 0, with a warning: a composite and a blend of
// inputs holding them (a NaN front, a NaN back, an infinite mask) give what the same inputs
// with 0 in their place give (a NaN anywhere would differ).
TEST(Program, NanAndInfiniteInputValuesAreReadAsZero) {
    ScratchFolder folder;
    const float nan = std::nanf(""), inf = std::numeric_limits<float>::infinity();
    for (bool spoilt : {true, false}) {
        OIIO::ImageBuf f = Solid(4, 3, {0.8f, 0.4f, 0.2f, 0.6f}),
                       b = Solid(4, 3, {0.1f, 0.2f, 0.3f, 1});
        OIIO::ImageBuf m = Solid(4, 3, {0, 0, 0, 0.5f});
        const float front[4] = {spoilt ? nan : 0, 0.5f, 0.5f, 1},
                    back[4] = {0.5f, spoilt ? -inf : 0, 0.5f, 1};
        const float mask[4] = {0, 0, 0, spoilt ? inf : 0};
        f.setpixel(1, 1, front), b.setpixel(2, 1, back), m.setpixel(0, 0, mask);
        const std::string tag = spoilt ? "s" : "z";
        for (const auto& [name, image] : {std::pair{"f", &f}, {"b", &b}, {"m", &m}})
            WriteImage(folder.Path(name + tag + ".exr"), *image, Layout::Float);
        for (const std::string command : {"composite", "blend --mode 3"}) {
            const std::string out = command.substr(0, 5);
            const Outcome run =
                RunProgram(folder, command + " --mask m" + tag + ".exr f" + tag + ".exr b" + tag +
                                       ".exr " + out + tag + ".exr");
            ASSERT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(run.err.find("values were NaN or infinite and are read as 0") !=
                          std::string::npos,
                      spoilt)
                << run.err;
            if (spoilt) continue;
            const OIIO::ImageBuf got = Load(folder.Path(out + "s.exr"));
            EXPECT_EQ(
                OIIO::ImageBufAlgo::compare(got, Load(folder.Path(out + "z.exr")), 0, 0).nfail, 0u)
                << command;
        }
    }
}

// Every command on files against hostile inputs (A, B), absurd options and unwritable outputs:
// each run ends in time with 0, 1 or 2, never by a signal, prints only lines of its own, keeps
// the old output unless it succeeded, and refuses a frame too large for the memory there is.
// Every command that reads a file, with A and B for its inputs and OUT for its output.
const char* const kCommands =
    "premultiply A OUT|copy A OUT|resize 5x4 A OUT|fit 5x4 A OUT|center 5x4 A OUT|"
    "clear --color 1,0,0,1 A OUT|copy-alpha A B OUT|mask --color 1,0,0,1 A B OUT|"
    "inverse-mask --color 1,0,0,1 A B OUT|alpha A OUT|luma A OUT|blend --mode 3 A B OUT|"
    "transform --scale 0.5,0.7,1 --decim box A B OUT|blur --size 5 A OUT|composite A B OUT|"
    "glow --layer A:3x3 B OUT|encipher A OUT|decipher A OUT|shader-info A";

std::vector<std::string> Split(const std::string& text, char at = '|') {
    std::vector<std::string> items;
    std::istringstream in(text);
    for (std::string item; std::getline(in, item, at);)
        if (!item.empty()) items.push_back(item);
    return items;
}

std::string With(std::string line, const std::string& from, const std::string& to) {
    for (size_t at = line.find(from); at != std::string::npos; at = line.find(from, at))
        line.replace(at, from.size(), to), at += to.size();
    return line;
}

// Starts the program in the folder, its stop signals at their defaults (the test may run with
// them ignored); paused: stopped before it runs. The child may not allocate (other threads may
// hold the allocator's lock): all it uses is made before the fork.
pid_t Launch(const ScratchFolder& folder, const std::string& arguments, bool paused) {
    std::vector<std::string> words = Split("tesk-ae " + arguments, ' ');
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const std::string where = folder.Path("");
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGINT, SIG_DFL), std::signal(SIGTERM, SIG_DFL);
        if (paused) ::raise(SIGSTOP);
        if (::chdir(where.c_str()) == 0) ::execv(TESK_AE_PROGRAM, argv.data());
        ::_exit(127);
    }
    return child;
}

// The child's wait status, waiting a minute at most; -1, the child killed, past that.
int Reap(pid_t child) {
    int status = 0;
    for (int i = 0; i < 6000; ++i, ::usleep(10000))
        if (::waitpid(child, &status, WNOHANG) == child) return status;
    ::kill(child, SIGKILL), ::waitpid(child, &status, 0);
    return -1;
}

TEST(Program, HostileInputsOptionsAndOutputsEndCleanly) {
    ScratchFolder folder;
    std::ifstream meminfo("/proc/meminfo");
    double kib = 0;
    for (std::string line; std::getline(meminfo, line) && !kib;)
        std::sscanf(line.c_str(), "MemAvailable: %lf kB", &kib);
    WriteImage(folder.Path("good.exr"), Solid(4, 3, {0.2f, 0.4f, 0.6f, 0.8f}), Layout::Float);
    WriteImage(folder.Path("other.exr"), Solid(7, 5, {0.9f, 0.1f, 0.3f, 0.5f}), Layout::Float);
    std::ofstream(folder.Path("empty.exr"));
    std::ofstream(folder.Path("cut.exr"), std::ios::binary)
        << Contents(folder.Path("good.exr")).substr(0, 60);
    std::ofstream(folder.Path("huge.ppm")) << "P6\n30000 30000\n255\n" << std::string(64, 'x');
    fs::create_directory(folder.Path("dir"));
    ASSERT_EQ(::mkfifo(folder.Path("fifo.exr").c_str(), 0600), 0);
    std::ofstream(folder.Path("ro.exr")) << "kept";
    fs::permissions(folder.Path("ro.exr"), fs::perms::owner_read);

    const std::vector<std::string> commands = Split(kCommands);
    const std::vector<std::string> inputs =
        Split("missing.exr|empty.exr|cut.exr|dir|fifo.exr|huge.ppm|other.exr");
    const std::vector<std::string> absurd = Split(
        "resize 0x0 good.exr OUT|resize 99999x99999 good.exr OUT|blur --size -5 good.exr OUT|"
        "blur --size 1e30 good.exr OUT|blend --mode 999 good.exr good.exr OUT|"
        "composite --opacity nan good.exr good.exr OUT|"
        "transform --scale 1e9,1e9,1 good.exr good.exr OUT|glow --layer good.exr:0x0 good.exr OUT|"
        "copy good.exr ro.exr|copy good.exr dir/missing/out.exr|copy good.exr dir");
    std::vector<std::string> runs = absurd;
    for (const std::string& command : commands)
        for (const std::string& input : inputs) {
            runs.push_back(With(With(command, "A", input), "B", "good.exr"));
            if (command.find('B') != std::string::npos)
                runs.push_back(With(With(command, "A", "good.exr"), "B", input));
        }
    for (const std::string& run : runs) {
        std::ofstream(folder.Path("out.exr")) << "old";
        const Outcome outcome = RunProgram(folder, With(run, "OUT", "out.exr"), 60);
        EXPECT_TRUE(outcome.status >= 0 && outcome.status <= 2) << run << ": " << outcome.status;
        std::istringstream lines(outcome.err);
        for (std::string line; std::getline(lines, line);)
            EXPECT_EQ(line.rfind("tesk-ae: ", 0), 0u) << run << ": " << outcome.err;
        EXPECT_TRUE(outcome.status == 0 || !outcome.err.empty()) << run;
        if (outcome.status != 0) {
            EXPECT_EQ(Contents(folder.Path("out.exr")), "old") << run;
        }
        if (outcome.err.find("cannot read 'huge.ppm'") != std::string::npos &&
            kib * 1024 < 50.4e9) {
            EXPECT_NE(outcome.err.find("30000 x 30000 pixels need about 50.4 GB to work on"),
                      std::string::npos)
                << run << ": " << outcome.err;
        }
        EXPECT_EQ(Contents(folder.Path("ro.exr")), "kept") << run;
    }
}

// A source too thin to keep a pixel when fitted gives a transparent frame and a warning.
TEST(Program, AFitWithNothingLeftToDrawWarnsAndWritesATransparentFrame) {
    ScratchFolder folder;
    WriteImage(folder.Path("thin.exr"), Solid(4000, 1, {1, 0, 0, 1}), Layout::Float);
    const Outcome fit = RunProgram(folder, "fit 100x100 thin.exr out.exr");
    EXPECT_EQ(fit.status, 0) << fit.err;
    EXPECT_NE(fit.err.find("tesk-ae: warning: fit: destination image: fitting the 4000 x 1 "
                           "source into 100 x 100 leaves 100 x 0 pixels to draw\n"),
              std::string::npos)
        << fit.err;
    const OIIO::ImageBuf out = Load(folder.Path("out.exr"));
    EXPECT_EQ(OIIO::ImageBufAlgo::compare(out, Solid(100, 100, {}), 0, 0).nfail, 0u);
}

TEST(Program, RunsFrameSequencesUpToTheFirstFrameThatFails) {
    ScratchFolder folder;
    for (int frame = 1; frame <= 5; ++frame)
        WriteImage(folder.Path("in.000" + std::to_string(frame) + ".exr"),
                   Solid(3, 2, {0.8f, 0.4f, 0.2f, frame * 0.2f}), Layout::Float);
    WriteImage(folder.Path("ro.3.exr"), Solid(1, 1, {}), Layout::Float);
    fs::permissions(folder.Path("ro.3.exr"), fs::perms::owner_read);
    const std::tuple<std::string, int, std::string> rows[] = {
        {"ok", 6, ""},
        {"ro", 3, "tesk-ae: cannot write 'ro.3.exr': the file there is read-only"},
        {"bad", 4, "tesk-ae: cannot read 'in.0004.exr': "},
    };
    for (const auto& [out, failed, says] : rows) {
        // An unreadable frame with a good one after it.
        if (out == "bad") std::ofstream(folder.Path("in.0004.exr")) << "not an image";
        const Outcome outcome =
            RunProgram(folder, "premultiply --frames 1-5 in.####.exr " + out + ".#.exr");
        std::string progress;
        for (int frame = 1; frame <= std::min(failed, 5); ++frame)
            progress += "tesk-ae premultiply: frame " + std::to_string(frame) + " (" +
                        std::to_string(frame) + " of 5)\n";
        // The message is one line, after the progress line of the frame that failed.
        const std::string rest = outcome.err.substr(std::min(progress.size(), outcome.err.size()));
        EXPECT_TRUE(outcome.status == (failed > 5 ? 0 : 1) &&
                    outcome.err.rfind(progress + says, 0) == 0 &&
                    rest.find('\n') + 1 == rest.size())
            << outcome.err;
        for (int frame = 1; frame <= 5; ++frame) {
            const std::string name = folder.Path(out + "." + std::to_string(frame) + ".exr");
            if (frame < failed)
                EXPECT_NEAR(Load(name).getchannel(1, 1, 0, 1), 0.08f * frame, 1e-3f) << name;
            else
                EXPECT_EQ(fs::exists(name), out == "ro" && frame == 3) << name;
        }
    }
    // Nothing half-written is left behind: the inputs, the read-only file and 5 + 2 + 3 outputs.
    EXPECT_EQ(folder.Names().size(), 6u + 10);
}

// Help and the hardware report go to stdout; failures are one line on stderr. None of them writes a
// file, nor replaces the output already there.
TEST(Program, AnswersHelpAndRejectsBadRequestsLeavingFilesAsTheyWere) {
    ScratchFolder folder;
    WriteImage(folder.Path("in.exr"), Solid(4, 3, {0.2f, 0.4f, 0.6f, 0.8f}), Layout::Float);
    WriteImage(folder.Path("out.exr"), Solid(2, 2, {0.1f, 0.2f, 0.3f, 0.4f}), Layout::Float);
    // A header that claims more than any output may have, with too few pixels behind it.
    std::ofstream(folder.Path("huge.ppm")) << "P6\n40000 2\n255\n" << std::string(64, 'x');
    // A header with a wrong checksum makes libpng print a line of its own as it fails.
    std::ofstream(folder.Path("bad.png"))
        << std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\4\0\0\0\3\b\6\0\0\0\0\0\0\0", 33);
    const auto files = folder.Names();
    const std::string before = Contents(folder.Path("out.exr"));
    for (const char* help : {"resize -h", "help resize", "resize --help 10x10 in.exr out.exr"})
        EXPECT_EQ(RunProgram(folder, help).out.rfind("usage: tesk-ae resize [", 0), 0u) << help;
    EXPECT_EQ(RunProgram(folder, "info").out.rfind("Graphics Card:     ", 0), 0u);
    const std::tuple<const char*, int, const char*> cases[] = {
        {"premultiply missing.exr out.exr", 1, "cannot read 'missing.exr': no such file"},
        {"premultiply . out.exr", 1, "cannot read '.': it is a folder"},
        {"copy huge.ppm out.exr", 1, "'huge.ppm': it is 40000 x 2, larger than the 32768 pixels"},
        {"copy bad.png out.exr", 1, "cannot read 'bad.png': PNG read error: IHDR: CRC error"},
        {"premultiply in.exr out.unknownformat", 1, "cannot write 'out.unknownformat'"},
        {"premultiply in.exr no/out.exr", 1, "cannot write 'no/out.exr': there is no folder 'no'"},
        {"TESK_AE_FAIL_CONTEXT=1 premultiply in.exr out.exr", 1, "OpenGL context failure."},
        {"TESK_AE_FAIL_CONTEXT=1 alpha in.exr out.exr", 1, "OpenGL context failure."},
        {"TESK_AE_FAIL_CONTEXT=1 info", 1, "OpenGL context failure."},
        {"premultiply --max-memory 100 in.exr out.exr", 1,
         "need about 0.0 GB to work on, more "
         "than the 0.0 GB that --max-memory allows"},
        {"premultiply --max-memory 2x in.exr out.exr", 2, "bad memory size '2x'"},
        {"premultiply --layout", 2, "--layout needs a value (see 'tesk-ae premultiply --help')"},
        {"frobnicate in.exr out.exr", 2, "unknown command 'frobnicate' (see 'tesk-ae --help')"},
        {"premultiply in.exr", 2, "'premultiply' takes 2 operands"},
        {"clear 4x4 out.exr", 2, "'clear' needs --color"},
        {"copy --color 1,0,0 in.exr out.exr", 2, "'copy' does not take --color"},
        {"premultiply --frames 1-2 in.exr out.exr", 2, "--frames needs file names with ####"},
        {"premultiply in.##.exr out.##.exr", 2, "give --frames A-B"},
        {"premultiply --frames 1-2 in.##.exr out.exr", 2, "needs a #### frame number"},
        {"blend --mode screan in.exr in.exr out.exr", 2,
         "unknown blend mode 'screan'; did you mean Screen?"},
        {"blend in.exr in.exr out.exr", 2, "'blend' needs --mode M"},
        {"transform --order XYW in.exr in.exr out.exr", 2, "unknown rotation order 'XYW'"},
        {"blur in.exr out.exr", 2, "'blur' needs --size W[,H]"},
        {"blur --size=-1 in.exr out.exr", 2, "bad blur size '-1'"},
        {"blur --size 3 --kernel box --spread 1 in.exr out.exr", 2, "--spread is for the gaussian"},
        {"composite --op scren in.exr in.exr out.exr", 2,
         "unknown blend op 'scren'; did you mean Screen?"},
        {"glow --layer in.exr in.exr out.exr", 2, "bad layer 'in.exr': expected FILE:WxH"},
        {"glow in.exr out.exr", 2, "'glow' needs --layer FILE:WxH"},
        {"", 2, "no command given"},
    };
    for (const auto& [arguments, status, says] : cases) {
        SCOPED_TRACE(arguments);
        ExpectFailure(RunProgram(folder, arguments), status, says);
        EXPECT_TRUE(folder.Names() == files && Contents(folder.Path("out.exr")) == before);
    }
    // Renaming over a read-only file would work; it is refused all the same, as oiiotool does.
    fs::permissions(folder.Path("out.exr"), fs::perms::owner_read);
    ExpectFailure(RunProgram(folder, "premultiply in.exr out.exr"), 1,
                  "cannot write 'out.exr': the file there is read-only");
    EXPECT_EQ(Contents(folder.Path("out.exr")), before);
}

// Stopped by SIGINT or SIGTERM, every command ends as the signal ends a program or had finished,
// hangs on nothing, leaves no temporary file, and keeps the old output unless a complete one
// replaced it. First inside a write: a pipe put where the temporary file goes holds the write, as
// nobody drains it. Then every command at some moment of its run, each a little later.
TEST(Program, StoppedBySignalsEveryCommandEndsByThemAndLosesNothing) {
    ScratchFolder folder;
    WriteImage(folder.Path("a.exr"), Solid(1600, 900, {0.2f, 0.4f, 0.6f, 0.8f}), Layout::Float);
    WriteImage(folder.Path("b.exr"), Solid(1600, 900, {0.9f, 0.1f, 0.3f, 0.5f}), Layout::Float);
    std::ofstream(folder.Path("in.arb")) << std::string(300000, 'x');
    ASSERT_EQ(RunProgram(folder, "encipher in.arb sealed.arb").status, 0);
    ASSERT_EQ(RunProgram(folder, "encipher a.exr whole.arb").status, 0);
    const std::map<std::string, size_t> whole = {
        {"encipher", Contents(folder.Path("whole.arb")).size()}, {"decipher", 300000}};
    std::vector<std::string> runs = {"copy a.exr OUT.ppm", "encipher in.arb OUT.arb",
                                     "decipher sealed.arb OUT.arb"};
    const size_t inWrites = runs.size();
    for (const std::string& command : Split(kCommands))
        runs.push_back(
            With(With(With(With(With(command, "decipher A", "decipher sealed.arb"), "shader-info A",
                                "shader-info " TESK_SAMPLE_SHADERS "/Volume/fog.arb"),
                           "A", "a.exr"),
                      "B", "b.exr"),
                 "OUT", "OUT.exr"));
    runs.insert(runs.end(), {"info", "shaders --root " TESK_SAMPLE_SHADERS});
    int stopped = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        const int stop = i % 2 ? SIGTERM : SIGINT;
        const std::string run = With(runs[i], "OUT", "out");
        const size_t named = run.find(" out.");
        const std::string out =
            folder.Path(named == std::string::npos ? "out.exr" : run.substr(named + 1, 7));
        SCOPED_TRACE(run + (stop == SIGINT ? ", SIGINT" : ", SIGTERM"));
        std::ofstream(out) << "old";
        const std::set<std::string> names = folder.Names();
        const pid_t child = Launch(folder, run, i < inWrites);
        int status = 0, reader = -1;
        if (i < inWrites) {
            ASSERT_EQ(::waitpid(child, &status, WUNTRACED), child);
            const std::string temporary = out + ".tesk-ae-" + std::to_string(child) + ".tmp";
            ASSERT_EQ(::mkfifo(temporary.c_str(), 0600), 0);
            reader = ::open(temporary.c_str(), O_RDONLY | O_NONBLOCK);
            ASSERT_EQ(::kill(child, SIGCONT), 0);
            // Bytes in the pipe: the program is inside its write, and stays there.
            pollfd ready{reader, POLLIN, 0};
            while (::poll(&ready, 1, 100) == 0)
                ASSERT_NE(::waitpid(child, &status, WNOHANG), child);
        } else {
            ::usleep(useconds_t(30000 + 45000 * (i % 12)));
        }
        ::kill(child, stop);
        status = Reap(child);
        if (reader >= 0) ::close(reader);
        ASSERT_NE(status, -1) << "still running a minute after the signal";
        // One held inside its write cannot have finished.
        const bool finished = WIFEXITED(status) && WEXITSTATUS(status) == 0 && i >= inWrites;
        EXPECT_TRUE(finished || (WIFSIGNALED(status) && WTERMSIG(status) == stop)) << status;
        stopped += !finished;
        EXPECT_EQ(folder.Names(), names);
        // Stopped after its rename, a run has left a whole output; never a part of one.
        const std::string now = Contents(out);
        EXPECT_TRUE(now != "old" || !finished || named == std::string::npos);
        EXPECT_TRUE(now == "old" ||
                    (whole.count(run.substr(0, 8)) ? now.size() == whole.at(run.substr(0, 8))
                                                   : Load(out).initialized()));
    }
    // Most runs were stopped, not finished: the stops did land mid-run.
    EXPECT_GT(stopped, int(runs.size()) / 2);
}

// Description files: enciphered and deciphered again they are the same bytes, an enciphered one
// reads as its plain one, and a parse error is status 1 with the record's error text.
TEST(Program, ShaderDescriptionsEncipherDecipherAndParse) {
    ScratchFolder folder;
    // Without a vertex program of its own, so that it parses away from its folder too.
    const std::string fog = TESK_SAMPLE_SHADERS "/Volume/fog.arb";
    ASSERT_EQ(RunProgram(folder, "encipher '" + fog + "' e.arb").status, 0);
    // Read before its deciphered twin exists: files of one folder may not share an ID.
    const Outcome enciphered = RunProgram(folder, "shader-info e.arb");
    const Outcome plain = RunProgram(folder, "shader-info '" + fog + "'");
    ASSERT_EQ(RunProgram(folder, "decipher e.arb d.arb").status, 0);
    EXPECT_NE(Contents(folder.Path("e.arb")), Contents(fog));
    EXPECT_EQ(Contents(folder.Path("d.arb")), Contents(fog));
    // A read-only output is kept; a cut-off container and a folder are refused (a FIFO: the
    // hostile-input sweep).
    fs::permissions(folder.Path("d.arb"), fs::perms::owner_read);
    ExpectFailure(RunProgram(folder, "encipher '" + fog + "' d.arb"), 1, "is read-only");
    EXPECT_EQ(Contents(folder.Path("d.arb")), Contents(fog));
    fs::permissions(folder.Path("d.arb"), fs::perms::owner_all);
    std::ofstream(folder.Path("cut.arb")) << Contents(folder.Path("e.arb")).substr(0, 50);
    ExpectFailure(RunProgram(folder, "decipher cut.arb out.arb"), 1, "is cut off");
    ExpectFailure(RunProgram(folder, "encipher . out.arb"), 1, "it is a folder");
    EXPECT_FALSE(fs::exists(folder.Path("out.arb")));
    ASSERT_EQ(plain.status, 0);
    EXPECT_EQ(plain.out.rfind("name:       Fog\n", 0), 0u);
    // The companion files' folder differs; the arguments do not.
    EXPECT_EQ(enciphered.out.substr(enciphered.out.find("arguments:")),
              plain.out.substr(plain.out.find("arguments:")));
    fs::remove(folder.Path("d.arb"));
    // An info with a bracket in it parses: its bracket's text is taken as the range.
    std::ofstream(folder.Path("percent.arb")) << "!!ARBfp1.0\n# !type surface Percent\n# !ID 7\n# "
                                                 "!float amount 0.5 Amount (percent)\nEND\n";
    const Outcome percent = RunProgram(folder, "shader-info percent.arb");
    EXPECT_EQ(percent.status, 0) << percent.err;
    EXPECT_NE(percent.out.find("Amount"), std::string::npos) << percent.out;
}

TEST(Program, ShadersListsTheSampleCatalogueAndBindsByName) {
    ScratchFolder folder;
    const Outcome list = RunProgram(folder, "shaders --root '" TESK_SAMPLE_SHADERS "'");
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("      3  Brushed Metal             sub-group Metal (default)"),
              std::string::npos)
        << list.out;
    // The example deformer binds: its line carries no failure.
    const size_t ripple = list.out.find("     40  Ripple ");
    ASSERT_NE(ripple, std::string::npos) << list.out;
    EXPECT_EQ(list.out.substr(ripple, list.out.find('\n', ripple) - ripple).find("FAILS"),
              std::string::npos);
    EXPECT_EQ(RunProgram(folder, "shaders --bind Chrome --root '" TESK_SAMPLE_SHADERS "'")
                  .out.substr(list.out.find('\n') + 1),
              "shaders available: yes\nChrome: bound\n");
    EXPECT_EQ(RunProgram(folder, "shaders --bind Nothing").status, 1);
    // A missing root is an error. A file the catalogue leaves out is named, with the parser's
    // message; a FIFO where a companion file is looked for is not waited on.
    ExpectFailure(RunProgram(folder, "shaders --root no-such-folder"), 1,
                  "there is no shader root folder");
    fs::copy(TESK_SAMPLE_SHADERS, folder.Path("cat"), fs::copy_options::recursive);
    std::ofstream(folder.Path("cat/Surface/broken.arb"))
        << "!!ARBfp1.0\n# !type surface Broken\n# !ID 999\n# !bogus\nEND\n";
    fs::remove(folder.Path("cat/Surface/plastic.tsl"));
    ASSERT_EQ(::mkfifo(folder.Path("cat/Surface/plastic.tsl").c_str(), 0600), 0);
    const Outcome listed = RunProgram(folder, "shaders --root cat");
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.err.find("broken.arb' is left out: "), std::string::npos) << listed.err;
    EXPECT_NE(listed.err.find("unknown tag \"!bogus\"; line 4"), std::string::npos);
}

} // namespace
} // namespace cli
