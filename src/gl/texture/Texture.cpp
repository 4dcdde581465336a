#include "gl/texture/Texture.h"

#include "common/Errors.h"
#include "gl/context/Capabilities.h"
#include "gl/context/Defaults.h"
#include "gl/context/Implementation/EntryPoints.h"
#include "gl/context/HardwareInfo.h"
#include "gl/state/Clear.h"
#include "gl/texture/Implementation/Selection.h"
#include "gl/texture/TextureBuffer.h"
#include "gl/texture/TextureFormat.h"

namespace OGL_TESK_AE {

namespace {

void SetFilters(GLenum target, GLint filter) {
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, filter);
}

// Saves the matrix mode, works on the texture matrix, puts the mode back.
class TextureMatrixMode {
public:
    TextureMatrixMode() {
        glGetIntegerv(GL_MATRIX_MODE, &fMode);
        glMatrixMode(GL_TEXTURE);
    }
    ~TextureMatrixMode() { glMatrixMode(static_cast<GLenum>(fMode)); }

private:
    GLint fMode = GL_MODELVIEW;
};

} // namespace

Texture::Texture() = default;

Texture::Texture(const Texture& other)
    : Resource(other), key(other.key), binding(other.binding), loadProcessing(other.loadProcessing),
      fit(other.fit) {}

Texture& Texture::operator=(const Texture& other) {
    if (this != &other) {
        Finalize();
        key = other.key;
        binding = other.binding;
        loadProcessing = other.loadProcessing;
        fit = other.fit;
    }
    return *this;
}

Texture::~Texture() {
    Finalize();
}

void Texture::Finalize() {
    if (buffer) TextureBuffer::Recycle(buffer);
    buffer = nullptr;
    loaded = false;
    // The names seen bound with the buffer are not this texture's to keep: the cache may delete
    // the buffer, and a later context hands the same names out again, perhaps to a texture of
    // another target. Applied then, before the next load binds the buffer again, such a name is
    // GL_INVALID_OPERATION (a static texture kept from call to call hit that).
    binding = TextureBinding();
}

void Texture::Apply() const {
    binding.Apply();
}

void Texture::Retrieve() {
    binding.Retrieve();
}

bool Texture::Select() {
    CreateTexture();
    return buffer ? buffer->Select() : false;
}

void Texture::Reset() {
    if (!buffer) return;
    SetDefault();
    buffer->Orthogonal(-10000.0, 10000.0);
}

bool Texture::Deselect() {
    return buffer ? buffer->Deselect() : false;
}

void Texture::Load() const {}

int Texture::ActualWidth() const {
    return buffer ? buffer->Width() : 0;
}

int Texture::ActualHeight() const {
    return buffer ? buffer->Height() : 0;
}

void Texture::SetType(GLenum target, int width, int height, GLenum format, GLenum type,
                      bool exact) {
    key = TextureKey(target, width, height, GetInternalFormat(format, type), exact);
}

void Texture::CreateTexture() const {
    if (buffer) return;
    buffer = TextureBuffer::Make(key);
    Relist();
}

void Texture::BindTexture() const {
    CreateTexture();
    buffer->Bind();
    binding.Retrieve();
}

void Texture::AttachTexture() const {
    if (!buffer) throw OpenGLError();
    buffer->Attach();
}

bool Texture::IsResident() const {
    return buffer ? buffer->IsResident() : false;
}

void Texture::Disable() {
    for (GLenum gen : {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q})
        glDisable(gen);
    const GLenum targets[] = {GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_3D, GL_TEXTURE_RECTANGLE_ARB,
                              GL_TEXTURE_CUBE_MAP};
    for (GLenum target : targets) glDisable(target);
    for (GLenum target : targets) glBindTexture(target, 0);
}

void Texture::ApplyNearest() const {
    SetFilters(key.Target(), GL_NEAREST);
}

void Texture::ApplyLinear() const {
    SetFilters(key.Target(), GL_LINEAR);
}

void Texture::ApplyClamp() const {
    glTexParameteri(key.Target(), GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(key.Target(), GL_TEXTURE_WRAP_T, GL_CLAMP);
}

void Texture::ApplyClampToEdge() const {
    glTexParameteri(key.Target(), GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(key.Target(), GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

void Texture::ApplyDecal() const {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
}

void Texture::ApplyModulate() const {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

void Texture::ClearTransform() const {
    TextureMatrixMode mode;
    glLoadIdentity();
}

void Texture::SetTransform(float sx, float sy, float tx, float ty) const {
    TextureMatrixMode mode;
    glLoadIdentity();
    glTranslatef(tx, ty, 0.0f);
    glScalef(sx, sy, 0.0f);
}

void Texture::FlipTransform() const {
    TextureMatrixMode mode;
    glTranslated(0.0, 1.0, 0.0);
    glScaled(1.0, -1.0, 1.0);
}

void Texture::ClearTexture(const Color& color) {
    if (!buffer) return;
    Selection<TextureBuffer> selection(*buffer);
    if (selection.IsSelected()) ClearColorBuffer(color);
}

GLenum Texture::GetBestType() {
    static const bool halfFloat = IsExtensionSupported("GL_ARB_half_float_pixel");
    static const bool textureFloat = IsExtensionSupported("GL_ARB_texture_float");
    if (IsBasicQuadro()) return halfFloat ? GL_HALF_FLOAT_ARB : GL_UNSIGNED_BYTE;
    if (textureFloat && IsQuadro()) return GL_FLOAT;
    if (halfFloat) return GL_HALF_FLOAT_ARB;
    if (textureFloat) return GL_FLOAT;
    return GL_UNSIGNED_BYTE;
}

GLenum GetCurrentInternalFormat() {
    GLint type = 0, name = 0;
    TESK_GL(glGetFramebufferAttachmentParameterivEXT)
    (GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE_EXT,
     &type);
    TESK_GL(glGetFramebufferAttachmentParameterivEXT)
    (GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT,
     &name);
    GLint format = 0;
    if (type == GL_TEXTURE) {
        glBindTexture(GL_TEXTURE_RECTANGLE_ARB, static_cast<GLuint>(name));
        glGetTexLevelParameteriv(GL_TEXTURE_RECTANGLE_ARB, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    } else if (type == GL_RENDERBUFFER_EXT) {
        TESK_GL(glBindRenderbufferEXT)(GL_RENDERBUFFER_EXT, static_cast<GLuint>(name));
        TESK_GL(glGetRenderbufferParameterivEXT)
        (GL_RENDERBUFFER_EXT, GL_RENDERBUFFER_INTERNAL_FORMAT_EXT, &format);
    }
    return static_cast<GLenum>(format);
}

} // namespace OGL_TESK_AE
