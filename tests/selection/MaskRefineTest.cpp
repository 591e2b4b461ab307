#include "selection/MaskRefine.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <random>

namespace {

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed, int zeroOneIn = 0) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = (zeroOneIn && rng() % zeroOneIn) ? 0 : uint8_t(rng());
    return v;
}

// Per-pixel extremum over the disk rows, taking only positions inside the buffer.
std::vector<uint8_t> MorphReference(const std::vector<uint8_t>& src, int w, int h, int r, bool dilate) {
    const std::vector<int32_t> hw = MakeDiskRows(r);
    std::vector<uint8_t> out(src.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int v = dilate ? 0 : 255;
            for (int dy = -r; dy <= r; ++dy) {
                if (y + dy < 0 || y + dy >= h) continue;
                const int m = hw[size_t(dy + r)];
                for (int xx = std::max(0, x - m); xx <= std::min(w - 1, x + m); ++xx) {
                    const int s = src[size_t(y + dy) * w + xx];
                    v = dilate ? std::max(v, s) : std::min(v, s);
                }
            }
            out[size_t(y) * w + x] = uint8_t(v);
        }
    return out;
}

TEST(MaskRefine, DiskRows) {
    EXPECT_EQ(MakeDiskRows(0), (std::vector<int32_t>{0}));
    EXPECT_EQ(MakeDiskRows(1), (std::vector<int32_t>{1, 1, 1}));
    EXPECT_EQ(MakeDiskRows(2), (std::vector<int32_t>{1, 2, 2, 2, 1}));
    EXPECT_TRUE(MakeDiskRows(-1).empty());
}

TEST(MaskRefine, DilateAndErodeMatchBruteForce) {
    struct Case { int w, h, r; };
    const Case cases[] = {{1, 1, 1}, {1, 1, 5}, {1, 9, 2}, {9, 1, 3}, {2, 2, 1}, {13, 9, 1}, {13, 9, 2},
                          {16, 17, 3}, {20, 11, 6}, {31, 24, 8}, {12, 10, 40}, {64, 3, 9}};
    for (const Case& c : cases) {
        for (int sparse : {0, 23}) {
            const auto src = RandomBytes(size_t(c.w) * c.h, uint32_t(c.w * 131 + c.h * 7 + c.r), sparse);
            for (bool dilate : {true, false}) {
                auto got = src;
                if (dilate) MaskDilate(got.data(), c.w, c.h, c.r);
                else MaskErode(got.data(), c.w, c.h, c.r);
                EXPECT_EQ(got, MorphReference(src, c.w, c.h, c.r, dilate))
                    << c.w << "x" << c.h << " r=" << c.r << (dilate ? " dilate" : " erode");
            }
        }
    }
}

TEST(MaskRefine, MorphologyEdgeCases) {
    std::vector<uint8_t> dot(7 * 7, 0);
    dot[3 * 7 + 3] = 255;
    auto d1 = dot;
    MaskDilate(d1.data(), 7, 7, 1);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(d1[size_t(y) * 7 + x], (std::abs(x - 3) <= 1 && std::abs(y - 3) <= 1) ? 255 : 0);

    std::vector<uint8_t> full(9 * 5, 255);
    MaskErode(full.data(), 9, 5, 3);
    EXPECT_EQ(full, std::vector<uint8_t>(9 * 5, 255));

    auto untouched = dot;
    MaskDilate(untouched.data(), 7, 7, 0);
    MaskErode(untouched.data(), 7, 7, -4);
    MaskDilate(nullptr, 7, 7, 3);
    MaskDilate(untouched.data(), 0, 7, 3);
    EXPECT_EQ(untouched, dot);
}

TEST(MaskRefine, ParallelAndSerialGiveSameBytes) {
    const int w = 301, h = 257;
    const auto src = RandomBytes(size_t(w) * h, 5, 40);
    const int threads = omp_get_max_threads();
    for (int r : {4, 37}) {
        auto serial = src, parallel = src;
        omp_set_num_threads(1);
        MaskDilate(serial.data(), w, h, r);
        omp_set_num_threads(std::max(threads, 4));
        MaskDilate(parallel.data(), w, h, r);
        EXPECT_EQ(serial, parallel);
    }
    for (float feather : {1.5f, 9.0f}) {
        auto serial = src, parallel = src;
        omp_set_num_threads(1);
        GaussianBlurMask(serial.data(), w, h, feather);
        omp_set_num_threads(std::max(threads, 4));
        GaussianBlurMask(parallel.data(), w, h, feather);
        EXPECT_EQ(serial, parallel);
    }
    omp_set_num_threads(threads);
}

TEST(MaskRefine, FeatherKeepsConstantLevels) {
    for (float r : {0.5f, 2.3f, 2.4f, 10.0f, 60.0f, 1e7f})
        for (uint8_t level : {1, 77, 128, 254, 255}) {
            std::vector<uint8_t> buf(size_t(37) * 29, level);
            GaussianBlurMask(buf.data(), 37, 29, r);
            EXPECT_EQ(buf, std::vector<uint8_t>(buf.size(), level)) << "r=" << r << " level=" << int(level);
        }
}

TEST(MaskRefine, FeatherRadiusZeroOrInvalidChangesNothing) {
    const auto src = RandomBytes(20 * 20, 9);
    for (float r : {0.0f, -3.0f, NAN, INFINITY}) {
        auto buf = src;
        GaussianBlurMask(buf.data(), 20, 20, r);
        EXPECT_EQ(buf, src);
    }
}

// Both line paths approximate the sampled Gaussian of an impulse.
TEST(MaskRefine, LineBlurApproximatesGaussian) {
    for (double sigma : {0.8, 1.0, 4.0, 12.0}) {
        std::vector<uint8_t> line(201, 0);
        line[100] = 255;
        GaussianBlurLine(line.data(), 201, sigma);
        for (int i = 0; i < 201; ++i) {
            const double g = 255.0 * std::exp(-(i - 100.0) * (i - 100.0) / (2 * sigma * sigma)) /
                             (std::sqrt(2 * M_PI) * sigma);
            EXPECT_NEAR(line[size_t(i)], g, sigma < 1.0 ? 12.0 : 2.0) << "sigma " << sigma << " at " << i;
        }
    }
}

}  // namespace
