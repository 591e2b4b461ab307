#include "filters/BlurKernels.h"
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

TEST(AlphaPremultiply, ExactFormulasAndRoundTrip) {
    std::vector<uint8_t> px;
    for (int a = 0; a < 256; ++a)
        for (int x = 0; x < 256; x += 5) px.insert(px.end(), {uint8_t(x), uint8_t(255 - x), uint8_t(x / 2), uint8_t(a)});
    auto pre = px;
    PremultiplyAlpha(pre.data(), pre.size() / 4);
    for (size_t i = 0; i < px.size(); ++i) {
        const double a = px[i | 3];
        const uint8_t want = (i % 4 == 3) ? px[i] : uint8_t(px[i] * (a * (1.0 / 255.0)) + 0.5);
        ASSERT_EQ(pre[i], want) << i;
    }
    auto back = pre;
    UnpremultiplyAlpha(back.data(), back.size() / 4);
    for (size_t i = 0; i < px.size(); ++i) {
        const int a = px[i | 3];
        if (i % 4 == 3 || a == 0 || a == 255) {
            EXPECT_EQ(back[i], pre[i]);
        } else {
            ASSERT_EQ(back[i], uint8_t(std::min(pre[i] * (255.0 / a) + 0.5, 255.0)));
            if (a == 128) {
                EXPECT_NEAR(back[i], px[i], 1);
            }
        }
    }
    PremultiplyAlpha(nullptr, 10);
}

TEST(DiskBlur, MatchesBruteForce) {
    struct Case { int w, h, r; };
    const Case cases[] = {{1, 1, 1}, {1, 1, 9}, {1, 7, 2}, {7, 1, 2}, {2, 2, 1}, {9, 8, 1},
                          {10, 11, 3}, {16, 16, 4}, {23, 17, 8}, {12, 9, 30}, {40, 5, 6},
                          {200, 12, 20}, {131, 9, 3}, {256, 4, 70}, {70, 3, 64}, {460, 3, 150},
                          {140, 50, 45}};
    ForEachCpuLevel([&](CpuLevel level) {
        SCOPED_TRACE(CpuLevelName(level));
        for (const Case& c : cases) {
            const auto src = RandomBytes(size_t(c.w) * c.h, uint32_t(c.w * 13 + c.r));
            auto got = src, ref = src;
            DiskBlur(got.data(), c.w, c.h, c.r);
            DiskBlurReference(ref.data(), c.w, c.h, c.r);
            EXPECT_EQ(got, ref) << c.w << "x" << c.h << " r " << c.r;
        }
    });
}

// Planes with wide flat areas, as a shadow's silhouette gives: tiles whose
// whole neighbourhood holds one value are filled without summing, which must
// not change a byte, neither where the flat value meets the plane's border
// (outside counts as 0) nor one pixel short of a flat neighbourhood.
TEST(DiskBlur, FlatAreasMatchBruteForce) {
    const int w = 400, h = 460;
    std::vector<uint8_t> src(size_t(w) * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t& v = src[size_t(y) * w + x];
            if (x >= 20 && x < 380 && y >= 40 && y < 310) v = 153;                      // a wide flat block
            if (x >= 330 && y < 30) v = 77;                                              // flat against two borders
            if ((x - 330) * (x - 330) + (y - 250) * (y - 250) < 400) v = uint8_t(x + y);  // texture inside
        }
    src[size_t(310) * w + 160] = 1;  // one odd pixel just below the block
    for (int r : {1, 9, 30}) {
        auto ref = src;
        DiskBlurReference(ref.data(), w, h, r);
        ForEachCpuLevel([&](CpuLevel level) {
            auto got = src;
            DiskBlur(got.data(), w, h, r);
            EXPECT_EQ(got, ref) << CpuLevelName(level) << " r " << r;
        });
    }
}

