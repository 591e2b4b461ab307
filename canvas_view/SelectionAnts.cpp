#include "canvas_view/SelectionAnts.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {
constexpr uint32_t kAntsBlack = 0xDC000000u;  // premultiplied: alpha only
constexpr uint32_t kAntsWhite = 0xFFFFFFFFu;
// Client coordinates are kept well inside int range whatever the zoom and scroll.
constexpr double kCoordLimit = 1 << 29;

int64_t ClampCoord(double v) { return int64_t(std::clamp(v, -kCoordLimit, kCoordLimit)); }

// The client pixel a mask corner lands on: the nearest pixel, as an
// unsmoothed 1-pixel pen places it.
int64_t ToPixel(int32_t v, float zoom, float origin) {
    return ClampCoord(std::floor(double(v) * zoom + origin + 0.5));
}

struct AntsPlotter {
    const RectI& clip;
    uint32_t* pixels;
    size_t stride;
    double phase;

    // White on the first 4 pixels of every 8 along the run, counted from
    // `phase` pixels before its start.
    void Plot(int64_t x, int64_t y, double along) const {
        const int64_t pos = int64_t(std::floor(along - phase));
        const bool white = ((pos % 8) + 8) % 8 < 4;
        pixels[size_t(y - clip.top) * stride + size_t(x - clip.left)] = white ? kAntsWhite : kAntsBlack;
    }
    bool Inside(int64_t x, int64_t y) const {
        return x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
    }

    // A horizontal or vertical segment from (ax, ay): `count` pixels one step
    // of (sx, sy) apart, the first at `along`. Only the pixels inside the clip
    // are visited.
    void AxisRun(int64_t ax, int64_t ay, int sx, int sy, int64_t count, double along) const {
        int64_t k0 = 0, k1 = count;  // k in [k0, k1)
        auto limit = [&](int64_t a, int step, int64_t lo, int64_t hi) {
            // a + step * k must lie in [lo, hi).
            if (step == 0) {
                if (a < lo || a >= hi) k1 = k0;
            } else if (step > 0) {
                k0 = std::max(k0, lo - a);
                k1 = std::min(k1, hi - a);
            } else {
                k0 = std::max(k0, a - hi + 1);
                k1 = std::min(k1, a - lo + 1);
            }
        };
        limit(ax, sx, clip.left, clip.right);
        limit(ay, sy, clip.top, clip.bottom);
        for (int64_t k = k0; k < k1; ++k) Plot(ax + sx * k, ay + sy * k, along + double(k));
    }
};
}  // namespace

std::vector<std::vector<OutlinePoint>> MergeStraightRuns(const SelectionOutline& outline) {
    std::vector<std::vector<OutlinePoint>> out;
    out.reserve(outline.polylines.size());
    for (const std::vector<OutlinePoint>& line : outline.polylines) {
        if (line.size() < 2) continue;
        std::vector<OutlinePoint> built;
        built.push_back(line[0]);
        for (size_t i = 1; i < line.size(); ++i) {
            if (built.size() >= 2) {
                const int64_t ax = line[i - 1].x - line[i - 2].x, ay = line[i - 1].y - line[i - 2].y;
                const int64_t bx = line[i].x - line[i - 1].x, by = line[i].y - line[i - 1].y;
                if (ax * by - ay * bx == 0 && ax * bx + ay * by > 0) {
                    built.back() = line[i];
                    continue;
                }
            }
            built.push_back(line[i]);
        }
        out.push_back(std::move(built));
    }
    return out;
}

RectI AntsClipRect(int x, int y, int w, int h, float zoom, float originX, float originY, const RectI& viewport) {
    if (w < 1 || h < 1 || !(zoom > 0)) return {};
    const int64_t left = ClampCoord(std::floor(double(x) * zoom + originX)) - 2;
    const int64_t top = ClampCoord(std::floor(double(y) * zoom + originY)) - 2;
    const int64_t right = ClampCoord(std::ceil((double(x) + w) * zoom + originX)) + 2;
    const int64_t bottom = ClampCoord(std::ceil((double(y) + h) * zoom + originY)) + 2;
    RectI r;
    r.left = int(std::max<int64_t>(left, viewport.left));
    r.top = int(std::max<int64_t>(top, viewport.top));
    r.right = int(std::min<int64_t>(right, viewport.right));
    r.bottom = int(std::min<int64_t>(bottom, viewport.bottom));
    if (r.IsEmpty()) return {};
    return r;
}

