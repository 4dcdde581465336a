// The budgeted caches: which idle buffer serves a request, what the budget keeps, and the
// finalized state. A cache of test buffers is checked against a small model of the rules.

#include "gl/texture/MemoryBuffer.h"
#include "gl/texture/RenderKey.h"
#include "gl/texture/ResourceFactory.h"
#include "gl/texture/TextureKey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <deque>
#include <map>
#include <random>
#include <stdexcept>

using namespace OGL_TESK_AE;

namespace {

// A request for a buffer of some kind (tag) and at least some size; bytes < 0 fails to create.
struct TestKey {
    int bytes, tag;
    bool IsAcceptable(const TestKey& c) const { return tag == c.tag && c.bytes >= bytes; }
};

class TestBuffer : public Resource {
public:
    explicit TestBuffer(const TestKey& key) : fKey(key), fId(sNextId) {
        if (key.bytes < 0) throw std::runtime_error("cannot create");
        ++sNextId, ++sLive;
    }
    ~TestBuffer() override { --sLive; }
    void Finalize() override {}
    void Dump() const override {}
    int Size() const { return fKey.bytes; }
    const TestKey& GetKey() const { return fKey; }
    int Id() const { return fId; }
    static inline int sNextId = 0, sLive = 0;

private:
    TestKey fKey;
    int fId;
};

constexpr int kTestBudget = 1000, kMiB = 1048576;
using TestFactory = ResourceFactory<TestKey, TestBuffer, kTestBudget>;

TextureKey Texture(int width, int height, bool exact, GLenum format = GL_RGBA32F_ARB,
                   GLenum target = GL_TEXTURE_RECTANGLE_ARB) {
    return TextureKey(target, width, height, format, exact);
}
RenderKey Render(int width, int height, GLenum format = GL_RGBA, GLenum type = GL_FLOAT) {
    return RenderKey(width, height, format, type);
}

} // namespace

TEST(ResourceKeys, Acceptance) {
    // Textures: the same target and format; the same size when exact, else at least as large;
    // the size the buffer filled in does not matter. Render buffers: all four fields.
    TextureKey idle = Texture(2048, 1080, false);
    idle.SetSize(12345);
    RenderKey filled = Render(640, 480);
    filled.SetInternalFormat(GL_RGBA32F_ARB);
    filled.SetSize(4915200);
    const struct {
        const char* what;
        bool accepted, expected;
    } rows[] = {
        {"memory, same size", MemoryKey(100).IsAcceptable(MemoryKey(100)), true},
        {"memory, larger", MemoryKey(100).IsAcceptable(MemoryKey(5000)), true},
        {"memory, smaller", MemoryKey(100).IsAcceptable(MemoryKey(99)), false},
        {"texture, smaller request", Texture(640, 480, false).IsAcceptable(idle), true},
        {"texture, same size", Texture(2048, 1080, false).IsAcceptable(idle), true},
        {"texture, wider request", Texture(2049, 480, false).IsAcceptable(idle), false},
        {"texture, taller request", Texture(640, 1081, false).IsAcceptable(idle), false},
        {"texture, exact smaller", Texture(640, 480, true).IsAcceptable(idle), false},
        {"texture, exact same", Texture(2048, 1080, true).IsAcceptable(idle), true},
        {"texture, exact height differs", Texture(2048, 1000, true).IsAcceptable(idle), false},
        {"texture, format", Texture(640, 480, false, GL_RGBA16F_ARB).IsAcceptable(idle), false},
        {"texture, target",
         Texture(640, 480, false, GL_RGBA32F_ARB, GL_TEXTURE_2D).IsAcceptable(idle), false},
        {"render, same", Render(640, 480).IsAcceptable(Render(640, 480)), true},
        {"render, filled in", Render(640, 480).IsAcceptable(filled), true},
        {"render, width", Render(640, 480).IsAcceptable(Render(641, 480)), false},
        {"render, height", Render(640, 480).IsAcceptable(Render(640, 481)), false},
        {"render, format", Render(640, 480).IsAcceptable(Render(640, 480, GL_BGRA)), false},
        {"render, type", Render(640, 480).IsAcceptable(Render(640, 480, GL_RGBA, GL_UNSIGNED_BYTE)),
         false},
    };
    for (const auto& row : rows) EXPECT_EQ(row.accepted, row.expected) << row.what;

    const TextureKey defaults;
    EXPECT_EQ(defaults.Target(), static_cast<GLenum>(GL_TEXTURE_RECTANGLE_ARB));
    EXPECT_TRUE(defaults.Width() == 0 && defaults.Height() == 0 && defaults.Size() == 0);
    EXPECT_EQ(defaults.InternalFormat(), static_cast<GLenum>(GL_RGBA32F_ARB));
    EXPECT_FALSE(defaults.IsExact());
    TextureKey grown = Texture(640, 1200, false);
    grown.SetMinimumSize(2048, 1080);
    EXPECT_TRUE(grown.Width() == 2048 && grown.Height() == 1200);
    EXPECT_TRUE(Render(640, 480).InternalFormat() == 0u && Render(640, 480).Size() == 0);
}

