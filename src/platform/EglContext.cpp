#include "platform/EglContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace TESK_AE {
namespace platform {

namespace {

constexpr EGLint kSurfaceSize = 16;
constexpr int kMaxDevices = 32;

EGLDisplay sDisplay = EGL_NO_DISPLAY;
EGLConfig sConfig = nullptr;
EGLSurface sSurface = EGL_NO_SURFACE;
EGLContext sContext = EGL_NO_CONTEXT;
DisplayPath sPath = DisplayPath::None;

// Whether a space-separated list holds word exactly ("OpenGL" must not match "OpenGL_ES").
bool HasWord(const char* list, const char* word) {
    if (!list || !word) return false;
    const size_t length = std::strlen(word);
    for (const char* at = list; (at = std::strstr(at, word)) != nullptr; at += length) {
        const bool starts = at == list || at[-1] == ' ';
        const bool ends = at[length] == '\0' || at[length] == ' ';
        if (starts && ends) return true;
    }
    return false;
}

bool FailureRequested() {
    const char* value = std::getenv("TESK_AE_FAIL_CONTEXT");
    return value && *value && std::strcmp(value, "0") != 0;
}

// The first configuration with exactly 8 bits per colour channel: eglChooseConfig sorts deeper
// colour (10/10/10/2) first, and the library's pixel transfers assume 8-bit channels.
EGLConfig ChooseConfig(EGLDisplay display) {
    static const EGLint kAttributes[] = {EGL_SURFACE_TYPE,
                                         EGL_PBUFFER_BIT,
                                         EGL_RENDERABLE_TYPE,
                                         EGL_OPENGL_BIT,
                                         EGL_RED_SIZE,
                                         8,
                                         EGL_GREEN_SIZE,
                                         8,
                                         EGL_BLUE_SIZE,
                                         8,
                                         EGL_ALPHA_SIZE,
                                         8,
                                         EGL_DEPTH_SIZE,
                                         24,
                                         EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(display, kAttributes, nullptr, 0, &count) || count <= 0) return nullptr;
    std::vector<EGLConfig> configs(static_cast<size_t>(count));
    if (!eglChooseConfig(display, kAttributes, configs.data(), count, &count)) return nullptr;
    configs.resize(static_cast<size_t>(count));
    for (EGLConfig config : configs) {
        EGLint red = 0, green = 0, blue = 0, alpha = 0, depth = 0;
        eglGetConfigAttrib(display, config, EGL_RED_SIZE, &red);
        eglGetConfigAttrib(display, config, EGL_GREEN_SIZE, &green);
        eglGetConfigAttrib(display, config, EGL_BLUE_SIZE, &blue);
        eglGetConfigAttrib(display, config, EGL_ALPHA_SIZE, &alpha);
        eglGetConfigAttrib(display, config, EGL_DEPTH_SIZE, &depth);
        if (red == 8 && green == 8 && blue == 8 && alpha == 8 && (depth == 24 || depth == 32))
            return config;
    }
    return nullptr;
}

// Initialises display and keeps it when it can give the library what it needs.
bool TryDisplay(EGLDisplay display, DisplayPath path) {
    if (display == EGL_NO_DISPLAY) return false;
    EGLint major = 0, minor = 0;
    if (!eglInitialize(display, &major, &minor)) return false;
    if (HasWord(eglQueryString(display, EGL_CLIENT_APIS), "OpenGL")) {
        if (EGLConfig config = ChooseConfig(display)) {
            sDisplay = display;
            sConfig = config;
            sPath = path;
            return true;
        }
    }
    eglTerminate(display);
    return false;
}

bool TryDevices(const char* clientExtensions) {
    if (!HasWord(clientExtensions, "EGL_EXT_platform_device")) return false;
    auto queryDevices =
        reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    auto queryDeviceString = reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(
        eglGetProcAddress("eglQueryDeviceStringEXT"));
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!queryDevices || !queryDeviceString || !getPlatformDisplay) return false;

    EGLDeviceEXT devices[kMaxDevices];
    EGLint count = 0;
    if (!queryDevices(kMaxDevices, devices, &count) || count <= 0) return false;
    // A graphics card first; Mesa's software rasteriser only when there is no card.
    for (const bool software : {false, true}) {
        for (EGLint i = 0; i < count; ++i) {
            const char* extensions = queryDeviceString(devices[i], EGL_EXTENSIONS);
            if (HasWord(extensions, "EGL_MESA_device_software") != software) continue;
            if (TryDisplay(getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr),
                           DisplayPath::Device))
                return true;
        }
    }
    return false;
}

bool TrySurfaceless(const char* clientExtensions) {
    if (!HasWord(clientExtensions, "EGL_MESA_platform_surfaceless")) return false;
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) return false;
    return TryDisplay(
        getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr),
        DisplayPath::Surfaceless);
}

// eglGetCurrentContext answers for the calling thread's bound API, which starts as OpenGL ES.
class BoundOpenGL {
public:
    BoundOpenGL() : fPrevious(eglQueryAPI()) {
        if (fPrevious != EGL_OPENGL_API) eglBindAPI(EGL_OPENGL_API);
    }
    ~BoundOpenGL() {
        if (fPrevious != EGL_OPENGL_API && fPrevious != EGL_NONE) eglBindAPI(fPrevious);
    }
    BoundOpenGL(const BoundOpenGL&) = delete;
    BoundOpenGL& operator=(const BoundOpenGL&) = delete;

private:
    EGLenum fPrevious;
};

} // namespace

