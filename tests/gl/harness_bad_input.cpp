// Bad operands handed to every basic operation: nothing crashes, nothing is read or written
// outside the operands' memory, and each call ends the way it is documented to: an operand that
// fails IsValid makes the operation return without touching anything and without an error text.

#include "Operations.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <new>
#include <stdexcept>

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

// Wide enough to catch a transfer that takes 16-byte pixels for 2-byte ones in an 8 x 6 image.
constexpr size_t kGuardBytes = 1024;

struct Described {
    const char* name;
    int32_t code, bitDepth, white;
};
const Described kRgba8{"rgba8", Fourcc("RGBA"), 32, 255}, kFloat{"float", Fourcc("RGBA"), 128, 1};

// Images that pass IsValid but whose colour-space code is one the library does not know, or one
// that promises wider pixels than the bit depth gives them.
const Described kStrange[] = {
    {"unknown code, 8 bits", Fourcc("zzzz"), 8, 255},
    {"unknown code, 32 bits", Fourcc("zzzz"), 32, 255},
    {"unknown code, 64 bits", Fourcc("zzzz"), 64, 65535},
    {"unknown code, 128 bits", Fourcc("zzzz"), 128, 1},
    {"code 0", 0, 32, 255},
    {"code -1", -1, 32, 255},
    {"colour index", 8, 8, 255},
    {"RGBA code, 16 bits", Fourcc("RGBA"), 16, 1},
    // Pixels of 16 bytes described as 2 and as 4, and of 8 bytes described as 4.
    {"ARGB code 32 at 16 bits", 32, 16, 1},
    {"float RGBA format at 32 bits", GL_RGBA32F_ARB, 32, 1},
    {"half RGBA format at 32 bits", GL_RGBA16F_ARB, 32, 1},
    {"16-bit RGB code at 8 bits", Fourcc("B565"), 8, 255},
};

template <class B> struct Wrapped : B {
    void Describe(int w, int h, void* base, int rowBytes) {
        OpaqueBuffer::Resize(w, h, base, rowBytes);
    }
};

// An operand over memory of its own, tight rows of random pixels: an image of the description or
// a float buffer wrapping the memory. The memory follows guard bytes and ends where a page the
// process may not touch begins: a read or write past its end faults at once, a write before it
// shows in the guard. Spoil(way) makes the operand unusable the way-th way and names it; null
// past the last way.
class Guarded {
public:
    Guarded(Kind kind, const Described& d, int w, int h, bool bottomUp, uint32_t seed)
        : fBuffer(kind == Kind::Alpha || kind == Kind::Luma),
          fImage(w, h, d.code, fBuffer ? 32 : d.bitDepth, d.white, bottomUp,
                 TestImage::TightRowBytes(w, fBuffer ? 32 : d.bitDepth)),
          fBytes(size_t(fImage.GetRowBytes()) * size_t(h)), fPage(size_t(sysconf(_SC_PAGESIZE))),
          fLength((kGuardBytes + fBytes + fPage - 1) / fPage * fPage + fPage) {
        void* m =
            mmap(nullptr, fLength, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m == MAP_FAILED) throw std::bad_alloc();
        fMapping = static_cast<uint8_t*>(m);
        mprotect(fMapping + fLength - fPage, fPage, PROT_NONE);
        std::memset(Inside() - kGuardBytes, 0xA5, kGuardBytes);
        fImage.SetBaseAddress(Inside());
        fImage.FillRandomBytes(seed);
        for (size_t i = 0; fBuffer && i < fBytes / 4; ++i) // values, not NaNs
            reinterpret_cast<float*>(Inside())[i] = float((seed + i) % 64) / 64;
        if (kind == Kind::Alpha) fAlpha.reset(new Wrapped<AlphaBuffer>);
        if (kind == Kind::Luma) fLuma.reset(new Wrapped<LumaBuffer>);
        Describe(w, h, Inside(), fImage.GetRowBytes());
        operand = fAlpha ? fAlpha.get() : fLuma ? fLuma.get() : static_cast<XIImage*>(&fImage);
        fKept.assign(Inside() - kGuardBytes, Inside() + fBytes);
    }
    ~Guarded() {
        fAlpha.reset(), fLuma.reset();
        munmap(fMapping, fLength);
    }
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;

