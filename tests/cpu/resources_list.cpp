// The list of live resources and the sweep that finalizes them all.

#include "gl/texture/Resource.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

using namespace OGL_TESK_AE;

namespace {

std::string gFinalized; // the names of the probes finalized, in order

// When finalized, logs its name and may delete another probe, relist another, or throw.
struct Probe : Resource {
    explicit Probe(char name) : name(name) {}
    void Finalize() override {
        gFinalized += name;
        delete victim;
        victim = nullptr;
        if (revived) revived->Relist();
        if (throws) throw std::runtime_error("finalize failed");
    }
    void Dump() const override {}
    using Resource::Relist;
    char name;
    Probe *victim = nullptr, *revived = nullptr;
    bool throws = false;
};

// The names of the first n resources on the list, newest first ('?' for other resources).
std::string Newest(size_t n) {
    std::string names;
    for (Resource* r = Resource::LiveHead(); r && names.size() < n; r = r->LiveNext())
        names += dynamic_cast<Probe*>(r) ? static_cast<Probe*>(r)->name : '?';
    return names;
}

// The sweep finalizes every resource in the process, so each case runs in a child process of
// its own, which reports by its exit status (the failures it prints show up on a mismatch).
void SweepDeletingAheadAndBehindAndRelisting() {
    Probe a('a'), *x = new Probe('x'), *b = new Probe('b'), d('d');
    d.victim = b; // still ahead: the walk must go on past it to x
    a.victim = x; // already taken off, as a cache deletes the idle buffers it made after itself
    Resource::FinalizeAll();
    Resource::FinalizeAll(); // the objects live on, off the list: nothing more is finalized
    EXPECT_EQ(gFinalized, "dxa");
    EXPECT_EQ(Resource::LiveHead(), nullptr);
    // What is made or relisted after a sweep or during one (a relists d, taken off before it)
    // is found by the next sweep, once.
    Probe e('e');
    a.Relist();
    a.Relist();
    a.revived = &d;
    EXPECT_EQ(Newest(3), "ae");
    Resource::FinalizeAll();
    EXPECT_EQ(gFinalized, "dxaae");
    EXPECT_EQ(Newest(2), "d");
}

// The rest is taken off unfinalized, with links that lead nowhere.
void SweepWithThrowingFinalize() {
    Probe a('a'), b('b'), c('c');
    b.throws = true;
    Resource::FinalizeAll(); // returns normally
    EXPECT_EQ(gFinalized, "cb");
    EXPECT_TRUE(Resource::LiveHead() == nullptr && a.LiveNext() == nullptr);
}

} // namespace

TEST(ResourceList, NewestFirstCopiesOnTheirOwnAndUnlinkedOnDestruction) {
    Probe a('a'), *b = new Probe('b'), c('c');
    EXPECT_EQ(Newest(3), "cba");
    delete b; // from the middle
    {
        Probe d(c);
        d = a;
        d.name = 'd';
        EXPECT_EQ(Newest(3), "dca"); // a copy is listed on its own; assignment keeps the links
    }                                // the head
    EXPECT_EQ(Newest(2), "ca");
    // The debugging allocation forms go to the same heap and the same list.
    Probe* e = new (__FILE__, __LINE__) Probe('e');
    Probe* many = new (__FILE__, __LINE__) Probe[3]{Probe('x'), Probe('y'), Probe('z')};
    EXPECT_EQ(Newest(5), "zyxec");
    delete e;
    delete[] many;
    EXPECT_EQ(Newest(2), "ca");
}

TEST(ResourceListSweep, DeletionsRelistsAndThrowsDuringTheWalk) {
    for (void (*sweep)() : {&SweepDeletingAheadAndBehindAndRelisting, &SweepWithThrowingFinalize})
        EXPECT_EXIT((sweep(), std::exit(::testing::Test::HasFailure())),
                    ::testing::ExitedWithCode(0), "");
}
