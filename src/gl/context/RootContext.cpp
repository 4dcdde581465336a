#include "gl/context/RootContext.h"

#include "gl/geometry/ObjectArray.h"

#include "gl/context/Implementation/EntryPoints.h"
#include "platform/EglContext.h"

namespace OGL_TESK_AE {

using TESK_AE::platform::EglContext;

bool RootContext::Initialize() {
    // The display stands in for a hidden window, the pbuffer for the window's device context.
    if (!EglContext::HasDisplay()) EglContext::OpenDisplay();
    if (!EglContext::HasSurface() && EglContext::HasDisplay()) EglContext::CreateSurface();
    if (!EglContext::HasContext()) {
        if (!EglContext::HasDisplay() || !EglContext::HasSurface()) return false;
        if (!EglContext::CreateContext()) return false;
        // A context is current now (CreateContext makes it so).
        EntryPoints::Load();
    }
    return EglContext::HasDisplay() && EglContext::HasSurface();
}

void RootContext::Finalize() {
    EglContext::DestroyContext();
    EglContext::CloseDisplay();
}

bool RootContext::HasContext() {
    return EglContext::HasCurrentContext();
}

bool RootContext::Select() {
    if (!Initialize()) return false;
    bool result = true;
    if (!EglContext::IsCurrent()) result = EglContext::MakeCurrent();
    // Every new context starts without the shared vertex-array pointers.
    if (result) ObjectArray::Initialize();
    return result;
}

} // namespace OGL_TESK_AE
