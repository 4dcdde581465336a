// tesk-ae's parts on the CPU: the edges of parsing and of host layouts that the runs of the
// built program (program_test.cpp) do not reach.
#include "tools/Arguments.h"
#include "tools/Failure.h"
#include "tools/Pipeline.h"
#include "tools/Sequence.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <numeric>
#include <thread>

namespace cli {
namespace {

TEST(Arguments, ParsesSizesColoursFrameRangesOptionsAndFrameNames) {
    EXPECT_EQ(ParseSize("640x480").width, 640);
    EXPECT_EQ(ParseSize("1X32768").height, 32768);
    EXPECT_TRUE(LooksLikeSize("0x5") && !LooksLikeSize("x5"));
    EXPECT_EQ(ParseColor("1,0,0.5,0.25"), (Rgba{1.0f, 0.0f, 0.5f, 0.25f}));
    EXPECT_EQ(ParseColor("0.2,0,1"), (Rgba{0.2f, 0.0f, 1.0f, 1.0f}));
    for (const auto& [text, a, b] : {std::tuple("3-12", 3, 12), {"7", 7, 7}, {"5-5", 5, 5}})
        EXPECT_EQ(std::pair(ParseFrames(text).first, ParseFrames(text).last), std::pair(a, b));
    for (const char* text : {"", "x", "640", "640x", "x480", "0x5", "5x0", "-3x4", "3x-4", "a3x4",
                             "3x4x5", "32769x1", "99999999999x1", "1.5x2", " 3x4"})
        EXPECT_THROW(ParseSize(text), UsageError) << text;
    // Colours are what a clear or a blend can hold: nothing outside 0..1.
    for (const char* text : {"", "1", "1,0", "1,0,0,1,1", "1,,0", "a,b,c", "1,0,0,", "nan,0,0",
                             "inf,0,0", "1e40,0,0", "1,0,0 ", "0.2,-1,1", "1.5,0,0", "0,0,0,2"})
        EXPECT_THROW(ParseColor(text), UsageError) << text;
    for (const char* text : {"", "-", "5-", "-5", "5-3", "a-b", "1-2-3", "1.5-2"})
        EXPECT_THROW(ParseFrames(text), UsageError) << text;
    // Options given twice, without the value they need or with one they refuse; "--name=value",
    // and "--" before operands that look like options.
    const std::vector<std::string> bad[] = {
        {"copy", "--bogus"},        {"copy", "--layout=float", "--layout=half"},
        {"demo", "--out="},         {"alpha", "--size", "2x"},
        {"copy", "--top-down=yes"}, {"copy", "--depth", "32"}};
    for (const std::vector<std::string>& arguments : bad)
        EXPECT_THROW(ParseCommandLine(arguments), UsageError) << arguments[1];
    const Options options =
        ParseCommandLine({"copy", "--frames=1-4", "a.####.exr", "--depth=10", "--", "--b"});
    EXPECT_EQ(options.operands, (std::vector<std::string>{"a.####.exr", "--b"}));
    ASSERT_TRUE(options.frames && options.depth);
    EXPECT_EQ(std::pair(options.frames->last, options.depth->bits), std::pair(4, 10));
    // Numbers longer than the run keep all their digits; only the last run is the frame number.
    EXPECT_EQ(FrameName("shot.#.exr", 123), "shot.123.exr");
    EXPECT_EQ(FrameName("take#2/shot.###.exr", 42), "take#2/shot.042.exr");
    // A still input may feed every frame of a sequence.
    EXPECT_EQ(PlanFrames({"a.exr"}, "b.####.exr", FrameRange{3, 5}), (std::vector<int>{3, 4, 5}));
}

OIIO::ImageBuf OnePixel(const Rgba& rgba) {
    OIIO::ImageBuf image(OIIO::ImageSpec(1, 1, 4, OIIO::TypeFloat));
    image.setpixel(0, 0, rgba.data(), 4);
    return image;
}

std::vector<float> Pixels(const OIIO::ImageBuf& image) {
    std::vector<float> values(size_t(image.spec().image_pixels()) * image.nchannels());
    image.get_pixels(image.roi(), OIIO::TypeFloat, values.data());
    return values;
}

template <class T> std::vector<uint8_t> Bytes(const std::vector<T>& values) {
    const auto* memory = reinterpret_cast<const uint8_t*>(values.data());
    return {memory, memory + values.size() * sizeof(T)};
}

// However many tasks share a sequence, together they do every frame once, in order, and their
// shares differ by at most a frame. A Slurm task finds its share in the array's environment.
TEST(Sequence, ChunksCoverEveryFrameOnceWhateverTheirCount) {
    for (int frames = 1; frames <= 50; frames += 7)
        for (int count = 1; count <= 12; ++count) {
            std::vector<int> all(static_cast<size_t>(frames)), joined;
            std::iota(all.begin(), all.end(), 100);
            size_t smallest = all.size(), largest = 0;
            for (int index = 1; index <= count; ++index) {
                const std::vector<int> part = ChunkOf(all, Chunk{index, count, false});
                joined.insert(joined.end(), part.begin(), part.end());
                smallest = std::min(smallest, part.size());
                largest = std::max(largest, part.size());
            }
            EXPECT_EQ(joined, all) << frames << " frames, " << count << " chunks";
            EXPECT_LE(largest - smallest, 1u);
        }
    const std::vector<int> six = {1, 2, 3, 4, 5, 6};
    ::setenv("SLURM_ARRAY_TASK_ID", "12", 1);
    ::setenv("SLURM_ARRAY_TASK_MIN", "10", 1);
    ::setenv("SLURM_ARRAY_TASK_COUNT", "3", 1);
    EXPECT_EQ(ChunkOf(six, ParseChunk("slurm")), (std::vector<int>{5, 6}));
    ::setenv("SLURM_ARRAY_TASK_ID", "13", 1);
    EXPECT_THROW(ChunkOf(six, ParseChunk("slurm")), UsageError);
    ::unsetenv("SLURM_ARRAY_TASK_ID");
    EXPECT_THROW(ChunkOf(six, ParseChunk("slurm")), UsageError);
    EXPECT_THROW(ChunkOf({-1}, Chunk{1, 2, false}), UsageError); // plain files
}

// Rows start on 16-byte boundaries, as hosts allocate them.
TEST(HostImage, StoresChannelsInTheLayoutsMemoryOrderInPaddedRows) {
    // r = 1, g = 0.2, b = 0, a = 0.6: in 8 bits 255, 51, 0, 153.
    const OIIO::ImageBuf bytes = OnePixel({1.0f, 0.2f, 0.0f, 0.6f});
    // 0.5 is 32767.5 steps of 65535, rounded up; of 32768 it is exactly 16384. IEEE half:
    // 0.5 = 0x3800, 1 = 0x3C00, 2 = 0x4000, -1 = 0xBC00.
    const OIIO::ImageBuf words = OnePixel({0.5f, 1.0f, 2.0f, -1.0f});
    const std::tuple<Layout, OIIO::ImageBuf, std::vector<uint8_t>> rows[] = {
        {Layout::Argb8, bytes, {153, 255, 51, 0}},
        {Layout::Bgra8, bytes, {0, 51, 255, 153}},
        {Layout::Rgba16, words, Bytes<uint16_t>({32768, 65535, 65535, 0})},
        {Layout::Ae16, words, Bytes<uint16_t>({16384, 32768, 32768, 0})},
        {Layout::Half, words, Bytes<uint16_t>({0x3800, 0x3C00, 0x4000, 0xBC00})},
        // A NaN channel becomes 0 in integer layouts rather than an arbitrary value.
        {Layout::Rgba8, OnePixel({std::nanf(""), 1.0f, 1.0f, 1.0f}), {0, 255, 255, 255}},
    };
    for (const auto& [layout, pixel, memory] : rows) {
        const HostImage image(layout, pixel);
        EXPECT_EQ(image.GetRowBytes(), 16);
        EXPECT_EQ(std::memcmp(image.PixelAddress(0, 0), memory.data(), memory.size()), 0)
            << Describe(layout).name;
    }
}

// Every stored value of a layout, through float RGBA and back, must come out bit for bit.
TEST(HostImage, RoundTripsEveryValueExactly) {
    // 16-bit words: all 65536 for rgba16; 0..32768 for ae16; every half but the NaNs (exponent
    // all ones with a non-zero fraction).
    std::vector<uint16_t> words(65536), ae(32772, 32768);
    std::iota(words.begin(), words.end(), 0);
    std::iota(ae.begin(), ae.begin() + 32769, 0);
    std::vector<uint16_t> halves = words;
    for (uint16_t& h : halves)
        if ((h & 0x7C00) == 0x7C00 && (h & 0x03FF) != 0) h = 0x3C00;
    std::vector<uint8_t> bytes(256 * 4);
    for (int i = 0; i < 256 * 4; ++i) bytes[i] = static_cast<uint8_t>(i / 4 + i % 4 * 37);
    const std::pair<Layout, std::vector<uint8_t>> rows[] = {
        {Layout::Argb8, bytes},
        {Layout::Rgba16, Bytes(words)},
        {Layout::Ae16, Bytes(ae)},
        {Layout::Half, Bytes(halves)},
    };
    for (const auto& [layout, memory] : rows) {
        HostImage source(layout, int(memory.size() * 8 / Describe(layout).bitDepth), 1);
        std::memcpy(source.GetBaseAddress(), memory.data(), memory.size());
        const HostImage copy(layout, source.Load());
        EXPECT_EQ(std::memcmp(copy.GetBaseAddress(), memory.data(), memory.size()), 0)
            << Describe(layout).name;
    }
}

// A float frame is lent, not copied: the image reads the frame's own memory with its rows in
// the order asked for, and the frame is as it was once the image is gone. A float result is
// handed over top-down without a copy.
TEST(HostImage, BorrowsFloatFramesAndHandsItsResultOver) {
    OIIO::ImageBuf frame(OIIO::ImageSpec(3, 4, 4, OIIO::TypeFloat));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 3; ++x) {
            const float v[4] = {float(x), float(y), float(x * y), 0.5f};
            frame.setpixel(x, y, v, 4);
        }
    const std::vector<float> before = Pixels(frame);
    for (const Rows rows : {Rows::TopDown, Rows::BottomUp}) {
        {
            const std::unique_ptr<HostImage> image = HostImage::Borrow(frame, rows);
            ASSERT_TRUE(image);
            EXPECT_EQ(image->GetBaseAddress(), frame.localpixels());
            float rgba[4];
            image->LoadPixel(2, 1, rgba); // counted from the top, whatever the memory order
            EXPECT_EQ(std::vector<float>(rgba, rgba + 4), (std::vector<float>{2, 1, 2, 0.5f}));
            const float* first = static_cast<const float*>(image->GetBaseAddress());
            EXPECT_EQ(first[1], rows == Rows::BottomUp ? 3.0f : 0.0f); // memory row 0's y
        }
        EXPECT_EQ(Pixels(frame), before);
        HostImage result(Layout::Float, 3, 4, rows);
        result.Store(frame);
        const void* memory = result.GetBaseAddress();
        const OIIO::ImageBuf handed = result.TakeRgba();
        EXPECT_EQ(handed.localpixels(), memory);
        EXPECT_EQ(Pixels(handed), before);
    }
    // Pixels that are not one block of float RGBA rows are not lent.
    OIIO::ImageBuf grey(OIIO::ImageSpec(3, 4, 1, OIIO::TypeFloat));
    EXPECT_FALSE(HostImage::Borrow(grey, Rows::BottomUp));
}

// Each step takes the frames in order, no more than three are under way, and a step that throws
// stops the run at its frame: the frames before it are written, none after it is worked on or
// written, and the earliest frame's failure comes out, even when a later frame failed first.
TEST(Pipeline, RunsFramesInOrderAndStopsAtTheEarliestFailure) {
    constexpr size_t kNone = 99, kCount = 8;
    struct Row {
        size_t read, work, write, worked, written;
        std::string failure;
    };
    const Row rows[] = {{kNone, kNone, kNone, kCount, kCount, ""},
                        {3, kNone, kNone, 3, 3, "read 3"},
                        {kNone, 2, kNone, 2, 2, "work 2"},
                        {kNone, 2, 1, 2, 1, "write 1"}};
    for (const Row& row : rows) {
        std::mutex mutex;
        std::atomic<int> thrown{0};
        size_t began = 0;
        std::vector<size_t> read, worked, written;
        const auto step = [&](const std::string& name, size_t n) {
            const bool reads = name == "read", works = name == "work";
            std::vector<size_t>& done = reads ? read : works ? worked : written;
            const size_t fails = reads ? row.read : works ? row.work : row.write;
            {
                std::lock_guard<std::mutex> lock(mutex);
                const bool ready = reads   ? n <= worked.size() + 1 && n <= written.size() + 2
                                   : works ? n < read.size() && n <= written.size() + 1
                                           : n < worked.size();
                EXPECT_TRUE(ready && done.size() == n) << row.failure << ": " << name << ' ' << n;
            }
            // Work and writes are slow (writes the slowest), so that a reader running ahead too
            // far, or a failed read caught up with late, would show. The write that fails waits
            // for a later frame's failure first.
            const bool waits = !reads && !works && n == fails;
            const int ms = reads ? 0 : works ? 1 : waits ? 2000 : 4;
            for (int i = 0; i < ms && !(waits && thrown); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (n == fails) {
                ++thrown;
                throw Failure(name + " " + std::to_string(n));
            }
            std::lock_guard<std::mutex> lock(mutex);
            done.push_back(n);
        };
        FrameSteps steps;
        steps.read = [&](size_t n) { step("read", n); };
        steps.begin = [&](size_t) { ++began; };
        steps.work = [&](size_t n) { step("work", n); };
        steps.write = [&](size_t n) { step("write", n); };
        std::string failure;
        try {
            RunFrames(kCount, steps);
        } catch (const Failure& error) {
            failure = error.what();
        }
        EXPECT_EQ(failure, row.failure);
        EXPECT_EQ(std::pair(worked.size(), written.size()), std::pair(row.worked, row.written))
            << row.failure;
        // The frame that failed had its turn, after it none.
        EXPECT_EQ(began, std::min(kCount, worked.size() + 1)) << row.failure;
    }
}

} // namespace
} // namespace cli
