#include "shaders/Shader.h"

#include "platform/Files.h"
#include "shaders/Implementation/Numbers.h"
#include "shaders/ParseFile.h"
#include "shaders/ParseString.h"
#include "shaders/ShaderCatalog.h"

#include <cstring>
#include <string>

namespace OGL_TESK_AE {

namespace {

// Separators of plain tokens: blank, comma, tab, CR, LF.
const char* const D = " ,\t\r\n";
const char* const kToTab = "\t\r\n";
const char* const kBrackets = "[]()";
// A parse line holds 1023 characters; longer lines are cut (see ParseFile::GetNextLine).
constexpr int kLineBytes = 1024;

String Text(const char* text) {
    return String(std::string(text ? text : ""));
}

bool Is(const char* token, const char* keyword, size_t compared) {
    return std::strncmp(token, keyword, compared) == 0;
}

bool IsHideWord(const String& text) {
    return text.str() == "hide" || text.str() == "hidden" || text.str() == "Hide";
}

struct Category {
    const char* keyword;
    size_t compared;
    eRSShaderType value;
};
const Category kCategories[] = {
    {"volume", 6, kRSVolume},
    {"surface", 7, kRSSurface},
    {"displacement", 12, kRSDisplacement},
    {"light", 5, kRSLight},
    {"imageProcess", 10, kRSImageProcess},
    {"procedural", 13, kRSProcedural},
    {"utilsurf", 8, kRSUtilSurf},
};

enum ArgKind { kNumeric, kBool, kPointColor, kAngle, kStringArg, kTextureArg };

uint32_t IDFromNumber(int32_t n) {
    return (static_cast<uint32_t>(n) + 4096u) << 16;
}

uint32_t FrontEndOf(uint32_t id) {
    const int64_t n = static_cast<int64_t>(id >> 16) - 4096;
    return n >= 0 && n <= 4096 ? static_cast<uint32_t>(n) : 65535u;
}

// P with its last extension removed, where the last dot belongs to the file name.
std::string LessExtension(const std::string& path) {
    const size_t dot = path.rfind('.');
    const size_t separator = path.find_last_of("/\\");
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator))
        return path;
    return path.substr(0, dot);
}

} // namespace

struct Shader::ParseState {
    const char* target;
    eShaderType kind;
    bool allowDuplicateID;
    bool skipIdentifiers;
    String vertexName;
    int32_t lineNumber = 1;
    int32_t cpuCounter = 0;
    ShaderArg* preceding = nullptr;
    ParseString* tokens = nullptr;
    const char* tag = "";
    const char* field = "";
    bool endsTagBlock = false;
    bool lastWasSampler = false;
    eHwRegisterType lastSampler = kHwConstant;

    [[noreturn]] void Fail(const String& detail) const {
        shadertext::Fail(std::string("Error in '") + target + "':\n  " + detail.str());
    }
};

Shader::Shader() {
    Clear();
}

Shader::~Shader() = default;

void Shader::Clear() {
    fCategory = kRSSurface;
    fVersion = 0;
    fID = 0;
    fSimpleCopy = false;
    fFrontEndMasterID = 65535;
    fHasTimeArg = false;
    fPasses = 1;
    fVertexPath.Empty();
    fName = Text("unknown");
    fInfo.Empty();
    fMainTexture.Empty();
    fGroups.clear();
    fCategories.clear();
    fCpuModule = fCpuCompanion = 0;
    fArgsByName.clear();
    fArgs.clear();
    fAllTextureArgs.clear();
    fHiddenTextureArgs.clear();
    fSingleTextureCount = 0;
    fHasTextureModifiers = false;
    fAltMatrix.clear();
    for (eCPUBlurType& blur : fBlur) blur = kBlurNone;
    fAcceptsLightGels = false;
    fCategoryDefault = false;
    fColorBufferLookupLinear = false;
    fPointNames.clear();
    fPointIndexes.clear();
    SetNumShaderFiles(5);
}

// ---- companion files

