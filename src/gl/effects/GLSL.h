#pragma once

#include "common/Export.h"
#include "gl/texture/Resource.h"

#include <string>

namespace OGL_TESK_AE {
namespace GLSL {

// The source of one shader stage, compiled on first use. Static shaders are made when the
// library loads and touch OpenGL only when first compiled on the worker.
//
// A copy takes the type and the source but no OpenGL object: it compiles a shader of its own
// when first used, so no shader name ever has two owners.
class TESK_API Shader : public Resource {
public:
    // type is GL_FRAGMENT_SHADER or GL_VERTEX_SHADER.
    Shader(unsigned int type, const char* source);
    Shader(const Shader& other);
    Shader& operator=(const Shader& other);
    ~Shader() override;

    // Replaces the source with the file's text; false when the file cannot be opened. A shader
    // that is already compiled keeps its compiled code until it is finalized.
    bool LoadFile(const char* path);

    // Compiles when needed and returns the shader name.
    operator int() const;
    // Compiles once. A failed compile throws Error with the log and keeps its name, so the
    // failure is reported once and not retried.
    void Initialize() const;

    void Finalize() override;
    void Dump() const override;

    unsigned int Type() const { return fType; }
    const std::string& Source() const { return fSource; }
    // "GLSL Compile Error:\n" and the driver's log after a failed compile; empty otherwise.
    const std::string& Log() const { return fLog; }
    // Whether an OpenGL shader exists, without compiling one.
    bool IsCompiled() const { return fName != 0; }

private:
    void CheckStatus() const;

    unsigned int fType;
    std::string fSource;
    mutable unsigned int fName;
    mutable std::string fLog;
};

// A program object, created when first needed and linked again whenever its shaders change.
//
// A copy starts without a program object (and so with nothing attached): the program name stays
// with the original.
class TESK_API Program : public Resource {
public:
    Program();
    Program(const Program& other);
    Program& operator=(const Program& other);
    ~Program() override;

    // The program name, 0 while none exists; creates nothing.
    operator int() const { return static_cast<int>(fName); }

    // Creates the program if needed, compiles the shader and attaches it.
    void Attach(const Shader& shader);
    // Compiles the shader if needed and detaches it; creates no program.
    void Detach(const Shader& shader);
    // Creates, links when needed, and makes the program current. A failed link throws Error
    // with the log.
    void Apply() const;
    bool IsCurrent() const;
    // Adopts the current program's name.
    void Retrieve();

    void Finalize() override;
    void Dump() const override;

    // "GLSL Link Error:\n" and the driver's log after a failed link; empty otherwise.
    const std::string& Log() const { return fLog; }
    bool NeedsLink() const { return fNeedsLink; }

protected:
    void Initialize() const;

private:
    void Link() const;
    void CheckStatus() const;

    mutable unsigned int fName;
    mutable bool fNeedsLink;
    mutable std::string fLog;
};

// One active uniform of a linked program: its name, its declared type and, once attached, its
// location in that program.
class TESK_API Uniform {
public:
    Uniform(const std::string& name, unsigned int type);

    std::string Name() const { return fName; }
    unsigned int Type() const { return fType; }
    // The location, -1 until attached.
    operator int() const { return fLocation; }

    // Looks the location up in the program; Error when the program has no name yet.
    void Attach(const Program& program) const;

protected:
    // Error when there is no location.
    bool Validate() const;

private:
    std::string fName;
    unsigned int fType;
    mutable int fLocation;
};

} // namespace GLSL
} // namespace OGL_TESK_AE
