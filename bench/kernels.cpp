// Blur, distance and morphology kernels beside their OpenCV counterparts on a
// 4096 x 4096 image. bench/goals.tsv names each kernel's reference.
// OpenCV's box filter, 2-D filter and dilation run on one thread whatever
// cv::setNumThreads says, so their all-thread references split the image into
// one band per thread, one call per band on OpenCV's thread pool (each band
// with the rows around it that the filter reads; the first run checks that
// the bands give the bytes of one call).
#include "filters/BlurKernels.h"
#include "selection/MaskRefine.h"

#include <benchmark/benchmark.h>
#include <omp.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

namespace {

constexpr int kSide = 4096;

// Smooth random content, so that no kernel meets long flat runs by accident.
const cv::Mat& Source(int type) {
    static cv::Mat rgba, gray;
    cv::Mat& m = type == CV_8UC4 ? rgba : gray;
    if (m.empty()) {
        m.create(kSide, kSide, type);
        cv::randu(m, cv::Scalar::all(0), cv::Scalar::all(256));
        cv::GaussianBlur(m, m, cv::Size(0, 0), 1.5);
    }
    return m;
}

const cv::Mat& Mask() {
    static cv::Mat m;
    if (m.empty()) {
        cv::Mat noise(kSide, kSide, CV_8UC1);
        cv::randu(noise, cv::Scalar::all(0), cv::Scalar::all(256));
        cv::GaussianBlur(noise, noise, cv::Size(0, 0), 12);
        cv::threshold(noise, m, 128, 255, cv::THRESH_BINARY);
    }
    return m;
}

// Every benchmark takes the thread count as its last argument: 1 for the
// per-core comparison (steady on a busy machine), n for n threads (scaling),
// 0 for all threads.
struct ThreadScope {
    int omp = omp_get_max_threads(), cv = cv::getNumThreads();
    int threads;
    ThreadScope(const benchmark::State& st, int argIndex)
        : threads(st.range(argIndex) > 0 ? int(st.range(argIndex)) : omp_get_max_threads()) {
        omp_set_num_threads(threads);
        cv::setNumThreads(threads);
    }
    ~ThreadScope() {
        omp_set_num_threads(omp);
        cv::setNumThreads(cv);
    }
};

// op(input, output) over horizontal bands of the image on `threads` threads,
// each band's input taken with `margin` rows of the image around it, so an
// op that treats its input as the whole image (BORDER_ISOLATED) gives the
// bytes of one call; one call on the whole image when threads is 1.
template <class Op> void Banded(const cv::Mat& src, cv::Mat& dst, int threads, int margin, const Op& op) {
    dst.create(src.size(), src.type());
    if (threads <= 1) {
        op(src, dst);
        return;
    }
    cv::parallel_for_(
        cv::Range(0, threads),
        [&](const cv::Range& r) {
            for (int b = r.start; b < r.end; ++b) {
                const int y0 = src.rows * b / threads, y1 = src.rows * (b + 1) / threads;
                const int top = std::max(0, y0 - margin), bottom = std::min(src.rows, y1 + margin);
                cv::Mat out;
                op(src.rowRange(top, bottom), out);
                out.rowRange(y0 - top, y1 - top).copyTo(dst.rowRange(y0, y1));
            }
        },
        threads);
}

// The largest difference between the banded run and one call on the whole image.
template <class Op> double BandsDifference(const cv::Mat& src, int threads, int margin, const Op& op) {
    if (threads <= 1) return 0;
    cv::Mat whole, banded;
    Banded(src, whole, 1, margin, op);
    Banded(src, banded, threads, margin, op);
    return cv::norm(whole, banded, cv::NORM_INF);
}

// Stack Blur radius whose triangle has the variance of a Gaussian of sigma.
int StackRadiusForSigma(double sigma) { return int(std::lround(sigma * std::sqrt(6.0))); }
// Recursive-Gaussian radius for sigma (sigma = (r + 1) / sqrt(2 ln 255)).
double RecursiveRadiusForSigma(double sigma) { return sigma * std::sqrt(2 * std::log(255.0)) - 1; }

void BM_StackBlurRGBA(benchmark::State& st) {
    ThreadScope threads(st, 1);
    const int r = int(st.range(0));
    cv::Mat img = Source(CV_8UC4).clone();
    for (auto _ : st) CGaussianRecBlur().StackBlurRGBA(img.data, kSide, kSide, r, r);
}
void BM_StackBlurAlpha8(benchmark::State& st) {
    ThreadScope threads(st, 1);
    const int r = int(st.range(0));
    cv::Mat img = Source(CV_8UC1).clone();
    for (auto _ : st) CGaussianRecBlur().StackBlurAlpha8(img.data, kSide, kSide, r, r);
}
void BM_StackBlurRGBA_Sigma(benchmark::State& st) {
    ThreadScope threads(st, 1);
    const int r = StackRadiusForSigma(double(st.range(0)));
    cv::Mat img = Source(CV_8UC4).clone();
    for (auto _ : st) CGaussianRecBlur().StackBlurRGBA(img.data, kSide, kSide, r, r);
}
void BM_GaussianBlurRecursiveRGBA_Sigma(benchmark::State& st) {
    ThreadScope threads(st, 1);
    const double r = RecursiveRadiusForSigma(double(st.range(0)));
    cv::Mat img = Source(CV_8UC4).clone();
    for (auto _ : st) GaussianBlurRecursive(img.data, kSide, kSide, r, r, 4);
}
void BM_GaussianBlurRecursiveRGBA(benchmark::State& st) {
    ThreadScope threads(st, 1);
    const double r = double(st.range(0));
    cv::Mat img = Source(CV_8UC4).clone();
    for (auto _ : st) GaussianBlurRecursive(img.data, kSide, kSide, r, r, 4);
}
void BM_OpenCV_GaussianBlurRGBA_Sigma(benchmark::State& st) {
    ThreadScope threads(st, 1);
    const double sigma = double(st.range(0));
    cv::Mat img = Source(CV_8UC4).clone(), out;
    for (auto _ : st) cv::GaussianBlur(img, out, cv::Size(0, 0), sigma);
}
void BM_DiskBlur(benchmark::State& st) {
    ThreadScope threads(st, 1);
    const int r = int(st.range(0));
    cv::Mat img = Source(CV_8UC1).clone();
    for (auto _ : st) DiskBlur(img.data, kSide, kSide, r);
}
// A box average: less work than a disk (one sum per row instead of one per
// disk row), shown beside DiskBlur for scale.
void BM_OpenCV_BoxBlur(benchmark::State& st) {
    ThreadScope threads(st, 1);
    const int r = int(st.range(0));
    cv::Mat img = Source(CV_8UC1).clone(), out;
    const auto op = [r](const cv::Mat& in, cv::Mat& o) {
        cv::blur(in, o, cv::Size(2 * r + 1, 2 * r + 1), cv::Point(-1, -1), cv::BORDER_CONSTANT | cv::BORDER_ISOLATED);
    };
    if (BandsDifference(img, threads.threads, r, op) != 0) return st.SkipWithError("bands differ from one call");
    for (auto _ : st) Banded(img, out, threads.threads, r, op);
}

// DiskBlur's work in OpenCV: the same disk (row i spans trunc(sqrt(r^2 - i^2))
// each side), weights 1 / area, zero outside the image, through cv::filter2D.
void BM_OpenCV_DiskFilter2D(benchmark::State& st) {
    ThreadScope threads(st, 1);
    const int r = int(st.range(0));
    cv::Mat img = Source(CV_8UC1).clone(), out;
    cv::Mat disk = cv::Mat::zeros(2 * r + 1, 2 * r + 1, CV_32F);
    int area = 0;
    for (int i = -r; i <= r; ++i) {
        const int h = int(std::sqrt(double(r) * r - double(i) * i));
        disk.row(i + r).colRange(r - h, r + h + 1).setTo(1.0);
        area += 2 * h + 1;
    }
    disk /= double(area);
    const auto op = [&disk](const cv::Mat& in, cv::Mat& o) {
        cv::filter2D(in, o, -1, disk, cv::Point(-1, -1), 0, cv::BORDER_CONSTANT | cv::BORDER_ISOLATED);
    };
    // Large disks go through the DFT, whose float sums round a level apart
    // from band to band.
    if (const double d = BandsDifference(img, threads.threads, r, op); d > 1)
        return st.SkipWithError(("bands differ from one call by " + std::to_string(d)).c_str());
    for (auto _ : st) Banded(img, out, threads.threads, r, op);
}
void BM_DistanceTransform(benchmark::State& st) {
    ThreadScope threads(st, 1);
    const cv::Mat& mask = Mask();
    std::vector<float> out(size_t(kSide) * kSide);
    for (auto _ : st) DistanceTransform(mask.data, kSide, kSide, out.data(), st.range(0) != 0);
}
// The first argument only matches the border-less run of BM_DistanceTransform.
void BM_OpenCV_DistanceTransform(benchmark::State& st) {
    ThreadScope threads(st, 1);
    const cv::Mat& mask = Mask();
    cv::Mat out;
    for (auto _ : st) cv::distanceTransform(mask, out, cv::DIST_L2, cv::DIST_MASK_PRECISE);
}
void BM_MaskDilate(benchmark::State& st) {
    ThreadScope threads(st, 1);
    const int r = int(st.range(0));
    cv::Mat img = Mask().clone();
    for (auto _ : st) {
        st.PauseTiming();
        Mask().copyTo(img);
        st.ResumeTiming();
        MaskDilate(img.data, kSide, kSide, r);
    }
}
void BM_MaskErode(benchmark::State& st) {
    ThreadScope threads(st, 1);
    const int r = int(st.range(0));
    cv::Mat img = Mask().clone();
    for (auto _ : st) {
        st.PauseTiming();
        Mask().copyTo(img);
        st.ResumeTiming();
        MaskErode(img.data, kSide, kSide, r);
    }
}
void BM_OpenCV_DilateEllipse(benchmark::State& st) {
    ThreadScope threads(st, 1);
    const int r = int(st.range(0));
    const cv::Mat k = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(2 * r + 1, 2 * r + 1));
    cv::Mat out;
    const auto op = [&k](const cv::Mat& in, cv::Mat& o) {
        cv::dilate(in, o, k, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT | cv::BORDER_ISOLATED);
    };
    if (BandsDifference(Mask(), threads.threads, r, op) != 0) return st.SkipWithError("bands differ from one call");
    for (auto _ : st) Banded(Mask(), out, threads.threads, r, op);
}
void BM_PremultiplyAlpha(benchmark::State& st) {
    ThreadScope threads(st, 0);
    cv::Mat img = Source(CV_8UC4).clone();
    for (auto _ : st) {
        PremultiplyAlpha(img.data, size_t(kSide) * kSide);
        UnpremultiplyAlpha(img.data, size_t(kSide) * kSide);
    }
}

}  // namespace

