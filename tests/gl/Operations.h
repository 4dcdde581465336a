#pragma once

// The basic operations, each once: what it reads and writes, how to call it on given operands,
// and a CPU reference for what it leaves in its destination. The scenarios (reference pixels
// over the host layouts, bad input, a refused context, many host threads) loop over the rows.

#include "GLTest.h"
#include "HostLayouts.h"
#include "OpsReference.h"

#include "common/Buffer.h"
#include "gl/texture/ImageTextures.h"
#include "ops/BasicOps.h"

#include <algorithm>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace tesk_test {

using AlphaBuffer = OGL_TESK_AE::Buffer<OGL_TESK_AE::AlphaPixelType<float>>;
using LumaBuffer = OGL_TESK_AE::Buffer<OGL_TESK_AE::LumaPixelType<float>>;

// What an operand is. A float buffer reads as a picture with its value in channel 0 (luma) or
// 3 (alpha), the others 0. A texture operand is made on the worker from an image.
enum class Kind { None, Image, Alpha, Luma, Texture };

// One call's operands: the images read (the source; or a mask, then the image under its
// colour), the destination, the colour, and for CopyTexture the texture made from in[0].
struct Operands {
    const XIImage* in[2];
    XIImage* out;
    OGL_TESK_AE::Color colour;
    const OGL_TESK_AE::Texture* texture;
};

enum Flag : unsigned {
    kAnySize = 1,  // the destination may differ in size from the inputs
    kMayKeep = 2,  // a valid call may leave the destination as it was (a fit too small)
    kOptional = 4, // in[1] may be null or invalid: the colour is laid over nothing then
    kAlike = 8,    // the destination is made like in[0] in every respect: a byte copy...
    kOnCaller = 16 // ...or other work in memory on the calling thread, never on the worker
};

struct Operation {
    const char* name;
    Kind kinds[3]; // in[0], in[1], out
    unsigned flags;
    float steps, extra; // tolerance: steps of the coarsest layout involved, plus extra
    void (*call)(const Operands&);
    // The reference, from the inputs as they were and the destination before the call: pixel by
    // pixel for the operations that keep pixels in place, else over the whole picture.
    RGBA (*pixel)(const RGBA& a, const RGBA& b, const RGBA& before, const RGBA& colour);
    Picture (*picture)(const Picture& a, const Picture& before);

    bool Has(unsigned flag) const { return (flags & flag) != 0; }
    bool HasReference() const { return pixel || picture; }
    Picture Reference(const Picture& a, const Picture& b, const Picture& before,
                      const RGBA& colour) const {
        if (picture) return picture(a, before);
        Picture p = before;
        for (size_t i = 0; i < p.pixels.size(); ++i)
            p.pixels[i] = pixel(a.pixels.empty() ? RGBA{} : a.pixels[i],
                                b.pixels.empty() ? RGBA{} : b.pixels[i], p.pixels[i], colour);
        return p;
    }
};

// Test works on the calling thread; handed over like the library's own operations, it runs
// wherever it is called.
inline void TestOnWorker(const XIImage* source, XIImage* destination) {
    if (!OGL_TESK_AE::Dispatch(&TestOnWorker, source, destination))
        OGL_TESK_AE::Test(source, destination);
}

