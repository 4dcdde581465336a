// The list of live resources with the sweep that finalizes them all, and the budgeted caches:
// which idle buffer serves a request and what the budget keeps, held to a small model of the
// rules over random runs.

#include "gl/texture/MemoryBuffer.h"
#include "gl/texture/TextureKey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <deque>
#include <numeric>
#include <random>
#include <stdexcept>

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
// its own, which reports by its exit status.
void SweepDeletingAheadAndBehindAndRelisting() {
    Probe a('a'), *x = new Probe('x'), *b = new Probe('b'), d('d');
    delete new Probe('h'); // unlinked from the head
    EXPECT_EQ(Newest(4), "dbxa");
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

// A request for a buffer of some kind (tag) and at least some size; bytes < 0 fails to create.
struct TestKey {
    int bytes, tag;
    bool IsAcceptable(const TestKey& c) const { return tag == c.tag && c.bytes >= bytes; }
};

struct TestBuffer {
    explicit TestBuffer(const TestKey& key) : key(key) {
        if (key.bytes < 0) throw std::runtime_error("cannot create");
        ++sLive;
    }
    ~TestBuffer() { --sLive; }
    int Size() const { return key.bytes; }
    const TestKey& GetKey() const { return key; }
    const TestKey key;
    static inline int sLive = 0;
};

constexpr int kTestBudget = 1000;
using TestFactory = ResourceFactory<TestKey, TestBuffer, kTestBudget>;
// In use, idle, total and peak bytes, idle count, finalized, live buffers.
using Books = std::array<int, 7>;

Books BooksOf(const TestFactory& f, int live) {
    return {f.InUseBytes(), f.IdleBytes(),   f.TotalBytes(),          f.PeakBytes(),
            f.IdleCount(),  f.IsFinalized(), TestBuffer::sLive - live};
}

// The rules once more, as plainly as possible: idle buffers most recently released first, by
// address and key (the addresses are compared, never followed); the total is what is in use
// and idle, and the peak the largest total.
struct Model {
    std::deque<std::pair<TestBuffer*, TestKey>> idle;
    bool open = true;
    int peak = 0;

    // The idle buffer Make should hand out; null for a new one.
    TestBuffer* Make(const TestKey& key) {
        open = true;
        auto it = std::find_if(idle.begin(), idle.end(),
                               [&](auto& e) { return key.IsAcceptable(e.second); });
        TestBuffer* found = it == idle.end() ? nullptr : it->first;
        if (found) idle.erase(it);
        return found;
    }
    void Recycle(TestBuffer* buffer) {
        idle.emplace_front(buffer, buffer->key);
        while (IdleBytes() > (open ? kTestBudget : 0)) idle.pop_back();
    }
    int IdleBytes() const {
        return std::accumulate(idle.begin(), idle.end(), 0,
                               [](int n, auto& e) { return n + e.second.bytes; });
    }
    Books Expected(const std::vector<TestBuffer*>& held) {
        const int used = std::accumulate(held.begin(), held.end(), 0,
                                         [](int n, TestBuffer* b) { return n + b->Size(); });
        const int idled = IdleBytes(), live = int(held.size() + idle.size());
        peak = std::max(peak, used + idled);
        return {used, idled, used + idled, peak, int(idle.size()), !open, live};
    }
};

} // namespace

TEST(ResourceListSweep, DeletionsRelistsAndThrowsDuringTheWalk) {
    for (void (*sweep)() : {&SweepDeletingAheadAndBehindAndRelisting, &SweepWithThrowingFinalize})
        EXPECT_EXIT((sweep(), std::exit(::testing::Test::HasFailure())),
                    ::testing::ExitedWithCode(0), "");
}

// Textures: the same format, and the same size when exact, else at least as large; the size the
// buffer filled in does not matter.
TEST(ResourceKeys, AcceptWhatCanServeTheRequest) {
    TextureKey idle(GL_TEXTURE_RECTANGLE_ARB, 2048, 1080, GL_RGBA32F_ARB, false);
    idle.SetSize(12345);
    const auto texture = [&](int w, int h, bool exact, GLenum format = GL_RGBA32F_ARB) {
        return TextureKey(GL_TEXTURE_RECTANGLE_ARB, w, h, format, exact).IsAcceptable(idle);
    };
    EXPECT_TRUE(texture(640, 480, false) && texture(2048, 1080, true));
    EXPECT_FALSE(texture(2049, 480, false) || texture(640, 1081, false) ||
                 texture(640, 480, true) || texture(2048, 1000, true) ||
                 texture(640, 480, false, GL_RGBA16F_ARB));
}

// What the random runs never do: finalize a cache that has no list yet, search without making,
// recycle null, fail to create, fill exactly the budget.
TEST(ResourceFactory, EdgesOutsideTheModel) {
    const int live = TestBuffer::sLive;
    TestFactory factory;
    factory.Finalize();
    EXPECT_EQ(factory.Search({1, 9}), nullptr); // reopens the cache even finding nothing
    factory.Recycle(nullptr);
    EXPECT_THROW(factory.Make({-1, 1}), std::runtime_error);
    TestBuffer* full = factory.Make({kTestBudget, 5});
    factory.Recycle(full);
    EXPECT_EQ(factory.Make({1, 5}), full);               // exactly the budget stays idle...
    factory.Recycle(factory.Make({kTestBudget + 1, 6})); // ...one byte more does not
    factory.Recycle(full);
    EXPECT_EQ(BooksOf(factory, live), (Books{0, 1000, 1000, 2001, 1, 0, 1}));
}

TEST(ResourceFactory, AgreesWithAModelOverRandomRuns) {
    for (unsigned seed : {1u, 2u, 3u, 42u, 1234u}) {
        const int live = TestBuffer::sLive;
        {
            TestFactory factory;
            Model model;
            std::mt19937 random(seed);
            std::vector<TestBuffer*> held;
            for (int step = 0; step < 3000; ++step) {
                const unsigned op = random() % 100;
                if (op < 50 || held.empty()) {
                    const int sizes[] = {1, 50, 100, 150, 300, 499, 500, 700, 1000, 1200};
                    const TestKey key{sizes[random() % 10], int(random() % 3)};
                    TestBuffer* expected = model.Make(key);
                    held.push_back(factory.Make(key));
                    ASSERT_TRUE(!expected || held.back() == expected) << seed << ", " << step;
                } else if (op < 94) {
                    std::swap(held[random() % held.size()], held.back());
                    model.Recycle(held.back());
                    factory.Recycle(held.back());
                    held.pop_back();
                } else {
                    model.idle.clear();
                    model.open = model.open && op >= 97;
                    op < 97 ? factory.Finalize() : factory.FinalizePool();
                }
                ASSERT_EQ(BooksOf(factory, live), model.Expected(held)) << seed << ", " << step;
            }
            for (TestBuffer* buffer : held) factory.Recycle(buffer);
        }
        EXPECT_EQ(TestBuffer::sLive, live) << "seed " << seed; // the cache deletes what it kept
    }
}
