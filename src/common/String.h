#pragma once

#include "common/Export.h"

#include <string>

namespace OGL_TESK_AE {

// The library's text type: printf-style construction and path operations that treat both '\\'
// and '/' as separators and never add one of their own.
class TESK_API String {
public:
    String() = default;
    String(const String& other);
    String(const std::string& text) : fText(text) {}
    // The only constructor from a C string formats it; write a literal '%' as "%%".
    String(const char* format, ...) __attribute__((format(printf, 2, 3)));
    virtual ~String();

    String& operator=(const String& other);

    String& Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

    int GetLength() const { return static_cast<int>(fText.size()); }
    void Empty() { fText.clear(); }
    String& MakeLower();
    String& MakeUpper();

    int Find(char c, int start) const;
    int FindFirst(char c) const { return Find(c, 0); }
    int ReverseFind(char c) const;
    bool Contains(const char* text) const;
    bool IsContainedIn(const char* text) const;
    bool EndsWith(const char* text) const;

    String Left(int count) const;
    String Mid(int start, int count) const;
    String Replace(const char* from, const char* to) const;
    String Replace(const char* chars, char with) const;

    operator const char*() const { return fText.c_str(); }
    const std::string& str() const { return fText; }

    void FixPath();
    String Path() const;
    String FileName() const;
    String Extension() const;
    String& RemoveExtension();
    String& ReplaceFileExtension(const char* ext);
    String RemoveFirstSubDir();
    String RemoveLastSubDir();

private:
    int LastSeparator() const;
    int FirstSeparator() const;

    std::string fText;
};

} // namespace OGL_TESK_AE
