#pragma once

// The basic operations, one row each: how to call it, and a CPU reference for what it leaves in
// its destination. Every scenario (the host layouts, bad input, a refused context, many host
// threads) loops over these rows, so a new operation is one more row.

#include "GLTest.h"
#include "BlendReference.h"
#include "BlurReference.h"
#include "CompositeReference.h"
#include "HostLayouts.h"
#include "OpsReference.h"

#include "gl/effects/ApplyMode.h"
#include "gl/texture/ImageTextures.h"
#include "ops/BasicOps.h"
#include "ops/Blur.h"
#include "ops/Composite.h"
#include "ops/Transform.h"

#include <memory>
#include <stdexcept>

namespace tesk_test {

using namespace OGL_TESK_AE;
using AlphaBuffer = Buffer<AlphaPixelType<float>>;
using LumaBuffer = Buffer<LumaPixelType<float>>;
using P = const Picture&;
using X = const RGBA&;

// A float buffer reads as a picture with its value in channel 0 (luma) or 3 (alpha), the others
// 0. A texture operand is made on the worker from an image.
enum class Kind { None, Image, Alpha, Luma, Texture };

template <class T> constexpr Kind kKind = Kind::Image;
template <> constexpr Kind kKind<AlphaBuffer> = Kind::Alpha;
template <> constexpr Kind kKind<LumaBuffer> = Kind::Luma;

// An operation's call on its operands (the images read, a mask then the image under the colour;
// the destination; the colour; the texture made from the first image), and what each operand is,
// taken from the operation's signature.
struct Call {
    using In = const XIImage*;
    using Out = XIImage*;
    using Tex = const Texture*;
    static constexpr Kind I = Kind::Image, N = Kind::None;
    template <class A, class B>
    Call(void (*f)(const A*, B*))
        : kinds{kKind<A>, N, kKind<B>}, run([f](In a, In, Out d, Color, Tex) {
              f(static_cast<const A*>(a), static_cast<B*>(d));
          }) {}
    Call(void (*f)(In, In, Out, const Color&))
        : kinds{I, I, I}, run([f](In a, In b, Out d, Color c, Tex) { f(a, b, d, c); }) {}
    Call(void (*f)(Out, const Color&))
        : kinds{N, N, I}, run([f](In, In, Out d, Color c, Tex) { f(d, c); }) {}
    Call(void (*f)(const Texture&, Out))
        : kinds{Kind::Texture, N, I}, run([f](In, In, Out d, Color, Tex t) { f(*t, d); }) {}
    Kind kinds[3]; // in[0], in[1], out
    std::function<void(In, In, Out, Color, Tex)> run;
};

// kAnySize: the destination may differ in size from the inputs. kMayKeep: a valid call may leave
// the destination as it was (a fit too small). kOptional: in[1] may be null or invalid, the
// colour is laid over nothing then. kAlike: the destination is made like in[0] in every respect,
// a byte copy, or (with kOnCaller) other work in memory on the calling thread, never on the
// worker. kFiltered: linear filtering adds kFilterTolerance. kSkips: in[0] is skipped when it
// cannot be used, as if absent. kStateful: the result depends on the state current at the call.
// kOwnTask: called through a task of the test's own on the worker, where a refusal's reason
// stays. kOverBack: the destination may be in[1] itself.
enum Flag {
    kAnySize = 1,
    kMayKeep = 2,
    kOptional = 4,
    kAlike = 8,
    kOnCaller = 16,
    kFiltered = 32,
    kSkips = 64,
    kStateful = 128,
    kOwnTask = 256,
    kOverBack = 512
};

// The reference, from the inputs as they were and the destination before the call: pixel by
// pixel for the operations that keep pixels in place, else over the whole picture.
struct Operation {
    const char* name;
    Call call;
    unsigned flags;
    int steps; // tolerance: steps of the coarsest layout involved
    std::function<RGBA(X a, X b, X before, X colour)> pixel;
    std::function<Picture(P a, P before)> picture;

