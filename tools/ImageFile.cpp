#include "tools/ImageFile.h"

#include "tools/Arguments.h"
#include "tools/Failure.h"

#include <OpenImageIO/imagebufalgo.h>
#include <OpenImageIO/imageio.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
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

// The system's words for an errno value, as the rest of a sentence: "no such file or directory".
std::string SystemReason(int error) {
    std::string text = std::generic_category().message(error);
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        while (!line.empty() && line.back() == ' ') line.pop_back();
        if (!line.empty()) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// Messages from a decoder and from what it printed, as one line: the same message reported
// twice (libpng prints what OpenImageIO then reports, with a prefix of its own) counts once,
// and a long run of them (one per strip of a damaged TIFF) is cut short with a count.
std::string Summary(const std::string& reported, const std::string& printed) {
    struct Message {
        std::string line, core;
    };
    std::vector<Message> kept;
    for (const std::string& line : SplitLines(reported + "\n" + printed)) {
        const size_t colon = line.find(": ");
        const std::string core = colon == std::string::npos ? line : line.substr(colon + 2);
        bool repeated = false;
        for (Message& other : kept) {
            if (other.line.find(core) != std::string::npos) {
                repeated = true;
            } else if (core.find(other.core) != std::string::npos) {
                // The fuller of the two says more.
                other = {line, core};
                repeated = true;
            }
            if (repeated) break;
        }
        if (!repeated) kept.push_back({line, core});
    }
    constexpr size_t kShown = 3;
    std::string summary;
    for (size_t i = 0; i < kept.size() && i < kShown; ++i)
        summary += (i ? "; " : "") + kept[i].line;
    if (kept.size() > kShown) summary += "; and " + std::to_string(kept.size() - kShown) + " more";
    return summary;
}

// Decoders (libpng, libtiff, ...) may write to stderr themselves, in lines of their own. While
// a file is read, stderr goes to a scratch file instead, so that the program can say what they
// wrote on the one line it reports.
class CaughtStderr {
public:
    CaughtStderr() {
        std::fflush(stderr);
        fScratch = std::tmpfile();
        if (fScratch) fSaved = ::dup(STDERR_FILENO);
        if (fSaved >= 0 && ::dup2(::fileno(fScratch), STDERR_FILENO) < 0) {
            ::close(fSaved);
            fSaved = -1;
        }
    }
    CaughtStderr(const CaughtStderr&) = delete;
    CaughtStderr& operator=(const CaughtStderr&) = delete;
    ~CaughtStderr() { Release(); }

    // Puts stderr back and returns what was written to it meanwhile.
    std::string Release() {
        std::string text;
        if (fSaved >= 0) {
            std::fflush(stderr);
            ::dup2(fSaved, STDERR_FILENO);
            ::close(fSaved);
            fSaved = -1;
            std::rewind(fScratch);
            char chunk[512];
            size_t n;
            while ((n = std::fread(chunk, 1, sizeof chunk, fScratch)) > 0 && text.size() < 4096)
                text.append(chunk, n);
        }
        if (fScratch) std::fclose(fScratch);
        fScratch = nullptr;
        return text;
    }

private:
    std::FILE* fScratch = nullptr;
    int fSaved = -1;
};

// The half-written file of the write in progress, for the signal handlers, which may run on any
// thread: they may only read plain memory and lock-free atomics.
char sPending[4096];
std::atomic<bool> sHasPending{false};

extern "C" void RemovePendingAndStop(int signal) {
    if (sHasPending) ::unlink(sPending);
    // Ended as the signal would have ended it, so that the caller sees why.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Handlers for the signals that stop the program from a terminal or from a job system; a
// signal the program was started ignoring stays ignored.
void CatchStopSignals() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int signal : {SIGINT, SIGTERM}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
        struct sigaction handler {};
        handler.sa_handler = RemovePendingAndStop;
        sigemptyset(&handler.sa_mask);
        ::sigaction(signal, &handler, nullptr);
    }
}

