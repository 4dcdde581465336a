#include "tools/ShaderCommands.h"

#include "tools/Catalogue.h"
#include "tools/Commands.h"
#include "tools/Failure.h"
#include "tools/ImageFile.h"
#include "tools/Operations.h"

#include "common/Errors.h"
#include "shaders/FileEncryptor.h"
#include "shaders/Shader.h"
#include "shaders/ShaderCatalog.h"
#include "shaders/ShaderManager.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

namespace cli {

namespace {

namespace fs = std::filesystem;
using namespace OGL_TESK_AE;

// A regular file's bytes. A folder or a special file is refused before it is opened: reading a
// FIFO would wait for a writer that never comes.
std::string ReadBytes(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (fs::is_directory(status)) throw Failure("cannot read '" + path + "': it is a folder");
    if (fs::exists(status) && !fs::is_regular_file(status))
        throw Failure("cannot read '" + path + "': it is not a regular file");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Failure("cannot read '" + path + "'");
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw Failure("cannot read '" + path + "': reading stopped part way");
    return bytes;
}

// The other description files below the shader root, loaded when first asked for an ID. A
// file whose load fails (a duplicate ID, a copy of a missing shader) is left out.
class FolderCatalog : public ShaderCatalog {
public:
    FolderCatalog(const fs::path& root, const fs::path& skip) : fRoot(root) {
        std::error_code error;
        for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
             it.increment(error))
            if (it->is_regular_file() && it->path().extension() == ".arb" &&
                !fs::equivalent(it->path(), skip, error))
                fPaths.push_back(it->path().string());
        std::sort(fPaths.begin(), fPaths.end());
    }

    Shader* FindShader(uint32_t id) override {
        for (const std::string& path : fPaths) {
            Entry& entry = fEntries[path];
            if (entry.state == State::Unread) {
                entry.state = State::Reading;
                std::unique_ptr<Shader> shader(new Shader);
                try {
                    shader->LoadDefault(path.c_str());
                    entry.shader = std::move(shader);
                } catch (const Error&) {
                }
                entry.state = State::Read;
            }
            if (entry.shader && entry.shader->ID() == id) return entry.shader.get();
        }
        return nullptr;
    }

