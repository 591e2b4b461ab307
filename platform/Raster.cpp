// Straight sources, straight or premultiplied targets; see Raster.h for the
// pixel model. Coverage is exact signed area accumulated per scanline (each
// edge adds the area it cuts off to the cells it crosses; a running sum over a
// row gives the winding-weighted coverage), with the fill rule applied to the
// sum. Rows run on OpenMP threads; each thread owns its scanline buffers.
#include "platform/Raster.h"

#include "platform/Bitmap.h"
#include "platform/CompositeSurface.h"
#include "platform/CpuLevel.h"

#include <opencv2/imgproc.hpp>
#include <omp.h>

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <thread>
#include <utility>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kInv255 = 1.0f / 255.0f;

inline uint8_t ToByte(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 1.0f) return 255;
    return uint8_t(v * 255.0f + 0.5f);
}

inline float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// ---------------------------------------------------------------- coverage

struct Edge {
    double x0, y0, x1, y1;  // y0 < y1
    double dxdy;
    float dir;  // +1 downwards in the figure's order, -1 upwards
};

// Adds the signed area of a segment crossing one scanline (from x0 at its top
// to x1 at its bottom, vertical extent times direction d) to acc, whose cell i
// covers [i, i+1). Requires 0 <= x0, x1 <= width of acc - 2.
void AccumulateSegment(float* acc, double xa, double xb, double d) {
    double x0 = std::min(xa, xb), x1 = std::max(xa, xb);
    double x0floor = std::floor(x0);
    int x0i = int(x0floor);
    double x1ceil = std::ceil(x1);
    int x1i = int(x1ceil);
    if (x1i <= x0i + 1) {
        double xmf = 0.5 * (xa + xb) - x0floor;
        acc[x0i] += float(d - d * xmf);
        acc[x0i + 1] += float(d * xmf);
        return;
    }
    double s = 1.0 / (x1 - x0);
    double x0f = x0 - x0floor;
    double a0 = 0.5 * s * (1.0 - x0f) * (1.0 - x0f);
    double x1f = x1 - x1ceil + 1.0;
    double am = 0.5 * s * x1f * x1f;
    acc[x0i] += float(d * a0);
    if (x1i == x0i + 2) {
        acc[x0i + 1] += float(d * (1.0 - a0 - am));
    } else {
        double a1 = s * (1.5 - x0f);
        acc[x0i + 1] += float(d * (a1 - a0));
        for (int xi = x0i + 2; xi < x1i - 1; ++xi) acc[xi] += float(d * s);
        double a2 = a1 + double(x1i - x0i - 3) * s;
        acc[x1i - 1] += float(d * (1.0 - a2 - am));
    }
    acc[x1i] += float(d * am);
}

// Clips the row piece of an edge to [0, w] in x: parts left of 0 become a
// vertical line at 0 (they cover the whole row to their right), parts right
// of w cover nothing inside.
void AccumulateClipped(float* acc, int w, double xa, double xb, double d) {
    const double W = w;
    if (xa >= 0 && xb >= 0 && xa <= W && xb <= W) {
        AccumulateSegment(acc, xa, xb, d);
        return;
    }
    double ts[4] = {0, 1, 1, 1};
    int n = 1;
    if (xa != xb) {
        for (double edge : {0.0, W}) {
            double t = (edge - xa) / (xb - xa);
            if (t > 0 && t < 1) ts[n++] = t;
        }
    }
    ts[n++] = 1;
    for (int i = 1; i < n; ++i)  // at most four values
        for (int j = i; j > 0 && ts[j] < ts[j - 1]; --j) std::swap(ts[j], ts[j - 1]);
    for (int i = 0; i + 1 < n; ++i) {
        double ta = ts[i], tb = ts[i + 1];
        if (tb <= ta) continue;
        double xs = xa + (xb - xa) * ta, xe = xa + (xb - xa) * tb;
        double mid = 0.5 * (xs + xe);
        if (mid >= W) continue;
        xs = std::clamp(xs, 0.0, W);
        xe = std::clamp(xe, 0.0, W);
        if (mid <= 0) xs = xe = 0;
        AccumulateSegment(acc, xs, xe, d * (tb - ta));
    }
}

// The rows of a filled shape: edges in target space, bucketed by bands of rows.
class CoverageRaster {
public:
    CoverageRaster(const std::vector<std::vector<PointF>>& figures, const Affine* world, int width, int height,
                   FillRule rule, bool antiAlias)
        : rule_(rule), antiAlias_(antiAlias) {
        double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
        for (const auto& fig : figures) {
            const size_t n = fig.size();
            if (n < 2) continue;
            for (size_t i = 0; i < n; ++i) {
                PointF p = fig[i], q = fig[(i + 1) % n];
                if (world) p = world->Map(p), q = world->Map(q);
                double px = p.x, py = p.y, qx = q.x, qy = q.y;
                if (!std::isfinite(px) || !std::isfinite(py) || !std::isfinite(qx) || !std::isfinite(qy)) continue;
                minX = std::min({minX, px, qx});
                maxX = std::max({maxX, px, qx});
                if (py == qy) continue;
                Edge e;
                if (py < qy) e = {px, py, qx, qy, 0, 1.0f};
                else e = {qx, qy, px, py, 0, -1.0f};
                e.dxdy = (e.x1 - e.x0) / (e.y1 - e.y0);
                minY = std::min(minY, e.y0);
                maxY = std::max(maxY, e.y1);
                edges_.push_back(e);
            }
        }
        if (edges_.empty()) return;
        // Bounds pinned to the target in doubles before any conversion to int.
        x0_ = int(std::clamp(std::floor(minX), 0.0, double(width)));
        x1_ = int(std::clamp(std::ceil(maxX), 0.0, double(width)));
        y0_ = int(std::clamp(std::floor(minY), 0.0, double(height)));
        y1_ = int(std::clamp(std::ceil(maxY), 0.0, double(height)));
        if (x0_ >= x1_ || y0_ >= y1_) {
            y1_ = y0_;
            return;
        }
        const int bands = (y1_ - y0_ + kBand - 1) / kBand;
        bandEdges_.assign(size_t(bands), {});
        for (size_t i = 0; i < edges_.size(); ++i) {
            const Edge& e = edges_[i];
            const double r0 = std::max(double(y0_), std::floor(e.y0));
            const double r1 = std::min(double(y1_ - 1), std::ceil(e.y1) - 1);
            if (r0 > r1) continue;
            const int b0 = (int(r0) - y0_) / kBand, b1 = (int(r1) - y0_) / kBand;
            for (int b = b0; b <= b1; ++b) bandEdges_[size_t(b)].push_back(uint32_t(i));
        }
    }

    bool Empty() const { return y0_ >= y1_; }
    int Y0() const { return y0_; }
    int Y1() const { return y1_; }
    int X0() const { return x0_; }
    int X1() const { return x1_; }

    // Coverage of row y for columns X0() to X1() - 1 into cov (size X1 - X0).
    // acc (X1 - X0 + 2 floats) must be all zero on entry and is again on
    // return; spans is scratch. The running sum is taken cell by cell only
    // over the cells the row's edges touch: elsewhere it cannot change, so
    // those runs get one value. Returns false when the row is empty.
    bool Row(int y, float* acc, float* cov, std::vector<std::pair<int, int>>& spans) const {
        const int w = x1_ - x0_;
        const double W = w;
        spans.clear();
        const double top = y, bottom = y + 1.0;
        for (uint32_t idx : bandEdges_[size_t((y - y0_) / kBand)]) {
            const Edge& e = edges_[idx];
            double yt = std::max(top, e.y0), yb = std::min(bottom, e.y1);
            if (yb <= yt) continue;
            double xt = e.x0 + (yt - e.y0) * e.dxdy - x0_;
            double xb = e.x0 + (yb - e.y0) * e.dxdy - x0_;
            AccumulateClipped(acc, w, xt, xb, (yb - yt) * e.dir);
            // The cells AccumulateSegment can have written: floor(lo) to
            // max(ceil(hi), floor(lo) + 1), the clipped pieces lying in [lo, hi].
            const int lo = int(std::clamp(std::min(xt, xb), 0.0, W));
            const int hi = int(std::ceil(std::clamp(std::max(xt, xb), 0.0, W)));
            spans.push_back({lo, std::min(w + 2, std::max(hi, lo + 1) + 1)});
        }
        if (spans.empty()) return false;
        std::sort(spans.begin(), spans.end());
        auto value = [this](float sum) {
            float v = std::fabs(sum);
            if (rule_ == FillRule::Winding) {
                v = std::min(v, 1.0f);
            } else {
                v = v - 2.0f * std::floor(v * 0.5f);
                if (v > 1.0f) v = 2.0f - v;
            }
            if (v < 1e-5f) v = 0;  // float drift in the running sum
            else if (v > 1.0f - 1e-5f) v = 1.0f;
            if (!antiAlias_) v = v >= 0.5f ? 1.0f : 0.0f;
            return v;
        };
        float sum = 0;
        bool nonzero = false;
        size_t k = 0;
        for (int i = 0; i < w;) {
            int touchedEnd = i;
            while (k < spans.size() && spans[k].first <= i) touchedEnd = std::max(touchedEnd, spans[k++].second);
            if (touchedEnd > i) {
                for (const int e = std::min(touchedEnd, w); i < e; ++i) {
                    sum += acc[i];
                    cov[i] = value(sum);
                    nonzero |= cov[i] > 0;
                }
                continue;
            }
            const int e = k < spans.size() ? std::min(spans[k].first, w) : w;
            const float v = value(sum);
            std::fill(cov + i, cov + e, v);
            nonzero |= v > 0;
            i = e;
        }
        for (const auto& [lo, hi] : spans) std::fill(acc + lo, acc + hi, 0.0f);
        return nonzero;
    }

private:
    static constexpr int kBand = 16;
    std::vector<Edge> edges_;
    std::vector<std::vector<uint32_t>> bandEdges_;
    FillRule rule_;
    bool antiAlias_;
    int x0_ = 0, x1_ = 0, y0_ = 0, y1_ = 0;
};

// Calls rowFn(y, x0, coverage of columns x0..x1-1, x1) for every non-empty
// row, rows spread over the OpenMP threads.
template <class RowFn>
void ForEachCoverageRow(const CoverageRaster& cr, RowFn&& rowFn) {
    if (cr.Empty()) return;
    const int w = cr.X1() - cr.X0();
    const int rows = cr.Y1() - cr.Y0();
#pragma omp parallel if (int64_t(rows) * w > 16384)
    {
        std::vector<float> acc(size_t(w) + 2);
        std::vector<float> cov(static_cast<size_t>(w));
        std::vector<std::pair<int, int>> spans;
#pragma omp for schedule(static)
        for (int y = cr.Y0(); y < cr.Y1(); ++y) {
            if (cr.Row(y, acc.data(), cov.data(), spans)) rowFn(y, cr.X0(), cov.data(), cr.X1());
        }
    }
}

// One row's scratch for a thread running queued draws: coverage buffers (acc
// all zero between rows, as CoverageRaster::Row keeps it) and tint rows.
struct RowScratch {
    std::vector<float> acc, cov, vr, e;
    std::vector<std::pair<int, int>> spans;
};

// A draw made ready for its rows: fn(y, scratch) draws row y, for y in
// [y0, y1), touching no other row. `width` is the coverage scratch it needs.
struct RowOp {
    int y0 = 0, y1 = 0, width = 0;
    int64_t work = 0;
    std::function<void(int, RowScratch&)> fn;
};

// The rows of `cr` passed to rowFn as ForEachCoverageRow passes them, run at
// once or, with `defer`, queued as a RowOp (rowFn then owns what it reads).
template <class RowFn>
void EmitCoverageRows(std::vector<RowOp>* defer, std::shared_ptr<const CoverageRaster> cr, RowFn&& rowFn) {
    if (cr->Empty()) return;
    if (!defer) {
        ForEachCoverageRow(*cr, rowFn);
        return;
    }
    const int w = cr->X1() - cr->X0();
    defer->push_back({cr->Y0(), cr->Y1(), w, int64_t(w) * (cr->Y1() - cr->Y0()),
                      [cr, fn = std::forward<RowFn>(rowFn)](int y, RowScratch& s) {
                          if (cr->Row(y, s.acc.data(), s.cov.data(), s.spans)) fn(y, cr->X0(), s.cov.data(), cr->X1());
                      }});
}

// ---------------------------------------------------------------- pixels

inline uint8_t* PixelAt(const RasterTarget& t, int x, int y) {
    return t.pixels + int64_t(y) * t.stride + int64_t(x) * 4;
}

// Composites a premultiplied source (b, g, r, a in [0, 1]) at coverage `cov`.
// Always inlined: inside the vector row functions its products and sums may
// fuse, and every one of them must compute it the same way.
__attribute__((always_inline)) inline void CompositePixel(uint8_t* d, const float s[4], float cov, Compositing mode, bool targetPremultiplied) {
    float db = d[0] * kInv255, dg = d[1] * kInv255, dr = d[2] * kInv255, da = d[3] * kInv255;
    if (!targetPremultiplied) db *= da, dg *= da, dr *= da;
    float rb, rg, rr, ra;
    if (mode == Compositing::SourceOver) {
        const float k = 1.0f - s[3] * cov;
        rb = s[0] * cov + db * k;
        rg = s[1] * cov + dg * k;
        rr = s[2] * cov + dr * k;
        ra = s[3] * cov + da * k;
    } else {
        const float k = 1.0f - cov;
        rb = s[0] * cov + db * k;
        rg = s[1] * cov + dg * k;
        rr = s[2] * cov + dr * k;
        ra = s[3] * cov + da * k;
    }
    if (!targetPremultiplied) {
        if (ra > 0) {
            const float inv = 1.0f / ra;
            rb *= inv, rg *= inv, rr *= inv;
        } else {
            rb = rg = rr = 0;
        }
    }
    d[0] = ToByte(rb);
    d[1] = ToByte(rg);
    d[2] = ToByte(rr);
    d[3] = ToByte(ra);
}

// A sampling source: straight or premultiplied bytes, with the texel range
// that clamped coordinates stay inside.
struct SampleSource {
    const uint8_t* pixels;
    int64_t stride;
    int minX, minY, maxX, maxY;  // inclusive
    bool premultiplied;

    // Premultiplied texel scaled to [0, 255] colour and [0, 1] alpha... kept in
    // 0..255 for all four; the caller scales once.
    inline void Texel(int x, int y, float out[4]) const {
        x = std::clamp(x, minX, maxX);
        y = std::clamp(y, minY, maxY);
        const uint8_t* p = pixels + int64_t(y) * stride + int64_t(x) * 4;
        if (premultiplied) {
            out[0] = p[0], out[1] = p[1], out[2] = p[2], out[3] = p[3];
        } else {
            const float a = p[3] * kInv255;
            out[0] = p[0] * a, out[1] = p[1] * a, out[2] = p[2] * a, out[3] = p[3];
        }
    }
};

inline void CubicWeights(double t, float w[4]) {
    // Keys cubic convolution, a = -0.5; weights sum to 1.
    const double a = -0.5;
    auto near = [a](double x) { return ((a + 2) * x - (a + 3)) * x * x + 1; };
    auto far = [a](double x) { return ((a * x - 5 * a) * x + 8 * a) * x - 4 * a; };
    w[0] = float(far(1 + t));
    w[1] = float(near(t));
    w[2] = float(near(1 - t));
    w[3] = float(1.0 - w[0] - w[1] - w[2]);
}

// Premultiplied sample in [0, 1] at source point (sx, sy), texel centres at k + 0.5.
inline void Sample(const SampleSource& src, Interpolation mode, double sx, double sy, float out[4]) {
    // Far-off points read the clamped edge anyway; pinning them keeps the
    // integer conversions below in range.
    sx = std::clamp(sx, double(src.minX) - 4, double(src.maxX) + 5);
    sy = std::clamp(sy, double(src.minY) - 4, double(src.maxY) + 5);
    float t[4];
    if (mode == Interpolation::Nearest) {
        src.Texel(int(std::floor(sx)), int(std::floor(sy)), t);
        for (int c = 0; c < 4; ++c) out[c] = t[c] * kInv255;
        return;
    }
    const double fx = sx - 0.5, fy = sy - 0.5;
    const double flx = std::floor(fx), fly = std::floor(fy);
    const int ix = int(flx), iy = int(fly);
    const double tx = fx - flx, ty = fy - fly;
    float acc[4] = {0, 0, 0, 0};
    if (mode == Interpolation::Bilinear) {
        const float wx[2] = {float(1 - tx), float(tx)}, wy[2] = {float(1 - ty), float(ty)};
        for (int j = 0; j < 2; ++j)
            for (int i = 0; i < 2; ++i) {
                const float w = wx[i] * wy[j];
                if (w == 0) continue;
                src.Texel(ix + i, iy + j, t);
                for (int c = 0; c < 4; ++c) acc[c] += w * t[c];
            }
    } else {
        float wx[4], wy[4];
        CubicWeights(tx, wx);
        CubicWeights(ty, wy);
        for (int j = 0; j < 4; ++j) {
            if (wy[j] == 0) continue;
            float row[4] = {0, 0, 0, 0};
            for (int i = 0; i < 4; ++i) {
                if (wx[i] == 0) continue;
                src.Texel(ix - 1 + i, iy - 1 + j, t);
                for (int c = 0; c < 4; ++c) row[c] += wx[i] * t[c];
            }
            for (int c = 0; c < 4; ++c) acc[c] += wy[j] * row[c];
        }
    }
    // Bicubic overshoots; premultiplied colour may not exceed alpha.
    const float a = Clamp01(acc[3] * kInv255);
    for (int c = 0; c < 3; ++c) out[c] = std::clamp(acc[c] * kInv255, 0.0f, a);
    out[3] = a;
}

