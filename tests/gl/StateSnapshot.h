#pragma once

// A full read-back of the fixed-function state that the state classes touch, taken with plain
// glGet calls so that it does not depend on the code under test. Two snapshots compare equal
// exactly when every value matches; Differences names the ones that do not.

#include "gl/context/Implementation/EntryPoints.h"

#include <GL/gl.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace tesk_test {

class StateSnapshot {
public:
    StateSnapshot() { Take(); }

    bool operator==(const StateSnapshot& other) const { return fValues == other.fValues; }

    std::string Differences(const StateSnapshot& other) const {
        std::string text;
        for (size_t i = 0; i < fValues.size() && i < other.fValues.size(); ++i)
            if (fValues[i] != other.fValues[i])
                text += fLabels[i] + ": " + std::to_string(fValues[i]) + " -> " +
                        std::to_string(other.fValues[i]) + "\n";
        return text;
    }

private:
    // count values of each name read by get into a zeroed array, labelled with the name's number.
    template <class Get = decltype(&glGetFloatv)>
    void Add(std::initializer_list<GLenum> names, int count = 1, Get get = glGetFloatv,
             const std::string& label = "") {
        for (GLenum name : names) {
            GLfloat v[16] = {};
            get(name, v);
            for (int i = 0; i < count; ++i) {
                fLabels.push_back(label + std::to_string(name) + "[" + std::to_string(i) + "]");
                fValues.push_back(v[i]);
            }
        }
    }

    void Take() {
        // Switches are read with glGet too, which takes every capability named here.
        Add({GL_BLEND, GL_ALPHA_TEST, GL_DEPTH_TEST, GL_CULL_FACE, GL_LIGHTING, GL_LINE_STIPPLE,
             GL_DITHER, GL_NORMALIZE, GL_SCISSOR_TEST, GL_STENCIL_TEST, GL_COLOR_MATERIAL,
             GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_COLOR_ARRAY, GL_TEXTURE_COORD_ARRAY});
        Add({GL_BLEND_SRC_RGB, GL_BLEND_DST_RGB, GL_BLEND_SRC_ALPHA, GL_BLEND_DST_ALPHA,
             GL_BLEND_EQUATION_RGB, GL_BLEND_EQUATION_ALPHA, GL_ALPHA_TEST_FUNC, GL_DEPTH_FUNC,
             GL_CULL_FACE_MODE, GL_FRONT_FACE, GL_MATRIX_MODE, GL_ACTIVE_TEXTURE,
             GL_CLIENT_ACTIVE_TEXTURE});
        Add({GL_UNPACK_ALIGNMENT, GL_UNPACK_ROW_LENGTH, GL_UNPACK_IMAGE_HEIGHT,
             GL_UNPACK_SKIP_PIXELS, GL_UNPACK_SKIP_ROWS, GL_PACK_ALIGNMENT, GL_PACK_ROW_LENGTH,
             GL_PACK_IMAGE_HEIGHT, GL_PACK_SKIP_PIXELS, GL_PACK_SKIP_ROWS,
             GL_LIGHT_MODEL_COLOR_CONTROL, GL_LIGHT_MODEL_LOCAL_VIEWER, GL_LIGHT_MODEL_TWO_SIDE});
        Add({GL_FRAMEBUFFER_BINDING_EXT, GL_CURRENT_PROGRAM, GL_ATTRIB_STACK_DEPTH,
             GL_CLIENT_ATTRIB_STACK_DEPTH, GL_ALPHA_TEST_REF, GL_DEPTH_CLEAR_VALUE, GL_LINE_WIDTH,
             GL_RED_SCALE, GL_RED_BIAS, GL_GREEN_SCALE, GL_GREEN_BIAS, GL_BLUE_SCALE, GL_BLUE_BIAS,
             GL_ALPHA_SCALE, GL_ALPHA_BIAS});
        Add({GL_COLOR_WRITEMASK, GL_BLEND_COLOR, GL_COLOR_CLEAR_VALUE, GL_CURRENT_COLOR,
             GL_LIGHT_MODEL_AMBIENT},
            4);
        Add({GL_MODELVIEW_MATRIX, GL_PROJECTION_MATRIX}, 16);
        const char* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
        if (ext && std::string(ext).find("GL_ARB_imaging") != std::string::npos)
            Add({GL_COLOR_MATRIX}, 16);

        // Lights and materials: four values each, those a name does not set left at zero.
        for (GLenum n = GL_LIGHT0; n < GL_LIGHT0 + 8; ++n) {
            Add({n});
            Add(
                {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_POSITION, GL_SPOT_DIRECTION,
                 GL_SPOT_EXPONENT, GL_SPOT_CUTOFF, GL_CONSTANT_ATTENUATION, GL_LINEAR_ATTENUATION,
                 GL_QUADRATIC_ATTENUATION},
                4, [n](GLenum name, GLfloat* v) { glGetLightfv(n, name, v); },
                "light" + std::to_string(n - GL_LIGHT0) + ".");
        }
        for (GLenum face : {GL_FRONT, GL_BACK})
            Add(
                {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_EMISSION, GL_SHININESS, GL_COLOR_INDEXES},
                4, [face](GLenum name, GLfloat* v) { glGetMaterialfv(face, name, v); },
                "material" + std::to_string(face) + ".");

        // Every unit, read by switching to it; the switch is undone before the snapshot ends.
        GLint active = 0, units = 0;
        glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
        glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
        for (int i = 0; i < units; ++i) {
            TESK_GL(glActiveTexture)(GL_TEXTURE0 + i);
            const std::string unit = "unit" + std::to_string(i) + ".";
            Add({GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_3D, GL_TEXTURE_RECTANGLE_ARB,
                 GL_TEXTURE_CUBE_MAP, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R,
                 GL_TEXTURE_GEN_Q, GL_TEXTURE_BINDING_1D, GL_TEXTURE_BINDING_2D,
                 GL_TEXTURE_BINDING_3D, GL_TEXTURE_BINDING_RECTANGLE_ARB,
                 GL_TEXTURE_BINDING_CUBE_MAP},
                1, glGetFloatv, unit);
            Add({GL_TEXTURE_MATRIX}, 16, glGetFloatv, unit);
            Add(
                {GL_TEXTURE_ENV_MODE, GL_TEXTURE_ENV_COLOR}, 4,
                [](GLenum name, GLfloat* v) { glGetTexEnvfv(GL_TEXTURE_ENV, name, v); }, unit);
            for (GLenum target : {GL_TEXTURE_2D, GL_TEXTURE_RECTANGLE_ARB})
                Add(
                    {GL_TEXTURE_MAG_FILTER, GL_TEXTURE_MIN_FILTER}, 1,
                    [target](GLenum name, GLfloat* v) { glGetTexParameterfv(target, name, v); },
                    unit + std::to_string(target) + ".");
        }
        TESK_GL(glActiveTexture)(static_cast<GLenum>(active));
    }

    std::vector<std::string> fLabels;
    std::vector<double> fValues;
};

} // namespace tesk_test
