// Mask-plane invert on a 4096 x 4096 plane, without and with selection
// bytes, beside OpenCV's bitwise_not and a plain scalar loop of the same
// formula; brightness on 32-bit pixels beside a scalar loop.
#include "scene/PixelOps.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>

#include <algorithm>
#include <vector>

namespace {

constexpr int kSide = 4096;

std::vector<uint8_t> Pattern(size_t n, unsigned seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        v[i] = uint8_t(seed >> 16);
    }
    return v;
}

void BM_InvertMask_Plain(benchmark::State& state) {
    std::vector<uint8_t> plane = Pattern(size_t(kSide) * kSide, 1);
    for (auto _ : state) {
        InvertMaskBytes(plane.data(), kSide, kSide, nullptr, 0, nullptr);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_InvertMask_Plain)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_InvertMask_OpenCVBitwiseNot(benchmark::State& state) {
    cv::Mat plane(kSide, kSide, CV_8UC1, Pattern(size_t(kSide) * kSide, 1).data());
    cv::Mat owned = plane.clone();
    for (auto _ : state) {
        cv::bitwise_not(owned, owned);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_InvertMask_OpenCVBitwiseNot)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_InvertMask_Selected(benchmark::State& state) {
    std::vector<uint8_t> plane = Pattern(size_t(kSide) * kSide, 1);
    const std::vector<uint8_t> sel = Pattern(size_t(kSide) * kSide, 2);
    for (auto _ : state) {
        InvertMaskBytes(plane.data(), kSide, kSide, sel.data(), kSide, nullptr);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_InvertMask_Selected)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same formula byte by byte, through pointers that may alias.
__attribute__((noinline)) void InvertSelectedScalar(uint8_t* plane, const uint8_t* sel, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const int b = plane[i], m = sel[i];
        plane[i] = uint8_t(((255 - b) * m + (255 - m) * b + 127) / 255);
    }
}

void BM_InvertMask_SelectedScalarReference(benchmark::State& state) {
    std::vector<uint8_t> plane = Pattern(size_t(kSide) * kSide, 1);
    const std::vector<uint8_t> sel = Pattern(size_t(kSide) * kSide, 2);
    for (auto _ : state) {
        InvertSelectedScalar(plane.data(), sel.data(), plane.size());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_InvertMask_SelectedScalarReference)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Brightness32(benchmark::State& state) {
    std::vector<uint8_t> px = Pattern(size_t(kSide) * kSide * 4, 3);
    const float amount = 20;
    for (auto _ : state) {
        BrightnessMasked(px.data(), kSide, kSide, kSide * 4, nullptr, 0, &amount);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Brightness32)->Unit(benchmark::kMillisecond)->UseRealTime();

__attribute__((noinline)) void BrightnessScalar(uint8_t* px, size_t pixels, int delta) {
    for (size_t i = 0; i < pixels; ++i)
        for (int c = 0; c < 3; ++c) px[i * 4 + c] = uint8_t(std::clamp(px[i * 4 + c] + delta, 0, 255));
}

void BM_Brightness32_ScalarReference(benchmark::State& state) {
    std::vector<uint8_t> px = Pattern(size_t(kSide) * kSide * 4, 3);
    for (auto _ : state) {
        BrightnessScalar(px.data(), size_t(kSide) * kSide, 25);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Brightness32_ScalarReference)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