// Removes a half-written file unless the write got as far as renaming it, also when the
// program is stopped by a signal meanwhile.
class Temporary {
public:
    explicit Temporary(std::string path) : fPath(std::move(path)) {
        CatchStopSignals();
        if (fPath.size() < sizeof sPending) {
            sHasPending = false;
            std::memcpy(sPending, fPath.c_str(), fPath.size() + 1);
            sHasPending = true;
        }
    }
    ~Temporary() {
        sHasPending = false;
        if (!fKept) std::remove(fPath.c_str());
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;
    const std::string& Path() const { return fPath; }
    void Keep() {
        sHasPending = false;
        fKept = true;
    }

private:
    std::string fPath;
    bool fKept = false;
};

// The pixels of a float buffer as plain rows, where the buffer keeps them so; a copy otherwise.
const float* Pixels(const OIIO::ImageBuf& image, std::vector<float>& copy) {
    const OIIO::ImageSpec& header = image.spec();
    if (image.localpixels() && header.format == OIIO::TypeFloat &&
        image.pixel_stride() == static_cast<OIIO::stride_t>(header.nchannels * sizeof(float)) &&
        image.scanline_stride() == image.pixel_stride() * header.width)
        return static_cast<const float*>(image.localpixels());
    copy.resize(static_cast<size_t>(header.width) * header.height * header.nchannels);
    image.get_pixels(image.roi(), OIIO::TypeFloat, copy.data());
    return copy.data();
}

bool IsOpaque(const float* rgba, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (rgba[i * 4 + 3] != 1.0f) return false;
    return true;
}

bool IsGrey(const float* rgba, size_t count) {
    for (const float* p = rgba; p < rgba + count * 4; p += 4)
        if (p[0] != p[1] || p[1] != p[2]) return false;
    return true;
}

// The channels written of an RGBA buffer, as indices into it: the storage's, widened to what
// the pixels need.
std::vector<int> ChannelsToWrite(const float* rgba, size_t count, int stored, bool alphaAllowed,
                                 bool greyAlphaAllowed) {
    bool colour = stored >= 3 || !IsGrey(rgba, count);
    const bool alpha = alphaAllowed && (stored == 2 || stored >= 4 || !IsOpaque(rgba, count));
    if (alpha && !colour && !greyAlphaAllowed) colour = true;
    std::vector<int> channels = colour ? std::vector<int>{0, 1, 2} : std::vector<int>{0};
    if (alpha) channels.push_back(3);
    return channels;
}

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

namespace {

// What a command holds for each pixel of a frame it works on: the frames read as float RGBA
// (lent to the library as they are), the result (written over an input where the operation
// allows), the driver's textures. Three frames and the tiles: a mask or composite reads three
// inputs. Measured peaks on 4K float frames, over the same command on a tiny frame: blend 36
// bytes a pixel, blur 38, copy 33.
constexpr double kBytesPerFramePixel = 56.0;
// What a file is decoded through at a time, beside the frame.
constexpr size_t kBandBytes = size_t(8) << 20;

// The memory the system can still give without swapping: MemAvailable of /proc/meminfo, in
// bytes; 0 where it cannot say.
double AvailableMemory() {
    std::FILE* file = std::fopen("/proc/meminfo", "r");
    if (!file) return 0.0;
    char line[256];
    double kib = 0.0;
    while (std::fgets(line, sizeof line, file))
        if (std::sscanf(line, "MemAvailable: %lf kB", &kib) == 1) break;
    std::fclose(file);
    return kib * 1024.0;
}

std::string Gigabytes(double bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f GB", bytes / 1e9);
    return text;
}

} // namespace

OIIO::ImageBuf ReadImage(const std::string& path, Storage* storage, std::string* warning,
                         double maxMemory) {
    const std::string failed = "cannot read '" + path + "': ";
    if (std::filesystem::is_directory(path)) throw Failure(failed + "it is a folder");
    // OpenImageIO says only that it could not open the file; the system says why. Opened
    // without waiting, which a FIFO would do for a writer that never comes.
    const int probe = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (probe < 0) throw Failure(failed + SystemReason(errno));
    struct stat status {};
    const bool regular = ::fstat(probe, &status) == 0 && S_ISREG(status.st_mode);
    ::close(probe);
    if (!regular) throw Failure(failed + "it is not a regular file");

    CaughtStderr caught;
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto input = OIIO::ImageInput::open(path, &config);
    if (!input) {
        const std::string reported = OIIO::geterror();
        throw Failure(failed + Reason(Summary(reported, caught.Release()),
                                      "not an image file OpenImageIO knows"));
    }
    const OIIO::ImageSpec header = input->spec();
    const int width = header.width, height = header.height, channels = header.nchannels;
    if (width < 1 || height < 1 || channels < 1) throw Failure(failed + "the image is empty");
    if (width > kMaxDimension || height > kMaxDimension)
        throw Failure(failed + "it is " + std::to_string(width) + " x " + std::to_string(height) +
                      ", larger than the " + std::to_string(kMaxDimension) +
                      " pixels a side the program takes");
    // Checked before any buffer is made: the allocations that would fail are the decoder's and
    // the library's as much as this one, and none of them is recovered from cleanly.
    const double needed = double(width) * double(height) * kBytesPerFramePixel;
    const double available = AvailableMemory();
    const bool capped = maxMemory > 0.0 && (available <= 0.0 || maxMemory < available);
    const double most = capped ? maxMemory : available;
    if (most > 0.0 && needed > most)
        throw Failure(failed + "its " + std::to_string(width) + " x " + std::to_string(height) +
                      " pixels need about " + Gigabytes(needed) + " to work on, more than the " +
                      Gigabytes(most) +
                      (capped ? " that --max-memory allows" : " of memory available"));
    int alpha = header.alpha_channel;
    if (alpha < 0 && channels == 2) alpha = 1;
    if (alpha < 0 && channels >= 4) alpha = 3;
    const bool grey = channels < 3;
    OIIO::ImageBuf rgba(OIIO::ImageSpec(width, height, 4, OIIO::TypeFloat),
                        OIIO::InitializePixels::No);
    auto* out = static_cast<float*>(rgba.localpixels());
    if (!out) throw Failure(failed + "there is no memory for its pixels");
    const size_t count = static_cast<size_t>(width) * height;
    // Files whose channels lie as the buffer keeps them (grey or colour first, alpha last) are
    // decoded straight into it and spread out in place; others go through a band of their own.
    // Scanline files are decoded a band at a time.
    const bool inPlace = channels <= 4 && alpha == (channels % 2 == 0 ? channels - 1 : -1);
    const size_t fileRow = static_cast<size_t>(width) * channels * sizeof(float);
    // Whole multiples of 64 rows where the band holds that many, so that the file's blocks of
    // rows (16 or 32 in EXR) are not split between two bands and decoded twice.
    size_t bandRows = std::max<size_t>(kBandBytes / fileRow, 1);
    if (bandRows >= 64) bandRows -= bandRows % 64;
    const bool tiled = header.tile_width > 0;
    const int band = tiled ? height : static_cast<int>(std::min<size_t>(bandRows, height));
    std::vector<float> pixels(inPlace ? 0 : static_cast<size_t>(band) * width * channels);
    const auto spread = [&](size_t first, size_t end) {
        for (size_t i = first; i < end; ++i) {
            float* pixel = out + i * 4;
            const float* in = inPlace ? pixel : &pixels[(i - first) * channels];
            const float a = alpha >= 0 ? in[alpha] : 1.0f;
            pixel[0] = in[0];
            pixel[1] = grey ? in[0] : in[1];
            pixel[2] = grey ? in[0] : in[2];
            pixel[3] = a;
        }
    };
    // A band is decoded in the file's own format and converted here: OpenImageIO converts
    // through a 64 MB buffer of its own on every call. Float RGBA goes straight into the frame.
    const bool perChannel = !header.channelformats.empty();
    const bool direct = header.format == OIIO::TypeFloat && !perChannel && channels == 4 && inPlace;
    const size_t nativeRow = static_cast<size_t>(width) * header.pixel_bytes(true);
    std::vector<char> native(direct || perChannel || tiled ? 0 : band * nativeRow);
    bool read = true;
    for (int y = 0; read && y < height; y += band) {
        const int rows = std::min(band, height - y);
        float* into = inPlace ? out + static_cast<size_t>(y) * width * 4 : pixels.data();
        const OIIO::stride_t xstride = (inPlace ? 4 : channels) * sizeof(float);
        const int y0 = header.y + y, y1 = y0 + rows;
        if (tiled)
            read = input->read_image(0, 0, 0, channels, OIIO::TypeFloat, into, xstride);
        else if (direct)
            read = input->read_native_scanlines(0, 0, y0, y1, 0, into);
        else if (perChannel)
            read =
                input->read_scanlines(0, 0, y0, y1, 0, 0, channels, OIIO::TypeFloat, into, xstride);
        else
            read = input->read_native_scanlines(0, 0, y0, y1, 0, native.data()) &&
                   OIIO::convert_image(channels, width, rows, 1, native.data(), header.format,
                                       OIIO::AutoStride, OIIO::AutoStride, OIIO::AutoStride, into,
                                       OIIO::TypeFloat, xstride, xstride * width, OIIO::AutoStride);
        if (read && (channels < 4 || !inPlace))
            spread(static_cast<size_t>(y) * width, static_cast<size_t>(y + rows) * width);
    }
    const std::string reported = input->geterror();
    input->close();
    const std::string messages = Summary(reported, caught.Release());
    if (!read) throw Failure(failed + Reason(messages, "the pixels could not be decoded"));
    if (!messages.empty()) {
        const std::string line = "tesk-ae: warning: '" + path + "': " + messages + "\n";
        if (warning)
            *warning += line;
        else
            std::fputs(line.c_str(), stderr);
    }
    // NaN and infinite values are read as 0, as oiiotool's --fixnan black does: through the
    // card they spread unevenly (a NaN back fills its pixels, a NaN front vanishes under a
    // blend, an infinite mask turns a whole composite to NaN), never into anything useful.
    size_t fixed = 0;
    if (header.format.is_floating_point())
        for (float *v = out, *end = out + count * 4; v != end; ++v)
            if (!std::isfinite(*v)) *v = 0.0f, ++fixed;
    if (fixed) {
        const std::string line = "tesk-ae: warning: '" + path + "': " + std::to_string(fixed) +
                                 " values were NaN or infinite and are read as 0\n";
        if (warning)
            *warning += line;
        else
            std::fputs(line.c_str(), stderr);
    }
    if (storage) {
        storage->channels = (grey ? 1 : 3) + (alpha >= 0 ? 1 : 0);
        storage->type = header.format;
        const int bits = header.get_int_attribute("oiio:BitsPerSample", 0);
        storage->bits = bits > 0 && bits < static_cast<int>(header.format.size()) * 8 ? bits : 0;
        storage->windows = true;
        storage->x = header.x;
        storage->y = header.y;
        storage->display = OIIO::ROI(header.full_x, header.full_x + header.full_width,
                                     header.full_y, header.full_y + header.full_height);
    }
    return rgba;
}

OIIO::TypeDesc FileTypeFor(const std::string& path, Layout layout) {
    const std::string ext = Extension(path);
    if (ext == ".exr") return layout == Layout::Float ? OIIO::TypeFloat : OIIO::TypeHalf;
    if (ext == ".jpg" || ext == ".jpeg") return OIIO::TypeUInt8;
    return IsEightBit(layout) ? OIIO::TypeUInt8 : OIIO::TypeUInt16;
}

void CheckOutput(const std::string& path) {
    const std::string failed = "cannot write '" + path + "': ";
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty() && !std::filesystem::is_directory(folder))
        throw Failure(failed + "there is no folder '" + folder.string() + "'");
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return;
    if (S_ISDIR(status.st_mode)) throw Failure(failed + "it is a folder");
    // Renaming over a file needs no right to the file itself; a file nobody may write to is
    // one its owner meant to keep (the superuser's access() would say yes to it).
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0)
        throw Failure(failed + "the file there is read-only");
}

