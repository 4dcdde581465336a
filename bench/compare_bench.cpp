// The comparison: this library's exported operations and the same work done by the CPU
// libraries a plug-in author would pick instead, timed in one run on the same frames, with the
// ratio of each pair; the per-call overhead of small calls; and where the time of one 4K float
// Premultiply goes, from the library's phase timers.
//
//     tesk_bench [--reps=N] [--only=TEXT] [--breakdowns] [--keep-caches] [--no-table]
//                [--benchmark_filter=...]
//
// --reps: timed calls per case (default 7); --only: the cases whose name contains TEXT
// ("breakdown" for the Premultiply breakdown alone); --breakdowns: a phase breakdown for every
// case as well; --keep-caches: run all cases on one library state instead of letting go of the
// library (and its caches) before each case; --no-table: only the Google Benchmark cases.
//
// Google Benchmark's own cases (the marshalled-call round trip) run first; their flags are
// passed through.
#include "Implementation.h"

#include "common/PhaseTimer.h"
#include "common/StaticList.h"
#include "gl/context/HardwareInfo.h"

#include <benchmark/benchmark.h>

#include <GL/gl.h>

#ifdef TESK_BENCH_OPENCV
#include <opencv2/core/version.hpp>
#endif
#ifdef TESK_BENCH_OIIO
#include <OpenImageIO/oiioversion.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace tesk_bench {

