#pragma once

#include "common/Export.h"
#include "math/Color.h"

namespace OGL_TESK_AE {

// A scope over one piece of OpenGL state: it saves the state of T when made (optionally then
// making a new value current) and puts the saved state back exactly once, when popped or
// destroyed, also when an exception passes. T needs a default constructor, Retrieve() and
// Apply() const.
template <class T> class TESK_API Push : public T {
public:
    Push() : T(), active(false) {
        T::Retrieve();
        active = true;
    }

    explicit Push(const T& value) : Push() {
        // The delegated constructor has finished, so a throwing Apply still restores.
        value.Apply();
    }

    Push(const Push&) = delete;
    Push& operator=(const Push&) = default;

    ~Push() {
        try {
            Pop();
        } catch (...) {
            // Nothing sensible can be done with a failure while unwinding; restoring could only
            // fail for an entry point the saved state never needed.
        }
    }

    void Pop() {
        if (!active) return;
        active = false;
        T::Apply();
    }

    bool IsActive() const { return active; }

protected:
    bool active;
};

// Saves the current colour, (1, 1, 1, 1) when OpenGL has none to report, and makes it current
// again at the end.
class TESK_API PushColor : public Push<Color> {
public:
    PushColor() = default;
    explicit PushColor(const Color& color) : Push<Color>(color) {}
};

extern template class Push<Color>;

} // namespace OGL_TESK_AE
