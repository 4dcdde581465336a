#include "gl/context/Implementation/EntryPoints.h"
#include "ops/Transform.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>

namespace OGL_TESK_AE {

namespace {

constexpr float kLargestPoint = 64.0f;

void SetAttenuation(decltype(&glPointParameterfv) parameters, float distance) {
    const GLfloat attenuation[3] = {1.0f, 0.1f / distance, 1e-13f};
    parameters(GL_POINT_DISTANCE_ATTENUATION, attenuation);
}

} // namespace

bool EnableDistPointScaling(float distance) {
    // Both looked up first: a missing one must leave the point state as it was.
    const auto parameter = TESK_GL(glPointParameterf);
    const auto parameters = TESK_GL(glPointParameterfv);
    SetAttenuation(parameters, distance);
    GLfloat largest = kLargestPoint;
    glGetFloatv(GL_POINT_SIZE_MAX, &largest);
    largest = std::min(largest, kLargestPoint);
    glPointSize(largest);
    parameter(GL_POINT_FADE_THRESHOLD_SIZE, 60.0f);
    parameter(GL_POINT_SIZE_MIN, 1.0f);
    parameter(GL_POINT_SIZE_MAX, largest);
    return true;
}

bool RescaleDistPoint(float distance) {
    // Unsupported without either entry point, as EnableDistPointScaling is.
    static_cast<void>(TESK_GL(glPointParameterf));
    SetAttenuation(TESK_GL(glPointParameterfv), distance);
    return true;
}

} // namespace OGL_TESK_AE
