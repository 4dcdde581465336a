#include "GLTest.h"
#include "Scoped.h"

#include "common/StaticList.h"
#include "common/Thread.h"
#include "gl/context/Capabilities.h"
#include "platform/EglContext.h"

#include <GL/gl.h>

#include <sstream>
#include <string>

namespace {

using namespace OGL_TESK_AE;
using tesk_test::RunOnWorker;

TEST(Capabilities, ExtensionNamesMatchAsSubstrings) {
    struct Case {
        const char* name;
        bool expected;
    };
    const Case cases[] = {
        {"GL_EXT_framebuffer_object", true},
        {"framebuffer_obj", true}, // part of a name is enough
        {"GL_TESK_no_such_extension", false},
        {"GL_EXT_framebuffer_object2", false},
        {nullptr, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsExtensionSupported(c.name), c.expected) << (c.name ? c.name : "null");
    // Asked on the worker, the query runs in place and agrees.
    RunOnWorker([&] {
        for (const Case& c : cases)
            EXPECT_EQ(IsExtensionSupported(c.name), c.expected) << (c.name ? c.name : "null");
    });
}

TEST(Capabilities, DisplayExtensionsAreSearchedToo) {
    std::string displayOnly;
    RunOnWorker([&] {
        const char* display = TESK_AE::platform::EglContext::CurrentDisplayExtensions();
        ASSERT_NE(display, nullptr);
        const std::string gl = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
        std::istringstream words(display);
        for (std::string word; words >> word;)
            if (gl.find(word) == std::string::npos) {
                displayOnly = word;
                break;
            }
    });
    ASSERT_FALSE(displayOnly.empty()) << "every display extension is also an OpenGL one";
    EXPECT_EQ(displayOnly.compare(0, 4, "EGL_"), 0) << displayOnly;
    EXPECT_TRUE(IsExtensionSupported(displayOnly.c_str())) << displayOnly;
    // Both Mesa and NVIDIA offer it, and OpenGL's list never names EGL extensions.
    EXPECT_TRUE(IsExtensionSupported("EGL_KHR_create_context"));
}

TEST(Capabilities, CachedQueriesAnswerFromTheirCacheOnceAsked) {
    const bool expected[3] = {IsExtensionSupported("GL_ARB_texture_float"),
                              IsExtensionSupported("GL_ARB_half_float_pixel"),
                              IsExtensionSupported("GL_EXT_framebuffer_object")};
    // llvmpipe and every card the library is meant for have all three.
    EXPECT_TRUE(expected[0] && expected[1] && expected[2]);
    EXPECT_EQ(IsFloatSupported(), expected[0]);
    EXPECT_EQ(IsHalfFloatSupported(), expected[1]);
    EXPECT_EQ(IsFrameBufferSupported(), expected[2]);

    // With no worker and no context to be had, the answers must come from the caches.
    ASSERT_EQ(TESK_AE::StaticList::UseCount(), 1);
    {
        const tesk_test::UseLent lent;
        ASSERT_EQ(sThread, nullptr);
        const tesk_test::ScopedEnv failing("TESK_AE_FAIL_CONTEXT", "1");
        EXPECT_EQ(IsFloatSupported(), expected[0]);
        EXPECT_EQ(IsHalfFloatSupported(), expected[1]);
        EXPECT_EQ(IsFrameBufferSupported(), expected[2]);
        EXPECT_EQ(sThread, nullptr) << "a cached answer must not start the worker";
        // An uncached query does go to the worker, which now fails.
        EXPECT_FALSE(IsExtensionSupported("GL_EXT_framebuffer_object"));
        EXPECT_STREQ(Shared::ErrorMessage(), "OpenGL context failure.");
    }
    EXPECT_TRUE(IsExtensionSupported("GL_EXT_framebuffer_object"));
}

// llvmpipe and current cards store 16-bit normalised RGBA as it is; the probe leaves no
// binding or error behind.
TEST(Capabilities, ShortTexturesAreKept) {
    RunOnWorker([] {
        glBindTexture(GL_TEXTURE_2D, 0);
        EXPECT_TRUE(IsShortSupported());
        EXPECT_EQ(tesk_test::Integer(GL_TEXTURE_BINDING_2D), 0);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

} // namespace
