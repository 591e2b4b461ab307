// Blur, distance and morphology kernels beside their OpenCV counterparts on a
// 4096 x 4096 image. scripts/bench prints the ratios.
#include "filters/BlurKernels.h"
#include "selection/MaskRefine.h"

#include <benchmark/benchmark.h>
#include <omp.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <random>

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
    ThreadScope(const benchmark::State& st, int argIndex) {
        if (st.range(argIndex) > 0) {
            omp_set_num_threads(int(st.range(argIndex)));
            cv::setNumThreads(int(st.range(argIndex)));
        }
    }
    ~ThreadScope() {
        omp_set_num_threads(omp);
        cv::setNumThreads(cv);
    }
};

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
void BM_OpenCV_BoxBlur(benchmark::State& st) {
    ThreadScope threads(st, 1);
    const int r = int(st.range(0));
    cv::Mat img = Source(CV_8UC1).clone(), out;
    for (auto _ : st) cv::blur(img, out, cv::Size(2 * r + 1, 2 * r + 1), cv::Point(-1, -1), cv::BORDER_CONSTANT);
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
    for (auto _ : st) cv::dilate(Mask(), out, k);
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
BENCHMARK(BM_DistanceTransform)->Args({0, 1})->Args({1, 1})->Args({0, 0})->Args({1, 0})->UNITS;
// Parallel scaling beside OpenCV's (which has no border variant).
BENCHMARK(BM_DistanceTransform)->ArgsProduct({{0}, {2, 4, 8}})->UNITS;
BENCHMARK(BM_OpenCV_DistanceTransform)->ArgsProduct({{0}, {1, 2, 4, 8, 0}})->UNITS;
BENCHMARK(BM_MaskDilate)->Args({10, 1})->Args({100, 1})->Args({10, 0})->Args({100, 0})->UNITS;
BENCHMARK(BM_MaskErode)->Args({100, 1})->Args({100, 0})->UNITS;
BENCHMARK(BM_OpenCV_DilateEllipse)->Args({10, 1})->Args({100, 1})->Args({10, 0})->Args({100, 0})->UNITS;
BENCHMARK(BM_PremultiplyAlpha)->Arg(1)->Arg(0)->UNITS;
BENCHMARK_MAIN();
