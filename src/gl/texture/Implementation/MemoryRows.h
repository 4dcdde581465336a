#pragma once

#include "common/XIImage.h"
#include "math/Region.h"

namespace OGL_TESK_AE {

// Regions count rows up from the bottom of the picture; a top-down image keeps that row at the
// end of its memory. The rows of image's memory that region r of a picture height rows high
// lies on, which the loading paths take.
Region MemoryRows(const XIImage* image, const Region& r, int height);

} // namespace OGL_TESK_AE
