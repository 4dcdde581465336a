#pragma once

#include "common/Export.h"

namespace OGL_TESK_AE {

// The sequence in which the three axis rotations of a set of Euler angles are composed.
enum RotationOrder : int {
    XYZ = 0,
    ZXY = 1,
    YZX = 2,
    XZY = 3,
    ZYX = 4,
    YXZ = 5,
};

// The order that composes the same axes in the reverse sequence; unknown values pass unchanged.
TESK_API RotationOrder ReverseRotationOrder(RotationOrder order);

// The axes (0 = X, 1 = Y, 2 = Z) of an order in their sequence, or null for an unknown order.
inline const int* RotationAxes(RotationOrder order) {
    static constexpr int kAxes[6][3] = {{0, 1, 2}, {2, 0, 1}, {1, 2, 0},
                                        {0, 2, 1}, {2, 1, 0}, {1, 0, 2}};
    return (order >= XYZ && order <= YXZ) ? kAxes[order] : nullptr;
}

} // namespace OGL_TESK_AE
