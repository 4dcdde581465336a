// The floor of a small call: what a 64 x 64 operation cannot avoid once it has been handed to
// the worker, done with bare OpenGL and none of the library's machinery. A render target made
// once, one textured quad drawn into it, and its texels read back with glReadPixels as they
// are (half floats, the cheapest read there is: no conversion to the host's layout and no
// turning rows over, both of which the library still has to do).
// The library's entry-point table is typed after the extension prototypes.
#define GL_GLEXT_PROTOTYPES 1

#include "Implementation.h"

#include "common/Shared.h"
#include "gl/context/Implementation/EntryPoints.h"
#include "gl/texture/Resource.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <vector>

namespace tesk_bench {

namespace {

// The target and the source texture, both half float as the library makes them on llvmpipe.
// A resource, so that letting go of the library deletes them with the context; the next call
// then makes them again.
class BareTarget : public OGL_TESK_AE::Resource {
public:
    void Finalize() override {
        if (fFramebuffer) TESK_GL(glDeleteFramebuffersEXT)(1, &fFramebuffer);
        if (fTextures[0]) glDeleteTextures(2, fTextures);
        fFramebuffer = 0;
        fTextures[0] = fTextures[1] = 0;
    }
    void Dump() const override {}

    void Make(int size) {
        if (fFramebuffer) return;
        Relist();
        glGenTextures(2, fTextures);
        std::vector<float> texels(static_cast<size_t>(size) * size * 4, 0.5f);
        for (GLuint texture : fTextures) {
            glBindTexture(GL_TEXTURE_2D, texture);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA16F_ARB, size, size, 0, GL_RGBA, GL_FLOAT,
                         texels.data());
        }
        glBindTexture(GL_TEXTURE_2D, 0);
        TESK_GL(glGenFramebuffersEXT)(1, &fFramebuffer);
        TESK_GL(glBindFramebufferEXT)(GL_FRAMEBUFFER_EXT, fFramebuffer);
        TESK_GL(glFramebufferTexture2DEXT)
        (GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, fTextures[1], 0);
    }

    void DrawAndRead(HostImage& out) {
        const int w = out.Width(), h = out.Height();
        Make(w);
        TESK_GL(glBindFramebufferEXT)(GL_FRAMEBUFFER_EXT, fFramebuffer);
        glViewport(0, 0, w, h);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_BLEND);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, fTextures[0]);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2f(-1, -1);
        glTexCoord2f(1, 0);
        glVertex2f(1, -1);
        glTexCoord2f(1, 1);
        glVertex2f(1, 1);
        glTexCoord2f(0, 1);
        glVertex2f(-1, 1);
        glEnd();
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        fTexels.resize(static_cast<size_t>(w) * h * 4);
        glReadPixels(0, 0, w, h, GL_RGBA, GL_HALF_FLOAT_ARB, fTexels.data());
        glDisable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, 0);
        TESK_GL(glBindFramebufferEXT)(GL_FRAMEBUFFER_EXT, 0);
    }

private:
    GLuint fFramebuffer = 0;
    GLuint fTextures[2] = {0, 0};
    // Where the texels land: half floats do not fit an 8-bit frame.
    std::vector<uint16_t> fTexels;
};

BareTarget* sBare = nullptr;

void BareOnWorker(HostImage* out) {
    if (OGL_TESK_AE::Dispatch(&BareOnWorker, out)) return;
    if (!sBare) sBare = new BareTarget();
    sBare->DrawAndRead(*out);
}

} // namespace

void BareDrawAndRead(HostImage& out) {
    BareOnWorker(&out);
}

} // namespace tesk_bench
