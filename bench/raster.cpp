// Transformed bitmap draws: a 2048 x 2048 straight BGRA bitmap drawn onto a
// 4096 x 4096 premultiplied surface (source-over, anti-aliased edges), beside
// OpenCV doing the same work in the same run: BM_WarpAffineOver premultiplies
// the straight bitmap, warps it (cv::warpAffine) into the drawn shape's
// bounding box and composites it source-over onto the same surface, as a draw
// does. BM_WarpAffine is cv::warpAffine alone (no premultiply, no blending:
// less work than a draw), kept to show the resampling's share.
// Items are target pixels of the drawn shape's bounding box, so
// items_per_second compares directly between a draw and its warpAffine.
// Arguments: geometry (0 rotated 17 degrees and scaled 1.3, 1 axis-aligned
// scale 1.37 x 1.29), filter (0 bilinear, 1 bicubic), threads (0 = all).
// BM_SceneRender composes the demo project (demo.qvk beside the binary) at
// 1280 x 800. Times are wall-clock. On a machine with more runnable threads
// than cores, run with OMP_WAIT_POLICY=passive: spinning OpenMP workers then
// otherwise starve the ones doing the work and the all-thread times mean little.
#include "document/ProjectFile.h"
#include "platform/Bitmap.h"
#include "platform/CompositeSurface.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Raster.h"
#include "scene/CanvasDocument.h"
#include "scene/SceneRender.h"

#include <benchmark/benchmark.h>
#include <omp.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <random>
#include <string>

