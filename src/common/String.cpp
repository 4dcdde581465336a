#include "common/String.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

namespace OGL_TESK_AE {

namespace {

constexpr size_t kScratchBytes = 4096;

std::string FormatArgs(const char* format, va_list args) {
    std::unique_ptr<char[]> scratch(new char[kScratchBytes]);
    const int n = std::vsnprintf(scratch.get(), kScratchBytes, format, args);
    if (n < 0) return std::string();
    return std::string(scratch.get(), std::min(static_cast<size_t>(n), kScratchBytes - 1));
}

int Larger(std::string::size_type a, std::string::size_type b) {
    const int ia = a == std::string::npos ? -1 : static_cast<int>(a);
    const int ib = b == std::string::npos ? -1 : static_cast<int>(b);
    return std::max(ia, ib);
}

} // namespace

String::String(const String& other) : fText(other.fText.c_str()) {}

String::String(const char* format, ...) {
    if (!format) return;
    va_list args;
    va_start(args, format);
    fText = FormatArgs(format, args);
    va_end(args);
}

String::~String() = default;

String& String::operator=(const String& other) {
    fText = other.fText;
    return *this;
}

String& String::Format(const char* format, ...) {
    if (!format) return *this;
    va_list args;
    va_start(args, format);
    fText = FormatArgs(format, args);
    va_end(args);
    return *this;
}

String& String::MakeLower() {
    for (char& c : fText) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return *this;
}

String& String::MakeUpper() {
    for (char& c : fText) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return *this;
}

int String::Find(char c, int start) const {
    if (start < 0) start = 0;
    const auto p = fText.find(c, static_cast<size_t>(start));
    return p == std::string::npos ? -1 : static_cast<int>(p);
}

int String::ReverseFind(char c) const {
    const auto p = fText.rfind(c);
    return p == std::string::npos ? -1 : static_cast<int>(p);
}

bool String::Contains(const char* text) const {
    if (fText.empty() || !text) return false;
    return fText.find(text) != std::string::npos;
}

bool String::IsContainedIn(const char* text) const {
    if (fText.empty() || !text) return false;
    // The text goes through formatting first, as every C string entering a String does.
    const String other(text);
    return other.fText.find(fText) != std::string::npos;
}

bool String::EndsWith(const char* text) const {
    if (!text) return false;
    const size_t n = std::strlen(text);
    if (n == 0 || n > fText.size()) return false;
    return fText.compare(fText.size() - n, n, text) == 0;
}

String String::Left(int count) const {
    if (count < 1) return String();
    return String(fText.substr(0, static_cast<size_t>(count)));
}

String String::Mid(int start, int count) const {
    // std::string::substr throws std::out_of_range for a start beyond the end, as wanted.
    const size_t n = count < 0 ? 0 : static_cast<size_t>(count);
    return String(fText.substr(static_cast<size_t>(start), n));
}

String String::Replace(const char* from, const char* to) const {
    std::string text = fText;
    if (!from || !*from) return String(text);
    const std::string replacement = to ? to : "";
    const size_t n = std::strlen(from);
    // Restart from the beginning after each replacement: "\\\\\\\\" with "\\\\" -> "\\" ends as
    // one backslash. A replacement that contains `from` would never end, so it is refused.
    if (replacement.find(from) != std::string::npos) return String(text);
    for (size_t p = text.find(from); p != std::string::npos; p = text.find(from))
        text.replace(p, n, replacement);
    return String(text);
}

String String::Replace(const char* chars, char with) const {
    std::string text = fText;
    if (chars)
        for (char& c : text)
            if (c != '\0' && std::strchr(chars, c)) c = with;
    return String(text);
}

int String::LastSeparator() const {
    return Larger(fText.rfind('\\'), fText.rfind('/'));
}

int String::FirstSeparator() const {
    return Larger(fText.find('\\'), fText.find('/'));
}

void String::FixPath() {
    *this = Replace("\\\\", "\\");
    *this = Replace("//", "/");
}

String String::Path() const {
    return Left(LastSeparator() + 1);
}

String String::FileName() const {
    const int p = LastSeparator();
    return Mid(p + 1, GetLength() - p);
}

String String::Extension() const {
    const int q = ReverseFind('.');
    String ext = Mid(q + 1, GetLength() - (q + 1));
    ext.MakeLower();
    return ext;
}

String& String::RemoveExtension() {
    *this = Left(ReverseFind('.'));
    return *this;
}

String& String::ReplaceFileExtension(const char* ext) {
    RemoveExtension();
    if (!ext) return *this;
    if (ext[0] != '.') fText += '.';
    fText += ext;
    return *this;
}

String String::RemoveFirstSubDir() {
    const int p = FirstSeparator();
    if (p < 0) return String();
    String first = Left(p);
    *this = Mid(p + 1, GetLength());
    return first;
}

String String::RemoveLastSubDir() {
    FixPath();
    const int p = LastSeparator();
    if (p < 0) return String();
    const String dir = Left(p);
    const String file = Mid(p + 1, GetLength());
    const int q = 1 + dir.LastSeparator();
    String last = dir.Mid(q, dir.GetLength());
    fText = dir.Left(q).fText + file.fText;
    return last;
}

} // namespace OGL_TESK_AE
