#include "ops/Implementation/TileOperand.h"

#include "gl/state/TextureState.h"
#include "gl/texture/ImageTextures.h"
#include "gl/texture/TiledBuffer.h"

namespace OGL_TESK_AE {

p4f TileOperand(const TiledBuffer& tiled, SubImageTexture& texture, const XIImage* image, int unit,
                const Region* limit) {
    const Region tile = tiled.GetCurrentTile();
    Region visible;
    if (IsValid(image)) {
        visible = Region(0, 0, static_cast<unsigned>(image->GetWidth()),
                         static_cast<unsigned>(image->GetHeight())) &
                  tile;
        if (limit) visible = visible & *limit;
    }
    if (!visible.IsValid()) return p4f(0.0f, 0.0f, 0.0f, 0.0f);
    TextureUnit(unit).Apply();
    texture.SetRegion(visible);
    texture.Apply();
    texture.ApplyNearest();
    return p4f(static_cast<float>(tile.XOrigin() - visible.XOrigin()),
               static_cast<float>(tile.YOrigin() - visible.YOrigin()),
               static_cast<float>(visible.Width()), static_cast<float>(visible.Height()));
}

TileBoxes TileOperands(const TiledBuffer& tiled, SubImageTexture& first, const XIImage* firstImage,
                       SubImageTexture& second, const XIImage* secondImage,
                       const Region* firstLimit) {
    TileOperand(tiled, first, firstImage, 0, firstLimit);
    TileOperand(tiled, second, secondImage, 1);
    TileBoxes boxes{TileOperand(tiled, first, firstImage, 0, firstLimit),
                    TileOperand(tiled, second, secondImage, 1)};
    TextureUnit(0).Apply();
    return boxes;
}

} // namespace OGL_TESK_AE