String Shader::GpuFragmentShaderFile(int32_t kind) const {
    const std::string base = LessExtension(fPath.str());
    static const char* const kSurfaceParts[] = {"tsl", "ssh", "tss"};
    if (kind >= kProgramTsl && kind <= kProgramTss) {
        const char* ext = kSurfaceParts[kind - kProgramTsl];
        const ShaderCatalog* catalog = ShaderCatalog::Current();
        return String(base + (catalog && catalog->IsATI() ? ".ati." : ".") + ext);
    }
    if (kind == kProgramAlq) return String(base + ".alq");
    if (kind > kProgramPass1 && kind <= kProgramPass5)
        return String(base + ".ip" + std::to_string(kind - kProgramPass1 + 1));
    return fPath;
}

int32_t Shader::GetIndexSubType(int32_t index) const {
    return fCategory == kRSImageProcess && fPasses >= 1 ? index + kProgramPass1 : index;
}

int32_t Shader::GetSubTypeIndex(int32_t kind) const {
    return fCategory == kRSImageProcess && fPasses >= 1 ? kind - kProgramPass1 : kind;
}

int32_t Shader::FirstSubFile() const {
    return fCategory == kRSImageProcess && fPasses >= 1 ? kProgramPass1 : 0;
}

int32_t Shader::LastSubFile() const {
    if (fCategory == kRSSurface) return kProgramTss;
    if (fCategory == kRSImageProcess && fPasses >= 1) return fPasses + kProgramPass1;
    return 0;
}

void Shader::SetNumShaderFiles(int32_t count) {
    const size_t n = count > 0 ? static_cast<size_t>(count) : 0;
    fRegisters.assign(n, {});
    fProgramIDs.assign(n, 0);
    fErrors.assign(n, 0);
    if (fCategory == kRSImageProcess) fPasses = count > 0 ? count : 1;
}

const std::map<std::string, uint32_t>& Shader::Registers(int32_t fileIndex) const {
    static const std::map<std::string, uint32_t> kNone;
    if (fileIndex < 0 || fileIndex >= NumShaderFiles()) return kNone;
    return fRegisters[static_cast<size_t>(fileIndex)];
}

// ---- parsing

bool Shader::Parse(ParseFile& file, const char* target, eShaderType kind, bool allowDuplicateID,
                   bool skipIdentifiers) {
    ParseState state;
    state.target = target ? target : "";
    state.kind = kind;
    state.allowDuplicateID = allowDuplicateID;
    state.skipIdentifiers = skipIdentifiers;
    state.vertexName = Text("default_vert");

    char line[kLineBytes];
    file.GetNextLine(line, kLineBytes);
    bool more = file.GetNextLine(line, kLineBytes) > 0;
    while (more && std::strncmp(line, "# !", 3) == 0) {
        ++state.lineNumber;
        ParseTag(state, line);
        if (state.endsTagBlock) break;
        more = file.GetNextLine(line, kLineBytes) > 0;
    }

    if (fCategory != kRSDisplacement && kind != kShaderVertex && state.vertexName.str() != "none")
        FindVertexProgram(state);

    if (kind != kShaderCPU && more && line[0] == '#') {
        for (int32_t i = 0; i < NumShaderFiles(); ++i) {
            if (i == 0) {
                do BindRegister(state, 0, line);
                while (file.GetNextLine(line, kLineBytes) > 0);
                continue;
            }
            ParseFile companion(GpuFragmentShaderFile(GetIndexSubType(i)));
            while (companion.GetNextLine(line, kLineBytes) > 0) BindRegister(state, i, line);
        }
    }

    GroupID();
    fHasTextureModifiers = HasArg("s_xshift") && HasArg("s_yshift") && HasArg("s_xscale") &&
                           HasArg("s_yscale") && HasArg("s_rotate");
    ResolvePointArgs();
    return true;
}

// One row per tag, consulted in order; the first row whose keyword matches the tag over its
// compared characters handles the line. Identifier rows are skipped when a vertex program file is
// read into the record of its description.
struct Shader::Tags {
    using Handler = void (*)(Shader&, ParseState&, const char* line);
    struct Row {
        const char* keyword;
        size_t compared;
        bool identifier;
        Handler handle;
    };

    template <int kind> static void Argument(Shader& s, ParseState& state, const char*) {
        s.ParseArgLine(state, state.tag, kind);
    }