    String ShaderPath() const override {
        std::string root = fRoot.string();
        if (!root.empty() && root.back() != '/') root += '/';
        return String(root);
    }

private:
    enum class State { Unread, Reading, Read };
    struct Entry {
        State state = State::Unread;
        std::unique_ptr<Shader> shader;
    };
    fs::path fRoot;
    std::vector<std::string> fPaths;
    std::map<std::string, Entry> fEntries;
};

// The shader root: the nearest folder at or above the file's that holds a "Surface" folder,
// where shaders share their default vertex programs; else the file's own folder.
fs::path RootOf(const fs::path& file) {
    const fs::path folder = fs::absolute(file).parent_path();
    for (fs::path at = folder; !at.empty(); at = at.parent_path()) {
        if (fs::is_directory(at / "Surface")) return at;
        if (at == at.parent_path()) break;
    }
    return folder;
}

const char* CategoryName(eRSShaderType category) {
    static const char* const kNames[] = {"none",  "volume",       "surface",    "displacement",
                                         "light", "imageProcess", "procedural", "utilsurf"};
    return category >= 0 && category <= kRSUtilSurf ? kNames[category] : "unknown";
}

const char* TypeName(efargTypes type) {
    static const char* const kNames[] = {"none",    "string", "bool",   "int",     "float",
                                         "angle",   "color",  "point",  "texture", "3dtexture",
                                         "cubemap", "time",   "submenu"};
    return type >= 0 && type <= kArgSubmenu ? kNames[type] : "none";
}

std::string ValueText(const ShaderArg& arg) {
    std::ostringstream out;
    switch (arg.GetType()) {
    case kArgBool:
    case kArgInt:
    case kArgSubmenu:
        out << arg.GetInt();
        break;
    case kArgFloat:
    case kArgAngle:
    case kArgTime:
        out << arg.GetFloat();
        break;
    case kArgColor:
    case kArgPoint:
        for (int i = 0; i < 4; ++i) out << (i ? " " : "") << arg.GetFloatPtr()[i];
        break;
    default:
        out << '"' << (arg.GetString() ? arg.GetString() : "") << '"';
    }
    return out.str();
}

std::string Joined(const std::vector<String>& items, const char* separator) {
    std::string all;
    for (const String& item : items) all += (all.empty() ? "" : separator) + item.str();
    return all;
}

void PrintArgument(const Shader& shader, const ShaderArg& arg) {
    std::printf("  %-20s %-9s %s\n", arg.Name().str().c_str(), TypeName(arg.GetType()),
                ValueText(arg).c_str());
    std::printf("      group %s", shader.GroupName(arg.Group()).str().c_str());
    if (arg.GetType() == kArgInt && !arg.PopupArgs().empty())
        std::printf(", items %s", Joined(arg.PopupArgs(), " | ").c_str());
    else if (!arg.IsTextureArg() && arg.GetType() != kArgString)
        std::printf(", range %g..%g (slider %g..%g)", arg.GetMin(), arg.GetMax(),
                    arg.GetSliderMin(), arg.GetSliderMax());
    if (arg.ImageModifiers() != kImageNone)
        std::printf(", image modifier %d", arg.ImageModifiers());
    if (!arg.GetArgModifierString().empty())
        std::printf(", modifiers %s", Joined(arg.GetArgModifierString(), " ").c_str());
    if (arg.IsPackMaster())
        std::printf(", packs %s as %s", Joined(arg.PackSlaves(), " ").c_str(),
                    arg.MasterName().str().c_str());
    if (arg.IsPackSlave()) std::printf(", packed");
    for (size_t i = 0; i < arg.ExecuteFunctions().size(); ++i)
        std::printf(", runs function %u (%s)", arg.ExecuteFunctions()[i],
                    arg.ExecuteArguments()[i].str().c_str());
    if (arg.Info().GetLength() > 0) std::printf(", info \"%s\"", arg.Info().str().c_str());
    std::printf("\n");
    std::string registers;
    for (int32_t file = 0; file < shader.NumShaderFiles(); ++file) {
        const int32_t id = arg.HwRegsiterID(file);
        if (id < 0 || (arg.ArgDest() == kShaderVertex && file > 0)) continue;
        registers += " file " + std::to_string(file) + ": " + std::to_string(id) + " (kind " +
                     std::to_string(arg.HwRegsiterType(file)) + ")";
    }
    if (!registers.empty()) std::printf("      registers%s\n", registers.c_str());
}

void PrintCatalogue() {
    std::string category;
    size_t count = 0;
    const std::vector<CatalogueEntry> entries = ListCatalogue();
    for (const CatalogueEntry& entry : entries) {
        if (entry.category != category) {
            category = entry.category;
            count = 0;
            for (const CatalogueEntry& other : entries) count += other.category == category;
            if (category == "by ID only")
                std::printf("by ID only (legacy, simple copies, utility):\n");
            else
                std::printf("%s: %zu\n", category.c_str(), count);
        }
        std::string marks;
        if (!entry.group.empty())
            marks += "  sub-group " + entry.group + (entry.groupDefault ? " (default)" : "");
        if (!entry.failure.empty()) marks += "  FAILS: " + OneLine(entry.failure);
        const std::string note = entry.kind.empty() ? "" : " [" + entry.kind + "]";
        std::printf("  %5u  %-24s%s%s\n", entry.id, entry.name.c_str(), note.c_str(),
                    marks.c_str());
    }
}

// Loads the description file at path (absolute) into shader, the other files below its root
// standing in for the catalogue; the parser's message where it fails.
std::string LoadAlone(const std::string& path, Shader& shader) {
    FolderCatalog catalog(RootOf(path), path);
    ShaderCatalog::SetCurrent(&catalog);
    std::string failure;
    try {
        shader.LoadDefault(path.c_str());
    } catch (const Error& error) {
        failure = error.what();
    }
    ShaderCatalog::SetCurrent(nullptr);
    return failure;
}

// The shader root as a folder that can be listed: a missing or unreadable root would list an
// empty catalogue as if all were well.
void CheckRoot(const std::string& root) {
    std::error_code error;
    if (!fs::is_directory(root, error))
        throw Failure("there is no shader root folder '" + root + "'");
    fs::directory_iterator listing(root, error);
    if (error) throw Failure("cannot read the shader root '" + root + "': " + error.message());
}

// The description files below root that do not load on their own, each as a warning with the
// parser's message: the catalogue leaves them out without a word.
void WarnOfUnloadable(const std::string& root) {
    std::vector<std::string> paths;
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error)) {
        const std::string ext = it->path().extension().string();
        if ((ext == ".arb" || ext == ".drb") && it->is_regular_file())
            paths.push_back(fs::absolute(it->path()).lexically_normal().string());
    }
    std::sort(paths.begin(), paths.end());
    for (const std::string& path : paths) {
        Shader shader;
        const std::string failure = LoadAlone(path, shader);
        if (!failure.empty())
            std::fprintf(stderr, "tesk-ae: warning: '%s' is left out: %s\n", path.c_str(),
                         OneLine(failure).c_str());
    }
}

} // namespace

