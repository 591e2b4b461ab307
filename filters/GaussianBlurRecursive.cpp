// Recursive and small-kernel Gaussian blurs of interleaved 8-bit images.
#include "filters/GaussianBlurRecursive.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace {

const double kSigmasTo1Of255 = std::sqrt(2.0 * std::log(255.0));

// NaN-safe truncation to a byte.
inline uint8_t TruncToByte(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= 255.0) return 255;
    return uint8_t(v);
}

bool WorthThreads(int64_t samples) { return samples >= (int64_t(1) << 16); }

// Runs the recursive filter along n samples for C * G lanes: lane (g, c) is the
// byte at base + g * groupStride + i * step + c. `causal` holds n * C * G doubles.
template <int C, int G>
void RecursiveLanes(uint8_t* base, ptrdiff_t groupStride, ptrdiff_t step, int n, const DericheCoefficients& k,
                    double* causal) {
    constexpr int L = C * G;
    const double sumN = k.n[0] + k.n[1] + k.n[2] + k.n[3] + k.n[4];
    const double sumNp = k.np[1] + k.np[2] + k.np[3] + k.np[4];
    const double s = 1 + k.d[1] + k.d[2] + k.d[3] + k.d[4];
    auto at = [&](int g, int i) { return base + g * groupStride + ptrdiff_t(i) * step; };
    double x1[L], x2[L], x3[L], x4[L], y1[L], y2[L], y3[L], y4[L];
    // Causal, history primed as a constant run of the first sample in steady state.
    for (int g = 0; g < G; ++g)
        for (int c = 0; c < C; ++c) {
            const int l = g * C + c;
            const double x0 = at(g, 0)[c];
            x1[l] = x2[l] = x3[l] = x4[l] = x0;
            y1[l] = y2[l] = y3[l] = y4[l] = x0 * sumN / s;
        }
    for (int i = 0; i < n; ++i) {
        double xi[L];
        for (int g = 0; g < G; ++g)
            for (int c = 0; c < C; ++c) xi[g * C + c] = at(g, i)[c];
        double* out = causal + size_t(i) * L;
        for (int l = 0; l < L; ++l) {
            const double y = k.n[0] * xi[l] + k.n[1] * x1[l] + k.n[2] * x2[l] + k.n[3] * x3[l] + k.n[4] * x4[l] -
                             (k.d[1] * y1[l] + k.d[2] * y2[l] + k.d[3] * y3[l] + k.d[4] * y4[l]);
            out[l] = y;
            x4[l] = x3[l]; x3[l] = x2[l]; x2[l] = x1[l]; x1[l] = xi[l];
            y4[l] = y3[l]; y3[l] = y2[l]; y2[l] = y1[l]; y1[l] = y;
        }
    }
    // Anti-causal, primed with the last sample; the sum goes back into the line.
    for (int g = 0; g < G; ++g)
        for (int c = 0; c < C; ++c) {
            const int l = g * C + c;
            const double xl = at(g, n - 1)[c];
            x1[l] = x2[l] = x3[l] = x4[l] = xl;
            y1[l] = y2[l] = y3[l] = y4[l] = xl * sumNp / s;
        }
    for (int i = n - 1; i >= 0; --i) {
        double xi[L], res[L];
        for (int g = 0; g < G; ++g)
            for (int c = 0; c < C; ++c) xi[g * C + c] = at(g, i)[c];
        const double* in = causal + size_t(i) * L;
        for (int l = 0; l < L; ++l) {
            const double y = k.np[1] * x1[l] + k.np[2] * x2[l] + k.np[3] * x3[l] + k.np[4] * x4[l] -
                             (k.d[1] * y1[l] + k.d[2] * y2[l] + k.d[3] * y3[l] + k.d[4] * y4[l]);
            res[l] = in[l] + y;
            x4[l] = x3[l]; x3[l] = x2[l]; x2[l] = x1[l]; x1[l] = xi[l];
            y4[l] = y3[l]; y3[l] = y2[l]; y2[l] = y1[l]; y1[l] = y;
        }
        for (int g = 0; g < G; ++g)
            for (int c = 0; c < C; ++c) at(g, i)[c] = TruncToByte(res[g * C + c]);
    }
}

// Columns: strips of 32 adjacent bytes, then single pixels.
template <int kBpp>
void RecursiveColumns(uint8_t* img, int width, int height, const DericheCoefficients& k) {
    constexpr int kStrip = 32;
    const ptrdiff_t stride = ptrdiff_t(width) * kBpp;
    const int strips = int(stride / kStrip);
    const int firstLeftover = strips * kStrip / kBpp;
#pragma omp parallel if (WorthThreads(int64_t(width) * height))
    {
        std::vector<double> causal(size_t(height) * kStrip);
#pragma omp for schedule(dynamic, 4)
        for (int s = 0; s < strips; ++s)
            RecursiveLanes<kStrip, 1>(img + ptrdiff_t(s) * kStrip, 0, stride, height, k, causal.data());
#pragma omp for schedule(static)
        for (int x = firstLeftover; x < width; ++x)
            RecursiveLanes<kBpp, 1>(img + ptrdiff_t(x) * kBpp, 0, stride, height, k, causal.data());
    }
}

// Rows: groups of rows filtered side by side, then single rows.
template <int kBpp>
void RecursiveRows(uint8_t* img, int width, int height, const DericheCoefficients& k) {
    constexpr int kGroup = kBpp == 1 ? 16 : 4;
    const ptrdiff_t stride = ptrdiff_t(width) * kBpp;
    const int groups = height / kGroup;
#pragma omp parallel if (WorthThreads(int64_t(width) * height))
    {
        std::vector<double> causal(size_t(width) * kBpp * kGroup);
#pragma omp for schedule(dynamic, 4)
        for (int gi = 0; gi < groups; ++gi)
            RecursiveLanes<kBpp, kGroup>(img + ptrdiff_t(gi) * kGroup * stride, stride, kBpp, width, k,
                                         causal.data());
#pragma omp for schedule(static)
        for (int y = groups * kGroup; y < height; ++y)
            RecursiveLanes<kBpp, 1>(img + ptrdiff_t(y) * stride, stride, kBpp, width, k, causal.data());
    }
}

template <int kBpp>
void RecursiveBlur(uint8_t* img, int width, int height, double rx, double ry) {
    const DericheCoefficients ky = MakeDericheCoefficients(GaussianSigmaForRadius(ry));
    RecursiveColumns<kBpp>(img, width, height, ky);
    if (rx == ry) RecursiveRows<kBpp>(img, width, height, ky);
    else RecursiveRows<kBpp>(img, width, height, MakeDericheCoefficients(GaussianSigmaForRadius(rx)));
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
    // Far beyond any bitmap side: keeps the tap count and the filter's poles sane.
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
    switch (bytesPerPixel) {
        case 1: RecursiveBlur<1>(image, width, height, rx, ry); break;
        case 3: RecursiveBlur<3>(image, width, height, rx, ry); break;
        default: RecursiveBlur<4>(image, width, height, rx, ry); break;
    }
}
