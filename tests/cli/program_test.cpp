// The built tesk-ae program, run on small generated files; results are checked against the
// operations' formulas computed here on the CPU.
#include "tools/Arguments.h"
#include "tools/ImageFile.h"

#include <OpenImageIO/imagebufalgo.h>

#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

// Runs the program with the arguments (a shell word list) in the folder; prefix goes before the
// program's name (environment settings).
Outcome RunProgram(const ScratchFolder& folder, const std::string& arguments,
                   const std::string& prefix = "") {
    const std::string out = folder.Path("stdout.txt"), err = folder.Path("stderr.txt");
    const std::string line = "cd '" + folder.Path("") + "' && " + prefix +
                             " '" TESK_AE_PROGRAM "' " + arguments + " >'" + out + "' 2>'" + err +
                             "'";
    const int status = std::system(line.c_str());
    Outcome outcome;
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.out = Contents(out);
    outcome.err = Contents(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return outcome;
}

using PixelRule = std::function<void(int x, int y, float rgba[4])>;

OIIO::ImageBuf MakeImage(int width, int height, const PixelRule& rule) {
    OIIO::ImageBuf image(OIIO::ImageSpec(width, height, 4, OIIO::TypeFloat));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float rgba[4];
            rule(x, y, rgba);
            image.setpixel(x, y, rgba, 4);
        }
    }
    return image;
}

// Colours and alphas that vary over the whole range, alpha 0 and 1 included.
OIIO::ImageBuf Varied(int width, int height) {
    return MakeImage(width, height, [](int x, int y, float* p) {
        p[0] = (x + 1) / 8.0f;
        p[1] = (y + 1) / 6.0f;
        p[2] = ((x * 3 + y * 5) % 7) / 6.0f;
        p[3] = ((x + 2 * y) % 5) / 4.0f;
    });
}

OIIO::ImageBuf Solid(int width, int height, float r, float g, float b, float a) {
    return MakeImage(width, height, [=](int, int, float* p) {
        p[0] = r;
        p[1] = g;
        p[2] = b;
        p[3] = a;
    });
}

// The card keeps textures in half floats; 8-bit layouts add their own steps.
float ToleranceFor(const std::string& layout) {
    return layout.find('8') != std::string::npos ? 1.5f / 255 : 2e-3f;
}

// Compares every pixel of a file with the rule's expected value; channels < 4 compares that
// many (one-channel outputs).
void ExpectPixels(const std::string& path, int width, int height, float tolerance,
                  const PixelRule& expected, int channels = 4) {
    // Values as stored: PNG readers would otherwise multiply unassociated alpha in.
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto input = OIIO::ImageInput::open(path, &config);
    ASSERT_TRUE(input) << path;
    const OIIO::ImageSpec header = input->spec();
    ASSERT_EQ(header.width, width) << path;
    ASSERT_EQ(header.height, height) << path;
    ASSERT_EQ(header.nchannels, channels) << path;
    std::vector<float> pixels(static_cast<size_t>(width) * height * channels);
    ASSERT_TRUE(input->read_image(0, 0, 0, channels, OIIO::TypeFloat, pixels.data()));
    int wrong = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float want[4];
            expected(x, y, want);
            for (int c = 0; c < channels; ++c) {
                const float got = pixels[(static_cast<size_t>(y) * width + x) * channels + c];
                if (std::fabs(got - want[c]) > tolerance && ++wrong <= 5)
                    ADD_FAILURE() << path << " (" << x << ", " << y << ") channel " << c << ": got "
                                  << got << ", expected " << want[c];
            }
        }
    }
    EXPECT_EQ(wrong, 0) << path;
}

float At(const OIIO::ImageBuf& image, int x, int y, int c) {
    return image.getchannel(x, y, 0, c);
}

// Failures are one line on stderr, and nothing is written to stdout that looks like a result.
void ExpectOneLineError(const Outcome& outcome, int status) {
    EXPECT_EQ(outcome.status, status) << outcome.err;
    EXPECT_EQ(outcome.err.rfind("tesk-ae: ", 0), 0u) << outcome.err;
    ASSERT_FALSE(outcome.err.empty());
    EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
}

const char* const kLayouts[] = {"float", "half", "rgba16", "ae16", "rgba8", "argb8", "bgra8"};

