#pragma once

#include "common/Export.h"
#include "gl/state/Push.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

// The material of both faces for fixed-function lighting.
class TESK_API Material {
public:
    struct Face {
        Color ambient;
        Color diffuse;
        Color specular;
        Color emission;
        float shininess;
        float colorIndexes[3];
    };

    Material();
    // Both faces alike; the colour indexes are 0.
    Material(const Color& ambient, const Color& diffuse, const Color& specular,
             const Color& emission, float shininess);

    void Apply() const;
    void Retrieve();

    static const Material Default;

    Face front;
    Face back;
};

// A current colour with the material that goes with it: ambient from the colour, the given
// diffuse, no specular or emission.
class TESK_API ColorMaterial {
public:
    ColorMaterial();
    explicit ColorMaterial(const Color& ambient);
    ColorMaterial(const Color& ambient, const Color& diffuse);

    void Apply() const;
    void Retrieve();

    static const ColorMaterial Default;

    Color color;
    Material material;
};

class TESK_API PushColorMaterial : public Push<ColorMaterial> {
public:
    PushColorMaterial();
    explicit PushColorMaterial(const Color& ambient);
    PushColorMaterial(const Color& ambient, const Color& diffuse);
};

extern template class Push<ColorMaterial>;

} // namespace OGL_TESK_AE
