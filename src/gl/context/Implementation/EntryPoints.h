#pragma once

#include "common/Errors.h"
#include "common/Export.h"

#include <GL/gl.h>
#include <GL/glext.h>

namespace OGL_TESK_AE {

// What a context must offer before an entry point's slot is filled. Loaders that resolve any
// name (glvnd answers every "gl..." name with a stub) must not be trusted on their own.
enum class EntryRequirement {
    Version12,
    Version13,
    Version14,
    Version15,
    Version20,
    Version21,
    Imaging,
    FramebufferObject,
    ArbProgram,
    ArbDebugOutput,
    AmdDebugOutput,
    Wgl,
};

// The table of entry points beyond OpenGL 1.1: one slot per name, filled once, right after the
// first context is made current. Call sites go through TESK_GL, which throws Unsupported for a
// slot the context did not fill.
class TESK_API EntryPoints {
public:
    enum Index {
#define TESK_ENTRY(name, requirement) e_##name,
#include "gl/context/EntryPointList.inc"
#undef TESK_ENTRY
        eCount
    };

    static const char* Name(int index);
    static EntryRequirement Requirement(int index);
    static void* Slot(int index) {
        return sSlots[index];
    }
    static bool IsLoaded() {
        return sLoaded;
    }

    // Fills the table from the current context, once per process.
    static void Load();

    template <class F> static F Get(Index index) {
        void* slot = sSlots[index];
        if (!slot) throw Unsupported();
        return reinterpret_cast<F>(slot);
    }

private:
    static void* sSlots[eCount];
    static bool sLoaded;
};

} // namespace OGL_TESK_AE

// Calls an entry point through the table: TESK_GL(glBlendFuncSeparate)(a, b, c, d);
#define TESK_GL(name)                                                                              \
    (::OGL_TESK_AE::EntryPoints::Get<decltype(&::name)>(::OGL_TESK_AE::EntryPoints::e_##name))
