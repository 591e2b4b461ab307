// Recursive and small-kernel Gaussian blurs of interleaved 8-bit images.
#include "filters/GaussianBlurRecursive.h"

#include "platform/CpuLevel.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace {

// NaN-safe truncation to a byte.
inline uint8_t TruncToByte(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= 255.0) return 255;
    return uint8_t(v);
}

bool WorthThreads(int64_t samples) { return samples >= (int64_t(1) << 16); }

typedef double V4d __attribute__((vector_size(32)));
typedef double V4du __attribute__((vector_size(32), aligned(8)));  // scratch is 8-byte aligned

// Doubles of scratch that RecursiveLanes needs for n samples of L lanes.
size_t RecursiveScratch(int n, int lanes) { return 2 * (size_t(n) + 8) * size_t((lanes + 3) / 4 * 4); }

// Runs the recursive filter along n samples for C * G lanes: lane (g, c) is the
// byte at base + g * groupStride + i * step + c. The lanes are widened to
// doubles in groups of four, with four copies of the end samples beyond each
// end (the edge state), and filtered as vectors; the history of each direction
// stays in registers.
template <int C, int G>
[[gnu::always_inline]] inline void RecursiveLanes(uint8_t* base, ptrdiff_t groupStride, ptrdiff_t step, int n,
                                                  const DericheCoefficients& k, double* scratch) {
    constexpr int L = C * G, NV = (L + 3) / 4, LP = NV * 4;
    auto at = [&](int g, int i) { return base + g * groupStride + ptrdiff_t(i) * step; };
    double* xs = scratch;                            // samples -4 .. n + 3
    double* causal = scratch + (size_t(n) + 8) * LP;  // causal output 0 .. n - 1
    for (int i = -4; i < n + 4; ++i) {
        double* row = xs + size_t(i + 4) * LP;
        const int src = std::clamp(i, 0, n - 1);
        for (int g = 0; g < G; ++g)
            for (int c = 0; c < C; ++c) row[g * C + c] = at(g, src)[c];
        for (int l = L; l < LP; ++l) row[l] = 0;
    }
    const V4du* X = reinterpret_cast<const V4du*>(xs) + 4 * NV;  // X[i * NV + v], i from -4
    V4du* Y = reinterpret_cast<V4du*>(causal);
    const double sumN = k.n[0] + k.n[1] + k.n[2] + k.n[3] + k.n[4];
    const double sumNp = k.np[1] + k.np[2] + k.np[3] + k.np[4];
    const double s = 1 + k.d[1] + k.d[2] + k.d[3] + k.d[4];
    const double n0 = k.n[0], n1 = k.n[1], n2 = k.n[2], n3 = k.n[3], n4 = k.n[4];
    const double p1 = k.np[1], p2 = k.np[2], p3 = k.np[3], p4 = k.np[4];
    const double d1 = k.d[1], d2 = k.d[2], d3 = k.d[3], d4 = k.d[4];

    // Causal, its history primed with the steady state of a constant first sample.
    V4d y1[NV], y2[NV], y3[NV], y4[NV];
    for (int v = 0; v < NV; ++v) y1[v] = y2[v] = y3[v] = y4[v] = X[v] * (sumN / s);
    for (int i = 0; i < n; ++i) {
        const V4du* x = X + ptrdiff_t(i) * NV;
        for (int v = 0; v < NV; ++v) {
            const V4d a = n0 * x[v] + n1 * x[v - NV] + n2 * x[v - 2 * NV] + n3 * x[v - 3 * NV] + n4 * x[v - 4 * NV];
            const V4d y = a - d4 * y4[v] - d3 * y3[v] - d2 * y2[v] - d1 * y1[v];
            Y[ptrdiff_t(i) * NV + v] = y;
            y4[v] = y3[v]; y3[v] = y2[v]; y2[v] = y1[v]; y1[v] = y;
        }
    }
    // Anti-causal, primed with the last sample; the sum goes back into the line.
    for (int v = 0; v < NV; ++v) y1[v] = y2[v] = y3[v] = y4[v] = X[ptrdiff_t(n - 1) * NV + v] * (sumNp / s);
    for (int i = n - 1; i >= 0; --i) {
        const V4du* x = X + ptrdiff_t(i) * NV;
        alignas(32) double res[LP];
        for (int v = 0; v < NV; ++v) {
            const V4d a = p1 * x[v + NV] + p2 * x[v + 2 * NV] + p3 * x[v + 3 * NV] + p4 * x[v + 4 * NV];
            const V4d y = a - d4 * y4[v] - d3 * y3[v] - d2 * y2[v] - d1 * y1[v];
            *reinterpret_cast<V4d*>(res + 4 * v) = Y[ptrdiff_t(i) * NV + v] + y;
            y4[v] = y3[v]; y3[v] = y2[v]; y2[v] = y1[v]; y1[v] = y;
        }
        for (int g = 0; g < G; ++g)
            for (int c = 0; c < C; ++c) at(g, i)[c] = TruncToByte(res[g * C + c]);
    }
}

