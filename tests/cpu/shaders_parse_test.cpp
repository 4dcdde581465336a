#include "common/Errors.h"
#include "shaders/ParseFile.h"
#include "shaders/Shader.h"
#include "shaders/ShaderCatalog.h"
#include "shaders/ShaderValues.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

using namespace OGL_TESK_AE;

namespace {

// Shaders by ID, as the shader manager will hold them.
struct TestCatalog : ShaderCatalog {
    std::map<uint32_t, Shader*> shaders;
    Shader* FindShader(uint32_t id) override {
        const auto found = shaders.find(id);
        return found == shaders.end() ? nullptr : found->second;
    }
};

std::string Write(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return path;
}

// Parses text (after a program header line) as a description in a folder that has the default
// vertex program; the error text when the parse throws.
std::string Parse(Shader& shader, const std::string& text,
                  std::string target = ::testing::TempDir() + "t.arb") {
    Write("default_vert.vrb", "!!ARBvp1.0\n#var float4 pos : $vin.POSITION : ATTR0 : 0 : 1\n");
    const std::string all = "!!ARBfp1.0\n" + text;
    ParseFile file(all.data(), all.size());
    try {
        shader.Parse(file, target.c_str(), kShaderFragment, false, false);
    } catch (const Error& e) {
        return std::string("!") + e.what();
    }
    return "";
}

std::string Num(float v) {
    return std::to_string(v).substr(0, 4);
}

std::string Floats(const float* v, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += (i ? " " : "") + Num(v[i]);
    return s;
}

// One aspect of a parsed record, as text.
std::string Field(const Shader& s, const std::string& key) {
    if (key == "name") return s.Name().str() + "|" + std::to_string(s.ID());
    if (key == "category") return std::to_string(s.Type()) + " " + s.Name().str();
    if (key == "blur") {
        std::string b;
        for (int k = 0; k < 5; ++k) b += std::to_string(s.IsBlurShader(k));
        return b;
    }
    if (key == "vertex") return s.GpuVertexShaderFile().FileName().str();
    if (key == "points") {
        std::string p;
        for (const String& name : s.GetPointArguments()) {
            std::vector<int32_t> at;
            s.FindPointArgIndexes(name, at);
            p += name.str() + ":" + std::to_string(at.size());
        }
        return p;
    }
    const ShaderArg* a = s.GetShaderArg(key.substr(4).c_str());
    if (!a) return "no argument";
    if (key.compare(0, 4, "reg:") == 0)
        return std::to_string(a->HwRegsiterID(0)) + " kind " + std::to_string(a->HwRegsiterType(0));
    const bool text = Arg::IsTextType(a->GetType());
    return std::to_string(a->GetType()) + " [" +
           (text ? std::string(a->GetString()) : Floats(a->GetFloatPtr(), 4)) + "] " +
           Num(a->GetMin()) + ".." + Num(a->GetMax()) + " m" + std::to_string(a->ImageModifiers()) +
           " '" + a->Info().str() + "'";
}

} // namespace

