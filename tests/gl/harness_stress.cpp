// Eight host threads at once, as eight plug-in instances would call: each runs a random mix of
// the rows of the operations table on operands of its own (random sizes, layouts and row orders;
// float buffers made, resized and destroyed on the thread or the worker) and checks every result
// against the row's CPU reference. Each thread holds a use of the library while it calls,
// and now and then lets go of it and takes it back, or takes a second one, while the others keep
// calling; between rounds every thread lets go, so the worker stops and a fresh one starts.

#include "Operations.h"

#include "common/Shared.h"
#include "common/StaticList.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 2;
constexpr int kOperationsPerRound = 16;
constexpr int kMaxSide = 24;
// Far longer than the test takes even under the sanitizers: past this the calls are deadlocked,
// and the run ends at once instead of at the suite's time-out.
constexpr auto kDeadline = std::chrono::minutes(4);

// Threads wait here until all have arrived; the last to arrive runs atLast first.
class Barrier {
public:
    explicit Barrier(int count) : fCount(count) {}
    template <class F> void Arrive(F atLast) {
        std::unique_lock<std::mutex> lock(fMutex);
        const int generation = fGeneration;
        if (++fArrived == fCount) {
            atLast();
            fArrived = 0;
            ++fGeneration;
            fChanged.notify_all();
            return;
        }
        fChanged.wait(lock, [&] { return fGeneration != generation; });
    }

private:
    std::mutex fMutex;
    std::condition_variable fChanged;
    const int fCount;
    int fArrived = 0;
    int fGeneration = 0;
};

// The run's own use of the library is given back for the test, so that the threads' uses are
// the only ones; it is taken again however the test ends.
class SuiteUseLent {
public:
    SuiteUseLent() { TESK_AE::StaticList::Decrement(); }
    ~SuiteUseLent() { TESK_AE::StaticList::Increment(); }
};

// The operations with a CPU reference: every result is compared with it.
std::vector<const Operation*> Compared() {
    std::vector<const Operation*> rows;
    for (const Operation& op : Operations())
        if (op.HasReference()) rows.push_back(&op);
    return rows;
}

// One thread's random choices.
class Dice {
public:
    explicit Dice(uint32_t seed) : fRandom(seed) {}
    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(fRandom); }
    int Side() { return 1 + Below(kMaxSide); }
    bool Coin() { return Below(2) == 1; }
    const Layout& AnyLayout() { return HostLayouts()[static_cast<size_t>(Below(7))]; }
    float Unit() { return std::uniform_real_distribution<float>(0.0f, 1.0f)(fRandom); }
    uint32_t Seed() { return static_cast<uint32_t>(fRandom()); }

private:
    std::mt19937 fRandom;
};

// Float buffers are the library's own resources, on the resource list with blocks from the
// memory cache. Plug-ins make, resize and destroy them on their own threads, while the worker
// makes and deletes resources for the other threads' calls, or have the worker do it.
template <class Pixel> std::unique_ptr<OpaqueBuffer> MakeBuffer(Dice& dice, int width, int height) {
    std::unique_ptr<Buffer<Pixel>> buffer(dice.Coin() ? new Buffer<Pixel>() : nullptr);
    const int firstWidth = dice.Side(), firstHeight = dice.Side();
    const auto make = [&] {
        if (!buffer) buffer.reset(new Buffer<Pixel>());
        // The first size's block goes back to the cache and is taken again.
        buffer->Resize(firstWidth, firstHeight);
        buffer->Resize(width, height);
    };
    if (dice.Coin())
        make();
    else
        RunOnWorker(make);
    return buffer;
}

// A float operand's buffer, made as above; nothing for the other kinds.
std::unique_ptr<OpaqueBuffer> MakeBufferFor(Kind kind, Dice& dice, int width, int height) {
    if (kind == Kind::Alpha) return MakeBuffer<AlphaPixelType<float>>(dice, width, height);
    if (kind == Kind::Luma) return MakeBuffer<LumaPixelType<float>>(dice, width, height);
    return nullptr;
}

void DestroyBuffer(Dice& dice, std::unique_ptr<OpaqueBuffer>& buffer) {
    if (dice.Coin())
        buffer.reset();
    else
        RunOnWorker([&] { buffer.reset(); });
}

// One operand of the row: random layout and row order, random pixels, a float buffer made on
// this thread or the worker.
std::unique_ptr<Held> MakeOperand(Kind kind, Dice& dice, const Layout& layout, int width,
                                  int height, bool bottomUp) {
    std::unique_ptr<OpaqueBuffer> buffer = MakeBufferFor(kind, dice, width, height);
    const uint32_t seed = dice.Seed();
    return std::unique_ptr<Held>(
        new Held(kind, layout, width, height, bottomUp, seed, std::move(buffer)));
}