inline const std::vector<Operation>& Operations() {
    using namespace OGL_TESK_AE;
    using O = const Operands&;
    using P = const Picture&;
    using X = const RGBA&;
    const Kind I = Kind::Image, N = Kind::None, L = Kind::Luma;
    const float F = kFilterTolerance;
    const auto same = [](X a, X, X, X) { return a; };
    const auto resized = [](P a, P d) { return ResizeReference(a, d.width, d.height); };
    // clang-format off
    static const std::vector<Operation> rows = {
        {"Premultiply", {I, N, I}, 0, 1, 0, [](O o) { Premultiply(o.in[0], o.out); },
         [](X a, X, X, X) { return Premultiplied(a); }, nullptr},
        {"Copy", {I, N, I}, 0, 1, 0, [](O o) { Copy(o.in[0], o.out); }, same, nullptr},
        {"CopyAlike", {I, N, I}, kAlike | kOnCaller, 0, 0, [](O o) { Copy(o.in[0], o.out); },
         same, nullptr},
        {"Center", {I, N, I}, kAnySize, 1, 0, [](O o) { Center(o.in[0], o.out); }, nullptr,
         [](P a, P d) { return CenterReference(a, d.width, d.height); }},
        {"CopyAlpha", {I, N, I}, 0, 1, 0, [](O o) { CopyAlpha(o.in[0], o.out); },
         [](X a, X, X d, X) { return RGBA{d[0], d[1], d[2], a[3]}; }, nullptr},
        {"Resize", {I, N, I}, kAnySize, 1, F, [](O o) { Resize(o.in[0], o.out); }, nullptr,
         resized},
        {"ResizeAlike", {I, N, I}, kAlike | kOnCaller, 0, 0,
         [](O o) { Resize(o.in[0], o.out); }, same, nullptr},
        {"FitInto", {I, N, I}, kAnySize | kMayKeep, 1, F, [](O o) { FitInto(o.in[0], o.out); },
         nullptr, [](P a, P d) { return FitIntoReference(a, d.width, d.height, d); }},
        {"RenderMask", {I, I, I}, kOptional, 2, 0,
         [](O o) { RenderMask(o.in[0], o.in[1], o.out, o.colour); },
         [](X m, X i, X, X c) { return Masked(i, m[3], c, false); }, nullptr},
        {"RenderInvMask", {I, I, I}, kOptional, 2, 0,
         [](O o) { RenderInvMask(o.in[0], o.in[1], o.out, o.colour); },
         [](X m, X i, X, X c) { return Masked(i, m[3], c, true); }, nullptr},
        {"Clear", {N, N, I}, 0, 1, 0, [](O o) { Clear(o.out, o.colour); },
         [](X, X, X, X c) { return c; }, nullptr},
        {"ClearTransparent", {N, N, I}, kOnCaller, 0, 0,
         [](O o) { Clear(o.out, Color::Transparent); }, [](X, X, X, X) { return RGBA{}; }, nullptr},
        {"GetAlpha", {I, N, Kind::Alpha}, 0, 1, 0,
         [](O o) { GetAlpha(o.in[0], static_cast<AlphaBuffer*>(o.out)); },
         [](X a, X, X, X) { return RGBA{0, 0, 0, a[3]}; }, nullptr},
        {"GetLuma", {I, N, L}, 0, 2, 0,
         [](O o) { GetLuma(o.in[0], static_cast<LumaBuffer*>(o.out)); },
         [](X a, X, X, X) { return RGBA{a[3] * Luma(a), 0, 0, 0}; }, nullptr},
        {"Invert", {L, N, L}, kAnySize, 0, 0,
         [](O o) {
             Invert(static_cast<const LumaBuffer*>(o.in[0]), static_cast<LumaBuffer*>(o.out));
         },
         nullptr, [](P a, P d) {
             Picture p = d; // over the area both share
             for (int y = 0; y < std::min(a.height, d.height); ++y)
                 for (int x = 0; x < std::min(a.width, d.width); ++x)
                     p.At(x, y) = RGBA{1.0f - a.At(x, y)[0], 0, 0, 0};
             return p;
         }},
        {"CopyTexture", {Kind::Texture, N, I}, kAnySize, 1, F,
         [](O o) { CopyTexture(*o.texture, o.out); }, nullptr, resized},
        // A tiled copy with whatever state is current: no result to compare.
        {"Test", {I, N, I}, 0, 1, 0, [](O o) { TestOnWorker(o.in[0], o.out); }, nullptr, nullptr},
    };
    // clang-format on
    return rows;
}

inline void PrintTo(const Operation& op, std::ostream* os) {
    *os << op.name;
}
inline void PrintTo(const Layout& layout, std::ostream* os) {
    *os << layout.name;
}

inline const Operation& OperationNamed(const std::string& name) {
    for (const Operation& op : Operations())
        if (name == op.name) return op;
    throw std::invalid_argument("no operation " + name);
}

