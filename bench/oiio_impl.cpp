// The benchmark's work done with OpenImageIO's ImageBufAlgo: ImageBufs that wrap the host
// frames' memory (the layout's channel order and alpha channel named in the image description, so
// operations need no shuffle; where one does, single-channel views of the same memory), IBA
// calls only, on OIIO's own thread pool.
#include "Implementation.h"

#ifdef TESK_BENCH_OIIO

#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagebufalgo.h>

#include <stdexcept>
#include <string>

namespace tesk_bench {

namespace {

using OIIO::ImageBuf;
using OIIO::ImageSpec;
using OIIO::TypeDesc;
namespace IBA = OIIO::ImageBufAlgo;

ImageSpec Spec(const Layout& layout, int width, int height, bool asFloat) {
    ImageSpec description(width, height, layout.channels,
                          asFloat || layout.isFloat ? TypeDesc::FLOAT : TypeDesc::UINT8);
    if (layout.channels == 4) {
        const char* names[4] = {"R", "G", "B", "A"};
        for (int c = 0; c < 4; ++c) description.channelnames[layout.slot[c]] = names[c];
        description.alpha_channel = layout.AlphaSlot();
    } else {
        description.channelnames[0] = "Y";
        description.alpha_channel = -1;
    }
    return description;
}

// Where the picture's top row starts in memory.
void* Origin(const HostImage& image) {
    return image.GetLayout().bottomUp ? image.Row(image.Height() - 1) : image.Bytes();
}

ImageBuf Wrap(const HostImage& image) {
    const Layout& layout = image.GetLayout();
    const ImageSpec description = Spec(layout, image.Width(), image.Height(), false);
    // Bottom-up rows: a negative row stride from the last row in memory.
    const OIIO::stride_t rowStride =
        layout.bottomUp ? -OIIO::stride_t(image.RowBytes()) : OIIO::stride_t(image.RowBytes());
    return ImageBuf(description, Origin(image), OIIO::AutoStride, rowStride);
}

// Channel slot of a frame as a one-channel image over the same memory.
ImageBuf ChannelView(const HostImage& image, int slot) {
    const Layout& layout = image.GetLayout();
    const int bytes = layout.BytesPerChannel();
    const ImageSpec description(image.Width(), image.Height(), 1,
                                layout.isFloat ? TypeDesc::FLOAT : TypeDesc::UINT8);
    return ImageBuf(description, image.Bytes() + slot * bytes, layout.bitDepth / 8,
                    image.RowBytes());
}

ImageBuf ChannelView(ImageBuf& image, int slot) {
    const ImageSpec& whole = image.specmod();
    const ImageSpec description(whole.width, whole.height, 1, whole.format);
    return ImageBuf(description,
                    static_cast<char*>(image.localpixels()) + slot * whole.format.size(),
                    whole.pixel_bytes(), whole.scanline_bytes());
}

// A call that failed, or that put its result into memory of its own instead of the frame
// (some IBA functions reallocate an initialized destination), would time something else.
void Check(bool ok, const ImageBuf& destination, const char* what, const void* memory = nullptr) {
    if (!ok) throw std::runtime_error(std::string(what) + ": " + destination.geterror());
    if (memory && destination.localpixels() != memory)
        throw std::runtime_error(std::string(what) + " wrote outside the frame");
}

class ImageBufAlgo : public Implementation {
public:
    const char* Name() const override { return "OIIO"; }

    bool Premultiply(const HostImage& source, HostImage& destination) override {
        ImageBuf s = Wrap(source), d = Wrap(destination);
        Check(IBA::premult(d, s), d, "premult", Origin(destination));
        return true;
    }

    bool Copy(const HostImage& source, HostImage& destination) override {
        const Layout& from = source.GetLayout();
        const Layout& to = destination.GetLayout();
        if (from.channels != 4 || to.channels != 4) return false;
        // IBA::channels reorders, but only into an image it allocates, and slowly (over a
        // second for a 4K float frame here); a copy per channel between single-channel views
        // of the two frames converts and reorders in place.
        for (int c = 0; c < 4; ++c) {
            ImageBuf s = ChannelView(source, from.slot[c]);
            ImageBuf d = ChannelView(destination, to.slot[c]);
            void* memory = d.localpixels();
            Check(IBA::copy(d, s), d, "copy", memory);
        }
        return true;
    }

    bool Resize(const HostImage& source, HostImage& destination) override {
        ImageBuf s = Wrap(source), d = Wrap(destination);
        Check(IBA::resample(d, s, true), d, "resample", Origin(destination));
        return true;
    }

    bool Clear(HostImage& destination, const Colour& colour) override {
        const Layout& layout = destination.GetLayout();
        ImageBuf d = Wrap(destination);
        const float values[4] = {colour.r, colour.g, colour.b, colour.a};
        float slots[4];
        for (int c = 0; c < 4; ++c) slots[layout.slot[c]] = values[c];
        Check(IBA::fill(d, slots), d, "fill", Origin(destination));
        return true;
    }

    bool RenderMask(const HostImage& mask, const HostImage& image, HostImage& destination,
                    const Colour& colour) override {
        const Layout& layout = image.GetLayout();
        ImageBuf i = Wrap(image), d = Wrap(destination);
        // The colour premultiplied by t = colour.a * mask.a, laid over the image. Each channel
        // of that layer is the mask's alpha times a constant (per-channel views, as in Copy).
        Scratch(fLayer, layout, image);
        const ImageBuf alpha = ChannelView(mask, mask.GetLayout().AlphaSlot());
        const float values[4] = {colour.r * colour.a, colour.g * colour.a, colour.b * colour.a,
                                 colour.a};
        for (int c = 0; c < 4; ++c) {
            ImageBuf channel = ChannelView(fLayer, layout.slot[c]);
            void* memory = channel.localpixels();
            Check(IBA::mul(channel, alpha, values[c]), channel, "mul", memory);
        }
        Check(IBA::over(d, fLayer, i), d, "over", Origin(destination));
        return true;
    }

