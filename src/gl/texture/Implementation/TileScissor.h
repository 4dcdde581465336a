#pragma once

#include "gl/texture/TiledBuffer.h"
#include "math/Region.h"

#include <GL/gl.h>

namespace OGL_TESK_AE {

// Limits drawing to part of the current tile (in destination pixels; the whole tile where no
// part is given) for the length of a scope. The render target has one size whatever the tile,
// and its corner at the window's origin holds the tile.
class TileScissor {
public:
    explicit TileScissor(const TiledBuffer& tiled) : TileScissor(tiled, tiled.GetCurrentTile()) {}
    TileScissor(const TiledBuffer& tiled, const Region& part)
        : fEnabled(glIsEnabled(GL_SCISSOR_TEST)) {
        glGetIntegerv(GL_SCISSOR_BOX, fBox);
        const Region tile = tiled.GetCurrentTile();
        const Region in = part & tile;
        glScissor(in.XOrigin() - tile.XOrigin(), in.YOrigin() - tile.YOrigin(),
                  static_cast<GLsizei>(in.Width()), static_cast<GLsizei>(in.Height()));
        glEnable(GL_SCISSOR_TEST);
    }
    TileScissor(const TileScissor&) = delete;
    TileScissor& operator=(const TileScissor&) = delete;
    ~TileScissor() {
        glScissor(fBox[0], fBox[1], fBox[2], fBox[3]);
        if (!fEnabled) glDisable(GL_SCISSOR_TEST);
    }

private:
    GLboolean fEnabled;
    GLint fBox[4] = {0, 0, 0, 0};
};

} // namespace OGL_TESK_AE
