#include "math/Implementation/Angle.h"

#include <cmath>

namespace OGL_TESK_AE {

namespace {
constexpr float kTolerance = 0.0001f;
constexpr float kTwoPi = 6.2831855f;
constexpr float kPi = 3.1415927f;
constexpr float kHalfPi = 1.5707964f;
constexpr float kThreeHalfPi = 4.712389f;

bool Near(float a, float b) {
    return std::fabs(a - b) < kTolerance;
}
} // namespace

float ClampDegrees(float& degrees) {
    // A NaN or infinite angle has no turn to remove; converting it to an integer would be
    // undefined.
    if (!std::isfinite(degrees)) return 0.0f;
    int turns = static_cast<int>(std::trunc(degrees * (1.0f / 360.0f))) * 360;
    if (degrees < 0.0f) turns -= 360;
    float a = degrees - static_cast<float>(turns);
    // Order matters: 360 (a rounding leftover) folds onto 0 before the quarter turns are tried.
    if (std::fabs(a) < kTolerance)
        a = 0.0f;
    else if (Near(a, 360.0f))
        a = 0.0f;
    else if (Near(a, 270.0f))
        a = 270.0f;
    else if (Near(a, 90.0f))
        a = 90.0f;
    else if (Near(a, 180.0f))
        a = 180.0f;
    degrees = a;
    return static_cast<float>(turns);
}

float NormalizeRadians(float radians) {
    if (!std::isfinite(radians)) return radians;
    if (radians < 0.0f) {
        while (radians < 0.0f) radians += kTwoPi;
    } else if (radians >= kTwoPi) {
        radians = std::fmod(radians, kTwoPi);
    }
    if (std::fabs(radians) < kTolerance || Near(radians, kTwoPi))
        radians = 0.0f;
    else if (Near(radians, kThreeHalfPi))
        radians = kThreeHalfPi;
    else if (Near(radians, kHalfPi))
        radians = kHalfPi;
    else if (Near(radians, kPi))
        radians = kPi;
    return radians;
}

} // namespace OGL_TESK_AE
