#include "common/XIImage.h"

#include "common/Errors.h"

#include <cstdio>

XIImage::~XIImage() {}

namespace OGL_TESK_AE {

namespace {
char sImageError[256];
}

bool IsValid(const XIImage* image) {
    if (!image) return false;
    const int32_t width = image->GetWidth();
    if (width < 1) return false;
    if (image->GetHeight() < 1) return false;
    const int32_t bitDepth = image->GetBitDepth();
    // The row length is worked out in 32 bits, wrapping as 32-bit hardware does, so that
    // absurd sizes give the same verdict everywhere instead of undefined behaviour.
    const int32_t rowBits =
        static_cast<int32_t>(static_cast<uint32_t>(bitDepth) * static_cast<uint32_t>(width));
    if (image->GetRowBytes() < rowBits / 8) return false;
    return image->GetBaseAddress() != nullptr;
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
