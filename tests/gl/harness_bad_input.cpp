// Bad images handed to every basic operation: nothing crashes, nothing is written outside the
// destination's memory, and each call ends the way it is documented to: an image that fails
// IsValid makes the operation return without touching anything and without an error text.

#include "GLTest.h"
#include "HostLayouts.h"
#include "OpsReference.h"

#include "common/Buffer.h"
#include "common/Shared.h"
#include "gl/texture/ImageTextures.h"
#include "ops/BasicOps.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace OGL_TESK_AE;
using namespace tesk_test;

namespace {

// Wide enough to catch a transfer that takes 16-byte pixels for 2-byte ones in an 8 x 6 image.
constexpr size_t kGuardBytes = 1024;
constexpr uint8_t kGuard = 0xA5;
constexpr uint8_t kPattern = 0x3C;

// Memory of a given size between two runs of guard bytes, its inside filled with a pattern, so
// that a test can tell whether anything was written, and whether anything was written outside.
class GuardedBlock {
public:
    explicit GuardedBlock(size_t bytes)
        : fBytes(bytes), fMemory(kGuardBytes + bytes + kGuardBytes, kGuard) {
        std::memset(Inside(), kPattern, bytes);
    }
    uint8_t* Inside() { return fMemory.data() + kGuardBytes; }
    bool GuardsIntact() const {
        for (size_t i = 0; i < kGuardBytes; ++i)
            if (fMemory[i] != kGuard || fMemory[kGuardBytes + fBytes + i] != kGuard) return false;
        return true;
    }
    std::vector<uint8_t> Snapshot() const { return fMemory; }
    bool Same(const std::vector<uint8_t>& snapshot) const { return fMemory == snapshot; }
    bool Untouched() const {
        for (size_t i = 0; i < fBytes; ++i)
            if (fMemory[kGuardBytes + i] != kPattern) return false;
        return GuardsIntact();
    }

private:
    size_t fBytes;
    std::vector<uint8_t> fMemory;
};

// Memory that ends where a page the process may not touch begins: reading one byte past its
// end faults at once, where a read into guard bytes would go unseen. Filled with the pattern.
class PageEndBlock {
public:
    explicit PageEndBlock(size_t bytes) : fBytes(bytes) {
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        fLength = ((bytes + page - 1) / page + 1) * page;
        void* mapped =
            mmap(nullptr, fLength, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        fMapping = mapped == MAP_FAILED ? nullptr : static_cast<uint8_t*>(mapped);
        if (!fMapping) return;
        mprotect(fMapping + fLength - page, page, PROT_NONE);
        std::memset(Inside(), kPattern, bytes);
    }
    ~PageEndBlock() {
        if (fMapping) munmap(fMapping, fLength);
    }
    PageEndBlock(const PageEndBlock&) = delete;
    PageEndBlock& operator=(const PageEndBlock&) = delete;
    uint8_t* Inside() {
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        return fMapping ? fMapping + fLength - page - fBytes : nullptr;
    }
    bool Untouched() {
        const uint8_t* inside = Inside();
        if (!inside) return false;
        for (size_t i = 0; i < fBytes; ++i)
            if (inside[i] != kPattern) return false;
        return true;
    }

private:
    size_t fBytes;
    size_t fLength = 0;
    uint8_t* fMapping = nullptr;
};

// A host image over a block sized for its valid description; the description may then be
// spoilt through the TestImage setters while the memory stays where it was.
template <class Block> struct ImageOver {
    ImageOver(const Layout& layout, int width, int height, bool bottomUp = false)
        : image(MakeImage(layout, width, height, bottomUp)),
          block(static_cast<size_t>(image.GetRowBytes()) * static_cast<size_t>(height)) {
        image.SetBaseAddress(block.Inside());
    }
    TestImage image;
    Block block;
};
// Destinations: whatever is written outside shows in the guards.
using GuardedImage = ImageOver<GuardedBlock>;
// Sources: whatever is read past the end faults.
using PageEndImage = ImageOver<PageEndBlock>;

// Float buffers over guarded memory of the test's own.
template <class Pixel> class GuardedBuffer : public Buffer<Pixel> {
public:
    GuardedBuffer(int width, int height, int rowBytes = 0)
        : fBlock(static_cast<size_t>(rowBytes ? rowBytes : width * int(sizeof(Pixel))) *
                 static_cast<size_t>(height)) {
        OpaqueBuffer::Resize(width, height, fBlock.Inside(),
                             rowBytes ? rowBytes : width * int(sizeof(Pixel)));
    }
    // Claims a row length other than the memory's.
    void Describe(int width, int height, int rowBytes) {
        OpaqueBuffer::Resize(width, height, fBlock.Inside(), rowBytes);
    }
    GuardedBlock& Block() { return fBlock; }

private:
    GuardedBlock fBlock;
};

// The ways an image can be unusable, each applied to a guarded 8 x 6 image.
struct Spoiler {
    const char* name;
    std::function<void(TestImage&)> spoil;
};

const std::vector<Spoiler>& InvalidImages() {
    static const std::vector<Spoiler> spoilers = {
        {"zero width", [](TestImage& i) { i.SetWidth(0); }},
        {"zero height", [](TestImage& i) { i.SetHeight(0); }},
        {"negative size", [](TestImage& i) { i.SetWidth(-8), i.SetHeight(-6); }},
        {"null base", [](TestImage& i) { i.SetBaseAddress(nullptr); }},
        {"rows one byte short", [](TestImage& i) { i.SetRowBytes(8 * 4 - 1); }},
        {"negative row bytes", [](TestImage& i) { i.SetRowBytes(-8 * 4); }},
    };
    return spoilers;
}

// The two-image operations, by name, as (source, destination).
struct Operation {
    const char* name;
    std::function<void(const XIImage*, XIImage*)> call;
};

const std::vector<Operation>& TwoImageOperations() {
    static const Color kColour(0.9f, 0.1f, 0.4f, 0.8f);
    static const std::vector<Operation> operations = {
        {"Premultiply", [](const XIImage* s, XIImage* d) { Premultiply(s, d); }},
        {"Copy", [](const XIImage* s, XIImage* d) { Copy(s, d); }},
        {"Center", [](const XIImage* s, XIImage* d) { Center(s, d); }},
        {"CopyAlpha", [](const XIImage* s, XIImage* d) { CopyAlpha(s, d); }},
        {"Resize", [](const XIImage* s, XIImage* d) { Resize(s, d); }},
        {"FitInto", [](const XIImage* s, XIImage* d) { FitInto(s, d); }},
        {"RenderMask (mask)", [](const XIImage* s, XIImage* d) { RenderMask(s, s, d, kColour); }},
        {"RenderInvMask (mask)",
         [](const XIImage* s, XIImage* d) { RenderInvMask(s, s, d, kColour); }},
        {"Test", [](const XIImage* s, XIImage* d) { RunOnWorker([&] { Test(s, d); }); }},
    };
    return operations;
}

const Layout& Rgba8() {
    return HostLayouts().front();
}

// Starts from a call that succeeded, so that any error text seen afterwards comes from the
// calls under test.
void ResetErrorText() {
    TestImage a = MakeImage(Rgba8(), 1, 1), b = MakeImage(Rgba8(), 1, 1);
    Premultiply(&a, &b);
    ASSERT_STREQ(Shared::ErrorMessage(), "Unknown error.");
}

} // namespace

TEST(HarnessBadInput, InvalidImagesAreIgnoredWithoutAWrite) {
    ResetErrorText();
    for (const Operation& op : TwoImageOperations()) {
        SCOPED_TRACE(op.name);
        // A null image on either side, or both.
        {
            GuardedImage good(Rgba8(), 8, 6), destination(Rgba8(), 8, 6);
            FillRandom(Rgba8(), good.image, 1);
            op.call(nullptr, &destination.image);
            op.call(&good.image, nullptr);
            op.call(nullptr, nullptr);
            EXPECT_TRUE(destination.block.Untouched()) << "null source";
            EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
        }
        for (const Spoiler& spoiler : InvalidImages()) {
            SCOPED_TRACE(spoiler.name);
            // As the source: the valid destination is left as it was.
            GuardedImage source(Rgba8(), 8, 6), destination(Rgba8(), 8, 6);
            spoiler.spoil(source.image);
            op.call(&source.image, &destination.image);
            EXPECT_TRUE(destination.block.Untouched()) << "spoilt source";
            EXPECT_TRUE(source.block.Untouched()) << "spoilt source written";
            EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");

            // As the destination: nothing of its memory changes, whatever the source.
            GuardedImage good(Rgba8(), 8, 6), spoilt(Rgba8(), 8, 6);
            FillRandom(Rgba8(), good.image, 2);
            spoiler.spoil(spoilt.image);
            op.call(&good.image, &spoilt.image);
            EXPECT_TRUE(spoilt.block.Untouched()) << "spoilt destination";
            EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
        }
    }

    // Clear's memory fill and its card path both check the destination first.
    for (const Color& colour : {Color(0, 0, 0, 0), Color(0.2f, 0.4f, 0.6f, 0.8f)}) {
        Clear(nullptr, colour);
        for (const Spoiler& spoiler : InvalidImages()) {
            GuardedImage destination(Rgba8(), 8, 6);
            spoiler.spoil(destination.image);
            Clear(&destination.image, colour);
            EXPECT_TRUE(destination.block.Untouched()) << "Clear, " << spoiler.name;
        }
    }
    EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");

    // An image that is optional to the mask operations may be spoilt: the colour is laid over
    // nothing, and only the destination's own memory is written.
    for (const Spoiler& spoiler : InvalidImages()) {
        GuardedImage mask(Rgba8(), 8, 6), image(Rgba8(), 8, 6), destination(Rgba8(), 8, 6);
        FillRandom(Rgba8(), mask.image, 3);
        spoiler.spoil(image.image);
        RenderMask(&mask.image, &image.image, &destination.image, Color::White);
        EXPECT_TRUE(destination.block.GuardsIntact()) << "RenderMask, image " << spoiler.name;
        EXPECT_FALSE(destination.block.Untouched()) << "RenderMask, image " << spoiler.name;
        EXPECT_TRUE(image.block.Untouched()) << "RenderMask, image " << spoiler.name;
        EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
    }
}

namespace {

// Images that pass IsValid but whose colour-space code is one the library does not know, or
// one that promises wider pixels than the bit depth gives them.
struct Described {
    const char* name;
    int32_t code;
    int32_t bitDepth;
    int32_t white;
};

const std::vector<Described>& StrangeColourSpaces() {
    static const std::vector<Described> described = {
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
    return described;
}

struct StrangeImage {
    explicit StrangeImage(const Described& d, int width = 8, int height = 6)
        : image(width, height, d.code, d.bitDepth, d.white, false,
                TestImage::TightRowBytes(width, d.bitDepth)),
          block(static_cast<size_t>(image.GetRowBytes()) * static_cast<size_t>(height)) {
        image.SetBaseAddress(block.Inside());
    }
    TestImage image;
    GuardedBlock block;
};

} // namespace

TEST(HarnessBadInput, StrangeColourSpacesStayInsideTheirMemory) {
    ResetErrorText();
    for (const Described& d : StrangeColourSpaces()) {
        SCOPED_TRACE(d.name);
        for (const Operation& op : TwoImageOperations()) {
            SCOPED_TRACE(op.name);
            {
                // As the destination: whatever is written stays within its rows.
                PageEndImage source(Rgba8(), 8, 6);
                FillRandom(Rgba8(), source.image, 4);
                StrangeImage destination(d);
                ASSERT_TRUE(IsValid(&destination.image));
                op.call(&source.image, &destination.image);
                EXPECT_TRUE(destination.block.GuardsIntact()) << "destination";
                EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
            }
            {
                // As the source: never written, never read past its end (which would fault),
                // and the destination's guards hold.
                TestImage source(8, 6, d.code, d.bitDepth, d.white, false,
                                 TestImage::TightRowBytes(8, d.bitDepth));
                PageEndBlock memory(static_cast<size_t>(source.GetRowBytes()) * 6);
                source.SetBaseAddress(memory.Inside());
                GuardedImage destination(Rgba8(), 8, 6);
                op.call(&source, &destination.image);
                EXPECT_TRUE(memory.Untouched()) << "source";
                EXPECT_TRUE(destination.block.GuardsIntact()) << "destination";
                EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
            }
        }
        StrangeImage cleared(d);
        Clear(&cleared.image, Color(0.2f, 0.4f, 0.6f, 0.8f));
        EXPECT_TRUE(cleared.block.GuardsIntact()) << "Clear";
        StrangeImage source(d);
        Buffer<AlphaPixelType<float>> alpha;
        Buffer<LumaPixelType<float>> luma;
        ASSERT_TRUE(alpha.Resize(8, 6) && luma.Resize(8, 6));
        GetAlpha(&source.image, &alpha);
        GetLuma(&source.image, &luma);
        EXPECT_TRUE(source.block.Untouched()) << "GetAlpha, GetLuma";
        EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
    }
}

TEST(HarnessBadInput, MismatchedSizesStayInsideTheDestination) {
    ResetErrorText();
    const Layout& floatLayout = HostLayouts().back();
    const std::pair<int, int> sizes[] = {{1, 1}, {3, 2}, {13, 9}, {1, 17}, {29, 1}};
    for (const Operation& op : TwoImageOperations()) {
        SCOPED_TRACE(op.name);
        for (const auto& size : sizes) {
            for (bool bottomUp : {false, true}) {
                PageEndImage source(Rgba8(), 8, 6);
                FillRandom(Rgba8(), source.image, 5);
                GuardedImage destination(floatLayout, size.first, size.second, bottomUp);
                op.call(&source.image, &destination.image);
                EXPECT_TRUE(destination.block.GuardsIntact())
                    << size.first << "x" << size.second << " destination";
                // (A fit into a destination one pixel high or wide may be empty.)
                if (std::string(op.name) != "FitInto") {
                    EXPECT_FALSE(destination.block.Untouched()) << "nothing written";
                }
                GuardedImage back(Rgba8(), 8, 6, bottomUp);
                op.call(&destination.image, &back.image);
                EXPECT_TRUE(back.block.GuardsIntact())
                    << size.first << "x" << size.second << " source";
                EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
            }
        }
    }
    // The colour and mask passes of a mask operation cover different areas.
    for (const auto& size : sizes) {
        GuardedImage mask(Rgba8(), size.first, size.second), image(Rgba8(), 8, 6),
            destination(Rgba8(), 5, 7);
        FillRandom(Rgba8(), mask.image, 6);
        FillRandom(Rgba8(), image.image, 7);
        const std::vector<uint8_t> maskBytes = mask.block.Snapshot(),
                                   imageBytes = image.block.Snapshot();
        RenderMask(&mask.image, &image.image, &destination.image, Color(0.5f, 0.5f, 0.5f, 1));
        RenderInvMask(&image.image, &mask.image, &destination.image, Color(0.5f, 0.5f, 0.5f, 1));
        EXPECT_TRUE(destination.block.GuardsIntact()) << size.first << "x" << size.second;
        EXPECT_TRUE(mask.block.Same(maskBytes)) << "mask written";
        EXPECT_TRUE(image.block.Same(imageBytes)) << "image written";
    }
    EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
}

namespace {

using AlphaBuffer = Buffer<AlphaPixelType<float>>;
using LumaBuffer = Buffer<LumaPixelType<float>>;
using RGBABuffer = Buffer<RGBAPixelType<float>>;

template <class Pixel> void FillBuffer(GuardedBuffer<Pixel>& buffer, float value) {
    for (int y = 0; y < buffer.GetHeight(); ++y)
        for (int x = 0; x < buffer.GetWidth(); ++x) {
            float* p = reinterpret_cast<float*>(buffer.Row(y) + x);
            for (size_t c = 0; c < sizeof(Pixel) / sizeof(float); ++c) p[c] = value;
        }
}

} // namespace

TEST(HarnessBadInput, FloatBuffersOutOfShape) {
    ResetErrorText();
    // A buffer that is empty, or too large to have been given memory.
    AlphaBuffer emptyAlpha;
    LumaBuffer emptyLuma, unallocated;
    RGBABuffer emptyRgba;
    ASSERT_TRUE(unallocated.Resize(1 << 16, 1 << 16));
    ASSERT_EQ(unallocated.GetBaseAddress(), nullptr);

    // Buffers whose rows are said to be one byte shorter than their pixels: walking them by
    // their row bytes would end past the memory they were given.
    GuardedBuffer<RGBAPixelType<float>> shortRgba(4, 3);
    GuardedBuffer<LumaPixelType<float>> shortLuma(4, 3), shortAlphaAsLuma(4, 3);
    GuardedBuffer<AlphaPixelType<float>> shortAlpha(4, 3);
    FillBuffer(shortRgba, 0.5f);
    FillBuffer(shortLuma, 0.5f);
    FillBuffer(shortAlpha, 0.5f);
    shortRgba.Describe(4, 3, 4 * 16 - 1);
    shortLuma.Describe(4, 3, 4 * 4 - 1);
    shortAlpha.Describe(4, 3, 4 * 4 - 1);
    const std::vector<uint8_t> rgbaBytes = shortRgba.Block().Snapshot();

    // The queries answer their neutral value.
    EXPECT_FALSE(HasAlpha(static_cast<const RGBABuffer*>(nullptr)));
    EXPECT_FALSE(HasAlpha(static_cast<const LumaBuffer*>(nullptr)));
    EXPECT_FALSE(HasAlpha(static_cast<const AlphaBuffer*>(nullptr)));
    EXPECT_FALSE(HasLuma(nullptr));
    EXPECT_EQ(MaxLuma(nullptr), 0.0f);
    EXPECT_FALSE(HasAlpha(&emptyRgba));
    EXPECT_FALSE(HasAlpha(&emptyLuma));
    EXPECT_FALSE(HasAlpha(&emptyAlpha));
    EXPECT_FALSE(HasAlpha(&unallocated));
    EXPECT_FALSE(HasLuma(&emptyRgba));
    EXPECT_EQ(MaxLuma(&emptyRgba), 0.0f);
    EXPECT_FALSE(HasAlpha(&shortRgba)) << "rows shorter than their pixels";
    EXPECT_FALSE(HasAlpha(&shortLuma));
    EXPECT_FALSE(HasAlpha(&shortAlpha));
    EXPECT_FALSE(HasLuma(&shortRgba));
    EXPECT_EQ(MaxLuma(&shortRgba), 0.0f);
    EXPECT_TRUE(shortRgba.Block().Same(rgbaBytes));

    // Invert leaves a destination it cannot use as it was, and reads nothing it cannot use.
    GuardedBuffer<LumaPixelType<float>> good(4, 3), target(4, 3);
    FillBuffer(good, 0.25f);
    const std::vector<uint8_t> targetBytes = target.Block().Snapshot();
    Invert(nullptr, &target);
    Invert(&emptyLuma, &target);
    Invert(&unallocated, &target);
    Invert(&shortLuma, &target);
    EXPECT_TRUE(target.Block().Same(targetBytes)) << "Invert from an unusable source";
    const std::vector<uint8_t> shortBytes = shortLuma.Block().Snapshot();
    Invert(&good, nullptr);
    Invert(&good, &emptyLuma);
    Invert(&good, &unallocated);
    Invert(&good, &shortLuma);
    EXPECT_TRUE(shortLuma.Block().Same(shortBytes)) << "Invert into rows too short";
    EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");

    // Sizes that differ: only the common area is inverted.
    GuardedBuffer<LumaPixelType<float>> wide(7, 2);
    FillBuffer(wide, 0.125f);
    Invert(&good, &wide);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(wide.Row(y)[x].luma, x < 4 ? 0.75f : 0.125f) << x << "," << y;
    EXPECT_TRUE(wide.Block().GuardsIntact());

    // The card-side queries leave buffers they cannot use as they were.
    TestImage source = MakeImage(Rgba8(), 4, 3);
    FillRandom(Rgba8(), source, 8);
    const std::vector<uint8_t> alphaBytes = shortAlpha.Block().Snapshot();
    GetAlpha(&source, &shortAlpha);
    GetAlpha(&source, &emptyAlpha);
    GetAlpha(&source, nullptr);
    GetLuma(&source, &shortLuma);
    GetLuma(&source, &unallocated);
    GetLuma(&source, nullptr);
    EXPECT_TRUE(shortAlpha.Block().Same(alphaBytes));
    EXPECT_TRUE(shortLuma.Block().Same(shortBytes));
    EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
}

TEST(HarnessBadInput, TexturesOverBadImagesAndRegions) {
    ResetErrorText();
    // CopyTexture checks its destination before anything else.
    std::unique_ptr<SubImageTexture> texture;
    GuardedImage source(Rgba8(), 8, 6);
    FillRandom(Rgba8(), source.image, 9);
    ASSERT_TRUE(RunOnWorker([&] { texture.reset(new SubImageTexture(&source.image)); }));
    CopyTexture(*texture, nullptr);
    for (const Spoiler& spoiler : InvalidImages()) {
        GuardedImage destination(Rgba8(), 8, 6);
        spoiler.spoil(destination.image);
        CopyTexture(*texture, &destination.image);
        EXPECT_TRUE(destination.block.Untouched()) << "CopyTexture, " << spoiler.name;
    }
    for (const Described& d : StrangeColourSpaces()) {
        StrangeImage destination(d);
        CopyTexture(*texture, &destination.image);
        EXPECT_TRUE(destination.block.GuardsIntact()) << "CopyTexture, " << d.name;
    }
    EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");

    // WriteTexture draws into whatever target is current: regions that miss the image or are
    // empty, and textures over unusable images, draw nothing harmful and throw nothing.
    const Region regions[] = {Region(), Region(0, 0, 0, 5), Region(-4, -3, 6, 5),
                              Region(5, 4, 9, 9), Region(0, 0, 40, 30)};
    EXPECT_TRUE(RunOnWorker([&] {
        for (const Region& r : regions) WriteTexture(*texture, r);
    }));
    for (const Spoiler& spoiler : InvalidImages()) {
        GuardedImage image(Rgba8(), 8, 6);
        spoiler.spoil(image.image);
        EXPECT_TRUE(RunOnWorker([&] {
            SubImageTexture spoilt(&image.image);
            for (const Region& r : regions) WriteTexture(spoilt, r);
            spoilt.Finalize();
        })) << spoiler.name;
        EXPECT_TRUE(image.block.Untouched()) << "WriteTexture, " << spoiler.name;
    }
    for (const Described& d : StrangeColourSpaces()) {
        StrangeImage image(d);
        EXPECT_TRUE(RunOnWorker([&] {
            SubImageTexture strange(&image.image);
            for (const Region& r : regions) WriteTexture(strange, r);
            strange.Finalize();
        })) << d.name;
        EXPECT_TRUE(image.block.Untouched()) << "WriteTexture, " << d.name;
    }
    EXPECT_TRUE(RunOnWorker([&] { texture.reset(); }));
    EXPECT_TRUE(source.block.GuardsIntact());
}