TEST(ResourceFactory, ExactlyTheBudgetStaysIdle) {
    TestFactory factory;
    TestBuffer* full = factory.Make({kTestBudget, 5});
    factory.Recycle(full);
    EXPECT_EQ(factory.IdleBytes(), kTestBudget);
    EXPECT_EQ(factory.Make({1, 5}), full);
    // One byte more does not.
    TestBuffer* over = factory.Make({kTestBudget + 1, 6});
    const int live = TestBuffer::sLive;
    factory.Recycle(over);
    EXPECT_EQ(TestBuffer::sLive, live - 1);
    EXPECT_EQ(factory.IdleBytes(), 0);
    factory.Recycle(full);
}

// What the random runs below never do: finalize a cache that has no list yet, search without
// making, recycle null, fail to create; and the memory blocks and the real caches' budgets.
TEST(ResourceFactory, EdgesOutsideTheModel) {
    TestFactory factory;
    factory.Finalize();
    EXPECT_TRUE(factory.IsFinalized());
    EXPECT_EQ(factory.Search({1, 9}), nullptr); // reopens the cache even finding nothing
    EXPECT_FALSE(factory.IsFinalized());
    TestBuffer* a = factory.Make({100, 0});
    factory.Recycle(nullptr);
    EXPECT_EQ(factory.InUseBytes(), 100);
    factory.Recycle(a);
    EXPECT_THROW(factory.Make({-1, 1}), std::runtime_error);
    const std::array<int, 4> books = {factory.InUseBytes(), factory.TotalBytes(),
                                      factory.PeakBytes(), factory.IdleBytes()};
    EXPECT_EQ(books, (std::array<int, 4>{0, 100, 100, 100})) << "in use, total, peak, idle";
    EXPECT_EQ(factory.Make({100, 0}), a);
    factory.Recycle(a);

    ResourceFactory<MemoryKey, MemoryBuffer, 4 * kMiB> blocks;
    MemoryBuffer* block = blocks.Make(MemoryKey(kMiB));
    ASSERT_NE(block->Data(), nullptr);
    static_cast<char*>(block->Data())[kMiB - 1] = 1;
    block->Finalize(); // frees the memory; the size stays for the cache's books
    EXPECT_EQ(block->Data(), nullptr);
    EXPECT_EQ(block->Size(), kMiB);
    blocks.Recycle(block);
    EXPECT_EQ(blocks.IdleBytes(), kMiB);
    EXPECT_EQ(MemoryBuffer::Factory().BudgetBytes(), 128 * kMiB);
    EXPECT_EQ(RenderFactory::BudgetBytes(), 16 * kMiB);
    EXPECT_EQ(TextureFactory::BudgetBytes(), 256 * kMiB);
}

