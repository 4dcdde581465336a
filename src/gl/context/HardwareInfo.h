#pragma once

#include "common/Export.h"

#include <cstdint>
#include <string>

namespace OGL_TESK_AE {

// What the library found of the graphics card and its driver. Every answer is found once per
// process and kept, also when it was a default.
TESK_API const std::string GetVendor();
TESK_API const std::string GetCard();
TESK_API const std::string GetVersion();
TESK_API const std::string GetDriver();
TESK_API int32_t GetCardSeries();
TESK_API uint32_t GetCardMemorySize();
TESK_API bool IsQuadro();
TESK_API bool IsBasicQuadro();
TESK_API bool IsATI();
// The six-line report with a verdict, as plug-ins show it.
TESK_API const std::string HardwareInfoString();

namespace hardware {

// The pieces of the answers that depend only on text, kept apart so they can be checked
// against renderer names the test machine does not have.
int32_t SeriesOf(const std::string& renderer);
bool IsQuadroName(const std::string& renderer);
bool IsBasicQuadroName(const std::string& renderer);
bool IsATIName(const std::string& renderer);
std::string DriverFromVersionText(const std::string& glVersion);
std::string BuildReport(const std::string& card, const std::string& version,
                        const std::string& driver, bool textureRectangle, uint32_t memoryBytes,
                        int maxTextureSize);

// The registry key the display driver writes to.
extern const char* const kDisplayClassKey;
// The effects that stop working without a usable OpenGL card.
extern const char* const kOpenGLEffects;

} // namespace hardware

} // namespace OGL_TESK_AE
