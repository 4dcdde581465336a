// libFuzzer target: any bytes as a description text handed over in memory (plain or
// enciphered), parsed as a fragment program and, for odd lengths, also as a vertex program
// read into the same record. Parse errors are expected; crashes, leaks and hangs are not.
#include "common/Errors.h"
#include "shaders/ParseFile.h"
#include "shaders/Shader.h"
#include "shaders/ShaderCatalog.h"

#include <cstddef>
#include <cstdint>
#include <memory>

using namespace OGL_TESK_AE;

namespace {

// One shader with ID 1 that inputs may copy (copyshader 1) or collide with (ID 1).
struct FuzzCatalog : ShaderCatalog {
    std::unique_ptr<Shader> copied;
    Shader* FindShader(uint32_t id) override {
        return copied && copied->ID() == id ? copied.get() : nullptr;
    }
};

FuzzCatalog sCatalog;

const char kCopied[] = "!!ARBfp1.0\n# !type surface Copied\n# !name Copied\n# !ID 1\n"
                       "# !vertexshader none\n# !float a 1 [0 2] (*2)\n# !texture t x\n"
                       "# !float p_x 0\n# !float p_y 0\n#var float a : : c[1]\n";

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    sCatalog.copied.reset(new Shader);
    ParseFile text(kCopied, sizeof kCopied - 1);
    sCatalog.copied->Parse(text, "fuzz/copied.arb", kShaderFragment, true, false);
    ShaderCatalog::SetCurrent(&sCatalog);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    Shader shader;
    try {
        ParseFile fragment(text, size);
        shader.Parse(fragment, "fuzz/input.arb", kShaderFragment, false, false);
        if (size % 2 == 1) {
            ParseFile vertex(text, size);
            shader.Parse(vertex, "fuzz/input.vrb", kShaderVertex, true, true);
        }
    } catch (const Error&) {
    }
    return 0;
}
