#include "gl/state/TextureState.h"

#include "gl/context/Implementation/EntryPoints.h"
#include "gl/state/Implementation/GetState.h"
#include "math/Vector.h"

#include "gl/texture/Texture.h"

namespace OGL_TESK_AE {

int TextureUnit::sMaxUnits = 0;

TextureUnit::TextureUnit() : unit(GL_TEXTURE0), texture(nullptr) {}

namespace {
GLenum UnitOf(int index) {
    const GLenum value = static_cast<GLenum>(index);
    return value >= GL_TEXTURE0 ? value : GL_TEXTURE0 + value;
}
} // namespace

TextureUnit::TextureUnit(int index) : unit(UnitOf(index)), texture(nullptr) {}

TextureUnit::TextureUnit(int index, const Texture& texture)
    : unit(UnitOf(index)), texture(&texture) {}

TextureUnit::~TextureUnit() = default;

void TextureUnit::Activate(GLenum unit) {
    TESK_GL(glActiveTexture)(unit);
    TESK_GL(glClientActiveTexture)(unit);
}

void TextureUnit::Apply() const {
    Activate(unit);
    if (texture) texture->Apply();
}

void TextureUnit::Retrieve() {
    unit = GetEnum(GL_ACTIVE_TEXTURE);
}

void TextureUnit::ApplyNearest() const {
    Activate(unit);
    if (texture) texture->ApplyNearest();
}

void TextureUnit::ApplyLinear() const {
    Activate(unit);
    if (texture) texture->ApplyLinear();
}

void TextureUnit::ApplyClamp() const {
    Activate(unit);
    if (texture) texture->ApplyClamp();
}

void TextureUnit::ApplyClampToEdge() const {
    Activate(unit);
    if (texture) texture->ApplyClampToEdge();
}

void TextureUnit::TexCoord(const p2f& p) const {
    TESK_GL(glMultiTexCoord2f)(unit, p.x, p.y);
}

int TextureUnit::MaxUnits() {
    if (sMaxUnits == 0) sMaxUnits = GetInteger(GL_MAX_TEXTURE_UNITS);
    return sMaxUnits;
}

const TextureUnit TextureUnit::Default;

TextureBinding::TextureBinding()
    : texGenS(false), texGenT(false), texGenR(false), texGenQ(false), texture1D(false),
      binding1D(0), texture2D(false), binding2D(0), texture3D(false), binding3D(0),
      textureRect(false), bindingRect(0), textureCube(false), bindingCube(0),
      envMode(GL_MODULATE), envColor{0.0f, 0.0f, 0.0f, 0.0f}, minMag{GL_LINEAR, GL_LINEAR,
                                                                     GL_LINEAR, GL_LINEAR} {}

TextureBinding::~TextureBinding() = default;

namespace {

void RetrieveTarget(GLenum target, GLenum bindingQuery, bool& enabled, GLuint& binding) {
    enabled = GetBoolean(target);
    binding = static_cast<GLuint>(GetInteger(bindingQuery));
}

void ApplyTarget(GLenum target, bool enabled, GLuint binding) {
    SetCapability(target, enabled);
    glBindTexture(target, binding != 0 && glIsTexture(binding) ? binding : 0);
}

} // namespace

void TextureBinding::Retrieve() {
    texGenS = GetBoolean(GL_TEXTURE_GEN_S);
    texGenT = GetBoolean(GL_TEXTURE_GEN_T);
    texGenR = GetBoolean(GL_TEXTURE_GEN_R);
    texGenQ = GetBoolean(GL_TEXTURE_GEN_Q);
    RetrieveTarget(GL_TEXTURE_1D, GL_TEXTURE_BINDING_1D, texture1D, binding1D);
    RetrieveTarget(GL_TEXTURE_2D, GL_TEXTURE_BINDING_2D, texture2D, binding2D);
    RetrieveTarget(GL_TEXTURE_3D, GL_TEXTURE_BINDING_3D, texture3D, binding3D);
    RetrieveTarget(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_BINDING_RECTANGLE_ARB, textureRect,
                   bindingRect);
    RetrieveTarget(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_BINDING_CUBE_MAP, textureCube, bindingCube);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &envMode);
    glGetTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, envColor);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &minMag[0]);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minMag[1]);
    glGetTexParameteriv(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, &minMag[2]);
    glGetTexParameteriv(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, &minMag[3]);
}

void TextureBinding::Apply() const {
    SetCapability(GL_TEXTURE_GEN_S, texGenS);
    SetCapability(GL_TEXTURE_GEN_T, texGenT);
    SetCapability(GL_TEXTURE_GEN_R, texGenR);
    SetCapability(GL_TEXTURE_GEN_Q, texGenQ);
    ApplyTarget(GL_TEXTURE_1D, texture1D, binding1D);
    ApplyTarget(GL_TEXTURE_2D, texture2D, binding2D);
    ApplyTarget(GL_TEXTURE_3D, texture3D, binding3D);
    ApplyTarget(GL_TEXTURE_RECTANGLE_ARB, textureRect, bindingRect);
    ApplyTarget(GL_TEXTURE_CUBE_MAP, textureCube, bindingCube);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, envMode);
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, envColor);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, minMag[0]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minMag[1]);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, minMag[2]);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, minMag[3]);
}

const TextureBinding TextureBinding::Default;

template class Push<TextureUnit>;
template class Push<TextureBinding>;

} // namespace OGL_TESK_AE