// ---------------------------------------------------------------- filtered rows
// The rows of a bilinear or bicubic draw. Pixels that are fully covered and
// whose whole filter footprint lies inside the clamp range take a vector
// kernel (no per-tap clamping, source mapped incrementally along the row);
// the rest, the edge pixels, go through Sample and CompositePixel. The kernel
// sums the same products as Sample in another order, so results match it to
// float rounding; on premultiplied targets bicubic weights come from a table
// of kCubicSteps fractional positions (off by at most 1/(2 kCubicSteps) of a
// texel, which moves a byte by well under one level before rounding). On
// straight targets the weights are exact, as unpremultiplying would magnify
// a premultiplied error under low alpha.

constexpr int kCubicSteps = 1024;

struct CubicTable {
    alignas(16) float w[kCubicSteps + 1][4];
    CubicTable() {
        for (int i = 0; i <= kCubicSteps; ++i) CubicWeights(double(i) / kCubicSteps, w[i]);
    }
};

const CubicTable& Cubic() {
    static const CubicTable table;
    return table;
}

struct FilterJob {
    RasterTarget target;
    SampleSource src;
    Affine inv;
    Interpolation interp;
    Compositing comp;
    float opacity;
};

// One pixel by the general path.
__attribute__((always_inline)) inline void GeneralPixel(const FilterJob& j, uint8_t* d, double sx, double sy, float cov) {
    float s[4];
    Sample(j.src, j.interp, sx, sy, s);
    for (int k = 0; k < 4; ++k) s[k] *= j.opacity;
    CompositePixel(d, s, cov, j.comp, j.target.premultiplied);
}

// Maps each pixel exactly as the reference does, so nearest sampling picks
// the same texel even for points on a texel boundary.
void FilteredRowScalar(const FilterJob& j, int y, int x0, const float* cov, int x1) {
    const double py = y + 0.5;
    uint8_t* d = PixelAt(j.target, x0, y);
    for (int x = x0; x < x1; ++x, d += 4) {
        const float c = cov[x - x0];
        if (c <= 0) continue;
        const double px = x + 0.5;
        GeneralPixel(j, d, j.inv.a * px + j.inv.c * py + j.inv.tx, j.inv.b * px + j.inv.d * py + j.inv.ty, c);
    }
}

#define RASTER_AVX2 __attribute__((target("avx2,fma")))

// The exact rows keep every product a product: a contracted a * b + c rounds
// apart from the rows they must match. GCC takes that per function, Clang
// for a stretch of the file; GCC 12's AVX-512 headers also warn about their
// own placeholder operands.
#if defined(__clang__)
#define RASTER_NO_CONTRACT
#define RASTER_EXACT_BEGIN _Pragma("STDC FP_CONTRACT OFF")
#define RASTER_EXACT_END _Pragma("STDC FP_CONTRACT ON")
#else
#define RASTER_NO_CONTRACT , optimize("fp-contract=off")
#define RASTER_EXACT_BEGIN \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wmaybe-uninitialized\"")
#define RASTER_EXACT_END _Pragma("GCC diagnostic pop")
#endif

// Four texels (16 bytes) as two vectors of floats, texels 0-1 and 2-3,
// premultiplied the way SampleSource::Texel does.
template <bool kPremultipliedSource>
RASTER_AVX2 inline void LoadTexels4(const uint8_t* p, __m256& t01, __m256& t23) {
    const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    t01 = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(raw));
    t23 = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_srli_si128(raw, 8)));
    if (!kPremultipliedSource) {
        const __m256 one = _mm256_set1_ps(1.0f), k = _mm256_set1_ps(kInv255);
        t01 = _mm256_mul_ps(t01, _mm256_blend_ps(_mm256_mul_ps(_mm256_permute_ps(t01, 0xFF), k), one, 0x88));
        t23 = _mm256_mul_ps(t23, _mm256_blend_ps(_mm256_mul_ps(_mm256_permute_ps(t23, 0xFF), k), one, 0x88));
    }
}

template <bool kPremultipliedSource>
RASTER_AVX2 inline __m256 LoadTexels2(const uint8_t* p) {
    const __m128i raw = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    __m256 t = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(raw));
    if (!kPremultipliedSource) {
        const __m256 one = _mm256_set1_ps(1.0f), k = _mm256_set1_ps(kInv255);
        t = _mm256_mul_ps(t, _mm256_blend_ps(_mm256_mul_ps(_mm256_permute_ps(t, 0xFF), k), one, 0x88));
    }
    return t;
}

// Writes a premultiplied sample (B, G, R, A in [0, 255], unclamped) at full
// coverage: clamp as Sample does, opacity, then the compositing of
// CompositePixel.
RASTER_AVX2 __attribute__((always_inline)) inline void FinishPixel(const FilterJob& j, uint8_t* d, __m128 acc) {
    __m128 s = _mm_mul_ps(acc, _mm_set1_ps(kInv255));
    const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
    const __m128 a = _mm_min_ps(_mm_max_ps(_mm_shuffle_ps(s, s, 0xFF), zero), one);
    s = _mm_min_ps(_mm_max_ps(s, zero), a);
    s = _mm_mul_ps(s, _mm_set1_ps(j.opacity));
    if (!j.target.premultiplied) {
        float v[4];
        _mm_storeu_ps(v, s);
        CompositePixel(d, v, 1.0f, j.comp, false);
        return;
    }
    if (j.comp == Compositing::SourceOver) {
        const __m128 k = _mm_sub_ps(one, _mm_shuffle_ps(s, s, 0xFF));
        int32_t dv;
        std::memcpy(&dv, d, 4);
        const __m128 db = _mm_mul_ps(_mm_cvtepi32_ps(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(dv))), _mm_set1_ps(kInv255));
        s = _mm_add_ps(s, _mm_mul_ps(db, k));
        s = _mm_min_ps(_mm_max_ps(s, zero), one);
    }
    const __m128i i = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(s, _mm_set1_ps(255.0f)), _mm_set1_ps(0.5f)));
    const int32_t out = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packus_epi32(i, i), i));
    std::memcpy(d, &out, 4);
}

template <bool kPremultipliedSource, bool kTable>
RASTER_AVX2 void BicubicRowAvx2(const FilterJob& j, int y, int x0, const float* cov, int x1) {
    const double py = y + 0.5;
    const double rowX = j.inv.c * py + j.inv.tx, rowY = j.inv.d * py + j.inv.ty;
    const SampleSource& ss = j.src;
    // Interior: the 4 x 4 footprint floor(f) - 1 .. floor(f) + 2 inside the clamp range.
    const double loX = ss.minX + 1, hiX = ss.maxX - 2, loY = ss.minY + 1, hiY = ss.maxY - 2;
    const CubicTable& table = Cubic();
    const __m256i lanes01 = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
    const __m256i lanes23 = _mm256_setr_epi32(2, 2, 2, 2, 3, 3, 3, 3);
    uint8_t* d = PixelAt(j.target, x0, y);
    for (int x = x0; x < x1; ++x, d += 4) {
        const float c = cov[x - x0];
        if (c <= 0) continue;
        const double px = x + 0.5;
        const double sx = j.inv.a * px + rowX, sy = j.inv.b * px + rowY;
        const double fx = sx - 0.5, fy = sy - 0.5;
        const double flx = std::floor(fx), fly = std::floor(fy);
        if (c < 1.0f || !(flx >= loX && flx <= hiX && fly >= loY && fly <= hiY)) {
            GeneralPixel(j, d, sx, sy, c);
            continue;
        }
        __m128 wx;
        alignas(16) float wy[4];
        if (kTable) {
            wx = _mm_load_ps(table.w[int((fx - flx) * kCubicSteps + 0.5)]);
            _mm_store_ps(wy, _mm_load_ps(table.w[int((fy - fly) * kCubicSteps + 0.5)]));
        } else {
            alignas(16) float w[4];
            CubicWeights(fx - flx, w);
            CubicWeights(fy - fly, wy);
            wx = _mm_load_ps(w);
        }
        const __m256 wx8 = _mm256_castps128_ps256(wx);
        const __m256 wx01 = _mm256_permutevar8x32_ps(wx8, lanes01), wx23 = _mm256_permutevar8x32_ps(wx8, lanes23);
        const uint8_t* p = ss.pixels + int64_t(int(fly) - 1) * ss.stride + int64_t(int(flx) - 1) * 4;
        __m256 acc = _mm256_setzero_ps();
        for (int r = 0; r < 4; ++r, p += ss.stride) {
            __m256 t01, t23;
            LoadTexels4<kPremultipliedSource>(p, t01, t23);
            const __m256 row = _mm256_fmadd_ps(t23, wx23, _mm256_mul_ps(t01, wx01));
            acc = _mm256_fmadd_ps(row, _mm256_set1_ps(wy[r]), acc);
        }
        FinishPixel(j, d, _mm_add_ps(_mm256_castps256_ps128(acc), _mm256_extractf128_ps(acc, 1)));
    }
}

// Two fully covered premultiplied-target pixels at once, d[0..7]; the same
// operations as FinishPixel, lane by lane.
RASTER_AVX2 inline void FinishPixelPair(const FilterJob& j, uint8_t* d, __m256 acc) {
    const __m256 zero = _mm256_setzero_ps(), one = _mm256_set1_ps(1.0f);
    __m256 s = _mm256_mul_ps(acc, _mm256_set1_ps(kInv255));
    const __m256 a = _mm256_min_ps(_mm256_max_ps(_mm256_permute_ps(s, 0xFF), zero), one);
    s = _mm256_min_ps(_mm256_max_ps(s, zero), a);
    s = _mm256_mul_ps(s, _mm256_set1_ps(j.opacity));
    if (j.comp == Compositing::SourceOver) {
        const __m256 k = _mm256_sub_ps(one, _mm256_permute_ps(s, 0xFF));
        const __m256 db = _mm256_mul_ps(
            _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(d)))),
            _mm256_set1_ps(kInv255));
        s = _mm256_add_ps(s, _mm256_mul_ps(db, k));
        s = _mm256_min_ps(_mm256_max_ps(s, zero), one);
    }
    const __m256i i = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(s, _mm256_set1_ps(255.0f)), _mm256_set1_ps(0.5f)));
    const __m256i w = _mm256_packus_epi16(_mm256_packus_epi32(i, i), i);  // bytes 0-3 of each 128-bit lane
    const int32_t lo = _mm_cvtsi128_si32(_mm256_castsi256_si128(w));
    const int32_t hi = _mm_cvtsi128_si32(_mm256_extracti128_si256(w, 1));
    std::memcpy(d, &lo, 4);
    std::memcpy(d + 4, &hi, 4);
}

// One step of two pixels of a bilinear row onto a premultiplied target, from
// their 2 x 2 sums: two interior pixels finish together, otherwise each
// covered pixel on its own, an edge pixel through the general sampler.
// Always inlined, so that its arithmetic is compiled as part of each row
// function, as it was written there.
RASTER_AVX2 __attribute__((always_inline)) inline void FinishStep(const FilterJob& j, uint8_t* d, int x, int x0,
                                                                  const float* cov, bool in0, bool in1, __m256 acc0,
                                                                  __m256 acc1, double rowX, double rowY) {
    if (in0 && in1) {
        const __m256 lo = _mm256_permute2f128_ps(acc0, acc1, 0x20);
        const __m256 hi = _mm256_permute2f128_ps(acc0, acc1, 0x31);
        FinishPixelPair(j, d, _mm256_add_ps(lo, hi));
        return;
    }
    for (int k = 0; k < 2; ++k) {
        const float c = cov[x + k - x0];
        if (c <= 0) continue;
        const __m256 acc = k == 0 ? acc0 : acc1;
        if (k == 0 ? in0 : in1) {
            FinishPixel(j, d + 4 * k, _mm_add_ps(_mm256_castps256_ps128(acc), _mm256_extractf128_ps(acc, 1)));
        } else {
            const double px = x + k + 0.5;
            GeneralPixel(j, d + 4 * k, j.inv.a * px + rowX, j.inv.b * px + rowY, c);
        }
    }
}

struct BilinearRow {
    const FilterJob& j;
    int x0;
    const float* cov;
    double rowX, rowY, loX, hiX, loY, hiY;
};

// The 2 x 2 taps of a fully covered interior pixel summed into B, G, R, A
// (both halves of the result hold partial sums); false for edge pixels.
template <bool kPremultipliedSource>
RASTER_AVX2 inline bool BilinearInterior(const BilinearRow& r, int x, double& sx, double& sy, __m256& acc) {
    const FilterJob& j = r.j;
    const SampleSource& ss = j.src;
    const double px = x + 0.5;
    sx = j.inv.a * px + r.rowX;
    sy = j.inv.b * px + r.rowY;
    const double fx = sx - 0.5, fy = sy - 0.5;
    const double flx = std::floor(fx), fly = std::floor(fy);
    if (r.cov[x - r.x0] < 1.0f || !(flx >= r.loX && flx <= r.hiX && fly >= r.loY && fly <= r.hiY)) return false;
    const double tx = fx - flx, ty = fy - fly;
    const float wx0 = float(1 - tx), wx1 = float(tx);
    const __m256 wx = _mm256_setr_ps(wx0, wx0, wx0, wx0, wx1, wx1, wx1, wx1);
    const uint8_t* p = ss.pixels + int64_t(int(fly)) * ss.stride + int64_t(int(flx)) * 4;
    acc = _mm256_mul_ps(LoadTexels2<kPremultipliedSource>(p), _mm256_mul_ps(wx, _mm256_set1_ps(float(1 - ty))));
    acc = _mm256_fmadd_ps(LoadTexels2<kPremultipliedSource>(p + ss.stride), _mm256_mul_ps(wx, _mm256_set1_ps(float(ty))),
                          acc);
    return true;
}

template <bool kPremultipliedSource>
RASTER_AVX2 void BilinearRowAvx2(const FilterJob& j, int y, int x0, const float* cov, int x1) {
    const double py = y + 0.5;
    const double rowX = j.inv.c * py + j.inv.tx, rowY = j.inv.d * py + j.inv.ty;
    const SampleSource& ss = j.src;
    const bool pairs = j.target.premultiplied;
    const BilinearRow row{j, x0, cov, rowX, rowY, double(ss.minX), ss.maxX - 1.0, double(ss.minY), ss.maxY - 1.0};
    uint8_t* d = PixelAt(j.target, x0, y);
    int x = x0;
    // Pairs of interior pixels share the finishing arithmetic.
    if (pairs) {
        // Both pixels' source points at once, lanes (x, y) of the first and
        // of the second: the same fused products and roundings as
        // BilinearInterior works out one pixel at a time.
        const __m256d mapA = _mm256_setr_pd(j.inv.a, j.inv.b, j.inv.a, j.inv.b);
        const __m256d mapR = _mm256_setr_pd(rowX, rowY, rowX, rowY);
        const __m256d lo = _mm256_setr_pd(row.loX, row.loY, row.loX, row.loY);
        const __m256d hi = _mm256_setr_pd(row.hiX, row.hiY, row.hiX, row.hiY);
        const __m256d half = _mm256_set1_pd(0.5), one = _mm256_set1_pd(1.0);
        for (; x + 1 < x1; x += 2, d += 8) {
            __m256 acc0 = _mm256_setzero_ps(), acc1 = acc0;
            const double px0 = x + 0.5, px1 = (x + 1) + 0.5;
            const __m256d f = _mm256_sub_pd(_mm256_fmadd_pd(mapA, _mm256_setr_pd(px0, px0, px1, px1), mapR), half);
            const __m256d fl = _mm256_floor_pd(f);
            const int inside = _mm256_movemask_pd(
                _mm256_and_pd(_mm256_cmp_pd(fl, lo, _CMP_GE_OQ), _mm256_cmp_pd(fl, hi, _CMP_LE_OQ)));
            const bool in0 = cov[x - x0] >= 1.0f && (inside & 3) == 3;
            const bool in1 = cov[x + 1 - x0] >= 1.0f && (inside & 12) == 12;
            if (in0 || in1) {
                const __m256d t = _mm256_sub_pd(f, fl);
                alignas(16) float w1[4], w0[4];  // t and 1 - t as floats
                alignas(16) int32_t at[4];
                _mm_store_ps(w1, _mm256_cvtpd_ps(t));
                _mm_store_ps(w0, _mm256_cvtpd_ps(_mm256_sub_pd(one, t)));
                _mm_store_si128(reinterpret_cast<__m128i*>(at), _mm256_cvttpd_epi32(fl));
                for (int k = 0; k < 2; ++k) {
                    if (!(k == 0 ? in0 : in1)) continue;
                    const float wx0 = w0[2 * k], wx1 = w1[2 * k];
                    const __m256 wx = _mm256_setr_ps(wx0, wx0, wx0, wx0, wx1, wx1, wx1, wx1);
                    const uint8_t* p = ss.pixels + int64_t(at[2 * k + 1]) * ss.stride + int64_t(at[2 * k]) * 4;
                    __m256 acc = _mm256_mul_ps(LoadTexels2<kPremultipliedSource>(p),
                                               _mm256_mul_ps(wx, _mm256_set1_ps(w0[2 * k + 1])));
                    acc = _mm256_fmadd_ps(LoadTexels2<kPremultipliedSource>(p + ss.stride),
                                          _mm256_mul_ps(wx, _mm256_set1_ps(w1[2 * k + 1])), acc);
                    (k == 0 ? acc0 : acc1) = acc;
                }
            }
            FinishStep(j, d, x, x0, cov, in0, in1, acc0, acc1, rowX, rowY);
        }
    }
    for (; x < x1; ++x, d += 4) {
        const float c = cov[x - x0];
        if (c <= 0) continue;
        double sx, sy;
        __m256 acc = _mm256_setzero_ps();
        if (BilinearInterior<kPremultipliedSource>(row, x, sx, sy, acc)) {
            FinishPixel(j, d, _mm_add_ps(_mm256_castps256_ps128(acc), _mm256_extractf128_ps(acc, 1)));
        } else {
            GeneralPixel(j, d, sx, sy, c);
        }
    }
}

