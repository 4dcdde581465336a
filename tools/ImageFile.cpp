#include "tools/ImageFile.h"

#include "tools/Failure.h"

#include <OpenImageIO/imageio.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

namespace cli {

namespace {

std::string Extension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

std::string Reason(const std::string& text, const char* fallback) {
    const std::string line = OneLine(text);
    return line.empty() ? fallback : line;
}

// Removes a half-written file unless the write got as far as renaming it.
class Temporary {
public:
    explicit Temporary(std::string path) : fPath(std::move(path)) {}
    ~Temporary() {
        if (!fKept) std::remove(fPath.c_str());
    }
    const std::string& Path() const { return fPath; }
    void Keep() { fKept = true; }

private:
    std::string fPath;
    bool fKept = false;
};

} // namespace

std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\n' || c == '\r') {
            if (!line.empty() && line.back() != ' ') line += "; ";
        } else {
            line += c;
        }
    }
    while (!line.empty() && (line.back() == ' ' || line.back() == ';')) line.pop_back();
    return line;
}

OIIO::ImageBuf ReadImage(const std::string& path) {
    if (std::filesystem::is_directory(path))
        throw Failure("cannot read '" + path + "': it is a folder");
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto input = OIIO::ImageInput::open(path, &config);
    if (!input)
        throw Failure("cannot read '" + path +
                      "': " + Reason(OIIO::geterror(), "not an image file OpenImageIO knows"));
    const OIIO::ImageSpec header = input->spec();
    const int width = header.width, height = header.height, channels = header.nchannels;
    if (width < 1 || height < 1 || channels < 1)
        throw Failure("cannot read '" + path + "': the image is empty");
    std::vector<float> pixels(static_cast<size_t>(width) * height * channels);
    if (!input->read_image(0, 0, 0, channels, OIIO::TypeFloat, pixels.data()))
        throw Failure("cannot read '" + path +
                      "': " + Reason(input->geterror(), "the pixels could not be decoded"));
    input->close();

    int alpha = header.alpha_channel;
    if (alpha < 0 && channels == 2) alpha = 1;
    if (alpha < 0 && channels >= 4) alpha = 3;
    const bool grey = channels < 3;
    OIIO::ImageBuf rgba(OIIO::ImageSpec(width, height, 4, OIIO::TypeFloat));
    std::vector<float> row(static_cast<size_t>(width) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float* in = &pixels[(static_cast<size_t>(y) * width + x) * channels];
            float* out = &row[static_cast<size_t>(x) * 4];
            out[0] = in[0];
            out[1] = grey ? in[0] : in[1];
            out[2] = grey ? in[0] : in[2];
            out[3] = alpha >= 0 ? in[alpha] : 1.0f;
        }
        rgba.set_pixels(OIIO::ROI(0, width, y, y + 1, 0, 1, 0, 4), OIIO::TypeFloat, row.data());
    }
    return rgba;
}

OIIO::TypeDesc FileTypeFor(const std::string& path, Layout layout) {
    const std::string ext = Extension(path);
    if (ext == ".exr") return layout == Layout::Float ? OIIO::TypeFloat : OIIO::TypeHalf;
    if (ext == ".jpg" || ext == ".jpeg") return OIIO::TypeUInt8;
    return IsEightBit(layout) ? OIIO::TypeUInt8 : OIIO::TypeUInt16;
}

void WriteImage(const std::string& path, const OIIO::ImageBuf& image, Layout layout) {
    const OIIO::ImageSpec& source = image.spec();
    const int width = source.width, height = source.height;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty() && !std::filesystem::is_directory(folder))
        throw Failure("cannot write '" + path + "': there is no folder '" + folder.string() + "'");
    auto output = OIIO::ImageOutput::create(path);
    if (!output)
        throw Failure("cannot write '" + path +
                      "': " + Reason(OIIO::geterror(), "no image format for this file name"));
    // Formats without alpha (JPEG) get the colour channels only.
    int channels = source.nchannels;
    if (channels == 4 && !output->supports("alpha")) channels = 3;

    OIIO::ImageSpec header(width, height, channels, FileTypeFor(path, layout));
    if (channels == 4) header.alpha_channel = 3;
    header.attribute("oiio:UnassociatedAlpha", 1);
    std::vector<float> pixels(static_cast<size_t>(width) * height * channels);
    image.get_pixels(
        OIIO::ROI(source.x, source.x + width, source.y, source.y + height, 0, 1, 0, channels),
        OIIO::TypeFloat, pixels.data());

    // Written beside the target under a name of its own, then renamed over it: a failure on
    // the way leaves the old file as it was.
    Temporary temporary(path + ".tesk-ae-" + std::to_string(::getpid()) + ".tmp");
    if (!output->open(temporary.Path(), header))
        throw Failure("cannot write '" + path +
                      "': " + Reason(output->geterror(), "the file could not be created"));
    if (!output->write_image(OIIO::TypeFloat, pixels.data()) || !output->close())
        throw Failure("cannot write '" + path +
                      "': " + Reason(output->geterror(), "the pixels could not be written"));
    std::error_code error;
    std::filesystem::rename(temporary.Path(), path, error);
    if (error) throw Failure("cannot write '" + path + "': " + error.message());
    temporary.Keep();
}

} // namespace cli
