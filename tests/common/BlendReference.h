#pragma once

// The numbered blend modes on the CPU, written from their formulas: each apply() on
// premultiplied colours, and the steps around it (premultiply both, apply, clamp, mix with the
// back, unpremultiply). Doubles, so that the card's rounding is the only rounding compared.

#include "HostLayouts.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tesk_test {

using Blend4 = std::array<double, 4>;

inline double BlendLuma(const Blend4& p) {
    return p[0] * 0.30 + p[1] * 0.59 + p[2] * 0.11;
}
inline double BlendSat(const Blend4& p) {
    return std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]});
}

// apply() of mode on premultiplied fg and bg; r is rand() where the mode draws one.
inline Blend4 ApplyReference(int mode, const Blend4& fg, const Blend4& bg, double r = 0.5) {
    Blend4 o = fg;
    auto rgb = [&](auto f, double alpha) {
        for (int c = 0; c < 3; ++c) o[c] = f(fg[c], bg[c]);
        o[3] = alpha;
    };
    auto all = [&](auto f) {
        for (int c = 0; c < 4; ++c) o[c] = f(fg[c], bg[c]);
    };
    const double ia = fg[3], ba = bg[3];
    switch (mode) {
    case 0:
        rgb([&](double f, double b) { return f * ia + b * (1 - ia); }, ia + ba);
        break;
    case 1:
        rgb([](double f, double b) { return std::max(f, b); }, ia);
        break;
    case 2:
        rgb([](double f, double b) { return std::min(f, b); }, ia);
        break;
    case 3:
        all([](double f, double b) { return f * b; });
        break;
    case 4:
        rgb([](double f, double b) { return f + b * (1 - f); }, ia);
        break;
    case 5:
        rgb([](double f, double b) { return std::fabs(f - b); }, ia);
        break;
    case 6:
        o = BlendLuma(fg) > BlendLuma(bg) ? fg : bg;
        break;
    case 7:
        o = BlendLuma(fg) < BlendLuma(bg) ? fg : bg;
        break;
    case 8:
        rgb([](double f, double b) { return f * b * 4; }, ia);
        break;
    case 9:
        rgb([](double f, double b) { return 2 * (f + b * (1 - f)) - 1; }, ia);
        break;
    case 10:
        rgb([](double f, double b) { return std::fabs(f - b) * 2; }, ia);
        break;
    case 11:
        rgb([](double f, double b) { return std::fabs(f - b) * 4; }, ia);
        break;
    case 12:
        all([](double f, double b) { return f + b; });
        break;
    case 13:
        rgb([](double f, double b) { return b - f; }, ia);
        break;
    case 14:
        rgb([](double f, double b) { return f < 0.5 ? b * f * 2 : 2 * (f + b * (1 - f)) - 1; }, ia);
        break;
    case 15:
        rgb([](double f, double b) { return f + (b - 0.5) * (1 - f) * f * 2; }, ia);
        break;
    case 16:
        rgb(
            [](double f, double b) {
                const double m = f * b, s = f + b - m;
                return b > 0.5 ? f + (s - f) * (b - 0.5) * 0.5 : f + (m - f) * (0.5 - b) * 0.5;
            },
            ia);
        break;
    case 17: { // hue: bg's chroma, scaled towards fg's saturation, at fg's luma
        const double lf = BlendLuma(fg), lb = BlendLuma(bg);
        Blend4 d{bg[0] - lb, bg[1] - lb, bg[2] - lb, bg[3] - lb};
        if (BlendSat(bg) > 0) {
            double k = BlendSat(fg) / BlendSat(bg);
            if (k > 1)
                for (int c = 0; c < 3; ++c)
                    if (d[c] > 0) k = std::min(k, (1 - lf) / d[c]);
            for (double& v : d) v *= k;
            const double shift = lf - BlendLuma(d);
            for (int c = 0; c < 4; ++c) o[c] = d[c] + shift;
        } else {
            o = {lf, lf, lf, 0};
        }
        o[3] = ia + ba;
        break;
    }
    case 18: { // saturation: fg's chroma scaled to bg's saturation
        const double lf = BlendLuma(fg);
        Blend4 d{fg[0] - lf, fg[1] - lf, fg[2] - lf, fg[3] - lf};
        if (BlendSat(fg) > 0) {
            double k = BlendSat(bg) / BlendSat(fg);
            if (k > 1)
                for (int c = 0; c < 3; ++c)
                    if (d[c] > 0) k = std::min(k, (1 - lf) / d[c]);
            for (double& v : d) v *= k;
            const double shift = lf - BlendLuma(d);
            for (int c = 0; c < 4; ++c) o[c] = d[c] + shift;
        }
        o[3] = ia + ba;
        break;
    }
    case 19: { // colour: bg's chroma at fg's luma, clipped into 0...1
        const double l = BlendLuma(fg), lb = BlendLuma(bg);
        Blend4 d{bg[0] - lb, bg[1] - lb, bg[2] - lb, bg[3] - lb};
        double clip = 1;
        for (int c = 0; c < 3; ++c) {
            const double x = d[c];
            clip = std::min(clip, l + x > 1 ? (1 - l) / x : l + x < 0 ? -l / x : 1.0);
        }
        if (clip < 1)
            for (double& v : d) v *= clip;
        const double shift = l - BlendLuma(d);
        for (int c = 0; c < 4; ++c) o[c] = d[c] + shift;
        o[3] = ia + ba;
        break;
    }
    case 20: { // luminosity: bg scaled to fg's luma
        const double lf = BlendLuma(fg), lb = BlendLuma(bg);
        if (lf <= 0) {
            o = {0, 0, 0, 0};
        } else if (lb <= 0) {
            const double l = std::min(std::max(lf, 0.0), 1.0);
            o = {l, l, l, ia};
        } else {
            for (int c = 0; c < 4; ++c) o[c] = std::min(std::max(bg[c] * lf / lb, 0.0), 1.0);
            o[3] = ba;
        }
        break;
    }
    case 21:
        o = {bg[0], bg[1], bg[2], std::max(0.0, ba - ia)};
        break;
    case 22:
        o = {bg[0], bg[1], bg[2], std::min(1.0, ba + ia)};
        break;
    case 23:
        rgb([](double f, double b) { return std::fabs(0.5 - b) < std::fabs(0.5 - f) ? b : f; }, ba);
        break;
    case 24:
        rgb([](double f, double b) { return std::fabs(0.5 - b) > std::fabs(0.5 - f) ? b : f; }, ba);
        break;
    case 25:
    case 43:
        rgb([](double f, double b) { return f >= b ? f - b : 0.0; }, ia + ba);
        break;
    case 47:
        if (ba + r >= 1.0001) all([&](double f, double b) { return f * ia + b * (1 - ia); });
        break;
    default:
        break; // the modes without a formula of their own return fg
    }
    return o;
}

