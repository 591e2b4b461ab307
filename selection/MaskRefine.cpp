// Feather blur and disk morphology of 8-bit coverage buffers.
#include "selection/MaskRefine.h"

#include "filters/GaussianBlurRecursive.h"

#include <omp.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

// NaN-safe float-to-byte conversion by truncation.
inline uint8_t TruncToByte(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= 255.0) return 255;
    return uint8_t(v);
}

// The recursive filter over one line with caller-owned scratch of `length` doubles.
void DericheFilterLineScratch(uint8_t* x, int32_t length, const MaskDericheCoeffs& c, double* causal) {
    const int n = length;
    const double x0 = x[0];
    // Causal pass, history primed with the steady state of a constant x0 line.
    double xm1 = x0, xm2 = x0, xm3 = x0;
    double ym1 = c.gainCausal * x0, ym2 = ym1, ym3 = ym1, ym4 = ym1;
    for (int i = 0; i < n; ++i) {
        const double xi = x[i];
        const double y = c.nc0 * xi + c.nc1 * xm1 + c.nc2 * xm2 + c.nc3 * xm3 - c.d1 * ym1 - c.d2 * ym2 -
                         c.d3 * ym3 - c.d4 * ym4;
        causal[i] = y;
        xm3 = xm2; xm2 = xm1; xm1 = xi;
        ym4 = ym3; ym3 = ym2; ym2 = ym1; ym1 = y;
    }
    // Anti-causal pass, primed with the steady state of a constant last sample.
    const double xl = x[n - 1];
    double xp1 = xl, xp2 = xl, xp3 = xl, xp4 = xl;
    double yp1 = c.gainAnticausal * xl, yp2 = yp1, yp3 = yp1, yp4 = yp1;
    for (int i = n - 1; i >= 0; --i) {
        const double y = c.na1 * xp1 + c.na2 * xp2 + c.na3 * xp3 + c.na4 * xp4 - c.d1 * yp1 - c.d2 * yp2 -
                         c.d3 * yp3 - c.d4 * yp4;
        const double xi = x[i];
        x[i] = TruncToByte(causal[i] + y);
        xp4 = xp3; xp3 = xp2; xp2 = xp1; xp1 = xi;
        yp4 = yp3; yp3 = yp2; yp2 = yp1; yp1 = y;
    }
}

// Normalised direct-kernel weights for sigma (k = max(1, ceil(3 sigma)) each side).
std::vector<double> DirectKernelWeights(double sigma) {
    const int k = std::max(1, int(std::ceil(3.0 * sigma)));
    std::vector<double> w(size_t(2 * k + 1));
    double sum = 0.0;
    for (int j = -k; j <= k; ++j) {
        w[size_t(j + k)] = std::exp(-double(j) * j / (2.0 * sigma * sigma));
        sum += w[size_t(j + k)];
    }
    for (double& v : w) v /= sum;
    return w;
}

void GaussianKernelLineScratch(uint8_t* line, int32_t length, const std::vector<double>& w, uint8_t* out) {
    const int k = int(w.size() / 2);
    for (int i = 0; i < length; ++i) {
        double s = 0.0;
        for (int j = -k; j <= k; ++j) s += w[size_t(j + k)] * line[std::clamp(i + j, 0, length - 1)];
        out[i] = TruncToByte(s + 0.5);
    }
    std::memcpy(line, out, size_t(length));
}

// One line of the feather with its scratch, used by both passes.
struct LineBlur {
    double sigma;
    bool direct;
    std::vector<double> weights;
    MaskDericheCoeffs coeffs;
    explicit LineBlur(double s) : sigma(s), direct(s < 1.0) {
        if (direct) weights = DirectKernelWeights(s);
        else coeffs = MaskDericheCoefficients(s);
    }
    void Run(uint8_t* line, int32_t length, std::vector<double>& dscratch, std::vector<uint8_t>& bscratch) const {
        if (length <= 1) return;
        if (direct) {
            bscratch.resize(size_t(length));
            GaussianKernelLineScratch(line, length, weights, bscratch.data());
        } else {
            dscratch.resize(size_t(length));
            DericheFilterLineScratch(line, length, coeffs, dscratch.data());
        }
    }
};

}  // namespace