    static void Type(Shader& s, ParseState& state, const char*) {
        const Category* found = nullptr;
        for (const Category& c : kCategories)
            if (!found && Is(state.field, c.keyword, c.compared)) found = &c;
        if (!found) {
            state.endsTagBlock = true;
            return;
        }
        s.fCategory = found->value;
        s.fInfo = Text(state.tokens->GetNext("\n", D));
        s.SetNumShaderFiles(s.fCategory == kRSSurface ? 5 : 1);
    }

    // The rest of the line after the tag, blanks and commas included.
    static std::string Rest(const char* line) {
        ParseString again(line + 3);
        again.GetNext(D);
        return Text(again.GetNext(kToTab, D)).str();
    }

    static void Name(Shader& s, ParseState&, const char* line) {
        std::string name = Rest(line);
        while (!name.empty() && name.back() == ' ') name.pop_back();
        s.fName = String(name);
    }

    static void Version(Shader& s, ParseState& state, const char*) {
        s.fVersion = shadertext::Truncate(shadertext::ReadFloat(state.field));
    }

    static void ID(Shader& s, ParseState& state, const char*) {
        const int32_t n = shadertext::ReadInt(state.field) & 0xFFFF;
        s.fID = IDFromNumber(n);
        ShaderCatalog* catalog = ShaderCatalog::Current();
        const Shader* holder = catalog ? catalog->FindShader(s.fID) : nullptr;
        if (holder && !state.allowDuplicateID)
            state.Fail(String("duplicate shader ID \"%d\"\nShader ID's must be unique\n%s %s", n,
                              holder->Name().str().c_str(), s.fName.str().c_str()));
    }

    static void CopyShader(Shader& s, ParseState& state, const char*) {
        const int32_t n = shadertext::ReadInt(state.field) & 0xFFFF;
        ShaderCatalog* catalog = ShaderCatalog::Current();
        const Shader* source = catalog ? catalog->FindShader(IDFromNumber(n)) : nullptr;
        if (!source)
            state.Fail(String("Reference to a shader to copy that does not exist [ID=%d, %s]", n,
                              s.fName.str().c_str()));
        state.preceding = nullptr;
        s.CopyNonIdentifiersFrom(*source);
    }

    static void CategoryDefault(Shader& s, ParseState&, const char*) { s.fCategoryDefault = true; }

    static void VertexShader(Shader&, ParseState& state, const char*) {
        if (*state.field) state.vertexName = Text(state.field);
    }

    static void Group(Shader& s, ParseState&, const char* line) {
        s.fGroups.push_back(String(Rest(line)));
    }

    static void ColorBufferLookupLinear(Shader& s, ParseState& state, const char*) {
        s.fColorBufferLookupLinear = shadertext::ReadInt(state.field) != 0;
    }

    static void AltMatrix(Shader& s, ParseState& state, const char*) {
        if (s.fID == 0) state.Fail(Text("duplicate or no shader ID\nShader ID's must be unique"));
        const int32_t m = shadertext::ReadInt(state.tokens->GetNext(D));
        if (m < 2 || m > 4)
            state.Fail(String(
                "Illegal texture matrix override index, %s set to %d but must be in range 2 to 4",
                state.field, m));
        s.fAltMatrix[state.field] = m;
    }

    static void CpuBlur(Shader& s, ParseState& state, const char*) {
        const char* F = state.field;
        if (std::strlen(F) >= 5) {
            for (int k = 0; k < 5; ++k)
                s.fBlur[k] = F[k] == '0' ? kBlurNone : F[k] == '1' ? kBlurFull : kBlurHalf;
        } else {
            s.fBlur[0] = kBlurFull;
        }
    }

    static void MultiPasses(Shader& s, ParseState& state, const char*) {
        if (s.fCategory != kRSImageProcess)
            state.Fail(Text("Multiple passes only valid for Image Process shaders"));
        const int32_t n = shadertext::ReadInt(state.field);
        if (n < 1 || n > 5) state.Fail(String("Illegal number of passes: %d", n));
        s.SetNumShaderFiles(n);
    }