// What the image operation leaves for unpremultiplied front (its alpha already masked) and
// back pixels: the blended pixel, unpremultiplied.
inline RGBA BlendReference(int mode, const RGBA& front, const RGBA& back, double mix,
                           double r = 0.5) {
    Blend4 fg{front[0] * front[3], front[1] * front[3], front[2] * front[3], front[3]};
    Blend4 bg{back[0] * back[3], back[1] * back[3], back[2] * back[3], back[3]};
    Blend4 o = ApplyReference(mode, fg, bg, r);
    RGBA result{};
    for (int c = 0; c < 4; ++c) {
        const double v = std::min(std::max(o[c], 0.0), 1.0);
        o[c] = bg[c] + (v - bg[c]) * mix;
    }
    for (int c = 0; c < 4; ++c)
        result[c] = static_cast<float>(c < 3 && o[3] > 0 ? o[c] / o[3] : o[c]);
    return result;
}

// The references for inputs moved by the card's rounding (half-float steps where a load converts),
// one channel at a time: where a mode decides between two formulas (a luma or distance comparison,
// a clip) and the inputs sit on the edge, either side's result is right.
inline std::vector<RGBA> BlendReferencesNearby(int mode, const RGBA& front, const RGBA& back,
                                               double mix, double r = 0.5) {
    std::vector<RGBA> nearby;
    for (int i = 0; i < 8; ++i)
        for (float step : {-1e-3f, 1e-3f}) {
            RGBA f = front, b = back;
            (i < 4 ? f[i] : b[i - 4]) += step;
            nearby.push_back(BlendReference(mode, f, b, mix, r));
        }
    return nearby;
}

} // namespace tesk_test