    bool Has(unsigned flag) const { return (flags & flag) != 0; }
    Picture Expected(P a, P b, P before, X colour) const {
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
    if (!Dispatch(&TestOnWorker, source, destination)) Test(source, destination);
}

// WriteTexture draws into whatever target is current: here regions that miss the image or are
// empty, of a texture over it, and nothing into the destination. Handed over like Test.
inline void WriteRegions(const XIImage* image, XIImage* unused) {
    if (Dispatch(&WriteRegions, image, unused)) return;
    SubImageTexture texture(image);
    for (const Region& r : {Region(), Region(0, 0, 0, 5), Region(-4, -3, 6, 5), Region(5, 4, 9, 9),
                            Region(0, 0, 40, 30)})
        WriteTexture(texture, r);
    texture.Finalize();
}

inline const std::vector<Operation>& Operations() {
    const auto same = +[](X a, X, X, X) { return a; };
    const auto alphaOf = +[](X a, X, X d, X) { return RGBA{d[0], d[1], d[2], a[3]}; };
    const auto over = +[](X m, X i, X, X c) { return Masked(i, m[3], c, false); };
    const auto under = +[](X m, X i, X, X c) { return Masked(i, m[3], c, true); };
    const auto alpha = +[](X a, X, X, X) { return RGBA{0, 0, 0, a[3]}; };
    const auto luma = +[](X a, X, X, X) { return RGBA{a[3] * Luma(a), 0, 0, 0}; };
    const auto inverted = +[](X a, X, X, X) { return RGBA{1 - a[0], 0, 0, 0}; };
    const auto centred = +[](P a, P d) { return CenterReference(a, d.width, d.height); };
    const auto resized = +[](P a, P d) { return ResizeReference(a, d.width, d.height); };
    const auto fitted = +[](P a, P d) { return FitIntoReference(a, d.width, d.height, d); };
    const auto nothing = +[](X, X, X, X) { return RGBA{}; };
    const auto clearTransparent = +[](XIImage* d, const Color&) { Clear(d, Color::Transparent); };
    // One blend mode (over: its colour never passes its alpha, so unpremultiplied values stay
    // within 0...1); the sweep over every mode is in blend_modes.cpp.
    const auto overBack = +[](const XIImage* a, const XIImage* b, XIImage* d, const Color&) {
        ApplyMode::Apply(a, b, nullptr, d, PixelApplyMode::Over, 1.0f);
    };
    const auto blur = +[](const XIImage* a, XIImage* d) { Blur(a, d, 5.0f, 3.0f, 0.85f); };
    const auto blurred = +[](P a, P) {
        return BlurReference(a, GaussianWeights(5, 0.85), GaussianWeights(3, 0.85));
    };
    const auto composite = +[](const XIImage* a, const XIImage* b, XIImage* d, const Color&) {
        Composite(a, b, nullptr, d, 0.7f, BlendOp::Default);
    };
    const auto composited = +[](X a, X b, X, X) {
        const RGBA s{a[0] * 0.7f, a[1] * 0.7f, a[2] * 0.7f, a[3] * 0.7f};
        return Blended({GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA,
                        GL_FUNC_ADD, GL_FUNC_ADD},
                       s, b);
    };
    // Sizes below one pixel: the layer is laid unblurred, over transparent then the background.
    const auto stack = +[](const XIImage* a, const XIImage* b, XIImage* d, const Color&) {
        const XIImage* layers[] = {a, nullptr};
        const p2f sizes[] = {p2f(0.5f, 0.5f), p2f(3, 3)};
        CompositeBlurredImages(layers, b, d, sizes, 2, BlendOp::Composite, false);
    };
    const auto stacked = +[](X a, X b, X, X) {
        const RGBA s{a[0] * a[3], a[1] * a[3], a[2] * a[3], a[3]};
        return RGBA{s[0] + b[0] * (1 - s[3]), s[1] + b[1] * (1 - s[3]), s[2] + b[2] * (1 - s[3]),
                    s[3] + b[3] * (1 - s[3])};
    };
    // Centred at its own size and unturned: the front over the back pixel for pixel.
    const auto placed = +[](const XIImage* a, const XIImage* b, XIImage* d, const Color&) {
        const p3f centre(IsValid(d) ? d->GetWidth() / 2.0f : 0,
                         IsValid(d) ? d->GetHeight() / 2.0f : 0, 0);
        Transform(a, b, nullptr, d, PixelApplyMode::Over, centre, p3f(1, 1, 1), p3f(), XYZ,
                  TransformInterpolationFilterType::Nearest, TransformDecimationFilterType::None);
    };
    // Pre-filtered and sampled between texels: no reference here (their edges' coverage is a
    // matter of rounding); they serve the scenarios that compare calls with one another.
    const auto shrunk = +[](const XIImage* a, const XIImage* b, XIImage* d, const Color&) {
        const p3f centre(IsValid(d) ? d->GetWidth() / 2.0f : 0,
                         IsValid(d) ? d->GetHeight() / 2.0f : 0, 0);
        Transform(a, b, nullptr, d, PixelApplyMode::Over, centre, p3f(0.7f, 0.8f, 1), p3f(0, 0, 15),
                  XYZ, TransformInterpolationFilterType::Texture,
                  TransformDecimationFilterType::Box);
    };
    const auto magnified = +[](const XIImage* a, const XIImage* b, XIImage* d, const Color&) {
        const p3f centre(IsValid(d) ? d->GetWidth() / 2.0f + 0.3f : 0,
                         IsValid(d) ? d->GetHeight() / 2.0f : 0, 0);
        Transform(a, b, nullptr, d, PixelApplyMode::Screen, centre, p3f(1.3f, 1.2f, 1),
                  p3f(0, 0, -10), XYZ, TransformInterpolationFilterType::Lanczos3,
                  TransformDecimationFilterType::None);
    };
    const auto box = +[](const XIImage* a, XIImage* d) { BoxBlur(a, d, 3.0f, 5.0f); };
    const auto boxed = +[](P a, P) {
        return BlurReference(a, {1 / 3.0, 1 / 3.0, 1 / 3.0}, {0.2, 0.2, 0.2, 0.2, 0.2});
    };
    const auto pascal = +[](const XIImage* a, XIImage* d) { PascalBlur(a, d, 5.0f, 3.0f); };
    const auto binomial = +[](P a, P) {
        return BlurReference(a, {1 / 16.0, 4 / 16.0, 6 / 16.0, 4 / 16.0, 1 / 16.0},
                             {0.25, 0.5, 0.25});
    };
    static const std::vector<Operation> rows = {
        {"Premultiply", Premultiply, 0, 1, +[](X a, X, X, X) { return Premultiplied(a); }, {}},
        {"Copy", Copy, 0, 1, same, {}},
        {"CopyAlike", Copy, kAlike | kOnCaller, 0, same, {}},
        {"Center", Center, kAnySize, 1, {}, centred},
        {"CopyAlpha", CopyAlpha, 0, 1, alphaOf, {}},
        {"Resize", Resize, kAnySize | kFiltered, 1, {}, resized},
        {"ResizeAlike", Resize, kAlike | kOnCaller, 0, same, {}},
        {"FitInto", FitInto, kAnySize | kMayKeep | kFiltered, 1, {}, fitted},
        {"RenderMask", RenderMask, kOptional | kOverBack, 2, over, {}},
        {"RenderInvMask", RenderInvMask, kOptional | kOverBack, 2, under, {}},
        {"Clear", Clear, 0, 1, +[](X, X, X, X c) { return c; }, {}},
        {"ClearTransparent", clearTransparent, kOnCaller, 0, nothing, {}},
        {"GetAlpha", GetAlpha, 0, 1, alpha, {}},
        {"GetLuma", GetLuma, 0, 2, luma, {}},
        {"Invert", Invert, 0, 0, inverted, {}},
        {"CopyTexture", CopyTexture, kAnySize | kFiltered, 1, {}, resized},
        {"Test", TestOnWorker, kStateful | kOwnTask, 1, {}, {}},
        {"WriteTexture", WriteRegions, kMayKeep | kOwnTask, 0, +[](X, X, X d, X) { return d; }, {}},
        {"Blend",
         overBack,
         kOptional | kSkips | kOverBack,
         2,
         +[](X a, X b, X, X) { return BlendReference(0, a, b, 1); },
         {}},
        {"Blur", blur, 0, 2, {}, blurred},
        {"BoxBlur", box, 0, 2, {}, boxed},
        {"PascalBlur", pascal, 0, 2, {}, binomial},
        {"Composite", composite, kOptional | kSkips | kOverBack, 2, composited, {}},
        {"CompositeBlurredImages", stack, kOptional | kSkips | kOverBack, 2, stacked, {}},
        {"Transform",
         placed,
         kOptional | kSkips | kOverBack,
         2,
         +[](X a, X b, X, X) { return BlendReference(0, a, b, 1); },
         {}},
        {"TransformShrunk", shrunk, kOptional | kSkips | kOverBack, 0, {}, {}},
        {"TransformMagnified", magnified, kOptional | kSkips | kOverBack, 0, {}, {}},
    };
    return rows;
}

// A row in a layout, as the sweep over the host layouts names its cases.
inline void PrintTo(const std::tuple<Layout, Operation>& c, std::ostream* os) {
    *os << std::get<0>(c).name << "_" << std::get<1>(c).name;
}

inline const Operation& OperationNamed(const std::string& name) {
    for (const Operation& op : Operations())
        if (name == op.name) return op;
    throw std::invalid_argument("no operation " + name);
}

// An operand with memory of its own and random pixels: an image of the layout, rows top-down
// unless bottomUp, or a float buffer. Float buffers are the library's own resources, which
// plug-ins make and destroy on their threads or have the worker do: bit 1 of where sizes it on
// the worker (twice: the first size's block goes back to the memory cache and is taken again),
// bit 2 destroys it there. held: what it held.
struct Held {
    Held(Kind kind, const Layout& layout, int w, int h, bool bottomUp, uint32_t seed, int where = 0)
        : kind(kind), where(where),
          layout(kind == Kind::Alpha || kind == Kind::Luma ? HostLayouts().back() : layout),
          image(MakeImage(layout, w, h, bottomUp)) {
        if (kind == Kind::Image || kind == Kind::Texture) held = FillPicture(layout, image, seed);
        if (kind != Kind::Alpha && kind != Kind::Luma) return;
        const auto own = [&](auto* b) { b->Resize(h + 1, w), b->Resize(w, h), buffer.reset(b); };
        const auto make = [&] { kind == Kind::Alpha ? own(new AlphaBuffer) : own(new LumaBuffer); };
        (where & 1) ? void(RunOnWorker(make)) : make();
        std::mt19937 random(seed);
        held = Read(&random);
    }
    ~Held() {
        if (buffer && (where & 2)) RunOnWorker([&] { buffer.reset(); });
    }
    XIImage* Get() { return buffer ? buffer.get() : kind == Kind::None ? nullptr : &image; }
    // What it holds now; a float buffer's values first drawn from fill where given.
    Picture Read(std::mt19937* fill = nullptr) {
        if (!buffer) return kind == Kind::None ? Picture() : ReadPicture(layout, image);
        Picture p(buffer->GetWidth(), buffer->GetHeight());
        char* base = static_cast<char*>(buffer->GetBaseAddress());
        for (int i = 0; i < p.width * p.height; ++i) {
            float& v =
                reinterpret_cast<float*>(base + i / p.width * buffer->GetRowBytes())[i % p.width];
            if (fill) v = std::uniform_real_distribution<float>()(*fill);
            p.pixels[size_t(i)][kind == Kind::Alpha ? 3 : 0] = v;
        }
        return p;
    }

