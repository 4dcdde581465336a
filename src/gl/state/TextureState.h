#pragma once

#include "common/Export.h"
#include "gl/state/Push.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

class Texture;
class p2f;

// A texture unit, optionally with a texture (not owned) to bind there. Activating a unit
// selects it for both texture state and client arrays.
class TESK_API TextureUnit {
public:
    TextureUnit();
    // index counts units from 0; the unit's enumerant (GL_TEXTURE0 + i) is taken as well.
    explicit TextureUnit(int index);
    TextureUnit(int index, const Texture& texture);

    // Activates the unit, then applies the texture if one is attached.
    virtual void Apply() const;
    // Reads the active unit; the attached texture stays.
    virtual void Retrieve();
    virtual ~TextureUnit();

    TextureUnit(const TextureUnit&) = default;
    TextureUnit& operator=(const TextureUnit&) = default;

    // These activate the unit and set filtering or wrapping of whatever is bound to the attached
    // texture's target there; without a texture they only activate the unit.
    void ApplyNearest() const;
    void ApplyLinear() const;
    void ApplyClamp() const;
    void ApplyClampToEdge() const;

    void TexCoord(const p2f& p) const;

    operator int() const { return static_cast<int>(unit - GL_TEXTURE0); }

    // Asked once; 0 in the cache means not asked yet.
    static int MaxUnits();
    // glActiveTexture and glClientActiveTexture of unit; Unsupported when either is missing.
    static void Activate(GLenum unit);

    static const TextureUnit Default;

    GLenum unit;
    const Texture* texture;

private:
    static int sMaxUnits;
};

// The texture state of the active unit that the library disturbs: texture-coordinate
// generation, the enabled targets and their bindings, the environment, and the filters of the
// 2-D and rectangle textures.
class TESK_API TextureBinding {
public:
    // All off, nothing bound, GL_MODULATE with a transparent colour, linear filtering.
    TextureBinding();

    // Binds 0 instead of a saved name that is no longer a texture.
    virtual void Apply() const;
    virtual void Retrieve();
    virtual ~TextureBinding();

    TextureBinding(const TextureBinding&) = default;
    TextureBinding& operator=(const TextureBinding&) = default;

    static const TextureBinding Default;

    bool texGenS, texGenT, texGenR, texGenQ;
    bool texture1D;
    GLuint binding1D;
    bool texture2D;
    GLuint binding2D;
    bool texture3D;
    GLuint binding3D;
    bool textureRect;
    GLuint bindingRect;
    bool textureCube;
    GLuint bindingCube;
    GLint envMode;
    float envColor[4];
    // Magnification and minification filters of the 2-D texture, then of the rectangle one.
    GLint minMag[4];
};

extern template class Push<TextureUnit>;
extern template class Push<TextureBinding>;

} // namespace OGL_TESK_AE
