// The benchmark's work done with OpenCV (core and imgproc), the way a plug-in author would:
// cv::Mat headers over the host frames' memory, library calls only, and every channel shuffle
// the host layout needs counted. Scratch images are members, so that after the first call
// OpenCV reuses them instead of allocating per call (the library under test keeps its textures
// in caches as well).
#include "Implementation.h"

#ifdef TESK_BENCH_OPENCV

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <stdexcept>

namespace tesk_bench {

namespace {

cv::Mat Wrap(const HostImage& image) {
    const Layout& layout = image.GetLayout();
    const int type = CV_MAKETYPE(layout.isFloat ? CV_32F : CV_8U, layout.channels);
    return cv::Mat(image.Height(), image.Width(), type, image.Bytes(),
                   static_cast<size_t>(image.RowBytes()));
}

// A destination OpenCV reallocated would leave the frame untouched and time something else.
void ExpectInPlace(const cv::Mat& mat, const HostImage& image) {
    if (mat.data != image.Bytes()) throw std::runtime_error("OpenCV wrote outside the frame");
}

// The colour as channel values in the layout's slots, alpha replaced by white when asked.
cv::Scalar ToScalar(const Colour& colour, const Layout& layout, bool opaque) {
    const float values[4] = {colour.r, colour.g, colour.b, opaque ? 1.0f : colour.a};
    cv::Scalar scalar;
    for (int c = 0; c < 4; ++c) scalar[layout.slot[c]] = double(values[c]) * layout.white;
    return scalar;
}

class OpenCV : public Implementation {
public:
    const char* Name() const override { return "OpenCV"; }

    bool Premultiply(const HostImage& source, HostImage& destination) override {
        const Layout& layout = source.GetLayout();
        cv::Mat s = Wrap(source), d = Wrap(destination);
        // One multiply by (a, a, a, white) in the layout's slots; the factor's alpha slot is
        // filled once, when the scratch image is made.
        if (fFactor.size() != s.size() || fFactor.type() != s.type()) {
            fFactor.create(s.size(), s.type());
            fFactor.setTo(cv::Scalar::all(layout.white));
        }
        const int a = layout.AlphaSlot();
        const int fromTo[] = {a, layout.slot[0], a, layout.slot[1], a, layout.slot[2]};
        cv::mixChannels(&s, 1, &fFactor, 1, fromTo, 3);
        cv::multiply(s, fFactor, d, 1.0 / layout.white);
        ExpectInPlace(d, destination);
        return true;
    }

    bool Copy(const HostImage& source, HostImage& destination) override {
        const Layout& from = source.GetLayout();
        const Layout& to = destination.GetLayout();
        if (from.channels != 4 || to.channels != 4) return false;
        cv::Mat s = Wrap(source), d = Wrap(destination);
        int fromTo[8];
        for (int c = 0; c < 4; ++c) {
            fromTo[2 * c] = from.slot[c];
            fromTo[2 * c + 1] = to.slot[c];
        }
        const int toType = CV_MAKETYPE(to.isFloat ? CV_32F : CV_8U, 4);
        const double scale = double(to.white) / double(from.white);
        // The channels are reordered on the 8-bit side, where there are fewer bytes to move.
        if (from.isFloat) {
            s.convertTo(fBytes, toType, scale);
            cv::mixChannels(&fBytes, 1, &d, 1, fromTo, 4);
        } else {
            fBytes.create(s.size(), s.type());
            cv::mixChannels(&s, 1, &fBytes, 1, fromTo, 4);
            fBytes.convertTo(d, toType, scale);
        }
        ExpectInPlace(d, destination);
        return true;
    }

    bool Resize(const HostImage& source, HostImage& destination) override {
        cv::Mat s = Wrap(source), d = Wrap(destination);
        cv::resize(s, d, d.size(), 0.0, 0.0, cv::INTER_LINEAR);
        ExpectInPlace(d, destination);
        return true;
    }

    bool Clear(HostImage& destination, const Colour& colour) override {
        cv::Mat d = Wrap(destination);
        d.setTo(ToScalar(colour, destination.GetLayout(), false));
        ExpectInPlace(d, destination);
        return true;
    }

    bool RenderMask(const HostImage& mask, const HostImage& image, HostImage& destination,
                    const Colour& colour) override {
        const Layout& layout = image.GetLayout();
        cv::Mat m = Wrap(mask), i = Wrap(image), d = Wrap(destination);
        // t = colour.a * mask.a, and 1 - t, as float weights.
        cv::extractChannel(m, fChannel, mask.GetLayout().AlphaSlot());
        fChannel.convertTo(fWeight, CV_32F, double(colour.a) / mask.GetLayout().white);
        cv::subtract(cv::Scalar::all(1.0), fWeight, fInverse);
        // The colour as an opaque image: blendLinear takes images only.
        fColour.create(i.size(), i.type());
        fColour.setTo(ToScalar(colour, layout, true));
        cv::blendLinear(fColour, i, fWeight, fInverse, d);
        ExpectInPlace(d, destination);
        return true;
    }

    bool GetLuma(const HostImage& source, HostImage& luma) override {
        const Layout& layout = source.GetLayout();
        cv::Mat s = Wrap(source), l = Wrap(luma);
        cv::Mat f = s;
        if (!layout.isFloat) {
            s.convertTo(fFloats, CV_32FC4, 1.0 / layout.white);
            f = fFloats;
        }
        cv::Matx14f weights(0.0f, 0.0f, 0.0f, 0.0f);
        weights(0, layout.slot[0]) = 0.30f;
        weights(0, layout.slot[1]) = 0.59f;
        weights(0, layout.slot[2]) = 0.11f;
        cv::transform(f, fLuma, weights);
        cv::extractChannel(f, fChannel, layout.AlphaSlot());
        cv::multiply(fLuma, fChannel, fLuma);
        // The luma buffer keeps its rows bottom-up, the frame top-down.
        cv::flip(fLuma, l, 0);
        ExpectInPlace(l, luma);
        return true;
    }