namespace {

// The rules, stated once more as plainly as possible, to hold the cache to over random runs.
struct ModelCache {
    struct Entry {
        int id, bytes, tag;
    };
    std::deque<Entry> idle; // most recently released first
    std::map<int, Entry> inUse;
    int inUseBytes = 0, idleBytes = 0, totalBytes = 0, peakBytes = 0;
    bool open = true;

    // The id Make should hand out: the most recently released acceptable idle buffer, else a
    // new one with the id next.
    int Make(int bytes, int tag, int next) {
        open = true;
        auto found = std::find_if(idle.begin(), idle.end(),
                                  [&](const Entry& e) { return e.tag == tag && e.bytes >= bytes; });
        const Entry e = found != idle.end() ? *found : Entry{next, bytes, tag};
        if (found != idle.end()) {
            idle.erase(found);
            idleBytes -= e.bytes;
        } else {
            totalBytes += bytes;
            peakBytes = std::max(peakBytes, totalBytes);
        }
        inUse[e.id] = e;
        inUseBytes += e.bytes;
        return e.id;
    }
    void Recycle(int id) {
        const Entry e = inUse.at(id);
        inUse.erase(id);
        inUseBytes -= e.bytes;
        if (!open) {
            totalBytes -= e.bytes;
            return;
        }
        idle.push_front(e);
        idleBytes += e.bytes;
        while (idleBytes > kTestBudget) {
            idleBytes -= idle.back().bytes;
            totalBytes -= idle.back().bytes;
            idle.pop_back();
        }
    }
    void Pool() {
        for (const Entry& e : idle) totalBytes -= e.bytes;
        idle.clear();
        idleBytes = 0;
    }
};

} // namespace

TEST(ResourceFactory, AgreesWithAModelOverRandomRuns) {
    for (unsigned seed : {1u, 2u, 3u, 42u, 1234u}) {
        const int liveStart = TestBuffer::sLive;
        {
            TestFactory factory;
            ModelCache model;
            std::mt19937 random(seed);
            std::map<int, TestBuffer*> held;
            for (int step = 0; step < 3000; ++step) {
                const unsigned op = random() % 100;
                if (op < 50 || held.empty()) {
                    const int sizes[] = {1, 50, 100, 150, 300, 499, 500, 700, 1000, 1200};
                    const int bytes = sizes[random() % 10], tag = int(random() % 3);
                    const int expected = model.Make(bytes, tag, TestBuffer::sNextId);
                    TestBuffer* got = factory.Make({bytes, tag});
                    ASSERT_EQ(got->Id(), expected) << "seed " << seed << " step " << step;
                    held[got->Id()] = got;
                } else if (op < 94) {
                    auto it = std::next(held.begin(), random() % held.size());
                    model.Recycle(it->first);
                    factory.Recycle(it->second);
                    held.erase(it);
                } else if (op < 97) {
                    model.Pool();
                    model.open = false;
                    factory.Finalize();
                } else {
                    model.Pool();
                    factory.FinalizePool();
                }
                // In use, idle, total and peak bytes, idle count, finalized, live buffers.
                const std::array<int, 7> got = {factory.InUseBytes(),         factory.IdleBytes(),
                                                factory.TotalBytes(),         factory.PeakBytes(),
                                                factory.IdleCount(),          factory.IsFinalized(),
                                                TestBuffer::sLive - liveStart};
                const std::array<int, 7> want = {model.inUseBytes,
                                                 model.idleBytes,
                                                 model.totalBytes,
                                                 model.peakBytes,
                                                 int(model.idle.size()),
                                                 !model.open,
                                                 int(held.size() + model.idle.size())};
                ASSERT_EQ(got, want) << "seed " << seed << " step " << step;
            }
            for (auto& h : held) factory.Recycle(h.second);
        }
        // Destroying the cache deletes what it kept.
        EXPECT_EQ(TestBuffer::sLive, liveStart) << "seed " << seed;
    }
}
