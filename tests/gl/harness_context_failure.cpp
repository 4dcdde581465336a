// With no OpenGL context to be had, every operation that needs the worker returns normally,
// leaves its destination as it was and reports "OpenGL context failure."; the failed attempts
// leave no thread, open file or resource behind; and the first call after the failure is
// lifted works, without the library being released in between.

#include "GLTest.h"
#include "HostLayouts.h"
#include "OpsReference.h"

#include "common/Buffer.h"
#include "common/Shared.h"
#include "common/StaticList.h"
#include "gl/texture/ImageTextures.h"
#include "gl/texture/Resource.h"
#include "ops/BasicOps.h"

#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

constexpr const char* kFailure = "OpenGL context failure.";

// Entries of a /proc folder: the process's threads or its open files.
int CountEntries(const char* folder) {
    int count = 0;
    if (DIR* dir = opendir(folder)) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') ++count;
        closedir(dir);
    }
    return count;
}

int CountResources() {
    int count = 0;
    for (Resource* r = Resource::LiveHead(); r; r = r->LiveNext()) ++count;
    return count;
}

// The run's use of the library is given back, so that the worker stops and the next call has
// to make a context; the environment asks for that to fail. Both are undone however the test
// ends.
class ContextRefused {
public:
    ContextRefused() {
        TESK_AE::StaticList::Decrement();
        setenv("TESK_AE_FAIL_CONTEXT", "1", 1);
    }
    ~ContextRefused() {
        Lift();
        TESK_AE::StaticList::Increment();
    }
    void Lift() { unsetenv("TESK_AE_FAIL_CONTEXT"); }
};

// Runs call on a thread of its own, which has no error text of its own yet, after releasing the
// worker object the previous attempt left: an operation that never reaches the worker would
// then read "Unknown", not the failure of an earlier call. Returns the text the thread read.
std::string OnFreshThread(const std::function<void()>& call) {
    TESK_AE::StaticList::Increment();
    TESK_AE::StaticList::Decrement();
    std::string text = "(not run)";
    std::thread thread([&] {
        call();
        text = Shared::ErrorMessage();
    });
    thread.join();
    return text;
}

struct Snapshot {
    explicit Snapshot(TestImage& image)
        : image(image), bytes(image.Bytes(), image.Bytes() + image.ByteCount()) {}
    bool Unchanged() const { return std::equal(bytes.begin(), bytes.end(), image.Bytes()); }
    TestImage& image;
    std::vector<uint8_t> bytes;
};

} // namespace