    bool GetLuma(const HostImage& source, HostImage& luma) override {
        const Layout& layout = source.GetLayout();
        ImageBuf s = Wrap(source), l = Wrap(luma);
        Scratch(fPremultiplied, layout, source);
        void* scratch = fPremultiplied.localpixels();
        Check(IBA::premult(fPremultiplied, s), fPremultiplied, "premult", scratch);
        float weights[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        weights[layout.slot[0]] = 0.30f;
        weights[layout.slot[1]] = 0.59f;
        weights[layout.slot[2]] = 0.11f;
        Check(IBA::channel_sum(l, fPremultiplied, weights), l, "channel_sum", Origin(luma));
        return true;
    }

    // Its own over (front + back * (1 - front alpha), on premultiplied colour) and its
    // multiply; it has no screen.
    bool Blend(const HostImage& front, const HostImage& back, HostImage& destination,
               int mode) override {
        if (mode != 0 && mode != 3) return false;
        const Layout& layout = front.GetLayout();
        ImageBuf f = Wrap(front), b = Wrap(back), d = Wrap(destination);
        Scratch(fPremultiplied, layout, front);
        Scratch(fLayer, layout, back);
        Check(IBA::premult(fPremultiplied, f), fPremultiplied, "premult",
              fPremultiplied.localpixels());
        Check(IBA::premult(fLayer, b), fLayer, "premult", fLayer.localpixels());
        Scratch(fResult, layout, back);
        void* result = fResult.localpixels();
        if (mode == 0)
            Check(IBA::over(fResult, fPremultiplied, fLayer), fResult, "over", result);
        else
            Check(IBA::mul(fResult, fPremultiplied, fLayer), fResult, "mul", result);
        Check(IBA::unpremult(d, fResult), d, "unpremult", Origin(destination));
        return true;
    }

    bool GaussianBlur(const HostImage& source, HostImage& destination, float width,
                      float spread) override {
        return Separable(source, destination, GaussianWeights(width, spread));
    }
    bool BoxBlur(const HostImage& source, HostImage& destination, float width) override {
        // Not offered for wide boxes: convolve takes every tap, seconds a call at 4K, and
        // OpenCV's running sum is what a user would compare with.
        if (width > 64.0f) return false;
        return Separable(source, destination, BoxWeights(width));
    }
    bool Over(const HostImage& front, const HostImage& back, HostImage& destination) override {
        ImageBuf f = Wrap(front), b = Wrap(back), d = Wrap(destination);
        Check(IBA::over(d, f, b), d, "over", Origin(destination));
        return true;
    }

    // warp maps source to destination positions, points as rows: p' = p M. With y down, the
    // plain rotation matrix turns clockwise as the picture is seen.
    bool Transform(const HostImage& source, HostImage& destination, int filter) override {
        ImageBuf s = Wrap(source), d = Wrap(destination);
        const float turn = kTurn * 3.14159265f / 180.0f;
        const float c = kScale * std::cos(turn), n = kScale * std::sin(turn);
        const float x = source.Width() / 2.0f, y = source.Height() / 2.0f;
        const float m[3][3] = {
            {c, n, 0.0f}, {-n, c, 0.0f}, {x - (c * x - n * y), y - (n * x + c * y), 1.0f}};
        const char* filters[] = {"box", "triangle", "lanczos3"};
        Check(IBA::warp(d, s, m, filters[filter], 0.0f, false, ImageBuf::WrapBlack), d, "warp",
              Origin(destination));
        return true;
    }

private:
    // A float image of the frame's size and channel order, made on first use.
    static void Scratch(ImageBuf& scratch, const Layout& layout, const HostImage& like) {
        const ImageSpec& description = scratch.specmod();
        if (scratch.initialized() && description.width == like.Width() &&
            description.height == like.Height() && description.alpha_channel == layout.AlphaSlot())
            return;
        scratch.reset(Spec(layout, like.Width(), like.Height(), true));
    }

    // convolve with the kernel as a row, then as a column: the same weights as one square
    // kernel, in two passes.
    bool Separable(const HostImage& source, HostImage& destination, const std::vector<float>& k) {
        const int n = static_cast<int>(k.size());
        ImageBuf across(ImageSpec(n, 1, 1, TypeDesc::FLOAT), const_cast<float*>(k.data()));
        ImageBuf along(ImageSpec(1, n, 1, TypeDesc::FLOAT), const_cast<float*>(k.data()));
        // Centred on the image's origin, as convolve expects of a kernel.
        across.specmod().x = -(n / 2);
        along.specmod().y = -(n / 2);
        ImageBuf s = Wrap(source), d = Wrap(destination);
        Scratch(fLayer, source.GetLayout(), source);
        Check(IBA::convolve(fLayer, s, across, false), fLayer, "convolve", fLayer.localpixels());
        Check(IBA::convolve(d, fLayer, along, false), d, "convolve", Origin(destination));
        return true;
    }

    ImageBuf fLayer, fPremultiplied, fResult;
};

} // namespace

std::unique_ptr<Implementation> MakeImageBufAlgo() {
    return std::unique_ptr<Implementation>(new ImageBufAlgo());
}

} // namespace tesk_bench

#else

namespace tesk_bench {
std::unique_ptr<Implementation> MakeImageBufAlgo() {
    return nullptr;
}
} // namespace tesk_bench

#endif
