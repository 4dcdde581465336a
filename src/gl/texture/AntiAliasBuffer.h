#pragma once

#include "common/Export.h"
#include "common/XIImage.h"
#include "gl/texture/TiledBuffer.h"

#include <memory>

namespace OGL_TESK_AE {

class RenderedTexture;

// A tiled buffer that draws each tile at several times its size and averages it down when the
// tile is read back (supersampling). Levels 1 to 5 draw at 2, 3, 4, 6 and 8 times the tile's
// size in each direction; tiles shrink by the same factor so that the supersampled target stays
// within 2048 x 1080. Any other level is a plain tiled buffer.
//
//     AntiAliasBuffer tiles(destination, 3);
//     while (tiles.Next()) {
//         ... draw the whole result in destination pixels ...
//     }
//
// An invalid destination leaves the buffer without textures: its first Next draws nothing.
class TESK_API AntiAliasBuffer : public TiledBuffer {
public:
    AntiAliasBuffer(XIImage* destination, int level);
    ~AntiAliasBuffer() override;

    // The factor each tile is drawn at, in each direction.
    float GetAntialiasScaler() const { return static_cast<float>(scale); }
    // The supersampled target while one is used (levels 1 to 5), else null.
    RenderedTexture* GetSupersampled() const { return supersampled.get(); }

    // Each output pixel is the mean of the scale x scale supersampled texels under it.
    void Read(XIImage* image) override;
    // Hands out the supersampled target, sized to the tile at the supersampled resolution.
    RenderedTexture* AcquireRender() override;
    void Finalize() override;

protected:
    bool Select() override;
    bool Deselect() override;
    void Viewport() override;

private:
    void SetAntialiasLevel(int level);
    // What drawing goes into: the supersampled target when there is one.
    RenderedTexture* Target() const;

    int scale = 1;
    std::unique_ptr<RenderedTexture> supersampled;
};

} // namespace OGL_TESK_AE