namespace {

constexpr int kWidth = 3840;
constexpr int kHeight = 2160;
constexpr int kSmall = 64;

struct Options {
    int reps = 7;
    std::string only;
    bool table = true;
    bool breakdowns = false; // a phase breakdown of the library for every case
    bool keepCaches = false; // run the cases one after another on the same library state
};

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double Median(std::vector<double> v) {
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// Deterministic pixels in [0, 1], alpha spread over its whole range, so that premultiplying,
// masking and luma all have work to do.
void Fill(HostImage& image, uint32_t seed) {
    const Layout& layout = image.GetLayout();
    uint32_t state = seed * 2654435761u + 1u;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    const int values = image.Width() * layout.channels;
    for (int y = 0; y < image.Height(); ++y) {
        uint8_t* row = image.Row(y);
        if (layout.isFloat) {
            float* p = reinterpret_cast<float*>(row);
            for (int i = 0; i < values; ++i) p[i] = static_cast<float>(next() >> 8) / 16777215.0f;
        } else {
            for (int i = 0; i < values; ++i) row[i] = static_cast<uint8_t>(next() >> 24);
        }
    }
}

// Lets go of the library entirely (worker, context, caches) and takes it again; the next call
// starts it.
void ReleaseTesk() {
    TESK_AE::StaticList::Decrement();
    TESK_AE::StaticList::Increment();
}

// An input frame filled on first use.
class Frame {
public:
    Frame(const Layout& layout, int width, int height, uint32_t seed)
        : fLayout(layout), fWidth(width), fHeight(height), fSeed(seed) {}
    const HostImage& operator()() {
        if (!fImage) {
            fImage.reset(new HostImage(fLayout, fWidth, fHeight));
            Fill(*fImage, fSeed);
        }
        return *fImage;
    }

private:
    const Layout& fLayout;
    int fWidth, fHeight;
    uint32_t fSeed;
    std::unique_ptr<HostImage> fImage;
};

// Largest difference between two frames of one layout, as a fraction of white.
double MaxDifference(const HostImage& a, const HostImage& b) {
    const int channels = a.GetLayout().channels;
    double worst = 0.0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            for (int c = 0; c < channels; ++c)
                worst = std::max(worst, double(std::fabs(a.Get(x, y, c) - b.Get(x, y, c))));
    return worst;
}

// ---- Where the library's time goes ----

struct Breakdown {
    double total = 0.0; // per call, milliseconds, as the caller saw it: the median
    double mean = 0.0;  // and the mean, which the phase means add up to
    std::vector<double> phaseMs;
    std::vector<double> perCall;
};

void FinishFence() {
    glFinish();
}

// Phase totals of reps calls of op, per call.
Breakdown MeasureBreakdown(const std::function<void()>& op, bool fenced, int reps) {
    OGL_TESK_AE::PhaseTimes::SetFence(fenced ? &FinishFence : nullptr);
    op(); // warm the caches with the fence in place
    std::vector<double> totals;
    OGL_TESK_AE::PhaseTimes::Reset();
    for (int i = 0; i < reps; ++i) {
        const double start = Now();
        op();
        totals.push_back((Now() - start) * 1e3);
    }
    OGL_TESK_AE::PhaseTimes::SetFence(nullptr);
    Breakdown result;
    result.total = Median(totals);
    for (double t : totals) result.mean += t / reps;
    for (int p = 0; p < static_cast<int>(OGL_TESK_AE::Phase::Count); ++p) {
        const auto phase = static_cast<OGL_TESK_AE::Phase>(p);
        result.phaseMs.push_back(double(OGL_TESK_AE::PhaseTimes::Nanoseconds(phase)) / 1e6 / reps);
        result.perCall.push_back(double(OGL_TESK_AE::PhaseTimes::Count(phase)) / reps);
    }
    return result;
}

void PrintBreakdown(const std::string& title, const std::function<void()>& op, int reps) {
    const Breakdown plain = MeasureBreakdown(op, false, reps);
    const Breakdown fenced = MeasureBreakdown(op, true, reps);
    std::printf("\n### Where the time of one %s goes\n\n", title.c_str());
    std::printf("Phase times are means over %d calls. \"fenced\" runs glFinish at the start and "
                "end of every phase, so that\nwork the driver defers lands in the phase that "
                "issued it; \"plain\" is the unfenced run.\n\n",
                reps);
    std::printf("| Phase | per call | plain ms | fenced ms |\n|---|---:|---:|---:|\n");
    double plainSum = 0.0, fencedSum = 0.0;
    for (int p = 0; p < static_cast<int>(OGL_TESK_AE::Phase::Count); ++p) {
        std::printf("| %s | %.3g | %.2f | %.2f |\n",
                    OGL_TESK_AE::PhaseTimes::Name(static_cast<OGL_TESK_AE::Phase>(p)),
                    plain.perCall[p], plain.phaseMs[p], fenced.phaseMs[p]);
        plainSum += plain.phaseMs[p];
        fencedSum += fenced.phaseMs[p];
    }
    std::printf("| hand-over and caller side (rest) | | %.2f | %.2f |\n", plain.mean - plainSum,
                fenced.mean - fencedSum);
    std::printf("| **total per call (mean)** | | **%.2f** | **%.2f** |\n", plain.mean, fenced.mean);
    std::printf("| total per call (median) | | %.2f | %.2f |\n", plain.total, fenced.total);
    using OGL_TESK_AE::Phase;
    auto ms = [&](Phase p) { return fenced.phaseMs[static_cast<int>(p)]; };
    const double parts = ms(Phase::Upload) + ms(Phase::Draw) + ms(Phase::ReadBack);
    std::printf(
        "\nIts own parts (fenced upload + draw + read-back): %.2f ms; total / parts: %.2f\n", parts,
        fenced.mean / parts);
}

// ---- Google Benchmark cases, captured for the summary ----

class CapturingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.aggregate_name == "median")
                medians[run.run_name.function_name] = // microseconds
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) *
                    1e6;
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

// ---- The comparison table ----

struct Row {
    std::string operation;
    std::string layout;
    std::vector<double> ms;         // per implementation, NaN where not offered
    std::vector<double> difference; // each against the library's result
    std::string unit = "ms";
    bool byteOutput = false; // differences in steps of 1/255
};

class Comparison {
public:
    Comparison(const Options& options) : fOptions(options) {
        fImplementations.push_back(MakeTesk());
        for (auto& competitor : MakeCompetitors())
            fImplementations.push_back(std::move(competitor));
    }

    const std::vector<std::unique_ptr<Implementation>>& Implementations() const {
        return fImplementations;
    }
    const std::vector<Row>& Rows() const { return fRows; }

    // Runs op for every implementation: one call to warm up, then reps timed calls taken in
    // turns, so that a change of load on the machine falls on all of them alike. Each
    // implementation writes into an output of its own, compared with the library's at the end.
    void Run(const std::string& operation, const Layout& layout, const Layout& outputLayout,
             int outputWidth, int outputHeight,
             const std::function<bool(Implementation&, HostImage&)>& op) {
        Measure(operation, layout, outputLayout, outputWidth, outputHeight, op, 1, nullptr);
    }

