#include "gl/effects/GLSL.h"

#include "common/Errors.h"
#include "common/PhaseTimer.h"
#include "platform/Files.h"
#include "gl/context/Implementation/EntryPoints.h"

#include <GL/gl.h>

#include <cstdio>
#include <vector>

namespace OGL_TESK_AE {
namespace GLSL {

namespace {

// Source files are read through one process-wide buffer; only the worker reads them. Larger
// files are read in several passes, so a file of any size loads whole.
constexpr size_t kFileBufferSize = 0x8000000;
char sFileBuffer[kFileBufferSize];

} // namespace

// ---- Shader ----

Shader::Shader(unsigned int type, const char* source)
    : fType(type), fSource(source ? source : ""), fName(0) {}

Shader::Shader(const Shader& other)
    : Resource(other), fType(other.fType), fSource(other.fSource), fName(0) {}

Shader& Shader::operator=(const Shader& other) {
    if (this == &other) return *this;
    Finalize();
    fType = other.fType;
    fSource = other.fSource;
    fLog.clear();
    return *this;
}

Shader::~Shader() {
    try {
        Finalize();
    } catch (...) {
        // Without the entry point there is nothing to delete it with; the context takes the
        // shader with it.
    }
}

bool Shader::LoadFile(const char* path) {
    std::FILE* file = TESK_AE::platform::OpenForReading(path);
    if (!file) return false;
    sFileBuffer[0] = '\0';
    std::string text;
    size_t count;
    while ((count = std::fread(sFileBuffer, 1, kFileBufferSize, file)) > 0)
        text.append(sFileBuffer, count);
    std::fclose(file);
    fSource.swap(text);
    return true;
}

Shader::operator int() const {
    Initialize();
    return static_cast<int>(fName);
}

void Shader::Initialize() const {
    if (fName != 0) return;
    PhaseTimer timer(Phase::ProgramBuild);
    auto create = TESK_GL(glCreateShader);
    auto source = TESK_GL(glShaderSource);
    auto compile = TESK_GL(glCompileShader);
    fLog.clear();
    Relist();
    fName = create(fType);
    const GLchar* text = fSource.c_str();
    const GLint length = static_cast<GLint>(fSource.size());
    source(fName, 1, &text, &length);
    compile(fName);
    CheckStatus();
}

void Shader::CheckStatus() const {
    GLint status = GL_FALSE;
    TESK_GL(glGetShaderiv)(fName, GL_COMPILE_STATUS, &status);
    if (status != GL_FALSE) return;
    GLint length = 0;
    TESK_GL(glGetShaderiv)(fName, GL_INFO_LOG_LENGTH, &length);
    if (length > 0) {
        std::vector<GLchar> log(static_cast<size_t>(length) + 1, '\0');
        GLsizei written = 0;
        TESK_GL(glGetShaderInfoLog)(fName, length, &written, log.data());
        fLog = "GLSL Compile Error:\n";
        fLog.append(log.data(), static_cast<size_t>(written));
    }
    throw Error(fLog.c_str());
}

void Shader::Finalize() {
    const GLuint name = fName;
    fName = 0;
    if (name != 0) TESK_GL(glDeleteShader)(name);
}

void Shader::Dump() const {}

// ---- Program ----

Program::Program() : fName(0), fNeedsLink(false) {}

Program::Program(const Program& other) : Resource(other), fName(0), fNeedsLink(false) {}

Program& Program::operator=(const Program& other) {
    if (this != &other) {
        Finalize();
        fLog.clear();
    }
    return *this;
}

Program::~Program() {
    try {
        Finalize();
    } catch (...) {
        // As for shaders: no entry point, nothing to delete with.
    }
}

void Program::Initialize() const {
    if (fName != 0) return;
    Relist();
    fName = TESK_GL(glCreateProgram)();
    fNeedsLink = true;
}

void Program::Attach(const Shader& shader) {
    auto attach = TESK_GL(glAttachShader);
    Initialize();
    shader.Initialize();
    attach(fName, static_cast<GLuint>(static_cast<int>(shader)));
    fNeedsLink = true;
}

void Program::Detach(const Shader& shader) {
    auto detach = TESK_GL(glDetachShader);
    shader.Initialize();
    detach(fName, static_cast<GLuint>(static_cast<int>(shader)));
    fNeedsLink = true;
}

void Program::Apply() const {
    auto use = TESK_GL(glUseProgram);
    Initialize();
    if (fNeedsLink && fName != 0) Link();
    use(fName);
}

void Program::Link() const {
    if (!fNeedsLink || fName == 0) return;
    PhaseTimer timer(Phase::ProgramBuild);
    TESK_GL(glLinkProgram)(fName);
    fNeedsLink = false;
    fLog.clear();
    CheckStatus();
}

void Program::CheckStatus() const {
    GLint status = GL_FALSE;
    TESK_GL(glGetProgramiv)(fName, GL_LINK_STATUS, &status);
    if (status != GL_FALSE) return;
    GLint length = 0;
    TESK_GL(glGetProgramiv)(fName, GL_INFO_LOG_LENGTH, &length);
    if (length > 0) {
        std::vector<GLchar> log(static_cast<size_t>(length) + 1, '\0');
        GLsizei written = 0;
        TESK_GL(glGetProgramInfoLog)(fName, length, &written, log.data());
        fLog = "GLSL Link Error:\n";
        fLog.append(log.data(), static_cast<size_t>(written));
    }
    throw Error(fLog.c_str());
}

bool Program::IsCurrent() const {
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    return current != 0 && static_cast<GLuint>(current) == fName;
}

void Program::Retrieve() {
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    fName = static_cast<GLuint>(current);
}

void Program::Finalize() {
    const GLuint name = fName;
    fName = 0;
    fNeedsLink = false;
    if (name != 0) TESK_GL(glDeleteProgram)(name);
}

void Program::Dump() const {}

// ---- Uniform ----

Uniform::Uniform(const std::string& name, unsigned int type)
    : fName(name), fType(type), fLocation(-1) {}

void Uniform::Attach(const Program& program) const {
    auto locate = TESK_GL(glGetUniformLocation);
    const int name = program;
    if (name == 0) throw Error("No Program for Uniform Variable");
    fLocation = locate(static_cast<GLuint>(name), fName.c_str());
}

bool Uniform::Validate() const {
    if (fLocation == -1) throw Error("No Location for Uniform Variable");
    return true;
}

} // namespace GLSL
} // namespace OGL_TESK_AE