// Rotated or skewed bilinear rows from a straight source onto a
// premultiplied target, source-over: sixteen (or eight) interior pixels a
// step, channel by channel (each pixel's two texel pairs one 8-byte load a
// row), with the same operations lane by lane as the pixel pairs of
// BilinearRowAvx2 (their products, fused sums and roundings as that kernel
// is compiled), so the bytes are the same; stretches holding edge pixels go
// through it.
RASTER_EXACT_BEGIN
#define RASTER_AVX512_EXACT \
    __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx2,fma") RASTER_NO_CONTRACT))

RASTER_AVX512_EXACT inline __m256 Channel8(__m256i texels, int ch) {
    return _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(texels, 8 * ch), _mm256_set1_epi32(0xFF)));
}

// Two horizontally adjacent texels (8 bytes) for each of eight offsets.
// Functions rather than lambdas: Clang does not give a lambda the target
// features of the function it sits in.
RASTER_AVX512_EXACT inline __m128i TexelPair2(const uint8_t* base, const int64_t* at, int i) {
    int64_t lo, hi;
    std::memcpy(&lo, base + at[i], 8);
    std::memcpy(&hi, base + at[i + 1], 8);
    return _mm_set_epi64x(hi, lo);
}
RASTER_AVX512_EXACT inline __m512i TexelPairs8(const uint8_t* base, const int64_t* at) {
    const __m256i a = _mm256_inserti128_si256(_mm256_castsi128_si256(TexelPair2(base, at, 0)), TexelPair2(base, at, 2), 1);
    const __m256i b = _mm256_inserti128_si256(_mm256_castsi128_si256(TexelPair2(base, at, 4)), TexelPair2(base, at, 6), 1);
    return _mm512_inserti64x4(_mm512_castsi256_si512(a), b, 1);
}

// The weights and texels of eight pixels from x (as the pair kernel works
// them out); false when any is not a fully covered interior pixel.
struct EightTaps {
    __m256 wx0, wx1, wy0, wy1;
    __m256i t[4];  // upper left, upper right, lower left, lower right
};
RASTER_AVX512_EXACT inline bool EightTapsAt(const FilterJob& j, const BilinearRow& row, int x, EightTaps& out) {
    const float* cov = row.cov + (x - row.x0);
    if (_mm256_movemask_ps(_mm256_cmp_ps(_mm256_loadu_ps(cov), _mm256_set1_ps(1.0f), _CMP_GE_OQ)) != 0xFF)
        return false;
    const __m512d px = _mm512_add_pd(_mm512_cvtepi32_pd(_mm256_add_epi32(_mm256_set1_epi32(x),
                                                                          _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7))),
                                     _mm512_set1_pd(0.5));
    const __m512d half = _mm512_set1_pd(0.5);
    const __m512d fx = _mm512_sub_pd(_mm512_fmadd_pd(_mm512_set1_pd(j.inv.a), px, _mm512_set1_pd(row.rowX)), half);
    const __m512d fy = _mm512_sub_pd(_mm512_fmadd_pd(_mm512_set1_pd(j.inv.b), px, _mm512_set1_pd(row.rowY)), half);
    const __m512d flx = _mm512_roundscale_pd(fx, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    const __m512d fly = _mm512_roundscale_pd(fy, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    const __mmask8 in = _mm512_cmp_pd_mask(flx, _mm512_set1_pd(row.loX), _CMP_GE_OQ) &
                        _mm512_cmp_pd_mask(flx, _mm512_set1_pd(row.hiX), _CMP_LE_OQ) &
                        _mm512_cmp_pd_mask(fly, _mm512_set1_pd(row.loY), _CMP_GE_OQ) &
                        _mm512_cmp_pd_mask(fly, _mm512_set1_pd(row.hiY), _CMP_LE_OQ);
    if (in != 0xFF) return false;
    const __m512d one = _mm512_set1_pd(1.0);
    const __m512d tx = _mm512_sub_pd(fx, flx), ty = _mm512_sub_pd(fy, fly);
    out.wx1 = _mm512_cvtpd_ps(tx), out.wx0 = _mm512_cvtpd_ps(_mm512_sub_pd(one, tx));
    out.wy1 = _mm512_cvtpd_ps(ty), out.wy0 = _mm512_cvtpd_ps(_mm512_sub_pd(one, ty));
    const SampleSource& ss = j.src;
    const __m512i off = _mm512_add_epi64(_mm512_mullo_epi64(_mm512_cvtepi32_epi64(_mm512_cvttpd_epi32(fly)),
                                                            _mm512_set1_epi64(ss.stride)),
                                         _mm512_slli_epi64(_mm512_cvtepi32_epi64(_mm512_cvttpd_epi32(flx)), 2));
    alignas(64) int64_t at[8];
    _mm512_store_si512(at, off);
    const __m512i q0 = TexelPairs8(ss.pixels, at), q1 = TexelPairs8(ss.pixels + ss.stride, at);
    out.t[0] = _mm512_cvtepi64_epi32(q0), out.t[1] = _mm512_cvtepi64_epi32(_mm512_srli_epi64(q0, 32));
    out.t[2] = _mm512_cvtepi64_epi32(q1), out.t[3] = _mm512_cvtepi64_epi32(_mm512_srli_epi64(q1, 32));
    return true;
}

// Eight pixels x .. x + 7 when all are fully covered interior pixels: drawn,
// true; otherwise nothing is written.
RASTER_AVX512_EXACT bool BilinearEightAvx512(const FilterJob& j, const BilinearRow& row, int x, uint8_t* d) {
    EightTaps taps;
    if (!EightTapsAt(j, row, x, taps)) return false;
    const __m256 wx0 = taps.wx0, wx1 = taps.wx1, wy0 = taps.wy0, wy1 = taps.wy1;
    const __m256i* t = taps.t;
    const __m256 inv = _mm256_set1_ps(kInv255);
    __m256 ta[4], tf[4];  // alpha bytes, and alpha / 255 for the colour channels
    for (int i = 0; i < 4; ++i) {
        ta[i] = Channel8(t[i], 3);
        tf[i] = _mm256_mul_ps(ta[i], inv);
    }
    // The weights: x weight times y weight, as the pair kernel forms them.
    const __m256 w[4] = {_mm256_mul_ps(wx0, wy0), _mm256_mul_ps(wx1, wy0), _mm256_mul_ps(wx0, wy1),
                         _mm256_mul_ps(wx1, wy1)};
    __m256 sum[4];
    for (int ch = 0; ch < 4; ++ch) {
        __m256 v[4];
        for (int i = 0; i < 4; ++i) v[i] = ch == 3 ? ta[i] : _mm256_mul_ps(Channel8(t[i], ch), tf[i]);
        const __m256 left = _mm256_fmadd_ps(w[2], v[2], _mm256_mul_ps(w[0], v[0]));
        const __m256 right = _mm256_fmadd_ps(w[3], v[3], _mm256_mul_ps(w[1], v[1]));
        sum[ch] = _mm256_add_ps(left, right);
    }
    const __m256 zero = _mm256_setzero_ps(), one8 = _mm256_set1_ps(1.0f), op = _mm256_set1_ps(j.opacity);
    const __m256 sa = _mm256_mul_ps(sum[3], inv);
    const __m256 a = _mm256_min_ps(_mm256_max_ps(sa, zero), one8);
    __m256 s[4];
    for (int ch = 0; ch < 4; ++ch)
        s[ch] = _mm256_mul_ps(op, _mm256_min_ps(_mm256_max_ps(ch == 3 ? sa : _mm256_mul_ps(sum[ch], inv), zero), a));
    const __m256 k = _mm256_sub_ps(one8, s[3]);
    const __m256i dp = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d));
    const __m256 k255 = _mm256_set1_ps(255.0f), h = _mm256_set1_ps(0.5f);
    __m256i out = _mm256_setzero_si256();
    for (int ch = 0; ch < 4; ++ch) {
        const __m256 db = _mm256_mul_ps(Channel8(dp, ch), inv);
        const __m256 r = _mm256_min_ps(_mm256_max_ps(_mm256_fmadd_ps(db, k, s[ch]), zero), one8);
        out = _mm256_or_si256(out, _mm256_slli_epi32(_mm256_cvttps_epi32(_mm256_fmadd_ps(r, k255, h)), 8 * ch));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), out);
    return true;
}

RASTER_AVX512_EXACT inline __m512 Join(__m256 a, __m256 b) {
    return _mm512_insertf32x8(_mm512_castps256_ps512(a), b, 1);
}
RASTER_AVX512_EXACT inline __m512i JoinI(__m256i a, __m256i b) {
    return _mm512_inserti64x4(_mm512_castsi256_si512(a), b, 1);
}
RASTER_AVX512_EXACT inline __m512 Channel16(__m512i texels, int ch) {
    return _mm512_cvtepi32_ps(_mm512_and_si512(_mm512_srli_epi32(texels, unsigned(8 * ch)), _mm512_set1_epi32(0xFF)));
}

// Sixteen interior pixels from x at once: the operations of
// BilinearEightAvx512 lane by lane, on twice the lanes.
RASTER_AVX512_EXACT bool BilinearSixteenAvx512(const FilterJob& j, const BilinearRow& row, int x, uint8_t* d) {
    EightTaps a, b;
    if (!EightTapsAt(j, row, x, a) || !EightTapsAt(j, row, x + 8, b)) return false;
    const __m512 wx0 = Join(a.wx0, b.wx0), wx1 = Join(a.wx1, b.wx1), wy0 = Join(a.wy0, b.wy0), wy1 = Join(a.wy1, b.wy1);
    __m512i t[4];
    for (int i = 0; i < 4; ++i) t[i] = JoinI(a.t[i], b.t[i]);
    const __m512 inv = _mm512_set1_ps(kInv255);
    __m512 ta[4], tf[4];
    for (int i = 0; i < 4; ++i) {
        ta[i] = Channel16(t[i], 3);
        tf[i] = _mm512_mul_ps(ta[i], inv);
    }
    const __m512 w[4] = {_mm512_mul_ps(wx0, wy0), _mm512_mul_ps(wx1, wy0), _mm512_mul_ps(wx0, wy1),
                         _mm512_mul_ps(wx1, wy1)};
    __m512 sum[4];
    for (int ch = 0; ch < 4; ++ch) {
        __m512 v[4];
        for (int i = 0; i < 4; ++i) v[i] = ch == 3 ? ta[i] : _mm512_mul_ps(Channel16(t[i], ch), tf[i]);
        const __m512 left = _mm512_fmadd_ps(w[2], v[2], _mm512_mul_ps(w[0], v[0]));
        const __m512 right = _mm512_fmadd_ps(w[3], v[3], _mm512_mul_ps(w[1], v[1]));
        sum[ch] = _mm512_add_ps(left, right);
    }
    const __m512 zero = _mm512_setzero_ps(), one = _mm512_set1_ps(1.0f), op = _mm512_set1_ps(j.opacity);
    const __m512 sa = _mm512_mul_ps(sum[3], inv);
    const __m512 al = _mm512_min_ps(_mm512_max_ps(sa, zero), one);
    __m512 s[4];
    for (int ch = 0; ch < 4; ++ch)
        s[ch] = _mm512_mul_ps(op, _mm512_min_ps(_mm512_max_ps(ch == 3 ? sa : _mm512_mul_ps(sum[ch], inv), zero), al));
    const __m512 k = _mm512_sub_ps(one, s[3]);
    const __m512i dp = _mm512_loadu_si512(d);
    const __m512 k255 = _mm512_set1_ps(255.0f), h = _mm512_set1_ps(0.5f);
    __m512i out = _mm512_setzero_si512();
    for (int ch = 0; ch < 4; ++ch) {
        const __m512 db = _mm512_mul_ps(Channel16(dp, ch), inv);
        const __m512 r = _mm512_min_ps(_mm512_max_ps(_mm512_fmadd_ps(db, k, s[ch]), zero), one);
        out = _mm512_or_si512(out, _mm512_slli_epi32(_mm512_cvttps_epi32(_mm512_fmadd_ps(r, k255, h)), unsigned(8 * ch)));
    }
    _mm512_storeu_si512(d, out);
    return true;
}

// The pair kernel kept out of line, so that it is compiled as it always was.
__attribute__((noinline)) RASTER_AVX2 void BilinearPairsAvx2(const FilterJob& j, int y, int x0, const float* cov,
                                                             int x1) {
    BilinearRowAvx2<false>(j, y, x0, cov, x1);
}

RASTER_AVX512_EXACT void BilinearRowAvx512(const FilterJob& j, int y, int x0, const float* cov, int x1) {
    if (!j.target.premultiplied || j.comp != Compositing::SourceOver) {
        BilinearPairsAvx2(j, y, x0, cov, x1);
        return;
    }
    const double py = y + 0.5;
    const double rowX = j.inv.c * py + j.inv.tx, rowY = j.inv.d * py + j.inv.ty;
    const SampleSource& ss = j.src;
    const BilinearRow row{j, x0, cov, rowX, rowY, double(ss.minX), ss.maxX - 1.0, double(ss.minY), ss.maxY - 1.0};
    uint8_t* d0 = PixelAt(j.target, x0, y);
    // Stretches that are not sixteen or eight interior pixels go to the pair
    // kernel, starting on the same pixel pairs.
    int pending = x0, x = x0;
    while (x + 8 <= x1) {
        if (x + 16 <= x1 && BilinearSixteenAvx512(j, row, x, d0 + 4 * (x - x0))) {
            if (pending < x) BilinearPairsAvx2(j, y, pending, cov + (pending - x0), x);
            x += 16;
            pending = x;
        } else if (BilinearEightAvx512(j, row, x, d0 + 4 * (x - x0))) {
            if (pending < x) BilinearPairsAvx2(j, y, pending, cov + (pending - x0), x);
            x += 8;
            pending = x;
        } else {
            x += 2;
        }
    }
    if (pending < x1) BilinearPairsAvx2(j, y, pending, cov + (pending - x0), x1);
}

RASTER_EXACT_END

// An axis-aligned bilinear draw maps every row's column x to the same source
// column, so the columns' coordinates, weights and interior tests are worked
// out once per draw, and each row premultiplies the two source rows it reads
// once instead of four texels per pixel. Every value is computed by the same
// operations as BilinearInterior, so the bytes are those of BilinearRowAvx2.
struct AxisColumns {
    uint64_t draw = 0;  // this draw's number, which no other draw shares
    int x0 = 0;
    std::vector<int32_t> texel;   // floor(sx - 0.5): the left tap
    std::vector<float> weights;   // per column 1 - tx four times, then tx four times
    std::vector<uint8_t> inside;  // the taps lie inside the clamp range along x
    int lo = 0, hi = -1;          // the texels the inside columns read
};

