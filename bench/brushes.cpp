// Brush engine: replay of a generated 30-second stroke (250 pointer events a
// second) for every brush kind at 20, 100 and 300 px on a 2048 x 2048 working
// layer; the counter of_stroke_time is replay time / 30 s (at most 1 keeps up
// with the hand). Healing dabs beside cv::seamlessClone of the same patch alone.
// The replay's last argument is its thread count (0: all threads).
#include "brushes/BrushEngine.h"
#include "brushes/HostDabs.h"
#include "scene/CanvasWriteViews.h"

#include <benchmark/benchmark.h>
#include <omp.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/photo.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int kCanvas = 2048;
constexpr int kEvents = 30 * 250;
constexpr double kStrokeSeconds = 30.0;

// A looping hand-drawn-like path: about 1000 px a second across the canvas.
std::vector<std::pair<float, float>> StrokeEvents() {
    std::vector<std::pair<float, float>> e;
    e.reserve(kEvents);
    for (int i = 0; i < kEvents; ++i) {
        const float t = float(i) / 250.0f;
        e.emplace_back(1024.0f + 800.0f * std::sin(t * 0.7f) * std::cos(t * 0.23f),
                       1024.0f + 800.0f * std::sin(t * 0.45f + 1.0f));
    }
    return e;
}

void FillCanvas(TiledBitmap& layer) {
    LayerBitmapView view(&layer);
    std::vector<uint32_t> row(kCanvas);
    for (int y = 0; y < kCanvas; ++y) {
        for (int x = 0; x < kCanvas; ++x)
            row[x] = 0xFF000000u | (uint32_t((x * 7) & 0xFF) << 16) | (uint32_t((y * 5) & 0xFF) << 8) | ((x ^ y) & 0xFF);
        view.WriteRect(0, y, kCanvas, 1, row.data());
    }
}

struct ThreadScope {
    int omp = omp_get_max_threads(), cv = cv::getNumThreads();
    explicit ThreadScope(int n) {
        omp_set_num_threads(n > 0 ? n : omp);
        cv::setNumThreads(n > 0 ? n : omp);
    }
    ~ThreadScope() {
        omp_set_num_threads(omp);
        cv::setNumThreads(cv);
    }
};