TEST(Program, PremultipliesInEveryLayout) {
    ScratchFolder folder;
    const OIIO::ImageBuf source = Varied(7, 5);
    WriteImage(folder.Path("in.exr"), source, Layout::Float);
    for (const char* layout : kLayouts) {
        SCOPED_TRACE(layout);
        const std::string out = std::string("out-") + layout + ".exr";
        const Outcome outcome =
            RunProgram(folder, std::string("premultiply --layout ") + layout + " in.exr " + out);
        ASSERT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.err, "");
        ExpectPixels(folder.Path(out), 7, 5, ToleranceFor(layout), [&](int x, int y, float* p) {
            const float a = At(source, x, y, 3);
            for (int c = 0; c < 3; ++c) p[c] = At(source, x, y, c) * a;
            p[3] = a;
        });
    }
}

TEST(Program, CopiesResizesFitsCentresAndClears) {
    ScratchFolder folder;
    const OIIO::ImageBuf varied = Varied(7, 5);
    WriteImage(folder.Path("varied.exr"), varied, Layout::Float);
    WriteImage(folder.Path("solid.exr"), Solid(8, 2, 0.25f, 0.5f, 0.75f, 1.0f), Layout::Float);
    WriteImage(folder.Path("small.exr"), Solid(2, 2, 0.75f, 0.5f, 0.25f, 1.0f), Layout::Float);

    for (const char* layout : {"float", "rgba8"}) {
        SCOPED_TRACE(layout);
        const std::string with = std::string(" --layout ") + layout + " ";
        const float tolerance = ToleranceFor(layout);
        ASSERT_EQ(RunProgram(folder, "copy" + with + "varied.exr copy.exr").status, 0);
        ExpectPixels(folder.Path("copy.exr"), 7, 5, tolerance, [&](int x, int y, float* p) {
            for (int c = 0; c < 4; ++c) p[c] = At(varied, x, y, c);
        });

        // Resizing a solid image keeps its colour at every pixel of the new size.
        ASSERT_EQ(RunProgram(folder, "resize" + with + "10x3 solid.exr resized.exr").status, 0);
        ExpectPixels(folder.Path("resized.exr"), 10, 3, tolerance, [](int, int, float* p) {
            p[0] = 0.25f, p[1] = 0.5f, p[2] = 0.75f, p[3] = 1.0f;
        });

        // 8 x 2 fitted into 8 x 8: scale 1, placed 3 rows down. Only the placed rows are
        // checked: what the rest of the frame holds is the library's choice.
        ASSERT_EQ(RunProgram(folder, "fit" + with + "8x8 solid.exr fitted.exr").status, 0);
        {
            const OIIO::ImageBuf fitted = ReadImage(folder.Path("fitted.exr"));
            ASSERT_EQ(fitted.spec().width, 8);
            ASSERT_EQ(fitted.spec().height, 8);
            for (int y = 3; y <= 4; ++y)
                for (int x = 0; x < 8; ++x)
                    EXPECT_NEAR(At(fitted, x, y, 2), 0.75f, tolerance) << x << "," << y;
        }
        // 2 x 2 in the middle of 6 x 6: moved by (2, 2).
        ASSERT_EQ(RunProgram(folder, "center" + with + "6x6 small.exr centred.exr").status, 0);
        {
            const OIIO::ImageBuf centred = ReadImage(folder.Path("centred.exr"));
            ASSERT_EQ(centred.spec().width, 6);
            ASSERT_EQ(centred.spec().height, 6);
            for (int y = 2; y <= 3; ++y) {
                for (int x = 2; x <= 3; ++x) {
                    EXPECT_NEAR(At(centred, x, y, 0), 0.75f, tolerance) << x << "," << y;
                    EXPECT_NEAR(At(centred, x, y, 3), 1.0f, tolerance) << x << "," << y;
                }
            }
        }

        ASSERT_EQ(
            RunProgram(folder, "clear" + with + "--color 0.25,0.5,0.75,0.5 5x3 clear.exr").status,
            0);
        ExpectPixels(folder.Path("clear.exr"), 5, 3, tolerance, [](int, int, float* p) {
            p[0] = 0.25f, p[1] = 0.5f, p[2] = 0.75f, p[3] = 0.5f;
        });
        // Sized like an image, and with transparent black (cleared without the card).
        ASSERT_EQ(
            RunProgram(folder, "clear" + with + "--color 0,0,0,0 varied.exr clear2.exr").status, 0);
        ExpectPixels(folder.Path("clear2.exr"), 7, 5, tolerance,
                     [](int, int, float* p) { p[0] = p[1] = p[2] = p[3] = 0.0f; });
    }
}

