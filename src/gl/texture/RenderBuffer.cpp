#include "gl/texture/RenderBuffer.h"

#include "common/Errors.h"
#include "common/PhaseTimer.h"
#include "gl/context/Capabilities.h"
#include "gl/context/Implementation/EntryPoints.h"
#include "gl/texture/TextureFormat.h"

#include <algorithm>

namespace OGL_TESK_AE {

RenderFactory& RenderBuffer::Factory() {
    static RenderFactory factory;
    return factory;
}

RenderBuffer* RenderBuffer::Make(const RenderKey& key) {
    return Factory().Make(key);
}

void RenderBuffer::Recycle(RenderBuffer* buffer) {
    Factory().Recycle(buffer);
}

RenderBuffer::RenderBuffer(const RenderKey& key) : fKey(key) {
    Initialize();
}

RenderBuffer::~RenderBuffer() {
    Finalize();
}

void RenderBuffer::Finalize() {
    if (fRenderbuffer && EntryPoints::Slot(EntryPoints::e_glDeleteRenderbuffersEXT))
        TESK_GL(glDeleteRenderbuffersEXT)(1, &fRenderbuffer);
    fRenderbuffer = 0;
}

void RenderBuffer::Initialize() const {
    if (fRenderbuffer) return;
    PhaseTimer timer(Phase::Allocation);
    Relist();
    TESK_GL(glGenRenderbuffersEXT)(1, &fRenderbuffer);
    if (!fRenderbuffer) throw OpenGLError();
    TESK_GL(glBindRenderbufferEXT)(GL_RENDERBUFFER_EXT, fRenderbuffer);
    fKey.SetDimensions(ClampBufferSize(fKey.Width()), ClampBufferSize(fKey.Height()));
    TESK_GL(glRenderbufferStorageEXT)
    (GL_RENDERBUFFER_EXT, GetInternalFormat(fKey.Format(), fKey.Type()), fKey.Width(),
     fKey.Height());
    GLint width = 0, height = 0, internalFormat = 0;
    TESK_GL(glGetRenderbufferParameterivEXT)
    (GL_RENDERBUFFER_EXT, GL_RENDERBUFFER_WIDTH_EXT, &width);
    TESK_GL(glGetRenderbufferParameterivEXT)
    (GL_RENDERBUFFER_EXT, GL_RENDERBUFFER_HEIGHT_EXT, &height);
    if (width != fKey.Width() || height != fKey.Height()) {
        TESK_GL(glDeleteRenderbuffersEXT)(1, &fRenderbuffer);
        fRenderbuffer = 0;
        throw Error(
            CannotMake("depth buffer", fKey.Width(), fKey.Height(), GL_MAX_RENDERBUFFER_SIZE_EXT));
    }
    TESK_GL(glGetRenderbufferParameterivEXT)
    (GL_RENDERBUFFER_EXT, GL_RENDERBUFFER_INTERNAL_FORMAT_EXT, &internalFormat);
    fKey.SetInternalFormat(static_cast<GLenum>(internalFormat));
    fKey.SetSize(CalculateTextureSize(fKey.Width(), fKey.Height(), fKey.InternalFormat()));
}

void RenderBuffer::Attach() const {
    Initialize();
    const GLenum attachment =
        fKey.Format() == GL_DEPTH_COMPONENT ? GL_DEPTH_ATTACHMENT_EXT : GL_COLOR_ATTACHMENT0_EXT;
    TESK_GL(glFramebufferRenderbufferEXT)
    (GL_FRAMEBUFFER_EXT, attachment, GL_RENDERBUFFER_EXT, fRenderbuffer);
}

bool RenderBuffer::IsMultiSampleSupported() {
    static const bool supported = IsExtensionSupported("GL_EXT_framebuffer_object") &&
                                  IsExtensionSupported("GL_EXT_framebuffer_blit") &&
                                  IsExtensionSupported("GL_EXT_framebuffer_multisample");
    return supported;
}

int RenderBuffer::ClampMultisample(int samples) {
    if (!IsMultiSampleSupported() || samples < 2) return 0;
    static GLint maxSamples = -1;
    if (maxSamples < 0) glGetIntegerv(GL_MAX_SAMPLES_EXT, &maxSamples);
    return std::min(samples, static_cast<int>(maxSamples));
}

int RenderBuffer::ClampBufferSize(int size) {
    static GLint maxSize = -1;
    if (maxSize < 0) glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_EXT, &maxSize);
    return std::min(size, static_cast<int>(maxSize));
}

} // namespace OGL_TESK_AE
