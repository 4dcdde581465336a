#include "ops/Implementation/Kernel.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace OGL_TESK_AE;

struct KernelCase {
    const char* name;
    void (*make)(Kernel&, float);
    float width;
    std::vector<float> weights;
};

void Gaussian(Kernel& k, float w) {
    GaussianKernel(k, w, 1.0f);
}
void Narrowest(Kernel& k, float w) {
    GaussianKernel(k, w, 0.0f);
}

TEST(Kernel, ShapesGiveTheirWeightsAndSumToOne) {
    const std::vector<KernelCase> cases = {
        {"box 4", BoxKernel, 4.0f, {0.125f, 0.25f, 0.25f, 0.25f, 0.125f}},
        {"box 3", BoxKernel, 3.0f, {1 / 3.0f, 1 / 3.0f, 1 / 3.0f}},
        {"pascal 5", PascalKernel, 5.0f, {1 / 16.0f, 4 / 16.0f, 6 / 16.0f, 4 / 16.0f, 1 / 16.0f}},
        {"triangle 4", TriangleKernel, 4.0f, {0.0f, 0.25f, 0.5f, 0.25f, 0.0f}},
        {"triangle 3", TriangleKernel, 3.0f, {0.0f, 0.5f, 0.5f}},
        {"gaussian 0.5", Gaussian, 0.5f, {1.0f}},
        {"box 2.2", BoxKernel, 2.2f, {0.6f / 2.2f, 1 / 2.2f, 0.6f / 2.2f}},
        {"box 1.5", BoxKernel, 1.5f, {1 / 6.0f, 2 / 3.0f, 1 / 6.0f}},
        // Reaching a neighbour only beyond the triangle's foot.
        {"triangle 1.5", TriangleKernel, 1.5f, {0.0f, 1.0f, 0.0f}},
        {"triangle 3.5", TriangleKernel, 3.5f, {0.0f, 1 / 3.0f, 0.5f, 1 / 6.0f, 0.0f}},
        {"gaussian spread 0", Narrowest, 3.0f, {0.0f, 1.0f, 0.0f}},
        {"negative width", BoxKernel, -3.0f, {1.0f}},
    };
    for (const KernelCase& c : cases) {
        Kernel k;
        c.make(k, c.width);
        ASSERT_EQ(k.Size(), static_cast<int>(c.weights.size())) << c.name;
        for (int i = 0; i < k.Size(); ++i) EXPECT_NEAR(k[i], c.weights[i], 1e-6f) << c.name << i;
        EXPECT_NEAR(k.Sum(), 1.0f, 1e-6f) << c.name;
    }
}

// The property every filter owes a flat field: whatever the width, the weights sum to 1 and none
// is negative or above 1; the tap count is odd, and all but the triangle (its peak at w / 2) are
// symmetric about the centre tap.
TEST(Kernel, EveryShapeAndWidthSumsToOneWithoutNegativeWeights) {
    const std::vector<std::pair<const char*, void (*)(Kernel&, float)>> shapes = {
        {"box", BoxKernel},
        {"triangle", TriangleKernel},
        {"pascal", PascalKernel},
        {"gaussian", Gaussian},
        {"gaussian 0.85", [](Kernel& k, float w) { GaussianKernel(k, w, 0.85f); }}};
    for (const auto& [name, make] : shapes)
        for (float w = 0.25f; w <= 300.0f; w *= 1.19f) {
            Kernel k;
            make(k, w);
            ASSERT_EQ(k.Size() % 2, 1) << name << " " << w;
            EXPECT_NEAR(k.Sum(), 1.0f, 1e-5f) << name << " " << w;
            for (int i = 0; i < k.Size(); ++i)
                ASSERT_TRUE(k[i] >= 0.0f && k[i] <= 1.0f) << name << " " << w << ": " << k[i];
            EXPECT_TRUE(make == TriangleKernel || k[0] == k[k.Size() - 1]) << name << " " << w;
        }
}

} // namespace
