#include "shaders/FileEncryptor.h"
#include "shaders/ParseFile.h"
#include "shaders/ParseString.h"
#include "shaders/Implementation/Tea.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace OGL_TESK_AE;

namespace {

std::string Lines(ParseFile& file) {
    std::string all;
    char line[1024];
    while (int n = file.GetNextLine(line, sizeof line))
        all += (all.empty() ? "" : "|") + std::string(line, static_cast<size_t>(n));
    return all;
}

std::string TempFile(const std::string& name, const std::string& bytes) {
    const std::string path = ::testing::TempDir() + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

} // namespace

TEST(ShaderReader, LinesPlainAndEnciphered) {
    // Texts handed over in memory are recognised as enciphered by the characters after the
    // header line; program texts begin "!!ARBfp1" or "!!ARBvp1", whose first enciphered byte
    // must not occur in the header line. Other texts may not be recognised in memory.
    const std::string longLine(1500, 'x');
    const struct {
        std::string head, text, lines;
    } rows[] = {
        {"!!ARBfp1.0", "a\r\nb\nc\rd", "a|b|c|d"},
        {"!!ARBvp1.0", "\n\r\n\nx\n\n\r", "x"},
        {"!!ARBfp1.0", "", ""},
        {"!!ARBvp1.0", "odd length text\n!", "odd length text|!"},
        {"!!ARBfp1.0", longLine + "\nb", std::string(1023, 'x') + "|b"},
    };
    for (const auto& row : rows) {
        const std::string text = row.head + "\n" + row.text;
        const std::string lines = row.head + (row.lines.empty() ? "" : "|") + row.lines;
        ParseFile plain(text.data(), text.size());
        EXPECT_EQ(Lines(plain), lines) << row.text;
        const std::string sealed = CFileEncryptor::Encipher(text);
        ParseFile memory(sealed.data(), sealed.size());
        ParseFile file(TempFile("sealed.txt", sealed).c_str());
        EXPECT_EQ(Lines(memory), lines) << row.text;
        EXPECT_EQ(Lines(file), lines) << row.text;
        std::string back;
        ASSERT_TRUE(CFileEncryptor::Decipher(sealed, back));
        EXPECT_EQ(back, text);
    }
    ParseFile missing("/nonexistent/shader.arb");
    EXPECT_EQ(missing.Size(), 0u);
}

TEST(ShaderReader, TeaVectorsAndFileDeciphering) {
    // Published vector for the zero key, and the first block of a program under the library's
    // key (k0..k3 0x63EDE178 0x0B126835 0xE25FCC4D 0xE49BD41C), both from an independent script.
    uint32_t zero[2] = {0, 0};
    tea::EncipherBlock(zero, tea::Key{{0, 0, 0, 0}});
    EXPECT_EQ(zero[0], 0x41EA3A0Au);
    EXPECT_EQ(zero[1], 0x94BAA940u);
    const std::string sealed = CFileEncryptor::Encipher("!!ARBfp1");
    const unsigned char expected[8] = {0x45, 0xC9, 0xF8, 0xAB, 0x23, 0x3B, 0x12, 0xEC};
    ASSERT_EQ(sealed.size(), 39u);
    EXPECT_EQ(sealed.substr(0, 31), std::string(CFileEncryptor::Header()));
    EXPECT_EQ(sealed.substr(31), std::string(reinterpret_cast<const char*>(expected), 8));

    const std::string text = "!!ARBfp1.0\n# !name x\n";
    const std::string path = TempFile("sealed.arb", CFileEncryptor::Encipher(text));
    const struct {
        std::string path;
        size_t size;
        bool ok;
    } rows[] = {{path, sealed.size() + 64, true},
                {path, 40, false},
                {TempFile("plain.arb", text), 256, false},
                {"/nonexistent/x.arb", 256, false}};
    for (const auto& row : rows) {
        std::vector<char> buffer(row.size, 'z');
        EXPECT_EQ(CFileEncryptor::DecipherFile(row.path.c_str(), buffer.data(), row.size), row.ok);
        if (!row.ok) continue;
        EXPECT_EQ(std::string(buffer.data()), text);
        EXPECT_EQ(buffer.back(), '\0');
    }
    ParseFile headerOnly(CFileEncryptor::Header(), CFileEncryptor::kHeaderBytes);
    EXPECT_EQ(Lines(headerOnly), "");
}

TEST(ShaderReader, Tokenizer) {
    const char* D = " ,\t\r\n";
    const struct {
        const char* text;
        const char* delims;
        const char* lead;
        bool skipOpen;
        std::vector<const char*> tokens; // then null
    } rows[] = {
        {", ,a b", D, nullptr, false, {"a", "b"}},
        {"  ", D, nullptr, false, {"  "}},
        {" [0 1] (tex)", "[]()", D, false, {"0 1", "tex"}},
        {" Amount (percent)", "[]()", D, false, {"Amount ", "percent"}},
        {" 'a b' \"c\"", "'\"", D, true, {"a b", "c"}},
        {"\t\tleft\tright", "\t\r\n", nullptr, false, {"left", "right"}},
        {"", D, nullptr, false, {}},
    };
    for (const auto& row : rows) {
        ParseString s(row.text);
        for (const char* token : row.tokens) {
            const char* got = s.GetNext(row.delims, row.lead, row.skipOpen);
            ASSERT_NE(got, nullptr) << row.text;
            EXPECT_STREQ(got, token) << row.text;
        }
        EXPECT_EQ(s.GetNext(row.delims, row.lead, row.skipOpen), nullptr) << row.text;
    }
    ParseString s("float x [0 1]");
    EXPECT_STREQ(s.GetNext(D), "float");
    EXPECT_TRUE(s.HasDelim("[]"));
    EXPECT_FALSE(s.HasDelim("()"));
    EXPECT_STREQ(s.GetNext(nullptr), "float");
}
