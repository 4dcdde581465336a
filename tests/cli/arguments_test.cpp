// Command-line parsing and frame sequences of tesk-ae.
#include "tools/Arguments.h"
#include "tools/Failure.h"
#include "tools/Sequence.h"

#include <gtest/gtest.h>

namespace cli {
namespace {

TEST(Arguments, ParsesSizesColoursAndFrameRanges) {
    const Size size = ParseSize("640x480");
    EXPECT_EQ(size.width, 640);
    EXPECT_EQ(size.height, 480);
    EXPECT_EQ(ParseSize("1X32768").height, 32768);
    for (const char* bad : {"", "x", "640", "640x", "x480", "0x5", "5x0", "-3x4", "3x-4", "a3x4",
                            "3x4x5", "32769x1", "99999999999x1", "1.5x2", " 3x4"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(ParseSize(bad), UsageError);
    }
    EXPECT_TRUE(LooksLikeSize("0x5"));
    EXPECT_FALSE(LooksLikeSize("in.exr"));
    EXPECT_FALSE(LooksLikeSize("x5"));

    EXPECT_EQ(ParseColor("1,0,0.5,0.25"), (Rgba{1.0f, 0.0f, 0.5f, 0.25f}));
    EXPECT_EQ(ParseColor("0.2,0,1"), (Rgba{0.2f, 0.0f, 1.0f, 1.0f}));
    // Colours are what a clear or a blend can hold: nothing outside 0..1.
    for (const char* bad : {"", "1", "1,0", "1,0,0,1,1", "1,,0", "a,b,c", "1,0,0,", "nan,0,0",
                            "inf,0,0", "1e40,0,0", "1,0,0 ", "0.2,-1,1", "1.5,0,0", "0,0,0,2"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(ParseColor(bad), UsageError);
    }

    const FrameRange range = ParseFrames("3-12");
    EXPECT_EQ(range.first, 3);
    EXPECT_EQ(range.last, 12);
    EXPECT_EQ(ParseFrames("7").first, 7);
    EXPECT_EQ(ParseFrames("7").last, 7);
    for (const char* bad : {"", "-", "5-", "-5", "5-3", "a-b", "1-2-3", "1.5-2"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(ParseFrames(bad), UsageError);
    }
}

TEST(Arguments, ReadsCommandOperandsAndOptions) {
    Options options = ParseCommandLine({"resize", "--layout", "ae16", "64x32", "--frames=1-4",
                                        "in.####.exr", "--color", "1,0,0", "out.####.png"});
    EXPECT_EQ(options.command, "resize");
    EXPECT_EQ(options.operands, (std::vector<std::string>{"64x32", "in.####.exr", "out.####.png"}));
    EXPECT_EQ(options.layout, Layout::Ae16);
    ASSERT_TRUE(options.frames);
    EXPECT_EQ(options.frames->first, 1);
    EXPECT_EQ(options.frames->last, 4);
    ASSERT_TRUE(options.color);
    EXPECT_EQ((*options.color)[3], 1.0f);
    EXPECT_EQ(options.given, unsigned(kLayoutOption | kFramesOption | kColorOption));
    EXPECT_FALSE(options.help);

    EXPECT_EQ(options.rows, Rows::BottomUp);
    EXPECT_FALSE(options.depth);
    options = ParseCommandLine({"copy", "--top-down", "--depth=10", "a", "b"});
    EXPECT_EQ(options.rows, Rows::TopDown);
    ASSERT_TRUE(options.depth);
    EXPECT_EQ(options.depth->type, OIIO::TypeUInt16);
    EXPECT_EQ(options.depth->bits, 10);
    EXPECT_EQ(options.operands, (std::vector<std::string>{"a", "b"}));

    options = ParseCommandLine({"copy", "-h"});
    EXPECT_TRUE(options.help);
    options = ParseCommandLine({"copy", "--", "-in.exr", "--out"});
    EXPECT_EQ(options.operands, (std::vector<std::string>{"-in.exr", "--out"}));
    EXPECT_EQ(options.given, 0u);
    options = ParseCommandLine({"demo", "--out", "folder"});
    EXPECT_EQ(options.out, "folder");
    EXPECT_EQ(ParseCommandLine({}).command, "");

    const std::vector<std::vector<std::string>> bad = {
        {"copy", "--bogus"},         {"copy", "--layout"},
        {"copy", "--layout", "rgb"}, {"copy", "--layout=float", "--layout=half"},
        {"clear", "--color", "red"}, {"demo", "--out="},
        {"alpha", "--size", "2x"},   {"copy", "--frames", "9-1"},
        {"copy", "--top-down=yes"},  {"copy", "--depth", "32"},
    };
    for (const auto& arguments : bad) {
        SCOPED_TRACE(arguments.back());
        EXPECT_THROW(ParseCommandLine(arguments), UsageError);
    }

    options = ParseCommandLine({"copy", "--color", "1,1,1", "a", "b"});
    EXPECT_THROW(CheckAccepted(options, kLayoutOption | kFramesOption), UsageError);
    EXPECT_NO_THROW(CheckAccepted(options, kColorOption));
}

TEST(Sequence, NumbersFramesAndChecksThePlan) {
    EXPECT_EQ(FrameName("shot.####.exr", 7), "shot.0007.exr");
    EXPECT_EQ(FrameName("shot.#.exr", 123), "shot.123.exr");
    EXPECT_EQ(FrameName("shot.##.exr", 0), "shot.00.exr");
    // Only the last run is the frame number.
    EXPECT_EQ(FrameName("take#2/shot.###.exr", 42), "take#2/shot.042.exr");
    EXPECT_EQ(FrameName("plain.exr", 5), "plain.exr");
    EXPECT_TRUE(IsPattern("a.##.png"));
    EXPECT_FALSE(IsPattern("a.png"));

    const FrameRange range{3, 5};
    EXPECT_EQ(PlanFrames({"a.exr"}, "b.exr", std::nullopt), (std::vector<int>{-1}));
    EXPECT_EQ(PlanFrames({"a.####.exr"}, "b.####.exr", range), (std::vector<int>{3, 4, 5}));
    // A still input may feed every frame of a sequence.
    EXPECT_EQ(PlanFrames({"a.exr"}, "b.####.exr", range), (std::vector<int>{3, 4, 5}));
    EXPECT_THROW(PlanFrames({"a.####.exr"}, "b.exr", range), UsageError);
    EXPECT_THROW(PlanFrames({"a.####.exr"}, "b.####.exr", std::nullopt), UsageError);
    EXPECT_THROW(PlanFrames({"a.exr"}, "b.exr", range), UsageError);
}

} // namespace
} // namespace cli
