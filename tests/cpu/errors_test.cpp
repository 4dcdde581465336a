#include "common/Errors.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <string>

using namespace OGL_TESK_AE;

TEST(Errors, Texts) {
    const char* message = "static text";
    EXPECT_EQ(Error(message).what(), message); // the pointer itself, not a copy
    EXPECT_STREQ(Unsupported().what(), "Required feature of graphic card is not supported.\n"
                                       "Consider upgrading graphics card or driver.");
    EXPECT_STREQ(OffscreenUnsupported().what(), "Offscreen rendering is not supported.\n"
                                                "Consider upgrading graphics card or driver.");
    const std::string glu = reinterpret_cast<const char*>(gluErrorString(GL_INVALID_ENUM));
    ASSERT_FALSE(glu.empty());
    EXPECT_EQ(std::string(OpenGLError(0x0500, "Texture", 12).what()),
              "OpenGL error:\n" + glu + "\nTexture: 12");
    EXPECT_EQ(std::string(OpenGLError(0x0500).what()), "OpenGL error:\n" + glu);
    // An empty text also right after a longer one filled the shared buffer.
    EXPECT_STREQ(OpenGLError().what(), "");
    EXPECT_STREQ(OpenGLError(0x7777).what(), "Unknown OpenGL error.");
    const struct {
        int status;
        const char* text;
    } framebuffer[] = {{0x8CDD, "GL_FRAMEBUFFER_UNSUPPORTED_EXT"},
                       {0x8CD9, "GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT"},
                       {0x8D56, "GL_FRAMEBUFFER_INCOMPLETE_MULTISAMPLE"},
                       {1, "GL_FRAMEBUFFER Unknow error"}};
    for (const auto& f : framebuffer)
        EXPECT_STREQ(FramebufferError(f.status, nullptr, 0).what(), f.text);
    EXPECT_STREQ(FramebufferError(0x8CD5, "fbo.cpp", 7).what(),
                 "GL_FRAMEBUFFER_COMPLETE_EXT\nfbo.cpp: 7");
}

TEST(Errors, SharedBufferIsCutAndOverwritten) {
    const std::string longText(5000, 'x');
    OpenGLDebug debug(longText.c_str());
    EXPECT_EQ(std::string(debug.what()), std::string(4095, 'x'));
    FramebufferError(0x0506, nullptr, 0).what();
    // The three kinds share one buffer: the debug text is gone now.
    EXPECT_STREQ(debug.what(), "GL_INVALID_FRAMEBUFFER_OPERATION_EXT");
}