TEST(Program, CopiesAlphaMasksAndExtractsPlanes) {
    ScratchFolder folder;
    const OIIO::ImageBuf mask = Varied(6, 4);
    const OIIO::ImageBuf image = MakeImage(6, 4, [](int x, int y, float* p) {
        p[0] = 0.2f + 0.1f * x;
        p[1] = 0.9f - 0.2f * y;
        p[2] = 0.5f;
        p[3] = 0.25f + 0.25f * (y % 4);
    });
    WriteImage(folder.Path("mask.exr"), mask, Layout::Float);
    WriteImage(folder.Path("image.exr"), image, Layout::Float);
    const float tolerance = 2e-3f;

    ASSERT_EQ(RunProgram(folder, "copy-alpha mask.exr image.exr alpha-copied.exr").status, 0);
    ExpectPixels(folder.Path("alpha-copied.exr"), 6, 4, tolerance, [&](int x, int y, float* p) {
        for (int c = 0; c < 3; ++c) p[c] = At(image, x, y, c);
        p[3] = At(mask, x, y, 3);
    });

    // With t the colour's alpha times the mask's (or its complement):
    // rgb = image rgb * (1 - t) + colour rgb * t, alpha = image alpha * (1 - t) + t.
    struct Case {
        const char* command;
        float color[4];
        bool inverse;
    };
    const Case cases[] = {
        {"mask", {1.0f, 0.0f, 0.0f, 1.0f}, false},
        {"mask", {0.0f, 0.5f, 1.0f, 0.5f}, false},
        {"inverse-mask", {1.0f, 0.0f, 0.0f, 1.0f}, true},
        {"inverse-mask", {0.0f, 0.5f, 1.0f, 0.5f}, true},
    };
    for (const Case& c : cases) {
        std::ostringstream arguments;
        arguments << c.command << " --color " << c.color[0] << "," << c.color[1] << ","
                  << c.color[2] << "," << c.color[3] << " mask.exr image.exr masked.exr";
        SCOPED_TRACE(arguments.str());
        ASSERT_EQ(RunProgram(folder, arguments.str()).status, 0);
        ExpectPixels(folder.Path("masked.exr"), 6, 4, tolerance, [&](int x, int y, float* p) {
            const float m = At(mask, x, y, 3);
            const float t = c.color[3] * (c.inverse ? 1.0f - m : m);
            for (int k = 0; k < 3; ++k) p[k] = At(image, x, y, k) * (1.0f - t) + c.color[k] * t;
            p[3] = At(image, x, y, 3) * (1.0f - t) + t;
        });
    }

    ASSERT_EQ(RunProgram(folder, "alpha mask.exr alpha.exr").status, 0);
    ExpectPixels(
        folder.Path("alpha.exr"), 6, 4, tolerance,
        [&](int x, int y, float* p) { p[0] = At(mask, x, y, 3); }, 1);
    ASSERT_EQ(RunProgram(folder, "luma --layout half mask.exr luma.exr").status, 0);
    ExpectPixels(
        folder.Path("luma.exr"), 6, 4, tolerance,
        [&](int x, int y, float* p) {
            p[0] = At(mask, x, y, 3) * (0.30f * At(mask, x, y, 0) + 0.59f * At(mask, x, y, 1) +
                                        0.11f * At(mask, x, y, 2));
        },
        1);
    // Scaled to the size asked for: a solid source gives the same value everywhere.
    WriteImage(folder.Path("solid.exr"), Solid(4, 4, 1.0f, 1.0f, 1.0f, 0.5f), Layout::Float);
    ASSERT_EQ(RunProgram(folder, "alpha --size 9x2 solid.exr alpha-sized.png").status, 0);
    ExpectPixels(
        folder.Path("alpha-sized.png"), 9, 2, 1.0f / 65535 + 2e-3f,
        [](int, int, float* p) { p[0] = 0.5f; }, 1);
}

