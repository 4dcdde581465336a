#pragma once

#include "common/Export.h"
#include "gl/texture/RenderKey.h"
#include "gl/texture/Resource.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

// An OpenGL render buffer from the render-buffer cache; rendered textures use one as their
// depth attachment.
class TESK_API RenderBuffer : public Resource {
public:
    static RenderBuffer* Make(const RenderKey& key);
    static void Recycle(RenderBuffer* buffer);
    static RenderFactory& Factory();

    explicit RenderBuffer(const RenderKey& key);
    RenderBuffer(const RenderBuffer&) = delete;
    RenderBuffer& operator=(const RenderBuffer&) = delete;
    ~RenderBuffer() override;

    const RenderKey& Key() const { return fKey; }
    const RenderKey& GetKey() const { return fKey; }
    int Width() const { return fKey.Width(); }
    int Height() const { return fKey.Height(); }
    int Size() const { return fKey.Size(); }
    GLuint Name() const { return fRenderbuffer; }

    void Initialize() const;
    void Attach() const;

    // Whether framebuffer objects, blits and multisample storage are all there.
    static bool IsMultiSampleSupported();
    // 0 without multisampling or below 2 samples, else at most the card's maximum.
    static int ClampMultisample(int samples);
    static int ClampBufferSize(int size);

    void Finalize() override;
    void Dump() const override {}

private:
    mutable GLuint fRenderbuffer = 0;
    mutable RenderKey fKey;
};

} // namespace OGL_TESK_AE
