#include "gl/context/HardwareInfo.h"

#include <gtest/gtest.h>

#include <string>

using namespace OGL_TESK_AE::hardware;

TEST(HardwareInfo, RendererNamesGiveFamilyAndSeries) {
    const std::string quadro = "NVIDIA Quadro FX 4500/PCI/SSE2";
    EXPECT_TRUE(IsQuadroName(quadro));
    EXPECT_TRUE(IsBasicQuadroName(quadro));
    EXPECT_EQ(SeriesOf(quadro), 4500);
    EXPECT_FALSE(IsBasicQuadroName("NVIDIA Quadro FX 5800"));
    EXPECT_FALSE(IsBasicQuadroName("GeForce 4500")); // the model alone is not a Quadro

    EXPECT_TRUE(IsATIName("ATI Radeon HD 5870"));
    EXPECT_EQ(SeriesOf("ATI Radeon HD 5870"), 5870);
    EXPECT_EQ(SeriesOf("GeForce 8800 GTX"), 8800);
    EXPECT_EQ(SeriesOf("llvmpipe (LLVM 15.0.6, 256 bits)"), 15);
    EXPECT_EQ(SeriesOf("Software Rasterizer"), 0);
    EXPECT_EQ(SeriesOf("card 0 then 7"), 7); // zeros are skipped: the first non-zero number
    EXPECT_FALSE(IsATIName("Radeon ati"));   // case-sensitive
}

TEST(HardwareInfo, DriverVersionFromMesaVersionText) {
    EXPECT_EQ(DriverFromVersionText("4.5 (Compatibility Profile) Mesa 22.3.6"), "22.3.6");
    EXPECT_EQ(DriverFromVersionText("4.6.0 NVIDIA 535.104.05"), "");
    EXPECT_EQ(DriverFromVersionText("Unknown"), "");
}

TEST(HardwareInfo, ReportLinesAndVerdict) {
    const std::string supported =
        BuildReport("llvmpipe", "4.5 Mesa 22.3.6", "22.3.6", true, 64u << 20, 16384);
    EXPECT_EQ(supported, "Graphics Card:     llvmpipe\n"
                         "OpenGL Version:    4.5 Mesa 22.3.6\n"
                         "Driver Version:    22.3.6\n"
                         "Texture Rectangle: true\n"
                         "Texture Memory:    64 MB\n"
                         "Texture Dimension: 16384 x 16384\n");
    const std::string message = "\nA component of your system has been detected which is not "
                                "officially supported by Tarnwell for OpenGL renders.";

    const std::string small = BuildReport("card", "v", "d", false, 16u << 20, 0);
    EXPECT_NE(small.find("Texture Memory:    16 MB\nTexture Dimension: 0 x 0\n" + message),
              std::string::npos);
    EXPECT_EQ(small.substr(small.size() - 3), ").\n");
    // The low 20 bits do not count: 32 MiB minus one byte is below the limit.
    EXPECT_NE(BuildReport("c", "v", "d", false, (32u << 20) - 1, 0).find(message),
              std::string::npos);
    EXPECT_EQ(BuildReport("c", "v", "d", false, 32u << 20, 0).find(message), std::string::npos);
    EXPECT_NE(BuildReport("nvidia geforce2 mx", "v", "d", false, 64u << 20, 0).find(message),
              std::string::npos);
    EXPECT_EQ(BuildReport("NVIDIA GeForce2 MX", "v", "d", false, 64u << 20, 0).find(message),
              std::string::npos);
}