    // The formula on float copies, channel by channel where alpha differs from colour.
    bool Blend(const HostImage& front, const HostImage& back, HostImage& destination,
               int mode) override {
        if (mode != 0 && mode != 3 && mode != 4) return false;
        const Layout& layout = front.GetLayout();
        const int a = layout.AlphaSlot();
        auto premultiplied = [&](const HostImage& image, cv::Mat& floats, cv::Mat& alpha) {
            Wrap(image).convertTo(floats, CV_32FC4, 1.0 / layout.white);
            cv::extractChannel(floats, alpha, a);
            cv::split(floats, fPlanes);
            for (int c = 0; c < 4; ++c)
                if (c != a) cv::multiply(fPlanes[c], alpha, fPlanes[c]);
            cv::merge(fPlanes, 4, floats);
        };
        premultiplied(front, fFront, fFrontAlpha);
        premultiplied(back, fBack, fBackAlpha);
        cv::split(fFront, fPlanes);
        cv::split(fBack, fBackPlanes);
        for (int c = 0; c < 4; ++c) {
            cv::Mat& f = fPlanes[c];
            const cv::Mat& b = fBackPlanes[c];
            if (mode == 3) {
                cv::multiply(f, b, f);
            } else if (c == a) {
                if (mode == 0) cv::add(f, b, f); // over: fg.a + bg.a; screen keeps fg.a
            } else if (mode == 0) {
                // fg * fg.a + bg * (1 - fg.a) = (fg - bg) * fg.a + bg
                cv::subtract(f, b, f);
                cv::multiply(f, fFrontAlpha, f);
                cv::add(f, b, f);
            } else {
                // fg + bg * (1 - fg) = fg + bg - fg * bg
                cv::multiply(f, b, fProduct);
                cv::add(f, b, f);
                cv::subtract(f, fProduct, f);
            }
            cv::min(f, 1.0, f);
            cv::max(f, 0.0, f);
        }
        // Where alpha is 0 the colour stays as it is.
        fPlanes[a].copyTo(fDenominator);
        fDenominator.setTo(1.0, fPlanes[a] <= 0.0f);
        for (int c = 0; c < 4; ++c)
            if (c != a) cv::divide(fPlanes[c], fDenominator, fPlanes[c]);
        cv::merge(fPlanes, 4, fFront);
        cv::Mat d = Wrap(destination);
        fFront.convertTo(d, d.type(), layout.white);
        ExpectInPlace(d, destination);
        return true;
    }

    bool GaussianBlur(const HostImage& source, HostImage& destination, float width,
                      float spread) override {
        cv::Mat s = Wrap(source), d = Wrap(destination);
        const int n = static_cast<int>(GaussianWeights(width, spread).size());
        const double sigma = double(spread) * width / 2.0;
        cv::GaussianBlur(s, d, cv::Size(n, n), sigma, sigma, cv::BORDER_REPLICATE);
        ExpectInPlace(d, destination);
        return true;
    }
    bool BoxBlur(const HostImage& source, HostImage& destination, float width) override {
        cv::Mat s = Wrap(source), d = Wrap(destination);
        const std::vector<float> k = BoxWeights(width);
        const cv::Mat kernel(1, int(k.size()), CV_32F, const_cast<float*>(k.data()));
        // A whole width is OpenCV's own box; a fractional one needs its cut end taps.
        if (float(k.size()) == width)
            cv::boxFilter(s, d, -1, cv::Size(int(k.size()), int(k.size())), cv::Point(-1, -1), true,
                          cv::BORDER_REPLICATE);
        else
            cv::sepFilter2D(s, d, -1, kernel, kernel.t(), cv::Point(-1, -1), 0,
                            cv::BORDER_REPLICATE);
        ExpectInPlace(d, destination);
        return true;
    }

    // The centre of a w-pixel row is (w - 1) / 2 where pixel centres are whole numbers; the
    // angle is counter-clockwise as the picture is seen.
    bool Transform(const HostImage& source, HostImage& destination, int filter) override {
        cv::Mat s = Wrap(source), d = Wrap(destination);
        const cv::Point2f centre((s.cols - 1) / 2.0f, (s.rows - 1) / 2.0f);
        const cv::Mat m = cv::getRotationMatrix2D(centre, -kTurn, kScale);
        const int flags[] = {cv::INTER_NEAREST, cv::INTER_LINEAR, cv::INTER_LANCZOS4};
        cv::warpAffine(s, d, m, d.size(), flags[filter], cv::BORDER_CONSTANT, cv::Scalar::all(0));
        ExpectInPlace(d, destination);
        return true;
    }

private:
    cv::Mat fFactor, fBytes, fChannel, fWeight, fInverse, fColour, fFloats, fLuma;
    cv::Mat fFront, fBack, fFrontAlpha, fBackAlpha, fProduct, fDenominator, fPlanes[4],
        fBackPlanes[4];
};

} // namespace

std::unique_ptr<Implementation> MakeOpenCV() {
    return std::unique_ptr<Implementation>(new OpenCV());
}

} // namespace tesk_bench

#else

namespace tesk_bench {
std::unique_ptr<Implementation> MakeOpenCV() {
    return nullptr;
}
} // namespace tesk_bench

#endif
