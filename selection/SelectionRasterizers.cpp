// Selection shapes to coverage bytes.
#include "selection/SelectionRasterizers.h"

#include "selection/MaskRefine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Grows the coverage rectangle: room for the feather's blur to spread, and one
// pixel for the wand's 3 x 3 softening.
int32_t CoverageMargin(const SelectionEdgeOptions& o, bool wand) {
    if (o.edgeMode == kSelectionEdgeFeather) {
        const double r = std::isfinite(o.featherRadius) ? std::max(0.0, double(o.featherRadius)) : 0.0;
        return int32_t(std::min(1.0 + 2.0 * std::ceil(r), double(1 << 20)));
    }
    return (wand && o.edgeMode == kSelectionEdgeAntialias) ? 1 : 0;
}

// The coverage rectangle of a float extent grown by the margin and clipped;
// false when it is empty or the extent is not finite.
bool CoverageRect(double left, double top, double right, double bottom, int32_t margin, int32_t clipW,
                  int32_t clipH, SelectionCoverage& c) {
    if (!std::isfinite(left) || !std::isfinite(top) || !std::isfinite(right) || !std::isfinite(bottom)) return false;
    if (clipW <= 0 || clipH <= 0) return false;
    const double x0 = std::clamp(std::floor(left) - margin, 0.0, double(clipW));
    const double y0 = std::clamp(std::floor(top) - margin, 0.0, double(clipH));
    const double x1 = std::clamp(std::ceil(right) + margin, 0.0, double(clipW));
    const double y1 = std::clamp(std::ceil(bottom) + margin, 0.0, double(clipH));
    if (x0 >= x1 || y0 >= y1) return false;
    c.x = int32_t(x0);
    c.y = int32_t(y0);
    c.width = int32_t(x1) - c.x;
    c.height = int32_t(y1) - c.y;
    c.bytes.assign(size_t(c.width) * size_t(c.height), 0);
    return true;
}

void FeatherIfAsked(SelectionCoverage& c, const SelectionEdgeOptions& o) {
    if (o.edgeMode == kSelectionEdgeFeather) GaussianBlurMask(c.bytes.data(), c.width, c.height, o.featherRadius);
}

inline uint8_t CoverToByte(double v) { return uint8_t(std::min(v, 1.0) * 255.0 + 0.5); }

}  // namespace

SelectionCoverage RasterizeRectSelection(float x, float y, float width, float height,
                                         const SelectionEdgeOptions& options, int32_t clipWidth,
                                         int32_t clipHeight) {
    SelectionCoverage c;
    const float right = x + width, bottom = y + height;
    if (!CoverageRect(x, y, right, bottom, CoverageMargin(options, false), clipWidth, clipHeight, c)) return {};
    std::vector<double> cols(size_t(c.width)), rows(size_t(c.height));
    const bool area = options.edgeMode == kSelectionEdgeAntialias;
    for (int32_t i = 0; i < c.width; ++i) {
        const double px = double(c.x + i);
        cols[size_t(i)] = area ? std::max(0.0, std::min(double(right), px + 1) - std::max(double(x), px))
                               : (x <= px + 0.5 && px + 0.5 < right ? 1.0 : 0.0);
    }
    for (int32_t j = 0; j < c.height; ++j) {
        const double py = double(c.y + j);
        rows[size_t(j)] = area ? std::max(0.0, std::min(double(bottom), py + 1) - std::max(double(y), py))
                               : (y <= py + 0.5 && py + 0.5 < bottom ? 1.0 : 0.0);
    }
    for (int32_t j = 0; j < c.height; ++j) {
        if (rows[size_t(j)] <= 0.0) continue;
        uint8_t* row = c.bytes.data() + size_t(j) * size_t(c.width);
        for (int32_t i = 0; i < c.width; ++i)
            if (cols[size_t(i)] > 0.0) row[i] = CoverToByte(cols[size_t(i)] * rows[size_t(j)]);
    }
    FeatherIfAsked(c, options);
    return c;
}