void RenderAnts(const std::vector<std::vector<OutlinePoint>>& runs, float zoom, float originX, float originY,
                float phase, const RectI& clip, uint32_t* pixels, size_t stridePixels) {
    if (clip.IsEmpty() || !pixels || !(zoom > 0)) return;
    const AntsPlotter plot{clip, pixels, stridePixels, double(phase)};
    for (const std::vector<OutlinePoint>& run : runs) {
        if (run.size() < 2) continue;
        // A closed loop repeats its start, which the first segment draws.
        const bool closed = run.front() == run.back();
        double along = 0;
        int64_t ax = ToPixel(run[0].x, zoom, originX), ay = ToPixel(run[0].y, zoom, originY);
        for (size_t i = 1; i < run.size(); ++i) {
            const int64_t bx = ToPixel(run[i].x, zoom, originX), by = ToPixel(run[i].y, zoom, originY);
            const int64_t end = (i + 1 == run.size() && !closed) ? 1 : 0;
            const int64_t dx = bx - ax, dy = by - ay;
            if (dx == 0 || dy == 0) {
                const int64_t len = std::abs(dx) + std::abs(dy);
                plot.AxisRun(ax, ay, dx > 0 ? 1 : (dx < 0 ? -1 : 0), dy > 0 ? 1 : (dy < 0 ? -1 : 0), len + end,
                             along);
                along += double(len);
            } else {
                // Mask outlines only step along the axes; any other segment is
                // walked pixel by pixel.
                const int64_t n = std::max(std::abs(dx), std::abs(dy));
                const double length = std::hypot(double(dx), double(dy));
                for (int64_t k = 0; k < n + end; ++k) {
                    const int64_t x = ax + int64_t(std::floor(double(dx) * k / n + 0.5));
                    const int64_t y = ay + int64_t(std::floor(double(dy) * k / n + 0.5));
                    if (plot.Inside(x, y)) plot.Plot(x, y, along + length * k / n);
                }
                along += length;
            }
            ax = bx, ay = by;
        }
    }
}

bool MarchingAntsCache::Update(SelectionMask& mask, float zoom, float originX, float originY, float phase,
                               const RectI& viewport) {
    if (!mask.OutlineValid()) {
        SelectionOutline::Build(mask);
        runsValid_ = false;
    }
    if (!runsValid_ || runsMask_ != &mask || runsRevision_ != mask.Revision()) {
        runs_ = MergeStraightRuns(mask.Outline());
        hasBounds_ = mask.GetBounds(boundsX_, boundsY_, boundsW_, boundsH_);
        runsMask_ = &mask;
        runsRevision_ = mask.Revision();
        runsValid_ = true;
        valid_ = false;
    }
    if (runs_.empty() || !hasBounds_) return false;
    const RectI clip = AntsClipRect(boundsX_, boundsY_, boundsW_, boundsH_, zoom, originX, originY, viewport);
    if (clip.IsEmpty()) return false;
    const AntsCacheKey key{&mask, mask.Revision(), clip, zoom, originX, originY, phase};
    if (valid_ && key == key_) return true;
    valid_ = false;
    try {
        pixels_.assign(size_t(clip.Width()) * size_t(clip.Height()), 0u);
    } catch (const std::bad_alloc&) {
        pixels_.clear();
        return false;
    }
    RenderAnts(runs_, zoom, originX, originY, phase, clip, pixels_.data(), size_t(clip.Width()));
    ++redraws_;
    key_ = key;
    valid_ = true;
    return true;
}

void MarchingAntsCache::Invalidate() {
    valid_ = false;
    runsValid_ = false;
}

bool SelectionTintCache::Update(const SelectionMask& mask) {
    if (valid_ && mask_ == &mask && revision_ == mask.Revision() && width_ == mask.Width() &&
        height_ == mask.Height())
        return hasSelection_;
    valid_ = false;
    hasSelection_ = false;
    if (mask.Width() < 1 || mask.Height() < 1 || !mask.HasSelection()) {
        // Nothing to tint: remember that, so the next paint does not scan again.
        mask_ = &mask;
        revision_ = mask.Revision();
        width_ = mask.Width(), height_ = mask.Height();
        valid_ = true;
        return false;
    }
    try {
        pixels_.resize(size_t(mask.Width()) * size_t(mask.Height()));
    } catch (const std::bad_alloc&) {
        pixels_.clear();
        return false;
    }
    width_ = mask.Width(), height_ = mask.Height();
    mask.RenderOverlay(width_, height_, reinterpret_cast<uint8_t*>(pixels_.data()), width_ * 4);
    ++renders_;
    mask_ = &mask;
    revision_ = mask.Revision();
    hasSelection_ = true;
    valid_ = true;
    return true;
}
