#include "shaders/Arg.h"

#include "shaders/Implementation/Numbers.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace OGL_TESK_AE {

namespace {

struct TypeName {
    const char* keyword;
    efargTypes type;
};
const TypeName kTypeNames[] = {
    {"string", kArgString},   {"bool", kArgBool},       {"int", kArgInt},
    {"float", kArgFloat},     {"angle", kArgAngle},     {"color", kArgColor},
    {"point", kArgPoint},     {"texture", kArgTexture}, {"3dtexture", kArg3DTexture},
    {"cubemap", kArgCubemap}, {"time", kArgTime},       {"submenu", kArgSubmenu},
};

bool SameFloat(float a, float b) {
    return !(a < b) && !(a > b);
}

} // namespace

Arg::Arg() = default;

Arg::Arg(const char* valueText) {
    Set(GuessType(valueText), valueText);
}

Arg::Arg(const char* typeKeyword, const char* valueText) {
    Set(TypeOfKeyword(typeKeyword), valueText);
}

Arg::Arg(const char* typeKeyword, const void* rawValue) {
    Set(TypeOfKeyword(typeKeyword), rawValue);
}

Arg::Arg(efargTypes type, const char* valueText) {
    Set(type, valueText);
}

Arg::Arg(const Arg& other) = default;
Arg& Arg::operator=(const Arg& other) = default;
Arg::~Arg() = default;

efargTypes Arg::TypeOfKeyword(const char* keyword) {
    if (keyword)
        for (const TypeName& name : kTypeNames)
            if (std::strcmp(keyword, name.keyword) == 0) return name.type;
    return kArgNone;
}

efargTypes Arg::GuessType(const char* text) {
    bool dot = false;
    for (int i = 0; text && i < 128 && text[i]; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (std::isalpha(c) || c == '"') return kArgString;
        if (c == '[') return kArgPoint;
        if (c == '.') dot = true;
    }
    return dot ? kArgFloat : kArgInt;
}

bool Arg::IsTextType(efargTypes type) {
    return type == kArgString || type == kArgTexture || type == kArg3DTexture ||
           type == kArgCubemap;
}

void Arg::Clear() {
    fStored = false;
    fText.clear();
    for (float& f : fNumbers) f = 0.0f;
}

void Arg::Set(const char* text) {
    Set(fType, text);
}

void Arg::Set(efargTypes type, const char* text) {
    Clear();
    fType = type;
    switch (type) {
    case kArgString:
    case kArgTexture:
    case kArg3DTexture:
    case kArgCubemap:
        fText = text ? text + (text[0] == '"' ? 1 : 0) : "";
        break;
    case kArgBool:
        if (text && (text[0] == 'T' || text[0] == 't'))
            SetInt(1);
        else if (text && (text[0] == 'F' || text[0] == 'f'))
            SetInt(0);
        else
            SetInt(shadertext::ReadInt(text) != 0 ? 1 : 0);
        break;
    case kArgInt:
    case kArgSubmenu:
        SetInt(shadertext::ReadInt(text));
        break;
    case kArgFloat:
    case kArgAngle:
    case kArgTime:
        fNumbers[0] = shadertext::ReadFloat(text);
        break;
    case kArgColor:
    case kArgPoint: {
        float v[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        int n = 0;
        if (text)
            n = std::sscanf(text + (text[0] == '[' ? 1 : 0), "%f%f%f%f", v, v + 1, v + 2, v + 3);
        if (n == 1) v[1] = v[2] = v[0];
        if (n == 2) v[2] = v[1];
        if (n < 4) v[3] = 1.0f;
        if (n < 1) v[0] = v[1] = v[2] = 0.0f;
        SetFloatPtr(v);
        break;
    }
    default:
        return;
    }
    fStored = true;
}

void Arg::Set(efargTypes type, const void* raw) {
    Clear();
    fType = type;
    if (type == kArgNone || type > kArgSubmenu) return;
    fStored = true;
    if (!raw) return;
    if (IsTextType(type))
        fText = static_cast<const char*>(raw);
    else
        std::memcpy(fNumbers, raw, type == kArgColor || type == kArgPoint ? 16 : 4);
}

int32_t Arg::GetInt() const {
    int32_t value;
    std::memcpy(&value, fNumbers, sizeof value);
    return value;
}

float Arg::GetFloat() const {
    return fNumbers[0];
}

const char* Arg::GetString() const {
    return fStored && IsTextType(fType) ? fText.c_str() : nullptr;
}

void Arg::SetInt(int32_t value) {
    std::memcpy(fNumbers, &value, sizeof value);
}

void Arg::SetFloat(float value) {
    fNumbers[0] = value;
}

void Arg::SetString(const char* text) {
    fText = text ? text : "";
}

void Arg::SetFloatPtr(const float* values) {
    if (values) std::memcpy(fNumbers, values, sizeof fNumbers);
}

bool Arg::equals(const Arg& other) const {
    if (fType != other.fType) return false;
    switch (fType) {
    case kArgString:
    case kArgTexture:
    case kArg3DTexture:
    case kArgCubemap:
        return fText == other.fText;
    case kArgBool:
    case kArgInt:
    case kArgSubmenu:
        return GetInt() == other.GetInt();
    case kArgFloat:
    case kArgAngle:
    case kArgTime:
        return SameFloat(fNumbers[0], other.fNumbers[0]);
    case kArgColor:
    case kArgPoint:
        for (int i = 0; i < 4; ++i)
            if (!SameFloat(fNumbers[i], other.fNumbers[i])) return false;
        return true;
    default:
        return true;
    }
}

} // namespace OGL_TESK_AE