    static void ExecTextureFunc(Shader&, ParseState& state, const char*) {
        if (!state.preceding || !state.preceding->IsTextureArg())
            state.Fail(Text("can't use exectexturefunc without preceding texture arg"));
        const uint32_t function = ShaderFunctionID(state.field);
        if (function == 0)
            state.Fail(String("Unknown function name %s after exectexturefunc", state.field));
        std::string arguments = Text(state.tokens->GetNext(kToTab, D)).str();
        for (char& c : arguments)
            if (c == ',') c = ' ';
        state.preceding->fExecuteArguments.push_back(String(arguments));
        state.preceding->fExecuteFunctions.push_back(function);
    }

    template <int members, ePackType type>
    static void Pack(Shader& s, ParseState& state, const char*) {
        std::vector<ShaderArg*> found;
        std::vector<String> names;
        for (int i = 0; i < members; ++i) {
            const char* name = state.tokens->GetNext(D);
            found.push_back(name ? s.GetShaderArg(name) : nullptr);
            names.push_back(Text(name));
            if (!found.back())
                state.Fail(String("Can't find individual arg descriptors for\nPack4 argument %s",
                                  state.field));
        }
        found[0]->fMasterName = Text(state.field);
        found[0]->fPackType = type;
        found[0]->fPackSlaves = names;
        for (size_t i = 1; i < found.size(); ++i) found[i]->fPackSlave = true;
    }

    static void Ignore(Shader&, ParseState&, const char*) {}

    static const Row kRows[];
};

const Shader::Tags::Row Shader::Tags::kRows[] = {
    {"type", 4, true, Type},
    {"name", 4, true, Name},
    {"version", 7, true, Version},
    {"ID", 2, true, ID},
    {"copyshader", 10, false, CopyShader},
    {"categoryDefault", 10, false, CategoryDefault},
    {"vertexshader", 10, false, VertexShader},
    {"group", 5, false, Group},
    {"angle", 5, false, Argument<kAngle>},
    {"string", 6, false, Argument<kStringArg>},
    {"colorBufferLookupLinear", 20, false, ColorBufferLookupLinear},
    {"point", 5, false, Argument<kPointColor>},
    {"color", 5, false, Argument<kPointColor>},
    {"bool", 4, false, Argument<kBool>},
    {"float", 5, false, Argument<kNumeric>},
    {"time", 4, false, Argument<kNumeric>},
    {"VSfloat", 7, false, Argument<kNumeric>},
    {"int", 3, false, Argument<kNumeric>},
    {"texture", 7, false, Argument<kTextureArg>},
    {"cubemap", 7, false, Argument<kTextureArg>},
    {"3dtexture", 9, false, Argument<kTextureArg>},
    {"shadertexture", 12, false, Argument<kTextureArg>},
    {"altmatrix", 15, false, AltMatrix},
    {"cpuBlurHalfRes", 14, false, CpuBlur},
    {"cpuBlur", 7, false, CpuBlur},
    {"multipasses", 8, false, MultiPasses},
    {"exectexturefunc", 10, false, ExecTextureFunc},
    {"pack4", 5, false, Pack<4, kPack4>},
    {"pack3+1", 7, false, Pack<2, kPack3Plus1>},
    {"cgcversion", 12, false, Ignore},
};

void Shader::ParseTag(ParseState& state, const char* line) {
    ParseString tokens(line + 3);
    const char* tag = tokens.GetNext(D);
    // "# !" with nothing after it, or only separators, carries no tag.
    if (!tag || tag[std::strspn(tag, D)] == '\0') return;
    const char* field = tokens.GetNext(D);
    state.tokens = &tokens;
    state.tag = tag;
    state.field = field ? field : "";
    for (const Tags::Row& row : Tags::kRows) {
        if (row.identifier && state.skipIdentifiers) continue;
        if (!Is(tag, row.keyword, row.compared)) continue;
        row.handle(*this, state, line);
        return;
    }
    if (!state.skipIdentifiers)
        state.Fail(String("unknown tag \"%s\"\nline %d, target \"%s\"", line + 2, state.lineNumber,
                          state.target));
}