RASTER_AVX2 AxisColumns PlanAxisColumns(const FilterJob& j, int x0, int x1) {
    static std::atomic<uint64_t> draws{0};
    AxisColumns c;
    c.draw = ++draws;
    c.x0 = x0;
    const size_t n = size_t(std::max(0, x1 - x0));
    c.texel.resize(n);
    c.weights.resize(n * 8);
    c.inside.resize(n);
    const double py = 0.5;
    const double rowX = j.inv.c * py + j.inv.tx;
    const double loX = double(j.src.minX), hiX = j.src.maxX - 1.0;
    c.lo = j.src.maxX + 1;
    for (int x = x0; x < x1; ++x) {
        const double px = x + 0.5;
        const double sx = j.inv.a * px + rowX;
        const double fx = sx - 0.5;
        const double flx = std::floor(fx);
        const size_t i = size_t(x - x0);
        c.inside[i] = flx >= loX && flx <= hiX;
        if (!c.inside[i]) continue;
        const double tx = fx - flx;
        const float wx0 = float(1 - tx), wx1 = float(tx);
        _mm256_storeu_ps(c.weights.data() + 8 * i, _mm256_setr_ps(wx0, wx0, wx0, wx0, wx1, wx1, wx1, wx1));
        c.texel[i] = int(flx);
        c.lo = std::min(c.lo, int(flx));
        c.hi = std::max(c.hi, int(flx) + 1);
    }
    return c;
}

// Texels lo..hi of a straight source row, premultiplied as LoadTexels2 does.
RASTER_AVX2 void PremultiplyRow(const uint8_t* row, int lo, int hi, float* out) {
    int x = lo;
    for (; x + 1 <= hi; x += 2) _mm256_storeu_ps(out + 4 * (x - lo), LoadTexels2<false>(row + 4 * x));
    if (x <= hi) {  // the pair ending at x (hi > lo), so no byte past the texels is read
        alignas(32) float v[8];
        _mm256_store_ps(v, LoadTexels2<false>(row + 4 * (x - 1)));
        std::memcpy(out + 4 * (x - lo), v + 4, 4 * sizeof(float));
    }
}

// Rows go to each thread in order, so a source row a thread premultiplied
// for one target row is mostly needed again by the next few: four slots per
// thread, each keyed by the draw and the source row it holds. Returns row r
// premultiplied from texel cols.lo on; the slots of rows keepLo..keepHi of
// this draw are not reused for it.
RASTER_AVX2 const float* AxisSourceRow(const AxisColumns& cols, const SampleSource& ss, int r, int keepLo,
                                       int keepHi) {
    struct Slot {
        uint64_t draw = 0;
        int row = -1;
        std::vector<float> texels;
    };
    thread_local Slot slots[4];
    Slot* victim = nullptr;
    for (Slot& slot : slots) {
        if (slot.draw == cols.draw && slot.row == r) return slot.texels.data();
        if (!victim && !(slot.draw == cols.draw && slot.row >= keepLo && slot.row <= keepHi)) victim = &slot;
    }
    const size_t n = size_t(cols.hi - cols.lo + 1) * 4;
    if (victim->texels.size() < n) victim->texels.resize(n);
    victim->draw = cols.draw;
    victim->row = r;
    PremultiplyRow(ss.pixels + int64_t(r) * ss.stride, cols.lo, cols.hi, victim->texels.data());
    return victim->texels.data();
}

struct AxisRow {
    const AxisColumns& cols;
    int x0;
    const float* cov;
    bool inside;
    const float* top;     // premultiplied source row floor(fy) from texel cols.lo on
    const float* bottom;  // and the row below it
    __m256 wTop, wBottom;
};

// BilinearInterior for a column of an axis-aligned draw.
RASTER_AVX2 inline bool AxisInterior(const AxisRow& r, int x, __m256& acc) {
    const size_t i = size_t(x - r.cols.x0);
    if (r.cov[x - r.x0] < 1.0f || !r.inside || !r.cols.inside[i]) return false;
    const __m256 wx = _mm256_loadu_ps(r.cols.weights.data() + 8 * i);
    const int t = r.cols.texel[i] - r.cols.lo;
    acc = _mm256_mul_ps(_mm256_loadu_ps(r.top + 4 * t), _mm256_mul_ps(wx, r.wTop));
    acc = _mm256_fmadd_ps(_mm256_loadu_ps(r.bottom + 4 * t), _mm256_mul_ps(wx, r.wBottom), acc);
    return true;
}

RASTER_AVX2 void BilinearAxisRowAvx2(const FilterJob& j, const AxisColumns& cols, int y, int x0, const float* cov,
                                     int x1) {
    const double py = y + 0.5;
    const double rowX = j.inv.c * py + j.inv.tx, rowY = j.inv.d * py + j.inv.ty;
    const SampleSource& ss = j.src;
    const bool pairs = j.target.premultiplied;
    // Every pixel of the row has the vertical position of its first one.
    const double sy = j.inv.b * (x0 + 0.5) + rowY;
    const double fy = sy - 0.5;
    const double fly = std::floor(fy);
    const bool rowInside = fly >= double(ss.minY) && fly <= ss.maxY - 1.0 && cols.lo <= cols.hi;
    const float* top = nullptr;
    const float* bottom = nullptr;
    __m256 wTop = _mm256_setzero_ps(), wBottom = wTop;
    if (rowInside) {
        const int r = int(fly);
        top = AxisSourceRow(cols, ss, r, r, r + 1);
        bottom = AxisSourceRow(cols, ss, r + 1, r, r + 1);
        const double ty = fy - fly;
        wTop = _mm256_set1_ps(float(1 - ty));
        wBottom = _mm256_set1_ps(float(ty));
    }
    const AxisRow row{cols, x0, cov, rowInside, top, bottom, wTop, wBottom};
    uint8_t* d = PixelAt(j.target, x0, y);
    int x = x0;
    if (pairs) {
        for (; x + 1 < x1; x += 2, d += 8) {
            __m256 acc0 = _mm256_setzero_ps(), acc1 = acc0;
            const bool in0 = cov[x - x0] > 0 && AxisInterior(row, x, acc0);
            const bool in1 = cov[x + 1 - x0] > 0 && AxisInterior(row, x + 1, acc1);
            FinishStep(j, d, x, x0, cov, in0, in1, acc0, acc1, rowX, rowY);
        }
    }
    for (; x < x1; ++x, d += 4) {
        const float c = cov[x - x0];
        if (c <= 0) continue;
        __m256 acc = _mm256_setzero_ps();
        if (AxisInterior(row, x, acc)) {
            FinishPixel(j, d, _mm_add_ps(_mm256_castps256_ps128(acc), _mm256_extractf128_ps(acc, 1)));
        } else {
            const double px = x + 0.5;
            GeneralPixel(j, d, j.inv.a * px + rowX, j.inv.b * px + rowY, c);
        }
    }
}

// The bicubic form of AxisColumns: per column the left tap (floor(fx) - 1),
// the four weights spread as BicubicRowAvx2 spreads them (w0 w0 w0 w0 w1 w1
// w1 w1, then w2 and w3), and whether the 4 x 4 footprint lies inside along x.
template <bool kTable>
RASTER_AVX2 AxisColumns PlanCubicAxisColumns(const FilterJob& j, int x0, int x1) {
    static std::atomic<uint64_t> draws{uint64_t(1) << 63};
    AxisColumns c;
    c.draw = ++draws;
    c.x0 = x0;
    const size_t n = size_t(std::max(0, x1 - x0));
    c.texel.resize(n);
    c.weights.resize(n * 16);
    c.inside.resize(n);
    const SampleSource& ss = j.src;
    const double py = 0.5;
    const double rowX = j.inv.c * py + j.inv.tx;
    const double loX = ss.minX + 1, hiX = ss.maxX - 2;
    const CubicTable& table = Cubic();
    const __m256i lanes01 = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
    const __m256i lanes23 = _mm256_setr_epi32(2, 2, 2, 2, 3, 3, 3, 3);
    c.lo = ss.maxX + 1;
    for (int x = x0; x < x1; ++x) {
        const double px = x + 0.5;
        const double sx = j.inv.a * px + rowX;
        const double fx = sx - 0.5;
        const double flx = std::floor(fx);
        const size_t i = size_t(x - x0);
        c.inside[i] = flx >= loX && flx <= hiX;
        if (!c.inside[i]) continue;
        __m128 wx;
        if (kTable) {
            wx = _mm_load_ps(table.w[int((fx - flx) * kCubicSteps + 0.5)]);
        } else {
            alignas(16) float w[4];
            CubicWeights(fx - flx, w);
            wx = _mm_load_ps(w);
        }
        const __m256 wx8 = _mm256_castps128_ps256(wx);
        _mm256_storeu_ps(c.weights.data() + 16 * i, _mm256_permutevar8x32_ps(wx8, lanes01));
        _mm256_storeu_ps(c.weights.data() + 16 * i + 8, _mm256_permutevar8x32_ps(wx8, lanes23));
        c.texel[i] = int(flx) - 1;
        c.lo = std::min(c.lo, int(flx) - 1);
        c.hi = std::max(c.hi, int(flx) + 2);
    }
    return c;
}

// BicubicRowAvx2 for an axis-aligned straight source: the columns from the
// plan, the four source rows premultiplied once per thread, the same sums.
template <bool kTable>
RASTER_AVX2 void BicubicAxisRowAvx2(const FilterJob& j, const AxisColumns& cols, int y, int x0, const float* cov,
                                    int x1) {
    const double py = y + 0.5;
    const double rowX = j.inv.c * py + j.inv.tx, rowY = j.inv.d * py + j.inv.ty;
    const SampleSource& ss = j.src;
    const double loY = ss.minY + 1, hiY = ss.maxY - 2;
    const CubicTable& table = Cubic();
    // Every pixel of the row has the vertical position of its first one.
    const double sy = j.inv.b * (x0 + 0.5) + rowY;
    const double fy = sy - 0.5;
    const double fly = std::floor(fy);
    const bool rowInside = fly >= loY && fly <= hiY && cols.lo <= cols.hi;
    const float* rows[4] = {};
    alignas(16) float wy[4] = {};
    if (rowInside) {
        const int r0 = int(fly) - 1;
        for (int r = 0; r < 4; ++r) rows[r] = AxisSourceRow(cols, ss, r0 + r, r0, r0 + 3);
        if (kTable) {
            _mm_store_ps(wy, _mm_load_ps(table.w[int((fy - fly) * kCubicSteps + 0.5)]));
        } else {
            CubicWeights(fy - fly, wy);
        }
    }
    uint8_t* d = PixelAt(j.target, x0, y);
    for (int x = x0; x < x1; ++x, d += 4) {
        const float c = cov[x - x0];
        if (c <= 0) continue;
        const size_t i = size_t(x - cols.x0);
        if (c < 1.0f || !rowInside || !cols.inside[i]) {
            const double px = x + 0.5;
            GeneralPixel(j, d, j.inv.a * px + rowX, j.inv.b * px + rowY, c);
            continue;
        }
        const __m256 wx01 = _mm256_loadu_ps(cols.weights.data() + 16 * i);
        const __m256 wx23 = _mm256_loadu_ps(cols.weights.data() + 16 * i + 8);
        const size_t t = size_t(cols.texel[i] - cols.lo) * 4;
        __m256 acc = _mm256_setzero_ps();
        for (int r = 0; r < 4; ++r) {
            const __m256 t01 = _mm256_loadu_ps(rows[r] + t), t23 = _mm256_loadu_ps(rows[r] + t + 8);
            const __m256 row = _mm256_fmadd_ps(t23, wx23, _mm256_mul_ps(t01, wx01));
            acc = _mm256_fmadd_ps(row, _mm256_set1_ps(wy[r]), acc);
        }
        FinishPixel(j, d, _mm_add_ps(_mm256_castps256_ps128(acc), _mm256_extractf128_ps(acc, 1)));
    }
}

using FilteredRowFn = void (*)(const FilterJob& j, int y, int x0, const float* cov, int x1);

FilteredRowFn PickFilteredRow(const FilterJob& j) {
    const bool avx2 = ActiveCpuLevel() >= CpuLevel::Avx2;
    if (!avx2 || j.interp == Interpolation::Nearest) return &FilteredRowScalar;
    const bool preSrc = j.src.premultiplied, table = j.target.premultiplied;
    if (j.interp == Interpolation::Bilinear) {
        if (!preSrc && ActiveCpuLevel() >= CpuLevel::Avx512) return &BilinearRowAvx512;
        return preSrc ? &BilinearRowAvx2<true> : &BilinearRowAvx2<false>;
    }
    if (preSrc) return table ? &BicubicRowAvx2<true, true> : &BicubicRowAvx2<true, false>;
    return table ? &BicubicRowAvx2<false, true> : &BicubicRowAvx2<false, false>;
}

// ---------------------------------------------------------------- aligned rows
// One row of an unfiltered, fully covered draw: straight source texels,
// premultiplied on the fly exactly as Sample and CompositePixel do.

using AlignedRowFn = void (*)(uint8_t* d, const uint8_t* s, int n, float opacity, Compositing mode, bool pre);

void AlignedRowScalar(uint8_t* d, const uint8_t* s, int n, float opacity, Compositing mode, bool pre) {
    for (int i = 0; i < n; ++i, d += 4, s += 4) {
        const float a = s[3] * kInv255;
        float px[4] = {s[0] * a * kInv255, s[1] * a * kInv255, s[2] * a * kInv255, float(s[3]) * kInv255};
        for (int k = 0; k < 4; ++k) px[k] *= opacity;
        CompositePixel(d, px, 1.0f, mode, pre);
    }
}

typedef float RasterF8 __attribute__((vector_size(32)));
typedef int32_t RasterI8 __attribute__((vector_size(32)));
typedef uint32_t RasterU8 __attribute__((vector_size(32)));

__attribute__((target("avx2"))) inline RasterF8 ToF8(RasterU8 u) {
    return __builtin_convertvector((RasterI8)u, RasterF8);
}

// Source-over onto premultiplied pixels, eight at a time, with the products
// and sums of AlignedRowScalar in the same order (no fused multiply-add, so
// every byte matches it): r = s + d (1 - as), byte = r x 255 + 0.5 truncated.
// The clamps of ToByte are left out: s and d (1 - as) are never below zero
// by more than a rounding step and their sum never exceeds 1 by more than a
// few, and either way the truncation gives 0 or 255 as the clamp would.
__attribute__((target("avx2"))) inline __m256i OverToByte(__m256 v) {
    return _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(v, _mm256_set1_ps(255.0f)), _mm256_set1_ps(0.5f)));
}

__attribute__((target("avx2"))) void AlignedOverPremulAvx2(uint8_t* d, const uint8_t* s, int n, float opacity,
                                                           Compositing mode, bool pre) {
    const __m256 inv = _mm256_set1_ps(kInv255), op = _mm256_set1_ps(opacity), one = _mm256_set1_ps(1.0f);
    const __m256i low = _mm256_set1_epi32(0xFF);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i sp = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 4 * i));
        const __m256i dp = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + 4 * i));
        const __m256 a = _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_srli_epi32(sp, 24)), inv);
        const __m256 sa = _mm256_mul_ps(a, op);
        const __m256 k = _mm256_sub_ps(one, sa);
        const __m256 dA = _mm256_cvtepi32_ps(_mm256_srli_epi32(dp, 24));
        __m256i out = _mm256_slli_epi32(OverToByte(_mm256_add_ps(sa, _mm256_mul_ps(_mm256_mul_ps(dA, inv), k))), 24);
        const __m256 sB = _mm256_cvtepi32_ps(_mm256_and_si256(sp, low));
        const __m256 dB = _mm256_cvtepi32_ps(_mm256_and_si256(dp, low));
        const __m256 vB = _mm256_add_ps(_mm256_mul_ps(_mm256_mul_ps(_mm256_mul_ps(sB, a), inv), op),
                                        _mm256_mul_ps(_mm256_mul_ps(dB, inv), k));
        out = _mm256_or_si256(out, OverToByte(vB));
        const __m256 sG = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(sp, 8), low));
        const __m256 dG = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(dp, 8), low));
        const __m256 vG = _mm256_add_ps(_mm256_mul_ps(_mm256_mul_ps(_mm256_mul_ps(sG, a), inv), op),
                                        _mm256_mul_ps(_mm256_mul_ps(dG, inv), k));
        out = _mm256_or_si256(out, _mm256_slli_epi32(OverToByte(vG), 8));
        const __m256 sR = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(sp, 16), low));
        const __m256 dR = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(dp, 16), low));
        const __m256 vR = _mm256_add_ps(_mm256_mul_ps(_mm256_mul_ps(_mm256_mul_ps(sR, a), inv), op),
                                        _mm256_mul_ps(_mm256_mul_ps(dR, inv), k));
        out = _mm256_or_si256(out, _mm256_slli_epi32(OverToByte(vR), 16));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * i), out);
    }
    AlignedRowScalar(d + 4 * i, s + 4 * i, n - i, opacity, mode, pre);
}

// AVX-512 has fused multiply-adds; contracting a * b + c would round apart
// from the scalar rows, so these keep every product a product.
#define RASTER_AVX512 __attribute__((target("avx512f,avx512bw") RASTER_NO_CONTRACT))
RASTER_EXACT_BEGIN