    // Per-call time of a small call, from batches of calls. before runs after the library's
    // caches were emptied, ahead of the warm-up call. floor, when given, is timed in turns with
    // the implementations and reported as a row of its own (named floorName) ahead of theirs.
    void RunSmall(const std::string& operation, const Layout& layout,
                  const std::function<bool(Implementation&, HostImage&)>& op,
                  const std::function<void()>& before = nullptr,
                  const std::function<void(HostImage&)>& floor = nullptr,
                  const std::string& floorName = "") {
        fFloor = floor;
        fFloorName = floorName;
        Measure(operation, layout, layout, kSmall, kSmall, op, 200, before);
        fFloor = nullptr;
    }

private:
    // Times one case: each timed sample is a batch of calls, reported per call, in
    // milliseconds for single calls and microseconds for batches.
    void Measure(const std::string& operation, const Layout& layout, const Layout& outputLayout,
                 int outputWidth, int outputHeight,
                 const std::function<bool(Implementation&, HostImage&)>& op, int batch,
                 const std::function<void()>& before) {
        if (!Selected(operation + " " + layout.name)) return;
        const bool small = batch > 1;
        std::printf("  %-46s %-11s", (fFloor ? fFloorName : operation).c_str(), layout.name);
        std::fflush(stdout);
        const size_t n = fImplementations.size();
        std::vector<std::unique_ptr<HostImage>> outputs;
        for (size_t i = 0; i < n; ++i)
            outputs.emplace_back(new HostImage(outputLayout, outputWidth, outputHeight));
        ReleaseLibrary();
        if (before) before();
        std::vector<bool> offered(n);
        for (size_t i = 0; i < n; ++i) offered[i] = op(*fImplementations[i], *outputs[i]);
        std::vector<std::vector<double>> times(n);
        const double scale = (small ? 1e6 : 1e3) / batch;
        HostImage floorOutput(outputLayout, outputWidth, outputHeight);
        std::vector<double> floorTimes;
        if (fFloor) fFloor(floorOutput);
        for (int rep = 0; rep < fOptions.reps; ++rep) {
            if (fFloor) {
                const double start = Now();
                for (int k = 0; k < batch; ++k) fFloor(floorOutput);
                floorTimes.push_back((Now() - start) * scale);
            }
            for (size_t i = 0; i < n; ++i) {
                if (!offered[i]) continue;
                const double start = Now();
                for (int k = 0; k < batch; ++k) op(*fImplementations[i], *outputs[i]);
                times[i].push_back((Now() - start) * scale);
            }
        }
        if (fFloor) {
            Row floorRow{fFloorName, layout.name, {Median(floorTimes)}, {NAN}, "us", false};
            floorRow.ms.resize(n, NAN);
            floorRow.difference.resize(n, NAN);
            std::printf(" %10.2f   (microseconds per call, timed in turns with the next row)\n"
                        "  %-46s %-11s",
                        floorRow.ms[0], operation.c_str(), layout.name);
            fRows.push_back(floorRow);
        }
        Row row{operation, layout.name, {}, {}, small ? "us" : "ms", !outputLayout.isFloat};
        for (size_t i = 0; i < n; ++i) {
            row.ms.push_back(offered[i] ? Median(times[i]) : NAN);
            row.difference.push_back(offered[i] && i ? MaxDifference(*outputs[0], *outputs[i])
                                                     : NAN);
            std::printf(" %10.2f", row.ms.back());
        }
        std::printf(small ? "   (microseconds per call)\n" : "\n");
        fRows.push_back(row);
        if (fOptions.breakdowns)
            PrintBreakdown(
                operation + " " + layout.name, [&] { op(*fImplementations[0], *outputs[0]); },
                fOptions.reps);
    }

    // What one case leaves in the library's caches changes what the next one costs (see
    // docs/performance.md); unless asked to keep them, each case starts from a library
    // that was let go of entirely (worker, context and caches), the warm-up call then starting it.
    void ReleaseLibrary() const {
        if (!fOptions.keepCaches) ReleaseTesk();
    }

    bool Selected(const std::string& name) const {
        return fOptions.only.empty() || name.find(fOptions.only) != std::string::npos;
    }

    const Options& fOptions;
    std::vector<std::unique_ptr<Implementation>> fImplementations;
    std::vector<Row> fRows;
    std::function<void(HostImage&)> fFloor;
    std::string fFloorName;
};

constexpr const char* kBareRow = "Bare 64 x 64 draw and read-back";
constexpr const char* kSmallRow = "Premultiply 64 x 64, fresh caches";

