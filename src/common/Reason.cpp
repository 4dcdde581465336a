#include "common/Reason.h"

#include "common/Implementation/Prologue.h"

namespace OGL_TESK_AE {

namespace {
// Per calling thread: a host thread reads what its own calls left, never another caller's.
thread_local std::string tReason;
} // namespace

const char* LastOperationReason() {
    return tReason.c_str();
}

bool Prologue(std::initializer_list<Operand> required) {
    tReason.clear();
    for (const Operand& operand : required) {
        if (IsValid(operand.image)) continue;
        tReason = std::string(operand.name) + ": " + WhyInvalid(operand.image);
        return false;
    }
    return true;
}

void Refuse(const std::string& reason) {
    tReason = reason;
}

} // namespace OGL_TESK_AE