RASTER_AVX512 inline __m512i OverToByte16(__m512 v) {
    return _mm512_cvttps_epi32(_mm512_add_ps(_mm512_mul_ps(v, _mm512_set1_ps(255.0f)), _mm512_set1_ps(0.5f)));
}

// Byte `ch` of every pixel as a float: one byte shuffle in place of a shift
// and a mask.
RASTER_AVX512 inline __m512 Byte16(__m512i pixels, int ch) {
    if (ch == 0) return _mm512_cvtepi32_ps(_mm512_and_si512(pixels, _mm512_set1_epi32(0xFF)));
    if (ch == 3) return _mm512_cvtepi32_ps(_mm512_srli_epi32(pixels, 24));
    const __m512i pick = _mm512_add_epi32(_mm512_set4_epi32(12, 8, 4, 0), _mm512_set1_epi32(int(0x80808000u) | ch));
    return _mm512_cvtepi32_ps(_mm512_shuffle_epi8(pixels, pick));
}

// Sixteen pixels of AlignedOverPremulAvx2, the same products and sums in the
// same order. Products that change nothing are left out: with kFull those by
// an opacity of exactly 1, with kOpaque those by the source alpha of sixteen
// opaque pixels (255 / 255 is exactly 1).
template <bool kFull, bool kOpaque = false>
RASTER_AVX512 __attribute__((always_inline)) inline __m512i Over16(__m512i sp, __m512i dp, __m512 op) {
    const __m512 inv = _mm512_set1_ps(kInv255), one = _mm512_set1_ps(1.0f);
    const __m512 a = kOpaque ? one : _mm512_mul_ps(Byte16(sp, 3), inv);
    const __m512 sa = kFull ? a : kOpaque ? op : _mm512_mul_ps(a, op);
    const __m512 k = _mm512_sub_ps(one, sa);
    __m512i out = _mm512_slli_epi32(OverToByte16(_mm512_add_ps(sa, _mm512_mul_ps(_mm512_mul_ps(Byte16(dp, 3), inv), k))), 24);
    __m512i c[3];
    for (int ch = 0; ch < 3; ++ch) {
        __m512 sc = Byte16(sp, ch);
        if (!kOpaque) sc = _mm512_mul_ps(sc, a);
        sc = _mm512_mul_ps(sc, inv);
        if (!kFull) sc = _mm512_mul_ps(sc, op);
        c[ch] = OverToByte16(_mm512_add_ps(sc, _mm512_mul_ps(_mm512_mul_ps(Byte16(dp, ch), inv), k)));
    }
    out = _mm512_or_si512(out, _mm512_slli_epi32(c[2], 16));
    return _mm512_ternarylogic_epi32(out, _mm512_slli_epi32(c[1], 8), c[0], 0xFE);
}

// Runs of fully transparent source pixels leave the target as it is, and at
// full opacity runs of opaque ones replace it (the arithmetic gives exactly
// those bytes); both are taken sixteen pixels at a time without it.
template <bool kFull>
RASTER_AVX512 void OverRows16(uint8_t* d, const uint8_t* s, int n, float opacity, Compositing mode, bool pre) {
    const __m512 op = _mm512_set1_ps(opacity);
    const __m512i alpha = _mm512_set1_epi32(int(0xFF000000u));
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        __m512i sp = _mm512_loadu_si512(s + 4 * i);
        // One load per vector: GCC would otherwise fold the load into each
        // operation that reads it, and every unaligned 64-byte load of a
        // streamed line costs as much as a second one.
        __asm__("" : "+v"(sp));
        if (_mm512_test_epi32_mask(sp, alpha) == 0) continue;
        const bool opaque = _mm512_cmpge_epu32_mask(sp, alpha) == 0xFFFF;
        if (kFull && opaque) {
            _mm512_storeu_si512(d + 4 * i, sp);
            continue;
        }
        __m512i dp = _mm512_loadu_si512(d + 4 * i);
        __asm__("" : "+v"(dp));
        _mm512_storeu_si512(d + 4 * i, !kFull && opaque ? Over16<false, true>(sp, dp, op) : Over16<kFull>(sp, dp, op));
    }
    AlignedOverPremulAvx2(d + 4 * i, s + 4 * i, n - i, opacity, mode, pre);
}

// AlignedOverPremulAvx2 sixteen at a time.
RASTER_AVX512 void AlignedOverPremulAvx512(uint8_t* d, const uint8_t* s, int n, float opacity, Compositing mode,
                                           bool pre) {
    if (opacity == 1.0f) OverRows16<true>(d, s, n, opacity, mode, pre);
    else OverRows16<false>(d, s, n, opacity, mode, pre);
}
RASTER_EXACT_END

// Source-over or source-copy onto straight pixels, eight at a time, with the
// operations of CompositePixel in the same order:
// r = s + d da k, ra = as + da k, colour r / ra; k = 1 - as (over) or 0 (copy).
template <bool kCopy>
__attribute__((target("avx2"))) void AlignedStraightAvx2(uint8_t* d, const uint8_t* s, int n, float opacity,
                                                         Compositing mode, bool pre) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        RasterU8 sp, dp;
        std::memcpy(&sp, s + 4 * i, 32);
        std::memcpy(&dp, d + 4 * i, 32);
        const RasterF8 a = ToF8(sp >> 24) * kInv255;
        const RasterF8 sa = ToF8(sp >> 24) * kInv255 * opacity;
        const RasterF8 da = ToF8(dp >> 24) * kInv255;
        const RasterF8 k = kCopy ? RasterF8{} : 1.0f - sa;
        const RasterF8 ra = sa + da * k;
        const RasterF8 inv = 1.0f / ra;
        const auto positive = ra > 0.0f;
        RasterU8 out = {};
        for (int c = 0; c < 4; ++c) {
            RasterF8 v;
            if (c == 3) {
                v = ra;
            } else {
                const RasterF8 sc = ToF8((sp >> (8 * c)) & 0xFFu) * a * kInv255 * opacity;
                v = sc + ToF8((dp >> (8 * c)) & 0xFFu) * kInv255 * da * k;
                v = positive ? v * inv : RasterF8{};
            }
            v = v > 0.0f ? v : RasterF8{} + 0.0f;
            v = v < 1.0f ? v : RasterF8{} + 1.0f;
            out |= (RasterU8) __builtin_convertvector(v * 255.0f + 0.5f, RasterI8) << (8 * c);
        }
        std::memcpy(d + 4 * i, &out, 32);
    }
    AlignedRowScalar(d + 4 * i, s + 4 * i, n - i, opacity, mode, pre);
}

AlignedRowFn PickAlignedRow(Compositing mode, bool pre) {
    if (ActiveCpuLevel() < CpuLevel::Avx2) return &AlignedRowScalar;
    if (pre && mode == Compositing::SourceOver)
        return ActiveCpuLevel() >= CpuLevel::Avx512 ? &AlignedOverPremulAvx512 : &AlignedOverPremulAvx2;
    if (pre) return &AlignedRowScalar;
    return mode == Compositing::SourceOver ? &AlignedStraightAvx2<false> : &AlignedStraightAvx2<true>;
}

// Recolours the straight source through a general colour matrix.
BitmapPtr ApplyColorMatrix(const Bitmap& src, const ColorMatrix& cm) {
    BitmapPtr out = Bitmap::Create(src.Width(), src.Height());
    if (!out) return nullptr;
    const auto& m = cm.m;
#pragma omp parallel for schedule(static) if (int64_t(src.Width()) * src.Height() > 65536)
    for (int y = 0; y < src.Height(); ++y) {
        const uint8_t* s = src.Row(y);
        uint8_t* d = out->Row(y);
        for (int x = 0; x < src.Width(); ++x, s += 4, d += 4) {
            const float in[4] = {s[2] * kInv255, s[1] * kInv255, s[0] * kInv255, s[3] * kInv255};  // R G B A
            float o[4];
            for (int c = 0; c < 4; ++c)
                o[c] = in[0] * m[0][c] + in[1] * m[1][c] + in[2] * m[2][c] + in[3] * m[3][c] + m[4][c];
            d[0] = ToByte(o[2]);
            d[1] = ToByte(o[1]);
            d[2] = ToByte(o[0]);
            d[3] = ToByte(o[3]);
        }
    }
    return out;
}

// Area-averaged premultiplied copy of a source region at a smaller size, so a
// bicubic draw that shrinks does not alias.
BitmapPtr PrefilterShrink(const Bitmap& src, int rx, int ry, int rw, int rh, int nw, int nh) {
    cv::Mat pre(rh, rw, CV_8UC4);
    for (int y = 0; y < rh; ++y) {
        const uint8_t* s = src.Row(ry + y) + int64_t(rx) * 4;
        uint8_t* d = pre.ptr<uint8_t>(y);
        for (int x = 0; x < rw; ++x, s += 4, d += 4) {
            const unsigned a = s[3];
            d[0] = uint8_t((s[0] * a + 127) / 255);
            d[1] = uint8_t((s[1] * a + 127) / 255);
            d[2] = uint8_t((s[2] * a + 127) / 255);
            d[3] = uint8_t(a);
        }
    }
    BitmapPtr out = Bitmap::Create(nw, nh);
    if (!out) return nullptr;
    cv::Mat dst(nh, nw, CV_8UC4, out->Data(), size_t(out->Stride()));
    cv::resize(pre, dst, cv::Size(nw, nh), 0, 0, cv::INTER_AREA);
    return out;
}

// With `defer`, the rows are queued there instead of drawn (the source must
// outlive the queue); the work before them (recolouring, shrinking) is done.
bool DrawParallelogram(const RasterTarget& target, const Bitmap& srcIn, RectF srcRect, PointF ul, PointF ur,
                       PointF ll, const ImageDrawOptions& opt, bool reference, std::vector<RowOp>* defer = nullptr) {
    if (target.Empty() || srcIn.Width() <= 0 || srcIn.Height() <= 0) return false;
    if (!(srcRect.width > 0) || !(srcRect.height > 0)) return false;
    if (opt.world) ul = opt.world->Map(ul), ur = opt.world->Map(ur), ll = opt.world->Map(ll);

    float opacity = Clamp01(std::isnan(opt.opacity) ? 0.0f : opt.opacity);
    const Bitmap* src = &srcIn;
    BitmapPtr recoloured;
    if (opt.colorMatrix) {
        float k;
        if (opt.colorMatrix->IsAlphaScaleOnly(&k)) {
            opacity *= Clamp01(k);
        } else {
            recoloured = ApplyColorMatrix(srcIn, *opt.colorMatrix);
            if (!recoloured) return false;
            src = recoloured.get();
        }
    }

    // Texel range the sampler clamps into: the source rectangle's pixels.
    if (!std::isfinite(srcRect.x) || !std::isfinite(srcRect.y) || !std::isfinite(srcRect.width) ||
        !std::isfinite(srcRect.height))
        return false;
    const int minX = int(std::clamp(std::floor(double(srcRect.x)), 0.0, double(src->Width() - 1)));
    const int minY = int(std::clamp(std::floor(double(srcRect.y)), 0.0, double(src->Height() - 1)));
    const int maxX =
        int(std::clamp(std::ceil(double(srcRect.x) + srcRect.width) - 1, double(minX), double(src->Width() - 1)));
    const int maxY =
        int(std::clamp(std::ceil(double(srcRect.y) + srcRect.height) - 1, double(minY), double(src->Height() - 1)));
    SampleSource ss{src->Data(), src->Stride(), minX, minY, maxX, maxY, false};

    const double ux = double(ur.x) - ul.x, uy = double(ur.y) - ul.y;
    const double vx = double(ll.x) - ul.x, vy = double(ll.y) - ul.y;
    double sx0 = srcRect.x, sy0 = srcRect.y, sw = srcRect.width, sh = srcRect.height;

    BitmapPtr shrunk;
    if (opt.interpolation == Interpolation::Bicubic) {
        const double lu = std::hypot(ux, uy), lv = std::hypot(vx, vy);
        const int rw = maxX - minX + 1, rh = maxY - minY + 1;
        const double ku = lu / sw, kv = lv / sh;  // target pixels per source pixel
        if ((ku < 1 && rw > 1) || (kv < 1 && rh > 1)) {
            const int nw = std::max(1, int(std::lround(rw * std::min(ku, 1.0))));
            const int nh = std::max(1, int(std::lround(rh * std::min(kv, 1.0))));
            if (nw < rw || nh < rh) {
                shrunk = PrefilterShrink(*src, minX, minY, rw, rh, nw, nh);
                if (!shrunk) return false;
                const double fx = double(nw) / rw, fy = double(nh) / rh;
                sx0 = (sx0 - minX) * fx, sy0 = (sy0 - minY) * fy, sw *= fx, sh *= fy;
                ss = {shrunk->Data(), shrunk->Stride(), 0, 0, nw - 1, nh - 1, true};
            }
        }
    }

    // Target point -> source point: the inverse of
    // dest = ul + (s - s0).x / sw * u + (s - s0).y / sh * v.
    Affine fwd{ux / sw, uy / sw, vx / sh, vy / sh, 0, 0};
    fwd.tx = ul.x - fwd.a * sx0 - fwd.c * sy0;
    fwd.ty = ul.y - fwd.b * sx0 - fwd.d * sy0;
    Affine inv;
    if (!fwd.Invert(inv)) return false;

    const PointF lr{float(ur.x + vx), float(ur.y + vy)};
    std::vector<std::vector<PointF>> shape{{ul, ur, lr, ll}};
    const auto crp =
        std::make_shared<const CoverageRaster>(shape, nullptr, target.width, target.height, FillRule::Winding, opt.antiAlias);
    const CoverageRaster& cr = *crp;
    const Interpolation interp = opt.interpolation;
    const Compositing comp = opt.compositing;
    const bool pre = target.premultiplied;

    // An unscaled, unrotated draw whose pixel centres land on texel centres
    // needs no filtering: every filter returns the texel there.
    const bool aligned = inv.a == 1 && inv.d == 1 && inv.b == 0 && inv.c == 0 &&
                         inv.tx == std::floor(inv.tx) && inv.ty == std::floor(inv.ty);
    const Interpolation rowInterp = aligned ? Interpolation::Nearest : interp;

    // Whole-pixel source rectangles land on whole target pixels: every target
    // pixel is fully covered or not at all, so the rows go straight to the
    // blending loop with the same arithmetic as the general path.
    if (!reference && aligned && !ss.premultiplied && srcRect.x == std::floor(srcRect.x) && srcRect.y == std::floor(srcRect.y) &&
        srcRect.width == std::floor(srcRect.width) && srcRect.height == std::floor(srcRect.height)) {
        const double tx = inv.tx, ty = inv.ty;
        const double dx0 = std::max(0.0, std::max(double(srcRect.x), 0.0) - tx);
        const double dy0 = std::max(0.0, std::max(double(srcRect.y), 0.0) - ty);
        const double dx1 = std::min(double(target.width), std::min(double(srcRect.x) + srcRect.width,
                                                                    double(src->Width())) - tx);
        const double dy1 = std::min(double(target.height), std::min(double(srcRect.y) + srcRect.height,
                                                                     double(src->Height())) - ty);
        if (dx0 >= dx1 || dy0 >= dy1) return true;
        const int x0 = int(dx0), x1 = int(dx1), y0 = int(dy0), y1 = int(dy1);
        const int sx = int(x0 + tx), sy = int(y0 + ty);
        const int n = x1 - x0;
        const AlignedRowFn rowFn = PickAlignedRow(comp, pre);
        if (defer) {
            defer->push_back({y0, y1, 0, int64_t(n) * (y1 - y0),
                              [=, keep = recoloured](int y, RowScratch&) {
                                  rowFn(PixelAt(target, x0, y), src->Row(sy + (y - y0)) + int64_t(sx) * 4, n, opacity,
                                        comp, pre);
                              }});
            return true;
        }
#pragma omp parallel for schedule(static) if (int64_t(n) * (y1 - y0) > 32768)
        for (int y = y0; y < y1; ++y)
            rowFn(PixelAt(target, x0, y), src->Row(sy + (y - y0)) + int64_t(sx) * 4, n, opacity, comp, pre);
        return true;
    }

    if (!reference && rowInterp != Interpolation::Nearest) {
        const FilterJob job{target, ss, inv, rowInterp, comp, opacity};
        if (rowInterp == Interpolation::Bilinear && inv.b == 0 && inv.c == 0 && !ss.premultiplied &&
            ActiveCpuLevel() >= CpuLevel::Avx2 && !cr.Empty()) {
            auto cols = std::make_shared<const AxisColumns>(PlanAxisColumns(job, cr.X0(), cr.X1()));
            EmitCoverageRows(defer, crp, [job, cols, recoloured, shrunk](int y, int x0, const float* cov, int x1) {
                BilinearAxisRowAvx2(job, *cols, y, x0, cov, x1);
            });
            return true;
        }
        if (rowInterp == Interpolation::Bicubic && inv.b == 0 && inv.c == 0 && !ss.premultiplied &&
            ActiveCpuLevel() >= CpuLevel::Avx2 && !cr.Empty()) {
            const bool table = target.premultiplied;
            auto cols = std::make_shared<const AxisColumns>(table ? PlanCubicAxisColumns<true>(job, cr.X0(), cr.X1())
                                                                  : PlanCubicAxisColumns<false>(job, cr.X0(), cr.X1()));
            EmitCoverageRows(defer, crp,
                             [job, cols, table, recoloured, shrunk](int y, int x0, const float* cov, int x1) {
                                 if (table) BicubicAxisRowAvx2<true>(job, *cols, y, x0, cov, x1);
                                 else BicubicAxisRowAvx2<false>(job, *cols, y, x0, cov, x1);
                             });
            return true;
        }
        const FilteredRowFn rowFn = PickFilteredRow(job);
        EmitCoverageRows(defer, crp, [job, rowFn, recoloured, shrunk](int y, int x0, const float* cov, int x1) {
            rowFn(job, y, x0, cov, x1);
        });
        return true;
    }
    EmitCoverageRows(defer, crp, [=, keep = std::make_pair(recoloured, shrunk)](int y, int x0, const float* cov, int x1) {
        const double py = y + 0.5;
        uint8_t* d = PixelAt(target, x0, y);
        for (int x = x0; x < x1; ++x, d += 4) {
            const float c = cov[x - x0];
            if (c <= 0) continue;
            const double px = x + 0.5;
            const double sx = inv.a * px + inv.c * py + inv.tx;
            const double sy = inv.b * px + inv.d * py + inv.ty;
            float s[4];
            Sample(ss, rowInterp, sx, sy, s);
            for (int k = 0; k < 4; ++k) s[k] *= opacity;
            CompositePixel(d, s, c, comp, pre);
        }
    });
    return true;
}

