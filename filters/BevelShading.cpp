#include "filters/BevelShading.h"

#include "filters/FilterPixels.h"
#include "platform/Bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr float kPi = 3.1415927f, kHalfPi = 1.5707964f;
}  // namespace

float BevelSlopeFlat(float) { return 1.0f; }
float BevelSlopeSmooth(float t) { return kHalfPi * std::cos(t * kHalfPi); }
float BevelSlopeBall(float t) {
    const float u = std::max(t, 0.05f);
    return (1.0f - u) / std::sqrt((2.0f - u) * u);
}
float BevelSlopeSloped(float t) { return kHalfPi * std::sin(t * kPi); }

std::vector<CurvePoint> NormalizeCurvePoints(const std::vector<CurvePoint>& points) {
    std::vector<CurvePoint> kept;
    kept.reserve(points.size());
    for (CurvePoint p : points) {
        if (!std::isfinite(p.x)) continue;
        p.y = std::isfinite(p.y) ? std::clamp(p.y, 0.0f, 1.0f) : 0.0f;
        kept.push_back(p);
    }
    if (kept.size() < 2) return DefaultBevelCurve();
    std::stable_sort(kept.begin(), kept.end(), [](const CurvePoint& a, const CurvePoint& b) { return a.x < b.x; });
    // Inner points outside [0, 1] would lie before the first or after the
    // last point; held to the ends the array stays sorted.
    for (CurvePoint& p : kept) p.x = std::clamp(p.x, 0.0f, 1.0f);
    kept.front().x = 0;
    kept.back().x = 1;
    return kept;
}

float EvaluateCurve(const std::vector<CurvePoint>& pts, float x) {
    const size_t n = pts.size();
    if (n == 0) return 0.0f;
    if (n == 1) return ClampParam(pts[0].y, 0, 1);
    if (x <= pts[0].x) return pts[0].y;
    if (x >= pts[n - 1].x) return pts[n - 1].y;
    size_t i = 0;
    while (i < n - 2 && !(x <= pts[i + 1].x)) ++i;
    const float d = pts[i + 1].x - pts[i].x;
    if (d <= 1e-6f) return pts[i].y;
    const float m0 = i >= 1 ? (pts[i + 1].y - pts[i - 1].y) / (pts[i + 1].x - pts[i - 1].x)
                            : (pts[i + 1].y - pts[i].y) / d;
    const float m1 = i < n - 2 ? (pts[i + 2].y - pts[i].y) / (pts[i + 2].x - pts[i].x)
                               : (pts[i + 1].y - pts[i].y) / d;
    const float s = (x - pts[i].x) / d, s2 = s * s, s3 = s2 * s;
    return (2 * s3 - 3 * s2 + 1) * pts[i].y + (s3 - 2 * s2 + s) * d * m0 + (3 * s2 - 2 * s3) * pts[i + 1].y +
           (s3 - s2) * d * m1;
}

std::vector<float> SampleCurve(const std::vector<CurvePoint>& points, int n) {
    const int m = std::max(n, 2);
    std::vector<float> out(static_cast<size_t>(m));
    const float step = 1.0f / float(m - 1);
    for (int k = 0; k < m; ++k) out[size_t(k)] = ClampParam(EvaluateCurve(points, float(k) * step), 0, 1);
    return out;
}

BevelSlopeTable BuildBevelSlopeTable(uint8_t profile, const std::vector<CurvePoint>& points) {
    constexpr int N = kBevelSlopeTableSize;
    BevelSlopeTable table(N);
    if (profile == kBevelCustom) {
        const std::vector<float> s = SampleCurve(points, N);
        table[0] = (s[1] - s[0]) * 1023.0f;
        for (int i = 1; i < N - 1; ++i) table[size_t(i)] = (s[size_t(i) + 1] - s[size_t(i) - 1]) * 511.5f;
        table[N - 1] = (s[N - 1] - s[N - 2]) * 1023.0f;
        return table;
    }
    float (*slope)(float) = BevelSlopeFlat;
    if (profile == kBevelSmooth) slope = BevelSlopeSmooth;
    if (profile == kBevelBall) slope = BevelSlopeBall;
    if (profile == kBevelSloped) slope = BevelSlopeSloped;
    for (int i = 0; i < N; ++i) table[size_t(i)] = slope(float(i) * 0.0009775171f);
    return table;
}

float BevelSlopeAt(const BevelSlopeTable& table, float distance, float width) {
    const float q = ClampParam(distance / width * 1023.0f, 0, 1023);
    const int i = int(q);
    const int j = i < 1023 ? i + 1 : 1023;
    const float f = q - float(i);
    return (1 - f) * table[size_t(i)] + f * table[size_t(j)];
}

BevelLight BevelLightVector(float angleDegrees) {
    const float r = ClampParam(angleDegrees, -1e6f, 1e6f) * kPi / 180.0f;
    const float c = std::cos(r), s = -std::sin(r);
    const float k = std::sqrt(c * c + s * s + 0.48999998f);
    return {c / k, s / k, 0.7f / k};
}

float BevelShadeValue(float nx, float ny, const BevelLight& light, float strength) {
    const float len = std::sqrt(nx * nx + ny * ny + 1.0f);
    return ClampParam(strength * (nx * light.x + ny * light.y) / len, -1, 1);
}

uint8_t BevelShadeByte(float value) { return RoundByte(value * 127.0f + 128.0f); }

uint8_t ShadeColorChannel(uint8_t c, float t) {
    float v = float(c);
    if (t > 0)
        v = v + (255.0f - v) * t;
    else if (t < 0)
        v = v * (1.0f + t);
    return RoundByte(v);
}

DistanceGradientAt DistanceGradient(const float* F, int W, int H, int x, int y) {
    const float* row = F + size_t(y) * size_t(W);
    const float gx = (row[std::min(x + 1, W - 1)] - row[std::max(x - 1, 0)]) * 0.5f;
    const float gy = (F[size_t(std::min(y + 1, H - 1)) * size_t(W) + size_t(x)] -
                      F[size_t(std::max(y - 1, 0)) * size_t(W) + size_t(x)]) *
                     0.5f;
    return {gx, gy, std::sqrt(gx * gx + gy * gy)};
}

float ContourSampleChannel(const uint8_t* px, int W, int channel, float sx, float sy) {
    const int x0 = int(sx), y0 = int(sy);
    const float fx = sx - float(x0), fy = sy - float(y0);
    const uint8_t* r0 = px + (size_t(y0) * size_t(W) + size_t(x0)) * 4 + size_t(channel);
    const uint8_t* r1 = r0 + size_t(W) * 4;
    return (float(r0[0]) * (1 - fx) + float(r0[4]) * fx) * (1 - fy) + (float(r1[0]) * (1 - fx) + float(r1[4]) * fx) * fy;
}

// Colour bytes of every pixel with alpha moved by its shade byte (128 level);
// alpha kept, transparent pixels copied unchanged.
void ComposeShadedColours(Bitmap& out, const Bitmap& source, const uint8_t* shade) {
    const int w = source.Width(), h = source.Height();
#pragma omp parallel for schedule(static) if (int64_t(w) * h > kFilterParallelPixels)
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = source.Row(y);
        const uint8_t* S = shade + size_t(y) * size_t(w);
        uint8_t* d = out.Row(y);
        std::memcpy(d, s, size_t(w) * 4);
        for (int x = 0; x < w; ++x) ShadePixelColours(d + 4 * size_t(x), s + 4 * size_t(x), S[x]);
    }
}
