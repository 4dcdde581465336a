#include "shaders/ShaderTypes.h"

namespace OGL_TESK_AE {

const char* const ST_FLOAT = "float";
const char* const ST_BOOL = "bool";
const char* const ST_INT = "int";
const char* const ST_POINT = "point";
const char* const ST_COLOR = "color";
const char* const ST_STRING = "string";
const char* const ST_ANGLE = "angle";
const char* const ST_TEXTURE = "texture";
const char* const ST_CUBEMAP = "cubemap";
const char* const ST_3DTEXTURE = "3dtexture";
const char* const ST_TIME = "time";
const char* const ST_SUBCAT = "submenu";
const char* const ST_VOLUME = "volume";
const char* const ST_DISPLACEMENT = "displacement";
const char* const ST_SURFACE = "surface";
const char* const ST_LIGHT = "light";

const char* const SH_KA = "Ka";
const char* const SH_KD = "Kd";
const char* const SH_KS = "Ks";
const char* const SH_SPECULAR_COLOR = "specularcolor";
const char* const SH_DIFFUSE_TEXTURE = "diffusetexture";
const char* const SH_AMBIENT_TEXTURE = "ambienttexture";
const char* const SH_SPECULAR_TEXTURE = "speculartexture";
const char* const SH_BUMP_TEXTURE = "bumptexture";
const char* const SH_OPACITY_TEXTURE = "opacitytexture";
const char* const SH_SHINY_TEXTURE = "shinytexture";
const char* const SH_SELFILLUM_TEXTURE = "selfillumtexture";
const char* const SH_REFLECTION_TEXTURE = "reflectiontexture";
const char* const SH_DIFFUSE_MATTE = "diffusematte";
const char* const SH_AMBIENT_MATTE = "ambientmatte";
const char* const SH_SPECULAR_MATTE = "specularmatte";
const char* const SH_BUMP_MATTE = "bumpmatte";
const char* const SH_OPACITY_MATTE = "opacitymatte";
const char* const SH_SHINY_MATTE = "shinymatte";
const char* const SH_SELFILLUM_MATTE = "selfillummatte";
const char* const SH_REFLECTION_MATTE = "reflectionmatte";
const char* const SH_CUBMAP_POSX = "cubmapx+";
const char* const SH_CUBMAP_NEGX = "cubmapx-";
const char* const SH_CUBMAP_POSY = "cubmapy+";
const char* const SH_CUBMAP_NEGY = "cubmapy-";
const char* const SH_CUBMAP_POSZ = "cubmapz+";
const char* const SH_CUBMAP_NEGZ = "cubmapz-";

} // namespace OGL_TESK_AE