void AddArcPoints(std::vector<PointF>& fig, double cx, double cy, double rx, double ry, double a0, double a1) {
    // Chords stay within 0.01 px of the arc.
    const double r = std::max({rx, ry, 0.01});
    const double step = 2 * std::acos(std::max(1.0 - 0.01 / r, -1.0));
    const int steps = std::clamp(int(std::ceil(std::fabs(a1 - a0) / step)), 2, 1024);
    for (int i = 0; i <= steps; ++i) {
        const double a = a0 + (a1 - a0) * i / steps;
        fig.push_back({float(cx + rx * std::cos(a)), float(cy + ry * std::sin(a))});
    }
}

void FillCoverage(const RasterTarget& target, const CoverageRaster& cr, uint32_t argb, Compositing mode) {
    const float a = ((argb >> 24) & 0xFF) * kInv255;
    const float s[4] = {(argb & 0xFF) * kInv255 * a, ((argb >> 8) & 0xFF) * kInv255 * a,
                        ((argb >> 16) & 0xFF) * kInv255 * a, a};
    const bool pre = target.premultiplied;
    // Fully covered pixels under an opaque colour, or under any copied
    // colour, do not depend on what was there: work their bytes out once.
    const bool constantInside = mode == Compositing::SourceCopy || a >= 1.0f;
    uint8_t inside[4] = {0, 0, 0, 0};
    if (constantInside) CompositePixel(inside, s, 1.0f, mode, pre);
    uint32_t insideWord;
    std::memcpy(&insideWord, inside, 4);
    ForEachCoverageRow(cr, [&](int y, int x0, const float* cov, int x1) {
        uint8_t* d = PixelAt(target, x0, y);
        for (int x = x0; x < x1;) {
            const float c = cov[x - x0];
            if (c >= 1.0f && constantInside) {
                int e = x + 1;
                while (e < x1 && cov[e - x0] >= 1.0f) ++e;
                uint32_t* w = reinterpret_cast<uint32_t*>(d);
                std::fill(w, w + (e - x), insideWord);
                d += 4 * (e - x);
                x = e;
                continue;
            }
            if (c > 0) CompositePixel(d, s, c, mode, pre);
            d += 4;
            ++x;
        }
    });
}

// ---------------------------------------------------------------- tint masks

// The target pixels a tint mask draw touches and how each column and row
// maps onto the mask.
struct TintMaskJob {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // target pixels, half-open
    float s[4] = {0, 0, 0, 0};             // premultiplied tint, B G R A in [0, 1]
    double ox = 0, oy = 0, scale = 1;
    double right = 0, bottom = 0;          // the rectangle's far edges
};

bool PlanTintMask(const RasterTarget& target, const TintMask& mask, float x, float y, float scale, uint32_t argb,
                  const RectF* clip, TintMaskJob& j) {
    if (target.Empty() || !mask.bytes || mask.width <= 0 || mask.height <= 0) return false;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(scale) || !(scale > 0)) return false;
    const float a = ((argb >> 24) & 0xFF) * kInv255;
    j.s[0] = (argb & 0xFF) * kInv255 * a;
    j.s[1] = ((argb >> 8) & 0xFF) * kInv255 * a;
    j.s[2] = ((argb >> 16) & 0xFF) * kInv255 * a;
    j.s[3] = a;
    j.ox = x, j.oy = y, j.scale = scale;
    j.right = x + double(mask.width) * scale;
    j.bottom = y + double(mask.height) * scale;
    double l = std::max(double(x), 0.0), t = std::max(double(y), 0.0);
    double r = std::min(j.right, double(target.width)), b = std::min(j.bottom, double(target.height));
    if (clip) {
        if (!std::isfinite(clip->x) || !std::isfinite(clip->y) || !std::isfinite(clip->width) ||
            !std::isfinite(clip->height))
            return false;
        // Pixels whose centres lie in the clip.
        l = std::max(l, std::ceil(double(clip->x) - 0.5));
        t = std::max(t, std::ceil(double(clip->y) - 0.5));
        r = std::min(r, std::ceil(double(clip->x) + clip->width - 0.5));
        b = std::min(b, std::ceil(double(clip->y) + clip->height - 0.5));
    }
    j.x0 = int(std::floor(l)), j.y0 = int(std::floor(t));
    j.x1 = int(std::ceil(r)), j.y1 = int(std::ceil(b));
    return j.x1 > j.x0 && j.y1 > j.y0;
}

// The share of target pixel [p, p + 1) inside [lo, hi).
inline float SpanCoverage(int p, double lo, double hi) {
    return float(std::clamp(std::min(double(p) + 1, hi) - std::max(double(p), lo), 0.0, 1.0));
}

// One mask tap pair along an axis: the two texels (clamped) and the weight of
// the second, for target pixel p.
struct TintTap {
    int i0, i1;
    float t;
};

inline TintTap TapAt(int p, double origin, double scale, int n) {
    const double f = (p + 0.5 - origin) / scale - 0.5;
    const double fl = std::floor(std::clamp(f, -4.0, double(n) + 4));
    const int i = int(fl);
    return {std::clamp(i, 0, n - 1), std::clamp(i + 1, 0, n - 1), float(std::clamp(f, -4.0, double(n) + 4) - fl)};
}

// A tint mask draw made ready for its rows: the plan, and how every column
// maps onto the mask (the same on every row, so worked out once).
struct TintPass {
    TintMaskJob j;
    TintMask mask;
    std::vector<TintTap> cols;
    std::vector<float> colCov;
    // The columns' taps again, one array per field, for sixteen at a time
    // (colU is 1 - t, worked out as the eight-pixel rows do).
    std::vector<int32_t> colI0, colI1;
    std::vector<float> colT, colU;
    // For mask column m0 + c: the first pixel whose right tap reaches it
    // (firstAt[c]) and the first whose left tap is at or past it (endAt[c]).
    std::vector<int32_t> firstAt, endAt;
    int m0 = 0, m1 = 0;     // mask columns read
    bool unitCols = false;  // pixel columns on mask columns: no horizontal filtering
    // Per mask row from r0 on, the columns [lo, hi) between its first and
    // last set byte within m0 .. m1 (lo == hi when the row is clear).
    // Left empty (rowSpans false) where each mask row is read by about one
    // pixel row: the rows then find their own, side by side.
    int r0 = 0;
    bool rowSpans = false;
    std::vector<int32_t> spanLo, spanHi;
    // A batch's draw as queued, made ready (ready set) when the batch runs.
    TintMaskDraw draw{};
    RectF clip{};
    bool hasClip = false;
    int ready = 0;  // kTintPending, kTintReady or kTintFailed
};
constexpr int kTintPending = 0, kTintReady = 1, kTintFailed = 2;

// Spins a moment while another thread finishes what this one waits for.
inline void CpuRelax() { _mm_pause(); }

// The taps and edge coverage of a draw's columns as TapAt and SpanCoverage
// give them, the same operations four columns at a time; returns how many
// columns it did (whole fours from the left).
RASTER_AVX2 int ColumnTapsAvx2(const TintMaskJob& j, int n, TintTap* cols, float* cov) {
    const int w = j.x1 - j.x0;
    const __m256d half = _mm256_set1_pd(0.5), one = _mm256_set1_pd(1.0), zero = _mm256_setzero_pd();
    const __m256d origin = _mm256_set1_pd(j.ox), scale = _mm256_set1_pd(j.scale), right = _mm256_set1_pd(j.right);
    const __m256d lo = _mm256_set1_pd(-4.0), hi = _mm256_set1_pd(double(n) + 4);
    const __m128i last = _mm_set1_epi32(n - 1), none = _mm_setzero_si128(), step = _mm_set1_epi32(1);
    int k = 0;
    for (; k + 4 <= w; k += 4) {
        const __m256d p = _mm256_cvtepi32_pd(_mm_add_epi32(_mm_set1_epi32(j.x0 + k), _mm_setr_epi32(0, 1, 2, 3)));
        const __m256d f = _mm256_sub_pd(_mm256_div_pd(_mm256_sub_pd(_mm256_add_pd(p, half), origin), scale), half);
        const __m256d fc = _mm256_min_pd(_mm256_max_pd(f, lo), hi);
        const __m256d fl = _mm256_round_pd(fc, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
        const __m128i i = _mm256_cvttpd_epi32(fl);
        alignas(16) int32_t i0[4], i1[4];
        alignas(16) float t[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(i0), _mm_min_epi32(_mm_max_epi32(i, none), last));
        _mm_store_si128(reinterpret_cast<__m128i*>(i1), _mm_min_epi32(_mm_max_epi32(_mm_add_epi32(i, step), none), last));
        _mm_store_ps(t, _mm256_cvtpd_ps(_mm256_sub_pd(fc, fl)));
        for (int q = 0; q < 4; ++q) cols[k + q] = {i0[q], i1[q], t[q]};
        const __m256d c = _mm256_sub_pd(_mm256_min_pd(_mm256_add_pd(p, one), right), _mm256_max_pd(p, origin));
        _mm_storeu_ps(cov + k, _mm256_cvtpd_ps(_mm256_min_pd(_mm256_max_pd(c, zero), one)));
    }
    return k;
}

// The first and one past the last non-zero byte of p[0..n), or (n, n).
RASTER_AVX2 void NonZeroSpanAvx2(const uint8_t* p, int n, int32_t& lo, int32_t& hi) {
    const __m256i zero = _mm256_setzero_si256();
    int i = 0;
    lo = n;
    for (; i + 32 <= n; i += 32) {
        const uint32_t set = ~uint32_t(_mm256_movemask_epi8(
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i)), zero)));
        if (set) {
            lo = i + __builtin_ctz(set);
            break;
        }
    }
    if (lo == n) {
        for (; i < n; ++i)
            if (p[i]) {
                lo = i;
                break;
            }
    }
    if (lo == n) {
        hi = n;
        return;
    }
    int e = n;
    for (; e - 32 >= lo; e -= 32) {
        const uint32_t set = ~uint32_t(_mm256_movemask_epi8(
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + e - 32)), zero)));
        if (set) {
            hi = e - 32 + (32 - __builtin_clz(set));
            return;
        }
    }
    for (; e > lo; --e)
        if (p[e - 1]) break;
    hi = e;
}

// The mask columns [lo, hi) that rows ty.i0 and ty.i1 hold set bytes in,
// within m0 .. m1; false when both are clear.
RASTER_AVX2 bool ReadSpan(const TintPass& p, const TintTap& ty, int& lo, int& hi) {
    lo = INT32_MAX, hi = INT32_MIN;
    // A second row with no weight changes no share: its set bytes add none.
    const int rows = ty.t == 0 || ty.i1 == ty.i0 ? 1 : 2;
    for (int k = 0; k < rows; ++k) {
        const int r = k ? ty.i1 : ty.i0;
        int32_t a, b;
        if (p.rowSpans) {
            a = p.spanLo[size_t(r - p.r0)], b = p.spanHi[size_t(r - p.r0)];
        } else {
            NonZeroSpanAvx2(p.mask.bytes + int64_t(r) * p.mask.stride + p.m0, p.m1 - p.m0, a, b);
            a += p.m0, b += p.m0;
        }
        if (a < b) lo = std::min(lo, a), hi = std::max(hi, b);
    }
    return lo < hi;
}

// What row py of a prepared draw reads: its edge coverage cy, its mask rows
// ty and the columns [lo, hi) they hold set bytes in; false when the row
// changes nothing.
inline bool RowReach(const TintPass& p, int py, float& cy, TintTap& ty, int& lo, int& hi) {
    cy = SpanCoverage(py, p.j.oy, p.j.bottom);
    if (!(cy > 0)) return false;
    ty = TapAt(py, p.j.oy, p.j.scale, p.mask.height);
    return ReadSpan(p, ty, lo, hi);
}

bool PrepareTintPass(const RasterTarget& target, const TintMask& mask, float x, float y, float scale, uint32_t argb,
                     const RectF* clip, TintPass& p) {
    if (!PlanTintMask(target, mask, x, y, scale, argb, clip, p.j)) return false;
    const TintMaskJob& j = p.j;
    const int w = j.x1 - j.x0;
    p.mask = mask;
    p.cols.resize(static_cast<size_t>(w));
    p.colCov.resize(static_cast<size_t>(w));
    int done = 0;
    if (ActiveCpuLevel() >= CpuLevel::Avx2) done = ColumnTapsAvx2(j, mask.width, p.cols.data(), p.colCov.data());
    for (int px = j.x0 + done; px < j.x1; ++px) {
        p.cols[size_t(px - j.x0)] = TapAt(px, j.ox, j.scale, mask.width);
        p.colCov[size_t(px - j.x0)] = SpanCoverage(px, j.ox, j.right);
    }
    p.m0 = p.cols.front().i0, p.m1 = p.cols.back().i1 + 1;
    p.unitCols = true;
    for (int k = 0; k < w && p.unitCols; ++k)
        p.unitCols = p.cols[size_t(k)].t == 0 && p.cols[size_t(k)].i0 == p.cols.front().i0 + k;
    if (!p.unitCols && target.premultiplied && ActiveCpuLevel() >= CpuLevel::Avx512) {
        p.colI0.resize(size_t(w)), p.colI1.resize(size_t(w)), p.colT.resize(size_t(w)), p.colU.resize(size_t(w));
        for (size_t k = 0; k < size_t(w); ++k) {
            const TintTap& t = p.cols[k];
            p.colI0[k] = t.i0, p.colI1[k] = t.i1, p.colT[k] = t.t, p.colU[k] = 1 - t.t;
        }
        // The taps only grow along the row, so both lists fill in one sweep.
        const size_t n = size_t(p.m1 - p.m0) + 1;
        p.firstAt.resize(n), p.endAt.resize(n);
        int32_t a = 0, b = 0;
        for (size_t c = 0; c < n; ++c) {
            const int col = p.m0 + int(c);
            while (a < w && p.cols[size_t(a)].i1 < col) ++a;
            while (b < w && p.cols[size_t(b)].i0 < col) ++b;
            p.firstAt[c] = a, p.endAt[c] = b;
        }
    }
    if (target.premultiplied && ActiveCpuLevel() >= CpuLevel::Avx2) {
        // Rows of a region's mask are mostly clear at both ends: the rows
        // below only work on the stretch that can change a pixel.
        p.rowSpans = j.scale > 1;
        if (!p.rowSpans) return true;
        const int r0 = TapAt(j.y0, j.oy, j.scale, mask.height).i0;
        const int r1 = TapAt(j.y1 - 1, j.oy, j.scale, mask.height).i1 + 1;
        p.r0 = r0;
        p.spanLo.resize(size_t(std::max(r1 - r0, 0)));
        p.spanHi.resize(p.spanLo.size());
        for (int r = r0; r < r1; ++r) {
            int32_t lo, hi;
            NonZeroSpanAvx2(mask.bytes + int64_t(r) * mask.stride + p.m0, p.m1 - p.m0, lo, hi);
            p.spanLo[size_t(r - r0)] = p.m0 + lo;
            p.spanHi[size_t(r - r0)] = p.m0 + hi;
        }
    }
    return true;
}

// The arithmetic below is written out with explicit fused operations where
// the two-pixel kernel this replaced was contracted by the compiler, and
// plain products elsewhere, so that its bytes stay as they were.
#define RASTER_AVX2_EXACT __attribute__((target("avx2,fma") RASTER_NO_CONTRACT))
RASTER_EXACT_BEGIN