// Each grouping in use, compiled once more for AVX2 and picked by the active
// CPU level. No FMA is enabled, so both versions round every operation alike.
using LanesFn = void (*)(uint8_t* base, ptrdiff_t groupStride, ptrdiff_t step, int n, const DericheCoefficients& k,
                         double* scratch);
template <int C, int G>
void LanesBaseline(uint8_t* base, ptrdiff_t groupStride, ptrdiff_t step, int n, const DericheCoefficients& k,
                   double* scratch) {
    RecursiveLanes<C, G>(base, groupStride, step, n, k, scratch);
}
template <int C, int G>
__attribute__((target("avx2"))) void LanesAvx2(uint8_t* base, ptrdiff_t groupStride, ptrdiff_t step, int n,
                                               const DericheCoefficients& k, double* scratch) {
    RecursiveLanes<C, G>(base, groupStride, step, n, k, scratch);
}
template <int C, int G> LanesFn PickLanes() {
    return ActiveCpuLevel() >= CpuLevel::Avx2 ? &LanesAvx2<C, G> : &LanesBaseline<C, G>;
}

// Columns: strips of 8 adjacent bytes, then the remaining single bytes.
void RecursiveColumns(uint8_t* img, int width, int height, int bpp, const DericheCoefficients& k) {
    const ptrdiff_t stride = ptrdiff_t(width) * bpp;
    const int strips = int(stride / 8);
    const LanesFn strip8 = PickLanes<8, 1>(), strip1 = PickLanes<1, 1>();
#pragma omp parallel if (WorthThreads(int64_t(width) * height))
    {
        std::vector<double> scratch(RecursiveScratch(height, 8));
#pragma omp for schedule(static)
        for (int s = 0; s < strips; ++s) strip8(img + ptrdiff_t(s) * 8, 0, stride, height, k, scratch.data());
#pragma omp for schedule(static)
        for (int x = strips * 8; x < int(stride); ++x) strip1(img + x, 0, stride, height, k, scratch.data());
    }
}

// Rows: two rows of pixels side by side (eight rows of a plane), then single rows.
void RecursiveRowsPass(uint8_t* img, int width, int height, int bpp, const DericheCoefficients& k) {
    const int group = bpp == 1 ? 8 : 2;
    const ptrdiff_t stride = ptrdiff_t(width) * bpp;
    const int groups = height / group;
    const LanesFn rows = bpp == 1 ? PickLanes<1, 8>() : bpp == 3 ? PickLanes<3, 2>() : PickLanes<4, 2>();
    const LanesFn row = bpp == 1 ? PickLanes<1, 1>() : bpp == 3 ? PickLanes<3, 1>() : PickLanes<4, 1>();
#pragma omp parallel if (WorthThreads(int64_t(width) * height))
    {
        std::vector<double> scratch(RecursiveScratch(width, 8));
#pragma omp for schedule(static)
        for (int gi = 0; gi < groups; ++gi)
            rows(img + ptrdiff_t(gi) * group * stride, stride, bpp, width, k, scratch.data());
#pragma omp for schedule(static)
        for (int y = groups * group; y < height; ++y)
            row(img + ptrdiff_t(y) * stride, 0, bpp, width, k, scratch.data());
    }
}

