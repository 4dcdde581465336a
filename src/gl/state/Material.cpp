#include "gl/state/Material.h"

namespace OGL_TESK_AE {

namespace {

// Spelled out rather than the named colours: those belong to another file, which may not have
// made them yet while the library's own constants are being built.
const Color kDarkGray(0.2f, 0.2f, 0.2f, 1.0f);
const Color kLightGray(0.8f, 0.8f, 0.8f, 1.0f);
const Color kTransparent(0.0f, 0.0f, 0.0f, 0.0f);

Material::Face MakeFace(const Color& ambient, const Color& diffuse, const Color& specular,
                        const Color& emission, float shininess) {
    Material::Face face{ambient, diffuse, specular, emission, shininess, {0.0f, 0.0f, 0.0f}};
    return face;
}

void ApplyFace(GLenum side, const Material::Face& face) {
    glMaterialfv(side, GL_AMBIENT, face.ambient);
    glMaterialfv(side, GL_DIFFUSE, face.diffuse);
    glMaterialfv(side, GL_SPECULAR, face.specular);
    glMaterialfv(side, GL_EMISSION, face.emission);
    glMaterialfv(side, GL_SHININESS, &face.shininess);
    glMaterialfv(side, GL_COLOR_INDEXES, face.colorIndexes);
}

void RetrieveFace(GLenum side, Material::Face& face) {
    glGetMaterialfv(side, GL_AMBIENT, face.ambient);
    glGetMaterialfv(side, GL_DIFFUSE, face.diffuse);
    glGetMaterialfv(side, GL_SPECULAR, face.specular);
    glGetMaterialfv(side, GL_EMISSION, face.emission);
    glGetMaterialfv(side, GL_SHININESS, &face.shininess);
    glGetMaterialfv(side, GL_COLOR_INDEXES, face.colorIndexes);
}

} // namespace

Material::Material() : Material(kDarkGray, kLightGray, kTransparent, kTransparent, 0.0f) {}

Material::Material(const Color& ambient, const Color& diffuse, const Color& specular,
                   const Color& emission, float shininess)
    : front(MakeFace(ambient, diffuse, specular, emission, shininess)), back(front) {}

void Material::Apply() const {
    ApplyFace(GL_FRONT, front);
    ApplyFace(GL_BACK, back);
}

void Material::Retrieve() {
    RetrieveFace(GL_FRONT, front);
    RetrieveFace(GL_BACK, back);
}

const Material Material::Default;

ColorMaterial::ColorMaterial() : ColorMaterial(kDarkGray, kTransparent) {}

ColorMaterial::ColorMaterial(const Color& ambient) : ColorMaterial(ambient, kTransparent) {}

ColorMaterial::ColorMaterial(const Color& ambient, const Color& diffuse)
    : color(ambient), material(ambient, diffuse, kTransparent, kTransparent, 0.0f) {}

void ColorMaterial::Apply() const {
    color.Apply();
    material.Apply();
}

void ColorMaterial::Retrieve() {
    color.Retrieve();
    material.Retrieve();
}

const ColorMaterial ColorMaterial::Default;

PushColorMaterial::PushColorMaterial() : Push<ColorMaterial>(ColorMaterial()) {}

PushColorMaterial::PushColorMaterial(const Color& ambient)
    : Push<ColorMaterial>(ColorMaterial(ambient)) {}

PushColorMaterial::PushColorMaterial(const Color& ambient, const Color& diffuse)
    : Push<ColorMaterial>(ColorMaterial(ambient, diffuse)) {}

template class Push<ColorMaterial>;

} // namespace OGL_TESK_AE