void WriteImage(const std::string& path, const OIIO::ImageBuf& image, Layout layout,
                const Storage& storage) {
    const OIIO::ImageSpec& source = image.spec();
    const int width = source.width, height = source.height;
    CheckOutput(path);
    auto output = OIIO::ImageOutput::create(path);
    if (!output)
        throw Failure("cannot write '" + path +
                      "': " + Reason(OIIO::geterror(), "no image format for this file name"));
    std::vector<float> copy;
    const float* pixels = Pixels(image, copy);
    const size_t count = static_cast<size_t>(width) * height;
    // DPX has no grey-and-alpha pictures (OpenImageIO stops the program on one).
    const std::string ext = Extension(path);
    const std::vector<int> channels =
        source.nchannels == 1
            ? std::vector<int>{0}
            : ChannelsToWrite(pixels, count, storage.channels, output->supports("alpha"),
                              ext != ".dpx" && ext != ".cin");
    const int written = static_cast<int>(channels.size());

    OIIO::TypeDesc type = storage.type;
    if (type == OIIO::TypeUnknown) type = FileTypeFor(path, layout);
    OIIO::ImageSpec header(width, height, written, type);
    if (written == 1) header.channelnames = {"Y"};
    if (written == 2) header.channelnames = {"Y", "A"};
    if (written >= 2 && channels.back() == 3) header.alpha_channel = written - 1;
    if (storage.bits > 0) header.attribute("oiio:BitsPerSample", storage.bits);
    // The same frame gives the same file, whenever and wherever it is made (a farm's tasks, a
    // rerun): OpenEXR's writer would otherwise stamp the time of writing into the header.
    header.attribute("DateTime", "");
    if (storage.windows) {
        header.x = storage.x;
        header.y = storage.y;
        if (storage.display.defined()) {
            header.full_x = storage.display.xbegin;
            header.full_y = storage.display.ybegin;
            header.full_width = storage.display.width();
            header.full_height = storage.display.height();
        }
    }
    header.attribute("oiio:UnassociatedAlpha", 1);
    // The encoder takes each pixel's leading channels straight from the buffer; grey and alpha,
    // which are not neighbours there, are gathered first.
    OIIO::stride_t pixelBytes = source.nchannels * sizeof(float);
    if (channels.back() != written - 1) {
        std::vector<float> gathered(count * written);
        for (size_t i = 0; i < count; ++i)
            for (int c = 0; c < written; ++c)
                gathered[i * written + c] = pixels[i * source.nchannels + channels[c]];
        copy.swap(gathered);
        pixels = copy.data();
        pixelBytes = written * sizeof(float);
    }

    // Written beside the target under a name of its own, then renamed over it: a failure on
    // the way leaves the old file as it was.
    Temporary temporary(path + ".tesk-ae-" + std::to_string(::getpid()) + ".tmp");
    if (!output->open(temporary.Path(), header))
        throw Failure("cannot write '" + path +
                      "': " + Reason(output->geterror(), "the file could not be created"));
    if (!output->write_image(OIIO::TypeFloat, pixels, pixelBytes) || !output->close())
        throw Failure("cannot write '" + path +
                      "': " + Reason(output->geterror(), "the pixels could not be written"));
    std::error_code error;
    std::filesystem::rename(temporary.Path(), path, error);
    if (error) throw Failure("cannot write '" + path + "': " + error.message());
    temporary.Keep();
}

bool IsWrittenImage(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    CaughtStderr caught;
    auto input = OIIO::ImageInput::open(path);
    OIIO::geterror(); // a failure's text is not wanted here
    return input && input->spec().width > 0 && input->spec().height > 0;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    CheckOutput(path);
    Temporary temporary(path + ".tesk-ae-" + std::to_string(::getpid()) + ".tmp");
    std::FILE* file = std::fopen(temporary.Path().c_str(), "wb");
    if (!file) throw Failure("cannot write '" + path + "': " + std::strerror(errno));
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int error = errno;
    if (std::fclose(file) != 0 || !written)
        throw Failure("cannot write '" + path + "': " + std::strerror(written ? errno : error));
    std::error_code renamed;
    std::filesystem::rename(temporary.Path(), path, renamed);
    if (renamed) throw Failure("cannot write '" + path + "': " + renamed.message());
    temporary.Keep();
}

} // namespace cli
