// Eight host threads at once, as eight plug-in instances would call: each runs a random mix of
// the basic operations on images of its own (random sizes, layouts and row orders) and checks
// every result against a CPU reference. Each thread holds a use of the library while it calls,
// and now and then lets go of it and takes it back, or takes a second one, while the others keep
// calling; between rounds every thread lets go, so the worker stops and a fresh one starts.

#include "GLTest.h"
#include "HostLayouts.h"
#include "OpsReference.h"

#include "common/Buffer.h"
#include "common/Shared.h"
#include "common/StaticList.h"
#include "ops/BasicOps.h"

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

enum Kind {
    kPremultiply,
    kCopyAcross,
    kCopySame,
    kClear,
    kClearTransparent,
    kCenter,
    kCopyAlpha,
    kResize,
    kFitInto,
    kRenderMask,
    kRenderInvMask,
    kGetAlpha,
    kGetLuma,
    kInvert,
    kKinds
};

const char* const kKindNames[kKinds] = {"Premultiply",
                                        "Copy across layouts",
                                        "Copy alike",
                                        "Clear",
                                        "Clear to transparent",
                                        "Center",
                                        "CopyAlpha",
                                        "Resize",
                                        "FitInto",
                                        "RenderMask",
                                        "RenderInvMask",
                                        "GetAlpha",
                                        "GetLuma",
                                        "Invert"};

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

struct Random {
    Random(Dice& dice, int width, int height)
        : layout(dice.AnyLayout()), image(MakeImage(layout, width, height, dice.Coin())),
          picture(FillPicture(layout, image, dice.Seed())) {}
    const Layout& layout;
    TestImage image;
    Picture picture;
};

struct Empty {
    Empty(Dice& dice, int width, int height)
        : layout(dice.AnyLayout()), image(MakeImage(layout, width, height, dice.Coin())) {}
    const Layout& layout;
    TestImage image;
};

float Tolerance(const Layout& a, const Layout& b) {
    return std::max(Tolerance(a), Tolerance(b));
}

