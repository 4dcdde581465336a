// The ARB assembly back-end: program objects made at a shader's first bind, one per program
// file, kept until the binding is reset.
#include "common/Errors.h"
#include "gl/context/Implementation/EntryPoints.h"
#include "shaders/FileEncryptor.h"
#include "shaders/Implementation/ManagerState.h"
#include "shaders/Implementation/Numbers.h"
#include "shaders/ShaderManager.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace OGL_TESK_AE {

namespace {

void DeleteProgram(uint32_t& program) {
    if (program == 0) return;
    const GLuint name = program;
    TESK_GL(glDeleteProgramsARB)(1, &name);
    program = 0;
}

// A new program object, bound to target.
uint32_t NewProgram(GLenum target) {
    GLuint name = 0;
    TESK_GL(glGenProgramsARB)(1, &name);
    TESK_GL(glBindProgramARB)(target, name);
    return name;
}

} // namespace

void Shader::ResetShaderBinding() {
    DeleteProgram(fVertexProgram);
    for (uint32_t& program : fProgramIDs) DeleteProgram(program);
    for (char& error : fErrors) error = 0;
}

void ShaderManager::DeleteArbShader(uint32_t& program) {
    DeleteProgram(program);
}

bool ShaderManager::BindCgShader(Shader*, eShaderProgamType) {
    return false;
}

bool ShaderManager::BindArbShader(Shader* shader, eShaderProgamType kind) {
    const bool imageProcess = shader->Type() == kRSImageProcess;
    const int32_t index = shader->Type() == kRSSurface           ? kind
                          : imageProcess && kind != kProgramMain ? kind - kProgramPass1
                                                                 : 0;
    if (index < 0 || index >= shader->NumShaderFiles()) return false;
    const size_t i = static_cast<size_t>(index);
    const String file = shader->GpuFragmentShaderFile(imageProcess ? index + kProgramPass1 : index);

    if (shader->fProgramIDs[i] == 0) {
        shader->fProgramIDs[i] = NewProgram(GL_FRAGMENT_PROGRAM_ARB);
        // A program the driver rejects stays failed until the binding is reset.
        shader->fErrors[i] = 1;
        shader->fErrors[i] = !LoadArbShader(file.str().c_str(), GL_FRAGMENT_PROGRAM_ARB);
    }
    if (!shader->fErrors[i] && shader->GpuVertexShaderFile().GetLength() > 0 &&
        shader->fVertexProgram == 0) {
        glEnable(GL_VERTEX_PROGRAM_ARB);
        shader->fVertexProgram = NewProgram(GL_VERTEX_PROGRAM_ARB);
        shader->fErrors[i] = 1;
        shader->fErrors[i] =
            !LoadArbShader(shader->GpuVertexShaderFile().str().c_str(), GL_VERTEX_PROGRAM_ARB);
    }

    shadermgr::State& s = shadermgr::Get();
    s.fragmentProgram = shader->fProgramIDs[i];
    s.vertexProgram = shader->fVertexProgram;
    TESK_GL(glBindProgramARB)(GL_FRAGMENT_PROGRAM_ARB, s.fragmentProgram);
    if (s.vertexProgram != 0) TESK_GL(glBindProgramARB)(GL_VERTEX_PROGRAM_ARB, s.vertexProgram);
    return !shader->fErrors[i];
}

bool ShaderManager::LoadArbShader(const char* path, uint32_t target) {
    std::string text;
    if (!CFileEncryptor::ReadSource(path, text)) return false;
    // The driver reads the program up to its first NUL, as it would a C string.
    text.resize(std::strlen(text.c_str()));

    const GLsizei length = static_cast<GLsizei>(text.size());
    TESK_GL(glProgramStringARB)(target, GL_PROGRAM_FORMAT_ASCII_ARB, length, text.data());
    GLint position = -1;
    glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &position);
    if (position == -1) return true;
    // The rejected program raised GL_INVALID_OPERATION; the error text below reports it.
    while (glGetError() != GL_NO_ERROR) {
    }
    // A parser that ran off the end of the text reports the text's length as the position.
    if (position == length)
        shadertext::Fail(String("Unknown ARB shader program parse error in \"%s\"", path).str());
    shadertext::Fail(String("ARB shader program error in \"%s\":", path).str());
}

} // namespace OGL_TESK_AE
