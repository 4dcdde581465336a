#pragma once

// What every GL test file needs: run code on the library's worker thread, where the offscreen
// context is current, and see its failures in the test that asked; read state and texels back
// with plain OpenGL calls; fill images and compare pixels. It brings the OpenGL headers, test
// images, texture buffers and the standard headers below with it.

#include "TestImage.h"

#include "common/Shared.h"
#include "gl/context/Implementation/EntryPoints.h"
#include "gl/texture/Implementation/Selection.h"
#include "gl/texture/TextureBuffer.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace tesk_test {

namespace detail {

struct WorkerCall {
    const std::function<void()>* body = nullptr;
    bool ran = false;
    std::string failure;
};

// Empties the context's error flags, naming each error found in failure.
inline void TakeErrors(const char* when, std::string& failure) {
    // Bounded: without a current context the loop must end too.
    for (int i = 0; i < 8; ++i) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR) break;
        char text[96];
        std::snprintf(text, sizeof text, "OpenGL error 0x%04X %s; ", error, when);
        failure += text;
    }
}

// An error pending when a task starts was left by a library call that ran on the worker before
// it; one pending when it ends, by the task. Either fails the test that asked, so that no error
// passes silently. The earlier one is named as such, since the call that left it may belong to
// an earlier test.
inline void RunCall(WorkerCall* call) {
    call->ran = true;
    TakeErrors("left by an earlier call on the worker", call->failure);
    try {
        (*call->body)();
    } catch (const std::exception& e) {
        call->failure += std::string("exception on the worker: ") + e.what();
    } catch (...) {
        call->failure += "non-standard exception on the worker";
    }
    TakeErrors("left by the task", call->failure);
}

} // namespace detail

// Runs body on the worker thread and returns whether it ran to its end without an exception.
// gtest assertions inside body count for the calling test (a failed ASSERT_* leaves body only);
// an exception, or a worker that could not run it (no context), is reported as a failure of
// the calling test. Called on the worker itself, it runs body in place.
inline bool RunOnWorker(const std::function<void()>& body) {
    detail::WorkerCall call;
    call.body = &body;
    if (!OGL_TESK_AE::Dispatch(&detail::RunCall, &call)) detail::RunCall(&call);
    if (!call.ran) {
        ADD_FAILURE() << "the worker did not run the task: " << OGL_TESK_AE::Shared::ErrorMessage();
        return false;
    }
    if (!call.failure.empty()) {
        ADD_FAILURE() << call.failure;
        return false;
    }
    return true;
}

// A test whose body (after the macro, in braces) runs on the worker thread, where the offscreen
// context is current.
#define TEST_ON_WORKER(suite, name)                                                                \
    void suite##name##OnWorker();                                                                  \
    TEST(suite, name) {                                                                            \
        RunOnWorker(suite##name##OnWorker);                                                        \
    }                                                                                              \
    void suite##name##OnWorker()

// Up to 16 values of a state variable (the rest zero).
inline std::array<GLint, 16> Integers(GLenum name) {
    std::array<GLint, 16> v{};
    glGetIntegerv(name, v.data());
    return v;
}
inline std::array<GLfloat, 16> Floats(GLenum name) {
    std::array<GLfloat, 16> v{};
    glGetFloatv(name, v.data());
    return v;
}
inline GLint Integer(GLenum name) {
    return Integers(name)[0];
}

// A parameter of the texture bound to target, or of one of its levels.
inline GLint TexParameter(GLenum target, GLenum name, int level = -1) {
    GLint v = 0;
    if (level < 0)
        glGetTexParameteriv(target, name, &v);
    else
        glGetTexLevelParameteriv(target, level, name, &v);
    return v;
}

inline GLuint CurrentProgram() {
    return static_cast<GLuint>(Integer(GL_CURRENT_PROGRAM));
}

// A quad at depth z, drawn with plain OpenGL.
inline void Quad(float x0, float y0, float x1, float y1, float z) {
    glBegin(GL_QUADS);
    glVertex3f(x0, y0, z);
    glVertex3f(x1, y0, z);
    glVertex3f(x1, y1, z);
    glVertex3f(x0, y1, z);
    glEnd();
}

// The lower-left width x height texels of a texture buffer, read through its framebuffer,
// bottom row first. T picks the type (8-bit, half float as bits, or float); format is GL_RGBA
// or a one-channel format.
template <class T = uint8_t>
std::vector<T> ReadTexels(OGL_TESK_AE::TextureBuffer* buffer, int width, int height,
                          GLenum format = GL_RGBA) {
    std::vector<T> texels(static_cast<size_t>(width) * height * (format == GL_RGBA ? 4 : 1));
    if (!buffer) {
        ADD_FAILURE() << "no texture to read";
        return texels;
    }
    OGL_TESK_AE::Selection<OGL_TESK_AE::TextureBuffer> selection(*buffer);
    EXPECT_TRUE(selection.IsSelected());
    const GLenum type = sizeof(T) == 1   ? GL_UNSIGNED_BYTE
                        : sizeof(T) == 2 ? GLenum(GL_HALF_FLOAT_ARB)
                                         : GLenum(GL_FLOAT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, format, type, texels.data());
    return texels;
}

// One texel as 8-bit RGBA.
inline std::array<uint8_t, 4> Texel(OGL_TESK_AE::TextureBuffer* buffer, int x, int y) {
    const std::vector<uint8_t> texels = ReadTexels(buffer, x + 1, y + 1);
    const uint8_t* t = &texels[(static_cast<size_t>(y) * (x + 1) + x) * 4];
    return {t[0], t[1], t[2], t[3]};
}

// Sets channel c of pixel x of memory row y to value(x, y, c) over the whole image, whose
// pixels are taken as channels of type T (uint32_t: one channel a pixel of 8-bit RGBA).
template <class T, class F> void FillChannels(TestImage& image, F value) {
    const int channels = image.BitDepth() / 8 / static_cast<int>(sizeof(T));
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x)
            for (int c = 0; c < channels; ++c)
                reinterpret_cast<T*>(image.Row(y))[x * channels + c] =
                    static_cast<T>(value(x, y, c));
}