// Float and half frames keep values outside [0, 1] through every operation. Handed over
// top-down, as hosts keep them, they go through the library's conversion, which clamps.
TEST(Program, KeepsValuesOutsideZeroToOne) {
    ScratchFolder folder;
    WriteImage(folder.Path("hdr.exr"), Solid(4, 3, 3.5f, -0.25f, 2.0f, 1.0f), Layout::Float);
    struct Case {
        const char* arguments;
        int width, height;
    };
    const Case cases[] = {
        {"premultiply", 4, 3}, {"resize 8x6", 8, 6},         {"fit 8x6", 8, 6},
        {"center 4x3", 4, 3},  {"copy-alpha hdr.exr", 4, 3}, {"mask --color 0,0,0,0 hdr.exr", 4, 3},
    };
    for (const char* layout : {"float", "half"}) {
        for (const Case& c : cases) {
            const std::string arguments =
                std::string(c.arguments) + " --layout " + layout + " hdr.exr out.exr";
            SCOPED_TRACE(arguments);
            const Outcome outcome = RunProgram(folder, arguments);
            ASSERT_EQ(outcome.status, 0) << outcome.err;
            ExpectPixels(folder.Path("out.exr"), c.width, c.height, 2e-3f, [](int, int, float* p) {
                p[0] = 3.5f, p[1] = -0.25f, p[2] = 2.0f, p[3] = 1.0f;
            });
        }
    }
    ASSERT_EQ(RunProgram(folder, "premultiply --top-down hdr.exr out.exr").status, 0);
    ExpectPixels(folder.Path("out.exr"), 4, 3, 2e-3f,
                 [](int, int, float* p) { p[0] = 1.0f, p[1] = 0.0f, p[2] = 1.0f, p[3] = 1.0f; });
}

// How a file keeps its picture besides the pixel values.
struct Stored {
    int channels;
    OIIO::TypeDesc type;
    int bits; // 0: all of the type's
    OIIO::ROI data, display;
};

Stored StoredIn(const std::string& path) {
    auto input = OIIO::ImageInput::open(path);
    if (!input) return {};
    const OIIO::ImageSpec& h = input->spec();
    const int bits = h.get_int_attribute("oiio:BitsPerSample", 0);
    return {h.nchannels, h.format, bits == static_cast<int>(h.format.size()) * 8 ? 0 : bits,
            OIIO::ROI(h.x, h.x + h.width, h.y, h.y + h.height),
            OIIO::ROI(h.full_x, h.full_x + h.full_width, h.full_y, h.full_y + h.full_height)};
}

bool operator==(const Stored& a, const Stored& b) {
    return a.channels == b.channels && a.type == b.type && a.bits == b.bits && a.data == b.data &&
           a.display == b.display;
}

std::ostream& operator<<(std::ostream& out, const Stored& s) {
    return out << s.channels << " x " << s.type << " (" << s.bits << " bits) " << s.data << " in "
               << s.display;
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
        EXPECT_EQ(StoredIn(folder.Path("copy-" + name)), stored);
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
        EXPECT_EQ(StoredIn(folder.Path(arguments.substr(arguments.rfind(' ') + 1))), stored);
    }
}

// A source larger than the card's largest texture works where no tile of the output needs
// more of it than that (the library loads each tile's share on its own), and fails with the
// reason where one does.
TEST(Program, TakesSourcesLargerThanTheLargestTexture) {
    ScratchFolder folder;
    const std::string report = RunProgram(folder, "info").out;
    int largest = 0;
    const size_t at = report.find("Texture Dimension: ");
    ASSERT_EQ(std::sscanf(report.c_str() + at, "Texture Dimension: %d", &largest), 1) << report;
    if (largest >= kMaxDimension) GTEST_SKIP() << "no input may be larger than this card's";
    const int wide = largest + 1;
    WriteImage(folder.Path("wide.exr"), Solid(wide, 8, 0.25f, 0.5f, 0.75f, 1.0f), Layout::Float);
    // Output tiles are 2048 pixels wide: at half the source's width each needs half of it.
    const std::string half = std::to_string(wide / 2);
    ASSERT_EQ(RunProgram(folder, "resize " + half + "x8 wide.exr out.exr").status, 0);
    ExpectPixels(folder.Path("out.exr"), wide / 2, 8, 2e-3f,
                 [](int, int, float* p) { p[0] = 0.25f, p[1] = 0.5f, p[2] = 0.75f, p[3] = 1.0f; });
    ASSERT_EQ(RunProgram(folder, "alpha --size " + half + "x8 wide.exr out.exr").status, 0);

    // The one tile of a 100-pixel-wide output would need the whole source.
    for (const char* command : {"resize 100x8", "alpha --size 100x8"}) {
        SCOPED_TRACE(command);
        const Outcome outcome = RunProgram(folder, std::string(command) + " wide.exr small.exr");
        ExpectOneLineError(outcome, 1);
        const std::string says = "'wide.exr' is " + std::to_string(wide) +
                                 " x 8, more than the card's largest texture (" +
                                 std::to_string(largest) + " x ";
        EXPECT_NE(outcome.err.find(says), std::string::npos) << outcome.err;
    }
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
    for (int frame = 1; frame <= 3; ++frame) {
        const float a = frame * 0.25f;
        ExpectPixels(folder.Path("out.000" + std::to_string(frame) + ".exr"), 3, 2, 2e-3f,
                     [a](int, int, float* p) {
                         p[0] = 0.8f * a, p[1] = 0.4f * a, p[2] = 0.2f * a, p[3] = a;
                     });
    }

    // A missing frame stops the run there: earlier frames are written, later ones are not.
    const Outcome gap = RunProgram(folder, "copy --frames 2-5 in.####.exr copy.##.exr");
    EXPECT_EQ(gap.status, 1);
    EXPECT_NE(gap.err.find("tesk-ae: cannot read '"), std::string::npos) << gap.err;
    EXPECT_NE(gap.err.find("in.0004.exr"), std::string::npos) << gap.err;
    EXPECT_TRUE(Exists(folder.Path("copy.02.exr")));
    EXPECT_TRUE(Exists(folder.Path("copy.03.exr")));
    EXPECT_FALSE(Exists(folder.Path("copy.04.exr")));
    EXPECT_FALSE(Exists(folder.Path("copy.05.exr")));
}

