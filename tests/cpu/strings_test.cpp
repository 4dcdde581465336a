#include "common/String.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using OGL_TESK_AE::String;

namespace {
std::string S(const String& s) {
    return static_cast<const char*>(s);
}
} // namespace

TEST(String, FormatsLikePrintf) {
    EXPECT_EQ(S(String("%s-%03d-%.2f", "a", 7, 1.5)), "a-007-1.50");
    EXPECT_EQ(S(String("100%%")), "100%");
    EXPECT_EQ(S(String(static_cast<const char*>(nullptr))), "");
    String s("keep");
    s.Format(static_cast<const char*>(nullptr));
    EXPECT_EQ(S(s), "keep");
    EXPECT_EQ(S(s.Format("%d", 42)), "42");
    // The scratch buffer holds 4,095 characters and the terminating zero.
    EXPECT_EQ(String("%5000s", "x").GetLength(), 4095);
}

TEST(String, CopyStopsAtFirstZeroByte) {
    const String withZero(std::string("ab\0cd", 5));
    EXPECT_EQ(withZero.GetLength(), 5);
    const String copy(withZero);
    EXPECT_EQ(copy.GetLength(), 2);
}

TEST(String, SearchAndCase) {
    String s("Hello World");
    EXPECT_EQ(s.Find('o', 0), 4);
    EXPECT_EQ(s.Find('o', 5), 7);
    EXPECT_EQ(s.Find('z', 0), -1);
    EXPECT_EQ(s.FindFirst('l'), 2);
    EXPECT_EQ(s.ReverseFind('l'), 9);
    EXPECT_EQ(s.ReverseFind('z'), -1);
    EXPECT_TRUE(s.Contains("lo W"));
    EXPECT_FALSE(s.Contains(nullptr));
    EXPECT_FALSE(String().Contains(""));
    EXPECT_TRUE(String("World").IsContainedIn("Hello World"));
    EXPECT_TRUE(String("50%%").IsContainedIn("at 50%% now")); // the text is formatted first
    EXPECT_FALSE(String("50%%%%").IsContainedIn("at 50%% now"));
    EXPECT_FALSE(String().IsContainedIn("x"));
    EXPECT_EQ(S(String("MiXeD").MakeLower()), "mixed");
    EXPECT_EQ(S(String("MiXeD").MakeUpper()), "MIXED");
    EXPECT_TRUE(String("abc").EndsWith("bc"));
    EXPECT_FALSE(String("abc").EndsWith(""));
    EXPECT_FALSE(String("abc").EndsWith("xabc"));
    EXPECT_FALSE(String("abc").EndsWith(nullptr));
}

TEST(String, SubstringsAndReplacement) {
    const String abc("abc");
    EXPECT_EQ(S(abc.Left(0)), "");
    EXPECT_EQ(S(abc.Left(-3)), "");
    EXPECT_EQ(S(abc.Left(2)), "ab");
    EXPECT_EQ(S(abc.Left(10)), "abc");
    EXPECT_EQ(S(abc.Mid(1, 1)), "b");
    EXPECT_EQ(S(abc.Mid(3, 5)), "");
    EXPECT_THROW(abc.Mid(4, 1), std::out_of_range);
    EXPECT_EQ(S(String("hello").Replace("lo", "L")), "helL");
    EXPECT_EQ(S(String("hellolo").Replace("lo", "L")), "helLL");
    // Replacement restarts from the front, so runs collapse completely.
    EXPECT_EQ(S(String("a\\\\\\\\b").Replace("\\\\", "\\")), "a\\b");
    EXPECT_EQ(S(String("a-b_c").Replace("-_", ' ')), "a b c");
    EXPECT_EQ(S(String("hello").Replace("lo", 'L')), "heLLL");
    String e("x");
    e.Empty();
    EXPECT_EQ(e.GetLength(), 0);
}

TEST(String, Paths) {
    String p("a//b\\\\c");
    p.FixPath();
    EXPECT_EQ(S(p), "a/b\\c");
    EXPECT_EQ(S(String("a\\b/c").Path()), "a\\b/");
    EXPECT_EQ(S(String("a\\b/c").FileName()), "c");
    EXPECT_EQ(S(String("plain").Path()), "");
    EXPECT_EQ(S(String("plain").FileName()), "plain");
    EXPECT_EQ(S(String("dir/file.TXT").Extension()), "txt");
    EXPECT_EQ(S(String("README").Extension()), "readme");
    String readme("README");
    EXPECT_EQ(S(readme.RemoveExtension()), "");
    String x("x.tga"), y("x.tga");
    EXPECT_EQ(S(x.ReplaceFileExtension("png")), "x.png");
    EXPECT_EQ(S(y.ReplaceFileExtension(".png")), "x.png");

    String first("shaders/sub/x.fx");
    EXPECT_EQ(S(first.RemoveFirstSubDir()), "shaders");
    EXPECT_EQ(S(first), "sub/x.fx");
    // With both kinds present, the later of the two first separators splits the path.
    String mixed("shaders\\sub/x.fx");
    EXPECT_EQ(S(mixed.RemoveFirstSubDir()), "shaders\\sub");
    EXPECT_EQ(S(mixed), "x.fx");
    String none("file");
    EXPECT_EQ(S(none.RemoveFirstSubDir()), "");
    EXPECT_EQ(S(none), "file");

    String last("a/b/c/f.txt");
    EXPECT_EQ(S(last.RemoveLastSubDir()), "c");
    EXPECT_EQ(S(last), "a/b/f.txt");
    String lastBack("a\\b\\c\\f.txt");
    EXPECT_EQ(S(lastBack.RemoveLastSubDir()), "c");
    EXPECT_EQ(S(lastBack), "a\\b\\f.txt");
    String shortPath("c/f");
    EXPECT_EQ(S(shortPath.RemoveLastSubDir()), "c");
    EXPECT_EQ(S(shortPath), "f");
    String flat("f.txt");
    EXPECT_EQ(S(flat.RemoveLastSubDir()), "");
    EXPECT_EQ(S(flat), "f.txt");
}
