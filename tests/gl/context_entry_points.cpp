#include "GLTest.h"

#include "gl/context/EntryPoints.h"

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

namespace {

using namespace OGL_TESK_AE;
using tesk_test::RunOnWorker;

// The enumeration and the names come from one list, so only the bounds can go wrong.
TEST(EntryPoints, IndexesOutsideTheTableHaveNoName) {
    EXPECT_EQ(EntryPoints::Name(-1), nullptr);
    EXPECT_EQ(EntryPoints::Name(EntryPoints::eCount), nullptr);
}

// What this context offers, read without the library's help.
struct ContextOffer {
    int version = 0;
    std::set<std::string> extensions;

    ContextOffer() {
        int major = 0, minor = 0;
        const char* text = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        if (text && std::sscanf(text, "%d.%d", &major, &minor) == 2) version = major * 100 + minor;
        std::istringstream words(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)));
        for (std::string word; words >> word;) extensions.insert(word);
    }
    bool Has(const char* name) const { return extensions.count(name) != 0; }
};

TEST(EntryPoints, SlotsAreFilledExactlyWhereTheContextOffersTheFunction) {
    RunOnWorker([] {
        ASSERT_TRUE(EntryPoints::IsLoaded());
        const ContextOffer offer;
        const bool vertexProgram = offer.Has("GL_ARB_vertex_program");
        const bool anyProgram = vertexProgram || offer.Has("GL_ARB_fragment_program");
        const std::pair<int, EntryRequirement> versions[] = {
            {102, EntryRequirement::Version12}, {103, EntryRequirement::Version13},
            {104, EntryRequirement::Version14}, {105, EntryRequirement::Version15},
            {200, EntryRequirement::Version20}, {201, EntryRequirement::Version21}};
        for (int i = 0; i < EntryPoints::eCount; ++i) {
            const std::string name = EntryPoints::Name(i);
            bool offered = false;
            switch (EntryPoints::Requirement(i)) {
            case EntryRequirement::Imaging:
                offered = offer.Has("GL_ARB_imaging");
                break;
            case EntryRequirement::FramebufferObject:
                offered = offer.Has("GL_EXT_framebuffer_object");
                break;
            case EntryRequirement::ArbProgram:
                offered = name.compare(0, 14, "glVertexAttrib") == 0 ||
                                  name.find("VertexAttribArray") != std::string::npos ||
                                  name.compare(0, 17, "glGetVertexAttrib") == 0
                              ? vertexProgram
                              : anyProgram;
                break;
            case EntryRequirement::ArbDebugOutput:
                offered = offer.Has("GL_ARB_debug_output");
                break;
            case EntryRequirement::AmdDebugOutput:
                offered = offer.Has("GL_AMD_debug_output");
                break;
            case EntryRequirement::Wgl:
                offered = false;
                break;
            default:
                for (const auto& v : versions)
                    if (v.second == EntryPoints::Requirement(i)) offered = offer.version >= v.first;
            }
            if (offered)
                EXPECT_NE(EntryPoints::Slot(i), nullptr) << name;
            else
                EXPECT_EQ(EntryPoints::Slot(i), nullptr) << name;
        }

        // What this project's contexts (Mesa's llvmpipe, NVIDIA) are known to offer.
        ASSERT_GE(offer.version, 201);
        EXPECT_TRUE(vertexProgram);
        EXPECT_TRUE(offer.Has("GL_EXT_framebuffer_object"));
        for (auto i : {EntryPoints::e_glUniformMatrix4x3fv, EntryPoints::e_glVertexAttrib1dARB,
                       EntryPoints::e_glIsProgramARB})
            EXPECT_NE(EntryPoints::Slot(i), nullptr) << i;
    });
}

TEST(EntryPoints, CallsGoThroughTheTable) {
    RunOnWorker([] {
        // An empty slot throws before anything is called.
        try {
            EntryPoints::Get<void (*)()>(EntryPoints::e_wglCreatePbufferARB);
            ADD_FAILURE() << "no exception for an empty slot";
        } catch (const Unsupported& e) {
            EXPECT_STREQ(e.what(), Unsupported().what());
        }

        // A filled slot reaches the driver.
        GLuint framebuffer = 0;
        TESK_GL(glGenFramebuffersEXT)(1, &framebuffer);
        TESK_GL(glBindFramebufferEXT)(GL_FRAMEBUFFER_EXT, framebuffer);
        EXPECT_EQ(TESK_GL(glCheckFramebufferStatusEXT)(GL_FRAMEBUFFER_EXT),
                  static_cast<GLenum>(GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT));
        EXPECT_EQ(tesk_test::Integer(GL_FRAMEBUFFER_BINDING_EXT), GLint(framebuffer));
        TESK_GL(glBindFramebufferEXT)(GL_FRAMEBUFFER_EXT, 0);
        TESK_GL(glDeleteFramebuffersEXT)(1, &framebuffer);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

} // namespace