// width x height pixels of `bytes` bytes each, row by row, pixel (x, y) copied from at(x, y).
template <class F> std::vector<uint8_t> Gather(int width, int height, int bytes, F at) {
    std::vector<uint8_t> out(static_cast<size_t>(width) * height * bytes);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            std::memcpy(&out[(static_cast<size_t>(y) * width + x) * bytes], at(x, y), bytes);
    return out;
}

// An image's pixel bytes without the row padding, memory rows in order or reversed.
inline std::vector<uint8_t> Pixels(TestImage& image, bool reversed = false) {
    const int bytes = image.BitDepth() / 8, last = image.Height() - 1;
    return Gather(image.Width(), image.Height(), bytes,
                  [&](int x, int y) { return image.Row(reversed ? last - y : y) + x * bytes; });
}

// Compares count values as pixels of `channels` values in rows `width` pixels wide. When any
// differs by more than tolerance it fails, naming how many do and the largest difference, with
// its pixel and channel. NaN matches only NaN.
template <class A, class B>
::testing::AssertionResult PixelsNear(const A& actual, const B& expected, size_t count, int width,
                                      double tolerance = 0, int channels = 4) {
    size_t differing = 0, worst = 0;
    double largest = 0;
    for (size_t i = 0; i < count; ++i) {
        const double a = static_cast<double>(actual[i]), e = static_cast<double>(expected[i]);
        if (a == e || (std::isnan(a) && std::isnan(e))) continue;
        const double d = std::isnan(a - e) ? INFINITY : std::fabs(a - e);
        if (d <= tolerance) continue;
        if (differing++ == 0 || d > largest) largest = d, worst = i;
    }
    if (differing == 0) return ::testing::AssertionSuccess();
    const size_t pixel = worst / channels;
    return ::testing::AssertionFailure()
           << differing << " of " << count << " values differ; the largest, " << largest << ", at ("
           << pixel % width << ", " << pixel / width << ") channel " << worst % channels << ": "
           << static_cast<double>(actual[worst]) << " for " << static_cast<double>(expected[worst]);
}

// The same over two runs of RGBA pixels.
template <class T>
::testing::AssertionResult PixelsNear(const std::vector<std::array<T, 4>>& actual,
                                      const std::vector<std::array<T, 4>>& expected, int width,
                                      double tolerance = 0) {
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure()
               << actual.size() << " pixels for " << expected.size() << " expected";
    return PixelsNear(&actual[0][0], &expected[0][0], actual.size() * 4, width, tolerance);
}

// The same, exactly, over two whole byte vectors (bytes a pixel in `channels`).
inline ::testing::AssertionResult SameBytes(const std::vector<uint8_t>& actual,
                                            const std::vector<uint8_t>& expected, int width,
                                            int channels = 4) {
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure()
               << actual.size() << " bytes for " << expected.size() << " expected";
    return PixelsNear(actual, expected, actual.size(), width, 0, channels);
}

} // namespace tesk_test