SelectionCoverage RasterizeEllipseSelection(float x, float y, float width, float height,
                                            const SelectionEdgeOptions& options, int32_t clipWidth,
                                            int32_t clipHeight) {
    const double rx = double(width) / 2, ry = double(height) / 2;
    if (!(rx > 0) || !(ry > 0)) return {};
    SelectionCoverage c;
    if (!CoverageRect(x, y, double(x) + width, double(y) + height, CoverageMargin(options, false), clipWidth,
                      clipHeight, c))
        return {};
    const double cx = double(x) + rx, cy = double(y) + ry;
    const int n = options.edgeMode == kSelectionEdgeAntialias ? 4 : 1;
    for (int32_t j = 0; j < c.height; ++j) {
        uint8_t* row = c.bytes.data() + size_t(j) * size_t(c.width);
        for (int32_t i = 0; i < c.width; ++i) {
            int count = 0;
            for (int sj = 0; sj < n; ++sj) {
                const double dy = (double(c.y + j) + (sj + 0.5) / n - cy) / ry;
                for (int si = 0; si < n; ++si) {
                    const double dx = (double(c.x + i) + (si + 0.5) / n - cx) / rx;
                    count += dx * dx + dy * dy <= 1.0;
                }
            }
            row[i] = uint8_t(count * 255 / (n * n));
        }
    }
    FeatherIfAsked(c, options);
    return c;
}

SelectionCoverage RasterizePolygonSelection(std::span<const SelectionPoint> points,
                                            const SelectionEdgeOptions& options, int32_t clipWidth,
                                            int32_t clipHeight) {
    if (points.size() < 3) return {};
    double left = points[0].x, right = left, top = points[0].y, bottom = top;
    for (const SelectionPoint& p : points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return {};
        left = std::min(left, double(p.x));
        right = std::max(right, double(p.x));
        top = std::min(top, double(p.y));
        bottom = std::max(bottom, double(p.y));
    }
    SelectionCoverage c;
    if (!CoverageRect(left, top, right, bottom, CoverageMargin(options, false), clipWidth, clipHeight, c)) return {};

    struct Edge {
        double yTop, yBottom, xTop, dxdy;
    };
    std::vector<Edge> edges;
    edges.reserve(points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        const SelectionPoint& p = points[i];
        const SelectionPoint& q = points[(i + 1) % points.size()];
        if (p.y == q.y) continue;
        const SelectionPoint& u = p.y < q.y ? p : q;
        const SelectionPoint& l = p.y < q.y ? q : p;
        edges.push_back({u.y, l.y, u.x, (double(l.x) - u.x) / (double(l.y) - u.y)});
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.yTop < b.yTop; });

    const int n = options.edgeMode == kSelectionEdgeAntialias ? 4 : 1;
    const double perSample = 255.0 / n;
    std::vector<int32_t> acc(size_t(c.width), 0);
    std::vector<double> crossings;
    std::vector<size_t> active;
    size_t next = 0;
    for (int32_t j = 0; j < c.height; ++j) {
        for (int e = 0; e < n; ++e) {
            const double sy = double(c.y + j) + (e + 0.5) / n;
            while (next < edges.size() && edges[next].yTop <= sy) active.push_back(next++);
            std::erase_if(active, [&](size_t k) { return !(sy < edges[k].yBottom); });
            crossings.clear();
            for (size_t k : active) {
                const Edge& ed = edges[k];
                crossings.push_back(ed.xTop + (sy - ed.yTop) * ed.dxdy);
            }
            std::sort(crossings.begin(), crossings.end());
            for (size_t k = 0; k + 1 < crossings.size(); k += 2) {
                const double l = crossings[k], r = crossings[k + 1];
                if (!(l < r)) continue;
                const double first = std::max(std::floor(l), double(c.x));
                const double last = std::min(std::ceil(r) - 1, double(c.x + c.width - 1));
                for (int32_t px = int32_t(first); double(px) <= last; ++px) {
                    const double cover = std::min(r, double(px) + 1) - std::max(l, double(px));
                    if (cover > 0) acc[size_t(px - c.x)] += int32_t(perSample * std::min(cover, 1.0) + 0.5);
                }
            }
        }
        uint8_t* row = c.bytes.data() + size_t(j) * size_t(c.width);
        for (int32_t i = 0; i < c.width; ++i) {
            row[i] = uint8_t(std::min(acc[size_t(i)], 255));
            acc[size_t(i)] = 0;
        }
    }
    FeatherIfAsked(c, options);
    return c;
}