TEST(Program, RejectsBadRequestsOnOneLineWithoutWriting) {
    ScratchFolder folder;
    WriteImage(folder.Path("in.exr"), Varied(4, 3), Layout::Float);
    { std::ofstream(folder.Path("notes.exr")) << "not an image\n"; }
    // A header that claims more than any output may have, with too few pixels behind it.
    { std::ofstream(folder.Path("huge.ppm")) << "P6\n40000 2\n255\n" << std::string(64, 'x'); }
    // A damaged header (the checksum after IHDR, at byte 29) makes libpng print a line of its
    // own as it fails.
    WriteImage(folder.Path("bad.png"), Varied(4, 3), Layout::Rgba8);
    {
        std::string bytes = Contents(folder.Path("bad.png"));
        bytes[29] = static_cast<char>(bytes[29] ^ 0xFF);
        std::ofstream(folder.Path("bad.png"), std::ios::binary) << bytes;
    }
    const std::vector<std::string> inputs = {"bad.png", "huge.ppm", "in.exr", "notes.exr"};
    struct Case {
        const char* arguments;
        int status;
        const char* says;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const Outcome outcome = RunProgram(folder, c.arguments);
        ExpectOneLineError(outcome, c.status);
        EXPECT_NE(outcome.err.find(c.says), std::string::npos) << outcome.err;
        EXPECT_EQ(folder.Names(), inputs);
    }
}

TEST(Program, KeepsTheOldOutputWhenTheOperationFails) {
    ScratchFolder folder;
    WriteImage(folder.Path("in.exr"), Varied(4, 3), Layout::Float);
    WriteImage(folder.Path("out.exr"), Solid(2, 2, 0.1f, 0.2f, 0.3f, 0.4f), Layout::Float);
    const std::string before = Contents(folder.Path("out.exr"));
    for (const char* command : {"premultiply in.exr out.exr", "clear --color 1,0,0,1 4x4 out.exr",
                                "alpha in.exr out.exr"}) {
        SCOPED_TRACE(command);
        const Outcome outcome = RunProgram(folder, command, "TESK_AE_FAIL_CONTEXT=1");
        ExpectOneLineError(outcome, 1);
        EXPECT_NE(outcome.err.find("OpenGL context failure."), std::string::npos) << outcome.err;
        EXPECT_EQ(Contents(folder.Path("out.exr")), before);
        EXPECT_EQ(folder.Names(), (std::vector<std::string>{"in.exr", "out.exr"}));
    }
    // Renaming over a read-only file would work; it is refused all the same, as oiiotool does.
    namespace fs = std::filesystem;
    fs::permissions(folder.Path("out.exr"),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const Outcome readOnly = RunProgram(folder, "premultiply in.exr out.exr");
    ExpectOneLineError(readOnly, 1);
    EXPECT_NE(readOnly.err.find("cannot write 'out.exr': the file there is read-only"),
              std::string::npos)
        << readOnly.err;
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
        if (::read(release[0], &go, 1) != 1) ::_exit(127);
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        if (::chdir(where.c_str()) != 0) ::_exit(127);
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
    bool exited = false;
    while (::poll(&ready, 1, 100) == 0)
        if (::waitpid(child, &status, WNOHANG) == child) {
            exited = true;
            break;
        }
    ASSERT_FALSE(exited) << "the program ended before it wrote";
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
    const OIIO::ImageBuf varied = Varied(5, 4);
    WriteImage(folder.Path("varied.exr"), varied, Layout::Float);
    // The 2 x 2 image covers the bottom two rows of the first two columns of the 4 x 3 one.
    auto underSmall = [](int x, int y) { return x < 2 && y >= 1; };
    const PixelRule grey = [](int, int, float* p) { p[0] = p[1] = p[2] = 0.5f, p[3] = 1.0f; };
    const PixelRule red = [](int, int, float* p) { p[0] = 1.0f, p[1] = p[2] = 0.0f, p[3] = 1.0f; };
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
        ExpectPixels(folder.Path("out.exr"), c.width, c.height, 2e-3f, c.expected);
    }
    for (const char* command : {"center", "mask", "inverse-mask", "copy-alpha"}) {
        const Outcome help = RunProgram(folder, std::string(command) + " --help");
        EXPECT_NE(help.out.find("bottom-left corner"), std::string::npos) << help.out;
    }
}

