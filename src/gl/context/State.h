#pragma once

#include "common/Export.h"
#include "gl/state/MatrixState.h"
#include "gl/state/TextureState.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

// A scope over OpenGL's attribute stacks: pushing saves the attribute groups of the masks,
// destruction pops what this object pushed, and nothing when it pushed nothing.
class TESK_API Attributes {
public:
    // All attribute groups but the texture group, and all client groups.
    explicit Attributes(unsigned attribMask = 0xFFFBFFFF, unsigned clientMask = 0xFFFFFFFF);
    ~Attributes();

    Attributes(const Attributes&) = default;
    Attributes& operator=(const Attributes&) = default;

    // Both pop what this object pushed (restoring it) and push again, so the object then holds
    // exactly one level, whatever it held before.
    void Apply() const;
    void Retrieve();
    // Pops what this object pushed (restoring it) without pushing again: the last use of a
    // saved state, which saves a push and a pop of every attribute group.
    void Restore() const;

    bool IsPushed() const { return pushed; }

    GLbitfield attribMask;
    GLbitfield clientMask;

private:
    void ConditionallyPush() const;
    void ConditionallyPop() const;

    mutable bool pushed;
};

// A snapshot of the OpenGL state that the library's work disturbs: the attribute stacks, the
// three matrices, the active unit's texture binding, the active unit, the framebuffer and the
// program. Retrieve saves, Apply puts it back (keeping a copy for the destructor to pop).
class TESK_API State {
public:
    State();

    void Retrieve();
    // Throws Unsupported without framebuffer objects or GLSL programs.
    void Apply() const;
    // Apply for the last time: puts the state back and keeps nothing for the destructor.
    void Restore() const;

    Attributes attributes;
    ModelMatrix modelMatrix;
    ProjectionMatrix projectionMatrix;
    TextureMatrix textureMatrix;
    TextureBinding textureBinding;
    TextureUnit textureUnit;
    GLint framebuffer;
    GLint program;

private:
    void Put(bool keep) const;
};

// A pushed State is put back once, for good.
template <> inline void Push<State>::Pop() {
    if (!active) return;
    active = false;
    State::Restore();
}

} // namespace OGL_TESK_AE