    uint8_t* Inside() const { return fMapping + fLength - fPage - fBytes; }
    bool Same() const { return std::equal(fKept.begin(), fKept.end(), Inside() - kGuardBytes); }
    bool GuardIntact() const {
        return std::equal(fKept.begin(), fKept.begin() + kGuardBytes, Inside() - kGuardBytes);
    }
    void Describe(int w, int h, void* base, int rowBytes) {
        if (fAlpha) fAlpha->Describe(w, h, base, rowBytes);
        if (fLuma) fLuma->Describe(w, h, base, rowBytes);
    }
    const char* Spoil(int way) {
        const int w = fImage.Width(), h = fImage.Height(), rowBytes = fImage.GetRowBytes();
        if (way == 0) return operand = nullptr, "null";
        if (fBuffer) {
            switch (way) {
            case 1:
                return Describe(0, 0, nullptr, 0), "empty";
            case 2:
                Describe(1 << 16, 1 << 16, nullptr, 0);
                if (operand->GetBaseAddress()) throw std::runtime_error("16 GiB buffer allocated");
                return "too large to have memory";
            case 3:
                return Describe(w, h, Inside(), rowBytes - 1), "rows one byte short";
            }
            return nullptr;
        }
        switch (way) {
        case 1:
            return fImage.SetWidth(0), "zero width";
        case 2:
            return fImage.SetHeight(0), "zero height";
        case 3:
            return fImage.SetWidth(-w), fImage.SetHeight(-h), "negative size";
        case 4:
            return fImage.SetBaseAddress(nullptr), "null base";
        case 5:
            return fImage.SetRowBytes(rowBytes - 1), "rows one byte short";
        case 6:
            return fImage.SetRowBytes(-rowBytes), "negative row bytes";
        }
        return nullptr;
    }

    XIImage* operand = nullptr;

private:
    bool fBuffer;
    TestImage fImage;
    size_t fBytes, fPage, fLength;
    uint8_t* fMapping = nullptr;
    std::vector<uint8_t> fKept;
    std::unique_ptr<Wrapped<AlphaBuffer>> fAlpha;
    std::unique_ptr<Wrapped<LumaBuffer>> fLuma;
};

// One way to hand an operand over: spoilt, strangely described, or of an odd size (every
// operand's rows then running that way).
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
    for (const Described& d : kStrange)
        if (kind == Kind::Image) v.push_back({Way::Strange, 0, d, 8, 6, false});
    for (const auto& size : {std::pair<int, int>{1, 1}, {3, 2}, {13, 9}, {1, 17}, {29, 1}})
        for (bool bottomUp : {false, true})
            v.push_back({Way::Odd, 0, kFloat, size.first, size.second, bottomUp});
    return v;
}

// The row's operands, 8 x 6 8-bit RGBA (the destination 5 x 7 beside an odd operand) but for the
// one in slot, handed over the variant's way; and the texture CopyTexture takes.
struct Handed {
    Handed(const Operation& op, int slot, const Variant& v) : op(op) {
        for (int s = 0; s < 3; ++s) {
            const bool odd = v.way == Way::Odd && s == 2;
            if (op.kinds[s] != Kind::None)
                g[s].reset(s == slot ? new Guarded(op.kinds[s], v.d, v.w, v.h, v.bottomUp, 7u + s)
                                     : new Guarded(op.kinds[s], kRgba8, odd ? 5 : 8, odd ? 7 : 6,
                                                   v.bottomUp, 7u + s));
        }
        if (op.kinds[0] == Kind::Texture) texture.reset(new TextureOf(g[0]->operand));
        if (v.way == Way::Spoilt && slot >= 0) name = g[slot]->Spoil(v.spoil);
        if (v.way == Way::Strange) name = v.d.name;
        if (v.way == Way::Odd)
            name = std::to_string(v.w) + "x" + std::to_string(v.h) + (v.bottomUp ? " up" : "");
    }
    XIImage* Get(int s) { return g[s] ? g[s]->operand : nullptr; }
    void Run() {
        op.call(Operands{{Get(0), Get(1)},
                         Get(2),
                         Color(0.2f, 0.4f, 0.6f, 0.8f),
                         texture ? texture->texture.get() : nullptr});
    }
    const Operation& op;
    std::unique_ptr<Guarded> g[3];
    std::unique_ptr<TextureOf> texture;
    std::string name;
};

// Starts from a call that succeeded, so that any error text seen afterwards comes from the
// calls under test.
void ResetErrorText() {
    TestImage a = MakeImage(HostLayouts().front(), 1, 1),
              b = MakeImage(HostLayouts().front(), 1, 1);
    Premultiply(&a, &b);
    ASSERT_STREQ(Shared::ErrorMessage(), "Unknown error.");
}

} // namespace