TEST(Program, HelpsWithEveryCommand) {
    ScratchFolder folder;
    const char* const commands[] = {"premultiply", "copy",       "resize", "fit",          "center",
                                    "clear",       "copy-alpha", "mask",   "inverse-mask", "alpha",
                                    "luma",        "info",       "demo"};
    const Outcome overview = RunProgram(folder, "--help");
    ASSERT_EQ(overview.status, 0);
    for (const char* command : commands) {
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

TEST(Program, ReportsTheHardwareAndCapabilities) {
    ScratchFolder folder;
    const Outcome outcome = RunProgram(folder, "info");
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    std::istringstream lines(outcome.out);
    const char* const labels[] = {
        "Graphics Card:     ", "OpenGL Version:    ", "Driver Version:    ",
        "Texture Rectangle: ", "Texture Memory:    ", "Texture Dimension: "};
    std::string line;
    for (const char* label : labels) {
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_EQ(line.rfind(label, 0), 0u) << line;
        EXPECT_GT(line.size(), std::string(label).size()) << line;
    }
    // Read on the worker's context: a real size, the same twice.
    int first = 0, second = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "Texture Dimension: %d x %d", &first, &second), 2);
    EXPECT_GT(first, 0);
    EXPECT_EQ(first, second);
    for (const char* answer : {"\nFloat textures:      ", "\nHalf-float textures: ",
                               "\n16-bit textures:     ", "\nFramebuffer objects: "})
        EXPECT_NE(outcome.out.find(answer), std::string::npos) << answer;

    const Outcome failed = RunProgram(folder, "info", "TESK_AE_FAIL_CONTEXT=1");
    ExpectOneLineError(failed, 1);
    EXPECT_NE(failed.err.find("OpenGL context failure."), std::string::npos);
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
        SCOPED_TRACE(name);
        EXPECT_NE(outcome.out.find(std::string("\n") + name + " "), std::string::npos);
        EXPECT_TRUE(Exists(results + name + ".png"));
    }
    EXPECT_NE(outcome.out.find("Contact sheet: results/contact-sheet.png"), std::string::npos);
    const OIIO::ImageBuf sheet = ReadImage(results + "contact-sheet.png");
    EXPECT_GT(sheet.spec().width, 256);
    EXPECT_GT(sheet.spec().height, 11 * 128);

    // Results against the inputs the demo wrote, through the formulas (16-bit files).
    const float tolerance = 2e-3f + 1.0f / 65535;
    const OIIO::ImageBuf disc = ReadImage(results + "input-disc.png");
    const OIIO::ImageBuf checker = ReadImage(results + "input-checker.png");
    ExpectPixels(results + "premultiply.png", 256, 256, tolerance, [&](int x, int y, float* p) {
        const float a = At(disc, x, y, 3);
        for (int c = 0; c < 3; ++c) p[c] = At(disc, x, y, c) * a;
        p[3] = a;
    });
    ExpectPixels(results + "mask.png", 256, 256, tolerance, [&](int x, int y, float* p) {
        const float t = At(disc, x, y, 3);
        const float red[3] = {1.0f, 0.0f, 0.0f};
        for (int c = 0; c < 3; ++c) p[c] = At(checker, x, y, c) * (1.0f - t) + red[c] * t;
        p[3] = 1.0f;
    });
    ExpectPixels(
        results + "alpha.png", 256, 256, tolerance,
        [&](int x, int y, float* p) { p[0] = At(disc, x, y, 3); }, 1);
}

} // namespace
} // namespace cli
