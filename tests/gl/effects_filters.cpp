#include "FloatTarget.h"
#include "GLTest.h"
#include "OpsReference.h"

#include "gl/effects/EffectProgram.h"
#include "gl/state/TextureState.h"
#include "math/Region.h"
#include "math/Vector.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace OGL_TESK_AE;
using tesk_test::Bilinear;
using tesk_test::FloatTarget;
using tesk_test::FloatTexture;
using tesk_test::Luma;
using tesk_test::Picture;
using tesk_test::Pixel;
using tesk_test::PixelsNear;
using tesk_test::RunOnWorker;

namespace {

// The threshold tests weigh channels thus; luma() uses 0.30, 0.59, 0.11.
float ThresholdLuma(const Pixel& p) {
    return 0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2];
}

Pixel Add(const Pixel& a, const Pixel& b, float weight) {
    return {a[0] + b[0] * weight, a[1] + b[1] * weight, a[2] + b[2] * weight, a[3] + b[3] * weight};
}

float Clamp01(float v) {
    return std::min(std::max(v, 0.0f), 1.0f);
}

// The texel at (x, y), edges clamped.
Pixel Texel(const Picture& p, int x, int y) {
    return Bilinear(p, x + 0.5, y + 0.5);
}

// Texels that vary in every channel without a pattern a mistaken index could hide behind.
Picture MakeImage(int width, int height) {
    Picture image(width, height);
    for (int i = 0; i < width * height; ++i) {
        const float k = static_cast<float>(i);
        image.pixels[i] = {std::fmod(k * 0.37f + 0.05f, 1.0f), std::fmod(k * 0.61f + 0.3f, 1.0f),
                           std::fmod(k * 0.13f + 0.6f, 1.0f), std::fmod(k * 0.29f + 0.1f, 1.0f)};
    }
    return image;
}

// Draws over the whole target with the program that is current, then leaves no program.
std::vector<Pixel> Draw(const FloatTarget& target, int width, int height) {
    EffectProgram::DrawRegion(Region(0, 0, width, height), GL_TEXTURE1);
    TESK_GL(glUseProgram)(0);
    return target.Read();
}

void ExpectNear(const std::vector<Pixel>& actual, const std::vector<Pixel>& expected, int width) {
    EXPECT_TRUE(
        PixelsNear(actual[0].data(), expected[0].data(), 4 * expected.size(), width, 1e-5f));
}

} // namespace

TEST(EffectPrograms, ThresholdKeepsBrightTexelsAndClearsTheRest) {
    RunOnWorker([] {
        const std::vector<Pixel> source = {{0.9f, 0.9f, 0.9f, 1.0f}, {0.1f, 0.2f, 0.1f, 0.8f},
                                           {1.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 1.0f, 0.0f, 0.5f},
                                           {0.0f, 0.0f, 1.0f, 1.0f}, {0.5f, 0.5f, 0.5f, 0.3f}};
        const int width = static_cast<int>(source.size());
        FloatTarget target(width, 1);
        ASSERT_TRUE(target.IsComplete());
        target.PixelProjection();
        FloatTexture texture(width, 1, source);
        const float threshold = 0.45f;
        EffectProgram::sThreshold.Apply();
        EffectProgram::sThreshold.SetUniform("threshold_source", TextureUnit(0));
        EffectProgram::sThreshold.SetUniform("threshold_luma", threshold);
        std::vector<Pixel> expected;
        for (const Pixel& s : source)
            expected.push_back(ThresholdLuma(s) < threshold ? Pixel{0, 0, 0, 0} : s);
        ExpectNear(Draw(target, width, 1), expected, width);
    });
}

TEST(EffectPrograms, GlowAddsTheBlurredCopyScaledByItsAlpha) {
    RunOnWorker([] {
        const Picture source = MakeImage(4, 2);
        Picture blurred = MakeImage(5, 2); // a different layout of values: another image
        blurred.width = 4;
        blurred.pixels.resize(8);
        FloatTarget target(4, 2);
        target.PixelProjection();
        FloatTexture original(4, 2, source.pixels, 0);
        FloatTexture halo(4, 2, blurred.pixels, 1);
        const float intensity = 1.5f; // enough to push some sums past 1
        EffectProgram::sGlow.Apply();
        EffectProgram::sGlow.SetUniform("glow_source", TextureUnit(0));
        EffectProgram::sGlow.SetUniform("glow_blurred", TextureUnit(1));
        EffectProgram::sGlow.SetUniform("glow_intensity", intensity);
        TextureUnit::Activate(GL_TEXTURE0);
        std::vector<Pixel> expected;
        bool clamped = false;
        for (size_t i = 0; i < source.pixels.size(); ++i) {
            const Pixel& o = source.pixels[i];
            const Pixel& b = blurred.pixels[i];
            const float k = b[3] * intensity;
            const Pixel raw = {b[0] * k + o[0], b[1] * k + o[1], b[2] * k + o[2], k + o[3]};
            clamped = clamped || raw[0] > 1 || raw[3] > 1;
            expected.push_back(
                {Clamp01(raw[0]), Clamp01(raw[1]), Clamp01(raw[2]), Clamp01(raw[3])});
        }
        EXPECT_TRUE(clamped) << "the data should exercise the clamp";
        ExpectNear(Draw(target, 4, 2), expected, 4);
    });
}

