// Image files of tesk-ae: values kept as stored, alpha never multiplied in or divided out,
// failures reported on one line, and targets replaced only by complete files.
#include "tools/Failure.h"
#include "tools/ImageFile.h"

#include "ScratchFolder.h"

#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace cli {
namespace {

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Pixel(const OIIO::ImageBuf& image, int x, int y, float rgba[4]) {
    image.getpixel(x, y, rgba, 4);
}

TEST(ImageFile, KeepsValuesAsStoredInEachFormat) {
    ScratchFolder folder;
    // Values that every format below holds exactly: multiples of 1/255 are 8-bit steps and,
    // as (k * 257) / 65535, 16-bit steps too; they are not all halves, so EXR half is checked
    // with halves.
    OIIO::ImageBuf steps(OIIO::ImageSpec(3, 2, 4, OIIO::TypeFloat));
    OIIO::ImageBuf halves(OIIO::ImageSpec(3, 2, 4, OIIO::TypeFloat));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            const int k = x + 3 * y;
            const float a[4] = {k * 40 / 255.0f, (255 - k * 30) / 255.0f, 17 / 255.0f,
                                (k * 50 + 5) / 255.0f};
            steps.setpixel(x, y, a, 4);
            const float h[4] = {k * 0.125f, 1.0f - k * 0.0625f, -0.5f, k * 0.25f};
            halves.setpixel(x, y, h, 4);
        }
    }
    struct Row {
        const char* name;
        Layout layout;
        const OIIO::ImageBuf* image;
        OIIO::TypeDesc type;
    };
    const Row rows[] = {
        {"float.exr", Layout::Float, &steps, OIIO::TypeFloat},
        {"half.exr", Layout::Half, &halves, OIIO::TypeHalf},
        {"sixteen.png", Layout::Rgba16, &steps, OIIO::TypeUInt16},
        {"eight.png", Layout::Rgba8, &steps, OIIO::TypeUInt8},
        {"sixteen.tif", Layout::Ae16, &steps, OIIO::TypeUInt16},
        {"sixteen.dpx", Layout::Float, &steps, OIIO::TypeUInt16},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = folder.Path(row.name);
        EXPECT_EQ(FileTypeFor(path, row.layout), row.type);
        WriteImage(path, *row.image, row.layout);
        auto input = OIIO::ImageInput::open(path);
        ASSERT_TRUE(input);
        EXPECT_EQ(input->spec().format, row.type);
        EXPECT_EQ(input->spec().nchannels, 4);
        input.reset();
        const OIIO::ImageBuf back = ReadImage(path);
        ASSERT_EQ(back.spec().width, 3);
        ASSERT_EQ(back.spec().height, 2);
        ASSERT_EQ(back.spec().nchannels, 4);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x) {
                float want[4], got[4];
                Pixel(*row.image, x, y, want);
                Pixel(back, x, y, got);
                for (int c = 0; c < 4; ++c)
                    EXPECT_NEAR(got[c], want[c], 1e-6f) << x << "," << y << " channel " << c;
            }
        }
    }
}

TEST(ImageFile, FillsMissingChannels) {
    ScratchFolder folder;
    // Grey without alpha, grey with alpha, colour without alpha: written directly with OIIO.
    struct Row {
        const char* name;
        int channels;
        float stored[4];
        float expected[4];
    };
    const Row rows[] = {
        {"grey.png", 1, {0.4f}, {0.4f, 0.4f, 0.4f, 1.0f}},
        {"grey-alpha.png", 2, {0.6f, 0.2f}, {0.6f, 0.6f, 0.6f, 0.2f}},
        {"colour.png", 3, {0.2f, 0.4f, 0.6f}, {0.2f, 0.4f, 0.6f, 1.0f}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = folder.Path(row.name);
        OIIO::ImageSpec header(1, 1, row.channels, OIIO::TypeUInt8);
        if (row.channels == 2) header.alpha_channel = 1;
        header.attribute("oiio:UnassociatedAlpha", 1);
        auto output = OIIO::ImageOutput::create(path);
        ASSERT_TRUE(output && output->open(path, header));
        ASSERT_TRUE(output->write_image(OIIO::TypeFloat, row.stored));
        output->close();
        const OIIO::ImageBuf image = ReadImage(path);
        float got[4];
        Pixel(image, 0, 0, got);
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(got[c], row.expected[c], 0.5f / 255) << c;
    }

    // JPEG keeps no alpha: the colour goes in, alpha comes back as 1.
    OIIO::ImageBuf image(OIIO::ImageSpec(8, 8, 4, OIIO::TypeFloat));
    const float grey[4] = {0.5f, 0.5f, 0.5f, 0.25f};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) image.setpixel(x, y, grey, 4);
    WriteImage(folder.Path("photo.jpg"), image, Layout::Float);
    float got[4];
    Pixel(ReadImage(folder.Path("photo.jpg")), 3, 3, got);
    EXPECT_NEAR(got[0], 0.5f, 3.0f / 255);
    EXPECT_EQ(got[3], 1.0f);

    // One-channel buffers (alpha, luma) are written as grey.
    OIIO::ImageBuf plane(OIIO::ImageSpec(2, 1, 1, OIIO::TypeFloat));
    const float values[2] = {0.25f, 0.75f};
    plane.set_pixels(OIIO::ROI(0, 2, 0, 1, 0, 1, 0, 1), OIIO::TypeFloat, values);
    WriteImage(folder.Path("plane.exr"), plane, Layout::Float);
    auto input = OIIO::ImageInput::open(folder.Path("plane.exr"));
    ASSERT_TRUE(input);
    EXPECT_EQ(input->spec().nchannels, 1);
}

TEST(ImageFile, ReportsFailuresOnOneLineAndKeepsOldFiles) {
    ScratchFolder folder;
    const std::string text = folder.Path("notes.exr");
    { std::ofstream(text) << "not an image\nat all\n"; }
    const std::string missing = folder.Path("missing.exr");
    for (const std::string& path : {missing, text, folder.Path("")}) {
        SCOPED_TRACE(path);
        try {
            ReadImage(path);
            ADD_FAILURE() << "read succeeded";
        } catch (const Failure& failure) {
            const std::string message = failure.what();
            EXPECT_EQ(message.find('\n'), std::string::npos) << message;
            EXPECT_EQ(message.rfind("cannot read '" + path + "': ", 0), 0u) << message;
        }
    }

    OIIO::ImageBuf image(OIIO::ImageSpec(2, 2, 4, OIIO::TypeFloat));
    // No format for the name: nothing is written.
    EXPECT_THROW(WriteImage(folder.Path("out.unknownformat"), image, Layout::Float), Failure);
    // A folder that does not exist.
    try {
        WriteImage(folder.Path("nowhere/out.png"), image, Layout::Float);
        ADD_FAILURE() << "write succeeded";
    } catch (const Failure& failure) {
        EXPECT_EQ(std::string(failure.what()), "cannot write '" + folder.Path("nowhere/out.png") +
                                                   "': there is no folder '" +
                                                   folder.Path("nowhere") + "'");
    }

    // An existing target is replaced by a complete file and no temporary is left behind.
    const std::string target = folder.Path("target.png");
    { std::ofstream(target) << "old"; }
    WriteImage(target, image, Layout::Rgba8);
    EXPECT_NE(Contents(target), "old");
    EXPECT_EQ(ReadImage(target).spec().width, 2);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"notes.exr", "target.png"}));

    EXPECT_EQ(OneLine("first\nsecond\r\nthird\n"), "first; second; third");
}

} // namespace
} // namespace cli
