#include "filters/StackBlur.h"
#include "platform/CpuLevel.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <random>
#include <vector>

namespace {

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = uint8_t(rng());
    return v;
}

// Triangle-weighted sum over clamped indices, scaled with the tables: what the
// running stack computes, written out directly.
void BruteForceLine(uint8_t* p, ptrdiff_t step, int n, int r) {
    r = std::min(r, kStackBlurMaxRadius);
    if (r <= 0) return;
    std::vector<uint8_t> in(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) in[size_t(i)] = p[i * step];
    for (int i = 0; i < n; ++i) {
        uint64_t sum = 0;
        for (int k = -r; k <= r; ++k) sum += uint64_t(r + 1 - std::abs(k)) * in[size_t(std::clamp(i + k, 0, n - 1))];
        p[i * step] = uint8_t((sum * kStackBlurMul[size_t(r)]) >> kStackBlurShr[size_t(r)]);
    }
}

// Rows, then columns, of `channels` blurred bytes per pixel out of `bpp`.
std::vector<uint8_t> Reference(std::vector<uint8_t> img, int w, int h, int bpp, int channels, int rx, int ry) {
    for (int y = 0; y < h; ++y)
        for (int c = 0; c < channels; ++c) BruteForceLine(img.data() + (size_t(y) * w) * bpp + c, bpp, w, rx);
    for (int x = 0; x < w; ++x)
        for (int c = 0; c < channels; ++c) BruteForceLine(img.data() + size_t(x) * bpp + c, ptrdiff_t(w) * bpp, h, ry);
    return img;
}

TEST(StackBlur, TablesAreThePublishedOnes) {
    const uint16_t mul[] = {512, 512, 456, 512, 328, 456, 335, 512, 405, 328, 271, 456, 388, 335, 292, 512};
    const uint8_t shr[] = {9, 11, 12, 13, 13, 14, 14, 15, 15, 15, 15, 16, 16, 16, 16, 17};
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(kStackBlurMul[i], mul[i]);
        EXPECT_EQ(kStackBlurShr[i], shr[i]);
    }
    EXPECT_EQ(kStackBlurMul[180], 257);
    EXPECT_EQ(kStackBlurMul[181], 507);
    EXPECT_EQ(kStackBlurMul[254], 259);
    EXPECT_EQ(kStackBlurShr[254], 24);
}

TEST(StackBlur, EveryVariantMatchesBruteForce) {
    struct Case { int w, h, rx, ry; };
    const Case cases[] = {{1, 1, 1, 1},   {1, 7, 3, 2},   {9, 1, 2, 5},    {2, 2, 0, 1},     {5, 4, 1, 0},
                          {17, 13, 4, 3}, {16, 16, 8, 8}, {70, 21, 2, 30}, {23, 67, 254, 7}, {37, 5, 300, 300},
                          {3, 40, 6, 1}};
    ForEachCpuLevel([&](CpuLevel level) {
        SCOPED_TRACE(CpuLevelName(level));
        for (const Case& c : cases) {
            const auto rgba = RandomBytes(size_t(c.w) * c.h * 4, uint32_t(c.w * 7 + c.h));
            auto got = rgba;
            CGaussianRecBlur().StackBlurRGBA(got.data(), c.w, c.h, c.rx, c.ry);
            EXPECT_EQ(got, Reference(rgba, c.w, c.h, 4, 4, c.rx, c.ry)) << "RGBA " << c.w << "x" << c.h;
            got = rgba;
            CGaussianRecBlur().StackBlurColor32(got.data(), c.w, c.h, c.rx, c.ry);
            EXPECT_EQ(got, Reference(rgba, c.w, c.h, 4, 3, c.rx, c.ry)) << "Color32 " << c.w << "x" << c.h;

            const auto plane = RandomBytes(size_t(c.w) * c.h, uint32_t(c.w * 5 + c.h));
            const auto planeRef = Reference(plane, c.w, c.h, 1, 1, c.rx, c.ry);
            auto p = plane;
            CGaussianRecBlur().StackBlurAlpha8(p.data(), c.w, c.h, c.rx, c.ry);
            EXPECT_EQ(p, planeRef) << "Alpha8 " << c.w << "x" << c.h;
            p = plane;
            StackBlurGray8(p.data(), c.w, c.h, c.rx, c.ry);
            EXPECT_EQ(p, planeRef) << "Gray8 " << c.w << "x" << c.h;
            p = plane;
            CGaussianRecBlur().StackBlurGray8Rows(p.data(), c.w, c.h, c.rx);
            EXPECT_EQ(p, Reference(plane, c.w, c.h, 1, 1, c.rx, 0)) << "Gray8Rows " << c.w << "x" << c.h;

            for (int y = 0; y < c.h; ++y) {
                auto line = plane;
                StackBlurLineReference(line.data() + size_t(y) * c.w, 1, c.w, c.rx);
                auto ref = plane;
                BruteForceLine(ref.data() + size_t(y) * c.w, 1, c.w, c.rx);
                ASSERT_EQ(line, ref);
            }
        }
    });
}

TEST(StackBlur, ConstantsStayAndRadiusZeroIsIdentity) {
    for (int r : {1, 2, 77, 254, 1000}) {
        std::vector<uint8_t> img(size_t(9) * 6 * 4);
        for (size_t i = 0; i < img.size(); ++i) img[i] = uint8_t(i % 4 == 3 ? 255 : 200 + i % 4);
        auto got = img;
        CGaussianRecBlur().StackBlurRGBA(got.data(), 9, 6, r, r);
        EXPECT_EQ(got, img) << r;
    }
    const auto rnd = RandomBytes(11 * 3 * 4, 4);
    auto same = rnd;
    CGaussianRecBlur().StackBlurRGBA(same.data(), 11, 3, 0, 0);
    CGaussianRecBlur().StackBlurColor32(same.data(), 11, 3, -2, 0);
    StackBlurGray8(same.data(), 11 * 4, 3, 0, -1);
    StackBlurGray8(nullptr, 11, 3, 2, 2);
    StackBlurGray8(same.data(), 0, 3, 2, 2);
    EXPECT_EQ(same, rnd);
}

TEST(StackBlur, ParallelAndSerialGiveSameBytes) {
    const int w = 517, h = 301;
    const auto img = RandomBytes(size_t(w) * h * 4, 8);
    const int threads = omp_get_max_threads();
    auto serial = img, parallel = img;
    omp_set_num_threads(1);
    CGaussianRecBlur().StackBlurRGBA(serial.data(), w, h, 13, 40);
    StackBlurGray8(serial.data(), w * 4, h, 9, 3);
    omp_set_num_threads(std::max(threads, 4));
    CGaussianRecBlur().StackBlurRGBA(parallel.data(), w, h, 13, 40);
    StackBlurGray8(parallel.data(), w * 4, h, 9, 3);
    omp_set_num_threads(threads);
    EXPECT_EQ(serial, parallel);
}

}  // namespace