TEST(EffectPrograms, OneDimensionalBlursMatchTheirWeights) {
    RunOnWorker([] {
        const int length = 8;
        const Picture row = MakeImage(length, 2);
        // The same values running up a column, for the vertical blur.
        Picture column(2, length);
        for (int y = 0; y < length; ++y)
            for (int x = 0; x < 2; ++x) column.At(x, y) = row.At(y, x);

        for (float radius : {4.0f, 6.0f})
            for (bool vertical : {false, true}) {
                SCOPED_TRACE(std::to_string(radius) + (vertical ? " vertical" : " horizontal"));
                const Picture& image = vertical ? column : row;
                // Expected at (x + 0.5, y + 0.5): offsets 1.5, 3.5, ... up to the radius along
                // the blur, each weighted 1 - offset^2 / radius^2 on both sides, the coordinate
                // clamped to [0, size - 1] and sampled linearly.
                auto expected = [&](int x, int y) {
                    const float size = static_cast<float>(vertical ? image.height : image.width);
                    const float centre = (vertical ? y : x) + 0.5f;
                    auto sample = [&](float c) {
                        return vertical ? Bilinear(image, x + 0.5, c) : Bilinear(image, c, y + 0.5);
                    };
                    auto side = [&](float c) {
                        return sample(std::min(std::max(c, 0.0f), size - 1));
                    };
                    Pixel total = sample(centre);
                    float sum = 1.0f;
                    for (float offset = 1.5f; offset <= radius; offset += 2.0f) {
                        const float w = 1.0f - offset * offset / (radius * radius);
                        total = Add(Add(total, side(centre - offset), w), side(centre + offset), w);
                        sum += 2.0f * w;
                    }
                    return Pixel{Clamp01(total[0] / sum), Clamp01(total[1] / sum),
                                 Clamp01(total[2] / sum), Clamp01(total[3] / sum)};
                };
                FloatTarget target(image.width, image.height);
                target.PixelProjection();
                FloatTexture texture(image.width, image.height, image.pixels, 0, GL_LINEAR);
                EffectProgram& blur =
                    vertical ? EffectProgram::sVertBlur : EffectProgram::sHorizBlur;
                blur.Apply();
                blur.SetUniform("blur_source", TextureUnit(0));
                blur.SetUniform("blur_size", p2f(image.width, image.height));
                blur.SetUniform("blur_radius", radius);
                std::vector<Pixel> wanted;
                for (int y = 0; y < image.height; ++y)
                    for (int x = 0; x < image.width; ++x) wanted.push_back(expected(x, y));
                ExpectNear(Draw(target, image.width, image.height), wanted, image.width);
            }
    });
}

TEST(EffectPrograms, CommonFunctionsAreLinkedIntoEveryProgram) {
    RunOnWorker([] {
        const int size = 5;
        const Picture image = MakeImage(size, size);
        FloatTarget target(size, size);
        target.PixelProjection();
        FloatTexture texture(size, size, image.pixels, 0);

        GLSL::Shader measures(GL_FRAGMENT_SHADER, R"(#version 110
#extension GL_ARB_texture_rectangle : enable
uniform sampler2DRect source;
float luma( vec4 pixel );
float saturation( vec4 pixel );
void main()
{
    vec4 t = texture2DRect(source, gl_TexCoord[0].st);
    gl_FragColor = vec4(luma(t), saturation(t), 0.0, 1.0);
}
)");
        EffectProgram measure(&measures);
        measure.Apply();
        measure.SetUniform("source", TextureUnit(0));
        std::vector<Pixel> expected;
        for (const Pixel& t : image.pixels) // luma and saturation
            expected.push_back(
                {Luma(t), std::max({t[0], t[1], t[2]}) - std::min({t[0], t[1], t[2]}), 0, 1});
        ExpectNear(Draw(target, size, size), expected, size);

        GLSL::Shader blurring(GL_FRAGMENT_SHADER, R"(#version 110
#extension GL_ARB_texture_rectangle : enable
uniform sampler2DRect source;
uniform float threshold;
uniform float radius;
vec4 blur( sampler2DRect source, vec2 position, float threshold, float radius );
void main() { gl_FragColor = blur(source, gl_TexCoord[0].st, threshold, radius); }
)");
        EffectProgram blur(&blurring);
        const float threshold = 0.35f;
        for (const Pixel& p : image.pixels)
            ASSERT_GT(std::abs(ThresholdLuma(p) - threshold), 1e-3f) << "test data too close";
        for (float radius : {1.0f, 2.0f}) {
            SCOPED_TRACE(radius);
            blur.Apply();
            blur.SetUniform("source", TextureUnit(0));
            blur.SetUniform("threshold", threshold);
            blur.SetUniform("radius", radius);
            expected.clear();
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x) {
                    // Weights fall with the product of the squared offsets; dark texels count in
                    // the sum but add nothing.
                    Pixel total{};
                    float sum = 0.0f;
                    const int r = static_cast<int>(radius);
                    for (int dy = -r; dy <= r; ++dy)
                        for (int dx = -r; dx <= r; ++dx) {
                            const float w = 1.0f - float(dx * dx) * float(dy * dy) /
                                                       (radius * radius * radius * radius);
                            const Pixel t = Texel(image, x + dx, y + dy);
                            if (ThresholdLuma(t) >= threshold) total = Add(total, t, w);
                            sum += w;
                        }
                    expected.push_back(
                        {total[0] / sum, total[1] / sum, total[2] / sum, total[3] / sum});
                }
            ExpectNear(Draw(target, size, size), expected, size);
        }
    });
}
