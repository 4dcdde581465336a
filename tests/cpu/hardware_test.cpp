#include "gl/context/HardwareInfo.h"

#include <gtest/gtest.h>

#include <string>

using namespace OGL_TESK_AE::hardware;

TEST(HardwareInfo, RendererNamesAndReport) {
    const std::string quadro = "NVIDIA Quadro FX 4500/PCI/SSE2", ati = "ATI Radeon HD 5870";
    EXPECT_TRUE(IsQuadroName(quadro) && IsBasicQuadroName(quadro) && IsATIName(ati));
    EXPECT_FALSE(IsBasicQuadroName("NVIDIA Quadro FX 5800") || IsBasicQuadroName("GeForce 4500"));
    EXPECT_FALSE(IsATIName("Radeon ati")); // case-sensitive
    // The first non-zero number in the name.
    EXPECT_TRUE(SeriesOf(quadro) == 4500 && SeriesOf(ati) == 5870 &&
                SeriesOf("card 0 then 7") == 7);
    EXPECT_TRUE(SeriesOf("llvmpipe (LLVM 15.0.6, 256 bits)") == 15 && SeriesOf("Software") == 0);
    EXPECT_EQ(DriverFromVersionText("4.5 (Compatibility Profile) Mesa 22.3.6"), "22.3.6");
    EXPECT_EQ(DriverFromVersionText("4.6.0 NVIDIA 535.104.05") + DriverFromVersionText("?"), "");
    // The report: six lines, then the verdict for cards under 32 MB (the low 20 bits do not
    // count) or whose name has "geforce2", matched case-sensitively.
    EXPECT_EQ(BuildReport("llvmpipe", "4.5 Mesa 22.3.6", "22.3.6", true, 64u << 20, 16384),
              "Graphics Card:     llvmpipe\nOpenGL Version:    4.5 Mesa 22.3.6\n"
              "Driver Version:    22.3.6\nTexture Rectangle: true\n"
              "Texture Memory:    64 MB\nTexture Dimension: 16384 x 16384\n");
    const std::string verdict = "\nA component of your system has been detected which is not "
                                "officially supported by Tarnwell for OpenGL renders.";
    const std::string small = BuildReport("c", "v", "d", false, 16u << 20, 0);
    EXPECT_NE(small.find("16 MB\nTexture Dimension: 0 x 0\n" + verdict), std::string::npos);
    EXPECT_EQ(small.substr(small.size() - 3), ").\n"); // the list of effects that stop working
    auto warned = [&](const char* card, uint32_t memory) {
        return BuildReport(card, "v", "d", false, memory, 0).find(verdict) != std::string::npos;
    };
    EXPECT_TRUE(warned("c", (32u << 20) - 1) && warned("nvidia geforce2 mx", 64u << 20));
    EXPECT_FALSE(warned("c", 32u << 20) || warned("NVIDIA GeForce2 MX", 64u << 20));
}
