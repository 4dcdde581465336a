#include "common/XIImage.h"

#include "common/Errors.h"

#include <cstdio>

XIImage::~XIImage() {}

namespace OGL_TESK_AE {

namespace {
char sImageError[256];
}

namespace {

// The row length is worked out in 32 bits, wrapping as 32-bit hardware does, so that absurd
// sizes give the same verdict everywhere instead of undefined behaviour.
int32_t RowBits(const XIImage* image) {
    return static_cast<int32_t>(static_cast<uint32_t>(image->GetBitDepth()) *
                                static_cast<uint32_t>(image->GetWidth()));
}

} // namespace

std::string WhyInvalid(const XIImage* image) {
    if (!image) return "missing";
    if (image->GetWidth() < 1) return "width " + std::to_string(image->GetWidth());
    if (image->GetHeight() < 1) return "height " + std::to_string(image->GetHeight());
    if (image->GetRowBytes() < RowBits(image) / 8)
        return "rows of " + std::to_string(image->GetRowBytes()) + " bytes, shorter than " +
               std::to_string(image->GetWidth()) + " pixels of " +
               std::to_string(image->GetBitDepth()) + " bits";
    if (!image->GetBaseAddress()) return "no pixels (a null base address)";
    return std::string();
}

// One set of rules for both: the verdict is whether there is anything to say against the image.
bool IsValid(const XIImage* image) {
    return WhyInvalid(image).empty();
}

void AssertValidImage(const XIImage* image, const char* name) {
    if (IsValid(image)) return;
    std::snprintf(sImageError, sizeof sImageError, "%s error.", name ? name : "");
    throw Error(sImageError);
}

void AssertOptionalImage(const XIImage* image, const char* name) {
    if (image) AssertValidImage(image, name);
}

} // namespace OGL_TESK_AE
