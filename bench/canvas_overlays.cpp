// Marching ants at zoom 8 on a large selection: one timer tick's redraw of the
// ants bitmap clipped to a 1600 x 1000 viewport, beside the reference that
// draws the whole selection's client bounds into a bitmap of that size (about
// 6400 pixels square here) as a cache without a clip would.
#include "canvas_view/SelectionAnts.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kSide = 1024;
constexpr float kZoom = 8.0f;
const RectI kViewport{0, 0, 1600, 1000};
// Scrolled to the disc's upper-left rim, so the viewport holds a stretch of outline.
constexpr float kOriginX = -1800.0f, kOriginY = -1400.0f;

// A disc of radius 400 around the canvas centre: a staircase outline all round.
SelectionMask DiscMask() {
    SelectionMask m(kSide, kSide);
    std::vector<uint8_t> cov(size_t(kSide) * kSide, 0);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            cov[size_t(y) * kSide + x] = std::hypot(x + 0.5 - 512, y + 0.5 - 512) < 400 ? 255 : 0;
    m.Combine(kSelectionReplace, 0, 0, kSide, kSide, cov.data());
    return m;
}

void BM_AntsTick_ViewportClip(benchmark::State& state) {
    SelectionMask mask = DiscMask();
    MarchingAntsCache cache;
    float phase = 0;
    for (auto _ : state) {
        phase += 1;
        benchmark::DoNotOptimize(cache.Update(mask, kZoom, kOriginX, kOriginY, phase, kViewport));
        benchmark::DoNotOptimize(cache.Pixels());
    }
    state.counters["bitmap_MB"] = double(cache.BitmapBytes()) / (1 << 20);
}
BENCHMARK(BM_AntsTick_ViewportClip)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AntsTick_FullSizeReference(benchmark::State& state) {
    SelectionMask mask = DiscMask();
    SelectionOutline::Build(mask);
    const auto runs = MergeStraightRuns(mask.Outline());
    int x, y, w, h;
    mask.GetBounds(x, y, w, h);
    const RectI everything{-(1 << 28), -(1 << 28), 1 << 28, 1 << 28};
    const RectI full = AntsClipRect(x, y, w, h, kZoom, kOriginX, kOriginY, everything);
    float phase = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        phase += 1;
        std::vector<uint32_t> bitmap(size_t(full.Width()) * size_t(full.Height()), 0u);
        RenderAnts(runs, kZoom, kOriginX, kOriginY, phase, full, bitmap.data(), size_t(full.Width()));
        benchmark::DoNotOptimize(bitmap.data());
        bytes = bitmap.size() * 4;
    }
    state.counters["bitmap_MB"] = double(bytes) / (1 << 20);
}
BENCHMARK(BM_AntsTick_FullSizeReference)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
