#include "math/Rotation.h"

namespace OGL_TESK_AE {

RotationOrder ReverseRotationOrder(RotationOrder order) {
    switch (order) {
    case XYZ:
        return ZYX;
    case ZYX:
        return XYZ;
    case ZXY:
        return YXZ;
    case YXZ:
        return ZXY;
    case YZX:
        return XZY;
    case XZY:
        return YZX;
    }
    return order;
}

} // namespace OGL_TESK_AE
