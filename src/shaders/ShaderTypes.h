#pragma once

#include "common/Export.h"

#include <cstdint>

namespace OGL_TESK_AE {

// Category of a shader, the word of its "type" tag.
enum eRSShaderType : int32_t {
    kRSVolume = 1,
    kRSSurface = 2,
    kRSDisplacement = 3,
    kRSLight = 4,
    kRSImageProcess = 5,
    kRSProcedural = 6,
    kRSUtilSurf = 7,
};

// The kind of program text being parsed, also where an argument's value goes.
enum eShaderType : int32_t {
    kShaderCPU = 1,
    kShaderVertex = 2,
    kShaderFragment = 3,
};

// Companion program files of one shader (see Shader::GpuFragmentShaderFile).
enum eShaderProgamType : int32_t {
    kProgramMain = 0,
    kProgramTsl = 1,
    kProgramSsh = 2,
    kProgramTss = 3,
    kProgramAlq = 4,
    kProgramPass1 = 5,
    kProgramPass2 = 6,
    kProgramPass5 = 9,
};

enum eHwRegisterType : int32_t {
    kHwConstant = 0,
    kHwSampler2D = 1,
    kHwSampler3D = 2,
    kHwSamplerRect = 3,
    kHwSamplerCube = 4,
};

enum eCPUBlurType : int32_t {
    kBlurNone = 0,
    kBlurFull = 1,
    kBlurHalf = 2,
};

enum efargTypes : int32_t {
    kArgNone = 0,
    kArgString = 1,
    kArgBool = 2,
    kArgInt = 3,
    kArgFloat = 4,
    kArgAngle = 5,
    kArgColor = 6,
    kArgPoint = 7,
    kArgTexture = 8,
    kArg3DTexture = 9,
    kArgCubemap = 10,
    kArgTime = 11,
    kArgSubmenu = 12,
};

enum eImageModifier : int32_t {
    kImageNone = 0,
    kImageDestWidth = 1,
    kImageDestHeight = 2,
    kImageTexWidth = 3,
    kImageTexHeight = 4,
    kImageDivDestWidth = 5,
    kImageDivDestHeight = 6,
    kImageDivTexWidth = 7,
    kImageDivTexHeight = 8,
};

// Codes of ShaderArg's value modifiers.
enum eArgModifier : uint32_t {
    kModMultiply = 1,
    kModDivide = 2,
    kModAdd = 3,
    kModSubtract = 4,
    kModFindChannelInParent = 5,
    kModHide = 6,
};

enum ePackType : int32_t {
    kPackNone = 0,
    kPack4 = 1,
    kPack3 = 2,
    kPack2 = 3,
    kPack3Plus1 = 4,
};

enum eShaderColorArg : int32_t {
    kColorRoleNone = 0,
    kColorRoleAmbient = 1,
    kColorRoleDiffuse = 2,
    kColorRoleSpecular = 3,
};

enum eSubShaderArg : int32_t {
    kSubShaderNone = 0,
    kSubShaderCastsShadows = 1,
    kSubShaderReceivesShadows = 2,
    kSubShaderTwoSidedLighting = 3,
};

// Keywords of argument types and categories.
TESK_API extern const char* const ST_FLOAT;
TESK_API extern const char* const ST_BOOL;
TESK_API extern const char* const ST_INT;
TESK_API extern const char* const ST_POINT;
TESK_API extern const char* const ST_COLOR;
TESK_API extern const char* const ST_STRING;
TESK_API extern const char* const ST_ANGLE;
TESK_API extern const char* const ST_TEXTURE;
TESK_API extern const char* const ST_CUBEMAP;
TESK_API extern const char* const ST_3DTEXTURE;
TESK_API extern const char* const ST_TIME;
TESK_API extern const char* const ST_SUBCAT;
TESK_API extern const char* const ST_VOLUME;
TESK_API extern const char* const ST_DISPLACEMENT;
TESK_API extern const char* const ST_SURFACE;
TESK_API extern const char* const ST_LIGHT;

// Argument names plug-ins use for the standard material inputs and the faces of a cube map.
TESK_API extern const char* const SH_KA;
TESK_API extern const char* const SH_KD;
TESK_API extern const char* const SH_KS;
TESK_API extern const char* const SH_SPECULAR_COLOR;
TESK_API extern const char* const SH_DIFFUSE_TEXTURE;
TESK_API extern const char* const SH_AMBIENT_TEXTURE;
TESK_API extern const char* const SH_SPECULAR_TEXTURE;
TESK_API extern const char* const SH_BUMP_TEXTURE;
TESK_API extern const char* const SH_OPACITY_TEXTURE;
TESK_API extern const char* const SH_SHINY_TEXTURE;
TESK_API extern const char* const SH_SELFILLUM_TEXTURE;
TESK_API extern const char* const SH_REFLECTION_TEXTURE;
TESK_API extern const char* const SH_DIFFUSE_MATTE;
TESK_API extern const char* const SH_AMBIENT_MATTE;
TESK_API extern const char* const SH_SPECULAR_MATTE;
TESK_API extern const char* const SH_BUMP_MATTE;
TESK_API extern const char* const SH_OPACITY_MATTE;
TESK_API extern const char* const SH_SHINY_MATTE;
TESK_API extern const char* const SH_SELFILLUM_MATTE;
TESK_API extern const char* const SH_REFLECTION_MATTE;
TESK_API extern const char* const SH_CUBMAP_POSX;
TESK_API extern const char* const SH_CUBMAP_NEGX;
TESK_API extern const char* const SH_CUBMAP_POSY;
TESK_API extern const char* const SH_CUBMAP_NEGY;
TESK_API extern const char* const SH_CUBMAP_POSZ;
TESK_API extern const char* const SH_CUBMAP_NEGZ;

} // namespace OGL_TESK_AE
