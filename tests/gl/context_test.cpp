#include "GLTest.h"
#include "Scoped.h"

#include "common/StaticList.h"
#include "common/Thread.h"
#include "gl/context/Capabilities.h"
#include "gl/context/HardwareInfo.h"
#include "gl/context/RootContext.h"
#include "platform/EglContext.h"

#include <sstream>

namespace OGL_TESK_AE {

struct RootContextTestAccess {
    static bool Initialize() { return RootContext::Initialize(); }
};

} // namespace OGL_TESK_AE

namespace {

using namespace OGL_TESK_AE;
using namespace tesk_test;
using TESK_AE::platform::EglContext;

std::string GLString(GLenum name) {
    const char* text = reinterpret_cast<const char*>(glGetString(name));
    return text ? text : "";
}

void Touch(bool* flag) {
    *flag = true;
}

GLuint NewTexture() {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

// Immediate mode and the rest of the fixed pipeline, in use by nearly every test here, need a
// compatibility context of OpenGL 2.1 at least.
TEST(RootContext, ComesUpOnTheWorkerAsACompatibilityContext) {
    EXPECT_FALSE(RootContext::HasContext()) << "the test thread must not own the context";
    RunOnWorker([] {
        ASSERT_TRUE(RootContext::HasContext());
        const std::string version = GLString(GL_VERSION);
        std::printf("GL_VERSION  %s\nGL_RENDERER %s\nEGL display %s\n", version.c_str(),
                    GLString(GL_RENDERER).c_str(), EglContext::PathName(EglContext::Path()));
        int major = 0, minor = 0;
        ASSERT_EQ(std::sscanf(version.c_str(), "%d.%d", &major, &minor), 2);
        EXPECT_GE(major * 100 + minor, 201);
        EXPECT_FALSE(Integer(GL_CONTEXT_PROFILE_MASK) & GL_CONTEXT_CORE_PROFILE_BIT);
    });
}

// A second Initialize keeps the context it made; Select makes that same context current
// again after none was.
TEST(RootContext, InitializeAndSelectKeepTheOneContext) {
    RunOnWorker([] {
        const GLuint texture = NewTexture();
        EXPECT_TRUE(RootContextTestAccess::Initialize());
        EXPECT_TRUE(EglContext::IsCurrent());
        EXPECT_TRUE(glIsTexture(texture)) << "a new context would not know the texture";
        EglContext::ReleaseCurrent();
        EXPECT_FALSE(RootContext::HasContext());
        EXPECT_TRUE(RootContext::Select());
        EXPECT_TRUE(glIsTexture(texture)) << "Select must bring back the same context";
        glDeleteTextures(1, &texture);
    });
}

// Giving back the run's use of the library stops the worker with its context; the next call
// starts a fresh one, which TESK_AE_FAIL_CONTEXT set to "0" or "" does not refuse.
TEST(RootContext, ComesBackFreshAfterTheLastRelease) {
    GLuint texture = 0;
    RunOnWorker([&] { texture = NewTexture(); });
    ASSERT_EQ(TESK_AE::StaticList::UseCount(), 1);
    for (const char* off : {"0", ""}) {
        const UseLent lent;
        EXPECT_EQ(sThread, nullptr);
        const ScopedEnv failing("TESK_AE_FAIL_CONTEXT", off);
        bool ran = false;
        EXPECT_TRUE(Dispatch(&Touch, &ran) && ran) << "TESK_AE_FAIL_CONTEXT=\"" << off << "\"";
    }
    RunOnWorker([&] {
        EXPECT_FALSE(glIsTexture(texture)) << "the old context's objects must be gone";
        EXPECT_TRUE(EntryPoints::IsLoaded()); // the table outlives the context it came from
    });
}

// The table is filled from the context: every entry point this context offers resolves, those
// of extensions it lacks stay empty and throw when called.
TEST(EntryPoints, EverySlotTheContextOffersIsFilledAndAnEmptyOneThrows) {
    RunOnWorker([] {
        const std::string extensions = GLString(GL_EXTENSIONS) + " ";
        const std::pair<EntryRequirement, const char*> optional[] = {
            {EntryRequirement::Imaging, "GL_ARB_imaging "},
            {EntryRequirement::ArbDebugOutput, "GL_ARB_debug_output "},
            {EntryRequirement::AmdDebugOutput, "GL_AMD_debug_output "},
            {EntryRequirement::Wgl, "WGL_"}};
        for (int i = 0; i < EntryPoints::eCount; ++i) {
            bool offered = true; // OpenGL 2.1, framebuffer objects and ARB programs everywhere
            for (const auto& [requirement, extension] : optional)
                if (EntryPoints::Requirement(i) == requirement)
                    offered = extensions.find(extension) != std::string::npos;
            EXPECT_EQ(EntryPoints::Slot(i) != nullptr, offered) << EntryPoints::Name(i);
        }
        EXPECT_EQ(EntryPoints::Name(-1), nullptr);
        EXPECT_EQ(EntryPoints::Name(EntryPoints::eCount), nullptr);
        EXPECT_THROW(EntryPoints::Get<void (*)()>(EntryPoints::e_wglCreatePbufferARB), Unsupported);
    });
}

TEST(Capabilities, ExtensionNamesMatchAsSubstringsOnAnyThread) {
    const std::pair<const char*, bool> cases[] = {{"GL_EXT_framebuffer_object", true},
                                                  {"framebuffer_obj", true}, // a part is enough
                                                  {"GL_TESK_no_such_extension", false},
                                                  {"GL_EXT_framebuffer_object2", false},
                                                  {nullptr, false}};
    const auto check = [&] {
        for (const auto& [name, expected] : cases)
            EXPECT_EQ(IsExtensionSupported(name), expected) << (name ? name : "null");
    };
    check();
    RunOnWorker(check); // where the query runs in place
}

TEST(Capabilities, DisplayExtensionsAreSearchedToo) {
    std::string displayOnly;
    RunOnWorker([&] {
        std::istringstream words(EglContext::CurrentDisplayExtensions());
        const std::string gl = GLString(GL_EXTENSIONS);
        while (words >> displayOnly && gl.find(displayOnly) != std::string::npos)
            displayOnly.clear();
    });
    // Both Mesa and NVIDIA offer EGL_KHR_create_context, which OpenGL's list never names.
    EXPECT_EQ(displayOnly.compare(0, 4, "EGL_"), 0) << displayOnly;
    EXPECT_TRUE(IsExtensionSupported(displayOnly.c_str())) << displayOnly;
    EXPECT_TRUE(IsExtensionSupported("EGL_KHR_create_context"));
}

TEST(Capabilities, CachedQueriesAnswerFromTheirCacheOnceAsked) {
    // llvmpipe and every card the library is meant for have all three.
    const auto answers = [] {
        return std::array{IsFloatSupported(), IsHalfFloatSupported(), IsFrameBufferSupported()};
    };
    EXPECT_EQ(answers(), (std::array{true, true, true}));
    ASSERT_EQ(TESK_AE::StaticList::UseCount(), 1);
    {
        // With no worker and no context to be had, the answers must come from the caches.
        const UseLent lent;
        const ScopedEnv failing("TESK_AE_FAIL_CONTEXT", "1");
        EXPECT_EQ(answers(), (std::array{true, true, true}));
        EXPECT_EQ(sThread, nullptr) << "a cached answer must not start the worker";
        // An uncached query does go to the worker, which now fails.
        EXPECT_FALSE(IsExtensionSupported("GL_EXT_framebuffer_object"));
        EXPECT_STREQ(Shared::ErrorMessage(), "OpenGL context failure.");
    }
    EXPECT_TRUE(IsExtensionSupported("GL_EXT_framebuffer_object"));
}

// llvmpipe and current cards store 16-bit normalised RGBA as it is; the probe leaves no
// binding behind.
TEST(Capabilities, ShortTexturesAreKept) {
    RunOnWorker([] {
        glBindTexture(GL_TEXTURE_2D, 0);
        EXPECT_TRUE(IsShortSupported());
        EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), 0);
    });
}

// Asked from a host thread, the answers travel from the worker's context; the report, built
// once on the worker, sees the context's texture limit.
TEST(HardwareInfo, AnswersComeFromTheWorkersContext) {
    // No registry file: the memory size is the driver's own answer where it has one.
    const ScopedEnv registry("TESK_AE_REGISTRY", "/nonexistent/tesk-ae/registry.reg");
    std::string card, version, vendor, size, report;
    RunOnWorker([&] {
        card = GLString(GL_RENDERER), version = GLString(GL_VERSION), vendor = GLString(GL_VENDOR);
        size = std::to_string(Integer(GL_MAX_TEXTURE_SIZE));
        report = HardwareInfoString(); // the texture limit is read only where the context is
    });
    EXPECT_EQ((std::array{GetCard(), GetVersion(), GetVendor()}),
              (std::array{card, version, vendor}));
    if (card.find("llvmpipe") != std::string::npos) {
        EXPECT_EQ(GetCardMemorySize(), 134217728u); // llvmpipe has no memory query
    }
    EXPECT_NE(report.find("Texture Dimension: " + size + " x " + size + "\n"), std::string::npos);
    EXPECT_EQ(HardwareInfoString(), report); // kept from the first call
}

} // namespace