bool EglContext::OpenDisplay() {
    if (sDisplay != EGL_NO_DISPLAY) return true;
    // Without EGL_EXT_client_extensions this query fails and leaves null: only the default
    // display is then available.
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (TryDevices(clientExtensions)) return true;
    if (TrySurfaceless(clientExtensions)) return true;
    return TryDisplay(eglGetDisplay(EGL_DEFAULT_DISPLAY), DisplayPath::Default);
}

bool EglContext::CreateSurface() {
    if (sSurface != EGL_NO_SURFACE) return true;
    if (sDisplay == EGL_NO_DISPLAY || !sConfig) return false;
    static const EGLint kAttributes[] = {EGL_WIDTH, kSurfaceSize, EGL_HEIGHT, kSurfaceSize,
                                         EGL_NONE};
    sSurface = eglCreatePbufferSurface(sDisplay, sConfig, kAttributes);
    return sSurface != EGL_NO_SURFACE;
}

bool EglContext::CreateContext() {
    if (sContext != EGL_NO_CONTEXT) return true;
    if (sDisplay == EGL_NO_DISPLAY || !sConfig || FailureRequested()) return false;
    if (!eglBindAPI(EGL_OPENGL_API)) return false;
    // Ask for the compatibility profile explicitly: some drivers give core when asked for
    // nothing. Without EGL_KHR_create_context the attribute is unknown, and a plain context is
    // the only one there is.
    static const EGLint kCompatibility[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK_KHR,
                                            EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT_KHR,
                                            EGL_NONE};
    const char* extensions = eglQueryString(sDisplay, EGL_EXTENSIONS);
    const EGLint* attributes =
        HasWord(extensions, "EGL_KHR_create_context") ? kCompatibility : nullptr;
    sContext = eglCreateContext(sDisplay, sConfig, EGL_NO_CONTEXT, attributes);
    if (sContext == EGL_NO_CONTEXT) return false;
    if (!MakeCurrent()) {
        eglDestroyContext(sDisplay, sContext);
        sContext = EGL_NO_CONTEXT;
        return false;
    }
    return true;
}

bool EglContext::HasDisplay() {
    return sDisplay != EGL_NO_DISPLAY;
}
bool EglContext::HasSurface() {
    return sSurface != EGL_NO_SURFACE;
}
bool EglContext::HasContext() {
    return sContext != EGL_NO_CONTEXT;
}

bool EglContext::IsCurrent() {
    if (sContext == EGL_NO_CONTEXT) return false;
    BoundOpenGL api;
    return eglGetCurrentContext() == sContext && eglGetCurrentSurface(EGL_DRAW) == sSurface &&
           eglGetCurrentSurface(EGL_READ) == sSurface;
}

bool EglContext::MakeCurrent() {
    if (sContext == EGL_NO_CONTEXT || sSurface == EGL_NO_SURFACE) return false;
    if (!eglBindAPI(EGL_OPENGL_API)) return false;
    return eglMakeCurrent(sDisplay, sSurface, sSurface, sContext) == EGL_TRUE;
}

void EglContext::ReleaseCurrent() {
    BoundOpenGL api;
    EGLDisplay display = eglGetCurrentDisplay();
    if (display != EGL_NO_DISPLAY)
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

void EglContext::DestroyContext() {
    if (sContext == EGL_NO_CONTEXT) return;
    if (IsCurrent()) ReleaseCurrent();
    eglDestroyContext(sDisplay, sContext);
    sContext = EGL_NO_CONTEXT;
}

void EglContext::CloseDisplay() {
    if (sDisplay != EGL_NO_DISPLAY) {
        if (sSurface != EGL_NO_SURFACE) {
            eglDestroySurface(sDisplay, sSurface);
            sSurface = EGL_NO_SURFACE;
        }
        eglTerminate(sDisplay);
        sDisplay = EGL_NO_DISPLAY;
        sConfig = nullptr;
        sPath = DisplayPath::None;
    }
    // The worker ends right after; free what EGL keeps for its thread, also after a failure.
    eglReleaseThread();
}

bool EglContext::HasCurrentContext() {
    BoundOpenGL api;
    return eglGetCurrentSurface(EGL_DRAW) != EGL_NO_SURFACE &&
           eglGetCurrentContext() != EGL_NO_CONTEXT;
}

void* EglContext::ProcAddress(const char* name) {
    return name ? reinterpret_cast<void*>(eglGetProcAddress(name)) : nullptr;
}

const char* EglContext::CurrentDisplayExtensions() {
    EGLDisplay display = eglGetCurrentDisplay();
    return display == EGL_NO_DISPLAY ? nullptr : eglQueryString(display, EGL_EXTENSIONS);
}

DisplayPath EglContext::Path() {
    return sPath;
}

const char* EglContext::PathName(DisplayPath path) {
    switch (path) {
    case DisplayPath::Device:
        return "device";
    case DisplayPath::Surfaceless:
        return "surfaceless";
    case DisplayPath::Default:
        return "default";
    case DisplayPath::None:
        break;
    }
    return "none";
}

} // namespace platform
} // namespace TESK_AE
