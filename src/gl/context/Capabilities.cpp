#include "gl/context/Capabilities.h"

#include "common/Shared.h"
#include "platform/EglContext.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <atomic>
#include <string>

namespace OGL_TESK_AE {

namespace {

// Searches OpenGL's extensions followed directly by the display's (the two lists are joined
// without a separator, so a name could in principle match across the seam). False when the
// calling thread has no context to ask.
bool SearchExtensions(const char* name, bool* found) {
    *found = false;
    const char* gl = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (!gl) return false;
    std::string text = gl;
    if (const char* display = TESK_AE::platform::EglContext::CurrentDisplayExtensions())
        text += display;
    *found = name && text.find(name) != std::string::npos;
    return true;
}

// The worker side of IsExtensionSupported.
void ExtensionQuery(const char* name, bool* result) {
    SearchExtensions(name, result);
}

// An answer that never changes once a context has given it. Written on the worker only; any
// thread may read it, and a known answer needs no trip to the worker.
struct CachedExtension {
    const char* name;
    std::atomic<int> answer{-1}; // -1 while unknown, else 0 or 1
};

CachedExtension sFloat{"GL_ARB_texture_float"};
CachedExtension sHalfFloat{"GL_ARB_half_float_pixel"};
CachedExtension sFrameBuffer{"GL_EXT_framebuffer_object"};

void CachedExtensionQuery(CachedExtension* cache, bool* result) {
    int answer = cache->answer.load();
    if (answer < 0) {
        bool found = false;
        // A worker without a context has nothing to say; ask again next time.
        if (!SearchExtensions(cache->name, &found)) {
            *result = false;
            return;
        }
        answer = found ? 1 : 0;
        cache->answer.store(answer);
    }
    *result = answer == 1;
}

bool Cached(CachedExtension& cache) {
    const int answer = cache.answer.load();
    if (answer >= 0) return answer == 1;
    bool result = false;
    if (!Dispatch(&CachedExtensionQuery, &cache, &result)) CachedExtensionQuery(&cache, &result);
    return result;
}

} // namespace

bool IsExtensionSupported(const char* name) {
    bool result = false;
    if (Dispatch(&ExtensionQuery, name, &result)) return result;
    ExtensionQuery(name, &result);
    return result;
}

bool IsFloatSupported() {
    return Cached(sFloat);
}
bool IsHalfFloatSupported() {
    return Cached(sHalfFloat);
}
bool IsFrameBufferSupported() {
    return Cached(sFrameBuffer);
}

bool IsShortSupported() {
    static bool sFirst = true;
    static bool sAnswer = false;
    if (!sFirst) return sAnswer;
    sFirst = false;
    GLuint name = 0;
    glGenTextures(1, &name);
    if (!name) return sAnswer;
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA16, 32, 32, 0, GL_RGBA, GL_UNSIGNED_SHORT, nullptr);
    GLint format = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    sAnswer = format == GL_RGBA16;
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &name);
    return sAnswer;
}

} // namespace OGL_TESK_AE