TEST(DiskBlur, EdgeCases) {
    std::vector<uint8_t> dot(size_t(5) * 5, 0);
    dot[12] = 255;
    DiskBlur(dot.data(), 5, 5, 1);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(dot[size_t(y) * 5 + x], std::abs(x - 2) + std::abs(y - 2) <= 1 ? 51 : 0);

    std::vector<uint8_t> full(size_t(12) * 10, 255);
    DiskBlur(full.data(), 12, 10, 3);
    EXPECT_EQ(full[size_t(5) * 12 + 6], 255);
    EXPECT_LT(full[0], 255);
    EXPECT_LT(full[size_t(5) * 12], 255);

    // Radii above the cap act as the cap.
    const auto wideSrc = RandomBytes(size_t(600) * 3, 5);
    auto wide = wideSrc, capped = wideSrc, wideRef = wideSrc;
    DiskBlur(wide.data(), 600, 3, 1700);
    DiskBlur(capped.data(), 600, 3, kDiskBlurMaxRadius);
    DiskBlurReference(wideRef.data(), 600, 3, 1700);
    EXPECT_EQ(wide, capped);
    EXPECT_EQ(wide, wideRef);
    auto below = wideSrc;
    DiskBlur(below.data(), 600, 3, kDiskBlurMaxRadius - 1);
    EXPECT_NE(wide, below);

    auto same = RandomBytes(30, 3);
    const auto before = same;
    DiskBlur(same.data(), 6, 5, 0);
    DiskBlur(same.data(), 0, 5, 3);
    DiskBlur(nullptr, 6, 5, 3);
    EXPECT_EQ(same, before);
    DiskBlur(same.data(), 6, 5, 2000000);
    EXPECT_EQ(same, std::vector<uint8_t>(30, 0));
}

TEST(DiskBlur, ParallelAndSerialGiveSameBytes) {
    const int w = 311, h = 203;
    const auto src = RandomBytes(size_t(w) * h, 4);
    const int threads = omp_get_max_threads();
    for (int r : {17, 60}) {
        auto serial = src, parallel = src;
        omp_set_num_threads(1);
        DiskBlur(serial.data(), w, h, r);
        omp_set_num_threads(std::max(threads, 4));
        DiskBlur(parallel.data(), w, h, r);
        EXPECT_EQ(serial, parallel) << r;
    }
    omp_set_num_threads(threads);
}

}  // namespace

namespace {

// Exact-size buffers, odd shapes and radii from 0 to far beyond the image: the
// sanitizer build turns any stray read or write into a failure.
TEST(BlurKernels, StayInsideTheirBuffersForAnyShape) {
    std::mt19937 rng(21);
    const int radii[] = {0, 1, 2, 3, 7, 64, 254, 255, 1000, 100000};
    for (int round = 0; round < 60; ++round) {
        const int w = 1 + int(rng() % 37), h = 1 + int(rng() % 29);
        const int rx = radii[rng() % 10], ry = radii[rng() % 10];
        std::vector<uint8_t> rgba = RandomBytes(size_t(w) * h * 4, rng()), plane = RandomBytes(size_t(w) * h, rng());
        CGaussianRecBlur().StackBlurRGBA(rgba.data(), w, h, rx, ry);
        CGaussianRecBlur().StackBlurColor32(rgba.data(), w, h, rx, ry);
        CGaussianRecBlur().StackBlurAlpha8(plane.data(), w, h, rx, ry);
        CGaussianRecBlur().StackBlurGray8Rows(plane.data(), w, h, rx);
        DiskBlur(plane.data(), w, h, std::min(rx, 5000));
        for (int bpp : {1, 3, 4}) {
            std::vector<uint8_t> img = RandomBytes(size_t(w) * h * size_t(bpp), rng());
            GaussianBlurRecursive(img.data(), w, h, rx * 0.37, ry * 0.61, bpp);
            GaussianBlurKernel(img.data(), w, h, rx % 3 * 0.5, ry % 3 * 0.5, bpp);
        }
        std::vector<float> dist(plane.size());
        DistanceTransform(plane.data(), w, h, dist.data(), round % 2 == 0);
        PremultiplyAlpha(rgba.data(), size_t(w) * h);
        UnpremultiplyAlpha(rgba.data(), size_t(w) * h);
    }
}

}  // namespace
