#include "gl/state/Push.h"

namespace OGL_TESK_AE {

template class Push<Color>;

} // namespace OGL_TESK_AE
