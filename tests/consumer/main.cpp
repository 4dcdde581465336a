// A plug-in's use of an installed copy of the library: its own frame behind XIImage, one
// operation, the reason it gives for a refusal, and the use count around it all. Built by the
// installed_library test through both find_package and pkg-config; the README shows the same steps.
#include "common/Reason.h"
#include "common/StaticList.h"
#include "common/XIImage.h"
#include "ops/BasicOps.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// A host frame of float RGBA pixels, top row first, as many hosts keep them.
class Frame final : public XIImage {
public:
    Frame(int width, int height) : fWidth(width), fHeight(height), fPixels(4u * width * height) {}

    float* Pixel(int x, int y) { return &fPixels[4u * (static_cast<unsigned>(y) * fWidth + x)]; }

    bool IsReadOnly() const override { return false; }
    int32_t GetWidth() const override { return fWidth; }
    int32_t GetHeight() const override { return fHeight; }
    int32_t GetRowBytes() const override { return fWidth * 4 * sizeof(float); }
    void* GetBaseAddress() const override { return const_cast<float*>(fPixels.data()); }
    int32_t GetColorSpace() const override { return OGL_TESK_AE::ColorSpaceCode::kRGBA; }
    int32_t GetBitDepth() const override { return 128; }
    int32_t GetWhiteLevel() const override { return 1; }
    bool IsBottomUp() const override { return false; }
    void* GetNative() const override { return nullptr; }

private:
    int32_t fWidth, fHeight;
    std::vector<float> fPixels;
};

} // namespace

int main() {
    // Once when the plug-in starts using the library; the matching Decrement lets it release
    // the card and end its worker thread.
    TESK_AE::StaticList::Increment();

    Frame source(3, 2), destination(3, 2);
    const float colour[4] = {1.0f, 0.5f, 0.25f, 0.5f};
    for (int i = 0; i < 4; ++i) source.Pixel(2, 1)[i] = colour[i];

    // Called directly, an operation is handed to the library's worker thread and returns when
    // it is done; no exception crosses back. One that did nothing or failed says why.
    Frame empty(0, 2);
    OGL_TESK_AE::Premultiply(&source, &empty);
    if (std::strcmp(OGL_TESK_AE::LastOperationReason(), "destination image: width 0") != 0) {
        std::fprintf(stderr, "refused with \"%s\"\n", OGL_TESK_AE::LastOperationReason());
        TESK_AE::StaticList::Decrement();
        return 1;
    }
    OGL_TESK_AE::Premultiply(&source, &destination);
    if (*OGL_TESK_AE::LastOperationReason()) {
        std::fprintf(stderr, "Premultiply failed: %s\n", OGL_TESK_AE::LastOperationReason());
        TESK_AE::StaticList::Decrement();
        return 1;
    }

    const float* result = destination.Pixel(2, 1);
    const float expected[4] = {0.5f, 0.25f, 0.125f, 0.5f};
    int status = 0;
    for (int i = 0; i < 4; ++i) {
        if (std::fabs(result[i] - expected[i]) > 1e-3f) status = 1;
    }
    if (status != 0) {
        std::fprintf(stderr, "Premultiply gave %g %g %g %g\n", result[0], result[1], result[2],
                     result[3]);
    }

    TESK_AE::StaticList::Decrement();
    return status;
}
