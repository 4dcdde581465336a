// The operations table handed over the ways a plug-in can get it wrong or make it hard: bad
// operands, no OpenGL context to be had, and eight host threads calling at once.

#include "Operations.h"
#include "Scoped.h"

#include "common/Reason.h"
#include "gl/texture/Resource.h"

#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <future>

using namespace OGL_TESK_AE;
using namespace tesk_test;
using TESK_AE::StaticList;
namespace fs = std::filesystem;

// Bad operands handed to every basic operation: nothing crashes, nothing is read or written
// outside the operands' memory, and each call ends the way it is documented to: an operand that
// fails IsValid makes the operation return without touching anything and without an error text.

namespace {

// Wide enough to catch a transfer that takes 16-byte pixels for 2-byte ones in an 8 x 6 image.
constexpr size_t kGuard = 1024;
const size_t kPage = size_t(sysconf(_SC_PAGESIZE));

struct Described {
    int32_t code, bitDepth, white;
};
const int32_t kRGBA = Fourcc("RGBA");
const Described kRgba8{kRGBA, 32, 255}, kFloat{kRGBA, 128, 1};
// Images that pass IsValid but promise wider pixels than their bit depth gives them: 16 bytes
// described as 2 and as 4, 8 bytes as 4, 2 bytes as 1. (Codes the library does not know are
// added at every width in Variants.)
const Described kTooNarrow[] = {{kRGBA, 16, 1},
                                {32, 16, 1},
                                {GL_RGBA32F_ARB, 32, 1},
                                {GL_RGBA16F_ARB, 32, 1},
                                {Fourcc("B565"), 8, 255}};

// Plug-ins describe memory of their own as a float buffer's pixels through a protected form of
// Resize.
struct Wrap : OpaqueBuffer {
    static constexpr bool (OpaqueBuffer::*Describe)(int, int, void*, int) = &Wrap::Resize;
};

// One way to hand an operand over: spoilt, strangely described, or of an odd size (every
// operand's rows then running that way); for no operand in particular, every one null.
enum class Way { Spoilt, Strange, Odd };
struct Variant {
    Way way;
    int spoil;
    Described d;
    int w, h;
    bool bottomUp;
};
const Variant kNull{Way::Spoilt, 0, kRgba8, 8, 6, false};

// An operand over memory of its own, tight rows of random pixels: an image of the description or
// a float buffer wrapping the memory. The memory follows guard bytes and ends where a page the
// process may not touch begins: a read or write past its end faults at once, a write before it
// shows in the guard.
struct Guarded {
    Guarded(Kind kind, const Variant& v, uint32_t seed, bool spoil)
        : image(v.w, v.h, v.d.code, v.d.bitDepth, v.d.white, v.bottomUp,
                TestImage::TightRowBytes(v.w, v.d.bitDepth)),
          bytes(size_t(image.GetRowBytes()) * size_t(v.h)),
          length((kGuard + bytes) / kPage * kPage + 2 * kPage),
          mapping(static_cast<uint8_t*>(
              mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0))),
          inside(mapping + length - kPage - bytes) {
        mprotect(mapping + length - kPage, kPage, PROT_NONE);
        std::memset(inside - kGuard, 0xA5, kGuard);
        image.SetBaseAddress(inside);
        image.FillRandomBytes(seed);
        if (kind == Kind::Alpha) buffer.reset(new AlphaBuffer);
        if (kind == Kind::Luma) buffer.reset(new LumaBuffer);
        for (size_t i = 0; buffer && i < bytes / 4; ++i) // values, not NaNs
            reinterpret_cast<float*>(inside)[i] = float((seed + i) % 64) / 64;
        if (buffer) Describe(v.w, v.h, inside, image.GetRowBytes());
        operand = buffer ? buffer.get() : static_cast<XIImage*>(&image);
        was.assign(inside - kGuard, inside + bytes);
        if (spoil && v.way == Way::Spoilt) spoilt = Spoil(v.spoil);
    }
    ~Guarded() { buffer.reset(), munmap(mapping, length); }
    // The guard bytes and the memory (or the guard bytes only) as they were.
    bool Same(bool guard = false) const {
        return std::equal(was.begin(), was.end() - guard * bytes, inside - kGuard);
    }
    void Describe(int w, int h, void* at, int r) { (buffer.get()->*Wrap::Describe)(w, h, at, r); }
    // Makes the operand unusable the way-th way and names it; null past the last way.
    const char* Spoil(int way) {
        const int w = image.Width(), h = image.Height(), r = image.GetRowBytes();
        if (way == 0) return operand = nullptr, "null";
        if (buffer && way == 1) return Describe(0, 0, nullptr, 0), "empty";
        if (buffer && way == 2) return Describe(1 << 16, 1 << 16, nullptr, 0), "no memory";
        if (buffer && way == 3) return Describe(w, h, inside, r - 1), "rows one byte short";
        if (buffer) return nullptr;
        if (way == 1) return image.SetWidth(0), "zero width";
        if (way == 2) return image.SetHeight(0), "zero height";
        if (way == 3) return image.SetWidth(-w), image.SetHeight(-h), "negative size";
        if (way == 4) return image.SetBaseAddress(nullptr), "null base";
        if (way == 5) return image.SetRowBytes(r - 1), "rows one byte short";
        if (way == 6) return image.SetRowBytes(-r), "negative row bytes";
        return nullptr;
    }

