// The demo's contact sheet: each image's colour beside its alpha, and its text drawn.
#include "tools/ContactSheet.h"

#include <OpenImageIO/imagebufalgo.h>
#include <gtest/gtest.h>

namespace cli {
namespace {

TEST(ContactSheet, ShowsColourBesideAlphaAndItsText) {
    OIIO::ImageBuf red(OIIO::ImageSpec(8, 8, 4, OIIO::TypeFloat));
    const float transparentRed[4] = {1.0f, 0.0f, 0.0f, 0.0f};
    OIIO::ImageBufAlgo::fill(red, transparentRed);
    auto sheet = [&](const std::string& heading) {
        return MakeContactSheet(heading, {{"ROW", {{"IN", &red}}, {"OUT", &red}}}, 8);
    };
    const OIIO::ImageBuf shown = sheet("HEADING");
    int redPixels = 0, blackPixels = 0;
    for (OIIO::ImageBuf::ConstIterator<float> p(shown); !p.done(); ++p) {
        EXPECT_EQ(p[3], 1.0f);
        redPixels += p[0] == 1.0f && p[1] == 0.0f && p[2] == 0.0f;
        blackPixels += p[0] == 0.0f && p[1] == 0.0f && p[2] == 0.0f;
    }
    // Two 8 x 8 colour views (input and output) in red, two alpha views in black.
    EXPECT_EQ(redPixels, 128);
    EXPECT_EQ(blackPixels, 128);
    EXPECT_GT(OIIO::ImageBufAlgo::compare(shown, sheet(""), 0.0f, 0.0f).nfail, 0u);
}

} // namespace
} // namespace cli