// Small calls pay the per-call overhead: timed with fresh caches, and after one 4K float Resize
// has left its textures in the library's caches.
void RunSmallCases(Comparison& comparison, bool afterResize) {
    std::unique_ptr<HostImage> large, half;
    auto resize = [&] {
        large.reset(new HostImage(FloatRGBA(), kWidth, kHeight));
        half.reset(new HostImage(FloatRGBA(), kWidth / 2, kHeight / 2));
        comparison.Implementations()[0]->Resize(*large, *half);
    };
    for (const Layout* layout : {&FloatRGBA(), &ARGB8()}) {
        HostImage source(*layout, kSmall, kSmall);
        Fill(source, 3);
        // With fresh caches, the floor is timed in turns with the calls.
        comparison.RunSmall(
            afterResize ? std::string("Premultiply 64 x 64, after a 4K float Resize") : kSmallRow,
            *layout,
            [&](Implementation& impl, HostImage& out) { return impl.Premultiply(source, out); },
            afterResize ? std::function<void()>(resize) : nullptr,
            afterResize ? nullptr : std::function<void(HostImage&)>(BareDrawAndRead), kBareRow);
    }
}

void RunComparison(Comparison& comparison) {
    const Colour opaque{0.2f, 0.4f, 0.6f, 1.0f};
    const Colour maskColour{0.9f, 0.3f, 0.1f, 0.8f};
    std::printf("\n%-48s %-11s", "  operation", "layout");
    for (auto& implementation : comparison.Implementations())
        std::printf(" %10s", implementation->Name());
    std::printf("   (milliseconds, medians)\n");
    RunSmallCases(comparison, false);

    for (const Layout* layout : {&FloatRGBA(), &ARGB8()}) {
        const Layout& other = layout == &FloatRGBA() ? ARGB8() : FloatRGBA();
        // The input frames are made when the first selected case asks for them.
        Frame source(*layout, kWidth, kHeight, 1), mask(*layout, kWidth, kHeight, 2);
        comparison.Run(
            "Premultiply", *layout, *layout, kWidth, kHeight,
            [&](Implementation& impl, HostImage& out) { return impl.Premultiply(source(), out); });
        comparison.Run(
            std::string("Copy to ") + other.name, *layout, other, kWidth, kHeight,
            [&](Implementation& impl, HostImage& out) { return impl.Copy(source(), out); });
        comparison.Run(
            "Resize to 1920 x 1080", *layout, *layout, kWidth / 2, kHeight / 2,
            [&](Implementation& impl, HostImage& out) { return impl.Resize(source(), out); });
        comparison.Run(
            "Clear (opaque colour)", *layout, *layout, kWidth, kHeight,
            [&](Implementation& impl, HostImage& out) { return impl.Clear(out, opaque); });
        comparison.Run("RenderMask", *layout, *layout, kWidth, kHeight,
                       [&](Implementation& impl, HostImage& out) {
                           return impl.RenderMask(mask(), source(), out, maskColour);
                       });
        comparison.Run(
            "GetLuma", *layout, FloatLuma(), kWidth, kHeight,
            [&](Implementation& impl, HostImage& out) { return impl.GetLuma(source(), out); });
        for (const auto& [mode, name] : {std::pair<int, const char*>{0, "Blend Over (0)"},
                                         {3, "Blend Multiply (3)"},
                                         {4, "Blend Screen (4)"}})
            comparison.Run(name, *layout, *layout, kWidth, kHeight,
                           [&, mode = mode](Implementation& impl, HostImage& out) {
                               return impl.Blend(source(), mask(), out, mode);
                           });
        comparison.Run("Blur 21 (Gaussian, spread 0.85)", *layout, *layout, kWidth, kHeight,
                       [&](Implementation& impl, HostImage& out) {
                           return impl.GaussianBlur(source(), out, 21.0f, 0.85f);
                       });
        for (const auto& [width, name] :
             {std::pair<float, const char*>{21.0f, "BoxBlur 21"}, {301.0f, "BoxBlur 301"}})
            comparison.Run(name, *layout, *layout, kWidth, kHeight,
                           [&, width = width](Implementation& impl, HostImage& out) {
                               return impl.BoxBlur(source(), out, width);
                           });
        comparison.Run(
            "Composite over", *layout, *layout, kWidth, kHeight,
            [&](Implementation& impl, HostImage& out) { return impl.Over(source(), mask(), out); });
        comparison.Run("CompositeBlurredImages, 3 layers", *layout, *layout, kWidth, kHeight,
                       [&](Implementation& impl, HostImage& out) {
                           return impl.Glow(source(), mask(), mask(), out);
                       });
        for (const auto& [filter, name] :
             {std::pair<int, const char*>{0, "Transform 30 deg, 0.8, nearest"},
              {1, "Transform 30 deg, 0.8, linear"},
              {2, "Transform 30 deg, 0.8, Lanczos-3"}})
            comparison.Run(name, *layout, *layout, kWidth, kHeight,
                           [&, filter = filter](Implementation& impl, HostImage& out) {
                               return impl.Transform(source(), out, filter);
                           });
        // The library's other basic operations, timed for their floors alone.
        Frame part(*layout, 3000, 1600, 3);
        comparison.Run(
            "GetAlpha", *layout, FloatAlpha(), kWidth, kHeight,
            [&](Implementation& impl, HostImage& out) { return impl.GetAlpha(source(), out); });
        comparison.Run(
            "CopyAlpha", *layout, *layout, kWidth, kHeight,
            [&](Implementation& impl, HostImage& out) { return impl.CopyAlpha(mask(), out); });
        comparison.Run(
            "Center 3000 x 1600", *layout, *layout, kWidth, kHeight,
            [&](Implementation& impl, HostImage& out) { return impl.Center(part(), out); });
        comparison.Run(
            "FitInto 1920 x 1200", *layout, *layout, 1920, 1200,
            [&](Implementation& impl, HostImage& out) { return impl.FitInto(source(), out); });
    }
    RunSmallCases(comparison, true);
}

