#include "GLTest.h"
#include "Scoped.h"

#include "common/StaticList.h"
#include "common/Thread.h"
#include "gl/context/EntryPoints.h"
#include "gl/context/RootContext.h"
#include "platform/EglContext.h"

#include <cstdio>
#include <cstring>

namespace OGL_TESK_AE {

struct RootContextTestAccess {
    static bool Initialize() { return RootContext::Initialize(); }
};

} // namespace OGL_TESK_AE

namespace {

using namespace OGL_TESK_AE;
using tesk_test::RunOnWorker;
using tesk_test::ScopedEnv;

const char* GLString(GLenum name) {
    const char* text = reinterpret_cast<const char*>(glGetString(name));
    return text ? text : "";
}

void Touch(bool* flag) {
    *flag = true;
}

// Gives back the run's use of the library, which stops the worker and deletes it, and takes
// it again; the next call starts a fresh worker that makes a fresh context.
void ReleaseLibrary() {
    ASSERT_EQ(TESK_AE::StaticList::UseCount(), 1);
    tesk_test::UseLent lent;
    EXPECT_EQ(sThread, nullptr);
}

TEST(RootContext, ComesUpOnTheWorkerAsACompatibilityContext) {
    EXPECT_FALSE(RootContext::HasContext()) << "the test thread must not own the context";
    RunOnWorker([] {
        ASSERT_TRUE(RootContext::HasContext());
        std::printf("GL_VERSION  %s\nGL_RENDERER %s\nEGL display %s\n", GLString(GL_VERSION),
                    GLString(GL_RENDERER),
                    TESK_AE::platform::EglContext::PathName(TESK_AE::platform::EglContext::Path()));

        int major = 0, minor = 0;
        ASSERT_EQ(std::sscanf(GLString(GL_VERSION), "%d.%d", &major, &minor), 2);
        ASSERT_GE(major * 100 + minor, 201);
        if (major * 100 + minor >= 302) {
            const GLint profile = tesk_test::Integer(GL_CONTEXT_PROFILE_MASK);
            EXPECT_TRUE(profile & GL_CONTEXT_COMPATIBILITY_PROFILE_BIT);
            EXPECT_FALSE(profile & GL_CONTEXT_CORE_PROFILE_BIT);
        }

        // The hidden surface: 16 x 16 with 8-bit RGBA and a depth buffer.
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[2], 16);
        EXPECT_EQ(viewport[3], 16);
        for (GLenum channel : {GL_RED_BITS, GL_GREEN_BITS, GL_BLUE_BITS, GL_ALPHA_BITS})
            EXPECT_EQ(tesk_test::Integer(channel), 8) << "channel 0x" << std::hex << channel;
        const GLint depth = tesk_test::Integer(GL_DEPTH_BITS);
        EXPECT_TRUE(depth == 24 || depth == 32) << depth;
        EXPECT_EQ(TESK_GL(glCheckFramebufferStatusEXT)(GL_FRAMEBUFFER_EXT),
                  static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE_EXT));

        // Immediate mode, the attribute stacks and the rest of the fixed pipeline, which a core
        // context would refuse, are in use by nearly every other test here.
    });
}

// A second Initialize keeps the context it made; Select makes that same context current
// again after something else was.
TEST(RootContext, InitializeAndSelectKeepTheOneContext) {
    RunOnWorker([] {
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glBindTexture(GL_TEXTURE_2D, 0);
        ASSERT_TRUE(glIsTexture(texture));

        EXPECT_TRUE(RootContextTestAccess::Initialize());
        EXPECT_TRUE(TESK_AE::platform::EglContext::IsCurrent());
        EXPECT_TRUE(glIsTexture(texture)) << "a new context would not know the texture";

        TESK_AE::platform::EglContext::ReleaseCurrent();
        EXPECT_FALSE(RootContext::HasContext());
        EXPECT_EQ(glGetString(GL_VERSION), nullptr);
        EXPECT_TRUE(RootContext::Select());
        EXPECT_TRUE(RootContext::HasContext());
        EXPECT_TRUE(glIsTexture(texture)) << "Select must bring back the same context";
        glDeleteTextures(1, &texture);
    });
}

TEST(RootContext, FailureIsReportedAndTheNextCallTriesAgain) {
    ReleaseLibrary();
    {
        ScopedEnv failing("TESK_AE_FAIL_CONTEXT", "1");
        bool ran = false;
        EXPECT_TRUE(Dispatch(&Touch, &ran)) << "the call must be handed to the worker";
        EXPECT_FALSE(ran);
        EXPECT_STREQ(Shared::ErrorMessage(), "OpenGL context failure.");
        ASSERT_NE(sThread, nullptr);
        EXPECT_FALSE(sThread->IsRunning()) << "a worker without a context ends";
        EXPECT_FALSE(EnsureWorker()->Execute([](void*) { return true; }, &ran));
        EXPECT_STREQ(Shared::ErrorMessage(), "OpenGL context failure.");
    }
    // The variable is read at each attempt: without it the next call gets a context.
    bool ran = false;
    Dispatch(&Touch, &ran);
    EXPECT_TRUE(ran);
    EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
    RunOnWorker([] { EXPECT_TRUE(RootContext::HasContext()); });

    // "0" and "" mean the variable is off.
    for (const char* off : {"0", ""}) {
        ReleaseLibrary();
        ScopedEnv notFailing("TESK_AE_FAIL_CONTEXT", off);
        ran = false;
        Dispatch(&Touch, &ran);
        EXPECT_TRUE(ran) << "TESK_AE_FAIL_CONTEXT=\"" << off << "\"";
    }
}

TEST(RootContext, ComesBackAfterTheLastReleaseOfTheLibrary) {
    GLuint texture = 0;
    RunOnWorker([&] {
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glBindTexture(GL_TEXTURE_2D, 0);
        EXPECT_TRUE(glIsTexture(texture));
    });
    ReleaseLibrary();
    EXPECT_FALSE(RootContext::HasContext());
    RunOnWorker([&] {
        ASSERT_TRUE(RootContext::HasContext());
        EXPECT_STRNE(GLString(GL_VERSION), "");
        EXPECT_FALSE(glIsTexture(texture)) << "the old context's objects must be gone";
        // The table outlives the context it was loaded from.
        EXPECT_TRUE(EntryPoints::IsLoaded());
        TESK_GL(glUseProgram)(0);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

} // namespace
