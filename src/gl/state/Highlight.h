#pragma once

#include "common/Export.h"
#include "math/Color.h"

namespace OGL_TESK_AE {

// A scope for drawing highlighted outlines: bright, stippled lines. The end puts back the
// colour and whether stippling was on (the stipple pattern itself stays).
class TESK_API Highlight {
public:
    Highlight();
    ~Highlight();

    Highlight(const Highlight&) = delete;
    Highlight& operator=(const Highlight&) = delete;

private:
    Color fSavedColor;
    bool fStippleWasOn;
};

} // namespace OGL_TESK_AE
