// The budgeted caches: which idle buffer serves a request, what the budget keeps, and the
// finalized state. A cache of test buffers is checked against a small model of the rules.

#include "gl/texture/MemoryBuffer.h"
#include "gl/texture/RenderKey.h"
#include "gl/texture/ResourceFactory.h"
#include "gl/texture/TextureFormat.h"
#include "gl/texture/TextureKey.h"

#include "common/OpaqueBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

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

// A texture stand-in sized like a texture of its key, for the texture cache's rules.
class TestTexture : public Resource {
public:
    explicit TestTexture(const TextureKey& key) : fKey(key) {
        fKey.SetSize(CalculateTextureSize(key.Width(), key.Height(), key.InternalFormat()));
    }
    void Finalize() override {}
    void Dump() const override {}
    int Size() const { return fKey.Size(); }
    const TextureKey& GetKey() const { return fKey; }

private:
    TextureKey fKey;
};

// Shared textures are never smaller than one HD tile, as the texture buffers will ask.
TextureKey Widened(TextureKey key) {
    if (!key.IsExact()) key.SetMinimumSize(2048, 1080);
    return key;
}

constexpr int kMiB = 1048576;

} // namespace

TEST(ResourceKeys, Acceptance) {
    // Memory blocks: anything at least as large.
    EXPECT_TRUE(MemoryKey(100).IsAcceptable(MemoryKey(100)));
    EXPECT_TRUE(MemoryKey(100).IsAcceptable(MemoryKey(5000)));
    EXPECT_FALSE(MemoryKey(100).IsAcceptable(MemoryKey(99)));

    const TextureKey defaults;
    EXPECT_EQ(defaults.Target(), static_cast<GLenum>(GL_TEXTURE_RECTANGLE_ARB));
    EXPECT_EQ(defaults.Width(), 0);
    EXPECT_EQ(defaults.Height(), 0);
    EXPECT_EQ(defaults.InternalFormat(), static_cast<GLenum>(GL_RGBA32F_ARB));
    EXPECT_EQ(defaults.Size(), 0);
    EXPECT_FALSE(defaults.IsExact());

    const GLenum rect = GL_TEXTURE_RECTANGLE_ARB;
    const TextureKey idle(rect, 2048, 1080, GL_RGBA32F_ARB, false);
    struct TextureCase {
        TextureKey request;
        bool accepted;
    };
    const TextureCase textures[] = {
        {TextureKey(rect, 640, 480, GL_RGBA32F_ARB, false), true},
        {TextureKey(rect, 2048, 1080, GL_RGBA32F_ARB, false), true},
        {TextureKey(rect, 2049, 480, GL_RGBA32F_ARB, false), false},
        {TextureKey(rect, 640, 1081, GL_RGBA32F_ARB, false), false},
        {TextureKey(rect, 640, 480, GL_RGBA32F_ARB, true), false},
        {TextureKey(rect, 2048, 1080, GL_RGBA32F_ARB, true), true},
        {TextureKey(rect, 2048, 1000, GL_RGBA32F_ARB, true), false},
        {TextureKey(rect, 640, 480, GL_RGBA16F_ARB, false), false},
        {TextureKey(GL_TEXTURE_2D, 640, 480, GL_RGBA32F_ARB, false), false},
    };
    for (const TextureCase& t : textures)
        EXPECT_EQ(t.request.IsAcceptable(idle), t.accepted)
            << t.request.Width() << "x" << t.request.Height() << " exact " << t.request.IsExact()
            << " format 0x" << std::hex << t.request.InternalFormat() << " target 0x"
            << t.request.Target();
    // The size the buffer filled in does not matter.
    TextureKey sized = idle;
    sized.SetSize(12345);
    EXPECT_TRUE(TextureKey(rect, 640, 480, GL_RGBA32F_ARB, false).IsAcceptable(sized));

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

TEST(ResourceFactory, MakeReusesTheNewestAcceptableIdleBuffer) {
    TestFactory factory;
    TestBuffer* a = factory.Make({100, 0});
    EXPECT_EQ(factory.InUseBytes(), 100);
    EXPECT_EQ(factory.TotalBytes(), 100);
    EXPECT_EQ(factory.PeakBytes(), 100);
    EXPECT_EQ(factory.IdleBytes(), 0);

    TestBuffer* b = factory.Make({200, 0});
    TestBuffer* other = factory.Make({200, 1});
    factory.Recycle(a);
    factory.Recycle(b);
    factory.Recycle(other);
    EXPECT_EQ(factory.InUseBytes(), 0);
    EXPECT_EQ(factory.IdleBytes(), 500);
    EXPECT_EQ(factory.IdleCount(), 3);

    // b was released after a and accepts a 50-byte request too: the newest acceptable wins,
    // and it keeps its own size.
    EXPECT_EQ(factory.Make({50, 0}), b);
    EXPECT_EQ(factory.InUseBytes(), 200);
    EXPECT_EQ(factory.IdleBytes(), 300);
    EXPECT_EQ(factory.Make({50, 0}), a);
    // Nothing idle of tag 0 is large enough: a new one.
    const int live = TestBuffer::sLive;
    TestBuffer* c = factory.Make({150, 0});
    EXPECT_NE(c, other);
    EXPECT_EQ(TestBuffer::sLive, live + 1);
    EXPECT_EQ(factory.TotalBytes(), 650);
    EXPECT_EQ(factory.PeakBytes(), 650);
    EXPECT_EQ(factory.IdleBytes(), 200);

    factory.Recycle(nullptr); // nothing happens
    EXPECT_EQ(factory.InUseBytes(), 450);
    factory.Recycle(a);
    factory.Recycle(b);
    factory.Recycle(c);
}

TEST(ResourceFactory, BudgetEvictsTheLongestIdle) {
    TestFactory factory;
    const int live = TestBuffer::sLive;
    TestBuffer* held[4];
    for (TestBuffer*& h : held) h = factory.Make({300, 0});
    for (TestBuffer* h : held) factory.Recycle(h);
    // 1200 idle bytes would pass 1000: the first released went.
    EXPECT_EQ(factory.IdleBytes(), 900);
    EXPECT_EQ(factory.TotalBytes(), 900);
    EXPECT_EQ(factory.PeakBytes(), 1200);
    EXPECT_EQ(TestBuffer::sLive, live + 3);
    EXPECT_EQ(factory.Make({300, 0}), held[3]);
    EXPECT_EQ(factory.Make({300, 0}), held[2]);
    EXPECT_EQ(factory.Make({300, 0}), held[1]);
    EXPECT_EQ(factory.IdleCount(), 0);

    // Exactly the budget stays; one byte more does not.
    TestBuffer* full = factory.Make({kTestBudget, 5});
    factory.Recycle(full);
    EXPECT_EQ(factory.IdleBytes(), kTestBudget);
    EXPECT_EQ(factory.Make({1, 5}), full);
    TestBuffer* over = factory.Make({kTestBudget + 1, 6});
    const int liveBefore = TestBuffer::sLive;
    factory.Recycle(over);
    EXPECT_EQ(TestBuffer::sLive, liveBefore - 1);
    EXPECT_EQ(factory.IdleBytes(), 0);

    // A large recycled buffer pushes out several small ones.
    for (int i = 1; i <= 3; ++i) factory.Recycle(held[i]);
    TestBuffer* big = factory.Make({800, 7});
    factory.Recycle(big);
    EXPECT_EQ(factory.IdleBytes(), 800);
    EXPECT_EQ(factory.IdleCount(), 1);
    factory.Recycle(full);
}

TEST(ResourceFactory, FinalizedCacheDeletesWhatComesBackUntilTheNextMake) {
    TestFactory factory;
    EXPECT_FALSE(factory.IsFinalized());
    factory.Finalize(); // before any list exists
    EXPECT_TRUE(factory.IsFinalized());

    TestBuffer* a = factory.Make({100, 0});
    EXPECT_FALSE(factory.IsFinalized());
    TestBuffer* b = factory.Make({200, 0});
    TestBuffer* c = factory.Make({300, 0});
    factory.Recycle(c);
    const int live = TestBuffer::sLive;

    factory.Finalize();
    EXPECT_TRUE(factory.IsFinalized());
    EXPECT_EQ(TestBuffer::sLive, live - 1); // the idle one
    EXPECT_EQ(factory.IdleBytes(), 0);
    EXPECT_EQ(factory.TotalBytes(), 300);
    EXPECT_EQ(factory.InUseBytes(), 300);
    EXPECT_EQ(factory.PeakBytes(), 600);

    factory.Recycle(a); // deleted at once
    EXPECT_EQ(TestBuffer::sLive, live - 2);
    EXPECT_EQ(factory.TotalBytes(), 200);
    EXPECT_EQ(factory.InUseBytes(), 200);
    EXPECT_EQ(factory.IdleCount(), 0);

    // A search reopens the cache even when it finds nothing.
    EXPECT_EQ(factory.Search({1, 9}), nullptr);
    EXPECT_FALSE(factory.IsFinalized());
    factory.Recycle(b); // kept again
    EXPECT_EQ(factory.IdleBytes(), 200);
    EXPECT_EQ(factory.TotalBytes(), 200);
    EXPECT_EQ(factory.Make({10, 0}), b);
    factory.Recycle(b);

    // Emptying the pool leaves the state as it was, open or closed.
    factory.FinalizePool();
    EXPECT_FALSE(factory.IsFinalized());
    EXPECT_EQ(factory.IdleBytes(), 0);
    EXPECT_EQ(factory.TotalBytes(), 0);
    factory.Finalize();
    factory.FinalizePool();
    EXPECT_TRUE(factory.IsFinalized());
    EXPECT_EQ(factory.PeakBytes(), 600);
}

TEST(ResourceFactory, FailedCreationChangesNothing) {
    TestFactory factory;
    TestBuffer* a = factory.Make({100, 0});
    factory.Recycle(a);
    EXPECT_THROW(factory.Make({-1, 1}), std::runtime_error);
    EXPECT_EQ(factory.InUseBytes(), 0);
    EXPECT_EQ(factory.TotalBytes(), 100);
    EXPECT_EQ(factory.PeakBytes(), 100);
    EXPECT_EQ(factory.IdleBytes(), 100);
    EXPECT_EQ(factory.Make({100, 0}), a);
    factory.Recycle(a);
}

TEST(ResourceFactory, TextureCacheRules) {
    ResourceFactory<TextureKey, TestTexture, kTextureBudget> textures;
    const GLenum rect = GL_TEXTURE_RECTANGLE_ARB;

    // Two shared requests, the first released before the second: one 2048 x 1080 texture.
    TestTexture* first = textures.Make(Widened(TextureKey(rect, 640, 480, GL_RGBA32F_ARB, false)));
    EXPECT_EQ(first->GetKey().Width(), 2048);
    EXPECT_EQ(first->GetKey().Height(), 1080);
    EXPECT_EQ(textures.TotalBytes(), 35389440);
    textures.Recycle(first);
    EXPECT_EQ(textures.Make(Widened(TextureKey(rect, 1920, 1080, GL_RGBA32F_ARB, false))), first);
    textures.Recycle(first);

    // An exact request is not served by the larger idle texture.
    TestTexture* exact = textures.Make(Widened(TextureKey(rect, 640, 480, GL_RGBA32F_ARB, true)));
    EXPECT_NE(exact, first);
    EXPECT_EQ(exact->GetKey().Width(), 640);
    EXPECT_EQ(textures.IdleCount(), 1);
    textures.Recycle(exact);

    // 300 MiB cannot stay idle under a 256 MiB budget: eviction starts with the textures idle
    // longest and ends with the huge one itself.
    TestTexture* huge = textures.Make(TextureKey(rect, 4096, 4800, GL_RGBA32F_ARB, true));
    EXPECT_EQ(huge->Size(), 300 * kMiB);
    EXPECT_EQ(textures.IdleBytes(), 35389440 + 640 * 480 * 16);
    textures.Recycle(huge);
    EXPECT_EQ(textures.IdleBytes(), 0);
    EXPECT_EQ(textures.IdleCount(), 0);
    EXPECT_EQ(textures.TotalBytes(), 0);
    EXPECT_EQ(textures.InUseBytes(), 0);
    EXPECT_EQ(textures.PeakBytes(), 35389440 + 640 * 480 * 16 + 300 * kMiB);
}

TEST(ResourceFactory, MemoryBlocks) {
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

    EXPECT_EQ(MemoryBuffer::Factory().BudgetBytes(), 134217728);
}

// Many cycles of mixed sizes through the library's own memory cache, as CPU images use it.
TEST(ResourceFactory, MemoryCacheStaysWithinBudgetOverManyCycles) {
    MemoryFactory& cache = MemoryBuffer::Factory();
    OpaqueBuffer::FinalizePool();
    const int inUseStart = cache.InUseBytes();
    std::mt19937 random(20240611);
    // Rows of 4096 bytes (1024 RGBA8 pixels): heights give blocks of 1 to 40 MiB.
    const int heights[] = {1, 200, 256, 257, 1000, 1024, 1025, 3000, 5000, 10240};
    std::vector<std::unique_ptr<OpaqueBuffer>> held;
    int peak = cache.PeakBytes();
    for (int cycle = 0; cycle < 1000; ++cycle) {
        if (held.size() < 6 && (held.empty() || random() % 2)) {
            held.emplace_back(new OpaqueBuffer);
            const int height = heights[random() % (sizeof heights / sizeof heights[0])];
            ASSERT_TRUE(held.back()->Resize(1024, height, GL_RGBA8));
            ASSERT_NE(held.back()->GetBaseAddress(), nullptr);
        } else {
            held.erase(held.begin() + random() % held.size());
        }
        ASSERT_LE(cache.TotalBytes(), cache.InUseBytes() + MemoryFactory::BudgetBytes());
        ASSERT_LE(cache.IdleBytes(), MemoryFactory::BudgetBytes());
        ASSERT_GE(cache.PeakBytes(), peak);
        ASSERT_GE(cache.PeakBytes(), cache.TotalBytes());
        ASSERT_EQ(cache.TotalBytes(), cache.InUseBytes() + cache.IdleBytes());
        peak = cache.PeakBytes();
    }
    held.clear();
    EXPECT_EQ(cache.InUseBytes(), inUseStart);
    OpaqueBuffer::FinalizePool();
    EXPECT_EQ(cache.IdleBytes(), 0);
    EXPECT_EQ(cache.TotalBytes(), inUseStart);
}

TEST(ResourceFactory, TestCacheStaysWithinBudgetAndLeaksNothing) {
    const int liveStart = TestBuffer::sLive;
    {
        TestFactory factory;
        std::mt19937 random(7);
        std::vector<TestBuffer*> held;
        int peak = 0;
        for (int cycle = 0; cycle < 1000; ++cycle) {
            if (held.size() < 8 && (held.empty() || random() % 2)) {
                const int sizes[] = {10, 90, 250, 400, 999, 1000, 1001, 1500};
                held.push_back(factory.Make({sizes[random() % 8], int(random() % 2)}));
            } else {
                const size_t i = random() % held.size();
                factory.Recycle(held[i]);
                held.erase(held.begin() + i);
            }
            int inUse = 0;
            for (TestBuffer* b : held) inUse += b->Size();
            ASSERT_EQ(factory.InUseBytes(), inUse);
            ASSERT_LE(factory.TotalBytes(), inUse + kTestBudget);
            ASSERT_LE(factory.IdleBytes(), kTestBudget);
            ASSERT_GE(factory.PeakBytes(), peak);
            ASSERT_EQ(TestBuffer::sLive - liveStart, int(held.size()) + factory.IdleCount());
            peak = factory.PeakBytes();
        }
        for (TestBuffer* b : held) factory.Recycle(b);
        EXPECT_EQ(factory.InUseBytes(), 0);
        EXPECT_EQ(factory.TotalBytes(), factory.IdleBytes());
    }
    // Destroying the cache deletes what it kept.
    EXPECT_EQ(TestBuffer::sLive, liveStart);
}

// The rules, stated once more as plainly as possible, against the cache over random runs.
namespace {

class ModelCache {
public:
    struct Entry {
        int id, bytes, tag;
    };

    // The id Make should hand out; next is the id a new buffer would get.
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
}