    TestImage image;
    size_t bytes, length;
    uint8_t *mapping, *inside;
    std::unique_ptr<OpaqueBuffer> buffer;
    XIImage* operand = nullptr;
    std::vector<uint8_t> was; // the guard bytes and the memory as they were
    const char* spoilt = "";  // how, when spoilt
};

std::vector<Variant> Variants(Kind kind) {
    std::vector<Variant> v;
    for (int way = 0; kind != Kind::Texture && Guarded(kind, kNull, 0, false).Spoil(way); ++way)
        v.push_back({Way::Spoilt, way, kRgba8, 8, 6, false});
    if (kind == Kind::None) return {kNull};
    std::vector<Described> strange(std::begin(kTooNarrow), std::end(kTooNarrow));
    for (int32_t code : {Fourcc("zzzz"), 0, -1, 8}) // unknown, none, a colour index
        for (int bits : {8, 32, 64, 128})
            strange.push_back({code, bits, bits == 64 ? 65535 : bits == 128 ? 1 : 255});
    for (const Described& d : strange)
        if (kind == Kind::Image) v.push_back({Way::Strange, 0, d, 8, 6, false});
    const Described& odd = kind == Kind::Alpha || kind == Kind::Luma ? kRgba8 : kFloat;
    for (const auto& size : {std::pair<int, int>{1, 1}, {3, 2}, {13, 9}, {1, 17}, {29, 1}})
        for (bool up : {false, true}) v.push_back({Way::Odd, 0, odd, size.first, size.second, up});
    return v;
}

// What a failed attempt could leave behind: threads, open files, live resources.
std::array<long, 3> Left() {
    const auto count = [](auto f) { return std::distance(fs::directory_iterator(f), {}); };
    long resources = 0;
    for (Resource* r = Resource::LiveHead(); r; r = r->LiveNext()) ++resources;
    return {count("/proc/self/task"), count("/proc/self/fd"), resources};
}

// The error text call leaves on a thread of its own, which has none yet, run after releasing
// the worker object the previous attempt left: an operation that never reaches the worker then
// reads "Unknown", not the failure of an earlier call.
std::string OnFreshThread(const std::function<void()>& call) {
    StaticList::Increment(), StaticList::Decrement();
    return std::async(std::launch::async,
                      [&] { return call(), std::string(Shared::ErrorMessage()); })
        .get();
}

void Calls(int thread, int round) {
    StaticList::Increment();
    for (int i = 0; i < 16; ++i) {
        // Every row runs in every round, each thread starting at its own, in a layout and pairing
        // of its own, its float buffers made and destroyed on the thread or the worker.
        const int j = thread * 7 + i + round;
        const Operation& op = Operations()[size_t(j - round) % Operations().size()];
        SCOPED_TRACE("thread " + std::to_string(thread) + ", round " + std::to_string(round));
        // When every other thread happens to be between uses too, this stops the worker while
        // none is calling.
        if (j % 4 == 0) StaticList::Decrement(), StaticList::Increment();
        if (j % 4 == 1) StaticList::Increment();
        CheckRow(op, HostLayouts()[size_t(j) % HostLayouts().size()], j % 3, j / 3 % 4);
        if (j % 4 == 1) StaticList::Decrement();
    }
    StaticList::Decrement();
}

} // namespace

