#pragma once

#include "common/Export.h"

namespace OGL_TESK_AE {

// Puts the current context into the library's default state: alpha blending, no alpha or
// depth test, no culling, all channels written, the default light model and material, every
// texture unit unbound with an identity texture matrix, unit 0 active, no client arrays, and
// identity projection and model-view matrices. Worker thread only.
TESK_API void SetDefault();

} // namespace OGL_TESK_AE