void Shader::ParseArgLine(ParseState& state, const char* tag, int row) {
    const ArgKind kind = static_cast<ArgKind>(row);
    if (kind != kStringArg && fID == 0)
        state.Fail(Text("duplicate or no shader ID\nShader ID's must be unique"));
    ParseString& tokens = *state.tokens;
    const char* name = state.field;
    const char *value = nullptr, *range = nullptr, *procedure = nullptr, *info = nullptr;
    auto group = [&tokens]() -> const char* {
        return tokens.HasDelim(kBrackets) ? tokens.GetNext(kBrackets, D) : nullptr;
    };
    std::string lead; // text before a numeric argument's range, the start of its info
    switch (kind) {
    case kNumeric:
        value = tokens.GetNext(D);
        if (tokens.HasDelim(kBrackets) && !tokens.NextIsOneOf(kBrackets, D)) {
            // A bracket anywhere in the rest of the line counts: text before it ("Amount
            // (percent)") starts the info, and the range is what the brackets hold. Read as two
            // groups, "Amount" would be the range and "percent" an unknown procedure, and the
            // whole shader would be dropped.
            if (const char* before = tokens.GetNext(kBrackets, D)) lead = before;
            range = group();
        } else {
            range = group();
            procedure = group();
        }
        break;
    case kBool:
        value = tokens.GetNext(D);
        range = "";
        break;
    case kPointColor:
        value = tokens.GetNext(kBrackets, D);
        range = group();
        procedure = group();
        break;
    case kAngle:
        value = tokens.GetNext(D);
        group();
        procedure = group();
        range = "";
        break;
    case kStringArg:
        value = tokens.GetNext("'\"", D, true);
        break;
    case kTextureArg:
        procedure = group();
        value = tokens.GetNext(D);
        if (!value) value = "x";
        range = "";
        break;
    }
    info = tokens.GetNext(kToTab, D);
    std::string joined;
    if (!lead.empty()) {
        while (!lead.empty() && std::strchr(D, lead.back())) lead.pop_back();
        joined = info && *info ? lead + " " + info : lead;
        info = joined.c_str();
    }

    const bool vertexFloat = Is(tag, "VSfloat", 7);
    const bool shaderTexture = kind == kTextureArg && Is(tag, "shadertexture", 12);
    const char* type = vertexFloat ? "float" : shaderTexture ? "texture" : tag;

    ShaderArg* arg = GetShaderArg(name);
    if (arg) {
        // A line naming an existing argument (after copyshader) only gives it a new value.
        arg->Set(value);
        arg->fValueText = Text(value);
        if (kind == kTextureArg) arg->fShaderTexture = shaderTexture;
    } else {
        const uint32_t id = fID + static_cast<uint32_t>(fArgs.size());
        std::unique_ptr<ShaderArg> made;
        if (kind == kStringArg)
            made.reset(
                new ShaderArg(GroupID(), name, type, value, nullptr, info, NumShaderFiles()));
        else
            made.reset(new ShaderArg(GroupID(), kind == kBool ? id + 2048u : id, name, type, value,
                                     range, procedure, info, NumShaderFiles()));
        arg = made.get();
        const int32_t position = NumArgs();
        AddArg(std::move(made));
        if (kind == kTextureArg) {
            arg->fDestination = state.kind;
            const efargTypes t = arg->GetType();
            if (t == kArgTexture && fMainTexture.GetLength() == 0) fMainTexture = Text(name);
            if (t == kArgTexture || t == kArg3DTexture) ++fSingleTextureCount;
            if (arg->IsTextureArg()) {
                fAllTextureArgs.push_back(position);
                if (IsHideWord(arg->Value()) || IsHideWord(arg->Info()))
                    fHiddenTextureArgs.push_back(position);
            }
            if (arg->Name().str() == "mask") fAltMatrix["mask"] = 1;
            arg->fShaderTexture = shaderTexture;
        } else if (kind != kStringArg) {
            arg->fParameterIndex = state.kind == kShaderCPU ? state.cpuCounter++ : -1;
            arg->fDestination = vertexFloat ? kShaderVertex : state.kind;
            if (arg->GetType() == kArgTime) fHasTimeArg = true;
        }
    }
    arg->fExecuteFunctions.clear();
    arg->fExecuteArguments.clear();
    state.preceding = arg;
}

