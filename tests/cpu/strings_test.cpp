#include "common/String.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>

using OGL_TESK_AE::String;

namespace {

template <class T> std::string Text(const T& value) {
    return ::testing::PrintToString(value);
}
std::string Text(const String& s) {
    return s.str();
}

// The text a call gave, the text it should give, and the call.
using Row = std::tuple<std::string, const char*, const char*>;
#define ROW(expr, expected) Row(Text(expr), expected, #expr)

} // namespace

TEST(String, CallsGiveTheirTexts) {
    const String hello("Hello World"), abc("abc"), path("a\\b/c"), plain("plain");
    const auto copy = [](const String& s) { return String(s); }; // the copy constructor runs
    const auto fixed = [](String s) { return s.FixPath(), s; };
    // What a cutting call returns, then what it leaves: "removed|rest".
    const auto cut = [](String s, String (String::*f)()) {
        return String((s.*f)().str() + "|" + s.str());
    };
    const Row rows[] = {
        ROW(String("%s-%03d-%.2f", "a", 7, 1.5), "a-007-1.50"),
        ROW(String(static_cast<const char*>(nullptr)), ""),
        ROW(String("keep").Format(static_cast<const char*>(nullptr)), "keep"),
        ROW(String("%5000s", "x").GetLength(), "4095"),               // the scratch buffer's limit
        ROW(copy(String(std::string("ab\0cd", 5))).GetLength(), "2"), // stops at the zero
        ROW(hello.Find('o', 5), "7"), ROW(hello.ReverseFind('l'), "9"),
        ROW(hello.Contains(nullptr), "false"), ROW(String().Contains(""), "false"),
        ROW(String("50%%").IsContainedIn("at 50%% now"), "true"), // the text is formatted first
        ROW(String("50%%%%").IsContainedIn("at 50%% now"), "false"), ROW(abc.EndsWith(""), "false"),
        ROW(abc.EndsWith("xabc"), "false"), ROW(abc.Left(-3), ""), ROW(abc.Mid(3, 5), ""),
        ROW(String("hellolo").Replace("lo", "L"), "helLL"),
        ROW(String("a\\\\\\\\b").Replace("\\\\", "\\"), "a\\b"), // restarts from the front
        ROW(String("a-b_c").Replace("-_", ' '), "a b c"), ROW(fixed("a//b\\\\c"), "a/b\\c"),
        ROW(path.Path(), "a\\b/"), ROW(path.FileName(), "c"), ROW(plain.Path(), ""),
        ROW(plain.FileName(), "plain"), ROW(String("dir/file.TXT").Extension(), "txt"),
        ROW(String("README").RemoveExtension(), ""),
        ROW(String("x.tga").ReplaceFileExtension("png"), "x.png"),
        ROW(String("x.tga").ReplaceFileExtension(".png"), "x.png"),
        // With both kinds present, the later of the two first separators splits the path.
        ROW(cut("shaders\\sub/x.fx", &String::RemoveFirstSubDir), "shaders\\sub|x.fx"),
        ROW(cut("file", &String::RemoveFirstSubDir), "|file"),
        ROW(cut("a\\b\\c\\f.txt", &String::RemoveLastSubDir), "c|a\\b\\f.txt"),
        ROW(cut("f.txt", &String::RemoveLastSubDir), "|f.txt")};
    for (const auto& [got, expected, call] : rows) EXPECT_EQ(got, expected) << call;
    EXPECT_THROW(abc.Mid(4, 1), std::out_of_range);
}
