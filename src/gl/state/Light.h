#pragma once

#include "common/Export.h"
#include "math/Color.h"
#include "math/Vector.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

// Light templates for GL_LIGHT0 + N, N from 0 to 7. Applying switches the light and lighting on
// or off as well. Positions and directions are transformed by the model-view matrix current
// when they are applied and come back in eye coordinates, so a saved light is put back exactly
// only under the matrix it was saved with, typically the identity.

template <int N> class TESK_API AmbientLight {
    static_assert(N >= 0 && N < 8, "lights 0 to 7");

public:
    explicit AmbientLight(const Color& c = Color::White);

    void Apply() const;
    void Retrieve();

    Color ambient;
    bool lightOn;
    bool lightingOn;
};

template <int N> class TESK_API DiffuseLight {
    static_assert(N >= 0 && N < 8, "lights 0 to 7");

public:
    explicit DiffuseLight(const Color& c = Color::Transparent);

    void Apply() const;
    void Retrieve();

    Color diffuse;
    bool lightOn;
    bool lightingOn;
};

template <int N> class TESK_API SpotLight {
    static_assert(N >= 0 && N < 8, "lights 0 to 7");

public:
    // The default is a point light at the eye with no specular term.
    explicit SpotLight(const Color& specular = Color::Transparent,
                       const p4f& position = p4f(0.0f, 0.0f, 0.0f, 1.0f),
                       const p4f& direction = p4f(0.0f, 0.0f, -1.0f, 1.0f), float exponent = 0.0f,
                       float cutoff = 180.0f, float quadraticAttenuation = 0.0f);

    void Apply() const;
    void Retrieve();

    Color specular;
    p4f position;
    p4f direction;
    float exponent;
    float cutoff;
    float quadraticAttenuation;
    bool lightOn;
    bool lightingOn;
};

#define TESK_LIGHT_TEMPLATES(N)                                                                    \
    extern template class AmbientLight<N>;                                                         \
    extern template class DiffuseLight<N>;                                                         \
    extern template class SpotLight<N>;
TESK_LIGHT_TEMPLATES(0)
TESK_LIGHT_TEMPLATES(1)
TESK_LIGHT_TEMPLATES(2)
TESK_LIGHT_TEMPLATES(3)
TESK_LIGHT_TEMPLATES(4)
TESK_LIGHT_TEMPLATES(5)
TESK_LIGHT_TEMPLATES(6)
TESK_LIGHT_TEMPLATES(7)
#undef TESK_LIGHT_TEMPLATES

// Light 0 with one colour for its ambient and diffuse terms and as the current colour.
class TESK_API SimpleLight {
public:
    explicit SimpleLight(const Color& c = Color::White);

    void Apply() const;
    void Retrieve();

    Color color;
    AmbientLight<0> ambient;
    DiffuseLight<0> diffuse;
};

// One light with all of its parameters.
class TESK_API ParamLight {
public:
    explicit ParamLight(int index = 0);

    // A point light at distance 2 * distance in front of the eye; second is not used.
    void SetDefaults(int distance, int second);
    // Switches the light, and lighting with it, by enabled: the last light applied decides
    // whether lighting is on.
    void Apply() const;
    // Normalises the stored values first (and keeps them): no ambient term unless ambientOn, a
    // point light unless spot, constant attenuation 1 and no linear attenuation.
    void ApplyCustom() const;
    void Retrieve();

    // Switches off every light the context has.
    static void DisableLights();

    bool enabled;
    bool ambientOn;
    bool spot;
    bool userFlags[2]; // kept for callers; the library does not read them
    mutable Color ambient;
    Color diffuse;
    Color specular;
    float quadraticAttenuation;
    float userValues[2]; // kept for callers
    p4f position;
    p4f direction;
    float userParameters[4]; // kept for callers
    mutable float constantAttenuation;
    mutable float linearAttenuation;
    mutable float exponent;
    mutable float cutoff;
    GLenum light;
};

// Saves lights 0 to 7 (those the context has) and whether lighting is on; the destructor puts
// them back.
class TESK_API PushParamLights {
public:
    PushParamLights();
    ~PushParamLights();

    PushParamLights(const PushParamLights&) = delete;
    PushParamLights& operator=(const PushParamLights&) = delete;

    ParamLight lights[8];
    GLint lightingWasOn;
    int count;
};

} // namespace OGL_TESK_AE
