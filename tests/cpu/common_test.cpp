// The library's small common pieces: its text type, the registry file, the driver version,
// half floats and phase timing.

#include "HostLayouts.h"
#include "Scoped.h"

#include "common/Implementation/HalfFloat.h"
#include "common/PhaseTimer.h"
#include "common/String.h"
#include "platform/DriverInfo.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numeric>
#include <stdexcept>
#include <tuple>

using namespace OGL_TESK_AE;
using TESK_AE::platform::Registry;

namespace {

template <class T> std::string Text(const T& value) {
    return ::testing::PrintToString(value);
}
std::string Text(const String& s) {
    return s.str();
}

// The text a call gave, the text it should give, and the call.
using Row = std::tuple<std::string, const char*, const char*>;
#define ROW(expr, expected) Row(Text(expr), expected, #expr)

// Busy for a millisecond of the steady clock, which gives every phase a known least duration.
void SpinningFence() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1);
    while (std::chrono::steady_clock::now() < until) {
    }
}

} // namespace

TEST(String, CallsGiveTheirTexts) {
    const String hello("Hello World"), abc("abc"), path("a\\b/c");
    const auto copy = [](const String& s) { return String(s); }; // the copy constructor runs
    const auto fixed = [](String s) { return s.FixPath(), s; };
    // What a cutting call returns, then what it leaves: "removed|rest".
    const auto cut = [](String s, String (String::*f)()) {
        return String((s.*f)().str() + "|" + s.str());
    };
    const Row rows[] = {
        ROW(String("%s-%03d", "a", 7), "a-007"), ROW(String(static_cast<const char*>(nullptr)), ""),
        ROW(String("keep").Format(static_cast<const char*>(nullptr)), "keep"),
        ROW(String("%5000s", "x").GetLength(), "4095"),               // the scratch buffer's limit
        ROW(copy(String(std::string("ab\0cd", 5))).GetLength(), "2"), // stops at the zero
        ROW(hello.Find('o', 5), "7"), ROW(hello.Contains(nullptr), "false"),
        ROW(abc.EndsWith(""), "false"),
        ROW(String("50%%").IsContainedIn("at 50%% now"), "true"), // the text is formatted first
        ROW(String("50%%%%").IsContainedIn("at 50%% now"), "false"), ROW(abc.Left(-3), ""),
        ROW(abc.Mid(3, 5), ""), ROW(String("a-b_c").Replace("-_", ' '), "a b c"),
        ROW(String("a\\\\\\\\b").Replace("\\\\", "\\"), "a\\b"), // restarts from the front
        ROW(fixed("a//b\\\\c"), "a/b\\c"), ROW(path.Path(), "a\\b/"), ROW(path.FileName(), "c"),
        ROW(String("plain").FileName(), "plain"), ROW(String("x/y.TXT").Extension(), "txt"),
        ROW(String("x.tga").ReplaceFileExtension("png"), "x.png"),
        ROW(String("x.tga").ReplaceFileExtension(".png"), "x.png"),
        // With both kinds present, the later of the two first separators splits the path.
        ROW(cut("shaders\\sub/x.fx", &String::RemoveFirstSubDir), "shaders\\sub|x.fx"),
        ROW(cut("a\\b\\c\\f.txt", &String::RemoveLastSubDir), "c|a\\b\\f.txt"),
        ROW(cut("f.txt", &String::RemoveLastSubDir), "|f.txt")};
    for (const auto& [got, expected, call] : rows) EXPECT_EQ(got, expected) << call;
    EXPECT_THROW(abc.Mid(4, 1), std::out_of_range);
}

TEST(Registry, ReadsValuesOfEveryKindAndSkipsBrokenLines) {
    const std::string path = ::testing::TempDir() + "tesk_registry_test.reg";
    std::ofstream(path)
        << "Windows Registry Editor Version 5.00\r\n\r\n; note\r\n[HKEY_LOCAL_MACHINE\\Card]\r\n"
           "\"MemorySize\"=dword:10000000\r\n\"Bad\"=dword:xyz\r\n\"Open\"=\"never closed\r\n"
           "\"Good\"=dword:2A\r\n\"Driver\"=\"C:\\\\Windows\\\\nvoglv64.dll\"\r\n"
           "\"Quoted\"=\"say \\\"hi\\\"\"\r\n\"Binary\"=hex:12,34,56,\\\r\n  78\r\n"
           "[HKEY_LOCAL_MACHINE\\Card\\Sub One]\r\n[HKEY_LOCAL_MACHINE\\Card\\Sub Two\\Deeper]\r\n";
    const tesk_test::ScopedEnv env("TESK_AE_REGISTRY", path.c_str());
    // Keys and names compare without case, and either separator works.
    const auto read = [](const char* name) {
        uint32_t dword = 7;
        std::string text;
        if (Registry::ReadDword("hklm/card", name, dword)) return "dword " + std::to_string(dword);
        if (Registry::ReadString("HKEY_LOCAL_MACHINE\\Card", name, text)) return "text " + text;
        return "none " + std::to_string(dword);
    };
    std::vector<std::string> got;
    for (const char* name : {"MemorySize", "memorysize", "Binary", "Driver", "Quoted", "Missing",
                             "Bad", "Open", "Good"})
        got.push_back(read(name));
    // 0x10000000 twice, then 0x78563412 from little-endian bytes over two lines.
    EXPECT_EQ(got,
              (std::vector<std::string>{"dword 268435456", "dword 268435456", "dword 2018915346",
                                        "text C:\\Windows\\nvoglv64.dll", "text say \"hi\"",
                                        "none 7", "none 7", "none 7", "dword 42"}));
    EXPECT_EQ(Registry::SubKeys("HKEY_LOCAL_MACHINE\\Card"),
              (std::vector<std::string>{"Sub One", "Sub Two"}));
    std::remove(path.c_str());
}

