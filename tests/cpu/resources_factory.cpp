// The budgeted caches: which idle buffer serves a request, what the budget keeps, and the
// finalized state. A cache of test buffers is checked against a small model of the rules.

#include "gl/texture/MemoryBuffer.h"
#include "gl/texture/RenderKey.h"
#include "gl/texture/ResourceFactory.h"
#include "gl/texture/TextureKey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <random>
#include <stdexcept>

using namespace OGL_TESK_AE;

namespace {

// A request for a buffer of some kind (tag) and at least some size; bytes < 0 fails to create.
struct TestKey {
    int bytes;
    int tag;
    bool IsAcceptable(const TestKey& candidate) const {
        return tag == candidate.tag && candidate.bytes >= bytes;
    }
};

class TestBuffer : public Resource {
public:
    explicit TestBuffer(const TestKey& key) : fKey(key), fId(sNextId) {
        if (key.bytes < 0) throw std::runtime_error("cannot create");
        ++sNextId;
        ++sLive;
    }
    ~TestBuffer() override { --sLive; }
    void Finalize() override {}
    void Dump() const override {}
    int Size() const { return fKey.bytes; }
    const TestKey& GetKey() const { return fKey; }
    int Id() const { return fId; }

    static int sNextId;
    static int sLive;

private:
    TestKey fKey;
    int fId;
};
int TestBuffer::sNextId = 0;
int TestBuffer::sLive = 0;

constexpr int kTestBudget = 1000;
using TestFactory = ResourceFactory<TestKey, TestBuffer, kTestBudget>;

constexpr int kMiB = 1048576;

} // namespace

TEST(ResourceKeys, Acceptance) {
    // Memory blocks: anything at least as large.
    EXPECT_TRUE(MemoryKey(100).IsAcceptable(MemoryKey(100)));
    EXPECT_TRUE(MemoryKey(100).IsAcceptable(MemoryKey(5000)));
    EXPECT_FALSE(MemoryKey(100).IsAcceptable(MemoryKey(99)));

    const TextureKey defaults;
    EXPECT_EQ(defaults.Target(), static_cast<GLenum>(GL_TEXTURE_RECTANGLE_ARB));
    EXPECT_TRUE(defaults.Width() == 0 && defaults.Height() == 0 && defaults.Size() == 0);
    EXPECT_EQ(defaults.InternalFormat(), static_cast<GLenum>(GL_RGBA32F_ARB));
    EXPECT_FALSE(defaults.IsExact());

    // Textures: the same target and format; the same size when exact, else at least as large.
    // The size the buffer filled in does not matter.
    const GLenum rect = GL_TEXTURE_RECTANGLE_ARB, f32 = GL_RGBA32F_ARB;
    TextureKey idle(rect, 2048, 1080, f32, false);
    idle.SetSize(12345);
    struct TextureCase {
        TextureKey request;
        bool accepted;
    };
    // clang-format off
    const TextureCase textures[] = {
        {TextureKey(rect, 640, 480, f32, false), true}, {TextureKey(rect, 2048, 1080, f32, false), true},
        {TextureKey(rect, 2049, 480, f32, false), false}, {TextureKey(rect, 640, 1081, f32, false), false},
        {TextureKey(rect, 640, 480, f32, true), false}, {TextureKey(rect, 2048, 1080, f32, true), true},
        {TextureKey(rect, 2048, 1000, f32, true), false},
        {TextureKey(rect, 640, 480, GL_RGBA16F_ARB, false), false},
        {TextureKey(GL_TEXTURE_2D, 640, 480, f32, false), false}};
    // clang-format on
    for (const TextureCase& t : textures)
        EXPECT_EQ(t.request.IsAcceptable(idle), t.accepted)
            << t.request.Width() << "x" << t.request.Height() << " exact " << t.request.IsExact()
            << std::hex << " format " << t.request.InternalFormat() << " target "
            << t.request.Target();
    TextureKey grown(rect, 640, 1200, f32, false);
    grown.SetMinimumSize(2048, 1080);
    EXPECT_TRUE(grown.Width() == 2048 && grown.Height() == 1200);

    // Render buffers: all four of width, height, format and type.
    const RenderKey render(640, 480, GL_RGBA, GL_FLOAT);
    EXPECT_EQ(render.InternalFormat(), 0u);
    EXPECT_EQ(render.Size(), 0);
    EXPECT_TRUE(render.IsAcceptable(RenderKey(640, 480, GL_RGBA, GL_FLOAT)));
    EXPECT_FALSE(render.IsAcceptable(RenderKey(641, 480, GL_RGBA, GL_FLOAT)));
    EXPECT_FALSE(render.IsAcceptable(RenderKey(640, 481, GL_RGBA, GL_FLOAT)));
    EXPECT_FALSE(render.IsAcceptable(RenderKey(640, 480, GL_BGRA, GL_FLOAT)));
    EXPECT_FALSE(render.IsAcceptable(RenderKey(640, 480, GL_RGBA, GL_UNSIGNED_BYTE)));
    RenderKey filled(640, 480, GL_RGBA, GL_FLOAT);
    filled.SetInternalFormat(GL_RGBA32F_ARB);
    filled.SetSize(4915200);
    EXPECT_TRUE(render.IsAcceptable(filled));
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
// making, recycle null, fail to create.
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
    EXPECT_EQ(factory.InUseBytes(), 0);
    EXPECT_EQ(factory.TotalBytes(), 100);
    EXPECT_EQ(factory.PeakBytes(), 100);
    EXPECT_EQ(factory.IdleBytes(), 100);
    EXPECT_EQ(factory.Make({100, 0}), a);
    factory.Recycle(a);
}

