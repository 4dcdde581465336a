#pragma once

#include "common/Export.h"
#include "gl/effects/GLSL.h"
#include "gl/texture/Resource.h"
#include "math/SmallVec.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace OGL_TESK_AE {

class Color;
class Region;
class TextureUnit;
class p2f;
class p3f;
class p4f;

// A GLSL program put together from a list of shaders (not owned) and the library's shared
// fragment functions (luma, saturation, rand, blur), linked on first Apply. After every Apply
// the uniform table holds the linked program's active uniforms (read again whenever it was
// linked again); the typed setters convert the caller's value to each uniform's declared type
// and ignore what does not fit.
//
// A copy takes the shader list but no program object and no uniform records: it links a
// program of its own at its first Apply.
class TESK_API EffectProgram : public Resource {
public:
    EffectProgram();
    // Adds the shader unless it is null.
    explicit EffectProgram(GLSL::Shader* shader);
    EffectProgram(const EffectProgram& other);
    EffectProgram& operator=(const EffectProgram& other);
    ~EffectProgram() override;

    // Ignores null. The next Apply builds the program again.
    void AddShader(GLSL::Shader* shader);

    // Builds and links when needed, makes the program current and rebuilds the uniform table.
    void Apply() const;

    // Whether this program's object is the current program: the setters write into whatever
    // program is current, so a caller outside Apply asks first.
    bool IsCurrent() const { return fProgram.IsCurrent(); }

    // Whether the name is in the uniform table: an active uniform after the last Apply, or a
    // name a setter has asked for since.
    bool HasUniform(const char* name) const;

    // Each writes the value into the current program's uniform of that name, converted to the
    // uniform's type; nothing happens when the name is not active or the types do not fit.
    // Call after Apply, while this program is current.
    void SetUniform(const char* name, const int& value) const;
    void SetUniform(const char* name, const vec<int, 2>& value) const;
    void SetUniform(const char* name, const vec<int, 3>& value) const;
    void SetUniform(const char* name, const vec<int, 4>& value) const;
    void SetUniform(const char* name, const float& value) const;
    void SetUniform(const char* name, const Color& value) const;
    void SetUniform(const char* name, const p2f& value) const;
    void SetUniform(const char* name, const p3f& value) const;
    void SetUniform(const char* name, const p4f& value) const;
    void SetUniform(const char* name, const mat<float, 2, 2>& value) const;
    void SetUniform(const char* name, const mat<float, 3, 3>& value) const;
    void SetUniform(const char* name, const mat<float, 4, 4>& value) const;
    // Selects the unit (and binds its texture) whenever the uniform is active; the sampler is
    // written only for 2-D and rectangle samplers.
    void SetUniform(const char* name, const TextureUnit& value) const;

    // Deletes the program object and the uniform records and forgets the shader list: the owner
    // adds its shaders again before the next Apply. An Apply that finds the list still empty
    // takes the shader given to the constructor again, so that programs made with one (the
    // static ones above all) still work after every OpenGL object has been released.
    void Finalize() override;
    void Dump() const override;

    // The region as one triangle strip whose texture coordinates run 0..1 across it, given on
    // every unit from GL_TEXTURE0 up to and including lastUnit (on none when lastUnit is below
    // GL_TEXTURE0).
    static void DrawRegion(const Region& region, unsigned int lastUnit);

    // Vertex shader passing the texture coordinates of units 0 to 3 through their matrices.
    static GLSL::Shader sMultiTexture;
    // Keeps texels whose luma reaches threshold_luma, clears the others.
    static EffectProgram sThreshold;
    // One-dimensional blurs along x and along y.
    static EffectProgram sHorizBlur;
    static EffectProgram sVertBlur;
    // Adds a blurred copy scaled by its alpha and glow_intensity to the source.
    static EffectProgram sGlow;

protected:
    // For programs that pick their shaders at Apply time.
    void AppendShader(GLSL::Shader* shader) const;

private:
    void InitializeUniforms() const;
    void AttachUniforms() const;
    void FinalizeUniforms() const;
    // The record of an active uniform, attached to the program; null for any other name.
    const GLSL::Uniform* Find(const char* name) const;

    mutable GLSL::Program fProgram;
    mutable std::vector<GLSL::Shader*> fShaders;
    mutable std::map<std::string, std::unique_ptr<GLSL::Uniform>> fUniforms;
    mutable bool fDirty;
    // Whether fUniforms holds what the program as linked now has active.
    mutable bool fUniformsRead = false;
    GLSL::Shader* fInitial;
};

} // namespace OGL_TESK_AE