TEST(DriverInfo, VersionComesFromVendorLibraryNames) {
    std::vector<std::string> got;
    for (const char* file : {"libnvidia-glcore.so.535.104.05", "libEGL_nvidia.so.550.54.14",
                             "libEGL_mesa.so.0.0.0", "libEGL.so.1.1.0", "libc.so.6"})
        got.push_back(TESK_AE::platform::DriverVersionFromFileName(file));
    EXPECT_EQ(got, (std::vector<std::string>{"535.104.05", "550.54.14", "", "", ""}));
}

TEST(HalfFloat, FloatToHalfRoundsInBothModesAloneAndInBulk) {
    // Floats and the halves they must become, to nearest even and toward zero. Around every
    // finite half: the half itself, the midpoint to the next one (a tie) with the floats either
    // side of it, and the float just below the next half; the step above the largest half leads
    // to infinity at 65520. Then all of it negated.
    std::vector<float> in;
    std::vector<uint16_t> want[2];
    const auto add = [&](float value, int nearest, int towardZero) {
        in.push_back(value);
        want[0].push_back(uint16_t(nearest));
        want[1].push_back(uint16_t(towardZero));
    };
    for (int h = 0; h < 0x7c00; ++h) {
        const float lo = tesk_test::HalfToFloat(uint16_t(h));
        const float hi = h == 0x7bff ? 65536.0f : tesk_test::HalfToFloat(uint16_t(h + 1));
        const float mid = (lo + hi) / 2;
        add(lo, h, h);
        add(mid, h + (h & 1), h);
        add(std::nextafter(mid, 0.0f), h, h);
        add(std::nextafter(mid, hi), h + 1, h);
        add(std::nextafter(hi, 0.0f), h + 1, h);
    }
    add(1e10f, 0x7c00, 0x7bff);
    add(INFINITY, 0x7c00, 0x7c00);
    for (size_t i = 0, n = in.size(); i < n; ++i)
        add(-in[i], want[0][i] | 0x8000, want[1][i] | 0x8000);
    // NaN stays NaN, whatever its bits. At the end, they straddle the bulk form's last group of
    // eight and its scalar tail.
    for (int i = 0; i < 13; ++i) add(NAN, 0x7e00, 0x7e00);
    const auto canonical = [](uint16_t h) { return (h & 0x7fff) > 0x7c00 ? 0x7e00 : h; };
    for (HalfRounding mode : {HalfRounding::ToNearestEven, HalfRounding::TowardZero}) {
        const std::vector<uint16_t>& expected = want[mode == HalfRounding::TowardZero];
        std::vector<uint16_t> bulk(in.size()); // vector instructions where the processor has them
        FloatsToHalves(in.data(), bulk.data(), in.size(), mode);
        for (size_t i = 0; i < in.size(); ++i) {
            ASSERT_EQ(canonical(FloatToHalf(in[i], mode)), expected[i]) << in[i];
            ASSERT_EQ(canonical(bulk[i]), expected[i]) << in[i];
        }
    }
}

// Every half, with a tail for the scalar loop; clamped, NaN becomes 0.
TEST(HalfFloat, HalfToFloatIsExactAndClampsOnRequest) {
    std::vector<uint16_t> all(65536 + 3);
    std::iota(all.begin(), all.end(), uint16_t(0));
    std::vector<float> plain(all.size()), clamped(all.size());
    HalvesToFloats(all.data(), plain.data(), all.size(), false);
    HalvesToFloats(all.data(), clamped.data(), all.size(), true);
    // Exact, down to the sign of zero.
    const auto same = [](float a, float b) {
        return std::isnan(b) ? std::isnan(a) : a == b && std::signbit(a) == std::signbit(b);
    };
    for (size_t i = 0; i < all.size(); ++i) {
        const float want = tesk_test::HalfToFloat(all[i]);
        ASSERT_TRUE(same(HalfToFloat(all[i]), want) && same(plain[i], want)) << i;
        ASSERT_EQ(clamped[i], std::isnan(want) ? 0.0f : std::fmin(std::fmax(want, 0.0f), 1.0f))
            << i;
    }
}