void Shader::BindRegister(ParseState& state, int32_t fileIndex, const char* line) {
    if (std::strncmp(line, "#var", 4) != 0) return;
    ParseString tokens(line + 4);
    const char* word = tokens.GetNext(D);
    const char* name = tokens.GetNext(D);
    const char* rest = tokens.GetNext(kToTab);
    if (!word || !name) return;

    eHwRegisterType kind = kHwConstant;
    bool sampler = std::strstr(word, "sampler") != nullptr;
    if (sampler) {
        if (std::strstr(word, "Rect") || std::strstr(word, "RECT"))
            kind = kHwSamplerRect;
        else if (std::strstr(word, "2D"))
            kind = kHwSampler2D;
        else if (std::strstr(word, "CUBE"))
            kind = kHwSamplerCube;
        else if (std::strstr(word, "3D"))
            kind = kHwSampler3D;
        else if (state.lastWasSampler)
            kind = state.lastSampler;
        else
            sampler = false;
    }
    state.lastWasSampler = sampler;
    if (sampler) state.lastSampler = kind;

    const char* mark = sampler ? "texunit" : state.kind == kShaderVertex ? "ATTR" : "c[";
    const char* at = rest ? std::strstr(rest, mark) : nullptr;
    if (!at) return;
    const int32_t number = shadertext::ReadInt(at + std::strlen(mark));
    if (number < 0) return;

    fRegisters[static_cast<size_t>(fileIndex)][name] = static_cast<uint32_t>(number);
    if (ShaderArg* arg = GetShaderArg(name)) {
        const size_t i = static_cast<size_t>(fileIndex);
        // Arguments made before multipasses have fewer files than the shader now has.
        if (arg->fRegisterIDs.size() <= i) {
            arg->fRegisterIDs.resize(i + 1, -1);
            arg->fRegisterTypes.resize(i + 1, kHwSamplerRect);
        }
        arg->fRegisterIDs[i] = number;
        arg->fRegisterTypes[i] = kind;
    } else if (std::strncmp(name, "time", 4) == 0) {
        fHasTimeArg = true;
    }
}

void Shader::FindVertexProgram(ParseState& state) {
    const String dir = Text(state.target).Path();
    String parent = dir;
    parent.RemoveLastSubDir();
    const char* name = state.vertexName.str().c_str();
    const String candidates[] = {String("%s%s.vrb", dir.str().c_str(), name),
                                 String("%s%s.vrb", parent.str().c_str(), name),
                                 String("%sSurface/%s.vrb", "", name)};
    for (const String& path : candidates)
        if (TESK_AE::platform::IsReadable(path.str().c_str())) {
            fVertexPath = path;
            return;
        }
    state.Fail(String("dependent shader %s not found for \"%s\"", candidates[2].str().c_str(),
                      fName.str().c_str()));
}

// ---- loading and copying

void Shader::LoadDefault(const char* path) {
    Clear();
    const bool allowDuplicateID = path == nullptr;
    if (path) fPath = Text(path);
    const std::string file = fPath.str();
    ShaderCatalog* catalog = ShaderCatalog::Current();
    fCpuModule = catalog ? catalog->InitCpuShaderProgram(file.c_str()) : 0;
    if (fCpuModule != 0) {
        const String description = catalog->CpuShaderData();
        ParseFile text(description.str().c_str(), description.str().size());
        Parse(text, file.c_str(), kShaderCPU, allowDuplicateID, false);
    } else {
        ParseFile text(file.c_str());
        Parse(text, file.c_str(), kShaderFragment, allowDuplicateID, false);
        if (fVertexPath.GetLength() > 0) {
            const std::string vertex = fVertexPath.str();
            ParseFile program(vertex.c_str());
            Parse(program, vertex.c_str(), kShaderVertex, allowDuplicateID, true);
        }
        if (path && catalog) {
            // The shader's own folders, also when copyshader brought the copied one's.
            fCategories.clear();
            const std::string root = catalog->ShaderPath().str();
            String rest = Text(path).Path();
            rest = rest.GetLength() > static_cast<int>(root.size())
                       ? rest.Mid(static_cast<int>(root.size()), rest.GetLength())
                       : String();
            while (rest.GetLength() > 1) {
                const String folder = rest.RemoveFirstSubDir();
                if (folder.GetLength() > 0) fCategories.push_back(folder);
            }
        }
    }
    const auto& registers = Registers(0);
    const auto gel = registers.find("gelUsage");
    fAcceptsLightGels = gel != registers.end() && gel->second != 0 && gel->second != 0xFFFFFFFFu;
}