TEST(HarnessContextFailure, EveryOperationReportsItAndTheNextCallWorks) {
    const Layout& rgba8 = HostLayouts().front();
    const Layout& floatLayout = HostLayouts().back();
    TestImage source = MakeImage(rgba8, 9, 5);
    const Picture s = FillPicture(rgba8, source, 51);
    TestImage mask = MakeImage(rgba8, 9, 5);
    FillRandom(rgba8, mask, 52);

    Picture expected(9, 5);
    for (size_t i = 0; i < expected.pixels.size(); ++i)
        expected.pixels[i] = Premultiplied(s.pixels[i]);

    // The setting is read when a context is made: a worker that has one goes on using it.
    TestImage running = MakeImage(rgba8, 9, 5);
    Premultiply(&source, &running);
    ASSERT_TRUE(CurrentWorker() && CurrentWorker()->IsRunning());
    std::memset(running.Bytes(), 0, running.ByteCount());
    setenv("TESK_AE_FAIL_CONTEXT", "1", 1);
    Premultiply(&source, &running);
    unsetenv("TESK_AE_FAIL_CONTEXT");
    EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
    EXPECT_EQ(FirstDifference(rgba8, running, expected, Tolerance(rgba8)), "");

    // Made on the worker; the release of the library below finalizes it (it keeps only its key).
    std::unique_ptr<SubImageTexture> texture;
    ASSERT_TRUE(RunOnWorker([&] { texture.reset(new SubImageTexture(&source)); }));
    std::unique_ptr<Buffer<AlphaPixelType<float>>> alpha;
    std::unique_ptr<Buffer<LumaPixelType<float>>> luma, lumaSource;

    {
        ContextRefused refused;
        ASSERT_EQ(CurrentWorker(), nullptr);
        const int threads = CountEntries("/proc/self/task");
        const int files = CountEntries("/proc/self/fd");

        // Float buffers made here: the release finalized every resource, and no worker runs
        // now that could race with this thread for the memory cache.
        alpha.reset(new Buffer<AlphaPixelType<float>>());
        luma.reset(new Buffer<LumaPixelType<float>>());
        lumaSource.reset(new Buffer<LumaPixelType<float>>());
        ASSERT_TRUE(alpha->Resize(9, 5) && luma->Resize(9, 5) && lumaSource->Resize(9, 5));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 9; ++x) {
                alpha->Row(y)[x].alpha = 0.25f;
                luma->Row(y)[x].luma = 0.25f;
                lumaSource->Row(y)[x].luma = 0.5f;
            }
        const int resources = CountResources();

        struct Case {
            const char* name;
            std::function<void(XIImage*)> call;
        };
        const Color colour(0.3f, 0.6f, 0.9f, 0.5f);
        const std::vector<Case> cases = {
            {"Premultiply", [&](XIImage* d) { Premultiply(&source, d); }},
            {"Copy", [&](XIImage* d) { Copy(&source, d); }},
            {"Center", [&](XIImage* d) { Center(&source, d); }},
            {"CopyAlpha", [&](XIImage* d) { CopyAlpha(&source, d); }},
            {"Resize", [&](XIImage* d) { Resize(&source, d); }},
            {"FitInto", [&](XIImage* d) { FitInto(&source, d); }},
            {"RenderMask", [&](XIImage* d) { RenderMask(&mask, &source, d, colour); }},
            {"RenderInvMask", [&](XIImage* d) { RenderInvMask(&mask, &source, d, colour); }},
            {"Clear", [&](XIImage* d) { Clear(d, colour); }},
            {"CopyTexture", [&](XIImage* d) { CopyTexture(*texture, d); }},
        };
        for (const Case& c : cases) {
            // A float destination: no byte copy on the calling thread.
            TestImage destination = MakeImage(floatLayout, 9, 5);
            FillRandom(floatLayout, destination, 53);
            const Snapshot before(destination);
            EXPECT_EQ(OnFreshThread([&] { c.call(&destination); }), kFailure) << c.name;
            EXPECT_TRUE(before.Unchanged()) << c.name;
        }
        // The float-buffer operations that go through the worker.
        EXPECT_EQ(OnFreshThread([&] { GetAlpha(&source, alpha.get()); }), kFailure);
        EXPECT_EQ(OnFreshThread([&] { GetLuma(&source, luma.get()); }), kFailure);
        EXPECT_EQ(OnFreshThread([&] { Invert(lumaSource.get(), luma.get()); }), kFailure);
        EXPECT_EQ(alpha->Row(4)[8].alpha, 0.25f);
        EXPECT_EQ(luma->Row(4)[8].luma, 0.25f);

        // Several callers at once all hear of the failure, each in its own text.
        std::vector<std::string> texts(4);
        std::vector<std::thread> callers;
        for (size_t t = 0; t < texts.size(); ++t)
            callers.emplace_back([&, t] {
                TestImage destination = MakeImage(floatLayout, 3, 2);
                Premultiply(&source, &destination);
                texts[t] = Shared::ErrorMessage();
            });
        for (auto& caller : callers) caller.join();
        for (const std::string& text : texts) EXPECT_EQ(text, kFailure);

        // The calls that need no worker go on working.
        TestImage copy = MakeImage(rgba8, 9, 5);
        Copy(&source, &copy);
        EXPECT_EQ(FirstDifference(rgba8, copy, s, 0.0f), "");
        EXPECT_TRUE(HasAlpha(lumaSource.get()));
        EXPECT_FALSE(HasAlpha(static_cast<const Buffer<LumaPixelType<float>>*>(nullptr)));

        // Every failed attempt ended its thread and closed what it opened.
        EXPECT_FALSE(CurrentWorker() && CurrentWorker()->IsRunning());
        EXPECT_EQ(CountEntries("/proc/self/task"), threads);
        EXPECT_EQ(CountEntries("/proc/self/fd"), files);
        EXPECT_EQ(CountResources(), resources);

        // Lifted: the very next call makes a context and works.
        refused.Lift();
        TestImage premultiplied = MakeImage(rgba8, 9, 5);
        Premultiply(&source, &premultiplied);
        EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
        EXPECT_EQ(FirstDifference(rgba8, premultiplied, expected, Tolerance(rgba8)), "");
        ASSERT_NE(CurrentWorker(), nullptr);
        EXPECT_TRUE(CurrentWorker()->IsRunning());
    }
    EXPECT_TRUE(RunOnWorker([&] {
        texture.reset();
        alpha.reset();
        luma.reset();
        lumaSource.reset();
    }));
}
