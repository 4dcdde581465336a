#include "FloatTarget.h"
#include "GLTest.h"

#include "common/Errors.h"
#include "gl/effects/EffectProgram.h"
#include "gl/effects/GLSL.h"
#include "gl/state/TextureState.h"
#include "math/Color.h"
#include "math/Region.h"
#include "math/Vector.h"

#include <GL/gl.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace OGL_TESK_AE;
using tesk_test::CurrentProgram;
using tesk_test::FloatTarget;
using tesk_test::FloatTexture;
using tesk_test::Integer;
using tesk_test::Pixel;
using tesk_test::PixelsNear;
using tesk_test::RunOnWorker;

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// A uniform of the current program as glGetUniformfv reads it (integers and booleans too).
std::vector<float> Floats(const char* name, size_t count) {
    const GLuint program = CurrentProgram();
    std::vector<float> values(16, -999.0f);
    TESK_GL(glGetUniformfv)(program, TESK_GL(glGetUniformLocation)(program, name), values.data());
    values.resize(count);
    return values;
}

struct Setting {
    const char* name;
    std::function<void(const EffectProgram&)> set;
    std::vector<float> expected;
};

template <class T> Setting Set(const char* name, const T& value, std::vector<float> expected) {
    return {name, [name, value](const EffectProgram& p) { p.SetUniform(name, value); },
            std::move(expected)};
}

void SetRaw(const char* name, float value) {
    TESK_GL(glUniform1f)(TESK_GL(glGetUniformLocation)(CurrentProgram(), name), value);
}

// Every uniform type the setters know, all feeding the output so that all stay active.
const char* const kUniformSource = R"(#version 110
#extension GL_ARB_texture_rectangle : enable
uniform float f1, f2, f3; uniform int i1, i2; uniform bool b1; uniform ivec2 n2; uniform ivec3 n3;
uniform vec2 v2a, v2b, v2c; uniform vec3 v3a, v3b, v3c; uniform vec4 v4a, v4b, v4c, v4d;
uniform ivec4 n4; uniform mat2 m2; uniform mat3 m3; uniform mat4 m4;
uniform sampler2DRect rect; uniform sampler2D flat;
void main()
{
    vec4 sum = vec4(f1 + f2 + f3 + float(i1 + i2) + (b1 ? 1.0 : 0.0), v2a + v2b + v2c, 0.0);
    sum += vec4(v3a + v3b + v3c + m3 * vec3(1.0), 0.0) + v4a + v4b + v4c + v4d + m4 * vec4(1.0);
    sum += vec4(vec2(n2) + m2 * vec2(1.0), vec2(n3.xy + n4.zw)) + vec4(float(n3.z + n4.x + n4.y));
    gl_FragColor = sum + texture2DRect(rect, gl_TexCoord[0].st) + texture2D(flat, gl_TexCoord[0].st);
}
)";

} // namespace

TEST(GLSL, CompileAndLinkFailuresCarryTheDriversLog) {
    RunOnWorker([] {
        GLSL::Shader broken(GL_FRAGMENT_SHADER, "#version 110\nvoid main() { this is not glsl }\n");
        try {
            broken.Initialize();
            ADD_FAILURE() << "a shader that does not compile was accepted";
        } catch (const Error& e) {
            EXPECT_TRUE(StartsWith(e.what(), "GLSL Compile Error:\n")) << e.what();
            EXPECT_GT(std::string(e.what()).size(), std::string("GLSL Compile Error:\n").size());
            EXPECT_EQ(broken.Log(), e.what());
        }
        // The failed shader keeps its name and is not compiled again.
        EXPECT_TRUE(broken.IsCompiled());
        EXPECT_NO_THROW(broken.Initialize());

        // Compiles, but calls a function that nothing defines.
        GLSL::Shader unresolved(GL_FRAGMENT_SHADER, "#version 110\nvec4 missing();\n"
                                                    "void main() { gl_FragColor = missing(); }\n");
        EffectProgram program(&unresolved);
        try {
            program.Apply();
            ADD_FAILURE() << "a program that does not link was accepted";
        } catch (const Error& e) {
            EXPECT_TRUE(StartsWith(e.what(), "GLSL Link Error:\n")) << e.what();
        }
        TESK_GL(glUseProgram)(0);
    });
}

