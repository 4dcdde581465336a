#pragma once

#include "common/Export.h"
#include "gl/context/State.h"
#include "math/Region.h"

#include <GL/gl.h>

#include <memory>

namespace OGL_TESK_AE {

class RenderedTexture;
class TiledBuffer;

// Anti-aliasing by repeated passes: the scene is drawn several times into a float texture, each
// time shifted by a different fraction of a pixel, and the passes are averaged into the target
// that was bound when the loop started. Levels 1 to 5 draw 4, 6, 8, 12 and 16 passes; any other
// level draws once, straight into the target.
//
//     AntiAliasRender passes(tiles.GetCurrentTile(), level, 0, focus, lensA, lensB);
//     while (passes.Next()) {
//         passes.Perspective(tiles, ...);   // or passes.Orthogonal(tiles, ...)
//         ... draw the scene ...
//     }
//
// With focus and both lens values non-zero, the eye also moves between passes within a lens of
// that size while the plane at distance focus stays put (depth of field).
class TESK_API AntiAliasRender {
public:
    // region sizes the pass texture (normally the tile being drawn); the int after the level is
    // not used.
    AntiAliasRender(const Region& region, int level, int second, float focus, float lensA,
                    float lensB);
    ~AntiAliasRender();
    AntiAliasRender(const AntiAliasRender&) = delete;
    AntiAliasRender& operator=(const AntiAliasRender&) = delete;

    // Adds the pass just drawn into the target and sets up the next one; false once the last
    // pass has been added, with the target bound again.
    bool Next();
    bool IsFirstPass() const { return passIndex == 1; }
    bool IsLastPass() const { return passIndex == passCount; }
    int PassCount() const { return passCount; }

    // The buffer's projections of the current tile, shifted by this pass's jitter.
    void Orthogonal(TiledBuffer& buffer, double nearPlane, double farPlane);
    void Perspective(TiledBuffer& buffer, float left, float right, float bottom, float top,
                     float nearPlane, float farPlane);

    // Deletes the pass texture.
    void Finalize();

private:
    // Shifts the projection by this pass's sample position within a pixel.
    void Jitter() const;
    void SetJitters(int level, int second);
    // The sample position of the pass being drawn: the table is used from its last entry to its
    // first.
    const float* Entry() const;
    void Dump() const {}

    Region region;
    float lensB;
    float lensA;
    float focus;
    GLint callerFramebuffer = 0;
    GLint passFramebuffer = 0;
    State state;
    int passIndex = 0;
    int passCount = 1;
    const float (*jitter)[3];
    std::unique_ptr<RenderedTexture> passTexture;
};

} // namespace OGL_TESK_AE