std::string SampleCatalogue() {
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    const fs::path installed = exe.parent_path().parent_path() / "share/TESK_Common_AE/shaders";
    if (!error && fs::is_directory(installed, error)) return installed.string();
    return TESK_SAMPLE_SHADERS;
}

int ListShaders(const std::string& root, const std::string& bind) {
    if (!root.empty())
        ShaderManager::SetShaderPath(root.c_str());
    else if (ShaderManager::ShaderPath().GetLength() == 0)
        ShaderManager::SetShaderPath(SampleCatalogue().c_str());
    const std::string used = ShaderManager::ShaderPath().str();
    CheckRoot(used);
    int status = kSuccess;
    std::string error;
    const bool ran = RunOnWorker(
        [&]() {
            ShaderManager::Init();
            std::printf("shader root: %s\nshaders available: %s\n",
                        ShaderManager::ShaderPath().str().c_str(),
                        ShaderManager::ShadersAvailable() ? "yes" : "no");
            if (bind.empty()) {
                PrintCatalogue();
                std::fflush(stdout);
                return WarnOfUnloadable(used);
            }
            const Shader* shader = nullptr;
            std::vector<String> names;
            for (auto get : {ShaderManager::GetSurfaceShader, ShaderManager::GetVolumeShader,
                             ShaderManager::GetDisplacementShader, ShaderManager::GetLightShader,
                             ShaderManager::GetImageProcessShader,
                             ShaderManager::GetProceduralShader, ShaderManager::GetUtilityShader})
                if (!shader) shader = get(bind.c_str());
            if (!shader) {
                std::printf("no shader named '%s'\n", bind.c_str());
                status = kFailed;
                return;
            }
            const std::string failure = BindError(shader);
            std::printf("%s: %s\n", bind.c_str(),
                        failure.empty() ? "bound" : ("fails: " + failure).c_str());
            if (!failure.empty()) status = kFailed;
        },
        error);
    if (!ran)
        throw Failure(OneLine(error).empty() ? "the shader catalogue failed" : OneLine(error));
    return status;
}

int EncipherFile(const std::string& in, const std::string& out) {
    const std::string plain = ReadBytes(in);
    if (plain.compare(0, CFileEncryptor::kHeaderBytes, CFileEncryptor::Header()) == 0)
        throw Failure("'" + in + "' is enciphered already");
    const std::string sealed = CFileEncryptor::Encipher(plain);
    if (!CFileEncryptor::LooksEnciphered(sealed.data(), sealed.size()))
        std::fprintf(stderr,
                     "tesk-ae: note: '%s' reads as enciphered from a file, but the first "
                     "enciphered byte occurs in the header line, so the same bytes "
                     "handed over in memory would be taken for plain text\n",
                     out.c_str());
    WriteFileBytes(out, sealed);
    return kSuccess;
}

