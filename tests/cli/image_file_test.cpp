// Image files of tesk-ae: each format in its channel type, values kept as stored with alpha
// never multiplied in, failures reported on one line, and targets replaced only by complete
// files. Channels and windows kept from inputs are checked on the built program.
#include "tools/Failure.h"
#include "tools/ImageFile.h"

#include "ScratchFolder.h"

#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace cli {
namespace {

TEST(ImageFile, WritesEachFormatInItsTypeWithValuesAsStored) {
    ScratchFolder folder;
    // 0 and 1 in a different pattern in each channel, which every type holds exactly; colour
    // under alpha 0 must not be multiplied away.
    OIIO::ImageBuf image(OIIO::ImageSpec(3, 2, 4, OIIO::TypeFloat));
    for (int k = 0; k < 6; ++k) {
        const float rgba[4] = {float(k & 1), float(k >> 1 & 1), float(k >> 2 & 1),
                               float(k % 3 > 0)};
        image.setpixel(k % 3, k / 3, rgba, 4);
    }
    struct Row {
        const char* name;
        Layout layout;
        OIIO::TypeDesc type;
        int channels;
    };
    const Row rows[] = {
        {"float.exr", Layout::Float, OIIO::TypeFloat, 4},
        {"half.exr", Layout::Half, OIIO::TypeHalf, 4},
        {"sixteen.png", Layout::Rgba16, OIIO::TypeUInt16, 4},
        {"eight.png", Layout::Rgba8, OIIO::TypeUInt8, 4},
        {"sixteen.tif", Layout::Ae16, OIIO::TypeUInt16, 4},
        {"sixteen.dpx", Layout::Float, OIIO::TypeUInt16, 4},
        // JPEG keeps no alpha (nor exact values): alpha comes back as 1.
        {"photo.jpg", Layout::Float, OIIO::TypeUInt8, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = folder.Path(row.name);
        EXPECT_EQ(FileTypeFor(path, row.layout), row.type);
        WriteImage(path, image, row.layout);
        auto input = OIIO::ImageInput::open(path);
        ASSERT_TRUE(input);
        EXPECT_EQ(input->spec().format, row.type);
        EXPECT_EQ(input->spec().nchannels, row.channels);
        const OIIO::ImageBuf back = ReadImage(path);
        ASSERT_EQ(back.spec().width, 3);
        ASSERT_EQ(back.spec().height, 2);
        for (int k = 0; k < 6; ++k) {
            for (int c = row.channels == 3 ? 3 : 0; c < 4; ++c) {
                const float want = row.channels == 3 ? 1.0f : image.getchannel(k % 3, k / 3, 0, c);
                EXPECT_EQ(back.getchannel(k % 3, k / 3, 0, c), want) << k << " channel " << c;
            }
        }
    }
}

TEST(ImageFile, ReportsFailuresOnOneLineAndReplacesTargetsWhole) {
    ScratchFolder folder;
    auto message = [](const std::function<void()>& job) {
        try {
            job();
        } catch (const Failure& failure) {
            return std::string(failure.what());
        }
        return std::string("no failure");
    };
    const std::string here = folder.Path("");
    EXPECT_EQ(message([&] { ReadImage(here); }), "cannot read '" + here + "': it is a folder");
    OIIO::ImageBuf image(OIIO::ImageSpec(2, 2, 4, OIIO::TypeFloat));
    const std::string nowhere = folder.Path("nowhere/out.png");
    EXPECT_EQ(message([&] { WriteImage(nowhere, image, Layout::Float); }),
              "cannot write '" + nowhere + "': there is no folder '" + folder.Path("nowhere") +
                  "'");
    EXPECT_EQ(OneLine("first\nsecond\r\nthird\n"), "first; second; third");

    // An existing target is replaced by a complete file and no temporary is left behind.
    const std::string target = folder.Path("target.png");
    { std::ofstream(target) << "old"; }
    WriteImage(target, image, Layout::Rgba8);
    EXPECT_EQ(ReadImage(target).spec().width, 2);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"target.png"}));
}

} // namespace
} // namespace cli