TEST(GLSL, ShadersAndProgramsOwnTheirNamesOnce) {
    RunOnWorker([] {
        GLSL::Shader shader(GL_FRAGMENT_SHADER,
                            "#version 110\nvoid main() { gl_FragColor = vec4(1.0); }\n");
        EXPECT_FALSE(shader.IsCompiled());
        const int name = shader;
        EXPECT_EQ(static_cast<int>(shader), name); // compiled once
        {
            GLSL::Shader copy(shader); // same source, a name of its own
            EXPECT_FALSE(copy.IsCompiled());
            EXPECT_NE(static_cast<int>(copy), name);
        }
        EXPECT_TRUE(TESK_GL(glIsShader)(static_cast<GLuint>(name)));

        GLSL::Program program;
        EXPECT_EQ(static_cast<int>(program), 0); // no object until needed
        program.Attach(shader);
        const int programName = program;
        EXPECT_TRUE(program.NeedsLink() && !program.IsCurrent());
        program.Apply();
        EXPECT_TRUE(!program.NeedsLink() && program.IsCurrent());
        EXPECT_EQ(static_cast<int>(GLSL::Program(program)), 0); // copies own nothing
        EXPECT_TRUE(TESK_GL(glIsProgram)(static_cast<GLuint>(programName)));
        program.Detach(shader);
        EXPECT_TRUE(program.NeedsLink());
        TESK_GL(glUseProgram)(0);
        program.Finalize();
        EXPECT_FALSE(TESK_GL(glIsProgram)(static_cast<GLuint>(programName)));

        // Retrieve adopts the current program: the adopter owns it from then on.
        const GLuint raw = TESK_GL(glCreateProgram)();
        TESK_GL(glAttachShader)(raw, static_cast<GLuint>(name));
        TESK_GL(glLinkProgram)(raw);
        TESK_GL(glUseProgram)(raw);
        GLSL::Program adopted;
        adopted.Retrieve();
        EXPECT_TRUE(adopted.IsCurrent());
        TESK_GL(glUseProgram)(0);
        adopted.Finalize();
        EXPECT_FALSE(TESK_GL(glIsProgram)(raw));

        GLSL::Uniform uniform("f1", GL_FLOAT);
        try {
            uniform.Attach(program);
            ADD_FAILURE() << "a uniform attached to no program";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "No Program for Uniform Variable");
        }
    });
}

TEST(EffectProgram, SettersConvertToTheUniformsType) {
    RunOnWorker([] {
        GLSL::Shader shader(GL_FRAGMENT_SHADER, kUniformSource);
        EffectProgram program(&shader);
        program.Apply();
        ASSERT_TRUE(program.HasUniform("m4"));
        EXPECT_FALSE(program.HasUniform("random")); // the common functions' uniform is unused

        mat<float, 2, 2> m2{{1, 2, 3, 4}};
        mat<float, 3, 3> m3{};
        for (int i = 0; i < 9; ++i) m3.m[i] = static_cast<float>(i + 1);
        m3.at(2, 0) = 42.0f; // row 2 of column 0: the third value OpenGL reads
        mat<float, 4, 4> m4{};
        for (int i = 0; i < 16; ++i) m4.m[i] = static_cast<float>(16 - i);
        const Color colour(0.1f, 0.2f, 0.3f, 0.4f);
        const p4f homogeneous(1.0f, 3.0f, 5.0f, 2.0f);
        const Setting settings[] = {
            Set("f1", 3, {3}),
            Set("i1", 1.5f, {1}),
            Set("i2", -2.7f, {-2}), // toward zero
            Set("f2", 2.5f, {2.5f}),
            Set("b1", 1, {1}),
            Set("v4a", p2f(0.25f, 0.5f), {0.25f, 0.5f, 0, 1}),
            Set("v3a", p2f(0.25f, 0.5f), {0.25f, 0.5f, 0}),
            Set("v2a", p3f(1, 2, 3), {1, 2}),
            Set("v4b", p3f(1, 2, 3), {1, 2, 3, 1}),
            Set("v2b", homogeneous, {0.5f, 1.5f}), // projected
            Set("v3b", homogeneous, {1, 3, 5}),    // not divided
            Set("v4c", homogeneous, {1, 3, 5, 2}),
            Set("v3c", colour, {0.1f, 0.2f, 0.3f}),
            Set("v4d", colour, {0.1f, 0.2f, 0.3f, 0.4f}),
            Set("n2", vec<int, 2>{{4, 5}}, {4, 5}),
            Set("n3", vec<int, 3>{{4, 5, 6}}, {4, 5, 6}),
            Set("n4", vec<int, 4>{{4, 5, 6, 7}}, {4, 5, 6, 7}),
            Set("m2", m2, {1, 2, 3, 4}),
            Set("m3", m3, {1, 2, 42, 4, 5, 6, 7, 8, 9}),
            Set("m4", m4, {16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}),
            // Samplers take the unit's index; the unit is selected in passing.
            Set("rect", TextureUnit(3), {3}),
            Set("flat", TextureUnit(GL_TEXTURE2), {2}),
        };
        for (const Setting& setting : settings) {
            setting.set(program);
            EXPECT_EQ(Floats(setting.name, setting.expected.size()), setting.expected)
                << setting.name;
        }
        EXPECT_EQ(Integer(GL_ACTIVE_TEXTURE), GL_TEXTURE2);

        // Values that do not fit the uniform's type change nothing.
        SetRaw("f3", 7.0f);
        program.SetUniform("f3", vec<int, 2>{{1, 1}});
        program.SetUniform("f3", m2);
        program.SetUniform("f3", TextureUnit(1)); // still selects unit 1
        EXPECT_EQ(Floats("f3", 1), std::vector<float>({7.0f}));
        EXPECT_EQ(Integer(GL_ACTIVE_TEXTURE), GL_TEXTURE1);
        program.SetUniform("v2c", Color(0.5f, 0.5f, 0.5f, 0.5f));
        EXPECT_EQ(Floats("v2c", 2), std::vector<float>({0.0f, 0.0f}));
        TextureUnit::Activate(GL_TEXTURE0);

        // A name that is not active is remembered until the next Apply rebuilds the table.
        EXPECT_FALSE(program.HasUniform("nothing"));
        program.SetUniform("nothing", 1.0f);
        EXPECT_TRUE(program.HasUniform("nothing"));
        program.Apply();
        EXPECT_FALSE(program.HasUniform("nothing"));
        EXPECT_TRUE(program.HasUniform("f1"));
        TESK_GL(glUseProgram)(0);
    });
}