// 8-bit channels to halves of v / 255 and back, in every channel order the layouts use, over
// every value, with an odd pixel count so that the scalar tail runs too. Halves from a search
// of all of them: the largest not above the value (toward zero), or the nearest (ties to the
// even one). Bytes: clamped (NaN to 0), times 255, ties to even.
TEST(HalfFloat, BytesAndHalvesConvertEveryValueInEveryChannelOrder) {
    const auto half = [](float x, bool towardZero) {
        int below = 0;
        while (tesk_test::HalfToFloat(uint16_t(below + 1)) <= x) ++below;
        const float lo = tesk_test::HalfToFloat(uint16_t(below));
        const float hi = tesk_test::HalfToFloat(uint16_t(below + 1));
        const bool up = x - lo > hi - x || (x - lo == hi - x && below % 2);
        return uint16_t(towardZero || !up ? below : below + 1);
    };
    const int orders[][4] = {{0, 1, 2, 3}, {2, 1, 0, 3}, {1, 2, 3, 0}};
    for (const auto& order : orders) {
        std::vector<uint8_t> bytes(257 * 4), back(257 * 4);
        std::iota(bytes.begin(), bytes.end(), uint8_t(0)); // value v at byte v % 256
        std::vector<uint16_t> halves(257 * 4);
        for (HalfRounding mode : {HalfRounding::ToNearestEven, HalfRounding::TowardZero}) {
            BytesToHalves(bytes.data(), halves.data(), 257, order, mode);
            for (size_t i = 0; i < halves.size(); ++i)
                ASSERT_EQ(halves[i], half(bytes[i / 4 * 4 + order[i % 4]] * (1.0f / 255.0f),
                                          mode == HalfRounding::TowardZero))
                    << i;
        }
        std::vector<uint16_t> all(65536 + 4);
        std::iota(all.begin(), all.end(), uint16_t(0));
        back.resize(all.size());
        HalvesToBytes(all.data(), back.data(), all.size() / 4, order);
        for (size_t i = 0; i < all.size(); ++i) {
            const float v = tesk_test::HalfToFloat(all[i]);
            const float x = std::isnan(v) ? 0.0f : std::fmin(std::fmax(v, 0.0f), 1.0f) * 255.0f;
            const float down = std::floor(x);
            const int want = int(down) + (x - down > 0.5f || (x - down == 0.5f && int(down) % 2));
            ASSERT_EQ(back[i / 4 * 4 + order[i % 4]], want) << i;
        }
    }
}

// Each phase counts its own time once, not in the phase around it; a timer left running when an
// outer one stops is dropped, and so is one nested deeper than the stack holds.
TEST(PhaseTimer, NestedPhasesCountOnceAndDroppedTimersNotAtAll) {
    PhaseTimes::Reset();
    PhaseTimes::SetFence(&SpinningFence);
    const auto begin = std::chrono::steady_clock::now();
    PhaseTimer stale;
    {
        PhaseTimer draw(Phase::Draw), upload(Phase::Upload), allocation(Phase::Allocation);
        allocation.Stop();
        allocation.Stop();             // a second stop counts nothing
        upload.Start(Phase::ReadBack); // restarting stops the running phase first
        stale.Start(Phase::EdgeRepeat);
    }
    const std::chrono::nanoseconds wall = std::chrono::steady_clock::now() - begin;
    PhaseTimes::SetFence(nullptr);
    stale.Stop(); // counts nothing: it was dropped
    {
        std::array<PhaseTimer, 20> deep; // destroyed last to first, as nested timers stop
        for (PhaseTimer& timer : deep) timer.Start(Phase::StateSave);
        EXPECT_TRUE(deep[15].IsRunning() && !deep[16].IsRunning());
    }
    // Each phase holds at least its closing fence's millisecond; were the inner ones also
    // counted in the outer ones, the phases would add up to more than the time that passed.
    int64_t sum = 0;
    for (Phase phase : {Phase::Draw, Phase::Upload, Phase::Allocation, Phase::ReadBack}) {
        EXPECT_EQ(PhaseTimes::Count(phase), 1);
        EXPECT_GE(PhaseTimes::Nanoseconds(phase), 1000000);
        sum += PhaseTimes::Nanoseconds(phase);
    }
    EXPECT_LE(sum, wall.count());
    EXPECT_EQ(PhaseTimes::Count(Phase::EdgeRepeat), 0);
    EXPECT_EQ(PhaseTimes::Count(Phase::StateSave), 16);
}
