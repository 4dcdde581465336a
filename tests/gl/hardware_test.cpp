#include "GLTest.h"
#include "Scoped.h"

#include "gl/context/HardwareInfo.h"

#include <GL/gl.h>

#include <string>

using namespace OGL_TESK_AE;

TEST(HardwareInfo, AnswersComeFromTheWorkersContext) {
    // No registry file: the memory size is the driver's own answer where it has one.
    const tesk_test::ScopedEnv registry("TESK_AE_REGISTRY", "/nonexistent/tesk-ae/registry.reg");
    std::string card, version, vendor;
    GLint maxSize = 0;
    ASSERT_TRUE(tesk_test::RunOnWorker([&] {
        card = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        vendor = reinterpret_cast<const char*>(glGetString(GL_VENDOR));
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    }));
    // Asked from a host thread: the strings travel through the worker.
    EXPECT_EQ(GetCard(), card);
    EXPECT_EQ(GetVersion(), version);
    EXPECT_EQ(GetVendor(), vendor);
    EXPECT_FALSE(GetDriver().empty());
    if (card.find("llvmpipe") != std::string::npos) {
        EXPECT_EQ(GetCardMemorySize(), 134217728u); // llvmpipe has no memory query
        EXPECT_EQ(GetCardSeries(), hardware::SeriesOf(card));
        EXPECT_NE(version.find("Mesa " + GetDriver()), std::string::npos);
    }

    // Built on the worker, the report sees the context's texture limit.
    std::string report;
    ASSERT_TRUE(tesk_test::RunOnWorker([&] { report = HardwareInfoString(); }));
    const std::string size = std::to_string(maxSize);
    EXPECT_EQ(report.rfind("Graphics Card:     " + card + "\nOpenGL Version:    " + version +
                               "\nDriver Version:    " + GetDriver() +
                               "\nTexture Rectangle: true\nTexture Memory:    ",
                           0),
              0u)
        << report;
    EXPECT_NE(report.find("Texture Dimension: " + size + " x " + size + "\n"), std::string::npos);
    EXPECT_EQ(HardwareInfoString(), report); // kept from the first call
}
