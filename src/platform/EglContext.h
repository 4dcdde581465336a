#pragma once

namespace TESK_AE {
namespace platform {

// Where the offscreen display came from.
enum class DisplayPath {
    None,
    Device,      // EGL_EXT_platform_device, a hardware device preferred over a software one
    Surfaceless, // Mesa's surfaceless platform
    Default,     // eglGetDisplay(EGL_DEFAULT_DISPLAY)
};

// The process's one offscreen OpenGL context, made headless with EGL: a display, a 16 x 16
// pbuffer standing in for a hidden window (framebuffer 0 must be complete even though nothing
// is drawn to it), and a compatibility-profile context, since the library relies on immediate
// mode, the attribute stacks and ARB programs. Each piece is made only when it is missing, so a
// failed attempt can be finished by a later one. Everything runs on the worker thread.
class EglContext {
public:
    // Opens and initialises a display that offers an 8-bit RGBA pbuffer configuration with a
    // depth buffer and desktop OpenGL. True when there is one.
    static bool OpenDisplay();
    // Chooses the configuration and makes the pbuffer on the open display. True when there is one.
    static bool CreateSurface();
    // Makes the context and makes it current on the calling thread. Fails on purpose while the
    // environment variable TESK_AE_FAIL_CONTEXT is set to anything but "" or "0", so tests can
    // reach the failure path; the variable is read at every attempt.
    static bool CreateContext();

    static bool HasDisplay();
    static bool HasSurface();
    static bool HasContext();

    // Whether the root context and pbuffer are current on the calling thread.
    static bool IsCurrent();
    // Makes the root context current on the calling thread.
    static bool MakeCurrent();
    // Leaves the calling thread without a current context.
    static void ReleaseCurrent();

    // Releases the context (first making it not current on the calling thread).
    static void DestroyContext();
    // Destroys the pbuffer, terminates the display and frees the calling thread's EGL state.
    static void CloseDisplay();

    // Whether the calling thread has any current draw surface and context.
    static bool HasCurrentContext();
    // The address of a client-API or EGL function; may be a dispatch stub for a function the
    // current context lacks, so callers decide from versions and extensions whether to trust it.
    static void* ProcAddress(const char* name);
    // The extension string of the display of the calling thread's current context, or null.
    static const char* CurrentDisplayExtensions();

    static DisplayPath Path();
    static const char* PathName(DisplayPath path);
};

} // namespace platform
} // namespace TESK_AE
