#pragma once

#include "common/Export.h"

namespace OGL_TESK_AE {

class OpenGLWorkerBackend;

// The library's one offscreen context, owned by the worker thread: made when the worker
// starts, destroyed when it ends, made again by the next worker. Nothing is drawn to its own
// surface; rendering goes to framebuffer objects.
class TESK_API RootContext {
public:
    RootContext() = delete;

    // Whether the calling thread has a current surface and context (of any origin).
    static bool HasContext();
    // Makes the root context (if needed) current on the calling thread.
    static bool Select();

private:
    // Makes whatever of display, surface and context is missing; the first context made
    // current also fills the entry-point table. True when display and surface exist and a
    // context could be made; with everything made it changes nothing.
    static bool Initialize();
    // Destroys context, surface and display; the next Initialize makes them again.
    static void Finalize();

    // The worker makes and ends the context; tests reach the private members through a class
    // of their own.
    friend class OpenGLWorkerBackend;
    friend struct RootContextTestAccess;
};

} // namespace OGL_TESK_AE