void PrintPremultiplyBreakdown(Implementation& tesk, int reps) {
    HostImage source(FloatRGBA(), kWidth, kHeight), destination(FloatRGBA(), kWidth, kHeight);
    HostImage back(FloatRGBA(), kWidth, kHeight);
    Fill(source, 4);
    Fill(back, 5);
    PrintBreakdown(
        "3840 x 2160 float Premultiply", [&] { tesk.Premultiply(source, destination); }, reps);
    PrintBreakdown(
        "3840 x 2160 float Blend Over (0)", [&] { tesk.Blend(source, back, destination, 0); },
        reps);
}

// ---- The summary ----

std::string MachineLine() {
    std::string cpu = "unknown CPU";
    std::ifstream info("/proc/cpuinfo");
    for (std::string line; std::getline(info, line);)
        if (line.rfind("model name", 0) == 0) {
            cpu = line.substr(line.find(':') + 2);
            break;
        }
    char text[512];
    std::snprintf(text, sizeof text, "%s, %u cores; OpenGL: %s, %s", cpu.c_str(),
                  std::thread::hardware_concurrency(), OGL_TESK_AE::GetCard().c_str(),
                  OGL_TESK_AE::GetVersion().c_str());
    return text;
}

std::string LoadAverage() {
    std::ifstream load("/proc/loadavg");
    std::string one, five;
    load >> one >> five;
    return one + " " + five;
}

std::string Ratio(double a, double b) {
    if (std::isnan(a) || std::isnan(b) || b <= 0.0) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", a / b);
    return text;
}

