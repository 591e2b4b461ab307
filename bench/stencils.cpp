// Stencils: rebuilding the placed stencil (a 2048 x 2048 image at scale 3,
// rotated 30 degrees, on a 4096 x 4096 canvas, so the placed image is the
// canvas plus its margin) beside cv::warpAffine of the same transform into
// the same output size, bicubic in both. BM_PlaceWarp is the resampling step
// alone, allocating its output as the rebuild does; BM_PlaceRebuild the
// rebuild as a drag's release runs it (a one-pixel right-button move, press to
// release, in a blend mode); BM_PlaceDetailCopy the low-pass copy that detail
// transfer needs, made when such a stroke begins; BM_PlaceRebuildDetailTransfer
// both, as a release followed by a Detail Transfer stroke costs;
// BM_PlaceWarpReference the general prefiltered draw. Items are output pixels,
// so items_per_second compares directly.
//
// Thumbnails of a 200-image library (512 x 512 PNGs): BM_ThumbnailsFirst
// activates the library and builds every thumbnail (each file decoded once),
// BM_ThumbnailsCached asks for them again as the grid paints, beside
// BM_ThumbnailsOpenCV, cv::imread + cv::resize(INTER_AREA) of the same files.
#include "brushes/StencilLibraryStore.h"
#include "brushes/StencilOverlay.h"
#include "platform/Bitmap.h"
#include "platform/Codecs.h"
#include "platform/Files.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <filesystem>
#include <random>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kSrc = 2048;
constexpr float kCanvas = 4096;
constexpr int kLibrarySize = 200;

BitmapPtr MakeStencil(int side, uint32_t seed) {
    BitmapPtr b = Bitmap::Create(side, side);
    std::mt19937 rng(seed);
    for (int y = 0; y < side; ++y) {
        uint32_t* row = b->Row32(y);
        for (int x = 0; x < side; ++x) {
            const uint32_t a = (x / 128 + y / 128) % 3 == 0 ? 0 : 255;
            const uint32_t r = (x / 8 + (rng() & 15)) & 0xFF, g = (y / 8 + (rng() & 15)) & 0xFF, bl = ((x + y) / 16) & 0xFF;
            row[x] = (a << 24) | (r << 16) | (g << 8) | bl;
        }
    }
    return b;
}

struct Library {
    fs::path root;
    Library() {
        root = fs::temp_directory_path() / ("bench_stencils_" + std::to_string(::getpid()));
        fs::create_directories(root / "user" / "lib");
        fs::create_directories(root / "installed");
        for (int i = 0; i < kLibrarySize; ++i) {
            std::vector<uint8_t> png;
            EncodePng(*MakeStencil(512, uint32_t(i)), png);
            WriteFileAtomic((root / "user" / "lib" / ("s" + std::to_string(i) + ".png")).string(), png);
        }
        SetStencilPlaces({(root / "user").string(), (root / "installed").string(), nullptr});
    }
    ~Library() { fs::remove_all(root); }
};

Library& Lib() {
    static Library l;
    return l;
}

struct Placement {
    BitmapPtr image = MakeStencil(kSrc, 7);
    StencilTransform t{kCanvas / 2, kCanvas / 2, 3, 30, 1, 1};
    float originX = -kStencilClipMargin, originY = -kStencilClipMargin;
    int side = int(kCanvas) + 2 * kStencilClipMargin;
};

Placement& Place() {
    static Placement p;
    return p;
}

