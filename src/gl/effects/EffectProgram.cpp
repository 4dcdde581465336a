#include "gl/effects/EffectProgram.h"

#include "gl/context/Implementation/EntryPoints.h"
#include "gl/state/TextureState.h"
#include "math/Color.h"
#include "math/Region.h"
#include "math/Vector.h"
#include "GlslSources.h" // glsl::<name>, made from the glsl/ folders at build time

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <string>

namespace OGL_TESK_AE {

namespace {

// The functions every effect program may call. Linked into each program, so fragments only
// declare what they use.
GLSL::Shader sCommonFunctions(GL_FRAGMENT_SHADER, glsl::common_functions);

GLSL::Shader sThresholdShader(GL_FRAGMENT_SHADER, glsl::threshold);

// source with "#define definition" after its leading #version and #extension lines, which
// must come first.
std::string WithDefine(const char* source, const char* definition) {
    std::string text(source);
    size_t at = 0;
    while (text.compare(at, 8, "#version") == 0 || text.compare(at, 10, "#extension") == 0)
        at = text.find('\n', at) + 1;
    return text.insert(at, std::string("#define ") + definition + "\n");
}

// The two directions of the separable blur, one source.
GLSL::Shader sHorizBlurShader(GL_FRAGMENT_SHADER,
                              WithDefine(glsl::blur_axis, "AXIS vec2(1.0, 0.0)").c_str());
GLSL::Shader sVertBlurShader(GL_FRAGMENT_SHADER,
                             WithDefine(glsl::blur_axis, "AXIS vec2(0.0, 1.0)").c_str());

GLSL::Shader sGlowShader(GL_FRAGMENT_SHADER, glsl::glow);

} // namespace

GLSL::Shader EffectProgram::sMultiTexture(GL_VERTEX_SHADER, glsl::multi_texture);

EffectProgram EffectProgram::sThreshold(&sThresholdShader);
EffectProgram EffectProgram::sHorizBlur(&sHorizBlurShader);
EffectProgram EffectProgram::sVertBlur(&sVertBlurShader);
EffectProgram EffectProgram::sGlow(&sGlowShader);

EffectProgram::EffectProgram() : fDirty(true), fInitial(nullptr) {}

EffectProgram::EffectProgram(GLSL::Shader* shader) : fDirty(true), fInitial(shader) {
    AddShader(shader);
}

EffectProgram::EffectProgram(const EffectProgram& other)
    : Resource(other), fShaders(other.fShaders), fDirty(true), fInitial(other.fInitial) {}

EffectProgram& EffectProgram::operator=(const EffectProgram& other) {
    if (this == &other) return *this;
    Finalize();
    fShaders = other.fShaders;
    fDirty = true;
    fInitial = other.fInitial;
    return *this;
}

EffectProgram::~EffectProgram() {
    try {
        fProgram.Finalize();
    } catch (...) {
        // No entry point to delete with; the context takes the program with it.
    }
}

void EffectProgram::AddShader(GLSL::Shader* shader) {
    AppendShader(shader);
}

void EffectProgram::AppendShader(GLSL::Shader* shader) const {
    if (!shader) return;
    fShaders.push_back(shader);
    fDirty = true;
    fUniformsRead = false;
}

void EffectProgram::Apply() const {
    if (fShaders.empty()) AppendShader(fInitial);
    if (fDirty) {
        // Rebuilt here after a sweep: listed again, so that the next sweep resets what this
        // keeps about the program (its uniforms, that its shaders are attached) as it deletes it.
        Relist();
        // A rebuild after AddShader finds the earlier shaders still attached; attaching one
        // twice is an OpenGL error, so only the missing ones are attached.
        std::vector<GLuint> attached;
        if (int name = fProgram) {
            GLint count = 0;
            TESK_GL(glGetProgramiv)(static_cast<GLuint>(name), GL_ATTACHED_SHADERS, &count);
            attached.resize(static_cast<size_t>(std::max(count, 0)));
            GLsizei written = 0;
            if (count > 0) TESK_GL(glGetAttachedShaders)
            (static_cast<GLuint>(name), count, &written, attached.data());
            attached.resize(static_cast<size_t>(written));
        }
        auto attach = [&](const GLSL::Shader& shader) {
            const GLuint shaderName = static_cast<GLuint>(static_cast<int>(shader));
            if (std::find(attached.begin(), attached.end(), shaderName) != attached.end()) return;
            fProgram.Attach(shader);
            attached.push_back(shaderName);
        };
        for (GLSL::Shader* shader : fShaders) attach(*shader);
        attach(sCommonFunctions);
        fDirty = false;
    }
    // The table is read from the program only when it was linked since: reading it back on
    // every Apply cost a few microseconds of allocations per draw.
    const bool relinked = !fUniformsRead || fProgram.NeedsLink() || static_cast<int>(fProgram) == 0;
    fProgram.Apply();
    if (relinked) {
        InitializeUniforms();
        fUniformsRead = true;
    } else {
        // Names asked for since the last Apply that are not active leave the table, as a fresh
        // read would have left them out.
        for (auto it = fUniforms.begin(); it != fUniforms.end();)
            it = it->second ? std::next(it) : fUniforms.erase(it);
    }
}

void EffectProgram::InitializeUniforms() const {
    auto getProgram = TESK_GL(glGetProgramiv);
    auto getActive = TESK_GL(glGetActiveUniform);
    FinalizeUniforms();
    const GLuint program = static_cast<GLuint>(static_cast<int>(fProgram));
    GLint count = 0;
    getProgram(program, GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; ++i) {
        GLchar name[128] = {};
        GLsizei length = 0;
        GLint size = 0;
        GLenum type = 0;
        getActive(program, static_cast<GLuint>(i), sizeof name, &length, &size, &type, name);
        fUniforms[std::string(name, static_cast<size_t>(length))] =
            std::make_unique<GLSL::Uniform>(std::string(name, static_cast<size_t>(length)), type);
    }
}

void EffectProgram::AttachUniforms() const {
    for (const auto& entry : fUniforms)
        if (entry.second) entry.second->Attach(fProgram);
}

void EffectProgram::FinalizeUniforms() const {
    fUniforms.clear();
    fUniformsRead = false;
}

bool EffectProgram::HasUniform(const char* name) const {
    return fUniforms.find(name) != fUniforms.end();
}

const GLSL::Uniform* EffectProgram::Find(const char* name) const {
    // A name that is not active stays in the table with no record, so it is asked for only once
    // per Apply.
    const GLSL::Uniform* uniform = fUniforms[name].get();
    if (uniform) uniform->Attach(fProgram);
    return uniform;
}

void EffectProgram::Finalize() {
    fProgram.Finalize();
    fShaders.clear();
    FinalizeUniforms();
    fDirty = true;
}

void EffectProgram::Dump() const {}

// ---- Typed setters ----

void EffectProgram::SetUniform(const char* name, const int& value) const {
    const GLSL::Uniform* uniform = Find(name);
    if (!uniform) return;
    switch (uniform->Type()) {
    case GL_INT:
    case GL_BOOL:
        TESK_GL(glUniform1i)(*uniform, value);
        break;
    case GL_FLOAT:
        TESK_GL(glUniform1f)(*uniform, static_cast<float>(value));
        break;
    default:
        break;
    }
}

void EffectProgram::SetUniform(const char* name, const vec<int, 2>& value) const {
    const GLSL::Uniform* uniform = Find(name);
    if (uniform && uniform->Type() == GL_INT_VEC2) TESK_GL(glUniform2iv)(*uniform, 1, value);
}

void EffectProgram::SetUniform(const char* name, const vec<int, 3>& value) const {
    const GLSL::Uniform* uniform = Find(name);
    if (uniform && uniform->Type() == GL_INT_VEC3) TESK_GL(glUniform3iv)(*uniform, 1, value);
}

void EffectProgram::SetUniform(const char* name, const vec<int, 4>& value) const {
    const GLSL::Uniform* uniform = Find(name);
    if (uniform && uniform->Type() == GL_INT_VEC4) TESK_GL(glUniform4iv)(*uniform, 1, value);
}

void EffectProgram::SetUniform(const char* name, const float& value) const {
    const GLSL::Uniform* uniform = Find(name);
    if (!uniform) return;
    switch (uniform->Type()) {
    case GL_INT:
        // The conversion truncates toward zero.
        TESK_GL(glUniform1i)(*uniform, static_cast<int>(value));
        break;
    case GL_FLOAT:
        TESK_GL(glUniform1f)(*uniform, value);
        break;
    default:
        break;
    }
}

void EffectProgram::SetUniform(const char* name, const Color& value) const {
    const GLSL::Uniform* uniform = Find(name);
    if (!uniform) return;
    const float* rgba = value;
    switch (uniform->Type()) {
    case GL_FLOAT_VEC3:
        TESK_GL(glUniform3fv)(*uniform, 1, rgba);
        break;
    case GL_FLOAT_VEC4:
        TESK_GL(glUniform4fv)(*uniform, 1, rgba);
        break;
    default:
        break;
    }
}

namespace {

// Writes a float vector of the uniform's width: the first two, the first three, or all four of
// xyzw.
void SetFloatVector(const GLSL::Uniform& uniform, const float (&xyzw)[4]) {
    switch (uniform.Type()) {
    case GL_FLOAT_VEC2:
        TESK_GL(glUniform2fv)(uniform, 1, xyzw);
        break;
    case GL_FLOAT_VEC3:
        TESK_GL(glUniform3fv)(uniform, 1, xyzw);
        break;
    case GL_FLOAT_VEC4:
        TESK_GL(glUniform4fv)(uniform, 1, xyzw);
        break;
    default:
        break;
    }
}

} // namespace

void EffectProgram::SetUniform(const char* name, const p2f& value) const {
    const GLSL::Uniform* uniform = Find(name);
    if (!uniform) return;
    const float xyzw[4] = {value.x, value.y, 0.0f, 1.0f};
    SetFloatVector(*uniform, xyzw);
}

void EffectProgram::SetUniform(const char* name, const p3f& value) const {
    const GLSL::Uniform* uniform = Find(name);
    if (!uniform) return;
    const float xyzw[4] = {value.x, value.y, value.z, 1.0f};
    SetFloatVector(*uniform, xyzw);
}

void EffectProgram::SetUniform(const char* name, const p4f& value) const {
    const GLSL::Uniform* uniform = Find(name);
    if (!uniform) return;
    if (uniform->Type() == GL_FLOAT_VEC2) {
        // A homogeneous point given to a 2-D uniform is projected.
        const float xy[4] = {value.x / value.w, value.y / value.w, 0.0f, 0.0f};
        SetFloatVector(*uniform, xy);
        return;
    }
    const float xyzw[4] = {value.x, value.y, value.z, value.w};
    SetFloatVector(*uniform, xyzw);
}

void EffectProgram::SetUniform(const char* name, const mat<float, 2, 2>& value) const {
    const GLSL::Uniform* uniform = Find(name);
    if (uniform && uniform->Type() == GL_FLOAT_MAT2)
        TESK_GL(glUniformMatrix2fv)(*uniform, 1, GL_FALSE, value);
}

void EffectProgram::SetUniform(const char* name, const mat<float, 3, 3>& value) const {
    const GLSL::Uniform* uniform = Find(name);
    if (uniform && uniform->Type() == GL_FLOAT_MAT3)
        TESK_GL(glUniformMatrix3fv)(*uniform, 1, GL_FALSE, value);
}

void EffectProgram::SetUniform(const char* name, const mat<float, 4, 4>& value) const {
    const GLSL::Uniform* uniform = Find(name);
    if (uniform && uniform->Type() == GL_FLOAT_MAT4)
        TESK_GL(glUniformMatrix4fv)(*uniform, 1, GL_FALSE, value);
}

void EffectProgram::SetUniform(const char* name, const TextureUnit& value) const {
    const GLSL::Uniform* uniform = Find(name);
    if (!uniform) return;
    value.Apply();
    switch (uniform->Type()) {
    case GL_SAMPLER_2D:
    case GL_SAMPLER_2D_RECT_ARB:
        TESK_GL(glUniform1i)(*uniform, static_cast<GLint>(value.unit - GL_TEXTURE0));
        break;
    default:
        break;
    }
}

// ---- Drawing ----

void EffectProgram::DrawRegion(const Region& region, unsigned int lastUnit) {
    // Looked up before glBegin: a missing entry point must not leave a primitive open.
    auto texCoord = lastUnit >= GL_TEXTURE0 ? TESK_GL(glMultiTexCoord2f) : nullptr;
    const float x = static_cast<float>(region.XOrigin());
    const float y = static_cast<float>(region.YOrigin());
    const float w = static_cast<float>(region.Width());
    const float h = static_cast<float>(region.Height());
    const float corners[4][4] = {{x, y, 0.0f, 0.0f},
                                 {x + w, y, 1.0f, 0.0f},
                                 {x, y + h, 0.0f, 1.0f},
                                 {x + w, y + h, 1.0f, 1.0f}};
    glBegin(GL_TRIANGLE_STRIP);
    glNormal3f(0.0f, 0.0f, 1.0f);
    for (const auto& corner : corners) {
        if (texCoord)
            for (unsigned int unit = GL_TEXTURE0; unit <= lastUnit; ++unit)
                texCoord(unit, corner[2], corner[3]);
        glVertex2fv(corner);
    }
    glEnd();
}

} // namespace OGL_TESK_AE
