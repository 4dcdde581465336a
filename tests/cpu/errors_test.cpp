#include "common/Errors.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace OGL_TESK_AE;

// Plug-ins show these texts to their users as they are.
TEST(Errors, Texts) {
    const char* message = "static text";
    EXPECT_EQ(Error(message).what(), message); // the pointer itself, not a copy
    const std::string glu = reinterpret_cast<const char*>(gluErrorString(GL_INVALID_ENUM)),
                      upgrade = "\nConsider upgrading graphics card or driver.";
    const std::pair<std::string, std::string> texts[] = {
        {Unsupported().what(), "Required feature of graphic card is not supported." + upgrade},
        {OffscreenUnsupported().what(), "Offscreen rendering is not supported." + upgrade},
        {OpenGLError(0x0500, "Texture", 12).what(), "OpenGL error:\n" + glu + "\nTexture: 12"},
        {OpenGLError(0x0500).what(), "OpenGL error:\n" + glu},
        {OpenGLError().what(), ""}, // also right after a longer text filled the shared buffer
        {OpenGLError(0x7777).what(), "Unknown OpenGL error."},
        {FramebufferError(0x8CDD, nullptr, 0).what(), "GL_FRAMEBUFFER_UNSUPPORTED_EXT"},
        {FramebufferError(0x8CD9, nullptr, 0).what(), "GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT"},
        {FramebufferError(0x8D56, nullptr, 0).what(), "GL_FRAMEBUFFER_INCOMPLETE_MULTISAMPLE"},
        {FramebufferError(1, nullptr, 0).what(), "GL_FRAMEBUFFER Unknow error"},
        {FramebufferError(0x8CD5, "fbo.cpp", 7).what(), "GL_FRAMEBUFFER_COMPLETE_EXT\nfbo.cpp: 7"}};
    for (const auto& [got, expected] : texts) EXPECT_EQ(got, expected);
    // The three kinds share one buffer, cut to its size.
    OpenGLDebug debug(std::string(5000, 'x').c_str());
    EXPECT_EQ(std::string(debug.what()), std::string(4095, 'x'));
    FramebufferError(0x0506, nullptr, 0).what();
    EXPECT_STREQ(debug.what(), "GL_INVALID_FRAMEBUFFER_OPERATION_EXT");
}
