// Bad operands handed to every basic operation: nothing crashes, nothing is read or written
// outside the operands' memory, and each call ends the way it is documented to: an operand that
// fails IsValid makes the operation return without touching anything and without an error text.

#include "Operations.h"

#include <sys/mman.h>
#include <unistd.h>

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

// Wide enough to catch a transfer that takes 16-byte pixels for 2-byte ones in an 8 x 6 image.
constexpr size_t kGuard = 1024;
const size_t kPage = size_t(sysconf(_SC_PAGESIZE));

struct Described {
    int32_t code, bitDepth, white;
};
const int32_t kZ = Fourcc("zzzz"), kRGBA = Fourcc("RGBA");
const Described kRgba8{kRGBA, 32, 255}, kFloat{kRGBA, 128, 1};
// Images that pass IsValid but whose colour-space code is one the library does not know (or
// none, or a colour index), or one that promises wider pixels than the bit depth gives them:
// 16 bytes described as 2 and as 4, 8 bytes as 4, 2 bytes as 1.
const Described kStrange[] = {{kZ, 8, 255},
                              {kZ, 32, 255},
                              {kZ, 64, 65535},
                              {kZ, 128, 1},
                              {0, 32, 255},
                              {-1, 32, 255},
                              {8, 8, 255},
                              {kRGBA, 16, 1},
                              {32, 16, 1},
                              {GL_RGBA32F_ARB, 32, 1},
                              {GL_RGBA16F_ARB, 32, 1},
                              {Fourcc("B565"), 8, 255}};

// Plug-ins describe memory of their own as a float buffer's pixels through a protected form of
// Resize.
struct Wrap : OpaqueBuffer {
    static void Describe(OpaqueBuffer* buffer, int w, int h, void* base, int rowBytes) {
        bool (OpaqueBuffer::*resize)(int, int, void*, int) = &Wrap::Resize;
        (buffer->*resize)(w, h, base, rowBytes);
    }
};

// An operand over memory of its own, tight rows of random pixels: an image of the description or
// a float buffer wrapping the memory. The memory follows guard bytes and ends where a page the
// process may not touch begins: a read or write past its end faults at once, a write before it
// shows in the guard.
struct Guarded {
    Guarded(Kind kind, const Described& d, int w, int h, bool bottomUp, uint32_t seed)
        : image(w, h, d.code, d.bitDepth, d.white, bottomUp,
                TestImage::TightRowBytes(w, d.bitDepth)),
          bytes(size_t(image.GetRowBytes()) * size_t(h)),
          length((kGuard + bytes) / kPage * kPage + 2 * kPage),
          mapping(static_cast<uint8_t*>(
              mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0))) {
        mprotect(mapping + length - kPage, kPage, PROT_NONE);
        std::memset(Inside() - kGuard, 0xA5, kGuard);
        image.SetBaseAddress(Inside());
        image.FillRandomBytes(seed);
        if (kind == Kind::Alpha || kind == Kind::Luma) {
            buffer.reset(kind == Kind::Alpha ? static_cast<OpaqueBuffer*>(new AlphaBuffer)
                                             : new LumaBuffer);
            for (size_t i = 0; i < bytes / 4; ++i) // values, not NaNs
                reinterpret_cast<float*>(Inside())[i] = float((seed + i) % 64) / 64;
            Describe(w, h, Inside(), image.GetRowBytes());
        }
        operand = buffer ? buffer.get() : static_cast<XIImage*>(&image);
        kept.assign(Inside() - kGuard, Inside() + bytes);
    }
    ~Guarded() { buffer.reset(), munmap(mapping, length); }
    uint8_t* Inside() const { return mapping + length - kPage - bytes; }
    bool Same() const { return std::equal(kept.begin(), kept.end(), Inside() - kGuard); }
    bool GuardIntact() const {
        return std::equal(kept.begin(), kept.begin() + kGuard, Inside() - kGuard);
    }
    void Describe(int w, int h, void* base, int r) { Wrap::Describe(buffer.get(), w, h, base, r); }
    // Makes the operand unusable the way-th way and names it; null past the last way.
    const char* Spoil(int way) {
        const int w = image.Width(), h = image.Height(), r = image.GetRowBytes();
        if (way == 0) return operand = nullptr, "null";
        if (buffer && way == 1) return Describe(0, 0, nullptr, 0), "empty";
        if (buffer && way == 2)
            return Describe(1 << 16, 1 << 16, nullptr, 0), "too large to have memory";
        if (buffer && way == 3) return Describe(w, h, Inside(), r - 1), "rows one byte short";
        if (buffer) return nullptr;
        if (way == 1) return image.SetWidth(0), "zero width";
        if (way == 2) return image.SetHeight(0), "zero height";
        if (way == 3) return image.SetWidth(-w), image.SetHeight(-h), "negative size";
        if (way == 4) return image.SetBaseAddress(nullptr), "null base";
        if (way == 5) return image.SetRowBytes(r - 1), "rows one byte short";
        if (way == 6) return image.SetRowBytes(-r), "negative row bytes";
        return nullptr;
    }

    TestImage image;
    size_t bytes, length;
    uint8_t* mapping;
    std::unique_ptr<OpaqueBuffer> buffer;
    XIImage* operand = nullptr;
    std::vector<uint8_t> kept;
};

// One way to hand an operand over: spoilt, strangely described, or of an odd size (every
// operand's rows then running that way); for no operand in particular, every one null.
enum class Way { Spoilt, Strange, Odd };
struct Variant {
    Way way;
    int spoil;
    Described d;
    int w, h;
    bool bottomUp;
};

