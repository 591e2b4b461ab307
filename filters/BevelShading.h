#pragma once
// What the bevel filters share: the cross-section profiles and the slope table
// built from them, the custom profile curve, the light vector, the shading
// value and byte, and sampling along an outline of a distance field.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

class Bitmap;

// Cross-section of a bevel: 0 Flat, 1 Smooth, 2 Ball, 3 Sloped, 4 Custom (the
// record's curve). Any other value behaves as Flat.
enum BevelProfile : uint8_t {
    kBevelFlat = 0,
    kBevelSmooth = 1,
    kBevelBall = 2,
    kBevelSloped = 3,
    kBevelCustom = 4,
};
constexpr int kBevelProfileCount = 5;

// A point of a custom bevel curve, both coordinates meant to lie in 0..1.
struct CurvePoint {
    float x = 0, y = 0;
    bool operator==(const CurvePoint&) const = default;
};

inline std::vector<CurvePoint> DefaultBevelCurve() { return {{0, 0}, {1, 1}}; }
// A curve as the bevel can use it: points with a non-finite x dropped, y
// held to [0, 1] (a non-finite y becomes 0), sorted by x (equal x keep their
// order), x held to [0, 1] and the ends at exactly 0 and 1; fewer than two
// points left give the default curve.
std::vector<CurvePoint> NormalizeCurvePoints(const std::vector<CurvePoint>& points);

// Slopes of the built-in profiles at t in [0, 1] (t = distance from the
// outline / bevel width); each is the derivative of the height in its comment.
float BevelSlopeFlat(float t);    // height t
float BevelSlopeSmooth(float t);  // height sin(t pi/2)
float BevelSlopeBall(float t);    // a quarter circle sqrt(2t - t^2), t taken as at least 0.05
float BevelSlopeSloped(float t);  // height (1 - cos(t pi)) / 2

// The custom curve's value at x: its end values outside [x0, xn-1], else the
// cubic Hermite segment through the neighbouring points with finite-difference
// tangents. It may leave [0, 1]. Empty: 0; one point: its y clamped to [0, 1].
float EvaluateCurve(const std::vector<CurvePoint>& points, float x);
// max(n, 2) values at evenly spaced x from 0 to 1, each clamped to [0, 1].
std::vector<float> SampleCurve(const std::vector<CurvePoint>& points, int n);

// The slope of a profile at 1024 evenly spaced t; the custom curve's slope by
// central differences of its samples (one-sided at both ends).
constexpr int kBevelSlopeTableSize = 1024;
using BevelSlopeTable = std::vector<float>;
BevelSlopeTable BuildBevelSlopeTable(uint8_t profile, const std::vector<CurvePoint>& points);
// The table interpolated at distance / width, clamped to the table's ends.
float BevelSlopeAt(const BevelSlopeTable& table, float distance, float width);

// The unit light vector for a direction in degrees (along (cos a, -sin a),
// y down) at a fixed elevation: the default 135 lights from the upper left.
struct BevelLight {
    float x, y, z;
};
BevelLight BevelLightVector(float angleDegrees);
// strength x (nx Lx + ny Ly) / |(nx, ny, 1)|, clamped to [-1, 1]; a level
// surface gives 0.
float BevelShadeValue(float nx, float ny, const BevelLight& light, float strength);
// A shade value as a byte: 128 is level, 255 fully lit, 1 fully shaded.
uint8_t BevelShadeByte(float value);
// One colour byte moved towards white (t > 0) or black (t < 0) by |t|.
uint8_t ShadeColorChannel(uint8_t c, float t);
// Colour bytes of every pixel with alpha moved by its shade byte (128 level);
// alpha kept, transparent pixels copied unchanged.
void ComposeShadedColours(Bitmap& out, const Bitmap& source, const uint8_t* shade);
// The same for one pixel already copied from s to d.
inline void ShadePixelColours(uint8_t* d, const uint8_t* s, uint8_t shade) {
    // A level shade (128) gives t = 0, which leaves every byte as it is.
    if (!s[3] || shade == 128) return;
    const float t = (float(shade) - 128.0f) / 127.0f;
    d[0] = ShadeColorChannel(s[0], t);
    d[1] = ShadeColorChannel(s[1], t);
    d[2] = ShadeColorChannel(s[2], t);
}

// The gradient of a float plane by central differences (one-sided but still
// halved at the plane's border) and its length.
struct DistanceGradientAt {
    float gx, gy, length;
};
DistanceGradientAt DistanceGradient(const float* field, int width, int height, int x, int y);

