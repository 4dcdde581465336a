#pragma once

#include "common/Export.h"
#include "common/String.h"
#include "shaders/Arg.h"

#include <cstdint>
#include <vector>

namespace OGL_TESK_AE {

class Shader;

// A shader argument as its description declares it: the default value (the Arg part), its
// name, group, range or popup items, value modifiers, register bindings per program file,
// packing and material role.
class TESK_API ShaderArg : public Arg {
public:
    // As a description line declares it.
    ShaderArg(int32_t group, uint32_t parameterID, const char* name, const char* type,
              const char* value, const char* range, const char* procedure, const char* info,
              int32_t numFiles);
    // A string argument: no parameter ID, no procedure.
    ShaderArg(int32_t group, const char* name, const char* type, const char* value,
              const char* range, const char* info, int32_t numFiles);
    // Outside any description: no group, no parameter ID.
    ShaderArg(const char* name, const char* type, const char* value, int32_t numFiles);
    ShaderArg(const char* name, const char* type, const void* rawValue, int32_t numFiles);
    ShaderArg(const ShaderArg& other);
    ShaderArg& operator=(const ShaderArg& other);
    ~ShaderArg() override;

    const String& Name() const { return fName; }
    const String& Value() const { return fValueText; }
    const String& Info() const { return fInfo; }
    int32_t Group() const { return fGroup; }
    uint32_t ID() const { return fParameterID; }
    int32_t ParameterIndex() const { return fParameterIndex; }
    eShaderType ArgDest() const { return fDestination; }
    float GetMin() const { return fMin; }
    float GetMax() const { return fMax; }
    float GetSliderMin() const { return fSliderMin; }
    float GetSliderMax() const { return fSliderMax; }
    const std::vector<String>& PopupArgs() const { return fPopupItems; }
    const std::vector<uint32_t>& ExecuteFunctions() const { return fExecuteFunctions; }
    const std::vector<String>& ExecuteArguments() const { return fExecuteArguments; }
    const std::vector<uint32_t>& GetArgModifierFunction() const { return fModifierFunctions; }
    const std::vector<float>& GetArgModifier() const { return fModifierValues; }
    const std::vector<String>& GetArgModifierString() const { return fModifierStrings; }
    eImageModifier ImageModifiers() const { return fImageModifier; }
    bool IsPackSlave() const { return fPackSlave; }
    ePackType PackType() const { return fPackType; }
    const String& MasterName() const { return fMasterName; }
    const std::vector<String>& PackSlaves() const { return fPackSlaves; }
    eShaderColorArg ColorArg() const { return fColorRole; }
    bool OpacityArg() const { return fOpacity; }
    eSubShaderArg SubShaderArg() const { return fSubShaderRole; }

    // Fragment programs: the register of that program file; vertex programs: of file 0; CPU
    // modules: the parameter index. -1 when unbound.
    int32_t HwRegsiterID(int32_t fileIndex) const;
    eHwRegisterType HwRegsiterType(int32_t fileIndex) const;

    bool IsTextureArg() const;
    bool UseAsTextureInput() const { return GetType() == kArgTexture && fShaderTexture; }
    bool IsPackMaster() const;

    // x through the procedure's multiply, divide, add and subtract steps, in order.
    float ApplyArgModifiers(float x) const;

protected:
    // Int arguments take the text as popup items; others as min, max, slider min, slider max.
    void SetRange(const char* text);
    void SetRange(float min, float max, float sliderMin, float sliderMax);
    // Throws Error on a token of two or more characters it does not know.
    void SetProc(const char* text);
    void SetArgType();
    void SetParameterID(uint32_t id) { fParameterID = id; }

private:
    friend class Shader;
    void Init(int32_t group, uint32_t parameterID, const char* name, const char* value,
              const char* info, int32_t numFiles);

    int32_t fGroup = -1;
    uint32_t fParameterID = 0;
    int32_t fParameterIndex = -1;
    std::vector<int32_t> fRegisterIDs;
    std::vector<eHwRegisterType> fRegisterTypes;
    String fName, fValueText, fInfo;
    float fMin = 0.0f, fMax = 1.0f, fSliderMin = 0.0f, fSliderMax = 1.0f;
    eShaderType fDestination = static_cast<eShaderType>(0);
    eImageModifier fImageModifier = kImageNone;
    bool fShaderTexture = false;
    std::vector<uint32_t> fExecuteFunctions;
    std::vector<String> fExecuteArguments;
    std::vector<uint32_t> fModifierFunctions;
    std::vector<float> fModifierValues;
    std::vector<String> fModifierStrings;
    ePackType fPackType = kPackNone;
    bool fPackSlave = false;
    String fMasterName;
    std::vector<String> fPackSlaves;
    std::vector<String> fPopupItems;
    eShaderColorArg fColorRole = kColorRoleNone;
    eSubShaderArg fSubShaderRole = kSubShaderNone;
    bool fOpacity = false;
};

} // namespace OGL_TESK_AE