TEST(ResourceFactory, MemoryBlocksAndBudgets) {
    ResourceFactory<MemoryKey, MemoryBuffer, 4 * kMiB> blocks;
    MemoryBuffer* block = blocks.Make(MemoryKey(kMiB));
    ASSERT_NE(block->Data(), nullptr);
    EXPECT_EQ(block->Size(), kMiB);
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

// The rules, stated once more as plainly as possible, against the cache over random runs.
namespace {

class ModelCache {
public:
    struct Entry {
        int id, bytes, tag;
    };

    // The id Make should hand out: the most recently released acceptable idle buffer, else a
    // new one with the id next.
    int Make(int bytes, int tag, int next) {
        open = true;
        for (size_t i = 0; i < idle.size(); ++i) {
            if (idle[i].tag == tag && idle[i].bytes >= bytes) {
                const Entry e = idle[i];
                idle.erase(idle.begin() + i);
                idleBytes -= e.bytes;
                inUse[e.id] = e;
                inUseBytes += e.bytes;
                return e.id;
            }
        }
        inUse[next] = {next, bytes, tag};
        inUseBytes += bytes;
        totalBytes += bytes;
        peakBytes = std::max(peakBytes, totalBytes);
        return next;
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
    void Finalize() {
        Pool();
        open = false;
    }

    std::deque<Entry> idle;
    std::map<int, Entry> inUse;
    int inUseBytes = 0, idleBytes = 0, totalBytes = 0, peakBytes = 0;
    bool open = true;
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
                    const int bytes = sizes[random() % 10];
                    const int tag = int(random() % 3);
                    const int expected = model.Make(bytes, tag, TestBuffer::sNextId);
                    TestBuffer* got = factory.Make({bytes, tag});
                    ASSERT_EQ(got->Id(), expected) << "seed " << seed << " step " << step;
                    held[got->Id()] = got;
                } else if (op < 94) {
                    auto it = held.begin();
                    std::advance(it, random() % held.size());
                    model.Recycle(it->first);
                    factory.Recycle(it->second);
                    held.erase(it);
                } else if (op < 97) {
                    model.Finalize();
                    factory.Finalize();
                } else {
                    model.Pool();
                    factory.FinalizePool();
                }
                ASSERT_EQ(factory.InUseBytes(), model.inUseBytes) << "seed " << seed << " " << step;
                ASSERT_EQ(factory.IdleBytes(), model.idleBytes) << "seed " << seed << " " << step;
                ASSERT_EQ(factory.TotalBytes(), model.totalBytes) << "seed " << seed << " " << step;
                ASSERT_EQ(factory.PeakBytes(), model.peakBytes) << "seed " << seed << " " << step;
                ASSERT_EQ(factory.IdleCount(), int(model.idle.size())) << "seed " << seed;
                ASSERT_EQ(factory.IsFinalized(), !model.open) << "seed " << seed << " " << step;
                ASSERT_EQ(TestBuffer::sLive - liveStart, int(held.size() + model.idle.size()));
            }
            for (auto& h : held) factory.Recycle(h.second);
        }
        // Destroying the cache deletes what it kept.
        EXPECT_EQ(TestBuffer::sLive, liveStart) << "seed " << seed;
    }
}
