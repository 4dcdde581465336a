#pragma once

#include "common/Export.h"

namespace OGL_TESK_AE {

// Why the last image operation called on this thread did nothing or threw: a sentence naming
// the argument it could not use ("destination image: width 0"), or the library's own text for
// a failure on the worker. Empty when the last operation ran as asked. Every exported image
// operation sets it afresh when it starts; the text stays valid until the thread's next one.
TESK_API const char* LastOperationReason();

} // namespace OGL_TESK_AE