// Each operand of each operation handed over badly, the others valid. Spoilt, the call returns
// without a write, except where the image under a mask's colour is spoilt: the colour is laid
// over nothing, in the destination's memory only. Strangely described or of an odd size,
// nothing outside the memory is touched, and an odd size still leaves something written.
TEST(HarnessBadInput, EveryOperandHandedOverBadly) {
    ResetErrorText();
    for (const Operation& op : Operations()) {
        SCOPED_TRACE(op.name);
        {
            Handed none(op, -1, Variant{Way::Spoilt, 0, kRgba8, 8, 6, false});
            for (int s = 0; s < 3; ++s)
                if (none.g[s] && op.kinds[s] != Kind::Texture) none.g[s]->Spoil(0);
            none.Run();
            EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.") << "every operand null";
        }
        for (int slot = 0; slot < 3; ++slot) {
            if (op.kinds[slot] == Kind::None) continue;
            for (const Variant& v : Variants(op.kinds[slot])) {
                Handed c(op, slot, v);
                SCOPED_TRACE("operand " + std::to_string(slot) + ": " + c.name);
                c.Run();
                EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
                const bool optional = slot == 1 && op.Has(kOptional);
                for (int s = 0; s < 2; ++s)
                    EXPECT_TRUE(!c.g[s] || c.g[s]->Same()) << "input written";
                const Guarded& d = *c.g[2];
                EXPECT_TRUE(d.GuardIntact()) << "written before the destination";
                if (v.way == Way::Spoilt && !optional) {
                    EXPECT_TRUE(d.Same()) << "destination written";
                } else if (v.way != Way::Strange && !op.Has(kMayKeep)) {
                    EXPECT_FALSE(d.Same()) << "nothing written";
                }
            }
        }
    }
}

// The queries answer their neutral value for buffers they cannot use, without walking them
// (every value 0.5 has alpha and luma).
TEST(HarnessBadInput, QueriesOnUnusableBuffers) {
    using RGBABuffer = Buffer<RGBAPixelType<float>>;
    std::vector<float> memory(4 * 3 * 4, 0.5f);
    Wrapped<RGBABuffer> rgba, emptyRgba;
    Wrapped<LumaBuffer> luma, emptyLuma, unallocated;
    Wrapped<AlphaBuffer> alpha, emptyAlpha;
    rgba.Describe(4, 3, memory.data(), 4 * 16 - 1); // rows one byte shorter than their pixels
    luma.Describe(4, 3, memory.data(), 4 * 4 - 1);
    alpha.Describe(4, 3, memory.data(), 4 * 4 - 1);
    ASSERT_TRUE(unallocated.Resize(1 << 16, 1 << 16) && !unallocated.GetBaseAddress());
    for (const RGBABuffer* b : std::vector<const RGBABuffer*>{nullptr, &emptyRgba, &rgba})
        EXPECT_TRUE(!HasAlpha(b) && !HasLuma(b) && MaxLuma(b) == 0.0f);
    for (const LumaBuffer* b :
         std::vector<const LumaBuffer*>{nullptr, &emptyLuma, &unallocated, &luma})
        EXPECT_FALSE(HasAlpha(b));
    for (const AlphaBuffer* b : std::vector<const AlphaBuffer*>{nullptr, &emptyAlpha, &alpha})
        EXPECT_FALSE(HasAlpha(b));
}

// WriteTexture draws into whatever target is current: regions that miss the image or are empty,
// and textures over unusable or strange images, draw nothing harmful and throw nothing.
TEST(HarnessBadInput, WriteTextureOverBadImagesAndRegions) {
    ResetErrorText();
    const Region regions[] = {Region(), Region(0, 0, 0, 5), Region(-4, -3, 6, 5),
                              Region(5, 4, 9, 9), Region(0, 0, 40, 30)};
    for (const Variant& v : Variants(Kind::Image)) {
        if (v.way == Way::Spoilt && v.spoil == 0) continue; // a texture needs an image
        Handed image(OperationNamed("Clear"), 2, v);        // its one operand, an image
        EXPECT_TRUE(RunOnWorker([&] {
            SubImageTexture texture(image.Get(2));
            for (const Region& r : regions) WriteTexture(texture, r);
            texture.Finalize();
        })) << image.name;
        EXPECT_TRUE(image.g[2]->Same()) << image.name;
    }
    EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
}