#define UNITS Unit(benchmark::kMillisecond)->UseRealTime()
BENCHMARK(BM_StackBlurRGBA)->Args({2, 1})->Args({16, 1})->Args({64, 1})->Args({254, 1})->Args({2, 0})->Args({16, 0})->Args({64, 0})->Args({254, 0})->UNITS;
BENCHMARK(BM_StackBlurAlpha8)->Args({2, 1})->Args({64, 1})->Args({254, 1})->Args({2, 0})->Args({64, 0})->Args({254, 0})->UNITS;
BENCHMARK(BM_StackBlurRGBA_Sigma)->Args({50, 1})->Args({50, 0})->UNITS;
BENCHMARK(BM_GaussianBlurRecursiveRGBA)->Args({2, 1})->Args({16, 1})->Args({64, 1})->Args({254, 1})->Args({2, 0})->Args({16, 0})->Args({64, 0})->Args({254, 0})->UNITS;
BENCHMARK(BM_GaussianBlurRecursiveRGBA_Sigma)->Args({50, 1})->Args({50, 0})->UNITS;
BENCHMARK(BM_OpenCV_GaussianBlurRGBA_Sigma)->Args({50, 1})->Args({50, 0})->UNITS;
BENCHMARK(BM_DiskBlur)->Args({4, 1})->Args({16, 1})->Args({64, 1})->Args({100, 1})->Args({4, 0})->Args({16, 0})->Args({64, 0})->Args({100, 0})->UNITS;
// Parallel scaling, and the radius cap (kDiskBlurMaxRadius).
BENCHMARK(BM_DiskBlur)->ArgsProduct({{64, 256}, {2, 4, 8}})->Args({256, 1})->UNITS;
BENCHMARK(BM_OpenCV_BoxBlur)->Args({4, 1})->Args({16, 1})->Args({64, 1})->Args({100, 1})->Args({4, 0})->Args({16, 0})->Args({64, 0})->Args({100, 0})->UNITS;
BENCHMARK(BM_OpenCV_DiskFilter2D)->Args({4, 1})->Args({16, 1})->Args({64, 1})->Args({4, 0})->Args({16, 0})->Args({64, 0})->UNITS;
BENCHMARK(BM_DistanceTransform)->Args({0, 1})->Args({1, 1})->Args({0, 0})->Args({1, 0})->UNITS;
// Parallel scaling beside OpenCV's (which has no border variant).
BENCHMARK(BM_DistanceTransform)->ArgsProduct({{0}, {2, 4, 8}})->UNITS;
BENCHMARK(BM_OpenCV_DistanceTransform)->ArgsProduct({{0}, {1, 2, 4, 8, 0}})->UNITS;
BENCHMARK(BM_MaskDilate)->Args({10, 1})->Args({100, 1})->Args({10, 0})->Args({100, 0})->UNITS;
BENCHMARK(BM_MaskErode)->Args({100, 1})->Args({100, 0})->UNITS;
BENCHMARK(BM_OpenCV_DilateEllipse)->Args({10, 1})->Args({100, 1})->Args({10, 0})->Args({100, 0})->UNITS;
BENCHMARK(BM_PremultiplyAlpha)->Arg(1)->Arg(0)->UNITS;
BENCHMARK_MAIN();
