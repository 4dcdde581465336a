#include "gl/context/Defaults.h"

#include "gl/effects/BlendOp.h"
#include "gl/state/Clear.h"
#include "gl/state/Fragment.h"
#include "gl/state/LightModel.h"
#include "gl/state/Material.h"
#include "gl/state/MatrixState.h"
#include "gl/state/TextureState.h"

namespace OGL_TESK_AE {

void SetDefault() {
    AlphaFunc::Default.Apply();
    BlendOp::Default.Apply();
    ClearColor::Default.Apply();
    ColorMask::Default.Apply();
    CullFace::Default.Apply();
    LightModel::Default.Apply();
    Material::Default.Apply();

    const int units = TextureUnit::MaxUnits();
    for (int unit = 0; unit < units; ++unit) {
        Push<TextureUnit> selected{TextureUnit(unit)};
        TextureMatrix::Identity.Apply();
        TextureBinding::Default.Apply();
    }
    TextureUnit(0).Apply();
    TextureUnit::Default.Apply();

    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);

    glDisable(GL_DITHER);
    glEnable(GL_NORMALIZE);
    glFrontFace(GL_CCW);

    ProjectionMatrix::Identity.Apply();
    ModelMatrix::Identity.Apply();
}

} // namespace OGL_TESK_AE