// Runs the row on random operands and returns what went wrong, or nothing.
std::string RunOne(const Operation& op, Dice& dice) {
    const int w = dice.Side(), h = dice.Side();
    const int dw = op.Has(kAnySize) ? dice.Side() : w, dh = op.Has(kAnySize) ? dice.Side() : h;
    const Layout& inLayout = dice.AnyLayout();
    const bool inUp = dice.Coin();
    const Layout& otherLayout = dice.AnyLayout();
    const bool otherUp = dice.Coin();
    const Layout& outLayout = op.Has(kAlike) ? inLayout : dice.AnyLayout();
    const bool outUp = op.Has(kAlike) ? inUp : dice.Coin();
    const RGBA colour{dice.Unit(), dice.Unit(), dice.Unit(), 0.05f + 0.95f * dice.Unit()};
    std::unique_ptr<Held> a = MakeOperand(op.kinds[0], dice, inLayout, w, h, inUp);
    std::unique_ptr<Held> b = MakeOperand(op.kinds[1], dice, otherLayout, w, h, otherUp);
    std::unique_ptr<Held> d = MakeOperand(op.kinds[2], dice, outLayout, dw, dh, outUp);
    const ::testing::AssertionResult result = RunAndCompare(op, *a, *b, *d, colour);
    std::string failure = result ? std::string() : result.message();
    // Alike in every respect: a byte copy on this thread, padding included.
    if (failure.empty() && op.Has(kAlike) &&
        std::memcmp(a->image.Bytes(), d->image.Bytes(), d->image.ByteCount()) != 0)
        failure = "the bytes differ";
    for (Held* held : {a.get(), b.get(), d.get()})
        if (held->buffer) DestroyBuffer(dice, held->buffer);
    return failure;
}

} // namespace

TEST(HarnessStress, EightThreadsOfMixedOperationsWithUsesComingAndGoing) {
    SuiteUseLent lent;
    ASSERT_EQ(TESK_AE::StaticList::UseCount(), 0);
    ASSERT_EQ(CurrentWorker(), nullptr);

    Barrier roundEnd(kThreads);
    int stoppedBetweenRounds = 0;
    std::vector<std::vector<std::string>> failures(kThreads);
    const std::vector<const Operation*> rows = Compared();
    std::vector<int> counts(rows.size(), 0);
    std::mutex countsMutex;
    std::mutex doneMutex;
    std::condition_variable doneChanged;
    int done = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            Dice dice(1000u + static_cast<uint32_t>(t));
            for (int round = 0; round < kRounds; ++round) {
                TESK_AE::StaticList::Increment();
                for (int i = 0; i < kOperationsPerRound; ++i) {
                    const size_t row = static_cast<size_t>(dice.Below(int(rows.size())));
                    const Operation& op = *rows[row];
                    // Let go and take the library back: when every other thread happens to be
                    // between uses too, this stops the worker while none is calling.
                    if (dice.Below(4) == 0) {
                        TESK_AE::StaticList::Decrement();
                        TESK_AE::StaticList::Increment();
                    }
                    const bool second = dice.Below(4) == 0;
                    if (second) TESK_AE::StaticList::Increment();
                    std::string failure = RunOne(op, dice);
                    if (failure.empty() && !op.Has(kOnCaller) &&
                        std::string(Shared::ErrorMessage()) != "Unknown error.")
                        failure = std::string("error text \"") + Shared::ErrorMessage() + "\"";
                    if (second) TESK_AE::StaticList::Decrement();
                    if (!failure.empty()) {
                        std::ostringstream where;
                        where << "thread " << t << ", round " << round << ", operation " << i
                              << " (" << op.name << "): " << failure;
                        failures[t].push_back(where.str());
                    }
                    std::lock_guard<std::mutex> lock(countsMutex);
                    ++counts[row];
                }
                TESK_AE::StaticList::Decrement();
                // With every thread's use given back, the last release stopped the worker.
                roundEnd.Arrive([&] {
                    if (TESK_AE::StaticList::UseCount() == 0 && CurrentWorker() == nullptr)
                        ++stoppedBetweenRounds;
                });
            }
            std::lock_guard<std::mutex> lock(doneMutex);
            ++done;
            doneChanged.notify_all();
        });
    {
        std::unique_lock<std::mutex> lock(doneMutex);
        if (!doneChanged.wait_for(lock, kDeadline, [&] { return done == kThreads; })) {
            std::fprintf(stderr, "HarnessStress: %d of %d threads still calling after %d s\n",
                         kThreads - done, kThreads,
                         int(std::chrono::duration_cast<std::chrono::seconds>(kDeadline).count()));
            std::abort();
        }
    }
    for (auto& thread : threads) thread.join();

    for (const auto& list : failures)
        for (const std::string& failure : list) ADD_FAILURE() << failure;
    EXPECT_EQ(stoppedBetweenRounds, kRounds);
    int total = 0;
    for (size_t k = 0; k < rows.size(); ++k) {
        EXPECT_GT(counts[k], 0) << rows[k]->name << " never ran";
        total += counts[k];
    }
    EXPECT_EQ(total, kThreads * kRounds * kOperationsPerRound);
}
