#pragma once

#include "common/Export.h"
#include "common/PhaseTimer.h"
#include "common/XIImage.h"
#include "gl/context/Context.h"
#include "math/Region.h"

#include <list>
#include <memory>
#include <vector>

namespace OGL_TESK_AE {

namespace GLSL {
class Shader;
}
class RenderedTexture;
class State;
class Texture;

// Renders into a host image of any size through one render texture, a tile at a time:
//
//     TiledBuffer tiles(destination);
//     while (tiles.Next()) {
//         ... draw the whole result in destination pixels ...
//     }
//
// Tiles are 2048 x 540 (the last column and row cut to the image), listed row by row from
// y = 0 upwards. Coordinates are destination pixels with x to the right and y up from row 0;
// a destination whose rows run top-down is turned over when each tile is read back, so there
// y = 0 is its last row in memory. Each tile is drawn with a projection that puts exactly the
// tile's part of the image into the render texture, and Next reads it back into the
// destination before moving on.
//
// The state found when the first tile is selected is put back after the last one, or when the
// buffer is destroyed early (an exception while drawing), so that no framebuffer stays bound.
//
// Made off the worker thread or without a destination, the buffer renders nothing and its
// first Next clears the destination to transparent.
class TESK_API TiledBuffer : public Context {
public:
    explicit TiledBuffer(XIImage* destination);
    TiledBuffer(const TiledBuffer&) = delete;
    TiledBuffer& operator=(const TiledBuffer&) = delete;
    virtual ~TiledBuffer();

    // Reads the tile just drawn into the destination and makes the next one current; false
    // after the last one.
    bool Next();
    // Lists the tiles again with another size and starts over; false when there are none.
    bool Rewind(int tileWidth, int tileHeight);
    // Draws into 8-bit texels (see RenderedTexture::UseByteTexels); before the first Next.
    void UseByteTarget();
    // Draws into one channel (see RenderedTexture::UseSingleChannel); before the first Next.
    bool UseSingleChannelTarget();

    // Projections of the whole destination onto the current tile.
    void Orthogonal(double nearPlane, double farPlane);
    // A view volume centred on destination pixel (0, 0).
    void Perspective(double fovy, double aspect, double nearPlane, double farPlane);
    void Perspective(float left, float right, float bottom, float top, float nearPlane,
                     float farPlane);
    // Normalised coordinates over [0, W] x [0, H] of the destination; from then on tiles are
    // read back without turning their rows over.
    void RS3dPerspective(float left, float right, float bottom, float top, float nearPlane,
                         float farPlane);

    // Draws the image, placed at (x, y), over the current tile (with the current blending).
    virtual void Write(const XIImage* image, int x = 0, int y = 0);
    // Draws the image stretched over the whole destination, the current tile's part of it.
    virtual void WriteFit(const XIImage* image);
    // Whether WriteFit of the image draws over the whole current tile (it draws nothing when
    // the tile's share of the image is empty), so that the tile needs no clearing first.
    bool FitCoversTile(const XIImage* image) const;
    // The current tile into the image's region of the tile.
    virtual void Read(XIImage* image);
    // Hands the render texture with the current tile in it to the caller (who then owns it,
    // sized to the tile) and goes on drawing into a fresh one.
    virtual RenderedTexture* AcquireRender();
    virtual Region GetCurrentTile() const { return current; }
    // Deletes the render texture.
    virtual void Finalize();

    // Processing applied as each tile is read back.
    void SetPostProcessing(GLSL::Shader* processing);
    // A texture the caller draws from, finalized when the last tile is done, just before the
    // render texture goes back to the cache. The next call makes its render texture before its
    // sources, and the cache hands out the most recently returned texture that is large enough:
    // returned last, a large source (a 4K frame being resized) would be taken for the render
    // texture and the source would then need a new one on every call.
    void ReleaseBeforeRender(Texture& texture) { fReleaseFirst.push_back(&texture); }

    int Width() const { return static_cast<int>(image.Width()); }
    int Height() const { return static_cast<int>(image.Height()); }
    bool IsFirstTile() const { return firstTile; }
    // Tiles not drawn yet.
    const std::list<Region>& Tiles() const { return tiles; }
    RenderedTexture* GetRender() const { return render.get(); }

protected:
    bool Select() override;
    bool Deselect() override;
    virtual void Viewport();
    void Reset();

    XIImage* destination;
    std::unique_ptr<RenderedTexture> render;
    GLSL::Shader* postProcessing = nullptr;
    std::list<Region> tiles;
    Region current;
    Region image;
    Region tileSize;
    bool firstTile = false;
    bool flipped = false;

private:
    // Puts back the state saved before the first tile, if it is still held.
    void RestoreState();
    // The region of image that WriteFit stretches over the current tile.
    Region FitRegion(const XIImage* image) const;
    // Draws region r of source (in its picture's coordinates) over the whole current tile.
    void DrawOverTile(const XIImage* source, Region r);

    std::unique_ptr<State> fSaved;
    // Set by this class's Select, which leaves the default state; Next, which clears it
    // before selecting, then skips its own SetDefault for the first tile.
    bool fDefaultState = false;
    std::vector<Texture*> fReleaseFirst;
    // Runs while the caller draws a tile, between two Next calls.
    PhaseTimer fDrawing;
};

} // namespace OGL_TESK_AE