// Eight premultiplied pixels at shares c of the tint, channel by channel:
// keep = 1 - a c fused, result = d keep + s c fused, byte = r 255 + 0.5 fused.
RASTER_AVX2_EXACT inline void TintEightAvx2(uint8_t* d, __m256 c, const __m256 tint[4], __m256 alpha) {
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 inv = _mm256_set1_ps(kInv255), k255 = _mm256_set1_ps(255.0f), half = _mm256_set1_ps(0.5f);
    const __m256i low = _mm256_set1_epi32(0xFF);
    const __m256i dp = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d));
    const __m256 keep = _mm256_fnmadd_ps(alpha, c, one);
    __m256i out = _mm256_setzero_si256();
    for (int ch = 0; ch < 4; ++ch) {
        const __m256 dc =
            _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(dp, 8 * ch), low)), inv);
        // No clamp to [0, 1]: the share and the tint keep r within a few
        // rounding steps of it, which the truncation below absorbs.
        const __m256 r = _mm256_fmadd_ps(dc, keep, _mm256_mul_ps(tint[ch], c));
        const __m256i b = _mm256_cvttps_epi32(_mm256_fmadd_ps(r, k255, half));
        out = _mm256_or_si256(out, _mm256_slli_epi32(b, 8 * ch));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), out);
}

// One row of a prepared draw onto a premultiplied target: the mask rows
// filtered vertically (once per mask column), each pixel's share of the tint
// (mask times edge coverage), then the compositing, eight pixels a step.
// Pairs after the last full eight and a last odd pixel go as TintRowAvx2
// takes them. vr and e hold at least m1 - m0 and the row's width floats.
RASTER_AVX2_EXACT void TintPassRowAvx2(const RasterTarget& target, const TintPass& p, int py, float* vr, float* e) {
    const TintMaskJob& j = p.j;
    // The pixels whose taps reach the mask columns found below; every other
    // pixel gets a share of zero, which leaves it as it is.
    float cy;
    TintTap ty;
    int lo, hi;
    if (!RowReach(p, py, cy, ty, lo, hi)) return;
    const int w = j.x1 - j.x0;
    const TintTap* cols = p.cols.data();
    // First pixel whose right tap reaches lo, last whose left tap is below hi.
    int ks = int(std::lower_bound(cols, cols + w, lo, [](const TintTap& t, int v) { return t.i1 < v; }) - cols);
    int ke = int(std::lower_bound(cols, cols + w, hi, [](const TintTap& t, int v) { return t.i0 < v; }) - cols);
    if (ks >= ke) return;
    const int c0 = cols[ks].i0, c1 = cols[ke - 1].i1 + 1;  // mask columns read
    const uint8_t* r0 = p.mask.bytes + int64_t(ty.i0) * p.mask.stride + c0;
    const uint8_t* r1 = p.mask.bytes + int64_t(ty.i1) * p.mask.stride + c0;
    const float w0 = 1 - ty.t, w1 = ty.t;
    const int n = c1 - c0;
    const __m256 zero = _mm256_setzero_ps();
    {
        const __m256 a = _mm256_set1_ps(w0), b = _mm256_set1_ps(w1);
        int i = 0;
        for (; i + 8 <= n; i += 8) {
            const __m256 x0 = _mm256_cvtepi32_ps(
                _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(r0 + i))));
            const __m256 x1 = _mm256_cvtepi32_ps(
                _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(r1 + i))));
            _mm256_storeu_ps(vr + i, _mm256_add_ps(_mm256_mul_ps(a, x0), _mm256_mul_ps(b, x1)));
        }
        for (; i < n; ++i) vr[i] = w0 * r0[i] + w1 * r1[i];
    }
    const float rowK = kInv255 * cy;
    const float* colCov = p.colCov.data();
    const int m = ke - ks;
    if (p.unitCols) {
        const float* v = vr + (cols[ks].i0 - c0);
        const float* cc = colCov + ks;
        const __m256 k = _mm256_set1_ps(rowK);
        int i = 0;
        for (; i + 8 <= m; i += 8)
            _mm256_storeu_ps(e + i, _mm256_mul_ps(_mm256_mul_ps(_mm256_max_ps(_mm256_loadu_ps(v + i), zero), k),
                                                  _mm256_loadu_ps(cc + i)));
        for (; i < m; ++i) e[i] = std::max(v[i], 0.0f) * rowK * cc[i];
    } else {
        for (int k = 0; k < m; ++k) {
            const TintTap& tx = cols[ks + k];
            const float mv = (1 - tx.t) * vr[tx.i0 - c0] + tx.t * vr[tx.i1 - c0];
            e[k] = mv > 0 ? mv * rowK * colCov[ks + k] : 0.0f;
        }
    }
    uint8_t* d = PixelAt(target, j.x0 + ks, py);
    const __m256 tint[4] = {_mm256_set1_ps(j.s[0]), _mm256_set1_ps(j.s[1]), _mm256_set1_ps(j.s[2]),
                            _mm256_set1_ps(j.s[3])};
    const __m256 alpha = tint[3];
    int k = 0;
    for (; k + 8 <= m; k += 8) {
        const __m256 c = _mm256_loadu_ps(e + k);
        if (!_mm256_movemask_ps(_mm256_cmp_ps(c, zero, _CMP_GT_OQ))) continue;
        TintEightAvx2(d + 4 * k, c, tint, alpha);
    }
    if (k < m) {
        // The last few through a padded copy (a share of zero leaves a
        // pixel as it is), so every pixel takes the same arithmetic wherever
        // the draw or its clip begins and ends.
        alignas(32) float c[8] = {};
        alignas(32) uint8_t px[32] = {};
        std::memcpy(c, e + k, size_t(m - k) * sizeof(float));
        std::memcpy(px, d + 4 * k, size_t(m - k) * 4);
        TintEightAvx2(px, _mm256_load_ps(c), tint, alpha);
        std::memcpy(d + 4 * k, px, size_t(m - k) * 4);
    }
}
RASTER_EXACT_END

RASTER_EXACT_BEGIN
#define RASTER_AVX512_TINT \
    __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx2,fma") RASTER_NO_CONTRACT))

// Sixteen premultiplied pixels at shares c of the tint (lanes outside
// `lanes` untouched): TintEightAvx2's operations lane by lane.
RASTER_AVX512_TINT inline void TintSixteenAvx512(uint8_t* q, __m512 c, const __m512 tint[4], __mmask16 lanes) {
    const __m512 one = _mm512_set1_ps(1.0f), inv = _mm512_set1_ps(kInv255);
    const __m512 k255 = _mm512_set1_ps(255.0f), half = _mm512_set1_ps(0.5f);
    const __m512i low = _mm512_set1_epi32(0xFF);
    // Whole steps load and store plainly (masked moves cost more on some
    // processors); a partial one is masked.
    const bool full = lanes == 0xFFFF;
    const __m512i dp = full ? _mm512_loadu_si512(q) : _mm512_maskz_loadu_epi32(lanes, q);
    const __m512 keep = _mm512_fnmadd_ps(tint[3], c, one);
    __m512i out = _mm512_setzero_si512();
    for (int ch = 0; ch < 4; ++ch) {
        const __m512 dc =
            _mm512_mul_ps(_mm512_cvtepi32_ps(_mm512_and_si512(_mm512_srli_epi32(dp, unsigned(8 * ch)), low)), inv);
        const __m512 r = _mm512_fmadd_ps(dc, keep, _mm512_mul_ps(tint[ch], c));
        out = _mm512_or_si512(
            out, _mm512_slli_epi32(_mm512_cvttps_epi32(_mm512_fmadd_ps(r, k255, half)), unsigned(8 * ch)));
    }
    if (full) _mm512_storeu_si512(q, out);
    else _mm512_mask_storeu_epi32(q, lanes, out);
}

// TintPassRowAvx2 sixteen pixels a step where the mask is magnified or
// shrunk (pixel columns between mask columns): the mask rows filtered
// vertically, each pixel's pair of taps picked from those sixteen at a
// time, its share worked out and composited, lane by lane as there.
RASTER_AVX512_TINT void TintPassRowResampledAvx512(const RasterTarget& target, const TintPass& p, int py, float* vr) {
    const TintMaskJob& j = p.j;
    float cy;
    TintTap ty;
    int lo, hi;
    if (!RowReach(p, py, cy, ty, lo, hi)) return;
    const TintTap* cols = p.cols.data();
    // As TintPassRowAvx2's searches find them.
    const int ks = p.firstAt[size_t(lo - p.m0)], ke = p.endAt[size_t(hi - p.m0)];
    if (ks >= ke) return;
    const int c0 = cols[ks].i0, c1 = cols[ke - 1].i1 + 1;  // mask columns read
    const uint8_t* r0 = p.mask.bytes + int64_t(ty.i0) * p.mask.stride + c0;
    const uint8_t* r1 = p.mask.bytes + int64_t(ty.i1) * p.mask.stride + c0;
    const int n = c1 - c0;
    {
        const __m512 a = _mm512_set1_ps(1 - ty.t), b = _mm512_set1_ps(ty.t);
        for (int i = 0; i < n; i += 16) {
            const __mmask16 lanes = n - i >= 16 ? __mmask16(0xFFFF) : __mmask16((1u << (n - i)) - 1);
            const __m512 x0 = _mm512_cvtepi32_ps(_mm512_cvtepu8_epi32(_mm_maskz_loadu_epi8(lanes, r0 + i)));
            const __m512 x1 = _mm512_cvtepi32_ps(_mm512_cvtepu8_epi32(_mm_maskz_loadu_epi8(lanes, r1 + i)));
            _mm512_mask_storeu_ps(vr + i, lanes, _mm512_add_ps(_mm512_mul_ps(a, x0), _mm512_mul_ps(b, x1)));
        }
    }
    const __m512 zero = _mm512_setzero_ps(), rowK = _mm512_set1_ps(kInv255 * cy);
    const __m512 tint[4] = {_mm512_set1_ps(j.s[0]), _mm512_set1_ps(j.s[1]), _mm512_set1_ps(j.s[2]),
                            _mm512_set1_ps(j.s[3])};
    uint8_t* d = PixelAt(target, j.x0 + ks, py);
    const int m = ke - ks;
    const int32_t* i0s = p.colI0.data() + ks;
    const int32_t* i1s = p.colI1.data() + ks;
    const float* ts = p.colT.data() + ks;
    const float* us = p.colU.data() + ks;
    const float* cc = p.colCov.data() + ks;
    for (int k = 0; k < m; k += 16) {
        const int count = std::min(16, m - k);
        const __mmask16 lanes = count == 16 ? __mmask16(0xFFFF) : __mmask16((1u << count) - 1);
        // The taps of these pixels, as indices into vr.
        const __m512i base = _mm512_set1_epi32(c0);
        const __m512i t0 = _mm512_sub_epi32(_mm512_maskz_loadu_epi32(lanes, i0s + k), base);
        const __m512i t1 = _mm512_sub_epi32(_mm512_maskz_loadu_epi32(lanes, i1s + k), base);
        __m512 a, b;
        const int first = i0s[k] - c0, last = i1s[k + count - 1] - c0;
        if (last - first < 32) {
            // Within two vectors of vr from the first tap (vr has room past
            // its last column; those floats are never picked).
            const __m512i f = _mm512_set1_epi32(first);
            const __m512 va = _mm512_loadu_ps(vr + first), vb = _mm512_loadu_ps(vr + first + 16);
            a = _mm512_permutex2var_ps(va, _mm512_sub_epi32(t0, f), vb);
            b = _mm512_permutex2var_ps(va, _mm512_sub_epi32(t1, f), vb);
        } else {
            a = _mm512_mask_i32gather_ps(zero, lanes, t0, vr, 4);
            b = _mm512_mask_i32gather_ps(zero, lanes, t1, vr, 4);
        }
        const __m512 mv = _mm512_add_ps(_mm512_mul_ps(_mm512_maskz_loadu_ps(lanes, us + k), a),
                                        _mm512_mul_ps(_mm512_maskz_loadu_ps(lanes, ts + k), b));
        const __mmask16 some = _mm512_cmp_ps_mask(mv, zero, _CMP_GT_OQ) & lanes;
        if (!some) continue;
        const __m512 c = _mm512_maskz_mul_ps(some, _mm512_mul_ps(mv, rowK), _mm512_maskz_loadu_ps(lanes, cc + k));
        TintSixteenAvx512(d + 4 * k, c, tint, lanes);
    }
}

// TintPassRowAvx2 sixteen pixels a step where pixel columns lie on mask
// columns, the mask rows read, filtered and composited in one go: the same
// operations lane by lane, so the same bytes.
RASTER_AVX512_TINT void TintPassRowAvx512(const RasterTarget& target, const TintPass& p, int py, float* vr, float* e) {
    if (!p.unitCols) {
        if (p.colI0.empty()) TintPassRowAvx2(target, p, py, vr, e);
        else TintPassRowResampledAvx512(target, p, py, vr);
        return;
    }
    const TintMaskJob& j = p.j;
    float cy;
    TintTap ty;
    int lo, hi;
    if (!RowReach(p, py, cy, ty, lo, hi)) return;
    const int w = j.x1 - j.x0;
    const int first = p.cols.front().i0;  // mask column of pixel 0
    const int ks = std::clamp(lo - first, 0, w), ke = std::clamp(hi - first, 0, w);
    if (ks >= ke) return;
    const uint8_t* r0 = p.mask.bytes + int64_t(ty.i0) * p.mask.stride + first + ks;
    const uint8_t* r1 = p.mask.bytes + int64_t(ty.i1) * p.mask.stride + first + ks;
    const float* cc = p.colCov.data() + ks;
    uint8_t* d = PixelAt(target, j.x0 + ks, py);
    const int m = ke - ks;
    const __m512 a0 = _mm512_set1_ps(1 - ty.t), a1 = _mm512_set1_ps(ty.t), k = _mm512_set1_ps(kInv255 * cy);
    const __m512 zero = _mm512_setzero_ps();
    const __m512 tint[4] = {_mm512_set1_ps(j.s[0]), _mm512_set1_ps(j.s[1]), _mm512_set1_ps(j.s[2]),
                            _mm512_set1_ps(j.s[3])};
    for (int i = 0; i < m; i += 16) {
        const bool full = m - i >= 16;
        const __mmask16 lanes = full ? __mmask16(0xFFFF) : __mmask16((1u << (m - i)) - 1);
        const __m128i b0 =
            full ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + i)) : _mm_maskz_loadu_epi8(lanes, r0 + i);
        const __m128i b1 =
            full ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + i)) : _mm_maskz_loadu_epi8(lanes, r1 + i);
        const __m512 x0 = _mm512_cvtepi32_ps(_mm512_cvtepu8_epi32(b0));
        const __m512 x1 = _mm512_cvtepi32_ps(_mm512_cvtepu8_epi32(b1));
        const __m512 v = _mm512_add_ps(_mm512_mul_ps(a0, x0), _mm512_mul_ps(a1, x1));
        const __m512 cov = full ? _mm512_loadu_ps(cc + i) : _mm512_maskz_loadu_ps(lanes, cc + i);
        const __m512 c = _mm512_mul_ps(_mm512_mul_ps(_mm512_max_ps(v, zero), k), cov);
        if (!(_mm512_cmp_ps_mask(c, zero, _CMP_GT_OQ) & lanes)) continue;
        TintSixteenAvx512(d + 4 * i, c, tint, lanes);
    }
}
RASTER_EXACT_END

// Row py of a prepared tint draw (vr and e as TintPassRowAvx2 takes them).
void TintPassRow(const RasterTarget& target, const TintPass& p, int py, float* vr, float* e) {
    if (py < p.j.y0 || py >= p.j.y1) return;
    const bool pre = target.premultiplied;
    if (pre && ActiveCpuLevel() >= CpuLevel::Avx512) {
        TintPassRowAvx512(target, p, py, vr, e);
        return;
    }
    if (pre && ActiveCpuLevel() >= CpuLevel::Avx2) {
        TintPassRowAvx2(target, p, py, vr, e);
        return;
    }
    const TintMaskJob& j = p.j;
    const TintMask& mask = p.mask;
    const int w = j.x1 - j.x0;
    const float cy = SpanCoverage(py, j.oy, j.bottom);
    const TintTap ty = TapAt(py, j.oy, j.scale, mask.height);
    const uint8_t* r0 = mask.bytes + int64_t(ty.i0) * mask.stride;
    const uint8_t* r1 = mask.bytes + int64_t(ty.i1) * mask.stride;
    const float w0 = 1 - ty.t, w1 = ty.t;
    bool any = false;
    for (int i = p.m0; i < p.m1; ++i) {
        const float v = w0 * r0[i] + w1 * r1[i];
        vr[size_t(i - p.m0)] = v;
        any |= v > 0;
    }
    if (!any || !(cy > 0)) return;
    const float rowK = kInv255 * cy;
    if (p.unitCols) {
        const float* v = vr + (p.cols.front().i0 - p.m0);
        for (int k = 0; k < w; ++k) e[size_t(k)] = std::max(v[k], 0.0f) * rowK * p.colCov[size_t(k)];
    } else {
        for (int k = 0; k < w; ++k) {
            const TintTap& tx = p.cols[size_t(k)];
            const float m = (1 - tx.t) * vr[size_t(tx.i0 - p.m0)] + tx.t * vr[size_t(tx.i1 - p.m0)];
            e[size_t(k)] = m > 0 ? m * rowK * p.colCov[size_t(k)] : 0.0f;
        }
    }
    uint8_t* d = PixelAt(target, j.x0, py);
    for (int k = 0; k < w; ++k)
        if (e[size_t(k)] > 0) CompositePixel(d + 4 * k, j.s, e[size_t(k)], Compositing::SourceOver, pre);
}