void BM_PlaceWarp(benchmark::State& state) {
    Placement& p = Place();
    for (auto _ : state) {
        BitmapPtr out = RenderPlacedStencil(*p.image, p.t, p.originX, p.originY, p.side, p.side);
        benchmark::DoNotOptimize(out->Data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(p.side) * p.side);
}

void BM_PlaceWarpAffineOpenCV(benchmark::State& state) {
    Placement& p = Place();
    const cv::Mat src(kSrc, kSrc, CV_8UC4, p.image->Data(), size_t(p.image->Stride()));
    const double a = p.t.rotation * 0.017453292, s = p.t.scale;
    const double cs = std::cos(a) * s, sn = std::sin(a) * s;
    // Image pixel -> placed pixel, the same map as the rebuild's.
    cv::Mat m = (cv::Mat_<double>(2, 3) << cs, -sn, 0, sn, cs, 0);
    m.at<double>(0, 2) = p.t.centerX - p.originX - cs * kSrc / 2 + sn * kSrc / 2 + (cs - sn) * 0.5 - 0.5;
    m.at<double>(1, 2) = p.t.centerY - p.originY - sn * kSrc / 2 - cs * kSrc / 2 + (sn + cs) * 0.5 - 0.5;
    for (auto _ : state) {
        // A new raster each time, as a rebuild makes one.
        cv::Mat out(p.side, p.side, CV_8UC4);
        cv::warpAffine(src, out, m, out.size(), cv::INTER_CUBIC, cv::BORDER_CONSTANT, cv::Scalar(0, 0, 0, 0));
        benchmark::DoNotOptimize(out.data);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(p.side) * p.side);
}

// An overlay on a 4096 x 4096 canvas holding the 2048 x 2048 stencil of
// Place(), placed with its transform.
struct RebuildFixture {
    StencilLibraryStore store;
    StencilOverlay overlay{&store};
    RebuildFixture() {
        Library& lib = Lib();
        // A library of one 2048 x 2048 stencil of its own.
        const fs::path big = lib.root / "user" / "big";
        if (!fs::exists(big / "s.png")) {
            fs::create_directories(big);
            std::vector<uint8_t> png;
            EncodePng(*Place().image, png);
            WriteFileAtomic((big / "s.png").string(), png);
        }
        store.Activate("big");
        overlay.SelectStencil(0);
        overlay.ResetTransform(PointF{kCanvas, kCanvas});
        overlay.transform = Place().t;
        overlay.Rebuild();
    }
    // A right-button drag that moves the stencil one pixel to the right or
    // back, released: the release rebuilds the placed image.
    void DragOnePixel(bool right) {
        const StencilViewGeometry view{RectI{0, 0, 1600, 1000}, RectF{0, 0, kCanvas, kCanvas}, 1.0f};
        overlay.OnRightButtonDown(view, PointF{800, 500});
        overlay.OnMouseMove(PointF{right ? 801.0f : 799.0f, 500});
        overlay.OnRightButtonUp();
    }
    int64_t PlacedPixels() const {
        const Bitmap* placed = overlay.imprint.placedBitmap.get();
        return placed ? int64_t(placed->Width()) * placed->Height() : 0;
    }
};

void BM_PlaceRebuild(benchmark::State& state) {
    RebuildFixture f;
    const int rebuilds = f.overlay.rebuildCount;
    bool right = true;
    for (auto _ : state) {
        f.DragOnePixel(right);
        right = !right;
        benchmark::DoNotOptimize(f.overlay.imprint.placedBitmap.get());
    }
    if (f.overlay.rebuildCount - rebuilds != int(state.iterations())) state.SkipWithError("a release did not rebuild");
    if (f.overlay.detailBuildCount != 0) state.SkipWithError("a blend-mode rebuild made the low-pass copy");
    state.SetItemsProcessed(state.iterations() * f.PlacedPixels());
}

void BM_PlaceDetailCopy(benchmark::State& state) {
    RebuildFixture f;
    f.overlay.imprint.detailTransfer = true;
    for (auto _ : state) {
        state.PauseTiming();
        f.overlay.Rebuild();  // drops the copy
        state.ResumeTiming();
        f.overlay.EnsureDetailCopy();
        benchmark::DoNotOptimize(f.overlay.imprint.detailPixels.data());
    }
    if (f.overlay.detailBuildCount != int(state.iterations())) state.SkipWithError("the copy was not made");
    state.SetItemsProcessed(state.iterations() * f.PlacedPixels());
}

void BM_PlaceRebuildDetailTransfer(benchmark::State& state) {
    RebuildFixture f;
    f.overlay.imprint.detailTransfer = true;
    bool right = true;
    for (auto _ : state) {
        f.DragOnePixel(right);
        right = !right;
        f.overlay.EnsureDetailCopy();  // as the next stroke's press does
        benchmark::DoNotOptimize(f.overlay.imprint.detailPixels.data());
    }
    if (f.overlay.detailBuildCount != int(state.iterations())) state.SkipWithError("the copy was not made");
    state.SetItemsProcessed(state.iterations() * f.PlacedPixels());
}

void BM_ThumbnailsFirst(benchmark::State& state) {
    Lib();
    StencilLibraryStore store;
    for (auto _ : state) {
        store.Activate("lib");
        for (int i = 0; i < kLibrarySize; ++i) benchmark::DoNotOptimize(store.GetThumbnail(i).get());
    }
    state.SetItemsProcessed(state.iterations() * kLibrarySize);
}

void BM_ThumbnailsCached(benchmark::State& state) {
    Lib();
    StencilLibraryStore store;
    store.Activate("lib");
    for (int i = 0; i < kLibrarySize; ++i) store.GetThumbnail(i);
    const int decoded = store.decodeCount;
    for (auto _ : state)
        for (int i = 0; i < kLibrarySize; ++i) benchmark::DoNotOptimize(store.GetThumbnail(i).get());
    if (store.decodeCount != decoded) state.SkipWithError("the grid decoded again");
    state.SetItemsProcessed(state.iterations() * kLibrarySize);
}

void BM_ThumbnailsOpenCV(benchmark::State& state) {
    Library& lib = Lib();
    for (auto _ : state)
        for (int i = 0; i < kLibrarySize; ++i) {
            const cv::Mat m = cv::imread((lib.root / "user" / "lib" / ("s" + std::to_string(i) + ".png")).string(),
                                         cv::IMREAD_UNCHANGED);
            cv::Mat t;
            cv::resize(m, t, cv::Size(kStencilThumbnailSide, kStencilThumbnailSide), 0, 0, cv::INTER_AREA);
            benchmark::DoNotOptimize(t.data);
        }
    state.SetItemsProcessed(state.iterations() * kLibrarySize);
}

}  // namespace

void BM_PlaceWarpReference(benchmark::State& state) {
    Placement& p = Place();
    for (auto _ : state) {
        BitmapPtr out = RenderPlacedStencil(*p.image, p.t, p.originX, p.originY, p.side, p.side, true);
        benchmark::DoNotOptimize(out->Data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(p.side) * p.side);
}

BENCHMARK(BM_PlaceWarp)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlaceWarpAffineOpenCV)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlaceWarpReference)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlaceRebuild)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlaceDetailCopy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlaceRebuildDetailTransfer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ThumbnailsFirst)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_ThumbnailsCached)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_ThumbnailsOpenCV)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

BENCHMARK_MAIN();
