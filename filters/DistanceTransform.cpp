// Two phases: a vertical distance per column, then per row the lower envelope
// of the parabolas (x - i)^2 + g(i)^2.
#include "filters/DistanceTransform.h"

#include <algorithm>
#include <cmath>
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
template <typename G>
void DistanceTransformWith(const uint8_t* mask, int width, int height, float* out, bool border) {
    const int W = width, H = height;
    const int32_t inf = W + H + 1;
    const size_t w = size_t(W);
    std::vector<G> g(w * size_t(H));

    // Column phase, row by row so that whole rows vectorise; threads take column blocks.
#pragma omp parallel if (WorthThreads(W, H))
    {
#pragma omp for schedule(static)
        for (int blk = 0; blk < (W + 255) / 256; ++blk) {
            const int x0 = blk * 256, n = std::min(W, x0 + 256) - x0;
            {
                G* __restrict cur = g.data() + x0;
                const uint8_t* __restrict m = mask + x0;
                const G first = G(border ? 1 : inf);
                for (int x = 0; x < n; ++x) cur[x] = m[x] ? first : 0;
            }
            for (int y = 1; y < H; ++y) {
                const uint8_t* __restrict m = mask + size_t(y) * w + x0;
                const G* __restrict up = g.data() + size_t(y - 1) * w + x0;
                G* __restrict cur = g.data() + size_t(y) * w + x0;
                for (int x = 0; x < n; ++x) {
                    const G v = G(std::min(int32_t(up[x]) + 1, inf));
                    cur[x] = m[x] ? v : G(0);
                }
            }
            if (border) {
                G* __restrict last = g.data() + size_t(H - 1) * w + x0;
                for (int x = 0; x < n; ++x) last[x] = std::min(last[x], G(1));
            }
            for (int y = H - 2; y >= 0; --y) {
                const G* __restrict down = g.data() + size_t(y + 1) * w + x0;
                G* __restrict cur = g.data() + size_t(y) * w + x0;
                for (int x = 0; x < n; ++x) cur[x] = G(std::min(int32_t(cur[x]), int32_t(down[x]) + 1));
            }
        }
    }

    // Row phase.
#pragma omp parallel if (WorthThreads(W, H))
    {
        std::vector<int32_t> s(w), t(w);
        std::vector<int64_t> g2(w);
#pragma omp for schedule(static)
        for (int y = 0; y < H; ++y) {
            const G* gr = g.data() + size_t(y) * w;
            for (int x = 0; x < W; ++x) g2[size_t(x)] = int64_t(gr[x]) * gr[x];
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