// The scratch floats a prepared tint draw's rows need in vr and e.
size_t TintVrSize(const TintPass& p) { return size_t(p.m1 - p.m0) + 40; }
size_t TintESize(const TintPass& p) { return size_t(p.j.x1 - p.j.x0) + 8; }

bool DrawTintMaskReferenceImpl(const RasterTarget& target, const TintMask& mask, float x, float y, float scale,
                               uint32_t argb, const RectF* clip) {
    TintMaskJob j;
    if (!PlanTintMask(target, mask, x, y, scale, argb, clip, j)) return false;
    const bool pre = target.premultiplied;
    for (int py = j.y0; py < j.y1; ++py) {
        const float cy = SpanCoverage(py, j.oy, j.bottom);
        const TintTap ty = TapAt(py, j.oy, j.scale, mask.height);
        const uint8_t* r0 = mask.bytes + int64_t(ty.i0) * mask.stride;
        const uint8_t* r1 = mask.bytes + int64_t(ty.i1) * mask.stride;
        for (int px = j.x0; px < j.x1; ++px) {
            const float c = SpanCoverage(px, j.ox, j.right) * cy;
            const TintTap tx = TapAt(px, j.ox, j.scale, mask.width);
            const float wx[2] = {1 - tx.t, tx.t}, wy[2] = {1 - ty.t, ty.t};
            const float m = wx[0] * wy[0] * r0[tx.i0] + wx[1] * wy[0] * r0[tx.i1] + wx[0] * wy[1] * r1[tx.i0] +
                            wx[1] * wy[1] * r1[tx.i1];
            if (m > 0 && c > 0)
                CompositePixel(PixelAt(target, px, py), j.s, m * kInv255 * c, Compositing::SourceOver, pre);
        }
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------- public

Affine Affine::RotationAbout(double degrees, double cx, double cy) {
    const double t = degrees * kPi / 180.0;
    const double c = std::cos(t), s = std::sin(t);
    // Rotate about the origin, then move the centre back where it was.
    return {c, s, -s, c, cx - c * cx + s * cy, cy - s * cx - c * cy};
}

Affine Affine::After(const Affine& f) const {
    return {a * f.a + c * f.b,          b * f.a + d * f.b,          a * f.c + c * f.d,
            b * f.c + d * f.d,          a * f.tx + c * f.ty + tx,   b * f.tx + d * f.ty + ty};
}

PointF Affine::Map(PointF p) const {
    return {float(a * p.x + c * p.y + tx), float(b * p.x + d * p.y + ty)};
}

bool Affine::Invert(Affine& out) const {
    const double det = a * d - b * c;
    if (!std::isfinite(det) || std::fabs(det) < 1e-12) return false;
    const double id = 1.0 / det;
    out.a = d * id;
    out.b = -b * id;
    out.c = -c * id;
    out.d = a * id;
    out.tx = -(out.a * tx + out.c * ty);
    out.ty = -(out.b * tx + out.d * ty);
    return true;
}

ColorMatrix ColorMatrix::AlphaScale(float k) {
    ColorMatrix cm;
    cm.m[3][3] = k;
    return cm;
}

bool ColorMatrix::IsAlphaScaleOnly(float* alphaScale) const {
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c) {
            if (r == 3 && c == 3) continue;
            if (c == 4) continue;  // the last column is unused
            if (m[r][c] != (r == c ? 1.0f : 0.0f)) return false;
        }
    if (alphaScale) *alphaScale = m[3][3];
    return true;
}

RasterTarget RasterTarget::Of(CompositeSurface& s) { return {s.pixels, s.width, s.height, int64_t(s.width) * 4, true}; }

RasterTarget RasterTarget::Of(Bitmap& b) { return {b.Data(), b.Width(), b.Height(), b.Stride(), false}; }

bool DrawBitmapRect(const RasterTarget& target, const Bitmap& src, const RectF& dest, const ImageDrawOptions& options) {
    const RectF whole{0, 0, float(src.Width()), float(src.Height())};
    return DrawParallelogram(target, src, whole, {dest.x, dest.y}, {dest.x + dest.width, dest.y},
                             {dest.x, dest.y + dest.height}, options, false);
}

bool DrawBitmapToPoints(const RasterTarget& target, const Bitmap& src, const RectF& srcRect, PointF upperLeft,
                        PointF upperRight, PointF lowerLeft, const ImageDrawOptions& options) {
    return DrawParallelogram(target, src, srcRect, upperLeft, upperRight, lowerLeft, options, false);
}

bool DrawBitmapToPointsReference(const RasterTarget& target, const Bitmap& src, const RectF& srcRect,
                                 PointF upperLeft, PointF upperRight, PointF lowerLeft,
                                 const ImageDrawOptions& options) {
    return DrawParallelogram(target, src, srcRect, upperLeft, upperRight, lowerLeft, options, true);
}

bool DrawTintMask(const RasterTarget& target, const TintMask& mask, float x, float y, float scale, uint32_t argb,
                  const RectF* clip) {
    const TintMaskDraw draw{mask, x, y, scale, argb};
    return DrawTintMasks(target, &draw, 1, clip) == 1;
}

bool DrawTintMaskReference(const RasterTarget& target, const TintMask& mask, float x, float y, float scale,
                           uint32_t argb, const RectF* clip) {
    return DrawTintMaskReferenceImpl(target, mask, x, y, scale, argb, clip);
}

int DrawTintMasks(const RasterTarget& target, const TintMaskDraw* draws, int count, const RectF* clip) {
    // In order, rows shared out among threads, as a batch of them alone.
    RasterBatch batch;
    batch.Begin(target);
    const int added = batch.AddTintMasks(draws, count, clip);
    batch.Run();
    return added;
}

struct RasterBatch::Impl {
    RasterTarget target;
    std::vector<RowOp> ops;
    // Prepared tint draws; the first `tints` are queued. Kept with their
    // vectors from frame to frame.
    std::vector<TintPass> passes;
    size_t tints = 0;
    std::vector<RowScratch> scratch;  // one per thread
};

RasterBatch::RasterBatch() : impl_(new Impl) {}
RasterBatch::~RasterBatch() { delete impl_; }

void RasterBatch::Begin(const RasterTarget& target) {
    impl_->target = target;
    impl_->ops.clear();
    impl_->tints = 0;
}

bool RasterBatch::AddBitmapRect(const Bitmap& src, const RectF& dest, const ImageDrawOptions& options) {
    const RectF whole{0, 0, float(src.Width()), float(src.Height())};
    return DrawParallelogram(impl_->target, src, whole, {dest.x, dest.y}, {dest.x + dest.width, dest.y},
                             {dest.x, dest.y + dest.height}, options, false, &impl_->ops);
}

int RasterBatch::AddTintMasks(const TintMaskDraw* draws, int count, const RectF* clip) {
    Impl& m = *impl_;
    int added = 0;
    for (int i = 0; i < count; ++i) {
        const TintMaskDraw& d = draws[i];
        TintMaskJob j;
        if (!PlanTintMask(m.target, d.mask, d.x, d.y, d.scale, d.argb, clip, j)) continue;
        const size_t index = m.tints++;
        if (m.passes.size() <= index) m.passes.resize(index + 1);
        TintPass& p = m.passes[index];
        // Made ready by Run, side by side with the rows already queued; the
        // rows and the scratch sizes need only the plan and the columns read.
        p.j = j;
        p.m0 = TapAt(j.x0, j.ox, j.scale, d.mask.width).i0;
        p.m1 = TapAt(j.x1 - 1, j.ox, j.scale, d.mask.width).i1 + 1;
        p.draw = d;
        p.hasClip = clip != nullptr;
        if (clip) p.clip = *clip;
        p.ready = kTintPending;
        ++added;
        // By index: the passes may move while more are queued.
        m.ops.push_back({j.y0, j.y1, 0, int64_t(j.x1 - j.x0) * (j.y1 - j.y0),
                         [&m, index](int y, RowScratch& s) {
                             const TintPass& p = m.passes[index];
                             int state;
                             for (int spins = 0; (state = __atomic_load_n(&p.ready, __ATOMIC_ACQUIRE)) == kTintPending;
                                  ++spins)
                                 if (spins < 4096) CpuRelax();
                                 else std::this_thread::yield();  // its maker may have lost its core
                             if (state == kTintReady) TintPassRow(m.target, p, y, s.vr.data(), s.e.data());
                         }});
    }
    return added;
}

void RasterBatch::Run() {
    Impl& m = *impl_;
    if (m.ops.empty() || m.target.Empty()) {
        Begin(m.target);
        return;
    }
    int y0 = m.ops.front().y0, y1 = m.ops.front().y1;
    int64_t work = 0;
    size_t width = 0, vrSize = 0, eSize = 0;
    for (const RowOp& op : m.ops) {
        y0 = std::min(y0, op.y0), y1 = std::max(y1, op.y1);
        work += op.work;
        width = std::max(width, size_t(op.width));
    }
    for (size_t i = 0; i < m.tints; ++i)
        vrSize = std::max(vrSize, TintVrSize(m.passes[i])), eSize = std::max(eSize, TintESize(m.passes[i]));
    // Grown, never shrunk: acc stays all zero (new floats start at zero and
    // every row leaves it so), the rest is written before it is read.
    m.scratch.resize(std::max<size_t>(m.scratch.size(), size_t(std::max(omp_get_max_threads(), 1))));
    for (RowScratch& s : m.scratch) {
        if (s.acc.size() < width + 2) s.acc.resize(width + 2), s.cov.resize(width);
        if (s.vr.size() < vrSize) s.vr.resize(vrSize);
        if (s.e.size() < eSize) s.e.resize(eSize);
    }
    const std::vector<RowOp>& ops = m.ops;
    // The tint draws are made ready first, one thread each, in the same
    // parallel region as the rows: a row that needs one still being made
    // waits for it, which costs less than starting the threads twice.
    std::atomic<size_t> next{0};
    const size_t tints = m.tints;
#pragma omp parallel if (work > 32768)
    {
        for (size_t k; (k = next.fetch_add(1, std::memory_order_relaxed)) < tints;) {
            TintPass& p = m.passes[k];
            const TintMaskDraw& d = p.draw;
            // Out of memory here leaves this draw out: the rows pass it by.
            int state = kTintFailed;
            try {
                if (PrepareTintPass(m.target, d.mask, d.x, d.y, d.scale, d.argb, p.hasClip ? &p.clip : nullptr, p))
                    state = kTintReady;
            } catch (const std::bad_alloc&) {
            }
            __atomic_store_n(&p.ready, state, __ATOMIC_RELEASE);
        }
        RowScratch& s = m.scratch[size_t(omp_get_thread_num()) % m.scratch.size()];
#pragma omp for schedule(dynamic, 8)
        for (int y = y0; y < y1; ++y)
            for (const RowOp& op : ops)
                if (y >= op.y0 && y < op.y1) op.fn(y, s);
    }
    Begin(m.target);
}

void ClearTarget(const RasterTarget& target, uint32_t argb) {
    if (target.Empty()) return;
    uint32_t v = argb;
    if (target.premultiplied) {
        const unsigned a = argb >> 24;
        auto pm = [a](unsigned c) { return uint32_t(ToByte(c * kInv255 * (a * kInv255))); };
        v = (a << 24) | (pm((argb >> 16) & 0xFF) << 16) | (pm((argb >> 8) & 0xFF) << 8) | pm(argb & 0xFF);
    }
#pragma omp parallel for schedule(static) if (int64_t(target.width) * target.height > 65536)
    for (int y = 0; y < target.height; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(target.pixels + int64_t(y) * target.stride);
        std::fill(row, row + target.width, v);
    }
}

void RasterPath::MoveTo(float x, float y) {
    figures_.push_back({{x, y}});
    open_ = true;
}

void RasterPath::LineTo(float x, float y) {
    if (!open_) MoveTo(x, y);
    else figures_.back().push_back({x, y});
}

void RasterPath::CubicTo(float x1, float y1, float x2, float y2, float x3, float y3) {
    if (!open_) MoveTo(x1, y1);
    const PointF p0 = figures_.back().back();
    const double len = std::hypot(x1 - p0.x, y1 - p0.y) + std::hypot(x2 - x1, y2 - y1) + std::hypot(x3 - x2, y3 - y2);
    const int steps = std::clamp(int(std::ceil(std::sqrt(len) * 4)), 2, 1024);
    for (int i = 1; i <= steps; ++i) {
        const double t = double(i) / steps, u = 1 - t;
        const double b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
        figures_.back().push_back(
            {float(b0 * p0.x + b1 * x1 + b2 * x2 + b3 * x3), float(b0 * p0.y + b1 * y1 + b2 * y2 + b3 * y3)});
    }
}

void RasterPath::Close() { open_ = false; }

void RasterPath::AddPolygon(const PointF* points, int count) {
    if (!points || count < 2) return;
    figures_.emplace_back(points, points + count);
    open_ = false;
}

void RasterPath::AddRect(const RectF& r) {
    const PointF p[4] = {{r.x, r.y}, {r.x + r.width, r.y}, {r.x + r.width, r.y + r.height}, {r.x, r.y + r.height}};
    AddPolygon(p, 4);
}

void RasterPath::AddRoundedRect(const RectF& r, float radiusX, float radiusY) {
    const double rx = std::clamp(double(radiusX), 0.0, std::fabs(double(r.width)) / 2);
    const double ry = std::clamp(double(radiusY), 0.0, std::fabs(double(r.height)) / 2);
    if (rx <= 0 || ry <= 0) {
        AddRect(r);
        return;
    }
    const double l = r.x, t = r.y, rr = double(r.x) + r.width, b = double(r.y) + r.height;
    std::vector<PointF> fig;
    AddArcPoints(fig, rr - rx, t + ry, rx, ry, -kPi / 2, 0);
    AddArcPoints(fig, rr - rx, b - ry, rx, ry, 0, kPi / 2);
    AddArcPoints(fig, l + rx, b - ry, rx, ry, kPi / 2, kPi);
    AddArcPoints(fig, l + rx, t + ry, rx, ry, kPi, kPi * 1.5);
    figures_.push_back(std::move(fig));
    open_ = false;
}

void RasterPath::AddEllipse(const RectF& r) {
    std::vector<PointF> fig;
    AddArcPoints(fig, r.x + r.width / 2.0, r.y + r.height / 2.0, r.width / 2.0, r.height / 2.0, 0, 2 * kPi);
    fig.pop_back();
    figures_.push_back(std::move(fig));
    open_ = false;
}

void FillPath(const RasterTarget& target, const RasterPath& path, uint32_t argb, const FillOptions& options) {
    if (target.Empty() || path.Empty()) return;
    CoverageRaster cr(path.Figures(), options.world, target.width, target.height, options.rule, options.antiAlias);
    FillCoverage(target, cr, argb, options.compositing);
}

void FillPolygon(const RasterTarget& target, const PointF* points, int count, uint32_t argb,
                 const FillOptions& options) {
    RasterPath p;
    p.AddPolygon(points, count);
    FillPath(target, p, argb, options);
}

void FillRect(const RasterTarget& target, const RectF& rect, uint32_t argb, const FillOptions& options) {
    RasterPath p;
    p.AddRect(rect);
    FillPath(target, p, argb, options);
}

void FillRoundedRect(const RasterTarget& target, const RectF& rect, float radius, uint32_t argb,
                     const FillOptions& options) {
    RasterPath p;
    p.AddRoundedRect(rect, radius, radius);
    FillPath(target, p, argb, options);
}

std::vector<float> RasterizeCoverage(const RasterPath& path, int width, int height, FillRule rule,
                                     const Affine* world) {
    std::vector<float> out;
    if (width <= 0 || height <= 0 || !BitmapSizeAllowed(width, height)) return out;
    out.assign(size_t(width) * size_t(height), 0.0f);
    CoverageRaster cr(path.Figures(), world, width, height, rule, true);
    ForEachCoverageRow(cr, [&](int y, int x0, const float* cov, int x1) {
        std::copy(cov, cov + (x1 - x0), out.data() + size_t(y) * size_t(width) + size_t(x0));
    });
    return out;
}
