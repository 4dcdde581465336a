#include "common/String.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using OGL_TESK_AE::String;

namespace {

std::string Text(const String& s) {
    return static_cast<const char*>(s);
}
std::string Text(int n) {
    return std::to_string(n);
}
std::string Text(bool b) {
    return b ? "true" : "false";
}
String Copy(const String& s) {
    return String(s);
}
String Emptied(String s) {
    s.Empty();
    return s;
}
String Fixed(String s) {
    s.FixPath();
    return s;
}
// What a cutting call returns, then what it leaves: "removed|rest".
std::string Cut(String s, String (String::*cut)()) {
    const String removed = (s.*cut)();
    return Text(removed) + "|" + Text(s);
}

struct Row {
    const char* call;
    std::string (*run)();
    const char* expected;
};
Row MakeRow(const char* call, std::string (*run)(), const char* expected) {
    return {call, run, expected};
}
#define ROW(expr, expected)                                                                        \
    MakeRow(                                                                                       \
        #expr, [] { return Text(expr); }, expected)

} // namespace

TEST(String, CallsGiveTheirTexts) {
    const Row rows[] = {
        ROW(String("%s-%03d-%.2f", "a", 7, 1.5), "a-007-1.50"), ROW(String("100%%"), "100%"),
        ROW(String(static_cast<const char*>(nullptr)), ""),
        ROW(String("keep").Format(static_cast<const char*>(nullptr)), "keep"),
        ROW(String("keep").Format("%d", 42), "42"),
        // The scratch buffer holds 4,095 characters and the terminating zero.
        ROW(String("%5000s", "x").GetLength(), "4095"),
        // A copy stops at the first zero byte.
        ROW(String(std::string("ab\0cd", 5)).GetLength(), "5"),
        ROW(Copy(String(std::string("ab\0cd", 5))).GetLength(), "2"),
        ROW(String("Hello World").Find('o', 0), "4"), ROW(String("Hello World").Find('o', 5), "7"),
        ROW(String("Hello World").Find('z', 0), "-1"),
        ROW(String("Hello World").FindFirst('l'), "2"),
        ROW(String("Hello World").ReverseFind('l'), "9"),
        ROW(String("Hello World").ReverseFind('z'), "-1"),
        ROW(String("Hello World").Contains("lo W"), "true"),
        ROW(String("Hello World").Contains(nullptr), "false"), ROW(String().Contains(""), "false"),
        ROW(String("World").IsContainedIn("Hello World"), "true"),
        // The text is formatted first.
        ROW(String("50%%").IsContainedIn("at 50%% now"), "true"),
        ROW(String("50%%%%").IsContainedIn("at 50%% now"), "false"),
        ROW(String().IsContainedIn("x"), "false"), ROW(String("MiXeD").MakeLower(), "mixed"),
        ROW(String("MiXeD").MakeUpper(), "MIXED"), ROW(String("abc").EndsWith("bc"), "true"),
        ROW(String("abc").EndsWith(""), "false"), ROW(String("abc").EndsWith("xabc"), "false"),
        ROW(String("abc").EndsWith(nullptr), "false"), ROW(String("abc").Left(0), ""),
        ROW(String("abc").Left(-3), ""), ROW(String("abc").Left(2), "ab"),
        ROW(String("abc").Left(10), "abc"), ROW(String("abc").Mid(1, 1), "b"),
        ROW(String("abc").Mid(3, 5), ""), ROW(String("hello").Replace("lo", "L"), "helL"),
        ROW(String("hellolo").Replace("lo", "L"), "helLL"),
        // Replacement restarts from the front, so runs collapse completely.
        ROW(String("a\\\\\\\\b").Replace("\\\\", "\\"), "a\\b"),
        ROW(String("a-b_c").Replace("-_", ' '), "a b c"),
        ROW(String("hello").Replace("lo", 'L'), "heLLL"), ROW(Emptied("x").GetLength(), "0"),
        ROW(Fixed("a//b\\\\c"), "a/b\\c"), ROW(String("a\\b/c").Path(), "a\\b/"),
        ROW(String("a\\b/c").FileName(), "c"), ROW(String("plain").Path(), ""),
        ROW(String("plain").FileName(), "plain"), ROW(String("dir/file.TXT").Extension(), "txt"),
        ROW(String("README").Extension(), "readme"), ROW(String("README").RemoveExtension(), ""),
        ROW(String("x.tga").ReplaceFileExtension("png"), "x.png"),
        ROW(String("x.tga").ReplaceFileExtension(".png"), "x.png"),
        ROW(Cut("shaders/sub/x.fx", &String::RemoveFirstSubDir), "shaders|sub/x.fx"),
        // With both kinds present, the later of the two first separators splits the path.
        ROW(Cut("shaders\\sub/x.fx", &String::RemoveFirstSubDir), "shaders\\sub|x.fx"),
        ROW(Cut("file", &String::RemoveFirstSubDir), "|file"),
        ROW(Cut("a/b/c/f.txt", &String::RemoveLastSubDir), "c|a/b/f.txt"),
        ROW(Cut("a\\b\\c\\f.txt", &String::RemoveLastSubDir), "c|a\\b\\f.txt"),
        ROW(Cut("c/f", &String::RemoveLastSubDir), "c|f"),
        ROW(Cut("f.txt", &String::RemoveLastSubDir), "|f.txt")};
    for (const Row& row : rows) EXPECT_EQ(row.run(), row.expected) << row.call;
    EXPECT_THROW(String("abc").Mid(4, 1), std::out_of_range);
}
