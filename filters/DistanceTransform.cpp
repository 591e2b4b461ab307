// Two phases: a vertical distance per column, then per row the lower envelope
// of the parabolas (x - i)^2 + g(i)^2.
#include "filters/DistanceTransform.h"

#include "filters/FilterPixels.h"
#include "platform/CpuLevel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#if defined(__SSE__)
#include <immintrin.h>
#endif

namespace {

bool WorthThreads(int width, int height) { return int64_t(width) * height >= (int64_t(1) << 14); }

// Correctly rounded single-precision square roots (what std::sqrt gives), in a
// loop the compiler can vectorise.
void SqrtInPlace(float* v, int n) {
    int i = 0;
#if defined(__SSE__)
    for (; i + 4 <= n; i += 4) _mm_storeu_ps(v + i, _mm_sqrt_ps(_mm_loadu_ps(v + i)));
#endif
    for (; i < n; ++i) v[i] = std::sqrt(v[i]);
}

int64_t FloorDiv(int64_t a, int64_t b) {  // b > 0
    const int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

}  // namespace

namespace {

// G holds vertical distances up to width + height + 1: 16 bits for every
// bitmap within the side caps, halving the memory the two phases stream.
//
// The vertical distances of row y are kept in the first bytes of output row y
// (copied in and out with memcpy), so no image-sized scratch is allocated, and
// its pages faulted in, on every call: on a busy machine that first touch,
// made by one thread, cost more than the whole transform. The row phase reads
// a row's distances before it writes that row. Both phases share their work
// out dynamically, so one thread held up by other processes does not hold up
// the rest.
template <typename G>
void DistanceTransformWith(const uint8_t* mask, int width, int height, float* out, bool border) {
    const int W = width, H = height;
    const int32_t inf = W + H + 1;
    const size_t w = size_t(W);
    auto gRow = [&](int y, int x0) { return reinterpret_cast<unsigned char*>(out + size_t(y) * w) + size_t(x0) * sizeof(G); };

    // Column phase over blocks of columns, row by row so that whole block rows
    // vectorise; the running distances stay in the first-level cache.
    constexpr int kBlock = 128;
#pragma omp parallel if (WorthThreads(W, H))
    {
        alignas(64) G run[kBlock];
        alignas(64) G below[kBlock];
#pragma omp for schedule(dynamic)
        for (int blk = 0; blk < (W + kBlock - 1) / kBlock; ++blk) {
            const int x0 = blk * kBlock, n = std::min(W, x0 + kBlock) - x0;
            const size_t bytes = size_t(n) * sizeof(G);
            // Down: distance to the nearest zero above (the top border counting as one).
            const G first = G(border ? 1 : inf);
            for (int x = 0; x < n; ++x) run[x] = mask[x0 + x] ? first : G(0);
            for (int y = 1; y < H; ++y) {
                std::memcpy(gRow(y - 1, x0), run, bytes);
                const uint8_t* __restrict m = mask + size_t(y) * w + x0;
                for (int x = 0; x < n; ++x) run[x] = m[x] ? G(std::min(int32_t(run[x]) + 1, inf)) : G(0);
            }
            // Up: the nearer of that and the nearest zero below.
            if (border)
                for (int x = 0; x < n; ++x) run[x] = std::min(run[x], G(1));
            std::memcpy(gRow(H - 1, x0), run, bytes);
            for (int y = H - 2; y >= 0; --y) {
                std::memcpy(below, gRow(y, x0), bytes);
                for (int x = 0; x < n; ++x) run[x] = G(std::min(int32_t(below[x]), int32_t(run[x]) + 1));
                std::memcpy(gRow(y, x0), run, bytes);
            }
        }
    }

    // Row phase.
#pragma omp parallel if (WorthThreads(W, H))
    {
        std::vector<int32_t> s(w), t(w);
        std::vector<int64_t> g2(w);
        std::vector<G> gr(w);
#pragma omp for schedule(dynamic, 16)
        for (int y = 0; y < H; ++y) {
            std::memcpy(gr.data(), gRow(y, 0), w * sizeof(G));
            for (int x = 0; x < W; ++x) g2[size_t(x)] = int64_t(gr[size_t(x)]) * gr[size_t(x)];
            auto f = [&](int64_t x, int32_t i) { return (x - i) * (x - i) + g2[size_t(i)]; };
            int q = 0;
            s[0] = 0;
            t[0] = 0;
            for (int32_t i = 1; i < W; ++i) {
                while (q >= 0 && f(t[size_t(q)], i) < f(t[size_t(q)], s[size_t(q)])) --q;
                if (q < 0) {
                    q = 0;
                    s[0] = i;
                    t[0] = 0;
                } else {
                    const int64_t sq = s[size_t(q)];
                    const int64_t m =
                        1 + FloorDiv(int64_t(i) * i - sq * sq + g2[size_t(i)] - g2[size_t(sq)], 2 * (int64_t(i) - sq));
                    if (m < W) {
                        ++q;
                        s[size_t(q)] = i;
                        t[size_t(q)] = int32_t(m);
                    }
                }
            }
            float* o = out + size_t(y) * w;
            for (int32_t x = W - 1; x >= 0; --x) {
                int64_t d2 = f(x, s[size_t(q)]);
                if (border) d2 = std::min({d2, int64_t(x + 1) * (x + 1), int64_t(W - x) * (W - x)});
                o[x] = float(d2);
                if (x == t[size_t(q)]) --q;
            }
            SqrtInPlace(o, W);
        }
    }
}

}  // namespace

void DistanceTransform(const uint8_t* mask, int width, int height, float* out, bool border) {
    if (!mask || !out || width < 1 || height < 1) return;
    if (int64_t(width) + height + 1 <= 0xFFFF) DistanceTransformWith<uint16_t>(mask, width, height, out, border);
    else DistanceTransformWith<int32_t>(mask, width, height, out, border);
}

namespace {

// Vertical distances capped at `limit` (they stay below 256), one byte each:
// down each column, then up, over strips of columns row by row so that whole
// strip rows vectorise.
void CappedColumnDistances(const uint8_t* mask, int W, int H, bool border, int limit, uint8_t* g) {
    constexpr int kStrip = 256;
    const size_t w = size_t(W);
    const uint8_t cap = uint8_t(limit), first = uint8_t(border ? std::min(1, limit) : limit);
#pragma omp parallel for schedule(dynamic) if (WorthThreads(W, H))
    for (int x0 = 0; x0 < W; x0 += kStrip) {
        const int n = std::min(W, x0 + kStrip) - x0;
        {
            const uint8_t* __restrict m = mask + x0;
            uint8_t* __restrict o = g + x0;
            for (int x = 0; x < n; ++x) o[x] = m[x] ? first : uint8_t(0);
        }
        for (int y = 1; y < H; ++y) {
            const uint8_t* __restrict m = mask + size_t(y) * w + x0;
            const uint8_t* __restrict above = g + size_t(y - 1) * w + x0;
            uint8_t* __restrict o = g + size_t(y) * w + x0;
            for (int x = 0; x < n; ++x) o[x] = m[x] ? std::min(uint8_t(above[x] + 1), cap) : uint8_t(0);
        }
        if (border) {
            uint8_t* o = g + size_t(H - 1) * w + x0;
            for (int x = 0; x < n; ++x) o[x] = std::min(o[x], uint8_t(1));
        }
        for (int y = H - 2; y >= 0; --y) {
            const uint8_t* __restrict below = g + size_t(y + 1) * w + x0;
            uint8_t* __restrict o = g + size_t(y) * w + x0;
            for (int x = 0; x < n; ++x) o[x] = std::min(o[x], uint8_t(below[x] + 1));
        }
    }
}

// One row of the bounded transform from its capped vertical distances gr:
// squared distances (at most (C - 1)^2 + C^2, so 16-bit lanes) searched over
// the 2 C - 1 nearest columns, then square-rooted. g2 holds W + 2 C entries.
[[gnu::always_inline]] inline void BoundedRow(const uint8_t* __restrict gr, int W, int C, bool border,
                                              int16_t* __restrict g2, int16_t* __restrict best, float* __restrict o) {
    const int16_t far2 = int16_t(C * C);
    int16_t* __restrict p = g2 + C;
    for (int x = 0; x < W; ++x) p[x] = int16_t(int16_t(gr[x]) * int16_t(gr[x]));
    for (int k = 0; k < C; ++k) g2[k] = g2[C + W + k] = far2;
    for (int x = 0; x < W; ++x) best[x] = p[x];
    for (int d = 1; d < C; ++d) {
        const int16_t d2 = int16_t(d * d);
        const int16_t* __restrict left = p - d;
        const int16_t* __restrict right = p + d;
        for (int x = 0; x < W; ++x) best[x] = std::min(best[x], int16_t(d2 + std::min(left[x], right[x])));
    }
    if (border)
        for (int x = 0; x < W; ++x) {
            // Only the first and last C columns can be nearer the sides.
            if (x == C && W - C > C) x = W - C;
            const int32_t side = std::min((x + 1) * (x + 1), (W - x) * (W - x));
            if (side < best[x]) best[x] = int16_t(side);
        }
    // Every entry is at most far2: (C^2 for a capped column, or nearer.)
    for (int x = 0; x < W; ++x) o[x] = float(best[x]);
    SqrtInPlace(o, W);
}

#define BOUNDED_ROW_LEVEL(Suffix, Target)                                                                    \
    Target void BoundedRow##Suffix(const uint8_t* gr, int W, int C, bool border, int16_t* g2, int16_t* best, \
                                   float* o) {                                                               \
        BoundedRow(gr, W, C, border, g2, best, o);                                                           \
    }
BOUNDED_ROW_LEVEL(Baseline, )
BOUNDED_ROW_LEVEL(Avx2, __attribute__((target("avx2"))))
BOUNDED_ROW_LEVEL(Avx512, __attribute__((target("arch=x86-64-v4"))))
#undef BOUNDED_ROW_LEVEL

using BoundedRowFn = void (*)(const uint8_t*, int, int, bool, int16_t*, int16_t*, float*);
BoundedRowFn PickBoundedRow() {
    switch (ActiveCpuLevel()) {
    case CpuLevel::Avx512: return &BoundedRowAvx512;
    case CpuLevel::Avx2: return &BoundedRowAvx2;
    case CpuLevel::Baseline: break;
    }
    return &BoundedRowBaseline;
}

}  // namespace

