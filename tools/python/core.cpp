// The compiled half of the tesk_ae Python module: the library's image operations on NumPy arrays
// of H x W x 4 channels that the Python half has checked and laid out (C-contiguous, uint8,
// uint16, float16 or float32). The arrays are handed to the library as they are, without a copy.
//
// NumPy keeps rows top-down. The library takes such frames through its conversion pass, which
// clamps float values to 0..1; handed over as bottom-up frames they move to and from the card as
// they are, so HDR values survive. The library then sees every picture upside down: operations
// that treat all pixels alike do not notice, and the Python half turns placements (the transform's
// position and rotations) over to match.

#include "common/Buffer.h"
#include "common/Reason.h"
#include "common/Shared.h"
#include "common/StaticList.h"
#include "common/XIImage.h"
#include "gl/context/HardwareInfo.h"
#include "gl/effects/ApplyMode.h"
#include "gl/effects/BlendOp.h"
#include "math/Color.h"
#include "math/Rotation.h"
#include "math/Vector.h"
#include "ops/BasicOps.h"
#include "ops/Blur.h"
#include "ops/Composite.h"
#include "ops/Transform.h"
#include "shaders/ShaderManager.h"
#include "tools/Catalogue.h"
#include "tools/Worker.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace py = pybind11;
using namespace OGL_TESK_AE;

namespace {

constexpr int32_t kRGBA = 0x52474241; // the four-character code "RGBA"

// An array as a host image: its own memory, rows as they lie.
class ArrayImage final : public XIImage {
public:
    ArrayImage(const py::array& array, const char* what, bool writable, bool bottomUp = true)
        : fBottomUp(bottomUp) {
        if (array.ndim() != 3 || array.shape(2) != 4 || !(array.flags() & py::array::c_style))
            throw std::invalid_argument(std::string(what) +
                                        ": the module hands over C-contiguous H x W x 4 arrays");
        const py::dtype type = array.dtype();
        if (type.is(py::dtype::of<uint8_t>())) {
            fDepth = 32, fWhite = 255;
        } else if (type.is(py::dtype::of<uint16_t>())) {
            fDepth = 64, fWhite = 65535;
        } else if (type.kind() == 'f' && type.itemsize() == 2) {
            fDepth = 64, fWhite = 1;
        } else if (type.is(py::dtype::of<float>())) {
            fDepth = 128, fWhite = 1;
        } else {
            throw std::invalid_argument(std::string(what) + ": unsupported type");
        }
        if (array.shape(0) > INT32_MAX / 2 || array.shape(1) > INT32_MAX / 16)
            throw std::invalid_argument(std::string(what) + ": too large");
        fWidth = static_cast<int32_t>(array.shape(1));
        fHeight = static_cast<int32_t>(array.shape(0));
        fRowBytes = fWidth * (fDepth / 8);
        fReadOnly = !writable;
        if (writable && !array.writeable())
            throw std::invalid_argument(std::string(what) + ": the array is read-only");
        fBase = const_cast<void*>(array.data());
    }