std::vector<Variant> Variants(Kind kind) {
    std::vector<Variant> v;
    for (int way = 0; kind != Kind::Texture && Guarded(kind, kRgba8, 8, 6, false, 0).Spoil(way);
         ++way)
        v.push_back({Way::Spoilt, way, kRgba8, 8, 6, false});
    if (kind == Kind::None) return {v[0]};
    for (const Described& d : kStrange)
        if (kind == Kind::Image) v.push_back({Way::Strange, 0, d, 8, 6, false});
    const Described& odd = kind == Kind::Alpha || kind == Kind::Luma ? kRgba8 : kFloat;
    for (const auto& size : {std::pair<int, int>{1, 1}, {3, 2}, {13, 9}, {1, 17}, {29, 1}})
        for (bool up : {false, true}) v.push_back({Way::Odd, 0, odd, size.first, size.second, up});
    return v;
}

std::string Named(Guarded& g, const Variant& v) {
    if (v.way == Way::Spoilt) return g.Spoil(v.spoil);
    return std::to_string(v.d.code) + " at " + std::to_string(v.d.bitDepth) + " bits, " +
           std::to_string(v.w) + "x" + std::to_string(v.h) + (v.bottomUp ? " bottom-up" : "");
}

// Starts from a call that succeeded, so that any error text seen afterwards comes from the
// calls under test.
void ResetErrorText() {
    TestImage a = MakeImage(HostLayouts().front(), 1, 1),
              b = MakeImage(HostLayouts().front(), 1, 1);
    Premultiply(&a, &b);
    ASSERT_STREQ(Shared::ErrorMessage(), "Unknown error.");
}

} // namespace

// Each operand of each operation handed over badly, the others valid (8 x 6 8-bit RGBA; the
// destination 5 x 7 beside an odd operand); first every operand null. Spoilt, the call returns
// without a write, except where the image under a mask's colour is spoilt: the colour is laid
// over nothing, in the destination's memory only. Strangely described or of an odd size,
// nothing outside the memory is touched, and an odd size still leaves something written.
TEST(HarnessBadInput, EveryOperandHandedOverBadly) {
    ResetErrorText();
    for (const Operation& op : Operations())
        for (int slot = -1; slot < 3; ++slot) {
            const Kind* k = op.call.kinds;
            if (slot >= 0 && k[slot] == Kind::None) continue;
            for (const Variant& v : Variants(slot < 0 ? Kind::None : k[slot])) {
                std::unique_ptr<Guarded> g[3];
                for (int s = 0; s < 3; ++s) {
                    const bool odd = v.way == Way::Odd && s == 2;
                    if (k[s] != Kind::None)
                        g[s].reset(s == slot ? new Guarded(k[s], v.d, v.w, v.h, v.bottomUp, 7u + s)
                                             : new Guarded(k[s], kRgba8, odd ? 5 : 8, odd ? 7 : 6,
                                                           v.bottomUp, 7u + s));
                }
                std::unique_ptr<TextureOf> texture(
                    k[0] == Kind::Texture ? new TextureOf(g[0]->operand) : nullptr);
                for (int s = 0; slot < 0 && s < 3; ++s)
                    if (g[s] && k[s] != Kind::Texture) g[s]->Spoil(0);
                SCOPED_TRACE(std::string(op.name) + ", operand " + std::to_string(slot) + ": " +
                             (slot < 0 ? "every one null" : Named(*g[slot], v)));
                const auto at = [&](int s) { return g[s] ? g[s]->operand : nullptr; };
                const Color colour(0.2f, 0.4f, 0.6f, 0.8f);
                op.call.run(at(0), at(1), at(2), colour,
                            texture ? texture->texture.get() : nullptr);
                EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
                EXPECT_TRUE(RunOnWorker([] {})) << "an OpenGL error left behind";
                // A query answers its neutral value for a float buffer it cannot use.
                EXPECT_TRUE(slot < 0 || !g[slot]->buffer ||
                            (v.way != Way::Spoilt) ==
                                (k[slot] == Kind::Alpha
                                     ? HasAlpha(static_cast<AlphaBuffer*>(at(slot)))
                                     : HasAlpha(static_cast<LumaBuffer*>(at(slot)))));
                EXPECT_TRUE((!g[0] || g[0]->Same()) && (!g[1] || g[1]->Same())) << "input written";
                EXPECT_TRUE(g[2]->GuardIntact()) << "written before the destination";
                const bool kept = v.way == Way::Spoilt && !(slot == 1 && op.Has(kOptional));
                EXPECT_TRUE(v.way == Way::Strange || (!kept && op.Has(kMayKeep)) ||
                            g[2]->Same() == kept)
                    << (kept ? "destination written" : "nothing written");
            }
        }
}

// What the sweep leaves out: the float RGBA buffers' queries answer their neutral value for
// buffers they cannot use, without walking them.
TEST(HarnessBadInput, RgbaQueriesOnUnusableBuffers) {
    using RGBABuffer = Buffer<RGBAPixelType<float>>;
    std::vector<float> memory(4 * 3 * 4, 0.5f); // every pixel has alpha and luma
    RGBABuffer empty, shortRows;
    Wrap::Describe(&shortRows, 4, 3, memory.data(), 4 * 16 - 1);
    for (RGBABuffer* b : {static_cast<RGBABuffer*>(nullptr), &empty, &shortRows})
        EXPECT_TRUE(!HasAlpha(b) && !HasLuma(b) && MaxLuma(b) == 0.0f);
}