std::string Value(double v, int decimals = 1) {
    if (std::isnan(v)) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

std::string Difference(double v, bool byteOutput) {
    if (std::isnan(v)) return "n/a";
    char text[32];
    if (byteOutput)
        std::snprintf(text, sizeof text, "%.0f/255", std::round(v * 255.0));
    else
        std::snprintf(text, sizeof text, "%.1e", v);
    return text;
}

void PrintSummary(const Comparison& comparison, const CapturingReporter& reporter,
                  const std::string& loadBefore) {
    const auto& impls = comparison.Implementations();
    std::printf("\n### Comparison (medians)\n\n");
    std::printf("Machine: %s.\n", MachineLine().c_str());
    std::printf("Load average (1, 5 min) before: %s, after: %s.\n", loadBefore.c_str(),
                LoadAverage().c_str());
#ifdef TESK_BENCH_OPENCV
    std::printf("OpenCV %s. ", CV_VERSION);
#endif
#ifdef TESK_BENCH_OIIO
    std::printf("OpenImageIO %s. ", OIIO_VERSION_STRING);
#endif
    std::printf("Ratios are TESK time / competitor time: below 1 the library is faster.\n\n");
    std::printf("| Operation | Layout |");
    for (auto& impl : impls) std::printf(" %s |", impl->Name());
    for (size_t i = 1; i < impls.size(); ++i) std::printf(" TESK / %s |", impls[i]->Name());
    for (size_t i = 1; i < impls.size(); ++i) std::printf(" max diff %s |", impls[i]->Name());
    std::printf("\n|---|---|");
    for (size_t i = 0; i < 3 * impls.size() - 2; ++i) std::printf("---:|");
    std::printf("\n");
    for (const Row& row : comparison.Rows()) {
        std::printf("| %s | %s |", row.operation.c_str(), row.layout.c_str());
        for (double ms : row.ms) std::printf(" %s %s |", Value(ms).c_str(), row.unit.c_str());
        for (size_t i = 1; i < row.ms.size(); ++i)
            std::printf(" %s |", Ratio(row.ms[0], row.ms[i]).c_str());
        for (size_t i = 1; i < row.ms.size(); ++i)
            std::printf(" %s |", Difference(row.difference[i], row.byteOutput).c_str());
        std::printf("\n");
    }
    // The small call against its floor, both measured in this run.
    for (const Row& small : comparison.Rows())
        for (const Row& bare : comparison.Rows())
            if (small.operation == kSmallRow && bare.operation == kBareRow &&
                small.layout == bare.layout) {
                std::printf("| Premultiply 64 x 64 / bare draw and read-back | %s | %s |",
                            small.layout.c_str(), Ratio(small.ms[0], bare.ms[0]).c_str());
                for (size_t i = 0; i < 3 * impls.size() - 3; ++i) std::printf(" |");
                std::printf("\n");
            }
    const std::map<std::string, std::string> titles = {
        {"BM_EmptyMarshalledCall", "Empty marshalled call, round trip"},
        {"BM_EmptyHandOverWithoutContext", "Empty hand-over without context, round trip"}};
    for (const auto& [name, us] : reporter.medians) {
        const auto title = titles.find(name);
        std::printf("| %s | | %s us |",
                    title != titles.end() ? title->second.c_str() : name.c_str(),
                    Value(us, 2).c_str());
        for (size_t i = 0; i < 3 * impls.size() - 3; ++i) std::printf(" |");
        std::printf("\n");
    }
}

bool TakeOption(const char* arg, const char* name, std::string& value) {
    const size_t n = std::strlen(name);
    if (std::strncmp(arg, name, n) != 0 || arg[n] != '=') return false;
    value = arg + n + 1;
    return true;
}

} // namespace

} // namespace tesk_bench

int main(int argc, char** argv) {
    using namespace tesk_bench;
    Options options;
    std::vector<char*> passed{argv[0]};
    for (int i = 1; i < argc; ++i) {
        std::string value;
        if (TakeOption(argv[i], "--reps", value))
            options.reps = std::max(1, std::atoi(value.c_str()));
        else if (TakeOption(argv[i], "--only", value))
            options.only = value;
        else if (std::strcmp(argv[i], "--no-table") == 0)
            options.table = false;
        else if (std::strcmp(argv[i], "--breakdowns") == 0)
            options.breakdowns = true;
        else if (std::strcmp(argv[i], "--keep-caches") == 0)
            options.keepCaches = true;
        else
            passed.push_back(argv[i]);
    }
    int passedCount = static_cast<int>(passed.size());
    benchmark::Initialize(&passedCount, passed.data());
    if (benchmark::ReportUnrecognizedArguments(passedCount, passed.data())) return 1;

    const std::string loadBefore = LoadAverage();
    // The round-trip cases start and stop the library themselves; they run before it is held.
    CapturingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (!options.table) return 0;

    TESK_AE::StaticList::Increment();
    int result = 0;
    try {
        Comparison comparison(options);
        RunComparison(comparison);
        if (!options.keepCaches) ReleaseTesk();
        if (options.only.empty() || options.only == "breakdown")
            PrintPremultiplyBreakdown(*comparison.Implementations()[0], options.reps * 2);
        PrintSummary(comparison, reporter, loadBefore);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tesk_bench: %s\n", e.what());
        result = 1;
    }
    TESK_AE::StaticList::Decrement();
    return result;
}