// Float buffers are the library's own resources, on the resource list with blocks from the
// memory cache. Plug-ins make, resize and destroy them on their own threads, while the worker
// makes and deletes resources for the other threads' calls, or have the worker do it.
template <class Pixel>
std::unique_ptr<Buffer<Pixel>> MakeBuffer(Dice& dice, int width, int height) {
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

template <class Pixel> void DestroyBuffer(Dice& dice, std::unique_ptr<Buffer<Pixel>>& buffer) {
    if (dice.Coin())
        buffer.reset();
    else
        RunOnWorker([&] { buffer.reset(); });
}

// Runs one operation of the given kind and returns what went wrong, or nothing.
std::string RunOne(Kind kind, Dice& dice) {
    const int w = dice.Side(), h = dice.Side();
    switch (kind) {
    case kPremultiply: {
        Random source(dice, w, h);
        Empty destination(dice, w, h);
        Premultiply(&source.image, &destination.image);
        Picture expected(w, h);
        for (size_t i = 0; i < expected.pixels.size(); ++i)
            expected.pixels[i] = Premultiplied(source.picture.pixels[i]);
        return FirstDifference(destination.layout, destination.image, expected,
                               Tolerance(source.layout, destination.layout));
    }
    case kCopyAcross: {
        Random source(dice, w, h);
        Empty destination(dice, w, h);
        Copy(&source.image, &destination.image);
        return FirstDifference(destination.layout, destination.image, source.picture,
                               Tolerance(source.layout, destination.layout));
    }
    case kCopySame: {
        // Alike in every respect: a byte copy on this thread, padding included.
        Random source(dice, w, h);
        TestImage destination = MakeImage(source.layout, w, h, source.image.BottomUp());
        Copy(&source.image, &destination);
        if (std::memcmp(source.image.Bytes(), destination.Bytes(), destination.ByteCount()) != 0)
            return "the bytes differ";
        return std::string();
    }
    case kClear: {
        Random destination(dice, w, h);
        const RGBA colour{dice.Unit(), dice.Unit(), dice.Unit(), 0.05f + 0.95f * dice.Unit()};
        Clear(&destination.image, Color(colour[0], colour[1], colour[2], colour[3]));
        return FirstDifference(destination.layout, destination.image, Picture(w, h, colour),
                               Tolerance(destination.layout));
    }
    case kClearTransparent: {
        Random destination(dice, w, h);
        Clear(&destination.image, Color::Transparent);
        for (size_t i = 0; i < destination.image.ByteCount(); ++i)
            if (destination.image.Bytes()[i] != 0) return "a byte is not zero";
        return std::string();
    }
    case kCenter: {
        Random source(dice, w, h);
        Empty destination(dice, dice.Side(), dice.Side());
        Center(&source.image, &destination.image);
        return FirstDifference(
            destination.layout, destination.image,
            CenterReference(source.picture, destination.image.Width(), destination.image.Height()),
            Tolerance(source.layout, destination.layout));
    }
    case kCopyAlpha: {
        Random source(dice, w, h), destination(dice, w, h);
        CopyAlpha(&source.image, &destination.image);
        Picture expected = destination.picture;
        for (size_t i = 0; i < expected.pixels.size(); ++i)
            expected.pixels[i][3] = source.picture.pixels[i][3];
        return FirstDifference(destination.layout, destination.image, expected,
                               Tolerance(source.layout, destination.layout));
    }
    case kResize: {
        Random source(dice, w, h);
        Empty destination(dice, dice.Side(), dice.Side());
        Resize(&source.image, &destination.image);
        return FirstDifference(
            destination.layout, destination.image,
            ResizeReference(source.picture, destination.image.Width(), destination.image.Height()),
            Tolerance(source.layout, destination.layout) + kFilterTolerance);
    }
    case kFitInto: {
        Random source(dice, w, h);
        Empty destination(dice, dice.Side(), dice.Side());
        const Picture before = ReadPicture(destination.layout, destination.image);
        FitInto(&source.image, &destination.image);
        return FirstDifference(destination.layout, destination.image,
                               FitIntoReference(source.picture, destination.image.Width(),
                                                destination.image.Height(), before),
                               Tolerance(source.layout, destination.layout) + kFilterTolerance);
    }
    case kRenderMask:
    case kRenderInvMask: {
        const bool inverse = kind == kRenderInvMask;
        Random mask(dice, w, h), image(dice, w, h);
        Empty destination(dice, w, h);
        const RGBA colour{dice.Unit(), dice.Unit(), dice.Unit(), dice.Unit()};
        const Color c(colour[0], colour[1], colour[2], colour[3]);
        if (inverse)
            RenderInvMask(&mask.image, &image.image, &destination.image, c);
        else
            RenderMask(&mask.image, &image.image, &destination.image, c);
        Picture expected(w, h);
        for (size_t i = 0; i < expected.pixels.size(); ++i)
            expected.pixels[i] =
                Masked(image.picture.pixels[i], mask.picture.pixels[i][3], colour, inverse);
        const float tolerance =
            2 * std::max(Tolerance(mask.layout, image.layout), Tolerance(destination.layout));
        return FirstDifference(destination.layout, destination.image, expected, tolerance);
    }
    case kGetAlpha:
    case kGetLuma: {
        Random source(dice, w, h);
        const float tolerance = 2 * Tolerance(source.layout);
        std::ostringstream failure;
        if (kind == kGetAlpha) {
            auto alpha = MakeBuffer<AlphaPixelType<float>>(dice, w, h);
            GetAlpha(&source.image, alpha.get());
            for (int y = 0; y < h && failure.tellp() == 0; ++y)
                for (int x = 0; x < w; ++x)
                    if (!(std::fabs(alpha->Row(y)[x].alpha - source.picture.At(x, y)[3]) <=
                          tolerance)) {
                        failure << source.layout.name << " alpha at (" << x << ", " << y << ")";
                        break;
                    }
            DestroyBuffer(dice, alpha);
        } else {
            auto luma = MakeBuffer<LumaPixelType<float>>(dice, w, h);
            GetLuma(&source.image, luma.get());
            for (int y = 0; y < h && failure.tellp() == 0; ++y)
                for (int x = 0; x < w; ++x) {
                    const RGBA& p = source.picture.At(x, y);
                    if (!(std::fabs(luma->Row(y)[x].luma - p[3] * Luma(p)) <= tolerance)) {
                        failure << source.layout.name << " luma at (" << x << ", " << y << ")";
                        break;
                    }
                }
            DestroyBuffer(dice, luma);
        }
        return failure.str();
    }
    case kInvert: {
        const int dw = dice.Side(), dh = dice.Side();
        auto source = MakeBuffer<LumaPixelType<float>>(dice, w, h);
        auto destination = MakeBuffer<LumaPixelType<float>>(dice, dw, dh);
        std::vector<float> values(static_cast<size_t>(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                source->Row(y)[x].luma = values[static_cast<size_t>(y) * w + x] = dice.Unit();
        for (int y = 0; y < dh; ++y)
            for (int x = 0; x < dw; ++x) destination->Row(y)[x].luma = 7.0f;
        Invert(source.get(), destination.get());
        std::ostringstream failure;
        for (int y = 0; y < dh && failure.tellp() == 0; ++y)
            for (int x = 0; x < dw; ++x) {
                const float want =
                    x < w && y < h ? 1.0f - values[static_cast<size_t>(y) * w + x] : 7.0f;
                if (destination->Row(y)[x].luma != want) {
                    failure << "at (" << x << ", " << y << ")";
                    break;
                }
            }
        DestroyBuffer(dice, source);
        DestroyBuffer(dice, destination);
        return failure.str();
    }
    default:
        return "no such operation";
    }
}

// The memory paths never reach the worker, so they leave no error text of their own.
bool HandsOver(Kind kind) {
    return kind != kCopySame && kind != kClearTransparent;
}

} // namespace

TEST(HarnessStress, EightThreadsOfMixedOperationsWithUsesComingAndGoing) {
    SuiteUseLent lent;
    ASSERT_EQ(TESK_AE::StaticList::UseCount(), 0);
    ASSERT_EQ(CurrentWorker(), nullptr);

    Barrier roundEnd(kThreads);
    int stoppedBetweenRounds = 0;
    std::vector<std::vector<std::string>> failures(kThreads);
    std::vector<int> counts(kKinds, 0);
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
                    const Kind kind = static_cast<Kind>(dice.Below(kKinds));
                    // Let go and take the library back: when every other thread happens to be
                    // between uses too, this stops the worker while none is calling.
                    if (dice.Below(4) == 0) {
                        TESK_AE::StaticList::Decrement();
                        TESK_AE::StaticList::Increment();
                    }
                    const bool second = dice.Below(4) == 0;
                    if (second) TESK_AE::StaticList::Increment();
                    std::string failure = RunOne(kind, dice);
                    if (failure.empty() && HandsOver(kind) &&
                        std::string(Shared::ErrorMessage()) != "Unknown error.")
                        failure = std::string("error text \"") + Shared::ErrorMessage() + "\"";
                    if (second) TESK_AE::StaticList::Decrement();
                    if (!failure.empty()) {
                        std::ostringstream where;
                        where << "thread " << t << ", round " << round << ", operation " << i
                              << " (" << kKindNames[kind] << "): " << failure;
                        failures[t].push_back(where.str());
                    }
                    std::lock_guard<std::mutex> lock(countsMutex);
                    ++counts[kind];
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
    for (int k = 0; k < kKinds; ++k) {
        EXPECT_GT(counts[k], 0) << kKindNames[k] << " never ran";
        total += counts[k];
    }
    EXPECT_EQ(total, kThreads * kRounds * kOperationsPerRound);
}
