#include "gl/texture/AntiAliasRender.h"

#include "gl/context/Defaults.h"
#include "gl/context/Implementation/EntryPoints.h"
#include "gl/geometry/Object.h"
#include "gl/state/Blend.h"
#include "gl/state/Fragment.h"
#include "gl/state/Light.h"
#include "gl/texture/RenderedTexture.h"
#include "gl/texture/TiledBuffer.h"

#include <algorithm>

namespace OGL_TESK_AE {

namespace {

// Sample positions within a pixel, (x, y, 0), for each pass count.
const float kJitter1[1][3] = {{0.5f, 0.5f, 0.0f}};
const float kJitter4[4][3] = {
    {0.375f, 0.25f, 0.0f}, {0.125f, 0.75f, 0.0f}, {0.875f, 0.25f, 0.0f}, {0.625f, 0.75f, 0.0f}};
const float kJitter6[6][3] = {{46 / 99.0f, 46 / 99.0f, 0.0f}, {13 / 99.0f, 79 / 99.0f, 0.0f},
                              {53 / 99.0f, 86 / 99.0f, 0.0f}, {86 / 99.0f, 53 / 99.0f, 0.0f},
                              {79 / 99.0f, 13 / 99.0f, 0.0f}, {20 / 99.0f, 20 / 99.0f, 0.0f}};
const float kJitter8[8][3] = {{9 / 16.0f, 7 / 16.0f, 0.0f},  {1 / 16.0f, 15 / 16.0f, 0.0f},
                              {5 / 16.0f, 11 / 16.0f, 0.0f}, {11 / 16.0f, 13 / 16.0f, 0.0f},
                              {13 / 16.0f, 3 / 16.0f, 0.0f}, {15 / 16.0f, 9 / 16.0f, 0.0f},
                              {7 / 16.0f, 1 / 16.0f, 0.0f},  {3 / 16.0f, 5 / 16.0f, 0.0f}};
const float kJitter12[12][3] = {
    {5 / 12.0f, 5 / 8.0f, 0.0f},  {11 / 12.0f, 7 / 8.0f, 0.0f}, {1 / 4.0f, 3 / 8.0f, 0.0f},
    {5 / 12.0f, 1 / 8.0f, 0.0f},  {3 / 4.0f, 1 / 8.0f, 0.0f},   {1 / 12.0f, 1 / 8.0f, 0.0f},
    {3 / 4.0f, 5 / 8.0f, 0.0f},   {1 / 4.0f, 7 / 8.0f, 0.0f},   {7 / 12.0f, 3 / 8.0f, 0.0f},
    {11 / 12.0f, 3 / 8.0f, 0.0f}, {1 / 12.0f, 5 / 8.0f, 0.0f},  {7 / 12.0f, 7 / 8.0f, 0.0f}};
const float kJitter16[16][3] = {
    {3 / 8.0f, 7 / 16.0f, 0.0f},  {5 / 8.0f, 1 / 16.0f, 0.0f},  {7 / 8.0f, 3 / 16.0f, 0.0f},
    {1 / 8.0f, 1 / 16.0f, 0.0f},  {3 / 8.0f, 11 / 16.0f, 0.0f}, {7 / 8.0f, 7 / 16.0f, 0.0f},
    {5 / 8.0f, 9 / 16.0f, 0.0f},  {3 / 8.0f, 15 / 16.0f, 0.0f}, {5 / 8.0f, 5 / 16.0f, 0.0f},
    {1 / 8.0f, 9 / 16.0f, 0.0f},  {1 / 8.0f, 13 / 16.0f, 0.0f}, {3 / 8.0f, 3 / 16.0f, 0.0f},
    {7 / 8.0f, 15 / 16.0f, 0.0f}, {7 / 8.0f, 11 / 16.0f, 0.0f}, {1 / 8.0f, 5 / 16.0f, 0.0f},
    {5 / 8.0f, 13 / 16.0f, 0.0f}};

const float (*JitterTable(int count))[3] {
    switch (count) {
    case 4:
        return kJitter4;
    case 6:
        return kJitter6;
    case 8:
        return kJitter8;
    case 12:
        return kJitter12;
    case 16:
        return kJitter16;
    default:
        return kJitter1;
    }
}

void BindFramebuffer(GLint name) {
    TESK_GL(glBindFramebufferEXT)(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(name));
}

// Multiplies the current matrix of mode from the left by a translation, the mode kept.
void PreTranslate(GLenum mode, float x, float y) {
    GLint previousMode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &previousMode);
    glMatrixMode(mode);
    GLdouble m[16];
    glGetDoublev(mode == GL_PROJECTION ? GL_PROJECTION_MATRIX : GL_MODELVIEW_MATRIX, m);
    glLoadIdentity();
    glTranslatef(x, y, 0.0f);
    glMultMatrixd(m);
    glMatrixMode(static_cast<GLenum>(previousMode));
}

} // namespace