    bool IsReadOnly() const override { return fReadOnly; }
    int32_t GetWidth() const override { return fWidth; }
    int32_t GetHeight() const override { return fHeight; }
    int32_t GetRowBytes() const override { return fRowBytes; }
    void* GetBaseAddress() const override { return fBase; }
    int32_t GetColorSpace() const override { return kRGBA; }
    int32_t GetBitDepth() const override { return fDepth; }
    int32_t GetWhiteLevel() const override { return fWhite; }
    bool IsBottomUp() const override { return fBottomUp; }
    void* GetNative() const override { return nullptr; }

private:
    int32_t fWidth = 0, fHeight = 0, fRowBytes = 0, fDepth = 0, fWhite = 1;
    bool fReadOnly = true;
    bool fBottomUp = true;
    void* fBase = nullptr;
};

using Optional = std::optional<py::array>;

std::unique_ptr<ArrayImage> In(const py::array& array, const char* what) {
    return std::make_unique<ArrayImage>(array, what, false);
}

std::unique_ptr<ArrayImage> In(const Optional& array, const char* what) {
    return array ? In(*array, what) : nullptr;
}

std::unique_ptr<ArrayImage> Out(const py::array& array) {
    return std::make_unique<ArrayImage>(array, "out", true);
}

// Runs the call without the interpreter's lock (the library hands it to its worker thread and
// waits), then turns the library's reason for a refusal into RuntimeError.
template <class Call> void Run(Call call) {
    {
        py::gil_scoped_release unlocked;
        call();
    }
    const char* reason = LastOperationReason();
    if (reason && *reason) throw std::runtime_error(reason);
}

// std::out_of_range would reach Python as IndexError; a bad op is a bad argument.
const BlendOp& OpAt(int op) {
    try {
        return cli::BlendOpAt(op);
    } catch (const std::out_of_range&) {
        throw std::invalid_argument("op: no blend op " + std::to_string(op));
    }
}

Color ColorOf(const std::vector<float>& rgba) {
    if (rgba.size() != 4) throw std::invalid_argument("color: four values r, g, b, a");
    return Color(rgba[0], rgba[1], rgba[2], rgba[3]);
}

p3f Point(const std::vector<float>& v, const char* what) {
    if (v.size() != 3) throw std::invalid_argument(std::string(what) + ": three values");
    return p3f(v[0], v[1], v[2]);
}

// The library's buffers (from its memory cache, which belongs to the worker) are made, filled and
// read inside a job on the worker thread.

// One channel of the library's own buffer, read into a float array of its rows in memory order
// (which, the pictures being handed over upside down, is NumPy's).
template <class PixelType>
py::array_t<float> Plane(const XIImage* source, void (*get)(const XIImage*, Buffer<PixelType>*)) {
    const int width = source->GetWidth(), height = source->GetHeight();
    auto result = py::array_t<float>({height, width});
    float* out = result.mutable_data();
    std::string reason;
    {
        py::gil_scoped_release unlocked;
        const std::function<void()> job = [&] {
            Buffer<PixelType> plane;
            if (!plane.Resize(width, height)) {
                reason = "no memory for the result";
                return;
            }
            get(source, &plane);
            reason = LastOperationReason();
            if (!reason.empty()) return;
            for (int y = 0; y < height; ++y)
                std::memcpy(out + static_cast<size_t>(y) * width, plane.Row(y),
                            static_cast<size_t>(width) * sizeof(float));
        };
        std::string error;
        if (!cli::RunOnWorker(job, error) && reason.empty())
            reason = error.empty() ? "the library's worker failed" : error;
    }
    if (!reason.empty()) throw std::runtime_error(reason);
    return result;
}

// Runs job on the library's worker thread without the interpreter's lock; RuntimeError with the
// job's or the worker's error text when it failed.
void OnWorker(const std::function<void()>& job) {
    std::string error;
    {
        py::gil_scoped_release unlocked;
        const std::function<void()> guarded = [&] {
            try {
                job();
            } catch (const std::exception& e) {
                error = e.what();
            }
        };
        std::string failed;
        if (!cli::RunOnWorker(guarded, failed) && error.empty())
            error = failed.empty() ? "the library's worker failed" : failed;
    }
    if (!error.empty()) throw std::runtime_error(error);
}

} // namespace