int DecipherFile(const std::string& in, const std::string& out) {
    std::string plain;
    const std::string container = ReadBytes(in);
    if (!CFileEncryptor::Decipher(container, plain))
        throw Failure("'" + in + "' is not an enciphered description file");
    // Enciphering writes whole blocks; a part block is what a cut-off copy leaves. (A copy cut
    // at a block's end cannot be told from a shorter file.)
    const size_t blocks = container.size() - CFileEncryptor::kHeaderBytes;
    if (blocks % 8 != 0)
        throw Failure("'" + in + "' is cut off: its enciphered part is " + std::to_string(blocks) +
                      " bytes, not whole blocks of 8");
    WriteFileBytes(out, plain);
    return kSuccess;
}

int PrintShaderInfo(const std::string& file) {
    if (!fs::is_regular_file(file)) throw Failure("cannot read '" + file + "'");
    // Folders below the root become the shader's categories, so both are absolute.
    const std::string path = fs::absolute(file).lexically_normal().string();
    Shader shader;
    const std::string failure = LoadAlone(path, shader);
    if (!failure.empty()) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        return kFailed;
    }

    std::printf("name:       %s%s\n", shader.Name().str().c_str(),
                shader.SimpleCopyShader() ? " (named after the shader it copies)" : "");
    std::printf("category:   %s (%d)%s\n", CategoryName(shader.Type()), shader.Type(),
                shader.IsSubCategoryDefault() ? ", category default" : "");
    std::printf("ID:         %u (0x%08X), version %d\n", shader.FrontEndID(), shader.ID(),
                shader.Version());
    if (shader.FrontEndMasterID() != 65535)
        std::printf("copies:     %u\n", shader.FrontEndMasterID());
    std::printf("info:       %s\n", shader.Info().str().c_str());
    std::printf("folders:    %s\n", Joined(shader.GetShaderCategory(), "/").c_str());
    std::printf("vertex:     %s\n", shader.GpuVertexShaderFile().GetLength() > 0
                                        ? shader.GpuVertexShaderFile().str().c_str()
                                        : "none");
    std::printf("programs:   %d", shader.NumShaderFiles());
    for (int32_t i = 0; i < shader.NumShaderFiles(); ++i)
        std::printf(
            "%s %s", i ? "," : "",
            shader.GpuFragmentShaderFile(shader.GetIndexSubType(i)).FileName().str().c_str());
    std::printf("\nblur:       ");
    for (int32_t i = 0; i < 5; ++i) std::printf("%d", shader.IsBlurShader(i));
    std::printf("\nflags:     %s%s%s%s\n", shader.HasTimeBasedArg() ? " time" : "",
                shader.HasTextureModifiers() ? " texture-modifiers" : "",
                shader.AcceptsLightGels() ? " light-gels" : "",
                shader.ColorBufferLookupLinear() ? " linear-lookup" : "");
    std::vector<String> groups;
    for (int32_t i = 0; i < shader.GetNumOfGroups(); ++i) groups.push_back(shader.GroupName(i));
    std::printf("groups:     %s\n", Joined(groups, ", ").c_str());
    if (!shader.GetPointArguments().empty())
        std::printf("points:     %s\n", Joined(shader.GetPointArguments(), ", ").c_str());
    if (!shader.GetMainTextureName().str().empty())
        std::printf("main texture: %s\n", shader.GetMainTextureName().str().c_str());
    std::printf("arguments:  %d\n", shader.NumArgs());
    for (int32_t i = 0; i < shader.NumArgs(); ++i) PrintArgument(shader, *shader.GetShaderArg(i));
    return kSuccess;
}

} // namespace cli