void Shader::CopyNonIdentifiersFrom(const Shader& other) {
    if (&other == this) return;
    if (fName.GetLength() == 0 || fName.str() == "unknown") {
        fSimpleCopy = true;
        fName = other.fName;
    }
    fCategory = other.fCategory;
    if (fID == 0) shadertext::Fail("can't have a copyshader without it's own ID");
    fFrontEndMasterID = FrontEndOf(other.fID);
    fHasTimeArg = other.fHasTimeArg;
    fPath = other.fPath;
    fVertexPath = other.fVertexPath;
    fInfo = other.fInfo;
    fGroups = other.fGroups;
    fCategories = other.fCategories;
    fCpuModule = other.fCpuModule;
    fCpuCompanion = other.fCpuCompanion;
    fMainTexture = other.fMainTexture;
    fAltMatrix = other.fAltMatrix;
    fColorBufferLookupLinear = other.fColorBufferLookupLinear;
    for (int k = 0; k < 5; ++k) fBlur[k] = other.fBlur[k];
    fPasses = other.fPasses;
    SetNumShaderFiles(other.NumShaderFiles());

    for (size_t i = 0; i < other.fArgs.size(); ++i) {
        std::unique_ptr<ShaderArg> copy(new ShaderArg(*other.fArgs[i]));
        copy->fParameterID = other.fArgs[i]->fParameterID - other.fID + fID;
        if (i < fArgs.size()) {
            const auto entry = fArgsByName.find(fArgs[i]->Name().str());
            if (entry != fArgsByName.end() && entry->second == fArgs[i].get())
                fArgsByName.erase(entry);
            fArgs[i] = std::move(copy);
        } else {
            fArgs.push_back(std::move(copy));
        }
        fArgsByName[fArgs[i]->Name().str()] = fArgs[i].get();
    }

    fRegisters = other.fRegisters;
    fProgramIDs = other.fProgramIDs;
    fErrors = other.fErrors;
    fAllTextureArgs = other.fAllTextureArgs;
    fHiddenTextureArgs = other.fHiddenTextureArgs;
    fSingleTextureCount = other.fSingleTextureCount;
    fHasTextureModifiers = other.fHasTextureModifiers;
    fAcceptsLightGels = other.fAcceptsLightGels;
}

// ---- groups, arguments, point arguments

int32_t Shader::GroupID() {
    if (fGroups.empty()) fGroups.push_back(Text("Attributes"));
    return static_cast<int32_t>(fGroups.size()) - 1;
}

String Shader::GroupName(int32_t index) const {
    if (index < 0 || index >= GetNumOfGroups()) return String();
    return fGroups[static_cast<size_t>(index)];
}

eCPUBlurType Shader::IsBlurShader(int32_t fileIndex) const {
    return fileIndex >= 0 && fileIndex < 5 ? fBlur[fileIndex] : kBlurNone;
}

uint32_t Shader::FrontEndID() const {
    return FrontEndOf(fID);
}

void Shader::AddArg(std::unique_ptr<ShaderArg> arg) {
    fArgsByName[arg->Name().str()] = arg.get();
    fArgs.push_back(std::move(arg));
}

void Shader::ResolvePointArgs() {
    fPointNames.clear();
    fPointIndexes.clear();
    static const char* const kSuffixes[] = {"_x", "_y", "_z", "_w"};
    auto endsWith = [this](size_t index, const char* suffix) {
        const std::string& name = fArgs[index]->Name().str();
        return name.size() >= 2 && name.compare(name.size() - 2, 2, suffix) == 0;
    };
    for (size_t first = 0; first < fArgs.size(); ++first) {
        if (!endsWith(first, "_x")) continue;
        std::vector<int32_t> run{static_cast<int32_t>(first)};
        while (run.size() < 4 && first + run.size() < fArgs.size() &&
               endsWith(first + run.size(), kSuffixes[run.size()]))
            run.push_back(static_cast<int32_t>(first + run.size()));
        if (run.size() < 2) continue;
        fPointNames.push_back(fArgs[first]->Name());
        fPointIndexes.push_back(run);
    }
}