PYBIND11_MODULE(_core, m) {
    m.doc() = "The compiled operations of tesk_ae; use the tesk_ae package.";

    // The module uses the library from its import to the interpreter's exit, where the last user
    // lets go of everything on the card and ends the library's worker thread.
    TESK_AE::StaticList::Increment();
    py::module_::import("atexit").attr("register")(py::cpp_function([] {
        py::gil_scoped_release unlocked;
        TESK_AE::StaticList::Decrement();
    }));

    m.def("premultiply", [](const py::array& src, const py::array& out) {
        auto s = In(src, "src");
        auto d = Out(out);
        Run([&] { Premultiply(s.get(), d.get()); });
    });
    m.def("copy", [](const py::array& src, const py::array& out) {
        auto s = In(src, "src");
        auto d = Out(out);
        Run([&] { Copy(s.get(), d.get()); });
    });
    m.def("resize", [](const py::array& src, const py::array& out) {
        auto s = In(src, "src");
        auto d = Out(out);
        Run([&] { Resize(s.get(), d.get()); });
    });
    m.def("fit", [](const py::array& src, const py::array& out) {
        auto s = In(src, "src");
        auto d = Out(out);
        Run([&] { FitInto(s.get(), d.get()); });
    });
    m.def("center", [](const py::array& src, const py::array& out) {
        auto s = In(src, "src");
        auto d = Out(out);
        Run([&] { Center(s.get(), d.get()); });
    });
    m.def("clear", [](const py::array& out, const std::vector<float>& color) {
        auto d = Out(out);
        const Color c = ColorOf(color);
        Run([&] { Clear(d.get(), c); });
    });
    m.def("copy_alpha", [](const py::array& src, const py::array& out) {
        auto s = In(src, "src");
        auto d = Out(out);
        Run([&] { CopyAlpha(s.get(), d.get()); });
    });
    m.def("mask", [](const py::array& mask, const py::array& image, const py::array& out,
                     const std::vector<float>& color, bool inverse) {
        auto k = In(mask, "mask");
        auto i = In(image, "image");
        auto d = Out(out);
        const Color c = ColorOf(color);
        Run([&] {
            if (inverse)
                RenderInvMask(k.get(), i.get(), d.get(), c);
            else
                RenderMask(k.get(), i.get(), d.get(), c);
        });
    });
    m.def("alpha", [](const py::array& src) {
        auto s = In(src, "src");
        return Plane<AlphaPixelType<float>>(s.get(), GetAlpha);
    });
    m.def("luma", [](const py::array& src) {
        auto s = In(src, "src");
        return Plane<LumaPixelType<float>>(s.get(), GetLuma);
    });
    m.def("blend", [](const py::array& front, const py::array& back, const Optional& mask,
                      const py::array& out, int mode, float mix) {
        auto f = In(front, "front");
        auto b = In(back, "back");
        auto k = In(mask, "mask");
        auto d = Out(out);
        Run([&] {
            ApplyMode::Apply(f.get(), b.get(), k.get(), d.get(), static_cast<PixelApplyMode>(mode),
                             mix);
        });
    });
    m.def("blur", [](const py::array& src, const py::array& out, float width, float height,
                     const std::string& kernel, float spread) {
        auto s = In(src, "src");
        auto d = Out(out);
        Run([&] {
            if (kernel == "box")
                BoxBlur(s.get(), d.get(), width, height);
            else if (kernel == "pascal")
                PascalBlur(s.get(), d.get(), width, height);
            else
                Blur(s.get(), d.get(), width, height, spread);
        });
    });
    m.def("composite", [](const py::array& fg, const py::array& bg, const Optional& mask,
                          const py::array& out, float opacity, int op) {
        auto f = In(fg, "fg");
        auto b = In(bg, "bg");
        auto k = In(mask, "mask");
        auto d = Out(out);
        const BlendOp& blend = OpAt(op);
        Run([&] { Composite(f.get(), b.get(), k.get(), d.get(), opacity, blend); });
    });
    m.def("composite_blurred",
          [](const std::vector<py::array>& layers, const py::array& bg, const py::array& out,
             const std::vector<std::vector<float>>& sizes, int op, bool unpremultiply) {
              if (layers.size() != sizes.size())
                  throw std::invalid_argument("sizes: one (width, height) for every layer");
              std::vector<std::unique_ptr<ArrayImage>> held;
              std::vector<const XIImage*> images;
              std::vector<p2f> blurs;
              for (size_t i = 0; i < layers.size(); ++i) {
                  held.push_back(In(layers[i], "layers"));
                  images.push_back(held.back().get());
                  if (sizes[i].size() != 2)
                      throw std::invalid_argument("sizes: two values for every layer");
                  blurs.push_back(p2f(sizes[i][0], sizes[i][1]));
              }
              auto b = In(bg, "bg");
              auto d = Out(out);
              const BlendOp& blend = OpAt(op);
              Run([&] {
                  CompositeBlurredImages(images.data(), b.get(), d.get(), blurs.data(),
                                         static_cast<int>(images.size()), blend, unpremultiply);
              });
          });
    m.def("transform", [](const py::array& front, const py::array& back, const Optional& mask,
                          const py::array& out, int mode, const std::vector<float>& position,
                          const std::vector<float>& scale, const std::vector<float>& rotation,
                          int order, int interpolation, int decimation) {
        auto f = In(front, "front");
        auto b = In(back, "back");
        auto k = In(mask, "mask");
        auto d = Out(out);
        const p3f at = Point(position, "position"), by = Point(scale, "scale"),
                  turned = Point(rotation, "rotation");
        Run([&] {
            Transform(f.get(), b.get(), k.get(), d.get(), static_cast<PixelApplyMode>(mode), at, by,
                      turned, static_cast<RotationOrder>(order),
                      static_cast<TransformInterpolationFilterType>(interpolation),
                      static_cast<TransformDecimationFilterType>(decimation));
        });
    });
    m.def("shaders", [](const std::string& root) {
        std::vector<cli::CatalogueEntry> entries;
        OnWorker([&] {
            ShaderManager::SetShaderPath(root.c_str());
            ShaderManager::Init();
            entries = cli::ListCatalogue();
        });
        py::list listed;
        for (const cli::CatalogueEntry& e : entries) {
            py::dict entry;
            entry["category"] = e.category;
            entry["name"] = e.name;
            entry["id"] = e.id;
            entry["group"] = e.group;
            entry["group_default"] = e.groupDefault;
            entry["kind"] = e.kind;
            entry["failure"] = e.failure;
            listed.append(entry);
        }
        return listed;
    });
    // Rows as tesk-ae writes them: the destination is handed over top-down, as the shader's
    // picture should come out (its values lie in 0..1, which the conversion keeps).
    m.def("render_shader",
          [](const std::string& root, const std::string& name, const py::array& out) {
              auto d = std::make_unique<ArrayImage>(out, "out", true, false);
              OnWorker([&] {
                  ShaderManager::SetShaderPath(root.c_str());
                  ShaderManager::Init();
                  const Shader* shader = ShaderManager::GetSurfaceShader(name.c_str());
                  if (!shader)
                      throw std::runtime_error("no surface shader '" + name + "' in " +
                                               ShaderManager::ShaderPath().str());
                  cli::DrawSurfaceShader(const_cast<Shader*>(shader), d.get());
              });
          });
    m.def("mode_name", [](int mode) -> py::object {
        const char* name = PixelApplyModeName(static_cast<PixelApplyMode>(mode));
        if (!name) return py::none();
        return py::str(name);
    });
    m.def("hardware_info", [] {
        py::gil_scoped_release unlocked;
        return HardwareInfoString();
    });
}