namespace {

constexpr int kSrc = 2048;
constexpr int kDst = 4096;

struct Fixture {
    BitmapPtr src;
    CompositeSurface surface;
    cv::Mat warped;
    Fixture() {
        src = Bitmap::Create(kSrc, kSrc);
        std::mt19937 rng(7);
        // Smooth gradients with noise and a translucent band: neither constant
        // (which would flatter caches and branches) nor pure noise.
        for (int y = 0; y < kSrc; ++y) {
            uint32_t* row = src->Row32(y);
            for (int x = 0; x < kSrc; ++x) {
                const uint32_t a = (y / 256) % 4 == 3 ? 96 + (rng() & 63) : 255;
                const uint32_t r = (x / 8 + (rng() & 15)) & 0xFF, g = (y / 8 + (rng() & 15)) & 0xFF;
                const uint32_t b = ((x + y) / 16) & 0xFF;
                row[x] = (a << 24) | (r << 16) | (g << 8) | b;
            }
        }
        surface.Create(kDst, kDst);
        ClearTarget(RasterTarget::Of(surface), 0xFF304050);
        warped.create(kDst, kDst, CV_8UC4);
        warped.setTo(cv::Scalar(0x50, 0x40, 0x30, 0xFF));
    }
};

Fixture& Data() {
    static Fixture f;
    return f;
}

struct Threads {
    int saved = omp_get_max_threads();
    int savedCv = cv::getNumThreads();
    explicit Threads(int n) {
        omp_set_num_threads(n > 0 ? n : saved);
        cv::setNumThreads(n > 0 ? n : savedCv);
    }
    ~Threads() {
        omp_set_num_threads(saved);
        cv::setNumThreads(savedCv);
    }
};

// Source -> target: the bitmap's rectangle placed at `dest`, then the world transform.
struct Geometry {
    RectF dest;
    Affine world;
    const char* name;
};

Geometry GeometryOf(int which) {
    if (which == 0) {
        const float side = kSrc * 1.3f;
        const RectF d{(kDst - side) / 2, (kDst - side) / 2, side, side};
        return {d, Affine::RotationAbout(17, kDst / 2.0, kDst / 2.0), "rotated 17, x1.3"};
    }
    return {{101.25f, 77.5f, kSrc * 1.37f, kSrc * 1.29f}, Affine{}, "axis-aligned x1.37 x1.29"};
}

// The full source -> target matrix of a geometry (for warpAffine).
cv::Mat WarpMatrix(const Geometry& g) {
    const double sx = g.dest.width / kSrc, sy = g.dest.height / kSrc;
    const Affine place{sx, 0, 0, sy, g.dest.x, g.dest.y};
    const Affine m = g.world.After(place);
    // Our sampling puts texel centres at k + 0.5; OpenCV puts them at k.
    const double tx = m.a * 0.5 + m.c * 0.5 + m.tx - 0.5, ty = m.b * 0.5 + m.d * 0.5 + m.ty - 0.5;
    return (cv::Mat_<double>(2, 3) << m.a, m.c, tx, m.b, m.d, ty);
}

int64_t BoxPixels(const Geometry& g) {
    const PointF c[4] = {g.world.Map({g.dest.x, g.dest.y}), g.world.Map({g.dest.x + g.dest.width, g.dest.y}),
                         g.world.Map({g.dest.x, g.dest.y + g.dest.height}),
                         g.world.Map({g.dest.x + g.dest.width, g.dest.y + g.dest.height})};
    float x0 = c[0].x, x1 = c[0].x, y0 = c[0].y, y1 = c[0].y;
    for (const PointF& p : c) x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
    return int64_t(std::ceil(x1) - std::floor(x0)) * int64_t(std::ceil(y1) - std::floor(y0));
}

void Label(benchmark::State& st, const Geometry& g, int threads) {
    st.SetLabel(std::string(st.range(1) ? "bicubic, " : "bilinear, ") + g.name +
                (threads > 0 ? ", 1 thread" : ", all threads"));
}

void BM_DrawBitmap(benchmark::State& st) {
    Fixture& f = Data();
    const Geometry g = GeometryOf(int(st.range(0)));
    const int threads = int(st.range(2));
    Threads t(threads);
    ImageDrawOptions o;
    o.interpolation = st.range(1) ? Interpolation::Bicubic : Interpolation::Bilinear;
    o.world = &g.world;
    for (auto _ : st) {
        DrawBitmapRect(RasterTarget::Of(f.surface), *f.src, g.dest, o);
        benchmark::ClobberMemory();
    }
    Label(st, g, threads);
    st.SetItemsProcessed(st.iterations() * BoxPixels(g));
}

// The per-pixel reference path the fast paths are held to.
void BM_DrawBitmapReference(benchmark::State& st) {
    Fixture& f = Data();
    const Geometry g = GeometryOf(int(st.range(0)));
    const int threads = int(st.range(2));
    Threads t(threads);
    ImageDrawOptions o;
    o.interpolation = st.range(1) ? Interpolation::Bicubic : Interpolation::Bilinear;
    o.world = &g.world;
    const RectF whole{0, 0, float(kSrc), float(kSrc)};
    const RectF& d = g.dest;
    for (auto _ : st) {
        DrawBitmapToPointsReference(RasterTarget::Of(f.surface), *f.src, whole, {d.x, d.y}, {d.x + d.width, d.y},
                                    {d.x, d.y + d.height}, o);
        benchmark::ClobberMemory();
    }
    Label(st, g, threads);
    st.SetItemsProcessed(st.iterations() * BoxPixels(g));
}

void BM_WarpAffine(benchmark::State& st) {
    Fixture& f = Data();
    const Geometry g = GeometryOf(int(st.range(0)));
    const int threads = int(st.range(2));
    Threads t(threads);
    const cv::Mat src(kSrc, kSrc, CV_8UC4, f.src->Data(), size_t(f.src->Stride()));
    const cv::Mat m = WarpMatrix(g);
    const int flag = st.range(1) ? cv::INTER_CUBIC : cv::INTER_LINEAR;
    for (auto _ : st) {
        cv::warpAffine(src, f.warped, m, f.warped.size(), flag, cv::BORDER_TRANSPARENT);
        benchmark::ClobberMemory();
    }
    Label(st, g, threads);
    st.SetItemsProcessed(st.iterations() * BoxPixels(g));
}

// The drawn shape's bounding box on the target, clipped to it.
cv::Rect BoxRect(const Geometry& g) {
    const PointF c[4] = {g.world.Map({g.dest.x, g.dest.y}), g.world.Map({g.dest.x + g.dest.width, g.dest.y}),
                         g.world.Map({g.dest.x, g.dest.y + g.dest.height}),
                         g.world.Map({g.dest.x + g.dest.width, g.dest.y + g.dest.height})};
    float x0 = c[0].x, x1 = c[0].x, y0 = c[0].y, y1 = c[0].y;
    for (const PointF& p : c) x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
    const int l = int(std::floor(x0)), t = int(std::floor(y0));
    return cv::Rect(l, t, int(std::ceil(x1)) - l, int(std::ceil(y1)) - t) & cv::Rect(0, 0, kDst, kDst);
}

// A draw's work done by OpenCV: premultiply the straight source, warp it into
// the bounding box (transparent outside the shape), then d = s + d (1 - as)
// onto the premultiplied surface.
void BM_WarpAffineOver(benchmark::State& st) {
    Fixture& f = Data();
    const Geometry g = GeometryOf(int(st.range(0)));
    const int threads = int(st.range(2));
    Threads t(threads);
    const cv::Mat src(kSrc, kSrc, CV_8UC4, f.src->Data(), size_t(f.src->Stride()));
    const cv::Rect box = BoxRect(g);
    cv::Mat m = WarpMatrix(g);
    m.at<double>(0, 2) -= box.x;
    m.at<double>(1, 2) -= box.y;
    const int flag = st.range(1) ? cv::INTER_CUBIC : cv::INTER_LINEAR;
    cv::Mat surface(kDst, kDst, CV_8UC4, f.surface.pixels, size_t(kDst) * 4);
    cv::Mat roi = surface(box);
    cv::Mat alpha, alpha4, pre, warped, inverse, inverse4, kept;
    const auto draw = [&] {
        cv::extractChannel(src, alpha, 3);
        cv::cvtColor(alpha, alpha4, cv::COLOR_GRAY2BGRA);
        cv::multiply(src, alpha4, pre, 1.0 / 255);
        cv::warpAffine(pre, warped, m, box.size(), flag, cv::BORDER_CONSTANT, cv::Scalar::all(0));
        cv::extractChannel(warped, inverse, 3);
        cv::bitwise_not(inverse, inverse);
        cv::cvtColor(inverse, inverse4, cv::COLOR_GRAY2BGRA);
        cv::multiply(roi, inverse4, kept, 1.0 / 255);
        cv::add(kept, warped, roi);
    };
    draw();  // the buffers are made once, as a draw's are
    for (auto _ : st) {
        draw();
        benchmark::ClobberMemory();
    }
    Label(st, g, threads);
    st.SetItemsProcessed(st.iterations() * BoxPixels(g));
}

void Cases(benchmark::internal::Benchmark* b) {
    for (int threads : {1, 0})
        for (int geometry : {0, 1})
            for (int filter : {1, 0}) b->Args({geometry, filter, threads});
}

void BM_SceneRender(benchmark::State& st) {
    static CanvasDocument scene;
    static const bool loaded =
        LoadProjectFile(JoinPath(GetProgramFolder(), "demo.qvk"), scene) == ProjectLoadResult::kLoaded;
    if (!loaded) {
        st.SkipWithError("demo.qvk not found beside the benchmark (build the app first)");
        return;
    }
    Threads t(int(st.range(0)));
    CompositeSurface surface;
    surface.Create(1280, 800);
    for (auto _ : st) {
        sceneRender(surface, scene, nullptr);
        benchmark::ClobberMemory();
    }
    st.SetLabel(st.range(0) > 0 ? "demo.qvk 1280x800, 1 thread" : "demo.qvk 1280x800, all threads");
    st.SetItemsProcessed(st.iterations() * 1280 * 800);
}

}  // namespace

BENCHMARK(BM_DrawBitmap)->Apply(Cases)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WarpAffine)->Apply(Cases)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WarpAffineOver)->Apply(Cases)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DrawBitmapReference)->Args({0, 1, 1})->Args({0, 0, 1})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SceneRender)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
