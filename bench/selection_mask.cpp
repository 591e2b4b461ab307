// Selection mask on a 4096 x 4096 canvas: bounds, combine and the outline, each
// beside a plain reference over a full-canvas byte buffer (the outline beside
// OpenCV's contour tracing) on the same coverage.
#include "scene/SelectionMask.h"

#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <vector>

namespace {

constexpr int kSide = 4096;

// A disc of radius 1500 around the centre with a soft rim, as a feathered
// ellipse selection would leave it.
const std::vector<uint8_t>& DiscCoverage() {
    static const std::vector<uint8_t> cov = [] {
        std::vector<uint8_t> c(size_t(kSide) * kSide, 0);
        const double cx = 2048, cy = 2048, r = 1500;
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
                const double v = std::clamp((r - d) / 4.0 + 0.5, 0.0, 1.0);
                c[size_t(y) * kSide + x] = uint8_t(v * 255 + 0.5);
            }
        return c;
    }();
    return cov;
}

SelectionMask DiscMask() {
    SelectionMask m(kSide, kSide);
    const auto& cov = DiscCoverage();
    m.Combine(kSelectionReplace, 0, 0, kSide, kSide, cov.data());
    return m;
}

void BM_Bounds_Mask(benchmark::State& state) {
    SelectionMask m = DiscMask();
    for (auto _ : state) {
        int x, y, w, h;
        benchmark::DoNotOptimize(m.GetBounds(x, y, w, h));
    }
}
BENCHMARK(BM_Bounds_Mask)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Bounds_ScalarReference(benchmark::State& state) {
    const auto& cov = DiscCoverage();
    for (auto _ : state) {
        int minX = kSide, minY = kSide, maxX = -1, maxY = -1;
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
                if (cov[size_t(y) * kSide + x]) {
                    minX = std::min(minX, x);
                    maxX = std::max(maxX, x);
                    minY = std::min(minY, y);
                    maxY = std::max(maxY, y);
                }
        benchmark::DoNotOptimize(minX + minY + maxX + maxY);
    }
}
BENCHMARK(BM_Bounds_ScalarReference)->Unit(benchmark::kMillisecond)->UseRealTime();

// Adding a 2048 x 2048 rectangle of full coverage over the disc; repeating the
// add gives the same mask, so every iteration does the same work.
const std::vector<uint8_t>& Block() {
    static const std::vector<uint8_t> b(size_t(2048) * 2048, 255);
    return b;
}

void BM_CombineAdd_Mask(benchmark::State& state) {
    SelectionMask m = DiscMask();
    const auto& b = Block();
    for (auto _ : state) {
        m.Combine(kSelectionAdd, 1000, 1000, 2048, 2048, b.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CombineAdd_Mask)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CombineAdd_ScalarReference(benchmark::State& state) {
    std::vector<uint8_t> plane = DiscCoverage();
    const auto& b = Block();
    for (auto _ : state) {
        for (int i = 0; i < 2048; ++i) {
            uint8_t* dst = plane.data() + size_t(1000 + i) * kSide + 1000;
            const uint8_t* src = b.data() + size_t(i) * 2048;
            for (int k = 0; k < 2048; ++k) dst[k] = std::max(dst[k], src[k]);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CombineAdd_ScalarReference)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Outline_Mask(benchmark::State& state) {
    SelectionMask m = DiscMask();
    for (auto _ : state) {
        SelectionOutline::Build(m);
        benchmark::DoNotOptimize(m.Outline().polylines.data());
    }
}
BENCHMARK(BM_Outline_Mask)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Outline_OpenCvFindContours(benchmark::State& state) {
    const auto& cov = DiscCoverage();
    cv::Mat binary(kSide, kSide, CV_8UC1);
    for (size_t i = 0; i < cov.size(); ++i) binary.data[i] = cov[i] >= 128 ? 255 : 0;
    for (auto _ : state) {
        std::vector<std::vector<cv::Point>> contours;
        cv::findContours(binary, contours, cv::RETR_LIST, cv::CHAIN_APPROX_NONE);
        benchmark::DoNotOptimize(contours.data());
    }
}
BENCHMARK(BM_Outline_OpenCvFindContours)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
