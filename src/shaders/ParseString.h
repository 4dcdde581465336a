#pragma once

#include "common/Export.h"

#include <cstddef>
#include <vector>

namespace OGL_TESK_AE {

// Tokenizes one line in place. Each token is terminated inside the object's own copy of the
// line, so earlier tokens stay valid as long as the object lives.
class TESK_API ParseString {
public:
    explicit ParseString(const char* text);
    ~ParseString();
    ParseString(const ParseString&) = delete;
    ParseString& operator=(const ParseString&) = delete;

    // The next token: characters of lead (null: of delims) are skipped, then the token runs to
    // the next character of delims, which is overwritten. With a separate lead set the first
    // character after the skipped ones is an opening mark and is skipped as well when
    // skipOpen is set, or when it is itself a delimiter. Null when nothing is left; a rest made
    // of lead characters only is returned as it is. A null delims returns the current token.
    char* GetNext(const char* delims, const char* lead = nullptr, bool skipOpen = false);

    // Whether any character from the cursor to the end belongs to chars.
    bool HasDelim(const char* chars) const;
    // Whether the first character from the cursor that is not in lead belongs to chars.
    bool NextIsOneOf(const char* chars, const char* lead) const;

private:
    std::vector<char> fText;
    size_t fLength = 0;
    size_t fStart = 0;
    size_t fCursor = 0;
};

} // namespace OGL_TESK_AE
