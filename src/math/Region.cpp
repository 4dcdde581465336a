#include "math/Region.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace OGL_TESK_AE {

namespace {
// Ends are compared as unsigned 32-bit values, as the sizes are unsigned.
uint32_t End(int origin, unsigned size) {
    return static_cast<uint32_t>(origin) + size;
}
} // namespace

bool Region::IsInRange(const p2f& p) const {
    if (!fValid) return false;
    return static_cast<float>(fX) <= p.x && p.x < static_cast<float>(XEnd()) &&
           static_cast<float>(fY) <= p.y && p.y < static_cast<float>(YEnd());
}

Region Region::operator|(const Region& r) const {
    if (!r.fValid) return *this;
    if (!fValid) return r;
    int x = std::min(fX, r.fX);
    int y = std::min(fY, r.fY);
    uint32_t x1 = std::max(End(fX, fWidth), End(r.fX, r.fWidth));
    uint32_t y1 = std::max(End(fY, fHeight), End(r.fY, r.fHeight));
    Region result(x, y, x1 - static_cast<uint32_t>(x), y1 - static_cast<uint32_t>(y));
    result.fValid = true;
    return result;
}

Region Region::operator&(const Region& r) const {
    if (!fValid || !r.fValid) return Region();
    int x0 = std::max(fX, r.fX);
    int y0 = std::max(fY, r.fY);
    int x1 = static_cast<int>(std::min(End(fX, fWidth), End(r.fX, r.fWidth)));
    int y1 = static_cast<int>(std::min(End(fY, fHeight), End(r.fY, r.fHeight)));
    if (x0 < x1 && y0 < y1) {
        return Region(x0, y0, static_cast<unsigned>(x1 - x0), static_cast<unsigned>(y1 - y0));
    }
    return Region();
}

Region Region::Grow(int dx, int dy) const {
    if (!fValid) return *this;
    return Region(fX - dx, fY - dy, fWidth + 2 * dx, fHeight + 2 * dy);
}

Region Region::Flip(int height) const {
    if (!fValid) return *this;
    return Region(fX, height - fY - static_cast<int>(fHeight), fWidth, fHeight);
}

Region Region::Offset(int dx, int dy) const {
    if (!fValid) return *this;
    return Region(fX + dx, fY + dy, fWidth, fHeight);
}

Region Region::Scale(float sx, float sy) const {
    if (!fValid) return *this;
    int x0 = static_cast<int>(std::floor(static_cast<float>(fX) * sx));
    int y0 = static_cast<int>(std::floor(static_cast<float>(fY) * sy));
    int x1 = static_cast<int>(std::floor(static_cast<float>(XEnd()) * sx));
    int y1 = static_cast<int>(std::floor(static_cast<float>(YEnd()) * sy));
    return Region(x0, y0, static_cast<unsigned>(x1 - x0), static_cast<unsigned>(y1 - y0));
}

} // namespace OGL_TESK_AE
