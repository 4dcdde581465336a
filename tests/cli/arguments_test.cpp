// Command-line parsing and frame sequences of tesk-ae: the edges the runs of the built program
// (program_test.cpp) do not reach.
#include "tools/Arguments.h"
#include "tools/Failure.h"
#include "tools/Sequence.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

namespace cli {
namespace {

TEST(Arguments, ParsesSizesColoursAndFrameRanges) {
    EXPECT_EQ(ParseSize("640x480").width, 640);
    EXPECT_EQ(ParseSize("640x480").height, 480);
    EXPECT_EQ(ParseSize("1X32768").height, 32768);
    EXPECT_TRUE(LooksLikeSize("0x5"));
    EXPECT_FALSE(LooksLikeSize("in.exr"));
    EXPECT_FALSE(LooksLikeSize("x5"));
    EXPECT_EQ(ParseColor("1,0,0.5,0.25"), (Rgba{1.0f, 0.0f, 0.5f, 0.25f}));
    EXPECT_EQ(ParseColor("0.2,0,1"), (Rgba{0.2f, 0.0f, 1.0f, 1.0f}));
    struct Range {
        const char* text;
        int first, last;
    };
    for (const Range& range : {Range{"3-12", 3, 12}, Range{"7", 7, 7}, Range{"5-5", 5, 5}}) {
        EXPECT_EQ(ParseFrames(range.text).first, range.first) << range.text;
        EXPECT_EQ(ParseFrames(range.text).last, range.last) << range.text;
    }

    struct Bad {
        void (*parse)(const std::string&);
        std::vector<const char*> texts;
    };
    const Bad bad[] = {
        {[](const std::string& text) { ParseSize(text); },
         {"", "x", "640", "640x", "x480", "0x5", "5x0", "-3x4", "3x-4", "a3x4", "3x4x5", "32769x1",
          "99999999999x1", "1.5x2", " 3x4"}},
        // Colours are what a clear or a blend can hold: nothing outside 0..1.
        {[](const std::string& text) { ParseColor(text); },
         {"", "1", "1,0", "1,0,0,1,1", "1,,0", "a,b,c", "1,0,0,", "nan,0,0", "inf,0,0", "1e40,0,0",
          "1,0,0 ", "0.2,-1,1", "1.5,0,0", "0,0,0,2"}},
        {[](const std::string& text) { ParseFrames(text); },
         {"", "-", "5-", "-5", "5-3", "a-b", "1-2-3", "1.5-2"}},
        // Options: unknown, given twice, without the value they need, or with one they refuse.
        {[](const std::string& text) {
             std::istringstream words(text);
             ParseCommandLine({std::istream_iterator<std::string>(words), {}});
         },
         {"copy --bogus", "copy --layout=float --layout=half", "demo --out=", "alpha --size 2x",
          "copy --top-down=yes", "copy --depth 32"}},
    };
    for (const Bad& row : bad)
        for (const char* text : row.texts) EXPECT_THROW(row.parse(text), UsageError) << text;
}

// Options given as "--name=value", and "--" before operands that look like options.
TEST(Arguments, ReadsCommandOperandsAndOptions) {
    Options options = ParseCommandLine({"copy", "--frames=1-4", "in.####.exr", "--depth=10", "b"});
    EXPECT_EQ(options.operands, (std::vector<std::string>{"in.####.exr", "b"}));
    ASSERT_TRUE(options.frames && options.depth);
    EXPECT_EQ(options.frames->last, 4);
    EXPECT_EQ(options.depth->bits, 10);
    options = ParseCommandLine({"copy", "--", "-in.exr", "--out"});
    EXPECT_EQ(options.operands, (std::vector<std::string>{"-in.exr", "--out"}));
    EXPECT_EQ(options.given, 0u);
}

TEST(Sequence, NumbersFramesAndPlansThem) {
    // Numbers longer than the run keep all their digits; only the last run is the frame number.
    EXPECT_EQ(FrameName("shot.#.exr", 123), "shot.123.exr");
    EXPECT_EQ(FrameName("take#2/shot.###.exr", 42), "take#2/shot.042.exr");
    // A still input may feed every frame of a sequence.
    EXPECT_EQ(PlanFrames({"a.exr"}, "b.####.exr", FrameRange{3, 5}), (std::vector<int>{3, 4, 5}));
}

} // namespace
} // namespace cli
