#pragma once

// Process-wide settings a test changes for a while and must put back however it ends, an
// ASSERT's early return included.

#include "common/StaticList.h"

#include <cstdlib>
#include <string>

namespace tesk_test {

// An environment variable set (or, for null, unset) until the end of the scope, then restored.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : fName(name) {
        const char* old = std::getenv(name);
        fHad = old != nullptr;
        if (fHad) fOld = old;
        Set(value);
    }
    ~ScopedEnv() { Set(fHad ? fOld.c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    void Set(const char* value) { value ? setenv(fName, value, 1) : unsetenv(fName); }

private:
    const char* fName;
    std::string fOld;
    bool fHad = false;
};

// One use of the library given back until the end of the scope (the worker stops with the
// last), then taken again.
class UseLent {
public:
    UseLent() { TESK_AE::StaticList::Decrement(); }
    ~UseLent() { TESK_AE::StaticList::Increment(); }
    UseLent(const UseLent&) = delete;
    UseLent& operator=(const UseLent&) = delete;
};

} // namespace tesk_test
