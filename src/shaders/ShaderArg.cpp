#include "shaders/ShaderArg.h"

#include "shaders/Implementation/Numbers.h"
#include "shaders/ParseString.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

namespace OGL_TESK_AE {

namespace {

String Text(const char* text) {
    return String(std::string(text ? text : ""));
}

bool Begins(const char* token, const char* word) {
    return std::strncmp(token, word, std::strlen(word)) == 0;
}

struct Modifier {
    const char* prefix;
    eImageModifier modifier;
};
// Prefixes as long as they must be to tell the words apart.
const Modifier kImageModifiers[] = {
    {"texwidth", kImageTexWidth},        {"texheight", kImageTexHeight},
    {"divtexwidt", kImageDivTexWidth},   {"divtexheigh", kImageDivTexHeight},
    {"destwidth", kImageDestWidth},      {"destheigh", kImageDestHeight},
    {"divdestwidt", kImageDivDestWidth}, {"divdesthei", kImageDivDestHeight},
};

} // namespace

ShaderArg::ShaderArg(int32_t group, uint32_t parameterID, const char* name, const char* type,
                     const char* value, const char* range, const char* procedure, const char* info,
                     int32_t numFiles)
    : Arg(type, value) {
    Init(group, parameterID, name, value, info, numFiles);
    SetRange(range);
    SetProc(procedure);
    SetArgType();
}

ShaderArg::ShaderArg(int32_t group, const char* name, const char* type, const char* value,
                     const char* range, const char* info, int32_t numFiles)
    : Arg(type, value) {
    Init(group, 0, name, value, info, numFiles);
    SetRange(range);
    SetArgType();
}

ShaderArg::ShaderArg(const char* name, const char* type, const char* value, int32_t numFiles)
    : Arg(type, value) {
    Init(-1, 0, name, value, nullptr, numFiles);
    SetRange(nullptr);
    SetArgType();
}

ShaderArg::ShaderArg(const char* name, const char* type, const void* rawValue, int32_t numFiles)
    : Arg(type, rawValue) {
    Init(-1, 0, name, nullptr, nullptr, numFiles);
    SetRange(nullptr);
    SetArgType();
}

ShaderArg::ShaderArg(const ShaderArg& other) = default;
ShaderArg& ShaderArg::operator=(const ShaderArg& other) = default;
ShaderArg::~ShaderArg() = default;

void ShaderArg::Init(int32_t group, uint32_t parameterID, const char* name, const char* value,
                     const char* info, int32_t numFiles) {
    fGroup = group;
    fParameterID = parameterID;
    fName = Text(name);
    fValueText = Text(value);
    fInfo = Text(info);
    const size_t files = numFiles > 0 ? static_cast<size_t>(numFiles) : 0;
    fRegisterIDs.assign(files, -1);
    fRegisterTypes.assign(files, kHwSamplerRect);
}

int32_t ShaderArg::HwRegsiterID(int32_t fileIndex) const {
    if (fDestination == kShaderVertex) fileIndex = 0;
    if (fDestination != kShaderFragment && fDestination != kShaderVertex) return fParameterIndex;
    if (fileIndex < 0 || static_cast<size_t>(fileIndex) >= fRegisterIDs.size()) return -1;
    return fRegisterIDs[static_cast<size_t>(fileIndex)];
}

eHwRegisterType ShaderArg::HwRegsiterType(int32_t fileIndex) const {
    if (fileIndex < 0 || static_cast<size_t>(fileIndex) >= fRegisterTypes.size())
        return kHwSamplerRect;
    return fRegisterTypes[static_cast<size_t>(fileIndex)];
}

bool ShaderArg::IsTextureArg() const {
    const efargTypes t = GetType();
    return t == kArgTexture || t == kArg3DTexture || t == kArgCubemap;
}

bool ShaderArg::IsPackMaster() const {
    const size_t n = fPackSlaves.size();
    return (fPackType == kPack4 && n == 4) || (fPackType == kPack3 && n == 3) ||
           ((fPackType == kPack2 || fPackType == kPack3Plus1) && n == 2);
}

float ShaderArg::ApplyArgModifiers(float x) const {
    for (size_t i = 0; i < fModifierFunctions.size() && i < fModifierValues.size(); ++i) {
        const float v = fModifierValues[i];
        switch (fModifierFunctions[i]) {
        case kModMultiply:
            x *= v;
            break;
        case kModDivide:
            x /= v;
            break;
        case kModAdd:
            x += v;
            break;
        case kModSubtract:
            x -= v;
            break;
        default:
            break;
        }
    }
    return x;
}

void ShaderArg::SetRange(const char* text) {
    if (GetType() == kArgInt) {
        if (!text) return;
        ParseString items(text);
        while (const char* item = items.GetNext("|,\t\n")) fPopupItems.push_back(Text(item));
        return;
    }
    float v[4] = {0.0f, 1.0f, 0.0f, 0.0f};
    int n = 0;
    if (text) {
        n = std::sscanf(text, "%f%f%f%f", v, v + 1, v + 2, v + 3);
        // "0,10": the blank-separated reading stops at the comma.
        if (n == 1) n = std::sscanf(text, "%f,%f,%f,%f", v, v + 1, v + 2, v + 3);
    }
    if (n < 1) {
        v[0] = 0.0f;
        v[1] = 1.0f;
    } else if (n == 1) {
        v[1] = 1.0f;
    }
    if (n < 3) v[2] = v[0];
    if (n < 4) v[3] = v[1];
    SetRange(v[0], v[1], v[2], v[3]);
}

void ShaderArg::SetRange(float min, float max, float sliderMin, float sliderMax) {
    if (min > max) std::swap(min, max);
    if (!(sliderMin >= min)) sliderMin = min;
    if (sliderMax > max) sliderMax = max;
    if (sliderMin > sliderMax) std::swap(sliderMin, sliderMax);
    fMin = min;
    fMax = max;
    fSliderMin = sliderMin;
    fSliderMax = sliderMax;
}

void ShaderArg::SetProc(const char* text) {
    fModifierFunctions.clear();
    fModifierValues.clear();
    fModifierStrings.clear();
    if (!text) return;
    ParseString tokens(text);
    while (const char* token = tokens.GetNext(" ,\t\n")) {
        const char* steps = "*/+-";
        if (const char* step = std::strchr(steps, token[0])) {
            const uint32_t function = kModMultiply + static_cast<uint32_t>(step - steps);
            float value = function <= kModDivide ? 1.0f : 0.0f;
            std::sscanf(token + 1, "%f", &value);
            fModifierFunctions.push_back(function);
            fModifierValues.push_back(value);
            fModifierStrings.push_back(Text(token));
            continue;
        }
        bool known = false;
        for (const Modifier& m : kImageModifiers)
            if (!known && Begins(token, m.prefix)) {
                fImageModifier = m.modifier;
                known = true;
            }
        if (known) continue;
        if (Begins(token, "hide") || std::strcmp(token, "findChannelInParent") == 0) {
            fModifierFunctions.push_back(token[0] == 'h' ? kModHide : kModFindChannelInParent);
            fModifierValues.push_back(0.0f);
            fModifierStrings.push_back(Text(token));
            continue;
        }
        if (token[0] != '\0' && token[1] == '\0') continue;
        shadertext::Fail("Unknown procedure argument " + std::string(text));
    }
}

void ShaderArg::SetArgType() {
    fColorRole = kColorRoleNone;
    fSubShaderRole = kSubShaderNone;
    fOpacity = false;
    const std::string& name = fName.str();
    if (GetType() == kArgBool) {
        if (name == "s_castsShadows") fSubShaderRole = kSubShaderCastsShadows;
        if (name == "s_receivesShadows") fSubShaderRole = kSubShaderReceivesShadows;
        if (name == "s_twoSidedLighting") fSubShaderRole = kSubShaderTwoSidedLighting;
    } else if (GetType() == kArgFloat) {
        fOpacity = name == "s_opacity";
    } else if (GetType() == kArgColor) {
        if (name == "s_ambient") fColorRole = kColorRoleAmbient;
        if (name == "s_diffuse") fColorRole = kColorRoleDiffuse;
        if (name == "s_specular") fColorRole = kColorRoleSpecular;
    }
}

} // namespace OGL_TESK_AE