TEST(ShaderParse, EdgeCases) {
    const std::string T = ::testing::TempDir() + "t.arb";
    const char* kHead = "# !type surface\n# !ID 5\n";
    const struct {
        std::string text, key, expected;
    } rows[] = {
        {"MOV result.color, 1;\n# !name X\n", "name", "unknown|0"},
        {"# !type imageProcessing\n\n# !name A\n", "category", "5 A"},
        {"# !type vol\n# !name A\n", "category", "2 unknown"},
        {"# !name  My Shader  \n# !ID 5\n", "name", "My Shader|268763136"},
        {"# !ID 5\n# !\n# !  \n# !name A\n", "name", "A|268763136"},
        {"# !type imageProcess\n\n# !name A\n\n# !bogus 1\n", "name",
         "!Error in '" + T + "':\n  unknown tag \"!bogus 1\"\nline 4, target \"" + T + "\""},
        {"# !float amount 0.5 [0 1] (texwidth) Amount\n", "arg:amount",
         "4 [0.50 0.00 0.00 0.00] 0.00..1.00 m3 'Amount'"},
        // Text before a bracket starts the info; the bracket's text is the range, not a number:
        // the default range.
        {"# !float amount 0.5 Amount (percent)\n", "arg:amount",
         "4 [0.50 0.00 0.00 0.00] 0.00..1.00 m0 'Amount'"},
        {"# !float amount 0.5 Amount (percent) of it\n", "arg:amount",
         "4 [0.50 0.00 0.00 0.00] 0.00..1.00 m0 'Amount of it'"},
        {"# !color c 1 0 0 1\n", "arg:c", "6 [1.00 0.00 0.00 1.00] 0.00..1.00 m0 ''"},
        {"# !color c 0.5 (0 2) Tint\n", "arg:c", "6 [0.50 0.50 0.50 1.00] 0.00..2.00 m0 'Tint'"},
        {"# !string label 'a  b' Info\n", "arg:label", "1 [a  b] 0.00..1.00 m0 'Info'"},
        {"# !bool on True\n", "arg:on", "2 [0.00 0.00 0.00 0.00] 0.00..1.00 m0 ''"},
        {"# !cpuBlur 01200\n", "blur", "01200"},
        {"# !cpuBlurHalfRes 1\n", "blur", "10000"},
        {"# !texture tex hide\n# !float k 1\n#var sampler2D tex :  : texunit 3 : 1 : 1\n",
         "reg:tex", "3 kind 1"},
        {"# !texture tex x\n# !float k 1\n#var float4 k :  : c[7] : 1 : 1\n", "reg:k", "7 kind 0"},
        {"# !float k 1\n#var samplerRECT a : : texunit 1\n#var sampler b : : texunit 2\n"
         "#var float4 k : : c[-1]\n",
         "reg:k", "-1 kind 3"},
        {"# !float pos_x 1\n# !float pos_y 1\n# !float pos_z 1\n# !float pos_q 1\n"
         "# !float size_x 1\n",
         "points", "pos_x:3"},
        {"# !vertexshader none\n", "vertex", ""},
        {"", "vertex", "default_vert.vrb"},
    };
    for (const auto& row : rows) {
        Shader s;
        const bool head = row.text.compare(0, 3, "# !") == 0 &&
                          row.text.find("ID") == std::string::npos &&
                          row.text.find("type") == std::string::npos;
        const std::string error = Parse(s, (head ? kHead : "") + row.text);
        EXPECT_EQ(error.empty() ? Field(s, row.key) : error, row.expected) << row.text;
    }
    // A displacement shader never looks for a vertex program; others fail without one.
    Shader d, f;
    EXPECT_EQ(Parse(d, "# !type displacement\n", "/nonexistent/t.arb"), "");
    EXPECT_EQ(Parse(f, "# !name N\n", "/nonexistent/t.arb"),
              "!Error in '/nonexistent/t.arb':\n  dependent shader Surface/default_vert.vrb not "
              "found for \"N\"");
}

TEST(ShaderParse, ErrorTexts) {
    TestCatalog catalog;
    Shader other;
    ASSERT_EQ(Parse(other, "# !name Other\n# !ID 7\n# !float a 1\n# !texture t x\n"
                           "# !exectexturefunc EnableTexGen 1,2\n# !pack3+1 P a t\n"),
              "");
    catalog.shaders[other.ID()] = &other;
    ShaderCatalog::SetCurrent(&catalog);
    const std::string T = ::testing::TempDir() + "t.arb";
    const std::string W = "!Error in '" + T + "':\n  ";
    const struct {
        std::string text, expected;
    } rows[] = {
        {"# !name Me\n# !ID 7\n",
         W + "duplicate shader ID \"7\"\nShader ID's must be unique\nOther Me"},
        {"# !float a 1\n", W + "duplicate or no shader ID\nShader ID's must be unique"},
        {"# !name Me\n# !ID 1\n# !copyshader 8\n",
         W + "Reference to a shader to copy that does not exist [ID=8, Me]"},
        {"# !copyshader 7\n", "!can't have a copyshader without it's own ID"},
        {"# !ID 1\n# !altmatrix tex 5\n",
         W + "Illegal texture matrix override index, tex set to 5 but must be in range 2 to 4"},
        {"# !multipasses 2\n", W + "Multiple passes only valid for Image Process shaders"},
        {"# !type imageProcess\n# !multipasses 6\n", W + "Illegal number of passes: 6"},
        {"# !ID 1\n# !float a 1\n# !exectexturefunc CPUBlur 1\n",
         W + "can't use exectexturefunc without preceding texture arg"},
        {"# !ID 1\n# !texture t x\n# !exectexturefunc Blur 1\n",
         W + "Unknown function name Blur after exectexturefunc"},
        {"# !ID 1\n# !float a 1\n# !pack4 P a b c d\n",
         W + "Can't find individual arg descriptors for\nPack4 argument P"},
    };
    for (const auto& row : rows) {
        Shader s;
        EXPECT_EQ(Parse(s, row.text), row.expected) << row.text;
    }

    // copyshader takes the other's arguments with this shader's parameter IDs.
    Shader copy;
    ASSERT_EQ(Parse(copy, "# !ID 9\n# !copyshader 7\n# !float a 2\n# !int n 1 [Lo|Hi]\n"), "");
    EXPECT_EQ(copy.Name().str(), "Other");
    EXPECT_TRUE(copy.SimpleCopyShader());
    EXPECT_EQ(copy.FrontEndMasterID(), 7u);
    EXPECT_EQ(copy.GetShaderArg("t")->ID() - copy.ID(), 1u);
    EXPECT_EQ(copy.GetFloat("a"), 2.0f);
    EXPECT_EQ(other.GetFloat("a"), 1.0f);
    EXPECT_EQ(copy.GetShaderArg("n")->PopupArgs().size(), 2u);
    EXPECT_EQ(other.GetShaderArg("t")->ExecuteArguments()[0].str(), "1 2");
    EXPECT_TRUE(other.GetShaderArg("a")->IsPackMaster());
    EXPECT_TRUE(other.GetShaderArg("t")->IsPackSlave());

    // A reload may meet its own ID; a fresh load may not.
    const std::string path = Write("own.arb", "!!ARBfp1.0\n# !name Own\n# !ID 11\n");
    Shader own;
    own.LoadDefault(path.c_str());
    catalog.shaders[own.ID()] = &own;
    EXPECT_NO_THROW(own.Reload());
    Shader again;
    EXPECT_THROW(again.LoadDefault(path.c_str()), Error);
    ShaderCatalog::SetCurrent(nullptr);
}

