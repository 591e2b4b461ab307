#include "scene/QuadWarp.h"

#include <algorithm>
#include <cmath>

namespace QuadWarp {
namespace {

struct Vec {
    double x, y;
};

double Cross(Vec a, Vec b) { return a.x * b.y - a.y * b.x; }

constexpr double kRangeLow = -1e-4;
constexpr double kRangeHigh = 1.0001;
constexpr double kTiny = 1e-12;

bool InRange(double t) { return t >= kRangeLow && t <= kRangeHigh; }

// u from the larger of the two linear equations at row v; false when that
// equation is too flat to solve.
bool SolveU(Vec h, Vec e1, Vec e2, Vec g, double v, double& u) {
    const double dx = g.x * v + e1.x;
    const double dy = g.y * v + e1.y;
    if (std::fabs(dx) >= std::fabs(dy)) {
        if (std::fabs(dx) < kTiny) return false;
        u = (h.x - e2.x * v) / dx;
    } else {
        if (std::fabs(dy) < kTiny) return false;
        u = (h.y - e2.y * v) / dy;
    }
    return true;
}

}  // namespace

InverseResult InverseMap(ScenePoint p0, ScenePoint p1, ScenePoint p2, ScenePoint p3, ScenePoint p) {
    const Vec e1{double(p1.x) - p0.x, double(p1.y) - p0.y};
    const Vec e2{double(p3.x) - p0.x, double(p3.y) - p0.y};
    const Vec g{double(p0.x) - p1.x + p2.x - p3.x, double(p0.y) - p1.y + p2.y - p3.y};
    const Vec h{double(p.x) - p0.x, double(p.y) - p0.y};
    const double k2 = Cross(g, e2);
    const double k1 = Cross(e1, e2) + Cross(h, g);
    const double k0 = Cross(h, e1);
    const double eps =
        std::max((std::fabs(e1.y) + std::fabs(e1.x)) * 1e-4 * (std::fabs(e2.y) + std::fabs(e2.x)), 1e-6);

    InverseResult r;
    if (std::fabs(k2) >= eps) {
        const double w = std::sqrt(std::max(k1 * k1 - 4 * k2 * k0, 0.0));
        const double roots[2] = {(w - k1) / (2 * k2), (-k1 - w) / (2 * k2)};
        for (double v : roots) {
            double u = 0;
            if (!SolveU(h, e1, e2, g, v, u)) continue;
            if (InRange(u) && InRange(v)) return {float(u), float(v), true};
        }
        return r;
    }
    if (std::fabs(k1) < kTiny) return r;
    const double v = -k0 / k1;
    double u = 0;
    if (!SolveU(h, e1, e2, g, v, u)) return {0, float(v), false};
    return {float(u), float(v), InRange(u) && InRange(v)};
}

bool ContainsPoint(ScenePoint p0, ScenePoint p1, ScenePoint p2, ScenePoint p3, ScenePoint p) {
    const ScenePoint pts[4] = {p0, p1, p2, p3};
    bool inside = false;
    for (int k = 0; k < 4; ++k) {
        const ScenePoint a = pts[k];
        const ScenePoint b = pts[(k + 1) & 3];
        if ((p.y < a.y) == (p.y < b.y)) continue;
        const double dy = double(b.y) - a.y;
        if (std::fabs(dy) <= kTiny) continue;
        if (p.x < a.x + (double(p.y) - a.y) / dy * (double(b.x) - a.x)) inside = !inside;
    }
    return inside;
}

uint32_t SampleBilinear(const uint8_t* pixels, int rowPitch, int width, int height, float x, float y) {
    if (!pixels || width <= 0 || height <= 0) return 0;
    // NaN goes to the first pixel rather than through an undefined cast.
    const float cx = std::isnan(x) ? 0.0f : std::clamp(x, 0.0f, float(width - 1));
    const float cy = std::isnan(y) ? 0.0f : std::clamp(y, 0.0f, float(height - 1));
    const int x0 = int(std::floor(cx));
    const int y0 = int(std::floor(cy));
    const int x1 = std::min(x0 + 1, width - 1);
    const int y1 = std::min(y0 + 1, height - 1);
    const float fx = cx - float(x0);
    const float fy = cy - float(y0);
    const uint8_t* r0 = pixels + size_t(y0) * size_t(rowPitch);
    const uint8_t* r1 = pixels + size_t(y1) * size_t(rowPitch);
    const uint8_t* a = r0 + size_t(x0) * 4;
    const uint8_t* b = r0 + size_t(x1) * 4;
    const uint8_t* c = r1 + size_t(x0) * 4;
    const uint8_t* d = r1 + size_t(x1) * 4;
    const float wa = (1 - fx) * (1 - fy), wb = fx * (1 - fy), wc = (1 - fx) * fy, wd = fx * fy;
    uint32_t out = 0;
    for (int ch = 0; ch < 4; ++ch) {
        const float v = wa * a[ch] + wb * b[ch] + wc * c[ch] + wd * d[ch] + 0.5f;
        out |= uint32_t(std::clamp(v, 0.0f, 255.0f)) << (8 * ch);
    }
    return out;
}

bool MapPoint(const Quad& q, ScenePoint point, float width, float height, ScenePoint& out) {
    if (!(width > 0) || !(height > 0)) return false;
    const InverseResult r = InverseMap({width * q.x0, height * q.y0}, {width * q.x1, height * q.y1},
                                       {width * q.x2, height * q.y2}, {width * q.x3, height * q.y3}, point);
    if (!r.ok) return false;
    out = {r.u * width, r.v * height};
    return true;
}

}  // namespace QuadWarp