// Sampling along an outline: tap l of the contour through (x, y) lies at
// (x + l tx, y + l ty) with the unit tangent (tx, ty) = (-gy, gx) / length. A
// tap counts only where all four bilinear neighbours exist.
inline bool ContourTapInside(float sx, float sy, int width, int height) {
    return sx >= 0 && sx < float(width - 1) && sy >= 0 && sy < float(height - 1);
}
// The taps l in [-r, r] that can pass ContourTapInside, found from the line
// instead of by testing every tap: [lo, hi] (empty when lo > hi). The range is
// widened by half a pixel for rounding, so callers still test each tap and the
// taps they keep are exactly those of the whole range.
inline void ContourTapRange(int x, int y, float tx, float ty, int width, int height, int r, int& lo, int& hi) {
    double a = -double(r), b = double(r);
    auto limit = [&](double p, double t, double size) {
        if (t == 0) return;
        double k0 = (-0.5 - p) / t, k1 = (size - 1 + 0.5 - p) / t;
        if (k0 > k1) std::swap(k0, k1);
        a = std::max(a, std::floor(k0) - 1);
        b = std::min(b, std::ceil(k1) + 1);
    };
    limit(double(x), double(tx), double(width));
    limit(double(y), double(ty), double(height));
    lo = int(a);
    hi = int(b);
}
// The same range cut further to the taps whose pixel (trunc(sx), trunc(sy))
// can lie in the box [bx0, bx1] x [by0, by1] (a box around everything a
// caller counts taps on): still a superset of those, as wide as the box allows.
inline void ContourTapRangeInBox(int x, int y, float tx, float ty, int bx0, int by0, int bx1, int by1, int r, int& lo,
                                 int& hi) {
    double a = -double(r), b = double(r);
    auto limit = [&](double p, double t, double low, double high) {
        if (t == 0) {
            if (p < low - 1 || p > high + 1) a = 1, b = 0;
            return;
        }
        double k0 = (low - 0.5 - p) / t, k1 = (high + 1.5 - p) / t;
        if (k0 > k1) std::swap(k0, k1);
        a = std::max(a, std::floor(k0) - 1);
        b = std::min(b, std::ceil(k1) + 1);
    };
    limit(double(x), double(tx), double(bx0), double(bx1));
    limit(double(y), double(ty), double(by0), double(by1));
    lo = int(a);
    hi = int(b);
}
// Sampling along an outline costs a tap per pixel of its length. Past
// kContourTapsPerSide taps on a side only every stride-th tap is taken (l a
// multiple of the stride, so the pixel itself stays one), spread evenly over
// the whole length: a record of any size then costs a bounded time per pixel,
// and lengths up to kContourTapsPerSide keep every tap.
constexpr int kContourTapsPerSide = 64;
inline int ContourTapStride(int r) {
    return r <= kContourTapsPerSide ? 1 : (r + kContourTapsPerSide - 1) / kContourTapsPerSide;
}
// [lo, hi] from ContourTapRange moved inwards onto multiples of the stride,
// no further out than the last multiple within r.
inline void ContourStrideRange(int stride, int r, int& lo, int& hi) {
    if (stride <= 1) return;
    const int reach = r / stride * stride;
    lo = std::max(lo, -reach);
    hi = std::min(hi, reach);
    // Round lo up and hi down to multiples of the stride (either may be negative).
    lo = lo >= 0 ? (lo + stride - 1) / stride * stride : -(-lo / stride * stride);
    hi = hi >= 0 ? hi / stride * stride : -((-hi + stride - 1) / stride * stride);
}
// Bilinear value of a byte plane at (sx, sy), which must be ContourTapInside.
// Inline: outline sampling takes it tens of times per pixel.
inline float ContourSample(const uint8_t* P, int W, float sx, float sy) {
    const int x0 = int(sx), y0 = int(sy);
    const float fx = sx - float(x0), fy = sy - float(y0);
    const uint8_t* r0 = P + size_t(y0) * size_t(W) + size_t(x0);
    const uint8_t* r1 = r0 + W;
    return (float(r0[0]) * (1 - fx) + float(r0[1]) * fx) * (1 - fy) + (float(r1[0]) * (1 - fx) + float(r1[1]) * fx) * fy;
}
// The same for one channel (0..3) of tight 32-bit pixels.
float ContourSampleChannel(const uint8_t* pixels, int width, int channel, float sx, float sy);
