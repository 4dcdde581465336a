#pragma once

#include "gl/context/State.h"

namespace OGL_TESK_AE {

// Draws into a render target for the length of a scope: the whole OpenGL state is saved, the
// target selected, and on the way out (also when an exception passes) the target is left and
// the state put back, which rebinds whatever framebuffer was bound before.
//
// The saved state is put back whether or not the target could be selected: a failed Select may
// already have bound textures or a framebuffer, and those must not leak to the caller.
template <class Target> class Selection {
public:
    explicit Selection(Target& target) : fTarget(target) {
        fState.Retrieve();
        fSelected = fTarget.Select();
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    ~Selection() {
        try {
            if (fSelected) fTarget.Deselect();
            fState.Restore();
        } catch (...) {
            // Only a missing entry point can fail here; the state's own destructor still pops
            // the attribute stacks.
        }
    }
    bool IsSelected() const { return fSelected; }

private:
    State fState;
    Target& fTarget;
    bool fSelected = false;
};

} // namespace OGL_TESK_AE