TEST(ShaderArgs, ValuesRangesProcedures) {
    const struct {
        const char *type, *value, *range, *procedure;
        std::string expected; // value, then min max slider-min slider-max, then f(1)
    } rows[] = {
        {"bool", "True", "", "", "1|0.00 1.00 0.00 1.00|1.00"},
        {"bool", "t", "", "", "1|0.00 1.00 0.00 1.00|1.00"},
        {"bool", "False", "", "", "0|0.00 1.00 0.00 1.00|1.00"},
        {"bool", "7", "", "", "1|0.00 1.00 0.00 1.00|1.00"},
        {"color", "0.5", "0,10", "", "0.50 0.50 0.50 1.00|0.00 10.0 0.00 10.0|1.00"},
        {"point", "[1 2 3", "5 2", "", "1.00 2.00 3.00 1.00|2.00 5.00 2.00 5.00|1.00"},
        {"float", "x", "0 10 2 20", "texwidth *2 +0.5 q", "0.00|0.00 10.0 2.00 10.0|2.50"},
        {"float", "1", "3", "/4 -1", "1.00|1.00 3.00 1.00 3.00|-0.7"},
    };
    for (const auto& row : rows) {
        ShaderArg a(0, 0, "a", row.type, row.value, row.range, row.procedure, "", 1);
        const std::string value = a.GetType() == kArgBool    ? std::to_string(a.GetInt())
                                  : a.GetType() == kArgFloat ? Num(a.GetFloat())
                                                             : Floats(a.GetFloatPtr(), 4);
        const float range[4] = {a.GetMin(), a.GetMax(), a.GetSliderMin(), a.GetSliderMax()};
        const float one = a.ApplyArgModifiers(1.0f);
        EXPECT_EQ(value + "|" + Floats(range, 4) + "|" + Num(one), row.expected) << row.type;
    }
    EXPECT_THROW(ShaderArg(0, 0, "a", "float", "1", "", "xyz", "", 1), Error);
    EXPECT_EQ(Arg("abc").GetType(), kArgString);
    EXPECT_EQ(Arg("[1").GetType(), kArgPoint);
    EXPECT_EQ(Arg("1.5").GetType(), kArgFloat);
    EXPECT_EQ(Arg("").GetType(), kArgInt);
    EXPECT_TRUE(Arg("float", "0.5").equals(Arg(kArgFloat, "0.50")));
    EXPECT_FALSE(Arg("float", "0.5").equals(Arg("angle", "0.5")));
}

TEST(ShaderArgs, ValueSetsAreIndependentAndFollowReloads) {
    const std::string path = Write("values.arb", "!!ARBfp1.0\n# !ID 3\n# !version 1\n"
                                                 "# !texture main x\n# !float k 0.25\n");
    Shader shader;
    shader.LoadDefault(path.c_str());
    XIImage* image = reinterpret_cast<XIImage*>(&shader);
    ShaderTextures textures{{"main", image}};
    ShaderValues a(&shader, &textures), b(&shader, &textures);
    a.GetShaderArg("k")->SetFloat(0.75f);
    EXPECT_EQ(b.GetShaderArg("k")->GetFloat(), 0.25f);
    EXPECT_EQ(a.GetMainTexture(), image);
    EXPECT_EQ(ShaderValues(a).GetMainTexture(), nullptr);
    a.SetShader(&shader);
    EXPECT_EQ(a.GetShaderArg("k")->GetFloat(), 0.75f);
    Write("values.arb", "!!ARBfp1.0\n# !ID 3\n# !version 2\n# !texture main x\n# !float k 0.5\n");
    shader.Reload();
    a.SetShader(&shader);
    EXPECT_EQ(a.GetShaderArg("k")->GetFloat(), 0.5f);
    EXPECT_EQ(a.GetShaderArg("nothing"), nullptr);
}
