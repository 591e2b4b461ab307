#include "filters/GaussianBlurRecursive.h"
#include "platform/CpuLevel.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = uint8_t(rng());
    return v;
}

// The causal and anti-causal sums written out term by term, edges as the
// explicit (n - bc) x0 terms.
void RecursiveLineReference(uint8_t* p, ptrdiff_t step, int len, const DericheCoefficients& k) {
    const size_t n = static_cast<size_t>(len);
    std::vector<double> x(n), yp(n), ym(n);
    for (int i = 0; i < len; ++i) x[size_t(i)] = p[i * step];
    const int L = len - 1;
    for (int t = 0; t <= L; ++t) {
        double y = 0;
        for (int i = 0; i <= std::min(t, 4); ++i) y += k.n[i] * x[size_t(t - i)] - (i ? k.d[i] * yp[size_t(t - i)] : 0);
        for (int i = std::min(t, 4) + 1; i <= 4; ++i) y += (k.n[i] - k.bc[i]) * x[0];
        yp[size_t(t)] = y;
    }
    for (int t = L; t >= 0; --t) {
        double y = 0;
        for (int i = 1; i <= std::min(L - t, 4); ++i) y += k.np[i] * x[size_t(t + i)] - k.d[i] * ym[size_t(t + i)];
        for (int i = std::min(L - t, 4) + 1; i <= 4; ++i) y += (k.np[i] - k.bcp[i]) * x[size_t(L)];
        ym[size_t(t)] = y;
    }
    for (int i = 0; i < len; ++i) p[i * step] = uint8_t(std::clamp(yp[size_t(i)] + ym[size_t(i)], 0.0, 255.0));
}

// Direct convolution with every tap and edge clamping.
void KernelLineReference(uint8_t* p, ptrdiff_t step, int len, const GaussianKernelTaps& t) {
    std::vector<int> x(static_cast<size_t>(len));
    for (int i = 0; i < len; ++i) x[size_t(i)] = p[i * step];
    for (int i = 0; i < len; ++i) {
        int64_t s = 0;
        for (int j = -t.n; j <= t.n; ++j) s += int64_t(t.weights[size_t(j + t.n)]) * x[size_t(std::clamp(i + j, 0, len - 1))];
        p[i * step] = uint8_t(std::min<int64_t>((s + t.divisor / 2) / t.divisor, 255));
    }
}

std::vector<uint8_t> Reference(std::vector<uint8_t> img, int w, int h, int bpp, double rx, double ry) {
    const bool kernel = rx <= 1 || ry <= 1;
    auto line = [&](uint8_t* p, ptrdiff_t step, int len, double r) {
        if (kernel) {
            if (r > 0) KernelLineReference(p, step, len, BuildGaussianKernel(GaussianSigmaForRadius(r)));
        } else {
            RecursiveLineReference(p, step, len, MakeDericheCoefficients(GaussianSigmaForRadius(r)));
        }
    };
    for (int x = 0; x < w * bpp; ++x) line(img.data() + x, ptrdiff_t(w) * bpp, h, ry);
    for (int y = 0; y < h; ++y)
        for (int c = 0; c < bpp; ++c) line(img.data() + size_t(y) * w * bpp + c, bpp, w, rx);
    return img;
}

TEST(GaussianBlur, MatchesLineReferences) {
    struct Case { int w, h; double rx, ry; };
    const Case cases[] = {{1, 1, 3, 3},     {1, 9, 2, 5},    {9, 1, 6, 2},     {8, 8, 1, 1},   {7, 5, 0.5, 0},
                          {5, 7, 0, 1},     {12, 3, 1, 9},   {33, 19, 2, 2},   {40, 37, 7.5, 3}, {16, 20, 30, 30},
                          {50, 6, 100, 1.5}};
    ForEachCpuLevel([&](CpuLevel level) {
        SCOPED_TRACE(CpuLevelName(level));
        for (const Case& c : cases)
            for (int bpp : {1, 3, 4}) {
                const auto img = RandomBytes(size_t(c.w) * c.h * bpp, uint32_t(c.w * 3 + c.h + bpp));
                auto got = img;
                GaussianBlurRecursive(got.data(), c.w, c.h, c.rx, c.ry, bpp);
                const auto ref = Reference(img, c.w, c.h, bpp, c.rx, c.ry);
                // The kernel path is integer and exact; the recursive path may differ by
                // one where a sum lands on an integer within rounding of the summation order.
                const int tolerance = (c.rx <= 1 || c.ry <= 1) ? 0 : 1;
                int worst = 0;
                for (size_t i = 0; i < got.size(); ++i) worst = std::max(worst, std::abs(got[i] - ref[i]));
                EXPECT_LE(worst, tolerance) << c.w << "x" << c.h << " r " << c.rx << "," << c.ry << " bpp " << bpp;
            }
    });
}

TEST(GaussianBlur, SmallRadiusKernel) {
    const GaussianKernelTaps t = BuildGaussianKernel(GaussianSigmaForRadius(1));
    EXPECT_EQ(t.n, 2);
    ASSERT_EQ(t.weights.size(), 5u);
    EXPECT_EQ(t.weights[2], 255);
    EXPECT_EQ(t.weights[1], t.weights[3]);
    int64_t sum = 0;
    for (int32_t w : t.weights) sum += w;
    EXPECT_EQ(t.divisor, sum);  // every tap counts, in both evaluation orders
}

TEST(GaussianBlur, ConstantImagesStayConstant) {
    for (double r : {0.5, 1.0, 2.0, 5.0, 40.0, 300.0, 5000.0, 1e9})
        for (uint8_t level : {0, 1, 128, 254, 255}) {
            std::vector<uint8_t> img(size_t(23) * 17 * 4, level);
            GaussianBlurRecursive(img.data(), 23, 17, r, r, 4);
            EXPECT_EQ(img, std::vector<uint8_t>(img.size(), level)) << "r " << r << " level " << int(level);
        }
}

TEST(GaussianBlur, BadArgumentsChangeNothing) {
    const auto img = RandomBytes(10 * 10 * 4, 2);
    auto same = img;
    GaussianBlurRecursive(same.data(), 10, 10, 4, 4, 2);
    GaussianBlurRecursive(same.data(), 0, 10, 4, 4, 4);
    GaussianBlurRecursive(same.data(), 10, 10, NAN, 4, 4);
    GaussianBlurRecursive(nullptr, 10, 10, 4, 4, 4);
    GaussianBlurKernel(same.data(), 10, 10, 0, 0, 4);
    EXPECT_EQ(same, img);
    // An absurd radius is limited, not allocated.
    auto huge = img;
    GaussianBlurKernel(huge.data(), 10, 10, 1e12, 0, 4);
}

TEST(GaussianBlur, ParallelAndSerialGiveSameBytes) {
    const int w = 300, h = 257;
    const auto img = RandomBytes(size_t(w) * h * 4, 6);
    const int threads = omp_get_max_threads();
    for (double r : {0.7, 12.0}) {
        auto serial = img, parallel = img;
        omp_set_num_threads(1);
        GaussianBlurRecursive(serial.data(), w, h, r, r + 3, 4);
        omp_set_num_threads(std::max(threads, 4));
        GaussianBlurRecursive(parallel.data(), w, h, r, r + 3, 4);
        EXPECT_EQ(serial, parallel) << r;
    }
    omp_set_num_threads(threads);
}

}  // namespace