AntiAliasRender::AntiAliasRender(const Region& r, int level, int second, float focusDistance,
                                 float lensSizeA, float lensSizeB)
    : region(r), lensB(lensSizeB), lensA(lensSizeA), focus(focusDistance), jitter(kJitter1) {
    SetJitters(level, second);
}

AntiAliasRender::~AntiAliasRender() {
    try {
        // Left between passes (an exception while drawing), the caller's target and state come
        // back before the pass texture goes.
        if (passTexture && passIndex <= passCount) state.Apply();
        Finalize();
    } catch (...) {
        // Releasing can only fail for a missing entry point; nothing is left to release then.
    }
}

void AntiAliasRender::SetJitters(int level, int) {
    static const int kPasses[] = {4, 6, 8, 12, 16};
    passCount = std::min(std::max(level >= 1 && level <= 5 ? kPasses[level - 1] : 1, 1), 64);
    passIndex = 0;
    jitter = JitterTable(passCount);
    // The lens values are kept: a caller that gives all three asked for depth of field.
}

const float* AntiAliasRender::Entry() const {
    const int entry = std::min(std::max(passCount - passIndex, 0), passCount - 1);
    return jitter[entry];
}

void AntiAliasRender::Jitter() const {
    GLint viewport[4] = {0, 0, 1, 1};
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[2] <= 0 || viewport[3] <= 0) return;
    const float* j = Entry();
    PreTranslate(GL_PROJECTION, (j[0] - 0.5f) * 2.0f / static_cast<float>(viewport[2]),
                 (j[1] - 0.5f) * 2.0f / static_cast<float>(viewport[3]));
}

bool AntiAliasRender::Next() {
    if (passCount < 2) return ++passIndex <= passCount;
    if (passIndex == 0) {
        state.Retrieve();
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &callerFramebuffer);
        passTexture.reset(new RenderedTexture());
        passTexture->Resize(static_cast<int>(region.Width()), static_cast<int>(region.Height()),
                            GL_RGBA, GL_FLOAT);
        passTexture->Select();
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &passFramebuffer);
    } else if (passTexture) {
        // The pass just drawn goes into the caller's target at 1 / passCount: the first
        // replaces what was there, the others add to it.
        const int w = passTexture->Width(), h = passTexture->Height();
        BindFramebuffer(callerFramebuffer);
        SetDefault();
        passTexture->Apply();
        passTexture->ApplyNearest();
        glViewport(0, 0, w, h);
        // Texture coordinates are given in texels of the rectangle texture.
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0.0, w, 0.0, h, -1.0, 1.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        PushBlendFunc blend(passIndex < 2 ? BlendFunc::Replace : BlendFunc::Add);
        Push<DepthFunc> depth(DepthFunc::Always);
        ParamLight::DisableLights();
        // With its lights off, lighting left on would still shade the quad by the ambient
        // light alone; state.Apply below puts it back.
        glDisable(GL_LIGHTING);
        const float weight = 1.0f / static_cast<float>(passCount);
        PushColor colour(Color(weight, weight, weight, weight));
        const float fw = static_cast<float>(w), fh = static_cast<float>(h);
        const float corners[4][2] = {{fw, 0.0f}, {fw, fh}, {0.0f, fh}, {0.0f, 0.0f}};
        Object quad(GL_QUADS);
        for (const auto& c : corners) {
            glTexCoord2f(c[0], c[1]);
            glVertex3f(c[0], c[1], 0.0f);
        }
    }
    state.Apply();
    const bool finished = passIndex >= passCount;
    ++passIndex;
    if (finished) {
        BindFramebuffer(callerFramebuffer);
    } else {
        BindFramebuffer(passFramebuffer);
        Jitter();
    }
    return passIndex <= passCount;
}

void AntiAliasRender::Orthogonal(TiledBuffer& buffer, double nearPlane, double farPlane) {
    buffer.Orthogonal(nearPlane, farPlane);
    Jitter();
}

void AntiAliasRender::Perspective(TiledBuffer& buffer, float left, float right, float bottom,
                                  float top, float nearPlane, float farPlane) {
    float ex = 0.0f, ey = 0.0f, dx = 0.0f, dy = 0.0f;
    if (focus != 0.0f && lensA != 0.0f && lensB != 0.0f) {
        const float* j = Entry();
        const float a =
            static_cast<float>(buffer.Width()) * lensB * lensA / (focus * nearPlane * 2.0f);
        ex = (j[0] - 0.5f) * a;
        ey = (j[1] - 0.5f) * a;
        dx = ex * nearPlane / focus;
        dy = ey * nearPlane / focus;
    }
    buffer.RS3dPerspective(left + dx, right + dx, bottom + dy, top + dy, nearPlane, farPlane);
    PreTranslate(GL_MODELVIEW, ex, ey);
    Jitter();
}

void AntiAliasRender::Finalize() {
    passTexture.reset();
}

} // namespace OGL_TESK_AE