    Kind kind;
    int where;
    const Layout& layout;
    TestImage image;
    std::unique_ptr<XIImage> buffer;
    Picture held;
};

// A texture over the image (none over null), made on the worker and deleted there when the last
// holder lets go.
inline std::shared_ptr<SubImageTexture> TextureOf(const XIImage* image) {
    SubImageTexture* t = nullptr;
    if (image) RunOnWorker([&] { t = new SubImageTexture(image); });
    return {t, [](SubImageTexture* t) { t ? void(RunOnWorker([t] { delete t; })) : void(); }};
}

// Runs the row on the operands and compares the destination with the reference, within the
// row's steps of the coarsest layout involved. A call that reaches the worker leaves no error
// text; one alike in every respect is a byte copy, padding included.
inline ::testing::AssertionResult RunAndCompare(const Operation& op, Held& a, Held& b, Held& d,
                                                const RGBA& colour) {
    const Picture before = d.Read();
    const float step = std::max({Tolerance(a.layout), Tolerance(b.layout), Tolerance(d.layout)});
    const auto texture = TextureOf(op.call.kinds[0] == Kind::Texture ? a.Get() : nullptr);
    op.call.run(a.Get(), b.Get(), d.Get(), Color(&colour[0]), texture.get());
    const std::string text = Shared::ErrorMessage();
    const Picture after = d.Read();
    const bool referred = op.pixel || op.picture;
    auto result = PixelsNear(
        after.pixels, referred ? op.Expected(a.held, b.held, before, colour).pixels : after.pixels,
        before.width, op.steps * step + (op.Has(kFiltered) ? kFilterTolerance : 0));
    // "Unknown": no worker at all, as when a copy alike in every respect was made on the
    // calling thread while the worker was stopped between uses.
    if (!op.Has(kOnCaller) && text != "Unknown error." && text != "Unknown")
        result = ::testing::AssertionFailure() << text;
    if (op.Has(kAlike) && std::memcmp(a.image.Bytes(), d.image.Bytes(), d.image.ByteCount()))
        result = ::testing::AssertionFailure() << "the bytes differ";
    return result << " (" << d.layout.name << " " << before.width << "x" << before.height << ")";
}

// The row in the layout throughout (pairing 0), from it into float rows that run bottom-up (1),
// or from those into it (2); destinations of other sizes where the operation takes them, the
// last too thin to fit anything into. where: as Held's.
inline void CheckRow(const Operation& op, const Layout& layout, int pairing, int where = 0) {
    std::vector<std::array<int, 4>> sizes = {{37, 23, 37, 23}};
    if (op.Has(kAnySize))
        sizes = {
            {20, 10, 31, 17}, {20, 10, 10, 5}, {20, 10, 33, 27}, {20, 10, 16, 16}, {20, 10, 1, 40}};
    const Layout& in = pairing == 2 ? HostLayouts().back() : layout;
    const Layout& out = op.Has(kAlike) ? in : pairing == 1 ? HostLayouts().back() : layout;
    const bool inUp = pairing == 2, outUp = op.Has(kAlike) ? inUp : pairing == 1;
    const Kind* k = op.call.kinds;
    for (const auto& s : sizes) {
        Held a(k[0], in, s[0], s[1], inUp, 11, where), b(k[1], in, s[0], s[1], inUp, 12, where);
        Held d(k[2], out, s[2], s[3], outUp, 13, where);
        EXPECT_TRUE(RunAndCompare(op, a, b, d, {0.9f, 0.1f, 0.4f, 0.8f}))
            << op.name << ", pairing " << pairing;
    }
}

} // namespace tesk_test
