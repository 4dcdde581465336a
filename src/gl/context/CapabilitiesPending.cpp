// Stand-in answers until the context module's capability queries arrive; that module replaces
// this file.
#include "gl/context/Capabilities.h"

namespace OGL_TESK_AE {

bool IsFloatSupported() {
    return true;
}
bool IsHalfFloatSupported() {
    return true;
}

} // namespace OGL_TESK_AE
