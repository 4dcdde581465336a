#include "GLTest.h"

#include "common/OpaqueBuffer.h"
#include "gl/context/Capabilities.h"
#include "gl/texture/TextureFormat.h"

#include <GL/gl.h>
#include <GL/glext.h>

using namespace OGL_TESK_AE;

// The float and half-float rows depend on what the card can keep.
TEST(TextureFormats, FloatAndHalfFloatFollowTheCard) {
    const GLenum floatFormat = IsFloatSupported() ? GL_RGBA32F_ARB : GL_RGBA16;
    EXPECT_EQ(GetInternalFormat(GL_RGBA, GL_FLOAT), floatFormat);
    EXPECT_EQ(GetInternalFormat(GL_BGRA, GL_UNSIGNED_INT), floatFormat);
    EXPECT_EQ(GetInternalFormat(GL_RGBA, GL_HALF_FLOAT_ARB),
              IsHalfFloatSupported() ? static_cast<GLenum>(GL_RGBA16F_ARB) : floatFormat);
    // llvmpipe keeps both.
    EXPECT_TRUE(IsFloatSupported());
    EXPECT_TRUE(IsHalfFloatSupported());
}
