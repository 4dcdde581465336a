#pragma once

// A CPU separable blur: each direction is a premultiplied weighted sum of the pixels the taps
// reach, positions beyond the picture clamped to its edge pixel (what the card's clamped,
// edge-repeated textures give), horizontal first. Weights are written from the kernel shapes'
// definitions, independently of the library's kernels.

#include "OpsReference.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tesk_test {

using Weights = std::vector<double>;

// A width of a pixel or less is one tap.
inline int Taps(double w) {
    return w > 1 ? static_cast<int>(std::ceil(w)) | 1 : 1;
}

inline Weights Normalised(Weights k) {
    double sum = 0;
    for (double v : k) sum += v;
    for (double& v : k) v /= sum;
    return k;
}

// Gaussian weights, spread s in half-widths.
inline Weights GaussianWeights(double w, double s) {
    Weights k(Taps(w));
    for (int i = 0; i < int(k.size()); ++i) {
        const double x = (i - (int(k.size()) - 1) / 2.0) / (w / 2.0);
        k[i] = std::exp(-x * x / (2 * s * s));
    }
    return Normalised(k);
}

// Ones, the two end taps cut to the part of a pixel the width covers.
inline Weights BoxWeights(double w) {
    Weights k(Taps(w), 1.0);
    if (k.size() > 1) k.front() = k.back() = 1 - (k.size() - w) / 2;
    return Normalised(k);
}

inline Weights PascalWeights(double w) {
    Weights k(1, 1.0);
    while (int(k.size()) < Taps(w)) {
        k.push_back(0);
        for (size_t i = k.size() - 1; i > 0; --i) k[i] += k[i - 1];
    }
    return Normalised(k);
}

// Taps beyond the triangle's foot weigh nothing; one that reaches no tap but the centre is the
// identity.
inline Weights TriangleWeights(double w) {
    Weights k(Taps(w));
    for (int i = 0; i < int(k.size()); ++i)
        k[i] = std::max(0.0, 1 - std::fabs(w / 2 - i) / (w / 2));
    double sum = 0;
    for (double v : k) sum += v;
    if (sum == 0) k[k.size() / 2] = 1;
    return Normalised(k);
}

inline Picture BlurPass(const Picture& p, const Weights& k, int dx, int dy) {
    Picture out(p.width, p.height);
    const int c = static_cast<int>(k.size() - 1) / 2;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            double sum[4] = {0, 0, 0, 0};
            for (int i = 0; i < static_cast<int>(k.size()); ++i) {
                const RGBA& s = p.At(std::clamp(x + (i - c) * dx, 0, p.width - 1),
                                     std::clamp(y + (i - c) * dy, 0, p.height - 1));
                for (int ch = 0; ch < 3; ++ch) sum[ch] += k[i] * s[3] * s[ch];
                sum[3] += k[i] * s[3];
            }
            out.At(x, y) = RGBA{float(sum[0]), float(sum[1]), float(sum[2]), float(sum[3])};
        }
    return out;
}

// Kernels of one tap each copy the source as it is.
inline Picture BlurReference(const Picture& p, const Weights& kx, const Weights& ky) {
    if (kx.size() <= 1 && ky.size() <= 1) return p;
    return BlurPass(BlurPass(p, kx, 1, 0), ky, 0, 1);
}

} // namespace tesk_test
