#pragma once

// A full read-back of the fixed-function state that the state classes touch, taken with plain
// glGet calls so that it does not depend on the code under test. Two snapshots compare equal
// exactly when every value matches; Differences names the ones that do not.

#include "gl/context/EntryPoints.h"

#include <GL/gl.h>

#include <string>
#include <vector>

namespace tesk_test {

class StateSnapshot {
public:
    StateSnapshot() { Take(); }

    bool operator==(const StateSnapshot& other) const { return fValues == other.fValues; }
    bool operator!=(const StateSnapshot& other) const { return !(*this == other); }

    std::string Differences(const StateSnapshot& other) const {
        std::string text;
        for (size_t i = 0; i < fValues.size() && i < other.fValues.size(); ++i)
            if (fValues[i] != other.fValues[i])
                text += fLabels[i] + ": " + std::to_string(fValues[i]) + " -> " +
                        std::to_string(other.fValues[i]) + "\n";
        return text;
    }

    static bool HasColorMatrix() {
        const char* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
        return ext && std::string(ext).find("GL_ARB_imaging") != std::string::npos;
    }

private:
    void Add(const std::string& label, double value) {
        fLabels.push_back(label);
        fValues.push_back(value);
    }

    void Enabled(const char* label, GLenum cap) { Add(label, glIsEnabled(cap)); }

    void Integers(const std::string& label, GLenum name, int count) {
        GLint v[16] = {};
        glGetIntegerv(name, v);
        for (int i = 0; i < count; ++i) Add(label + "[" + std::to_string(i) + "]", v[i]);
    }

    void Floats(const std::string& label, GLenum name, int count) {
        GLfloat v[16] = {};
        glGetFloatv(name, v);
        for (int i = 0; i < count; ++i) Add(label + "[" + std::to_string(i) + "]", v[i]);
    }

    void Light(int n) {
        const GLenum light = GL_LIGHT0 + n;
        const std::string p = "light" + std::to_string(n) + ".";
        Enabled((p + "on").c_str(), light);
        const struct {
            const char* name;
            GLenum pname;
            int count;
        } params[] = {
            {"ambient", GL_AMBIENT, 4},           {"diffuse", GL_DIFFUSE, 4},
            {"specular", GL_SPECULAR, 4},         {"position", GL_POSITION, 4},
            {"direction", GL_SPOT_DIRECTION, 3},  {"exponent", GL_SPOT_EXPONENT, 1},
            {"cutoff", GL_SPOT_CUTOFF, 1},        {"constant", GL_CONSTANT_ATTENUATION, 1},
            {"linear", GL_LINEAR_ATTENUATION, 1}, {"quadratic", GL_QUADRATIC_ATTENUATION, 1}};
        for (const auto& param : params) {
            GLfloat v[4] = {};
            glGetLightfv(light, param.pname, v);
            for (int i = 0; i < param.count; ++i)
                Add(p + param.name + "[" + std::to_string(i) + "]", v[i]);
        }
    }

    void Material(GLenum face, const char* faceName) {
        const struct {
            const char* name;
            GLenum pname;
            int count;
        } params[] = {{"ambient", GL_AMBIENT, 4},     {"diffuse", GL_DIFFUSE, 4},
                      {"specular", GL_SPECULAR, 4},   {"emission", GL_EMISSION, 4},
                      {"shininess", GL_SHININESS, 1}, {"indexes", GL_COLOR_INDEXES, 3}};
        for (const auto& param : params) {
            GLfloat v[4] = {};
            glGetMaterialfv(face, param.pname, v);
            for (int i = 0; i < param.count; ++i)
                Add(std::string("material.") + faceName + "." + param.name + "[" +
                        std::to_string(i) + "]",
                    v[i]);
        }
    }

    void Unit(int index) {
        const std::string p = "unit" + std::to_string(index) + ".";
        Floats(p + "matrix", GL_TEXTURE_MATRIX, 16);
        const struct {
            const char* name;
            GLenum cap;
            GLenum binding;
        } targets[] = {{"1D", GL_TEXTURE_1D, GL_TEXTURE_BINDING_1D},
                       {"2D", GL_TEXTURE_2D, GL_TEXTURE_BINDING_2D},
                       {"3D", GL_TEXTURE_3D, GL_TEXTURE_BINDING_3D},
                       {"rect", GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_BINDING_RECTANGLE_ARB},
                       {"cube", GL_TEXTURE_CUBE_MAP, GL_TEXTURE_BINDING_CUBE_MAP}};
        for (const auto& target : targets) {
            Enabled((p + target.name).c_str(), target.cap);
            Integers(p + target.name + ".binding", target.binding, 1);
        }
        Enabled((p + "genS").c_str(), GL_TEXTURE_GEN_S);
        Enabled((p + "genT").c_str(), GL_TEXTURE_GEN_T);
        Enabled((p + "genR").c_str(), GL_TEXTURE_GEN_R);
        Enabled((p + "genQ").c_str(), GL_TEXTURE_GEN_Q);
        GLint mode = 0;
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
        Add(p + "envMode", mode);
        GLfloat color[4] = {};
        glGetTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, color);
        for (int i = 0; i < 4; ++i) Add(p + "envColor[" + std::to_string(i) + "]", color[i]);
        const GLenum filtered[] = {GL_TEXTURE_2D, GL_TEXTURE_RECTANGLE_ARB};
        for (GLenum target : filtered) {
            GLint mag = 0, min = 0;
            glGetTexParameteriv(target, GL_TEXTURE_MAG_FILTER, &mag);
            glGetTexParameteriv(target, GL_TEXTURE_MIN_FILTER, &min);
            Add(p + "mag" + std::to_string(target), mag);
            Add(p + "min" + std::to_string(target), min);
        }
    }