MaskDericheCoeffs MaskDericheCoefficients(double sigma) {
    const double k = std::sqrt(2.0 * M_PI) * sigma;
    const double a0 = 1.6803 / k, a1 = 3.735 / k, c0 = -0.6803 / k, c1 = -0.2598 / k;
    const double b0 = 1.783 / sigma, b1 = 1.723 / sigma, w0 = 0.6318 / sigma, w1 = 1.997 / sigma;
    const double cw0 = std::cos(w0), sw0 = std::sin(w0), cw1 = std::cos(w1), sw1 = std::sin(w1);
    MaskDericheCoeffs c;
    c.nc0 = a0 + c0;
    c.nc1 = std::exp(-b1) * (c1 * sw1 - (c0 + 2 * a0) * cw1) + std::exp(-b0) * (a1 * sw0 - (2 * c0 + a0) * cw0);
    c.nc2 = 2 * std::exp(-(b0 + b1)) * ((a0 + c0) * cw1 * cw0 - a1 * cw1 * sw0 - c1 * cw0 * sw1) +
            c0 * std::exp(-2 * b0) + a0 * std::exp(-2 * b1);
    c.nc3 = std::exp(-(b1 + 2 * b0)) * (c1 * sw1 - c0 * cw1) + std::exp(-(b0 + 2 * b1)) * (a1 * sw0 - a0 * cw0);
    c.d1 = -2 * std::exp(-b1) * cw1 - 2 * std::exp(-b0) * cw0;
    c.d2 = 4 * cw1 * cw0 * std::exp(-(b0 + b1)) + std::exp(-2 * b1) + std::exp(-2 * b0);
    c.d3 = -2 * cw0 * std::exp(-(b0 + 2 * b1)) - 2 * cw1 * std::exp(-(b1 + 2 * b0));
    c.d4 = std::exp(-2 * (b0 + b1));
    c.na1 = c.nc1 - c.d1 * c.nc0;
    c.na2 = c.nc2 - c.d2 * c.nc0;
    c.na3 = c.nc3 - c.d3 * c.nc0;
    c.na4 = -c.d4 * c.nc0;
    const double den = 1 + c.d1 + c.d2 + c.d3 + c.d4;
    c.gainCausal = (c.nc0 + c.nc1 + c.nc2 + c.nc3) / den;
    c.gainAnticausal = (c.na1 + c.na2 + c.na3 + c.na4) / den;
    return c;
}

void DericheFilterLine(uint8_t* line, int32_t length, const MaskDericheCoeffs& c) {
    if (!line || length <= 0) return;
    std::vector<double> scratch(static_cast<size_t>(length));
    DericheFilterLineScratch(line, length, c, scratch.data());
}

void GaussianKernelLine(uint8_t* line, int32_t length, double sigma) {
    if (!line || length <= 0 || !(sigma > 0.0)) return;
    std::vector<uint8_t> out(static_cast<size_t>(length));
    GaussianKernelLineScratch(line, length, DirectKernelWeights(sigma), out.data());
}

void GaussianBlurLine(uint8_t* line, int32_t length, double sigma) {
    if (!line || length <= 1 || !(sigma > 0.0) || !std::isfinite(sigma)) return;
    if (sigma < 1.0) GaussianKernelLine(line, length, sigma);
    else DericheFilterLine(line, length, MaskDericheCoefficients(sigma));
}

void GaussianBlurMask(uint8_t* bytes, int32_t width, int32_t height, float featherRadius) {
    if (!bytes || width < 1 || height < 1 || !(featherRadius > 0.0f) || !std::isfinite(featherRadius)) return;
    // Past this radius the recursive filter's poles come so close to 1 that double
    // precision no longer keeps a flat buffer flat; sigma is then far wider than any mask.
    constexpr double kMaxFeather = 8192.0;
    const LineBlur blur((std::min(std::fabs(double(featherRadius)), kMaxFeather) + 1.0) / kSigmasTo1Of255);
    const size_t w = size_t(width);
    const bool parallel = width >= 128 && height >= 128;

#pragma omp parallel if (parallel)
    {
        std::vector<double> dscratch;
        std::vector<uint8_t> bscratch, column(static_cast<size_t>(height));
#pragma omp for schedule(static)
        for (int32_t x = 0; x < width; ++x) {
            for (int32_t y = 0; y < height; ++y) column[size_t(y)] = bytes[size_t(y) * w + size_t(x)];
            blur.Run(column.data(), height, dscratch, bscratch);
            for (int32_t y = 0; y < height; ++y) bytes[size_t(y) * w + size_t(x)] = column[size_t(y)];
        }
#pragma omp for schedule(static)
        for (int32_t y = 0; y < height; ++y) blur.Run(bytes + size_t(y) * w, width, dscratch, bscratch);
    }
}

