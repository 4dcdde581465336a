#include "gl/context/Implementation/EntryPoints.h"

#include "platform/EglContext.h"

#include <cstdio>
#include <cstring>

namespace OGL_TESK_AE {

void* EntryPoints::sSlots[EntryPoints::eCount] = {};
bool EntryPoints::sLoaded = false;

namespace {

const char* const kNames[] = {
#define TESK_ENTRY(name, requirement) #name,
#include "gl/context/EntryPointList.inc"
#undef TESK_ENTRY
};

const EntryRequirement kRequirements[] = {
#define TESK_ENTRY(name, requirement) EntryRequirement::requirement,
#include "gl/context/EntryPointList.inc"
#undef TESK_ENTRY
};

static_assert(sizeof(kNames) / sizeof(kNames[0]) == EntryPoints::eCount, "one name per slot");

// Whether a space-separated extension list holds name as a whole word.
bool HasExtension(const char* list, const char* name) {
    if (!list) return false;
    const size_t length = std::strlen(name);
    for (const char* at = list; (at = std::strstr(at, name)) != nullptr; at += length) {
        const bool starts = at == list || at[-1] == ' ';
        const bool ends = at[length] == '\0' || at[length] == ' ';
        if (starts && ends) return true;
    }
    return false;
}

// What the current context offers, read once for the whole table.
struct Offer {
    int version = 0; // major * 100 + minor
    const char* extensions = nullptr;

    bool Has(const char* name) const { return HasExtension(extensions, name); }

    bool Meets(int index) const {
        switch (kRequirements[index]) {
        case EntryRequirement::Version12:
            return version >= 102;
        case EntryRequirement::Version13:
            return version >= 103;
        case EntryRequirement::Version14:
            return version >= 104;
        case EntryRequirement::Version15:
            return version >= 105;
        case EntryRequirement::Version20:
            return version >= 200;
        case EntryRequirement::Version21:
            return version >= 201;
        case EntryRequirement::Imaging:
            return Has("GL_ARB_imaging");
        case EntryRequirement::FramebufferObject:
            return Has("GL_EXT_framebuffer_object");
        case EntryRequirement::ArbProgram:
            // The generic vertex attributes belong to vertex programs only; the program
            // object calls serve both kinds.
            if (index < EntryPoints::e_glProgramStringARB) return Has("GL_ARB_vertex_program");
            return Has("GL_ARB_vertex_program") || Has("GL_ARB_fragment_program");
        case EntryRequirement::ArbDebugOutput:
            return Has("GL_ARB_debug_output");
        case EntryRequirement::AmdDebugOutput:
            return Has("GL_AMD_debug_output");
        case EntryRequirement::Wgl:
            // There is no WGL under EGL.
            return false;
        }
        return false;
    }
};

} // namespace

const char* EntryPoints::Name(int index) {
    return index >= 0 && index < eCount ? kNames[index] : nullptr;
}

EntryRequirement EntryPoints::Requirement(int index) {
    return index >= 0 && index < eCount ? kRequirements[index] : EntryRequirement::Wgl;
}

void EntryPoints::Load() {
    if (sLoaded) return;
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    // Without a current context nothing can be known; the next context made current loads.
    if (!version) return;
    sLoaded = true;
    Offer offer;
    int major = 0, minor = 0;
    if (std::sscanf(version, "%d.%d", &major, &minor) == 2) offer.version = major * 100 + minor;
    offer.extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    for (int i = 0; i < eCount; ++i)
        sSlots[i] =
            offer.Meets(i) ? TESK_AE::platform::EglContext::ProcAddress(kNames[i]) : nullptr;
}

} // namespace OGL_TESK_AE