void BM_StrokeReplay(benchmark::State& state) {
    const int kind = int(state.range(0));  // BrushKind, 5 = recolor host dab
    const float size = float(state.range(1));
    ThreadScope threads(int(state.range(2)));
    static const auto events = StrokeEvents();
    for (auto _ : state) {
        state.PauseTiming();
        TiledBitmap layer(kCanvas, kCanvas);
        FillCanvas(layer);
        LayerBitmapView view(&layer);
        DabRenderer renderer;
        BrushEngine engine;
        engine.Init(&renderer, &view);
        BrushSettings s;
        s.size = size;
        s.opacity = 0.8f;
        s.flow = 0.6f;
        switch (kind) {
        case 3:
            engine.kind = kBrushKindClone;
            engine.allLayers = false;
            engine.SetCloneSource(200, 200);
            break;
        case 4:
            engine.kind = kBrushKindHost;
            engine.allLayers = false;
            engine.SetHostDabCallback(HealCloneDab, true);
            engine.SetCloneSource(200, 200);
            break;
        case 5:
            engine.kind = kBrushKindHost;
            engine.SetHostDabCallback(RecolorDab, false);
            break;
        default: engine.kind = BrushKind(kind); break;
        }
        state.ResumeTiming();
        engine.BeginStroke(events[0].first, events[0].second, 0xFF3080E0u, s, 1.0f);
        for (size_t i = 1; i < events.size(); ++i)
            engine.StrokeTo(events[i].first, events[i].second, 0xFF3080E0u, s, 1.0f);
        engine.EndStroke();
        benchmark::ClobberMemory();
    }
    state.counters["of_stroke_time"] = benchmark::Counter(
        kStrokeSeconds * double(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void StrokeArgs(benchmark::internal::Benchmark* b) {
    for (int threads : {1, 0})
        for (int kind = 0; kind <= 5; ++kind)
            for (int size : {20, 100, 300}) b->Args({kind, size, threads});
    b->ArgNames({"kind", "size", "threads"})->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
}
BENCHMARK(BM_StrokeReplay)->Apply(StrokeArgs);

struct HealFixture {
    int n;
    std::vector<uint8_t> source, destination, mask;
    cv::Mat src3, dst3, mask8;
    explicit HealFixture(int side) : n(side) {
        cv::Mat s(n, n, CV_8UC4), d(n, n, CV_8UC4);
        cv::randu(s, cv::Scalar::all(0), cv::Scalar::all(256));
        cv::GaussianBlur(s, s, cv::Size(0, 0), 3);
        d.setTo(cv::Scalar(90, 140, 200, 255));
        source.assign(s.datastart, s.dataend);
        destination.assign(d.datastart, d.dataend);
        mask.assign(size_t(n) * n, 0);
        const float r = n * 0.5f - 1;
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x)
                if ((x - n * 0.5f + 0.5f) * (x - n * 0.5f + 0.5f) + (y - n * 0.5f + 0.5f) * (y - n * 0.5f + 0.5f) < r * r)
                    mask[size_t(y) * n + x] = 255;
        cv::cvtColor(s, src3, cv::COLOR_BGRA2BGR);
        cv::cvtColor(d, dst3, cv::COLOR_BGRA2BGR);
        mask8 = cv::Mat(n, n, CV_8UC1, mask.data()).clone();
        // The plain call needs a margin around its mask.
        mask8.row(0).setTo(0), mask8.row(n - 1).setTo(0), mask8.col(0).setTo(0), mask8.col(n - 1).setTo(0);
    }
};

void BM_HealDab(benchmark::State& state) {
    HealFixture f(int(state.range(0)));
    ThreadScope threads(1);
    std::vector<uint8_t> work;
    for (auto _ : state) {
        work = f.destination;
        HostDabRequest q;
        q.source = f.source.data();
        q.sourceStride = f.n;
        q.destination = work.data();
        q.width = q.height = f.n;
        q.mask = f.mask.data();
        q.strength = 1.0f;
        HealCloneDab(q);
        benchmark::DoNotOptimize(work.data());
    }
}
BENCHMARK(BM_HealDab)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HealDabSeamlessCloneOpenCV(benchmark::State& state) {
    HealFixture f(int(state.range(0)));
    ThreadScope threads(1);
    cv::Mat out;
    for (auto _ : state) {
        cv::seamlessClone(f.src3, f.dst3, f.mask8, cv::Point(f.n / 2, f.n / 2), out, cv::NORMAL_CLONE);
        benchmark::DoNotOptimize(out.data);
    }
}
BENCHMARK(BM_HealDabSeamlessCloneOpenCV)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime();

// One 100 px paint dab onto a half-transparent buffer: four pixels at a time
// against the one-pixel form.
void PaintDab(benchmark::State& state, bool vector) {
    BrushSettings s;
    s.size = 100;
    s.hardness = 0.5f;
    DabRenderer renderer;
    renderer.BuildTip(s);
    struct Buffer : ICanvasWriteView {
        std::vector<uint32_t> px = std::vector<uint32_t>(128 * 128, 0x80336699u);
        int Width() const override { return 128; }
        int Height() const override { return 128; }
        void ReadRect(int x, int y, int w, int h, uint32_t* out) override {
            for (int r = 0; r < h; ++r) std::copy_n(&px[size_t(y + r) * 128 + x], w, out + size_t(r) * w);
        }
        void WriteRect(int x, int y, int w, int h, const uint32_t* in) override {
            for (int r = 0; r < h; ++r) std::copy_n(in + size_t(r) * w, w, &px[size_t(y + r) * 128 + x]);
        }
    } buffer;
    DabRenderer::vectorDabs = vector;
    for (auto _ : state) {
        renderer.StampPaintDab(buffer, 64, 64, 0xFF2080E0u, renderer.Tip().data(), renderer.TipSize(), 0.5f, false);
        benchmark::ClobberMemory();
    }
    DabRenderer::vectorDabs = true;
}
void BM_PaintDab(benchmark::State& state) { PaintDab(state, true); }
void BM_PaintDabScalar(benchmark::State& state) { PaintDab(state, false); }
BENCHMARK(BM_PaintDab)->UseRealTime();
BENCHMARK(BM_PaintDabScalar)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
