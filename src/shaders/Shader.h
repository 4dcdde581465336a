#pragma once

#include "common/Export.h"
#include "common/String.h"
#include "shaders/ShaderArg.h"
#include "shaders/ShaderTypes.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace OGL_TESK_AE {

class ParseFile;

// One shader of the catalogue as its description file declares it: category, name, ID,
// typed arguments in groups, companion program files and the registers each argument occupies
// in each of them.
class TESK_API Shader {
public:
    Shader();
    virtual ~Shader();
    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;

    // Fills the record from a description text; target names it in error messages. With
    // skipIdentifiers the type, name, version and ID tags are not read and unknown tags are
    // ignored (a vertex program read into its shader's record). Throws Error.
    bool Parse(ParseFile& file, const char* target, eShaderType kind, bool allowDuplicateID,
               bool skipIdentifiers);
    // Clears the record and loads it from path; null reloads from the stored path, where the
    // shader may meet its own ID in the catalogue again. Throws Error.
    void LoadDefault(const char* path);
    void Reload() { LoadDefault(nullptr); }
    void Clear();
    // Takes everything but the name (when it has one), ID and version from other.
    void CopyNonIdentifiersFrom(const Shader& other);
    // Deletes the shader's program objects and clears its program error flags, so that the
    // next bind loads its programs again.
    void ResetShaderBinding();

    // Companion program files.
    String GpuFragmentShaderFile(int32_t kind) const;
    const String& GpuVertexShaderFile() const { return fVertexPath; }
    int32_t NumShaderFiles() const { return static_cast<int32_t>(fRegisters.size()); }
    int32_t GetIndexSubType(int32_t index) const;
    int32_t GetSubTypeIndex(int32_t kind) const;
    int32_t FirstSubFile() const;
    int32_t LastSubFile() const;
    void SetNumShaderFiles(int32_t count);

    const String& Name() const { return fName; }
    const String& Info() const { return fInfo; }
    eRSShaderType Type() const { return fCategory; }
    uint32_t ID() const { return fID; }
    int32_t Version() const { return fVersion; }
    const String& FilePath() const { return fPath; }
    bool Valid() const { return !fErrors.empty() && !fErrors[0]; }
    const String& GetMainTextureName() const { return fMainTexture; }
    const std::vector<int32_t>& GetAllTextureArgs() const { return fAllTextureArgs; }
    const std::vector<int32_t>& GetHiddenTextureArgs() const { return fHiddenTextureArgs; }
    int32_t GetNumSingleTextureArgs() const { return fSingleTextureCount; }
    bool SimpleCopyShader() const { return fSimpleCopy; }
    bool HasCPUShaderComponent() const { return fCpuModule != 0; }
    bool HasTextureModifiers() const { return fHasTextureModifiers; }
    bool ColorBufferLookupLinear() const { return fColorBufferLookupLinear; }
    int32_t NumPasses() const { return fPasses; }
    int32_t GetNumOfGroups() const { return static_cast<int32_t>(fGroups.size()); }
    String GroupName(int32_t index) const;
    const std::vector<String>& GetShaderCategory() const { return fCategories; }
    bool HasSubCategory() const { return fCategories.size() > 1; }
    bool IsSubCategoryDefault() const { return fCategoryDefault; }
    bool HasTimeBasedArg() const { return fHasTimeArg; }
    bool AcceptsLightGels() const { return fAcceptsLightGels; }
    eCPUBlurType IsBlurShader(int32_t fileIndex) const;
    uint32_t FrontEndID() const;
    uint32_t FrontEndMasterID() const { return fFrontEndMasterID; }
    // The register table of one program file, from its #var lines.
    const std::map<std::string, uint32_t>& Registers(int32_t fileIndex) const;

    // Arguments.
    int32_t NumArgs() const { return static_cast<int32_t>(fArgs.size()); }
    ShaderArg* GetShaderArg(int32_t index) const;
    ShaderArg* GetShaderArg(const char* name) const;
    bool HasArg(const char* name) const { return GetShaderArg(name) != nullptr; }
    int32_t ArgNames(std::vector<String>& names) const;
    String ArgInfo(const char* name) const;
    String ArgStrVal(const char* name) const;
    efargTypes ArgType(const char* name) const;
    float GetMin(const char* name) const;
    float GetMax(const char* name) const;
    int32_t GetInt(const char* name) const;
    float GetFloat(const char* name) const;
    const char* GetString(const char* name) const;
    const float* GetPoint(const char* name) const;
    const float* GetColor(const char* name) const;
    uint32_t GetArgIdx(const char* name) const;
    uint32_t GetArgIdx(uint32_t parameterID) const;
    uint32_t GetArbID(const char* registerName, int32_t kind) const;
    int32_t GetAltTexMatrix(const char* name) const;
    void SetArgStr(const char* name, const char* text);
    void ArgStrToVal();
    const std::vector<String>& GetPointArguments() const { return fPointNames; }
    void FindPointArgIndexes(const char* pointName, std::vector<int32_t>& indexes) const;

protected:
    int32_t GroupID();
    void AddArg(std::unique_ptr<ShaderArg> arg);
    void ResolvePointArgs();

private:
    // The manager creates the program objects and opens the CPU module this record keeps.
    friend class ShaderManager;
    struct ParseState;
    struct Tags;
    void ParseTag(ParseState& state, const char* line);
    void ParseArgLine(ParseState& state, const char* tag, int row);
    void BindRegister(ParseState& state, int32_t fileIndex, const char* line);
    void FindVertexProgram(ParseState& state);

    eRSShaderType fCategory = kRSSurface;
    int32_t fVersion = 0;
    uint32_t fID = 0;
    bool fSimpleCopy = false;
    uint32_t fFrontEndMasterID = 65535;
    bool fHasTimeArg = false;
    int32_t fPasses = 1;
    String fPath, fVertexPath, fName, fInfo, fMainTexture;
    std::vector<String> fGroups, fCategories;
    uint64_t fCpuModule = 0, fCpuCompanion = 0;
    std::vector<uint32_t> fProgramIDs;
    uint32_t fVertexProgram = 0;
    std::vector<char> fErrors;
    std::map<std::string, ShaderArg*> fArgsByName;
    std::vector<std::unique_ptr<ShaderArg>> fArgs;
    std::vector<int32_t> fAllTextureArgs, fHiddenTextureArgs;
    int32_t fSingleTextureCount = 0;
    bool fHasTextureModifiers = false;
    std::map<std::string, int32_t> fAltMatrix;
    std::vector<std::map<std::string, uint32_t>> fRegisters;
    eCPUBlurType fBlur[5] = {kBlurNone, kBlurNone, kBlurNone, kBlurNone, kBlurNone};
    bool fAcceptsLightGels = false;
    bool fCategoryDefault = false;
    bool fColorBufferLookupLinear = false;
    std::vector<String> fPointNames;
    std::vector<std::vector<int32_t>> fPointIndexes;
};

} // namespace OGL_TESK_AE