void Shader::FindPointArgIndexes(const char* pointName, std::vector<int32_t>& indexes) const {
    indexes.clear();
    for (size_t i = 0; pointName && i < fPointNames.size(); ++i)
        if (fPointNames[i].str() == pointName) indexes = fPointIndexes[i];
}

ShaderArg* Shader::GetShaderArg(int32_t index) const {
    return index >= 0 && index < NumArgs() ? fArgs[static_cast<size_t>(index)].get() : nullptr;
}

ShaderArg* Shader::GetShaderArg(const char* name) const {
    if (!name) return nullptr;
    const auto found = fArgsByName.find(name);
    return found == fArgsByName.end() ? nullptr : found->second;
}

int32_t Shader::ArgNames(std::vector<String>& names) const {
    names.clear();
    for (const auto& arg : fArgs) names.push_back(arg->Name());
    return NumArgs();
}

// Queries for a name the shader does not have answer with an empty text, type none, zeros and
// null pointers.
String Shader::ArgInfo(const char* name) const {
    const ShaderArg* arg = GetShaderArg(name);
    return arg ? arg->Info() : String();
}

String Shader::ArgStrVal(const char* name) const {
    const ShaderArg* arg = GetShaderArg(name);
    return arg ? arg->Value() : String();
}

efargTypes Shader::ArgType(const char* name) const {
    const ShaderArg* arg = GetShaderArg(name);
    return arg ? arg->GetType() : kArgNone;
}

float Shader::GetMin(const char* name) const {
    const ShaderArg* arg = GetShaderArg(name);
    return arg ? arg->GetMin() : 0.0f;
}

float Shader::GetMax(const char* name) const {
    const ShaderArg* arg = GetShaderArg(name);
    return arg ? arg->GetMax() : 0.0f;
}

int32_t Shader::GetInt(const char* name) const {
    const ShaderArg* arg = GetShaderArg(name);
    return arg ? arg->GetInt() : 0;
}

float Shader::GetFloat(const char* name) const {
    const ShaderArg* arg = GetShaderArg(name);
    return arg ? arg->GetFloat() : 0.0f;
}

const char* Shader::GetString(const char* name) const {
    const ShaderArg* arg = GetShaderArg(name);
    return arg ? arg->GetString() : nullptr;
}

const float* Shader::GetPoint(const char* name) const {
    const ShaderArg* arg = GetShaderArg(name);
    return arg ? arg->GetFloatPtr() : nullptr;
}

const float* Shader::GetColor(const char* name) const {
    return GetPoint(name);
}

uint32_t Shader::GetArgIdx(const char* name) const {
    const ShaderArg* arg = GetShaderArg(name);
    return arg ? GetArgIdx(arg->ID()) : 0xFFFFFFFFu;
}

uint32_t Shader::GetArgIdx(uint32_t parameterID) const {
    const uint32_t index = (parameterID - fID) % 2048u;
    return index < static_cast<uint32_t>(NumArgs()) ? index : 0xFFFFFFFFu;
}

uint32_t Shader::GetArbID(const char* registerName, int32_t kind) const {
    const auto& registers = Registers(GetSubTypeIndex(kind));
    const auto found = registerName ? registers.find(registerName) : registers.end();
    if (found == registers.end() || found->second == 0) return 0xFFFFFFFFu;
    return found->second;
}

int32_t Shader::GetAltTexMatrix(const char* name) const {
    const auto found = name ? fAltMatrix.find(name) : fAltMatrix.end();
    return found == fAltMatrix.end() ? 0 : found->second;
}

void Shader::SetArgStr(const char* name, const char* text) {
    if (ShaderArg* arg = GetShaderArg(name)) arg->fValueText = Text(text);
}

void Shader::ArgStrToVal() {
    for (const auto& arg : fArgs) arg->Set(arg->Value().str().c_str());
}

} // namespace OGL_TESK_AE
