// The list of live resources and the sweep that finalizes them all.

#include "gl/texture/Resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

using namespace OGL_TESK_AE;

namespace {

// Records the order of Finalize calls; may throw, delete another probe, or make another one
// acquire something again, when finalized.
class Probe : public Resource {
public:
    explicit Probe(std::string name, std::vector<std::string>* log = nullptr)
        : fName(std::move(name)), fLog(log) {}
    void Finalize() override {
        ++fFinalized;
        if (fLog) fLog->push_back(fName);
        if (fVictim) {
            delete fVictim;
            fVictim = nullptr;
        }
        if (fRevived) fRevived->Relist();
        if (fThrows) throw std::runtime_error("finalize failed");
    }
    void Dump() const override {}
    using Resource::Relist;

    std::string fName;
    std::vector<std::string>* fLog;
    int fFinalized = 0;
    bool fThrows = false;
    Probe* fVictim = nullptr;
    Probe* fRevived = nullptr;
};

std::vector<const Resource*> Live() {
    std::vector<const Resource*> live;
    for (Resource* r = Resource::LiveHead(); r; r = r->LiveNext()) {
        live.push_back(r);
        if (live.size() > 1000000) break; // a cycle
    }
    return live;
}

// The first n entries of the live list.
std::vector<const Resource*> Newest(size_t n) {
    std::vector<const Resource*> live = Live();
    live.resize(std::min(n, live.size()));
    return live;
}

int Count(const Resource* wanted) {
    int count = 0;
    for (const Resource* r : Live()) count += r == wanted;
    return count;
}

} // namespace

TEST(ResourceList, NewestFirstAndUnlinkedOnDestruction) {
    Probe a("a");
    Probe* b = new Probe("b");
    Probe c("c");
    EXPECT_EQ(Newest(3), (std::vector<const Resource*>{&c, b, &a}));

    delete b; // from the middle
    EXPECT_EQ(Newest(2), (std::vector<const Resource*>{&c, &a}));

    {
        Probe d("d");
        EXPECT_EQ(Newest(3), (std::vector<const Resource*>{&d, &c, &a}));
    } // the head
    EXPECT_EQ(Newest(2), (std::vector<const Resource*>{&c, &a}));

    // The debugging allocation forms go to the same heap and the same list.
    Probe* e = new (__FILE__, __LINE__) Probe("e");
    EXPECT_EQ(Resource::LiveHead(), e);
    delete e;
    Probe* many = new (__FILE__, __LINE__) Probe[3]{Probe("x"), Probe("y"), Probe("z")};
    EXPECT_EQ(Count(&many[1]), 1);
    delete[] many;
    EXPECT_EQ(Newest(2), (std::vector<const Resource*>{&c, &a}));
}

TEST(ResourceList, CopiesAreListedOnTheirOwn) {
    Probe a("a");
    Probe b("b");
    {
        Probe copy(a);
        EXPECT_EQ(Newest(3), (std::vector<const Resource*>{&copy, &b, &a}));
        copy = b; // assignment leaves the links where they are
        EXPECT_EQ(Newest(3), (std::vector<const Resource*>{&copy, &b, &a}));
        b = a;
        EXPECT_EQ(Newest(3), (std::vector<const Resource*>{&copy, &b, &a}));
    }
    EXPECT_EQ(Newest(2), (std::vector<const Resource*>{&b, &a}));
    EXPECT_EQ(Count(&a), 1);
    EXPECT_EQ(Count(&b), 1);
    {
        std::vector<Probe> copies(3, a);
        for (const Probe& p : copies) EXPECT_EQ(Count(&p), 1);
    }
    EXPECT_EQ(Newest(2), (std::vector<const Resource*>{&b, &a}));
}

// The sweep finalizes every resource in the process, so each case runs in a child process of
// its own, which reports by its exit status (the failures it prints show up on a mismatch).
namespace {

[[noreturn]] void ExitWithVerdict() {
    std::exit(::testing::Test::HasFailure() ? 1 : 0);
}

void SweepNewestFirst() {
    std::vector<std::string> log;
    Probe a("a", &log);
    Probe* b = new Probe("b", &log);
    Probe* c = new Probe("c", &log);
    Probe d("d", &log);
    // d deletes b before the walk reaches it: the walk must go on past it to a.
    d.fVictim = b;
    Resource::FinalizeAll();
    EXPECT_EQ(log, (std::vector<std::string>{"d", "c", "a"}));
    // The objects stay alive but are off the list: a second sweep finalizes nothing.
    EXPECT_EQ(Resource::LiveHead(), nullptr);
    Resource::FinalizeAll();
    EXPECT_EQ(log.size(), 3u);
    delete c; // its neighbours were taken off too; nothing is touched
    // What is made or acquires something again, after a sweep or during one (a makes d, taken
    // off before it, acquire), is found by the next sweep, once.
    Probe e("e", &log);
    a.Relist();
    a.Relist();
    a.fRevived = &d;
    EXPECT_EQ(Newest(3), (std::vector<const Resource*>{&a, &e}));
    log.clear();
    Resource::FinalizeAll();
    EXPECT_EQ(log, (std::vector<std::string>{"a", "e"}));
    EXPECT_EQ(Newest(2), (std::vector<const Resource*>{&d}));
    ExitWithVerdict();
}

void SweepDeletingVisited() {
    std::vector<std::string> log;
    Probe a("a", &log);
    Probe* b = new Probe("b", &log);
    Probe c("c", &log);
    // a, visited last, deletes b, visited before it: as a cache deletes the idle buffers it
    // made, which are newer than the cache itself.
    a.fVictim = b;
    Resource::FinalizeAll();
    EXPECT_EQ(log, (std::vector<std::string>{"c", "b", "a"}));
    EXPECT_EQ(Resource::LiveHead(), nullptr);
    ExitWithVerdict();
}

void SweepWithThrowingFinalize() {
    std::vector<std::string> log;
    Probe a("a", &log);
    Probe b("b", &log);
    Probe c("c", &log);
    b.fThrows = true;
    Resource::FinalizeAll(); // returns normally
    EXPECT_EQ(log, (std::vector<std::string>{"c", "b"}));
    EXPECT_EQ(a.fFinalized, 0);
    // The rest is taken off unfinalized, with links that lead nowhere.
    EXPECT_EQ(Resource::LiveHead(), nullptr);
    EXPECT_EQ(a.LiveNext(), nullptr);
    ExitWithVerdict();
}

} // namespace

// A sweep that deletes during the walk (ahead of it and behind it) or meets a throwing
// Finalize, and the list is empty after it.
TEST(ResourceListSweep, InChildProcesses) {
    for (void (*sweep)() : {&SweepNewestFirst, &SweepDeletingVisited, &SweepWithThrowingFinalize})
        EXPECT_EXIT(sweep(), ::testing::ExitedWithCode(0), "");
}
