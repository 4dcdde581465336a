#include "gl/state/Highlight.h"

#include "gl/state/Implementation/GetState.h"

namespace OGL_TESK_AE {

Highlight::Highlight() : fSavedColor(1.0f, 1.0f, 1.0f, 1.0f), fStippleWasOn(false) {
    fSavedColor.Retrieve();
    Color::Bright.Apply();
    fStippleWasOn = GetBoolean(GL_LINE_STIPPLE);
    glLineStipple(5, 0x5555);
    glEnable(GL_LINE_STIPPLE);
}

Highlight::~Highlight() {
    SetCapability(GL_LINE_STIPPLE, fStippleWasOn);
    fSavedColor.Apply();
}

} // namespace OGL_TESK_AE
