#include "gl/state/Light.h"

#include "gl/state/Implementation/GetState.h"

#include <algorithm>

namespace OGL_TESK_AE {

namespace {

constexpr GLenum LightOf(int n) {
    return static_cast<GLenum>(GL_LIGHT0 + n);
}

void ApplySwitches(GLenum light, bool lightOn, bool lightingOn) {
    SetCapability(light, lightOn);
    SetCapability(GL_LIGHTING, lightingOn);
}

void RetrieveSwitches(GLenum light, bool& lightOn, bool& lightingOn) {
    lightOn = GetBoolean(light);
    lightingOn = GetBoolean(GL_LIGHTING);
}

} // namespace

template <int N>
AmbientLight<N>::AmbientLight(const Color& c) : ambient(c), lightOn(true), lightingOn(true) {}

template <int N> void AmbientLight<N>::Apply() const {
    glLightfv(LightOf(N), GL_AMBIENT, ambient);
    ApplySwitches(LightOf(N), lightOn, lightingOn);
}

template <int N> void AmbientLight<N>::Retrieve() {
    glGetLightfv(LightOf(N), GL_AMBIENT, ambient);
    RetrieveSwitches(LightOf(N), lightOn, lightingOn);
}

template <int N>
DiffuseLight<N>::DiffuseLight(const Color& c) : diffuse(c), lightOn(true), lightingOn(true) {}

template <int N> void DiffuseLight<N>::Apply() const {
    glLightfv(LightOf(N), GL_DIFFUSE, diffuse);
    ApplySwitches(LightOf(N), lightOn, lightingOn);
}

template <int N> void DiffuseLight<N>::Retrieve() {
    glGetLightfv(LightOf(N), GL_DIFFUSE, diffuse);
    RetrieveSwitches(LightOf(N), lightOn, lightingOn);
}

template <int N>
SpotLight<N>::SpotLight(const Color& specular, const p4f& position, const p4f& direction,
                        float exponent, float cutoff, float quadraticAttenuation)
    : specular(specular), position(position), direction(direction), exponent(exponent),
      cutoff(cutoff), quadraticAttenuation(quadraticAttenuation), lightOn(true), lightingOn(true) {}

template <int N> void SpotLight<N>::Apply() const {
    const GLenum light = LightOf(N);
    glLightfv(light, GL_SPECULAR, specular);
    glLightfv(light, GL_POSITION, position);
    glLightfv(light, GL_SPOT_CUTOFF, &cutoff);
    glLightfv(light, GL_SPOT_DIRECTION, direction);
    glLightfv(light, GL_SPOT_EXPONENT, &exponent);
    glLightfv(light, GL_QUADRATIC_ATTENUATION, &quadraticAttenuation);
    ApplySwitches(light, lightOn, lightingOn);
}

template <int N> void SpotLight<N>::Retrieve() {
    const GLenum light = LightOf(N);
    glGetLightfv(light, GL_SPECULAR, specular);
    glGetLightfv(light, GL_POSITION, position);
    glGetLightfv(light, GL_SPOT_CUTOFF, &cutoff);
    glGetLightfv(light, GL_SPOT_DIRECTION, direction);
    glGetLightfv(light, GL_SPOT_EXPONENT, &exponent);
    glGetLightfv(light, GL_QUADRATIC_ATTENUATION, &quadraticAttenuation);
    RetrieveSwitches(light, lightOn, lightingOn);
}

#define TESK_LIGHT_TEMPLATES(N)                                                                    \
    template class AmbientLight<N>;                                                                \
    template class DiffuseLight<N>;                                                                \
    template class SpotLight<N>;
TESK_LIGHT_TEMPLATES(0)
TESK_LIGHT_TEMPLATES(1)
TESK_LIGHT_TEMPLATES(2)
TESK_LIGHT_TEMPLATES(3)
TESK_LIGHT_TEMPLATES(4)
TESK_LIGHT_TEMPLATES(5)
TESK_LIGHT_TEMPLATES(6)
TESK_LIGHT_TEMPLATES(7)
#undef TESK_LIGHT_TEMPLATES

SimpleLight::SimpleLight(const Color& c) : color(c), ambient(c), diffuse(c) {}

void SimpleLight::Apply() const {
    color.Apply();
    ambient.Apply();
    diffuse.Apply();
}

void SimpleLight::Retrieve() {
    diffuse.Retrieve();
    ambient.Retrieve();
    color.Retrieve();
}

ParamLight::ParamLight(int index)
    : enabled(false), ambientOn(true), spot(false), userFlags{true, false},
      ambient(0.0f, 0.0f, 0.0f, 1.0f), diffuse(1.0f, 1.0f, 1.0f, 1.0f),
      specular(1.0f, 1.0f, 1.0f, 1.0f), quadraticAttenuation(64000.0f), userValues{0.001f, 0.0f},
      position(0.0f, 0.0f, 0.0f, 1.0f),
      direction(0.0f, 0.0f, 0.0f, 1.0f), userParameters{0.0f, 0.0f, 0.0f, 0.0f},
      constantAttenuation(1.0f), linearAttenuation(0.0f), exponent(0.0f), cutoff(90.0f),
      light(LightOf(index)) {}

void ParamLight::SetDefaults(int distance, int /*second*/) {
    position = p4f(0.0f, 0.0f, -2.0f * static_cast<float>(distance), 1.0f);
    ambient = Color(0.0f, 0.0f, 0.0f, 1.0f);
    diffuse = Color(1.0f, 1.0f, 1.0f, 1.0f);
    specular = Color(0.0f, 0.0f, 0.0f, 0.0f);
    enabled = true;
    ambientOn = true;
    spot = false;
    userFlags[0] = true;
    userFlags[1] = false;
    exponent = 0.0f;
    cutoff = 90.0f;
    quadraticAttenuation = 64000.0f;
    userValues[0] = 0.001f;
    userValues[1] = 0.0f;
    constantAttenuation = 1.0f;
    linearAttenuation = 0.0f;
}

void ParamLight::Apply() const {
    SetCapability(light, enabled);
    SetCapability(GL_LIGHTING, enabled);
    glLightfv(light, GL_AMBIENT, ambient);
    glLightfv(light, GL_DIFFUSE, diffuse);
    glLightfv(light, GL_SPECULAR, specular);
    glLightfv(light, GL_POSITION, position);
    glLightfv(light, GL_SPOT_DIRECTION, direction);
    glLightf(light, GL_SPOT_EXPONENT, exponent);
    glLightf(light, GL_SPOT_CUTOFF, cutoff);
    glLightf(light, GL_CONSTANT_ATTENUATION, constantAttenuation);
    glLightf(light, GL_LINEAR_ATTENUATION, linearAttenuation);
    glLightf(light, GL_QUADRATIC_ATTENUATION, quadraticAttenuation);
}

void ParamLight::ApplyCustom() const {
    if (!ambientOn) ambient = Color(0.0f, 0.0f, 0.0f, 0.0f);
    if (!spot) {
        exponent = 0.0f;
        cutoff = 180.0f;
    }
    constantAttenuation = 1.0f;
    linearAttenuation = 0.0f;
    Apply();
}

void ParamLight::Retrieve() {
    enabled = GetBoolean(light);
    glGetLightfv(light, GL_AMBIENT, ambient);
    glGetLightfv(light, GL_DIFFUSE, diffuse);
    glGetLightfv(light, GL_SPECULAR, specular);
    glGetLightfv(light, GL_POSITION, position);
    glGetLightfv(light, GL_SPOT_DIRECTION, direction);
    glGetLightfv(light, GL_SPOT_EXPONENT, &exponent);
    glGetLightfv(light, GL_SPOT_CUTOFF, &cutoff);
    glGetLightfv(light, GL_CONSTANT_ATTENUATION, &constantAttenuation);
    glGetLightfv(light, GL_LINEAR_ATTENUATION, &linearAttenuation);
    glGetLightfv(light, GL_QUADRATIC_ATTENUATION, &quadraticAttenuation);
}

void ParamLight::DisableLights() {
    const GLint count = GetInteger(GL_MAX_LIGHTS);
    for (GLint i = 0; i < count; ++i) glDisable(LightOf(i));
}

PushParamLights::PushParamLights() : lightingWasOn(0), count(0) {
    count = std::min(GetInteger(GL_MAX_LIGHTS), 8);
    lightingWasOn = GetBoolean(GL_LIGHTING) ? 1 : 0;
    for (int i = 0; i < count; ++i) {
        lights[i].light = LightOf(i);
        lights[i].Retrieve();
    }
}

PushParamLights::~PushParamLights() {
    for (int i = 0; i < count; ++i) lights[i].Apply();
    SetCapability(GL_LIGHTING, lightingWasOn != 0);
}

} // namespace OGL_TESK_AE
