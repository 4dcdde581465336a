#pragma once

#include "common/Export.h"

namespace OGL_TESK_AE {

// Whether the context's extension strings (OpenGL's, then the display's) contain name anywhere.
// May be called from any thread: the query runs on the worker.
TESK_API bool IsExtensionSupported(const char* name);

// Asked once per process and cached.
TESK_API bool IsFloatSupported();
TESK_API bool IsHalfFloatSupported();
TESK_API bool IsFrameBufferSupported();
// Whether the card keeps 16-bit integer textures; on the worker thread only.
TESK_API bool IsShortSupported();

} // namespace OGL_TESK_AE
