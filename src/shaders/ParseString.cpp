#include "shaders/ParseString.h"

#include <cstring>

namespace OGL_TESK_AE {

namespace {

// strchr also finds the terminating zero; a NUL is never a member of a set here.
bool InSet(const char* set, char c) {
    return c != '\0' && std::strchr(set, c) != nullptr;
}

} // namespace

ParseString::ParseString(const char* text) {
    fLength = text ? std::strlen(text) : 0;
    fText.assign(fLength + 1, '\0');
    if (fLength) std::memcpy(fText.data(), text, fLength);
}

ParseString::~ParseString() = default;

char* ParseString::GetNext(const char* delims, const char* lead, bool skipOpen) {
    if (!delims) return fStart <= fLength ? fText.data() + fStart : nullptr;
    const bool separateLead = lead != nullptr;
    if (!lead) lead = delims;
    fStart = fCursor;
    bool leading = true;
    for (; fCursor < fLength; ++fCursor) {
        const char c = fText[fCursor];
        if (leading) {
            if (InSet(lead, c)) continue;
            leading = false;
            fStart = fCursor;
            if (separateLead && (skipOpen || InSet(delims, c))) fStart = fCursor + 1;
        } else if (fCursor >= fStart && InSet(delims, c)) {
            fText[fCursor++] = '\0';
            return fText.data() + fStart;
        }
    }
    fCursor = fLength + 1;
    return fStart < fLength ? fText.data() + fStart : nullptr;
}

bool ParseString::HasDelim(const char* chars) const {
    if (!chars) return false;
    for (size_t i = fCursor; i < fLength; ++i)
        if (InSet(chars, fText[i])) return true;
    return false;
}

bool ParseString::NextIsOneOf(const char* chars, const char* lead) const {
    size_t i = fCursor;
    while (i < fLength && lead && InSet(lead, fText[i])) ++i;
    return i < fLength && chars && InSet(chars, fText[i]);
}

} // namespace OGL_TESK_AE
