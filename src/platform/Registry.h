#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace TESK_AE {
namespace platform {

// The configuration store that stands in for the Windows registry: a text file in the format
// regedit exports ("[HKEY_LOCAL_MACHINE\...]" sections, "Name"=dword:... / "Name"="..." / hex:
// values). The file is named by TESK_AE_REGISTRY, else $XDG_CONFIG_HOME/tesk-ae/registry.reg,
// else ~/.config/tesk-ae/registry.reg. A missing file is an empty registry. Key paths compare
// without regard to case, as Windows does; either separator may be used.
class Registry {
public:
    // The file this process reads, whether or not it exists.
    static std::string FilePath();

    static bool ReadDword(const std::string& key, const std::string& name, uint32_t& value);
    static bool ReadString(const std::string& key, const std::string& name, std::string& value);
    // The names of the direct subkeys of key, in file order.
    static std::vector<std::string> SubKeys(const std::string& key);

    // Parsing entry point, exposed so the format can be checked without files.
    struct Value {
        std::string key;  // normalised key path
        std::string name; // value name ("" for the default value)
        enum Kind { String, Dword, Binary } kind;
        std::string text;
        uint32_t dword;
        std::vector<uint8_t> bytes;
    };
    static std::vector<Value> Parse(const std::string& fileText, std::vector<std::string>* keys);
    static std::string NormaliseKey(const std::string& key);
};

} // namespace platform
} // namespace TESK_AE