// Each operand of each operation handed over badly, the others valid (8 x 6 8-bit RGBA; the
// destination 5 x 7 beside an odd operand); first every operand null. Spoilt, the call returns
// without a write, except where the image under a mask's colour is spoilt: the colour is laid
// over nothing, in the destination's memory only. Strangely described or of an odd size,
// nothing outside the memory is touched, and an odd size still leaves something written.
TEST(HarnessBadInput, EveryOperandHandedOverBadly) {
    // From a call that succeeded: any error text seen afterwards comes from the calls under test.
    CheckRow(OperationNamed("Premultiply"), HostLayouts().front(), 0);
    for (const Operation& op : Operations())
        for (int slot = -1; slot < 3; ++slot) {
            const Kind* k = op.call.kinds;
            if (slot >= 0 && k[slot] == Kind::None) continue;
            for (const Variant& v : Variants(slot < 0 ? Kind::None : k[slot])) {
                // A texture is made from a valid image.
                std::unique_ptr<Guarded> g[3];
                for (int s = 0; s < 3; ++s) {
                    const int odd = v.way == Way::Odd && s == 2;
                    const Variant other{Way::Odd, 0, kRgba8, 8 - 3 * odd, 6 + odd, v.bottomUp};
                    const bool mine = slot < 0 ? k[s] != Kind::Texture : s == slot;
                    if (k[s] != Kind::None)
                        g[s].reset(new Guarded(k[s], mine || slot < 0 ? v : other, 7u + s, mine));
                }
                const auto texture = TextureOf(k[0] == Kind::Texture ? g[0]->operand : nullptr);
                SCOPED_TRACE(::testing::Message()
                             << op.name << ", operand " << slot << ": "
                             << (slot < 0 ? "all null" : g[slot]->spoilt) << " " << v.d.code << "/"
                             << v.d.bitDepth << " bits " << v.w << "x" << v.h
                             << (v.bottomUp ? " up" : ""));
                const auto at = [&](int s) { return g[s] ? g[s]->operand : nullptr; };
                op.call.run(at(0), at(1), at(2), Color(0.2f, 0.4f, 0.6f, 0.8f), texture.get());
                EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
                EXPECT_TRUE(RunOnWorker([] {})) << "an OpenGL error left behind";
                // A query answers its neutral value for a float buffer it cannot use.
                EXPECT_TRUE(slot < 0 || !g[slot]->buffer ||
                            (v.way != Way::Spoilt) ==
                                (k[slot] == Kind::Alpha
                                     ? HasAlpha(static_cast<AlphaBuffer*>(at(slot)))
                                     : HasAlpha(static_cast<LumaBuffer*>(at(slot)))));
                EXPECT_TRUE((!g[0] || g[0]->Same()) && (!g[1] || g[1]->Same())) << "input written";
                EXPECT_TRUE(g[2]->Same(true)) << "written before the destination";
                const bool kept = v.way == Way::Spoilt && !(slot == 1 && op.Has(kOptional)) &&
                                  !(slot == 0 && op.Has(kSkips));
                EXPECT_TRUE(v.way == Way::Strange || (!kept && op.Has(kMayKeep)) ||
                            g[2]->Same() == kept)
                    << (kept ? "destination written" : "nothing written");
                // A refusal names what was wrong with the operand; a call that ran leaves none.
                const std::string reason = LastOperationReason();
                const std::string why = ": " + WhyInvalid(slot < 0 ? nullptr : at(slot));
                const bool named =
                    reason.size() > why.size() && reason.substr(reason.size() - why.size()) == why;
                EXPECT_TRUE(kept ? named || op.Has(kOwnTask) : reason.empty() || op.Has(kMayKeep))
                    << "reason \"" << reason << "\"";
            }
        }
}

// What the sweep leaves out: the float RGBA buffers' queries answer their neutral value for
// buffers they cannot use, without walking them.
TEST(HarnessBadInput, RgbaQueriesOnUnusableBuffers) {
    std::vector<float> memory(4 * 3 * 4, 0.5f); // every pixel has alpha and luma
    Buffer<RGBAPixelType<float>> empty, shortRows;
    (shortRows.*Wrap::Describe)(4, 3, memory.data(), 4 * 16 - 1);
    for (auto* b : {static_cast<decltype(&empty)>(nullptr), &empty, &shortRows})
        EXPECT_TRUE(!HasAlpha(b) && !HasLuma(b) && MaxLuma(b) == 0.0f);
}

// With no OpenGL context to be had, every operation that needs the worker returns normally,
// leaves its destination as it was and reports "OpenGL context failure."; those done in memory on
// the calling thread still work; the failed attempts leave no thread, open file or resource
// behind; and the first call after the failure is lifted works, without the library being
// released in between.