    void Take() {
        const GLenum caps[] = {GL_BLEND,        GL_ALPHA_TEST,     GL_DEPTH_TEST,
                               GL_CULL_FACE,    GL_LIGHTING,       GL_LINE_STIPPLE,
                               GL_DITHER,       GL_NORMALIZE,      GL_SCISSOR_TEST,
                               GL_STENCIL_TEST, GL_COLOR_MATERIAL, GL_VERTEX_ARRAY,
                               GL_NORMAL_ARRAY, GL_COLOR_ARRAY,    GL_TEXTURE_COORD_ARRAY};
        for (GLenum cap : caps) Enabled(("enabled" + std::to_string(cap)).c_str(), cap);
        const GLenum integers[] = {GL_BLEND_SRC_RGB,
                                   GL_BLEND_DST_RGB,
                                   GL_BLEND_SRC_ALPHA,
                                   GL_BLEND_DST_ALPHA,
                                   GL_BLEND_EQUATION_RGB,
                                   GL_BLEND_EQUATION_ALPHA,
                                   GL_ALPHA_TEST_FUNC,
                                   GL_DEPTH_FUNC,
                                   GL_CULL_FACE_MODE,
                                   GL_FRONT_FACE,
                                   GL_MATRIX_MODE,
                                   GL_ACTIVE_TEXTURE,
                                   GL_CLIENT_ACTIVE_TEXTURE,
                                   GL_UNPACK_ALIGNMENT,
                                   GL_UNPACK_ROW_LENGTH,
                                   GL_UNPACK_IMAGE_HEIGHT,
                                   GL_UNPACK_SKIP_PIXELS,
                                   GL_UNPACK_SKIP_ROWS,
                                   GL_PACK_ALIGNMENT,
                                   GL_PACK_ROW_LENGTH,
                                   GL_PACK_IMAGE_HEIGHT,
                                   GL_PACK_SKIP_PIXELS,
                                   GL_PACK_SKIP_ROWS,
                                   GL_LIGHT_MODEL_COLOR_CONTROL,
                                   GL_LIGHT_MODEL_LOCAL_VIEWER,
                                   GL_LIGHT_MODEL_TWO_SIDE,
                                   GL_FRAMEBUFFER_BINDING_EXT,
                                   GL_CURRENT_PROGRAM,
                                   GL_ATTRIB_STACK_DEPTH,
                                   GL_CLIENT_ATTRIB_STACK_DEPTH};
        for (GLenum name : integers) Integers("integer" + std::to_string(name), name, 1);
        Integers("colorMask", GL_COLOR_WRITEMASK, 4);
        const GLenum scalars[] = {GL_ALPHA_TEST_REF, GL_DEPTH_CLEAR_VALUE, GL_LINE_WIDTH,
                                  GL_RED_SCALE,      GL_RED_BIAS,          GL_GREEN_SCALE,
                                  GL_GREEN_BIAS,     GL_BLUE_SCALE,        GL_BLUE_BIAS,
                                  GL_ALPHA_SCALE,    GL_ALPHA_BIAS};
        for (GLenum name : scalars) Floats("float" + std::to_string(name), name, 1);
        Floats("blendColor", GL_BLEND_COLOR, 4);
        Floats("clearColor", GL_COLOR_CLEAR_VALUE, 4);
        Floats("currentColor", GL_CURRENT_COLOR, 4);
        Floats("lightModelAmbient", GL_LIGHT_MODEL_AMBIENT, 4);
        Floats("modelview", GL_MODELVIEW_MATRIX, 16);
        Floats("projection", GL_PROJECTION_MATRIX, 16);
        if (HasColorMatrix()) Floats("colorMatrix", GL_COLOR_MATRIX, 16);
        for (int n = 0; n < 8; ++n) Light(n);
        Material(GL_FRONT, "front");
        Material(GL_BACK, "back");

        // Every unit, read by switching to it; the switch is undone before the snapshot ends.
        GLint active = 0, units = 0;
        glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
        glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
        for (int i = 0; i < units; ++i) {
            TESK_GL(glActiveTexture)(GL_TEXTURE0 + i);
            Unit(i);
        }
        TESK_GL(glActiveTexture)(static_cast<GLenum>(active));
    }

    std::vector<std::string> fLabels;
    std::vector<double> fValues;
};

} // namespace tesk_test