void RecursiveBlur(uint8_t* img, int width, int height, double rx, double ry, int bpp) {
    const DericheCoefficients ky = MakeDericheCoefficients(GaussianSigmaForRadius(ry));
    RecursiveColumns(img, width, height, bpp, ky);
    if (rx == ry) RecursiveRowsPass(img, width, height, bpp, ky);
    else RecursiveRowsPass(img, width, height, bpp, MakeDericheCoefficients(GaussianSigmaForRadius(rx)));
}

// The taps for a line of `length` samples: taps reaching past the far end of
// every window only ever read the end sample, so they are folded into the last
// tap that still reaches it. Same sums, at most 2 * length - 1 taps.
std::vector<int64_t> FoldedTaps(const GaussianKernelTaps& t, int length) {
    const int m = std::min(t.n, length - 1);
    std::vector<int64_t> f(size_t(2 * m + 1), 0);
    for (int j = -t.n; j <= t.n; ++j) f[size_t(std::clamp(j, -m, m) + m)] += t.weights[size_t(j + t.n)];
    return f;
}

// One direction of the integer convolution, rows or columns; each output is
// computed from a copy of the input so that the pass can run in place.
void KernelPass(uint8_t* img, int width, int height, int bpp, const GaussianKernelTaps& t, bool vertical) {
    const std::vector<int64_t> taps = FoldedTaps(t, vertical ? height : width);
    const int n = int(taps.size() / 2);
    const int64_t* w = taps.data() + n;  // w[-n..n]
    const int64_t divisor = t.divisor, half = t.divisor / 2;
    const size_t rowBytes = size_t(width) * size_t(bpp);
    if (vertical) {
        std::vector<uint8_t> src(img, img + rowBytes * size_t(height));
#pragma omp parallel if (WorthThreads(int64_t(width) * height))
        {
            std::vector<int64_t> acc(rowBytes);
#pragma omp for schedule(static)
            for (int y = 0; y < height; ++y) {
                std::fill(acc.begin(), acc.end(), 0);
                for (int j = -n; j <= n; ++j) {
                    const uint8_t* row = src.data() + size_t(std::clamp(y + j, 0, height - 1)) * rowBytes;
                    const int64_t wj = w[j];
                    for (size_t i = 0; i < rowBytes; ++i) acc[i] += wj * row[i];
                }
                uint8_t* out = img + size_t(y) * rowBytes;
                for (size_t i = 0; i < rowBytes; ++i) out[i] = uint8_t(std::min<int64_t>((acc[i] + half) / divisor, 255));
            }
        }
        return;
    }
#pragma omp parallel if (WorthThreads(int64_t(width) * height))
    {
        // Padded copy of one row: n copies of the first pixel before, n of the last after.
        std::vector<uint8_t> line((size_t(width) + 2 * size_t(n)) * size_t(bpp));
#pragma omp for schedule(static)
        for (int y = 0; y < height; ++y) {
            uint8_t* row = img + size_t(y) * rowBytes;
            for (int i = 0; i < n; ++i) {
                std::memcpy(line.data() + size_t(i) * bpp, row, size_t(bpp));
                std::memcpy(line.data() + (size_t(n) + size_t(width) + size_t(i)) * bpp, row + rowBytes - bpp,
                            size_t(bpp));
            }
            std::memcpy(line.data() + size_t(n) * bpp, row, rowBytes);
            for (size_t i = 0; i < rowBytes; ++i) {
                const uint8_t* centre = line.data() + size_t(n) * bpp + i;
                int64_t sum = 0;
                for (int j = -n; j <= n; ++j) sum += w[j] * centre[ptrdiff_t(j) * bpp];
                row[i] = uint8_t(std::min<int64_t>((sum + half) / divisor, 255));
            }
        }
    }
}

bool ValidImage(const uint8_t* image, int width, int height, int bpp) {
    return image && width > 0 && height > 0 && (bpp == 1 || bpp == 3 || bpp == 4);
}

}  // namespace

double GaussianSigmaForRadius(double radius) {
    return (std::min(std::fabs(radius), kMaxGaussianRadius) + 1.0) / kSigmasTo1Of255;
}

