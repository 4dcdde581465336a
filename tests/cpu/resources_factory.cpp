// The budgeted caches: which idle buffer serves a request and what the budget keeps, held to a
// small model of the rules over random runs.

#include "gl/texture/MemoryBuffer.h"
#include "gl/texture/RenderKey.h"
#include "gl/texture/TextureKey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <deque>
#include <random>
#include <stdexcept>
#include <vector>

using namespace OGL_TESK_AE;

namespace {

// A request for a buffer of some kind (tag) and at least some size; bytes < 0 fails to create.
struct TestKey {
    int bytes, tag;
    bool IsAcceptable(const TestKey& c) const { return tag == c.tag && c.bytes >= bytes; }
};

struct TestBuffer : Resource {
    explicit TestBuffer(const TestKey& key) : key(key) {
        if (key.bytes < 0) throw std::runtime_error("cannot create");
        ++sLive;
    }
    ~TestBuffer() override { --sLive; }
    void Finalize() override {}
    void Dump() const override {}
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
        if (it == idle.end()) return nullptr;
        TestBuffer* found = it->first;
        idle.erase(it);
        return found;
    }
    void Recycle(TestBuffer* buffer) {
        idle.emplace_front(buffer, buffer->key);
        while (IdleBytes() > (open ? kTestBudget : 0)) idle.pop_back();
    }
    int IdleBytes() const {
        int bytes = 0;
        for (auto& e : idle) bytes += e.second.bytes;
        return bytes;
    }
    Books Expected(const std::vector<TestBuffer*>& held) {
        int used = 0;
        for (TestBuffer* buffer : held) used += buffer->Size();
        const int idled = IdleBytes(), live = int(held.size() + idle.size());
        peak = std::max(peak, used + idled);
        return {used, idled, used + idled, peak, int(idle.size()), !open, live};
    }
};

} // namespace

// Textures: the same target and format; the same size when exact, else at least as large; the
// size the buffer filled in does not matter. Render buffers: the same request exactly.
TEST(ResourceKeys, AcceptWhatCanServeTheRequest) {
    TextureKey idle(GL_TEXTURE_RECTANGLE_ARB, 2048, 1080, GL_RGBA32F_ARB, false);
    idle.SetSize(12345);
    const auto texture = [&](int w, int h, bool exact, GLenum format = GL_RGBA32F_ARB,
                             GLenum target = GL_TEXTURE_RECTANGLE_ARB) {
        return TextureKey(target, w, h, format, exact).IsAcceptable(idle);
    };
    const bool y = true, n = false;
    EXPECT_EQ((std::vector<bool>{texture(640, 480, false), texture(2048, 1080, true),
                                 texture(2049, 480, false), texture(640, 1081, false),
                                 texture(640, 480, true), texture(2048, 1000, true),
                                 texture(640, 480, false, GL_RGBA16F_ARB),
                                 texture(640, 480, false, GL_RGBA32F_ARB, GL_TEXTURE_2D)}),
              (std::vector<bool>{y, y, n, n, n, n, n, n}));
    RenderKey filled(640, 480, GL_RGBA, GL_FLOAT);
    filled.SetInternalFormat(GL_RGBA32F_ARB);
    filled.SetSize(4915200);
    EXPECT_TRUE(RenderKey(640, 480, GL_RGBA, GL_FLOAT).IsAcceptable(filled));
    EXPECT_FALSE(RenderKey(640, 480, GL_RGBA, GL_UNSIGNED_BYTE).IsAcceptable(filled));
}

// What the random runs never do: finalize a cache that has no list yet, search without making,
// recycle null, fail to create, fill exactly the budget; and a memory block's Finalize.
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

    MemoryBuffer block{MemoryKey(4096)};
    static_cast<char*>(block.Data())[4095] = 1;
    block.Finalize(); // frees the memory; the size stays for the cache's books
    EXPECT_TRUE(block.Data() == nullptr && block.Size() == 4096);
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
