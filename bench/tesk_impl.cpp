// The library's own exported operations, called as a plug-in calls them.
#include "Implementation.h"

#include "common/Buffer.h"
#include "gl/effects/ApplyMode.h"
#include "math/Color.h"
#include "ops/BasicOps.h"
#include "ops/Blur.h"
#include "ops/Composite.h"
#include "ops/Transform.h"

namespace tesk_bench {

namespace {

// The library's float luma buffer over the frame's memory, which it does not own.
class LumaView : public OGL_TESK_AE::Buffer<OGL_TESK_AE::LumaPixelType<float>> {
public:
    explicit LumaView(HostImage& luma) {
        OpaqueBuffer::Resize(luma.Width(), luma.Height(), luma.Bytes(), luma.RowBytes());
    }
};

// The same for its float alpha buffer.
class AlphaView : public OGL_TESK_AE::Buffer<OGL_TESK_AE::AlphaPixelType<float>> {
public:
    explicit AlphaView(HostImage& alpha) {
        OpaqueBuffer::Resize(alpha.Width(), alpha.Height(), alpha.Bytes(), alpha.RowBytes());
    }
};

OGL_TESK_AE::Color ToColor(const Colour& c) {
    return OGL_TESK_AE::Color(c.r, c.g, c.b, c.a);
}

class Tesk : public Implementation {
public:
    const char* Name() const override { return "TESK"; }

    bool Premultiply(const HostImage& source, HostImage& destination) override {
        OGL_TESK_AE::Premultiply(&source, &destination);
        return true;
    }
    bool Copy(const HostImage& source, HostImage& destination) override {
        OGL_TESK_AE::Copy(&source, &destination);
        return true;
    }
    bool Resize(const HostImage& source, HostImage& destination) override {
        OGL_TESK_AE::Resize(&source, &destination);
        return true;
    }
    bool Clear(HostImage& destination, const Colour& colour) override {
        OGL_TESK_AE::Clear(&destination, ToColor(colour));
        return true;
    }
    bool RenderMask(const HostImage& mask, const HostImage& image, HostImage& destination,
                    const Colour& colour) override {
        OGL_TESK_AE::RenderMask(&mask, &image, &destination, ToColor(colour));
        return true;
    }
    bool GetLuma(const HostImage& source, HostImage& luma) override {
        LumaView view(luma);
        OGL_TESK_AE::GetLuma(&source, &view);
        return true;
    }
    bool Blend(const HostImage& front, const HostImage& back, HostImage& destination,
               int mode) override {
        OGL_TESK_AE::ApplyMode::Apply(&front, &back, nullptr, &destination,
                                      static_cast<OGL_TESK_AE::PixelApplyMode>(mode), 1.0f);
        return true;
    }
    bool GaussianBlur(const HostImage& source, HostImage& destination, float width,
                      float spread) override {
        OGL_TESK_AE::Blur(&source, &destination, width, width, spread);
        return true;
    }
    bool BoxBlur(const HostImage& source, HostImage& destination, float width) override {
        OGL_TESK_AE::BoxBlur(&source, &destination, width, width);
        return true;
    }
    bool Over(const HostImage& front, const HostImage& back, HostImage& destination) override {
        OGL_TESK_AE::Composite(&front, &back, nullptr, &destination, 1.0f,
                               OGL_TESK_AE::BlendOp::Composite);
        return true;
    }
    bool Glow(const HostImage& a, const HostImage& b, const HostImage& back,
              HostImage& destination) override {
        const XIImage* layers[] = {&a, &b, &a};
        const OGL_TESK_AE::p2f sizes[] = {{21, 21}, {9, 9}, {41, 41}};
        OGL_TESK_AE::CompositeBlurredImages(layers, &back, &destination, sizes, 3,
                                            OGL_TESK_AE::BlendOp::Additive, false);
        return true;
    }
    // Over nothing, so that the front's own pixels come out. Below a scale of 1 the front is
    // filtered by the decimation type, so Lanczos-3 is asked of both.
    bool Transform(const HostImage& source, HostImage& destination, int filter) override {
        using Interp = OGL_TESK_AE::TransformInterpolationFilterType;
        using Decim = OGL_TESK_AE::TransformDecimationFilterType;
        const Interp interp[] = {Interp::Nearest, Interp::Texture, Interp::Lanczos3};
        const Decim decim[] = {Decim::None, Decim::None, Decim::Lanczos3};
        const OGL_TESK_AE::p3f centre(destination.Width() / 2.0f, destination.Height() / 2.0f, 0);
        OGL_TESK_AE::Transform(
            &source, nullptr, nullptr, &destination, OGL_TESK_AE::PixelApplyMode::Over, centre,
            OGL_TESK_AE::p3f(kScale, kScale, 1.0f), OGL_TESK_AE::p3f(0.0f, 0.0f, kTurn),
            OGL_TESK_AE::XYZ, interp[filter], decim[filter]);
        return true;
    }
    bool GetAlpha(const HostImage& source, HostImage& alpha) override {
        AlphaView view(alpha);
        OGL_TESK_AE::GetAlpha(&source, &view);
        return true;
    }
    bool CopyAlpha(const HostImage& source, HostImage& destination) override {
        OGL_TESK_AE::CopyAlpha(&source, &destination);
        return true;
    }
    bool Center(const HostImage& source, HostImage& destination) override {
        OGL_TESK_AE::Center(&source, &destination);
        return true;
    }
    bool FitInto(const HostImage& source, HostImage& destination) override {
        OGL_TESK_AE::FitInto(&source, &destination);
        return true;
    }
};

} // namespace

std::unique_ptr<Implementation> MakeTesk() {
    return std::unique_ptr<Implementation>(new Tesk());
}

} // namespace tesk_bench