void DistanceTransformBelow(const uint8_t* mask, int width, int height, float* out, bool border, int limit) {
    if (!mask || !out || width < 1 || height < 1) return;
    if (limit < 1 || limit > kDistanceBoundedMax) {
        DistanceTransform(mask, width, height, out, border);
        return;
    }
    // With vertical distances capped at the limit, a pixel nearer than the
    // limit to a zero pixel finds it within limit - 1 columns, among columns
    // whose distance the cap left alone; the capped columns only offer
    // distances of the limit or more. So a search over 2 limit - 1 columns
    // gives every distance below the limit exactly and the rest at least it.
    const int W = width, H = height, C = limit;
    const size_t w = size_t(W);
    const WorkPlane<uint8_t> g = MakeWorkPlane<uint8_t>(w * size_t(H));
    CappedColumnDistances(mask, W, H, border, C, g.get());
    const BoundedRowFn row = PickBoundedRow();
#pragma omp parallel if (WorthThreads(W, H))
    {
        std::vector<int16_t> g2(w + 2 * size_t(C)), best(w);
#pragma omp for schedule(dynamic, 16)
        for (int y = 0; y < H; ++y)
            row(g.get() + size_t(y) * w, W, C, border, g2.data(), best.data(), out + size_t(y) * w);
    }
}

void DistanceTransformReference(const uint8_t* mask, int width, int height, float* out, bool border) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int64_t best = std::numeric_limits<int64_t>::max();
            for (int yy = 0; yy < height; ++yy)
                for (int xx = 0; xx < width; ++xx)
                    if (mask[size_t(yy) * width + xx] == 0)
                        best = std::min(best, int64_t(x - xx) * (x - xx) + int64_t(y - yy) * (y - yy));
            if (border) {
                const int64_t e = std::min({x + 1, width - x, y + 1, height - y});
                best = std::min(best, e * e);
            }
            if (best == std::numeric_limits<int64_t>::max()) best = int64_t(width + height + 1) * (width + height + 1);
            out[size_t(y) * width + x] = std::sqrt(float(best));
        }
}