DericheCoefficients MakeDericheCoefficients(double sigma) {
    const double K = std::sqrt(2.0 * M_PI) * sigma;
    const double a0 = 1.6803 / K, a1 = 3.735 / K, c0 = -0.6803 / K, c1 = -0.2598 / K;
    const double b0 = 1.783 / sigma, b1 = 1.723 / sigma, w0 = 0.6318 / sigma, w1 = 1.997 / sigma;
    const double cw0 = std::cos(w0), sw0 = std::sin(w0), cw1 = std::cos(w1), sw1 = std::sin(w1);
    DericheCoefficients k;
    k.n[0] = a0 + c0;
    k.n[1] = std::exp(-b1) * (c1 * sw1 - (c0 + 2 * a0) * cw1) + std::exp(-b0) * (a1 * sw0 - (2 * c0 + a0) * cw0);
    k.n[2] = 2 * std::exp(-b0 - b1) * ((a0 + c0) * cw1 * cw0 - a1 * cw1 * sw0 - c1 * cw0 * sw1) +
             c0 * std::exp(-2 * b0) + a0 * std::exp(-2 * b1);
    k.n[3] = std::exp(-b1 - 2 * b0) * (c1 * sw1 - c0 * cw1) + std::exp(-b0 - 2 * b1) * (a1 * sw0 - a0 * cw0);
    k.n[4] = 0;
    k.d[0] = 0;
    k.d[1] = -2 * std::exp(-b1) * cw1 - 2 * std::exp(-b0) * cw0;
    k.d[2] = 4 * cw1 * cw0 * std::exp(-b0 - b1) + std::exp(-2 * b1) + std::exp(-2 * b0);
    k.d[3] = -2 * cw0 * std::exp(-b0 - 2 * b1) - 2 * cw1 * std::exp(-b1 - 2 * b0);
    k.d[4] = std::exp(-2 * b0 - 2 * b1);
    k.np[0] = 0;
    for (int i = 1; i <= 4; ++i) k.np[i] = k.n[i] - k.d[i] * k.n[0];
    double sumN = 0, sumNp = 0, s = 1;
    for (int i = 0; i <= 4; ++i) {
        sumN += k.n[i];
        sumNp += k.np[i];
        s += k.d[i];
    }
    for (int i = 0; i <= 4; ++i) {
        k.bc[i] = k.d[i] * sumN / s;
        k.bcp[i] = k.d[i] * sumNp / s;
    }
    return k;
}

GaussianKernelTaps BuildGaussianKernel(double sigma) {
    GaussianKernelTaps t;
    if (!(sigma > 0) || !std::isfinite(sigma)) {
        t.weights = {255};
        t.divisor = 255;
        return t;
    }
    t.n = int(std::ceil(sigma * kSigmasTo1Of255));
    t.weights.assign(size_t(2 * t.n + 1), 0);
    for (int j = -t.n; j <= t.n; ++j) {
        const int32_t wj = j == 0 ? 255 : int32_t(255.0 * std::exp(-double(j) * j / (2.0 * sigma * sigma)));
        t.weights[size_t(j + t.n)] = wj;
        t.divisor += wj;
    }
    return t;
}

void GaussianBlurKernel(uint8_t* image, int width, int height, double rx, double ry, int bytesPerPixel) {
    if (!ValidImage(image, width, height, bytesPerPixel) || !std::isfinite(rx) || !std::isfinite(ry)) return;
    if (ry > 0)
        KernelPass(image, width, height, bytesPerPixel, BuildGaussianKernel(GaussianSigmaForRadius(ry)), true);
    if (rx > 0)
        KernelPass(image, width, height, bytesPerPixel, BuildGaussianKernel(GaussianSigmaForRadius(rx)), false);
}

void GaussianBlurRecursive(uint8_t* image, int width, int height, double rx, double ry, int bytesPerPixel) {
    if (!ValidImage(image, width, height, bytesPerPixel) || !std::isfinite(rx) || !std::isfinite(ry)) return;
    if (rx <= 1 || ry <= 1) {
        GaussianBlurKernel(image, width, height, rx, ry, bytesPerPixel);
        return;
    }
    RecursiveBlur(image, width, height, rx, ry, bytesPerPixel);
}
