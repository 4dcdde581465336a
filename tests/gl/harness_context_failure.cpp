// With no OpenGL context to be had, every operation that needs the worker returns normally,
// leaves its destination as it was and reports "OpenGL context failure."; those done in memory on
// the calling thread still work; the failed attempts leave no thread, open file or resource
// behind; and the first call after the failure is lifted works, without the library being
// released in between.

#include "Operations.h"
#include "Scoped.h"

#include "gl/texture/Resource.h"

#include <dirent.h>

#include <deque>
#include <thread>

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

constexpr const char* kFailure = "OpenGL context failure.";

// Entries of a /proc folder: the process's threads or its open files.
int CountEntries(const char* folder) {
    int count = 0;
    if (DIR* dir = opendir(folder)) {
        while (dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
        closedir(dir);
    }
    return count;
}

// What a failed attempt could leave behind: threads, open files, live resources.
std::array<int, 3> Left() {
    int resources = 0;
    for (Resource* r = Resource::LiveHead(); r; r = r->LiveNext()) ++resources;
    return {CountEntries("/proc/self/task"), CountEntries("/proc/self/fd"), resources};
}

// Runs call on a thread of its own, which has no error text of its own yet, after releasing the
// worker object the previous attempt left: an operation that never reaches the worker would
// then read "Unknown", not the failure of an earlier call. Returns the text the thread read.
std::string OnFreshThread(const std::function<void()>& call) {
    TESK_AE::StaticList::Increment();
    TESK_AE::StaticList::Decrement();
    std::string text = "(not run)";
    std::thread([&] { call(), text = Shared::ErrorMessage(); }).join();
    return text;
}

} // namespace

TEST(HarnessContextFailure, EveryOperationReportsItAndTheNextCallWorks) {
    const Layout& rgba8 = HostLayouts().front();
    const RGBA colour{0.3f, 0.6f, 0.9f, 0.5f};
    Held source(Kind::Image, rgba8, 9, 5, false, 51), none(Kind::None, rgba8, 0, 0, false, 0);
    const auto works = [&](uint32_t seed) {
        Held d(Kind::Image, rgba8, 9, 5, false, seed);
        EXPECT_TRUE(RunAndCompare(OperationNamed("Premultiply"), source, none, d, colour));
    };
    // The setting is read when a context is made: a worker that has one goes on using it.
    works(52);
    ASSERT_TRUE(CurrentWorker() && CurrentWorker()->IsRunning());
    {
        ScopedEnv refused("TESK_AE_FAIL_CONTEXT", "1");
        works(53);
    }

    // Made on the worker; the release of the library below finalizes it (it keeps only its key).
    TextureOf texture(source.Get());
    {
        // The run's use given back: the worker stops, and the next call has to make a context.
        UseLent lent;
        ScopedEnv refused("TESK_AE_FAIL_CONTEXT", "1");
        ASSERT_EQ(CurrentWorker(), nullptr);
        // Operands made here, before the count and where no worker runs that could race with this
        // thread for the memory cache: inputs in 8-bit RGBA, a float destination unless the row
        // wants one alike (none else has a byte copy on this thread); a luma buffer for a query.
        std::deque<Held> held;
        for (const Operation& op : Operations())
            for (int s = 0; s < 3; ++s)
                held.emplace_back(op.call.kinds[s],
                                  s < 2 || op.Has(kAlike) ? rgba8 : HostLayouts().back(), 9, 5,
                                  false, 54 + s);
        held.emplace_back(Kind::Luma, rgba8, 9, 5, false, 57);
        const std::array<int, 3> left = Left();
        for (size_t i = 0; i < Operations().size(); ++i) {
            const Operation& op = Operations()[i];
            Held &a = held[3 * i], &b = held[3 * i + 1], &d = held[3 * i + 2];
            const Picture before = d.Read();
            const std::string text = OnFreshThread([&] {
                op.call.run(a.Get(), b.Get(), d.Get(), Color(&colour[0]), texture.texture.get());
            });
            // Work in memory on the calling thread never reaches the worker, and is exact.
            const bool here = op.Has(kOnCaller);
            EXPECT_EQ(text, here ? "Unknown" : kFailure) << op.name;
            const Picture expected = here ? op.Expected(a.held, b.held, before, colour) : before;
            EXPECT_TRUE(PixelsNear(d.Read().pixels, expected.pixels, 9)) << op.name;
        }

        // Several callers at once all hear of the failure, each in its own text.
        std::vector<std::string> texts(4);
        std::vector<std::thread> callers;
        for (std::string& text : texts)
            callers.emplace_back([&] {
                TestImage destination = MakeImage(HostLayouts().back(), 3, 2);
                Premultiply(source.Get(), &destination);
                text = Shared::ErrorMessage();
            });
        for (auto& caller : callers) caller.join();
        for (const std::string& text : texts) EXPECT_EQ(text, kFailure);

        // The buffer queries need no worker.
        EXPECT_TRUE(HasAlpha(static_cast<LumaBuffer*>(held.back().Get())));
        EXPECT_FALSE(CurrentWorker() && CurrentWorker()->IsRunning());
        EXPECT_EQ(Left(), left);

        // Lifted: the very next call makes a context and works.
        refused.Set(nullptr);
        works(58);
        ASSERT_NE(CurrentWorker(), nullptr);
        EXPECT_TRUE(CurrentWorker()->IsRunning());
        EXPECT_TRUE(RunOnWorker([&] { held.clear(); }));
    }
}
