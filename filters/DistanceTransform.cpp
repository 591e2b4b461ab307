// Two phases: a vertical distance per column, then per row the lower envelope
// of the parabolas (x - i)^2 + g(i)^2.
#include "filters/DistanceTransform.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

bool WorthThreads(int width, int height) { return int64_t(width) * height >= (int64_t(1) << 14); }

int64_t FloorDiv(int64_t a, int64_t b) {  // b > 0
    const int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

}  // namespace

void DistanceTransform(const uint8_t* mask, int width, int height, float* out, bool border) {
    if (!mask || !out || width < 1 || height < 1) return;
    const int W = width, H = height;
    const int32_t inf = W + H + 1;
    const size_t w = size_t(W);
    std::vector<int32_t> g(w * size_t(H));

    // Column phase, row by row so that whole rows vectorise; threads take column blocks.
#pragma omp parallel if (WorthThreads(W, H))
    {
#pragma omp for schedule(static)
        for (int blk = 0; blk < (W + 255) / 256; ++blk) {
            const int x0 = blk * 256, x1 = std::min(W, x0 + 256);
            for (int x = x0; x < x1; ++x) g[size_t(x)] = mask[x] == 0 ? 0 : (border ? 1 : inf);
            for (int y = 1; y < H; ++y) {
                const uint8_t* m = mask + size_t(y) * w;
                const int32_t* up = g.data() + size_t(y - 1) * w;
                int32_t* cur = g.data() + size_t(y) * w;
                for (int x = x0; x < x1; ++x) cur[x] = m[x] == 0 ? 0 : std::min(up[x] + 1, inf);
            }
            if (border) {
                int32_t* last = g.data() + size_t(H - 1) * w;
                for (int x = x0; x < x1; ++x) last[x] = std::min(last[x], 1);
            }
            for (int y = H - 2; y >= 0; --y) {
                const int32_t* down = g.data() + size_t(y + 1) * w;
                int32_t* cur = g.data() + size_t(y) * w;
                for (int x = x0; x < x1; ++x) cur[x] = std::min(cur[x], down[x] + 1);
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
            const int32_t* gr = g.data() + size_t(y) * w;
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
                o[x] = std::sqrt(float(d2));
                if (x == t[size_t(q)]) --q;
            }
        }
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
