#include "filters/DistanceTransform.h"
#include "platform/CpuLevel.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

TEST(DistanceTransform, MatchesExhaustiveSearch) {
    struct Case { int w, h, zeroOneIn; };
    const Case cases[] = {{1, 1, 1}, {1, 1, 0}, {1, 8, 3}, {8, 1, 3}, {2, 2, 2}, {13, 9, 7},
                          {16, 16, 40}, {31, 7, 0}, {20, 25, 200}, {9, 30, 2},
                          // Wider than one block of columns, and not a multiple of it.
                          {150, 12, 30}, {137, 41, 0}};
    std::mt19937 rng(1);
    for (const Case& c : cases) {
        std::vector<uint8_t> mask(size_t(c.w) * c.h);
        for (auto& m : mask) m = (c.zeroOneIn && rng() % c.zeroOneIn == 0) ? 0 : uint8_t(1 + rng() % 255);
        for (bool border : {false, true}) {
            std::vector<float> got(mask.size()), ref(mask.size());
            DistanceTransform(mask.data(), c.w, c.h, got.data(), border);
            DistanceTransformReference(mask.data(), c.w, c.h, ref.data(), border);
            EXPECT_EQ(got, ref) << c.w << "x" << c.h << " border " << border;
        }
    }
}

// Below a limit the bounded transform gives the exact distances; at and past
// it, the limit.
TEST(DistanceTransform, BelowALimitMatchesTheExactDistances) {
    struct Case { int w, h, zeroOneIn; };
    const Case cases[] = {{1, 1, 1}, {1, 1, 0}, {1, 9, 4}, {9, 1, 4}, {13, 9, 7}, {40, 30, 60},
                          {40, 30, 400}, {31, 7, 0}, {300, 20, 150}, {70, 70, 2000}};
    std::mt19937 rng(2);
    for (const Case& c : cases) {
        std::vector<uint8_t> mask(size_t(c.w) * c.h);
        for (auto& m : mask) m = (c.zeroOneIn && rng() % c.zeroOneIn == 0) ? 0 : uint8_t(1 + rng() % 255);
        for (bool border : {false, true}) {
            std::vector<float> ref(mask.size());
            DistanceTransformReference(mask.data(), c.w, c.h, ref.data(), border);
            for (int limit : {1, 2, 5, 11, kDistanceBoundedMax, kDistanceBoundedMax + 1}) {
                std::vector<float> got(mask.size()), want(ref);
                // Without any zero pixel (or border) nothing lies below the limit.
                const bool none = !border && std::find(mask.begin(), mask.end(), 0) == mask.end();
                if (limit <= kDistanceBoundedMax)
                    for (float& d : want) d = none ? float(limit) : std::min(d, float(limit));
                ForEachCpuLevel([&](CpuLevel level) {
                    DistanceTransformBelow(mask.data(), c.w, c.h, got.data(), border, limit);
                    EXPECT_EQ(got, want) << c.w << "x" << c.h << " border " << border << " limit " << limit << " at "
                                         << CpuLevelName(level);
                });
            }
        }
    }
}

TEST(DistanceTransform, SingleZeroAndBorder) {
    const int w = 9, h = 7;
    std::vector<uint8_t> mask(size_t(w) * h, 255);
    mask[size_t(2) * w + 5] = 0;
    std::vector<float> out(mask.size());
    DistanceTransform(mask.data(), w, h, out.data(), false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(out[size_t(y) * w + x], std::sqrt(float((x - 5) * (x - 5) + (y - 2) * (y - 2))));
    std::fill(mask.begin(), mask.end(), 255);
    DistanceTransform(mask.data(), w, h, out.data(), true);
    for (int x = 0; x < w; ++x) EXPECT_EQ(out[size_t(x)], 1.0f);
    for (int y = 0; y < h; ++y) EXPECT_EQ(out[size_t(y) * w + w - 1], 1.0f);
    DistanceTransform(mask.data(), w, h, out.data(), false);
    for (float d : out) EXPECT_GE(d, float(w + h + 1));
}

// width + height + 1 beyond 16 bits takes the 32-bit vertical distances.
TEST(DistanceTransform, LongLine) {
    const int w = 70000;
    std::vector<uint8_t> mask(size_t(w), 9);
    mask[0] = 0;
    std::vector<float> out(mask.size());
    DistanceTransform(mask.data(), w, 1, out.data(), false);
    for (int x = 0; x < w; x += 997) ASSERT_EQ(out[size_t(x)], std::sqrt(float(int64_t(x) * x)));
    DistanceTransform(mask.data(), w, 1, out.data(), true);
    EXPECT_EQ(out[size_t(w - 1)], 1.0f);
    EXPECT_EQ(out[size_t(w / 2)], 1.0f);  // the rows above and below are outside
}

TEST(DistanceTransform, ParallelAndSerialGiveSameResults) {
    const int w = 400, h = 300;
    std::mt19937 rng(2);
    std::vector<uint8_t> mask(size_t(w) * h);
    for (auto& m : mask) m = rng() % 500 == 0 ? 0 : 255;
    std::vector<float> serial(mask.size()), parallel(mask.size());
    const int threads = omp_get_max_threads();
    omp_set_num_threads(1);
    DistanceTransform(mask.data(), w, h, serial.data(), true);
    omp_set_num_threads(std::max(threads, 4));
    DistanceTransform(mask.data(), w, h, parallel.data(), true);
    omp_set_num_threads(threads);
    EXPECT_EQ(serial, parallel);
}

}  // namespace