// A float buffer's value at (x, y), rows from the bottom as a picture's.
inline float& BufferValue(XIImage* buffer, int x, int y) {
    auto* row = static_cast<char*>(buffer->GetBaseAddress()) + int64_t(y) * buffer->GetRowBytes();
    return reinterpret_cast<float*>(row)[x];
}

template <class B> std::unique_ptr<OGL_TESK_AE::OpaqueBuffer> SizedBuffer(int width, int height) {
    std::unique_ptr<B> buffer(new B);
    buffer->Resize(width, height);
    return buffer;
}

// An operand with memory of its own, random pixels: an image of the layout, rows top-down unless
// bottomUp, or a float buffer (made here, or handed in made and sized). held: what it held.
struct Held {
    Held(Kind kind, const Layout& layout, int width, int height, bool bottomUp, uint32_t seed,
         std::unique_ptr<OGL_TESK_AE::OpaqueBuffer> made = nullptr)
        : kind(kind), isBuffer(kind == Kind::Alpha || kind == Kind::Luma),
          layout(isBuffer ? HostLayouts().back() : layout),
          image(MakeImage(layout, width, height, bottomUp)), buffer(std::move(made)) {
        if (!isBuffer) {
            if (kind != Kind::None) held = FillPicture(layout, image, seed);
            return;
        }
        if (!buffer)
            buffer = kind == Kind::Alpha ? SizedBuffer<AlphaBuffer>(width, height)
                                         : SizedBuffer<LumaBuffer>(width, height);
        std::mt19937 random(seed);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                BufferValue(buffer.get(), x, y) = std::uniform_real_distribution<float>()(random);
        held = Read();
    }
    XIImage* Get() {
        return kind == Kind::None ? nullptr
               : isBuffer         ? buffer.get()
                                  : static_cast<XIImage*>(&image);
    }
    // What it holds now.
    Picture Read() {
        if (!isBuffer) return kind == Kind::None ? Picture() : ReadPicture(layout, image);
        Picture p(buffer->GetWidth(), buffer->GetHeight());
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x)
                p.At(x, y)[kind == Kind::Alpha ? 3 : 0] = BufferValue(buffer.get(), x, y);
        return p;
    }

    Kind kind;
    bool isBuffer;
    const Layout& layout;
    TestImage image;
    std::unique_ptr<OGL_TESK_AE::OpaqueBuffer> buffer;
    Picture held;
};

// A texture over an image, made and, at the end of the scope, deleted on the worker.
struct TextureOf {
    explicit TextureOf(const XIImage* image) {
        RunOnWorker([&] { texture.reset(new OGL_TESK_AE::SubImageTexture(image)); });
    }
    ~TextureOf() {
        RunOnWorker([&] { texture.reset(); });
    }
    std::unique_ptr<OGL_TESK_AE::SubImageTexture> texture;
};

// The row's tolerance for these operands: its steps of the coarsest of their layouts.
inline float ToleranceFor(const Operation& op, const Held& a, const Held& b, const Held& d) {
    float base = Tolerance(d.layout);
    for (const Held* h : {&a, &b})
        if (h->kind != Kind::None) base = std::max(base, Tolerance(h->layout));
    return op.steps * base + op.extra;
}

// Runs the row on the operands (a texture made from a where it takes one) and compares the
// destination with the reference.
inline ::testing::AssertionResult RunAndCompare(const Operation& op, Held& a, Held& b, Held& d,
                                                const RGBA& colour) {
    const Picture before = d.Read();
    std::unique_ptr<TextureOf> texture(op.kinds[0] == Kind::Texture ? new TextureOf(a.Get())
                                                                    : nullptr);
    op.call(Operands{{a.Get(), b.Get()},
                     d.Get(),
                     OGL_TESK_AE::Color(&colour[0]),
                     texture ? texture->texture.get() : nullptr});
    return PixelsNear(d.Read().pixels, op.Reference(a.held, b.held, before, colour).pixels,
                      before.width, ToleranceFor(op, a, b, d))
           << " (" << d.layout.name << " " << before.width << "x" << before.height << ")";
}

} // namespace tesk_test