TEST(EffectProgram, DrawRegionFeedsTheUnitsUpToTheLastOne) {
    RunOnWorker([] {
        const int size = 4;
        FloatTarget target(size, size);
        ASSERT_TRUE(target.IsComplete());
        target.PixelProjection();
        for (GLenum unit : {GL_TEXTURE0, GL_TEXTURE1, GL_TEXTURE2}) {
            TESK_GL(glActiveTexture)(unit);
            glMatrixMode(GL_TEXTURE);
            glLoadIdentity();
        }
        glMatrixMode(GL_MODELVIEW);
        TESK_GL(glActiveTexture)(GL_TEXTURE0);
        GLSL::Shader show(GL_FRAGMENT_SHADER, R"(#version 110
void main() { gl_FragColor = vec4(gl_TexCoord[2].st, gl_TexCoord[1].s, gl_TexCoord[0].t); }
)");
        EffectProgram program(&show);
        program.AddShader(&EffectProgram::sMultiTexture);
        program.AddShader(nullptr); // ignored
        struct Case {
            unsigned int last;
            bool unit0, unit1, unit2; // whether the quad sets the unit's coordinate
        };
        for (const Case& c :
             {Case{GL_TEXTURE2, true, true, true}, Case{GL_TEXTURE1, true, true, false},
              Case{GL_TEXTURE0 - 1, false, false, false}}) {
            SCOPED_TRACE(c.last);
            // The current coordinates that units left out keep.
            TESK_GL(glMultiTexCoord2f)(GL_TEXTURE0, 0.125f, 0.375f);
            TESK_GL(glMultiTexCoord2f)(GL_TEXTURE1, 0.5f, 0.5f);
            TESK_GL(glMultiTexCoord2f)(GL_TEXTURE2, 0.25f, 0.75f);
            glClear(GL_COLOR_BUFFER_BIT);
            program.Apply();
            EffectProgram::DrawRegion(Region(0, 0, size, size), c.last);
            TESK_GL(glUseProgram)(0);
            std::vector<Pixel> expected;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x) {
                    const float s = (x + 0.5f) / size, t = (y + 0.5f) / size;
                    expected.push_back({c.unit2 ? s : 0.25f, c.unit2 ? t : 0.75f,
                                        c.unit1 ? s : 0.5f, c.unit0 ? t : 0.375f});
                }
            EXPECT_TRUE(PixelsNear(target.Read()[0].data(), expected[0].data(), 4 * expected.size(),
                                   size, 1e-5f));
        }
        GLfloat normal[4] = {};
        glGetFloatv(GL_CURRENT_NORMAL, normal);
        EXPECT_EQ(normal[2], 1.0f);
    });
}

TEST(EffectProgram, FinalizeKeepsOnlyTheConstructorsShader) {
    RunOnWorker([] {
        GLSL::Shader white(GL_FRAGMENT_SHADER,
                           "#version 110\nvoid main() { gl_FragColor = vec4(1.0); }\n");
        EffectProgram built(&white), added;
        added.AddShader(&white);
        for (EffectProgram* program : {&built, &added}) {
            program->Apply();
            const GLuint first = CurrentProgram();
            TESK_GL(glUseProgram)(0);
            program->Finalize();
            EXPECT_FALSE(TESK_GL(glIsProgram)(first));
        }
        // The constructor's shader is still there, and adding it again as owners do after a
        // Finalize is harmless; a shader added later is forgotten, leaving no main.
        built.AddShader(&white);
        EXPECT_NO_THROW(built.Apply());
        EXPECT_NE(CurrentProgram(), 0u);
        EXPECT_THROW(added.Apply(), Error);
        TESK_GL(glUseProgram)(0);
    });
}
