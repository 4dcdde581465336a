#include "common/Errors.h"
#include "shaders/FileEncryptor.h"
#include "shaders/ParseFile.h"
#include "shaders/Shader.h"
#include "shaders/ShaderCatalog.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>

using namespace OGL_TESK_AE;

namespace {

const std::string kRoot = TESK_SHADER_DIR "/";

struct SampleCatalog : ShaderCatalog {
    std::map<uint32_t, Shader*> shaders;
    Shader* FindShader(uint32_t id) override {
        const auto found = shaders.find(id);
        return found == shaders.end() ? nullptr : found->second;
    }
    String ShaderPath() const override { return String(kRoot); }
};

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Describe(const Shader& s) {
    std::string d = s.Name().str() + "|" + std::to_string(s.ID()) + "|" + std::to_string(s.Type()) +
                    "|" + s.Info().str() + "|" + s.GpuVertexShaderFile().str() + "|" +
                    std::to_string(s.NumShaderFiles());
    for (int32_t i = 0; i < s.NumArgs(); ++i) {
        const ShaderArg& a = *s.GetShaderArg(i);
        d += "|" + a.Name().str() + ":" + std::to_string(a.GetType()) + ":" + a.Value().str() +
             ":" + std::to_string(a.GetMax()) + ":" + std::to_string(a.HwRegsiterID(0));
    }
    return d;
}

// Parses a description text from memory as the file at path.
std::unique_ptr<Shader> FromMemory(const std::string& path, const std::string& text) {
    std::unique_ptr<Shader> s(new Shader);
    ParseFile file(text.data(), text.size());
    s->Parse(file, path.c_str(), kShaderFragment, true, false);
    return s;
}

} // namespace

TEST(ShaderCatalogue, SamplesParseAlikePlainAndEnciphered) {
    SampleCatalog catalog;
    ShaderCatalog::SetCurrent(&catalog);
    const char* files[] = {"Surface/plastic.arb",
                           "Surface/Metal/chrome.arb",
                           "Surface/Metal/Brushed/brushed.arb",
                           "ImageProcess/glow.arb",
                           "Light/gel.arb",
                           "Volume/fog.arb",
                           "Procedural/marble.arb"};
    std::map<std::string, std::unique_ptr<Shader>> loaded;
    int sealedFiles = 0;
    for (const char* name : files) {
        const std::string path = kRoot + name;
        std::string plain = Bytes(path), sealed = CFileEncryptor::Encipher(plain);
        const bool shippedSealed = CFileEncryptor::Decipher(plain, plain);
        if (shippedSealed) sealed = Bytes(path);
        EXPECT_EQ(Describe(*FromMemory(path, plain)), Describe(*FromMemory(path, sealed))) << name;
        std::unique_ptr<Shader>& s = loaded[name];
        s.reset(new Shader);
        ASSERT_NO_THROW(s->LoadDefault(path.c_str())) << name;
        catalog.shaders[s->ID()] = s.get();
        if (!shippedSealed) continue;
        ++sealedFiles;
        EXPECT_EQ(Describe(*s), Describe(*FromMemory(path, plain))) << name;
    }
    EXPECT_EQ(sealedFiles, 1);

    auto arg = [&](const char* file, const char* name) { return loaded[file]->GetShaderArg(name); };
    const Shader& brushed = *loaded["Surface/Metal/Brushed/brushed.arb"];
    const Shader& chrome = *loaded["Surface/Metal/chrome.arb"];
    const Shader& glow = *loaded["ImageProcess/glow.arb"];
    EXPECT_EQ(brushed.GetShaderCategory().size(), 3u);
    EXPECT_EQ(brushed.GetShaderCategory()[2].str(), "Brushed");
    EXPECT_EQ(arg("Surface/Metal/Brushed/brushed.arb", "mask")->HwRegsiterType(0), kHwSampler3D);
    EXPECT_EQ(brushed.GetAltTexMatrix("grain"), 3);
    EXPECT_EQ(chrome.FrontEndMasterID(), 1u);
    EXPECT_EQ(chrome.GetColor("Kd")[2], 0.95f);
    EXPECT_EQ(chrome.GetShaderCategory().size(), 2u);
    EXPECT_EQ(glow.NumShaderFiles(), 3);
    EXPECT_EQ(arg("ImageProcess/glow.arb", "radius")->HwRegsiterID(1), 2);
    EXPECT_EQ(glow.GetArbID("source", 7), 0xFFFFFFFFu); // texunit 0 reads as unbound
    EXPECT_TRUE(loaded["Light/gel.arb"]->AcceptsLightGels());
    EXPECT_TRUE(loaded["Volume/fog.arb"]->HasTimeBasedArg());
    EXPECT_EQ(arg("Surface/plastic.arb", "lift")->ArgDest(), kShaderVertex);
    ShaderCatalog::SetCurrent(nullptr);
}
