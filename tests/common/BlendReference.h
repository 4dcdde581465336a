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

// The chroma of source (source - its luma) scaled by saturation / its saturation, but no further
// than keeps it within 1 above luma where the scale grows it, moved to luma. False, out left
// alone, when source has no saturation.
inline bool Chroma(const Blend4& source, double saturation, double luma, Blend4& out) {
    const double own = BlendSat(source);
    if (!(own > 0)) return false;
    Blend4 d;
    for (int c = 0; c < 4; ++c) d[c] = source[c] - BlendLuma(source);
    double k = saturation / own;
    if (k > 1)
        for (int c = 0; c < 3; ++c)
            if (d[c] > 0) k = std::min(k, (1 - luma) / d[c]);
    for (double& v : d) v *= k;
    const double shift = luma - BlendLuma(d);
    for (int c = 0; c < 4; ++c) out[c] = d[c] + shift;
    return true;
}

// Where a channel-by-channel mode takes its alpha from.
enum class AlphaFrom { Front, Back, Sum, Formula };

// The modes that work channel by channel: f and b are one colour channel of fg and bg, fa is
// fg's alpha; with AlphaFrom::Formula alpha goes through the same formula.
struct ChannelFormula {
    int mode;
    double (*colour)(double f, double b, double fa);
    AlphaFrom alpha;
};

inline double HardLight(double f, double b, double) {
    const double m = f * b, s = f + b - m;
    return b > 0.5 ? f + (s - f) * (b - 0.5) * 0.5 : f + (m - f) * (0.5 - b) * 0.5;
}

inline const ChannelFormula kChannelFormulas[] = {
    {0, [](double f, double b, double fa) { return f * fa + b * (1 - fa); }, AlphaFrom::Sum},
    {1, [](double f, double b, double) { return std::max(f, b); }, AlphaFrom::Front},
    {2, [](double f, double b, double) { return std::min(f, b); }, AlphaFrom::Front},
    {3, [](double f, double b, double) { return f * b; }, AlphaFrom::Formula},
    {4, [](double f, double b, double) { return f + b * (1 - f); }, AlphaFrom::Front},
    {5, [](double f, double b, double) { return std::fabs(f - b); }, AlphaFrom::Front},
    {8, [](double f, double b, double) { return f * b * 4; }, AlphaFrom::Front},
    {9, [](double f, double b, double) { return 2 * (f + b * (1 - f)) - 1; }, AlphaFrom::Front},
    {10, [](double f, double b, double) { return std::fabs(f - b) * 2; }, AlphaFrom::Front},
    {11, [](double f, double b, double) { return std::fabs(f - b) * 4; }, AlphaFrom::Front},
    {12, [](double f, double b, double) { return f + b; }, AlphaFrom::Formula},
    {13, [](double f, double b, double) { return b - f; }, AlphaFrom::Front},
    {14, [](double f, double b, double) { return f < 0.5 ? b * f * 2 : 2 * (f + b - f * b) - 1; },
     AlphaFrom::Front},
    {15, [](double f, double b, double) { return f + (b - 0.5) * (1 - f) * f * 2; },
     AlphaFrom::Front},
    {16, HardLight, AlphaFrom::Front},
    {23, [](double f, double b, double) { return std::fabs(0.5 - b) < std::fabs(0.5 - f) ? b : f; },
     AlphaFrom::Back},
    {24, [](double f, double b, double) { return std::fabs(0.5 - b) > std::fabs(0.5 - f) ? b : f; },
     AlphaFrom::Back},
    {25, [](double f, double b, double) { return f >= b ? f - b : 0.0; }, AlphaFrom::Sum},
    {43, [](double f, double b, double) { return f >= b ? f - b : 0.0; }, AlphaFrom::Sum},
};

// apply() of mode on premultiplied fg and bg; r is rand() where the mode draws one. The modes
// without a formula of their own return fg.
inline Blend4 ApplyReference(int mode, const Blend4& fg, const Blend4& bg, double r = 0.5) {
    const double fa = fg[3], ba = bg[3], lf = BlendLuma(fg), lb = BlendLuma(bg);
    Blend4 o = fg;
    for (const ChannelFormula& formula : kChannelFormulas) {
        if (formula.mode != mode) continue;
        for (int c = 0; c < 4; ++c) o[c] = formula.colour(fg[c], bg[c], fa);
        if (formula.alpha != AlphaFrom::Formula)
            o[3] = formula.alpha == AlphaFrom::Front  ? fa
                   : formula.alpha == AlphaFrom::Back ? ba
                                                      : fa + ba;
        return o;
    }
    switch (mode) {
    case 6:
        return lf > lb ? fg : bg;
    case 7:
        return lf < lb ? fg : bg;
    case 17: // hue: bg's chroma scaled towards fg's saturation, at fg's luma
        if (!Chroma(bg, BlendSat(fg), lf, o)) o = {lf, lf, lf, 0};
        o[3] = fa + ba;
        return o;
    case 18: // saturation: fg's chroma scaled to bg's saturation
        Chroma(fg, BlendSat(bg), lf, o);
        o[3] = fa + ba;
        return o;
    case 19: { // colour: bg's chroma at fg's luma, clipped into 0...1
        Blend4 d{bg[0] - lb, bg[1] - lb, bg[2] - lb, bg[3] - lb};
        double clip = 1;
        for (int c = 0; c < 3; ++c)
            clip = std::min(clip, lf + d[c] > 1   ? (1 - lf) / d[c]
                                  : lf + d[c] < 0 ? -lf / d[c]
                                                  : 1.0);
        for (double& v : d) v *= std::min(clip, 1.0);
        for (int c = 0; c < 4; ++c) o[c] = d[c] + lf - BlendLuma(d);
        o[3] = fa + ba;
        return o;
    }
    case 20: // luminosity: bg scaled to fg's luma
        if (lf <= 0) return {0, 0, 0, 0};
        if (lb <= 0) return {std::min(lf, 1.0), std::min(lf, 1.0), std::min(lf, 1.0), fa};
        for (int c = 0; c < 3; ++c) o[c] = std::min(std::max(bg[c] * lf / lb, 0.0), 1.0);
        o[3] = ba;
        return o;
    case 21:
        return {bg[0], bg[1], bg[2], std::max(0.0, ba - fa)};
    case 22:
        return {bg[0], bg[1], bg[2], std::min(1.0, ba + fa)};
    case 47:
        if (ba + r >= 1.0001)
            for (int c = 0; c < 4; ++c) o[c] = fg[c] * fa + bg[c] * (1 - fa);
        return o;
    default:
        return o;
    }
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
