// The CPU side of the basic operations: queries and arithmetic on the library's float buffers.
#include "common/Shared.h"
#include "ops/BasicOps.h"
#include "common/Implementation/Prologue.h"

#include <algorithm>

namespace OGL_TESK_AE {

namespace {

// Visits every pixel of a buffer's rows until visit returns true; whether it did.
template <class PixelType, class Visit>
bool AnyPixel(const Buffer<PixelType>* buffer, Visit visit) {
    // IsValid also refuses rows shorter than their pixels, which walking by the row bytes would
    // take past the end of the buffer's memory.
    if (!IsValid(buffer)) return false;
    const int width = buffer->GetWidth();
    for (int y = 0; y < buffer->GetHeight(); ++y) {
        const PixelType* row = buffer->Row(y);
        for (int x = 0; x < width; ++x)
            if (visit(row[x])) return true;
    }
    return false;
}

float Luma(const RGBAPixelType<float>& p) {
    return 0.30f * p.r + 0.59f * p.g + 0.11f * p.b;
}

} // namespace

bool HasAlpha(const Buffer<RGBAPixelType<float>>* buffer) {
    return AnyPixel(buffer, [](const RGBAPixelType<float>& p) { return p.a < 1.0f; });
}

bool HasAlpha(const Buffer<LumaPixelType<float>>* buffer) {
    return AnyPixel(buffer, [](const LumaPixelType<float>& p) { return p.luma < 1.0f; });
}

bool HasAlpha(const Buffer<AlphaPixelType<float>>* buffer) {
    return AnyPixel(buffer, [](const AlphaPixelType<float>& p) { return p.alpha < 1.0f; });
}

bool HasLuma(const Buffer<RGBAPixelType<float>>* buffer) {
    // "Not <= 0" on purpose: a NaN channel counts as luma.
    return AnyPixel(buffer, [](const RGBAPixelType<float>& p) {
        return !(p.r <= 0.0f) || !(p.g <= 0.0f) || !(p.b <= 0.0f);
    });
}

float MaxLuma(const Buffer<RGBAPixelType<float>>* buffer) {
    float largest = 0.0f;
    AnyPixel(buffer, [&largest](const RGBAPixelType<float>& p) {
        largest = std::max(largest, Luma(p));
        return false;
    });
    return largest;
}

namespace {

void InvertOnWorker(const Buffer<LumaPixelType<float>>* source,
                    Buffer<LumaPixelType<float>>* destination) {
    if (Dispatch(&InvertOnWorker, source, destination)) return;
    const int width = std::min(source->GetWidth(), destination->GetWidth());
    const int height = std::min(source->GetHeight(), destination->GetHeight());
    for (int y = 0; y < height; ++y) {
        const LumaPixelType<float>* in = source->Row(y);
        LumaPixelType<float>* out = destination->Row(y);
        for (int x = 0; x < width; ++x) out[x].luma = 1.0f - in[x].luma;
    }
}

} // namespace

void Invert(const Buffer<LumaPixelType<float>>* source, Buffer<LumaPixelType<float>>* destination) {
    if (!Prologue({{source, "source buffer"}, {destination, "destination buffer"}})) return;
    InvertOnWorker(source, destination);
}

} // namespace OGL_TESK_AE
