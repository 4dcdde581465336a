#include "platform/Registry.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace TESK_AE {
namespace platform {

namespace {

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

// A quoted .reg string starting at text[at] == '"'; returns the unescaped text and moves at past
// the closing quote. False when the quote is never closed.
bool ReadQuoted(const std::string& text, size_t& at, std::string& out) {
    out.clear();
    for (size_t i = at + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            out += text[++i];
        } else if (c == '"') {
            at = i + 1;
            return true;
        } else {
            out += c;
        }
    }
    return false;
}

bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& bytes) {
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        item = Trim(item);
        if (item.empty()) continue;
        char* end = nullptr;
        const unsigned long v = std::strtoul(item.c_str(), &end, 16);
        if (*end != '\0' || v > 0xFF) return false;
        bytes.push_back(static_cast<uint8_t>(v));
    }
    return true;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::string();
    std::ostringstream text;
    text << file.rdbuf();
    std::string s = text.str();
    // regedit writes UTF-16; only plain-text exports are read, so drop a UTF-8 byte-order mark.
    if (s.size() >= 3 && s.compare(0, 3, "\xEF\xBB\xBF") == 0) s.erase(0, 3);
    return s;
}

std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

std::vector<Registry::Value> Load(std::vector<std::string>* keys) {
    return Registry::Parse(ReadFile(Registry::FilePath()), keys);
}

const Registry::Value* Find(const std::vector<Registry::Value>& values, const std::string& key,
                            const std::string& name) {
    const std::string k = Registry::NormaliseKey(key);
    std::string n = name;
    for (char& c : n) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const Registry::Value* found = nullptr;
    for (const auto& v : values) {
        std::string vn = v.name;
        for (char& c : vn) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (v.key == k && vn == n) found = &v; // a later line overrides an earlier one
    }
    return found;
}

} // namespace

std::string Registry::FilePath() {
    if (const char* path = std::getenv("TESK_AE_REGISTRY"); path && *path) return path;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::string(config) + "/tesk-ae/registry.reg";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.config/tesk-ae/registry.reg";
    return std::string();
}

std::string Registry::NormaliseKey(const std::string& key) {
    std::string k;
    for (char c : Trim(key)) {
        if (c == '/') c = '\\';
        if (c == '\\' && !k.empty() && k.back() == '\\') continue;
        k += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    while (!k.empty() && k.back() == '\\') k.pop_back();
    // The short root names regedit accepts.
    if (k.rfind("HKLM\\", 0) == 0 || k == "HKLM") k = "HKEY_LOCAL_MACHINE" + k.substr(4);
    if (k.rfind("HKCU\\", 0) == 0 || k == "HKCU") k = "HKEY_CURRENT_USER" + k.substr(4);
    return k;
}

std::vector<Registry::Value> Registry::Parse(const std::string& fileText,
                                             std::vector<std::string>* keys) {
    std::vector<Value> values;
    std::string key;
    std::istringstream in(fileText);
    std::string line, logical;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // A trailing backslash continues a hex list on the next line.
        if (!line.empty() && line.back() == '\\' && line.find("hex") != std::string::npos) {
            logical += line.substr(0, line.size() - 1);
            continue;
        }
        logical += line;
        const std::string text = Trim(logical);
        logical.clear();
        if (text.empty() || text[0] == ';') continue;
        if (text[0] == '[') {
            const size_t close = text.rfind(']');
            const std::string raw =
                text.substr(1, close == std::string::npos ? std::string::npos : close - 1);
            key = NormaliseKey(raw);
            if (keys) keys->push_back(raw);
            continue;
        }
        if (key.empty()) continue; // values before any section, or the header line
        Value value;
        value.key = key;
        size_t at = 0;
        if (text[0] == '@') {
            at = 1;
        } else if (text[0] == '"') {
            if (!ReadQuoted(text, at, value.name)) continue;
        } else {
            continue;
        }
        const size_t eq = text.find('=', at);
        if (eq == std::string::npos) continue;
        const std::string data = Trim(text.substr(eq + 1));
        if (!data.empty() && data[0] == '"') {
            size_t q = 0;
            if (!ReadQuoted(data, q, value.text)) continue;
            value.kind = Value::String;
        } else if (data.rfind("dword:", 0) == 0) {
            char* end = nullptr;
            const std::string digits = Trim(data.substr(6));
            const unsigned long v = std::strtoul(digits.c_str(), &end, 16);
            if (digits.empty() || *end != '\0' || v > 0xFFFFFFFFul) continue;
            value.kind = Value::Dword;
            value.dword = static_cast<uint32_t>(v);
        } else if (data.rfind("hex", 0) == 0) {
            const size_t colon = data.find(':');
            if (colon == std::string::npos || !ParseHexBytes(data.substr(colon + 1), value.bytes))
                continue;
            value.kind = Value::Binary;
        } else {
            continue;
        }
        values.push_back(value);
    }
    return values;
}

bool Registry::ReadDword(const std::string& key, const std::string& name, uint32_t& value) {
    const auto values = Load(nullptr);
    const Value* v = Find(values, key, name);
    if (!v) return false;
    if (v->kind == Value::Dword) {
        value = v->dword;
        return true;
    }
    // Display drivers store the memory size as four little-endian bytes.
    if (v->kind == Value::Binary && v->bytes.size() == 4) {
        value = uint32_t(v->bytes[0]) | uint32_t(v->bytes[1]) << 8 | uint32_t(v->bytes[2]) << 16 |
                uint32_t(v->bytes[3]) << 24;
        return true;
    }
    return false;
}

bool Registry::ReadString(const std::string& key, const std::string& name, std::string& value) {
    const auto values = Load(nullptr);
    const Value* v = Find(values, key, name);
    if (!v || v->kind != Value::String) return false;
    value = v->text;
    return true;
}

std::vector<std::string> Registry::SubKeys(const std::string& key) {
    std::vector<std::string> keys;
    Load(&keys);
    const std::vector<std::string> parent = Components(NormaliseKey(key));
    std::vector<std::string> children;
    for (const auto& raw : keys) {
        // Compare without case, but hand back the subkey's name as the file spells it.
        const std::vector<std::string> norm = Components(NormaliseKey(raw));
        const std::vector<std::string> spelled = Components(raw);
        if (norm.size() <= parent.size() || spelled.size() != norm.size()) continue;
        bool under = true;
        for (size_t i = 0; i < parent.size(); ++i) under = under && norm[i] == parent[i];
        if (!under) continue;
        const std::string& child = spelled[parent.size()];
        bool seen = false;
        for (const auto& c : children) seen = seen || c == child;
        if (!child.empty() && !seen) children.push_back(child);
    }
    return children;
}

} // namespace platform
} // namespace TESK_AE