std::vector<int32_t> MakeDiskRows(int32_t radius) {
    if (radius < 0) return {};
    std::vector<int32_t> rows(size_t(2) * size_t(radius) + 1);
    const double r2 = double(radius) * double(radius);
    for (int64_t dy = -radius; dy <= radius; ++dy) {
        const double d = std::max(double(std::llabs(dy)) - 0.5, 0.0);
        const double q = r2 - d * d;
        rows[size_t(dy + radius)] = q <= 0.0 ? 0 : int32_t(std::round(std::sqrt(q)));  // round: halves away
    }
    return rows;
}

namespace {

// Dilation (kMax) or erosion by the disk. Each source row is turned once into a
// table of window extrema over power-of-two lengths (sparse table), so the
// extremum of any window is two lookups; each output row then takes one
// two-lookup pass per disk row. Positions outside the buffer hold the neutral
// value (0 for maximum, 255 for minimum), which is the same as leaving them out.
template <bool kMax>
void MorphDisk(uint8_t* bytes, int32_t width, int32_t height, int32_t radius) {
    const int32_t W = width, H = height;
    // Disk rows that can reach another row of the buffer; wider half-widths than
    // W - 1 already cover every column.
    const int32_t R = std::min(radius, H - 1);
    std::vector<int32_t> hw(size_t(2 * R + 1));
    {
        const double r2 = double(radius) * double(radius);
        for (int32_t dy = -R; dy <= R; ++dy) {
            const double d = std::max(double(std::abs(dy)) - 0.5, 0.0);
            const double q = r2 - d * d;
            const double h = q <= 0.0 ? 0.0 : std::round(std::sqrt(q));
            hw[size_t(dy + R)] = int32_t(std::min(h, double(W - 1)));
        }
    }
    const int32_t P = *std::max_element(hw.begin(), hw.end());
    const size_t L = size_t(W) + 2 * size_t(P);
    const int levels = std::bit_width(uint32_t(2 * P + 1));  // floor(log2(2P + 1)) + 1
    const uint8_t neutral = kMax ? 0 : 255;
    const size_t w = size_t(W);
    std::vector<uint8_t> out(w * size_t(H), neutral);
    auto op = [](uint8_t a, uint8_t b) { return kMax ? std::max(a, b) : std::min(a, b); };
    const bool parallel = int64_t(W) * H * (2 * int64_t(R) + 1) >= (int64_t(1) << 18);

#pragma omp parallel if (parallel)
    {
        const int threads = omp_get_num_threads(), t = omp_get_thread_num();
        const int32_t y0 = int32_t(int64_t(H) * t / threads), y1 = int32_t(int64_t(H) * (t + 1) / threads);
        std::vector<uint8_t> table(L * size_t(levels));
        // Every source row near the band is scattered into the band's output rows.
        const int32_t s0 = std::max(0, y0 - R), s1 = std::min(H, y1 + R);
        for (int32_t s = s0; s < s1 && y0 < y1; ++s) {
            uint8_t* t0 = table.data();
            std::memset(t0, neutral, size_t(P));
            std::memcpy(t0 + P, bytes + size_t(s) * w, w);
            std::memset(t0 + P + w, neutral, size_t(P));
            for (int k = 1; k < levels; ++k) {
                const uint8_t* prev = table.data() + L * size_t(k - 1);
                uint8_t* cur = table.data() + L * size_t(k);
                const size_t half = size_t(1) << (k - 1), count = L - (size_t(1) << k) + 1;
                for (size_t i = 0; i < count; ++i) cur[i] = op(prev[i], prev[i + half]);
            }
            const int32_t ya = std::max(y0, s - R), yb = std::min(y1 - 1, s + R);
            for (int32_t y = ya; y <= yb; ++y) {
                const int32_t m = hw[size_t(s - y + R)];
                const int k = std::bit_width(uint32_t(2 * m + 1)) - 1;
                const uint8_t* tk = table.data() + L * size_t(k);
                const uint8_t* a = tk + (P - m);
                const uint8_t* b = tk + (P + m - (int32_t(1) << k) + 1);
                uint8_t* o = out.data() + size_t(y) * w;
                for (size_t x = 0; x < w; ++x) o[x] = op(o[x], op(a[x], b[x]));
            }
        }
    }
    std::memcpy(bytes, out.data(), out.size());
}

}  // namespace

void MaskDilate(uint8_t* bytes, int32_t width, int32_t height, int32_t radius) {
    if (!bytes || width < 1 || height < 1 || radius < 1) return;
    MorphDisk<true>(bytes, width, height, radius);
}

void MaskErode(uint8_t* bytes, int32_t width, int32_t height, int32_t radius) {
    if (!bytes || width < 1 || height < 1 || radius < 1) return;
    MorphDisk<false>(bytes, width, height, radius);
}