BitmapPtr WarpBitmapToQuad(const BitmapPtr& source, const Quad& q, float& offsetX, float& offsetY) {
    if (!source || source->Width() <= 0 || source->Height() <= 0) return nullptr;
    const float W = float(source->Width()), H = float(source->Height());
    const ScenePoint p[4] = {{W * q.x0, H * q.y0}, {W * q.x1, H * q.y1}, {W * q.x2, H * q.y2}, {W * q.x3, H * q.y3}};
    double minX = p[0].x, maxX = p[0].x, minY = p[0].y, maxY = p[0].y;
    for (const ScenePoint& c : p) {
        if (!std::isfinite(c.x) || !std::isfinite(c.y)) return nullptr;
        minX = std::min(minX, double(c.x));
        maxX = std::max(maxX, double(c.x));
        minY = std::min(minY, double(c.y));
        maxY = std::max(maxY, double(c.y));
    }
    minX = std::floor(minX);
    minY = std::floor(minY);
    maxX = std::ceil(maxX);
    maxY = std::ceil(maxY);
    // The box is checked against the caps in doubles before any integer cast,
    // so a corner dragged far away fails cleanly instead of overflowing.
    const double outW = std::max(maxX - minX, 1.0), outH = std::max(maxY - minY, 1.0);
    if (outW > kMaxBitmapSide || outH > kMaxBitmapSide || std::fabs(minX) > 1e9 || std::fabs(minY) > 1e9) return nullptr;
    const int ow = int(outW), oh = int(outH);
    if (!BitmapSizeAllowed(ow, oh)) return nullptr;
    BitmapPtr out = Bitmap::Create(ow, oh);
    if (!out) return nullptr;
    offsetX = float(minX);
    offsetY = float(minY);

    const uint8_t* src = source->Data();
    const int pitch = source->Stride();
    const int sw = source->Width(), sh = source->Height();
    const float ox = float(minX), oy = float(minY);
#pragma omp parallel for schedule(static)
    for (int j = 0; j < oh; ++j) {
        uint32_t* row = out->Row32(j);
        const float py = oy + float(j) + 0.5f;
        for (int i = 0; i < ow; ++i) {
            const ScenePoint pt{ox + float(i) + 0.5f, py};
            if (!QuadWarp::ContainsPoint(p[0], p[1], p[2], p[3], pt)) continue;
            const QuadWarp::InverseResult r = QuadWarp::InverseMap(p[0], p[1], p[2], p[3], pt);
            if (!r.ok) continue;
            row[i] = QuadWarp::SampleBilinear(src, pitch, sw, sh, r.u * W - 0.5f, r.v * H - 0.5f);
        }
    }
    return out;
}
