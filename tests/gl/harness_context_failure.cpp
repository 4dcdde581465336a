// With no OpenGL context to be had, every operation that needs the worker returns normally,
// leaves its destination as it was and reports "OpenGL context failure."; those done in memory on
// the calling thread still work; the failed attempts leave no thread, open file or resource
// behind; and the first call after the failure is lifted works, without the library being
// released in between.

#include "Operations.h"
#include "Scoped.h"

#include "common/Shared.h"
#include "common/StaticList.h"
#include "gl/texture/Resource.h"

#include <dirent.h>

#include <deque>
#include <functional>
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

} // namespace

TEST(HarnessContextFailure, EveryOperationReportsItAndTheNextCallWorks) {
    const Layout& rgba8 = HostLayouts().front();
    const Layout& floats = HostLayouts().back();
    const Operation& premultiply = OperationNamed("Premultiply");
    const RGBA colour{0.3f, 0.6f, 0.9f, 0.5f};
    Held source(Kind::Image, rgba8, 9, 5, false, 51), none(Kind::None, rgba8, 0, 0, false, 0);

    // The setting is read when a context is made: a worker that has one goes on using it.
    Held first(Kind::Image, rgba8, 9, 5, false, 52), second(Kind::Image, rgba8, 9, 5, false, 53);
    EXPECT_TRUE(RunAndCompare(premultiply, source, none, first, colour));
    ASSERT_TRUE(CurrentWorker() && CurrentWorker()->IsRunning());
    {
        ScopedEnv refused("TESK_AE_FAIL_CONTEXT", "1");
        EXPECT_TRUE(RunAndCompare(premultiply, source, none, second, colour));
    }
    EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");

    // Made on the worker; the release of the library below finalizes it (it keeps only its key).
    TextureOf texture(source.Get());
    {
        // The run's use given back, so that the worker stops and the next call has to make a
        // context, which the environment asks to fail.
        UseLent lent;
        ScopedEnv refused("TESK_AE_FAIL_CONTEXT", "1");
        ASSERT_EQ(CurrentWorker(), nullptr);
        const int threads = CountEntries("/proc/self/task");
        const int files = CountEntries("/proc/self/fd");
        // Operands made here, where no worker runs that could race with this thread for the
        // memory cache: inputs in 8-bit RGBA, a float destination unless the row wants one alike
        // (none else has a byte copy on this thread).
        std::deque<Held> held;
        for (const Operation& op : Operations()) {
            held.emplace_back(op.kinds[0], rgba8, 9, 5, false, 54);
            held.emplace_back(op.kinds[1], rgba8, 9, 5, false, 55);
            held.emplace_back(op.kinds[2], op.Has(kAlike) ? rgba8 : floats, 9, 5, false, 56);
        }
        held.emplace_back(Kind::Luma, floats, 9, 5, false, 57); // for a query
        const int resources = CountResources();
        for (size_t i = 0; i < Operations().size(); ++i) {
            const Operation& op = Operations()[i];
            Held &a = held[3 * i], &b = held[3 * i + 1], &d = held[3 * i + 2];
            const Picture before = d.Read();
            const std::string text = OnFreshThread([&] {
                op.call(Operands{
                    {a.Get(), b.Get()}, d.Get(), Color(&colour[0]), texture.texture.get()});
            });
            if (op.Has(kOnCaller)) {
                EXPECT_EQ(text, "Unknown") << op.name; // it never reached the worker
                const Picture expected = op.Reference(a.held, b.held, before, colour);
                EXPECT_TRUE(
                    PixelsNear(d.Read().pixels, expected.pixels, 9, ToleranceFor(op, a, b, d)))
                    << op.name;
            } else {
                EXPECT_EQ(text, kFailure) << op.name;
                EXPECT_TRUE(PixelsNear(d.Read().pixels, before.pixels, 9)) << op.name << " written";
            }
        }

        // Several callers at once all hear of the failure, each in its own text.
        std::vector<std::string> texts(4);
        std::vector<std::thread> callers;
        for (size_t t = 0; t < texts.size(); ++t)
            callers.emplace_back([&, t] {
                TestImage destination = MakeImage(floats, 3, 2);
                Premultiply(source.Get(), &destination);
                texts[t] = Shared::ErrorMessage();
            });
        for (auto& caller : callers) caller.join();
        for (const std::string& text : texts) EXPECT_EQ(text, kFailure);

        // The buffer queries need no worker.
        EXPECT_TRUE(HasAlpha(static_cast<const LumaBuffer*>(held.back().Get())));

        // Every failed attempt ended its thread and closed what it opened.
        EXPECT_FALSE(CurrentWorker() && CurrentWorker()->IsRunning());
        EXPECT_EQ(CountEntries("/proc/self/task"), threads);
        EXPECT_EQ(CountEntries("/proc/self/fd"), files);
        EXPECT_EQ(CountResources(), resources);

        // Lifted: the very next call makes a context and works.
        refused.Set(nullptr);
        Held lifted(Kind::Image, rgba8, 9, 5, false, 58);
        EXPECT_TRUE(RunAndCompare(premultiply, source, none, lifted, colour));
        EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
        ASSERT_NE(CurrentWorker(), nullptr);
        EXPECT_TRUE(CurrentWorker()->IsRunning());
        EXPECT_TRUE(RunOnWorker([&] { held.clear(); }));
    }
}