SelectionCoverage MagicWandFillPixels(const uint32_t* pixels, int32_t width, int32_t height, int32_t seedX,
                                      int32_t seedY, int32_t tolerance, const SelectionEdgeOptions& options) {
    if (!pixels || width <= 0 || height <= 0 || seedX < 0 || seedY < 0 || seedX >= width || seedY >= height)
        return {};
    const size_t w = size_t(width);
    const uint32_t seed = pixels[size_t(seedY) * w + size_t(seedX)];
    const int tol = std::clamp(tolerance, 0, 255);
    auto matches = [&](uint32_t p) {
        for (int s = 0; s < 32; s += 8) {
            if (std::abs(int((p >> s) & 0xFF) - int((seed >> s) & 0xFF)) > tol) return false;
        }
        return true;
    };
    std::vector<uint8_t> filled(w * size_t(height), 0);
    struct Run {
        int32_t y, left, right;
    };
    std::vector<Run> stack;
    stack.reserve(4096);
    int32_t minX = width, maxX = -1, minY = height, maxY = -1;

    // Fills the run through (x, y) and pushes it; returns its right end, or x
    // when nothing was filled.
    auto fillSpan = [&](int32_t x, int32_t y) -> int32_t {
        if (x < 0 || y < 0 || x >= width || y >= height) return x;
        const size_t row = size_t(y) * w;
        if (filled[row + size_t(x)] || !matches(pixels[row + size_t(x)])) return x;
        int32_t l = x, r = x;
        while (l > 0 && !filled[row + size_t(l - 1)] && matches(pixels[row + size_t(l - 1)])) --l;
        while (r < width - 1 && !filled[row + size_t(r + 1)] && matches(pixels[row + size_t(r + 1)])) ++r;
        std::fill(filled.begin() + ptrdiff_t(row + size_t(l)), filled.begin() + ptrdiff_t(row + size_t(r) + 1), 255);
        stack.push_back({y, l, r});
        minX = std::min(minX, l);
        maxX = std::max(maxX, r);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
        return r;
    };

    fillSpan(seedX, seedY);
    while (!stack.empty()) {
        const Run run = stack.back();
        stack.pop_back();
        for (int32_t ny : {run.y - 1, run.y + 1}) {
            if (ny < 0 || ny >= height) continue;
            const size_t row = size_t(ny) * w;
            for (int32_t x = run.left; x <= run.right; ++x) {
                if (!filled[row + size_t(x)] && matches(pixels[row + size_t(x)])) x = fillSpan(x, ny);
            }
        }
    }
    if (maxX < minX) return {};

    const int32_t m = CoverageMargin(options, true);
    SelectionCoverage c;
    c.x = int32_t(std::max<int64_t>(0, int64_t(minX) - m));
    c.y = int32_t(std::max<int64_t>(0, int64_t(minY) - m));
    c.width = int32_t(std::min<int64_t>(width, int64_t(maxX) + m + 1)) - c.x;
    c.height = int32_t(std::min<int64_t>(height, int64_t(maxY) + m + 1)) - c.y;
    c.bytes.resize(size_t(c.width) * size_t(c.height));
    for (int32_t j = 0; j < c.height; ++j)
        std::copy_n(filled.begin() + ptrdiff_t(size_t(c.y + j) * w + size_t(c.x)), c.width,
                    c.bytes.begin() + ptrdiff_t(size_t(j) * size_t(c.width)));
    if (options.edgeMode == kSelectionEdgeAntialias) BoxBlur3x3(c.bytes.data(), c.width, c.height);
    FeatherIfAsked(c, options);
    return c;
}

void BoxBlur3x3(uint8_t* bytes, int32_t width, int32_t height) {
    if (!bytes || width < 1 || height < 1) return;
    const size_t w = size_t(width);
    std::vector<uint8_t> tmp(w * size_t(height));
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* s = bytes + size_t(y) * w;
        uint8_t* d = tmp.data() + size_t(y) * w;
        for (int32_t x = 0; x < width; ++x)
            d[x] = uint8_t((s[std::max(x - 1, 0)] + s[x] + s[std::min(x + 1, width - 1)]) / 3);
    }
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* up = tmp.data() + size_t(std::max(y - 1, 0)) * w;
        const uint8_t* mid = tmp.data() + size_t(y) * w;
        const uint8_t* dn = tmp.data() + size_t(std::min(y + 1, height - 1)) * w;
        uint8_t* d = bytes + size_t(y) * w;
        for (int32_t x = 0; x < width; ++x) d[x] = uint8_t((up[x] + mid[x] + dn[x]) / 3);
    }
}