TEST(HarnessContextFailure, EveryOperationReportsItAndTheNextCallWorks) {
    const Layout &rgba8 = HostLayouts().front(), &floats = HostLayouts().back();
    const RGBA colour{0.3f, 0.6f, 0.9f, 0.5f};
    Held source(Kind::Image, rgba8, 9, 5, false, 51);
    const auto works = [&] { CheckRow(OperationNamed("Premultiply"), rgba8, 0); };
    // The setting is read when a context is made: a worker that has one goes on using it.
    works();
    ASSERT_TRUE(CurrentWorker() && CurrentWorker()->IsRunning());
    {
        ScopedEnv refused("TESK_AE_FAIL_CONTEXT", "1");
        works();
    }

    // Made on the worker; the release of the library below finalizes it (it keeps only its key).
    const auto texture = TextureOf(source.Get());
    {
        // The run's use given back: the worker stops, and the next call has to make a context.
        UseLent lent;
        ScopedEnv refused("TESK_AE_FAIL_CONTEXT", "1");
        ASSERT_EQ(CurrentWorker(), nullptr);
        // Operands made here, before the count and where no worker runs that could race with this
        // thread for the memory cache: inputs in 8-bit RGBA, a float destination unless the row
        // wants one alike (none else has a byte copy on this thread).
        std::deque<Held> held;
        for (const Operation& op : Operations())
            for (int s = 0; s < 3; ++s)
                held.emplace_back(op.call.kinds[s], s < 2 || op.Has(kAlike) ? rgba8 : floats, 9, 5,
                                  false, 54 + s);
        const std::array<long, 3> left = Left();
        for (size_t i = 0; i < Operations().size(); ++i) {
            const Operation& op = Operations()[i];
            Held &a = held[3 * i], &b = held[3 * i + 1], &d = held[3 * i + 2];
            const Picture before = d.Read();
            const std::string text = OnFreshThread(
                [&] { op.call.run(a.Get(), b.Get(), d.Get(), Color(&colour[0]), texture.get()); });
            // Work in memory on the calling thread never reaches the worker, and is exact.
            const bool here = op.Has(kOnCaller);
            EXPECT_EQ(text, here ? "Unknown" : "OpenGL context failure.") << op.name;
            const Picture expected = here ? op.Expected(a.held, b.held, before, colour) : before;
            EXPECT_TRUE(PixelsNear(d.Read().pixels, expected.pixels, 9)) << op.name;
            // The buffer queries need no worker.
            EXPECT_TRUE(d.kind != Kind::Luma || HasAlpha(static_cast<LumaBuffer*>(d.Get())));
        }

        // Several callers at once all hear of the failure, each in its own text.
        std::vector<std::future<std::string>> callers;
        for (int t = 0; t < 4; ++t)
            callers.push_back(std::async(std::launch::async, [&] {
                TestImage destination = MakeImage(floats, 3, 2);
                Premultiply(source.Get(), &destination);
                return std::string(Shared::ErrorMessage()) + " / " + LastOperationReason();
            }));
        for (auto& caller : callers)
            EXPECT_EQ(caller.get(), "OpenGL context failure. / OpenGL context failure.");

        EXPECT_FALSE(CurrentWorker() && CurrentWorker()->IsRunning());
        EXPECT_EQ(Left(), left);

        // Lifted: the very next call makes a context and works.
        refused.Set(nullptr);
        works();
        EXPECT_TRUE(CurrentWorker() && CurrentWorker()->IsRunning());
        EXPECT_TRUE(RunOnWorker([&] { held.clear(); }));
    }
}

// Eight host threads at once, as eight plug-in instances would call: each runs every row of the
// table, in a layout, row order and buffer placement of its own, and checks every result against
// the row's CPU reference. Each thread holds a use of the library while it calls, and now and
// then lets go of it and takes it back, or takes a second one, while the others keep calling;
// between rounds every thread has let go, so the worker stops and a fresh one starts.

TEST(HarnessStress, EightThreadsOfMixedOperationsWithUsesComingAndGoing) {
    UseLent lent; // the threads' uses are the only ones
    ASSERT_TRUE(StaticList::UseCount() == 0 && CurrentWorker() == nullptr);
    // Far longer than the test takes even under the sanitizers: past it the calls are deadlocked,
    // and the run ends at once instead of at the suite's time-out.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(4);
    for (int round = 0; round < 2; ++round) {
        std::vector<std::future<void>> threads;
        for (int t = 0; t < 8; ++t)
            threads.push_back(std::async(std::launch::async, Calls, t, round));
        for (auto& thread : threads)
            if (thread.wait_until(deadline) == std::future_status::timeout)
                std::fprintf(stderr, "HarnessStress: deadlocked\n"), std::abort();
        // The last use given back stopped the worker.
        EXPECT_TRUE(StaticList::UseCount() == 0 && CurrentWorker() == nullptr) << "round " << round;
    }
}
