#include "common/Debug.h"

namespace OGL_TESK_AE {

Debug::Debug(unsigned char level) : fLevel(level) {}
Debug::Debug(const Debug& other) = default;
Debug& Debug::operator=(const Debug& other) = default;
void Debug::Sample() {}
void Debug::Log() const {}
void Debug::Difference(const Debug&) const {}

} // namespace OGL_TESK_AE
