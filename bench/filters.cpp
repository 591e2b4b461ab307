// The heavier filters of an object's stack on a 1024 x 1024 object (a soft
// disk of smooth colour on transparency), beside a plain scalar reference or
// the nearest OpenCV pipeline. scripts/bench prints the ratios. The last
// argument of every benchmark is its thread count (0: all threads).
#include "filters/EffectRegistry.h"

#include <benchmark/benchmark.h>
#include <omp.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <random>
#include <variant>

namespace {

constexpr int kSide = 1024;

const Bitmap& Object() {
    static BitmapPtr b;
    if (!b) {
        cv::Mat colour(kSide, kSide, CV_8UC4);
        cv::randu(colour, cv::Scalar::all(0), cv::Scalar::all(256));
        cv::GaussianBlur(colour, colour, cv::Size(0, 0), 6);
        b = Bitmap::Create(kSide, kSide);
        const float c = kSide / 2.0f, r = kSide * 0.42f;
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                const float d = std::hypot(x + 0.5f - c, y + 0.5f - c);
                const float a = std::clamp(r - d, 0.0f, 1.0f);
                const uint8_t* s = colour.ptr<uint8_t>(y) + 4 * x;
                b->SetPixel(x, y, uint32_t(a * 255 + 0.5f) << 24 | uint32_t(s[2]) << 16 | uint32_t(s[1]) << 8 | s[0]);
            }
    }
    return *b;
}

struct ThreadScope {
    int omp = omp_get_max_threads(), cv = cv::getNumThreads();
    explicit ThreadScope(const benchmark::State& st) {
        const int n = int(st.range(0));
        if (n > 0) {
            omp_set_num_threads(n);
            cv::setNumThreads(n);
        }
    }
    ~ThreadScope() {
        omp_set_num_threads(omp);
        cv::setNumThreads(cv);
    }
};

void RunFilter(benchmark::State& st, uint8_t type, const EffectParams& params) {
    ThreadScope threads(st);
    const Bitmap& src = Object();
    for (auto _ : st) {
        float ox, oy;
        BitmapPtr out = FindEffectTypeInfo(type).apply(src, params, ox, oy);
        benchmark::DoNotOptimize(out);
    }
    st.SetItemsProcessed(int64_t(st.iterations()) * kSide * kSide);
}

// ---- Motion Blur: the row path beside the per-pixel reference.

MotionBlurParams Motion() {
    MotionBlurParams p;
    p.angle = 30;
    p.length = 30;
    return p;
}

void BM_MotionBlur(benchmark::State& st) {
    EffectParams p;
    p.Set(Motion());
    RunFilter(st, kEffectMotionBlur, p);
}
BENCHMARK(BM_MotionBlur)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MotionBlurReference(benchmark::State& st) {
    ThreadScope threads(st);
    const Bitmap& src = Object();
    const MotionBlurParams p = Motion();
    // The reference fills an output of the grown size (px = 13, py = 8).
    BitmapPtr out = Bitmap::Create(kSide + 26, kSide + 16);
    for (auto _ : st) {
        MotionBlurReference(src, p, *out);
        benchmark::DoNotOptimize(out->Data());
    }
    st.SetItemsProcessed(int64_t(st.iterations()) * kSide * kSide);
}
BENCHMARK(BM_MotionBlurReference)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- Blur and Gaussian Blur (radius 0.02 of 1024: 20 px) beside OpenCV's
// Gaussian on the same padded, premultiplied image.

void BM_BlurFilter(benchmark::State& st) {
    EffectParams p;
    p.Set(BlurParams{0.02f});
    RunFilter(st, kEffectBlur, p);
}
BENCHMARK(BM_BlurFilter)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GaussianBlurFilter(benchmark::State& st) {
    EffectParams p;
    p.Set(GaussianBlurParams{0.02f});
    RunFilter(st, kEffectGaussianBlur, p);
}
BENCHMARK(BM_GaussianBlurFilter)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void OpenCvPaddedGaussian(benchmark::State& st) {
    ThreadScope threads(st);
    const Bitmap& src = Object();
    const int r = 20;
    const cv::Mat in(kSide, kSide, CV_8UC4, const_cast<uint8_t*>(src.Data()));
    const double sigma = (r + 1) / std::sqrt(2 * std::log(255.0));
    for (auto _ : st) {
        cv::Mat padded, pre, blurred, out;
        cv::copyMakeBorder(in, padded, r, r, r, r, cv::BORDER_CONSTANT, cv::Scalar::all(0));
        cv::Mat alpha;
        cv::extractChannel(padded, alpha, 3);
        cv::Mat a4;
        cv::cvtColor(alpha, a4, cv::COLOR_GRAY2BGRA);
        cv::multiply(padded, a4, pre, 1.0 / 255);
        cv::GaussianBlur(pre, blurred, cv::Size(0, 0), sigma);
        cv::extractChannel(blurred, alpha, 3);
        cv::cvtColor(alpha, a4, cv::COLOR_GRAY2BGRA);
        cv::divide(blurred, a4, out, 255);
        benchmark::DoNotOptimize(out.data);
    }
    st.SetItemsProcessed(int64_t(st.iterations()) * kSide * kSide);
}

void BM_BlurFilterOpenCV(benchmark::State& st) { OpenCvPaddedGaussian(st); }
BENCHMARK(BM_BlurFilterOpenCV)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_GaussianBlurFilterOpenCV(benchmark::State& st) { OpenCvPaddedGaussian(st); }
BENCHMARK(BM_GaussianBlurFilterOpenCV)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- Glow (width 12): the distance band beside OpenCV's exact distance
// transform, ramp and colour fill.

void BM_GlowFilter(benchmark::State& st) {
    EffectParams p;
    GlowParams g;
    g.width = 12;
    p.Set(g);
    RunFilter(st, kEffectGlow, p);
}
BENCHMARK(BM_GlowFilter)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GlowFilterOpenCV(benchmark::State& st) {
    ThreadScope threads(st);
    const Bitmap& src = Object();
    const int pad = 12;
    const cv::Mat in(kSide, kSide, CV_8UC4, const_cast<uint8_t*>(src.Data()));
    for (auto _ : st) {
        cv::Mat padded, alpha, outside, dist, band, out;
        cv::copyMakeBorder(in, padded, pad, pad, pad, pad, cv::BORDER_CONSTANT, cv::Scalar::all(0));
        cv::extractChannel(padded, alpha, 3);
        cv::compare(alpha, 0, outside, cv::CMP_GT);
        cv::bitwise_not(outside, outside);
        cv::distanceTransform(outside, dist, cv::DIST_L2, cv::DIST_MASK_PRECISE);
        dist.convertTo(band, CV_8U, -255.0, (12 + 0.5) * 255.0);
        out = cv::Mat(padded.size(), CV_8UC4, cv::Scalar(0x20, 0x20, 0xEB, 0));
        cv::insertChannel(band, out, 3);
        benchmark::DoNotOptimize(out.data);
    }
    st.SetItemsProcessed(int64_t(st.iterations()) * kSide * kSide);
}
BENCHMARK(BM_GlowFilterOpenCV)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- The other heavy filters at their defaults, one thread and all threads
// (the scaling of their parallel rows; no outside reference does the same work).

template <uint8_t kType>
void BM_FilterDefaults(benchmark::State& st) {
    RunFilter(st, kType, MakeEffectInstance(kType).params);
}
BENCHMARK(BM_FilterDefaults<kEffectDropShadow>)->Name("BM_DropShadow")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FilterDefaults<kEffectInnerGlow>)->Name("BM_InnerGlow")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FilterDefaults<kEffectNewtonianShadow>)
    ->Name("BM_NewtonianShadow")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FilterDefaults<kEffectKaleidoscopeBlur>)
    ->Name("BM_KaleidoscopeBlur")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FilterDefaults<kEffectGaussianBevel>)->Name("BM_GaussianBevel")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FilterDefaults<kEffectInnerBevel>)->Name("BM_InnerBevel")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FilterDefaults<kEffectOuterBevel>)->Name("BM_OuterBevel")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FilterDefaults<kEffectEmboss>)->Name("BM_Emboss")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- Every filter at 4096 x 4096 beside cv::GaussianBlur (sigma 10) on
// the same object and the same threads: one thread, all threads (0) and, for
// Drop Shadow at its defaults, eight. The colour adjustments whose defaults
// change nothing get a record that does; the rest run at their defaults.

constexpr int kLargeSide = 4096;

const Bitmap& LargeObject() {
    static BitmapPtr b;
    if (!b) {
        cv::Mat colour(kLargeSide, kLargeSide, CV_8UC4);
        cv::randu(colour, cv::Scalar::all(0), cv::Scalar::all(256));
        cv::GaussianBlur(colour, colour, cv::Size(0, 0), 6);
        b = Bitmap::Create(kLargeSide, kLargeSide);
        const float c = kLargeSide / 2.0f, r = kLargeSide * 0.42f;
        for (int y = 0; y < kLargeSide; ++y) {
            uint32_t* d = b->Row32(y);
            const uint8_t* s = colour.ptr<uint8_t>(y);
            for (int x = 0; x < kLargeSide; ++x, s += 4) {
                const float a = std::clamp(r - std::hypot(x + 0.5f - c, y + 0.5f - c), 0.0f, 1.0f);
                d[x] = uint32_t(a * 255 + 0.5f) << 24 | uint32_t(s[2]) << 16 | uint32_t(s[1]) << 8 | s[0];
            }
        }
    }
    return *b;
}

void BM_Filter4096_GaussianSigma10OpenCV(benchmark::State& st) {
    const Bitmap& src = LargeObject();
    ThreadScope threads(st);
    const cv::Mat in(kLargeSide, kLargeSide, CV_8UC4, const_cast<uint8_t*>(src.Data()));
    cv::Mat out;
    for (auto _ : st) {
        cv::GaussianBlur(in, out, cv::Size(0, 0), 10);
        benchmark::DoNotOptimize(out.data);
    }
    st.SetItemsProcessed(int64_t(st.iterations()) * kLargeSide * kLargeSide);
}
BENCHMARK(BM_Filter4096_GaussianSigma10OpenCV)->Arg(1)->Arg(0)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

EffectParams LargeParams(uint8_t type) {
    EffectParams p = MakeEffectInstance(type).params;
    if (auto* r = p.Get<HueSaturationParams>()) {
        r->hue = 40;
        r->saturation = 0.3f;
        r->lightness = -0.1f;
    }
    if (auto* r = p.Get<LevelsParams>()) {
        r->rgb.gamma = 1.6f;
        r->red.inputLow = 30;
    }
    if (auto* r = p.Get<BrightnessContrastParams>()) {
        r->brightness = 0.2f;
        r->contrast = 0.3f;
    }
    return p;
}

template <uint8_t kType>
void BM_Filter4096(benchmark::State& st) {
    const Bitmap& src = LargeObject();
    ThreadScope threads(st);
    const EffectParams params = LargeParams(kType);
    for (auto _ : st) {
        float ox, oy;
        BitmapPtr out = FindEffectTypeInfo(kType).apply(src, params, ox, oy);
        benchmark::DoNotOptimize(out);
    }
    st.SetItemsProcessed(int64_t(st.iterations()) * kLargeSide * kLargeSide);
}

#define FILTER_4096(type, name) \
    BENCHMARK(BM_Filter4096<type>)->Name("BM_Filter4096_" name)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()
FILTER_4096(kEffectDropShadow, "DropShadow")->Arg(8);
FILTER_4096(kEffectInnerShadow, "InnerShadow");
FILTER_4096(kEffectGlow, "Glow");
FILTER_4096(kEffectInnerGlow, "InnerGlow");
FILTER_4096(kEffectBlur, "Blur");
FILTER_4096(kEffectGaussianBlur, "GaussianBlur");
FILTER_4096(kEffectGaussianBevel, "GaussianBevel");
FILTER_4096(kEffectInnerBevel, "InnerBevel");
FILTER_4096(kEffectOuterBevel, "OuterBevel");
FILTER_4096(kEffectEmboss, "Emboss");
FILTER_4096(kEffectKaleidoscopeBlur, "KaleidoscopeBlur");
FILTER_4096(kEffectBrightnessContrast, "BrightnessContrast");
FILTER_4096(kEffectHueSaturation, "HueSaturation");
FILTER_4096(kEffectColorFill, "ColorFill");
FILTER_4096(kEffectLevels, "Levels");
FILTER_4096(kEffectInvert, "Invert");
FILTER_4096(kEffectNewtonianShadow, "NewtonianShadow");
FILTER_4096(kEffectMotionBlur, "MotionBlur");

// ---- A stored record with every size at 1e6 (width, softness, distance,
// radius, length) on the same object, all threads: no reference, a time of
// its own (the editor must not freeze on any record).

template <uint8_t kType>
void BM_Filter4096Hostile(benchmark::State& st) {
    const Bitmap& src = LargeObject();
    ThreadScope threads(st);
    EffectParams params = LargeParams(kType);
    std::visit(
        [](auto& r) {
            if constexpr (requires { r.width; }) r.width = 1e6f;
            if constexpr (requires { r.softness; }) r.softness = 1e6f;
            if constexpr (requires { r.distance; }) r.distance = 1e6f;
            if constexpr (requires { r.radius; }) r.radius = 1e6f;
            if constexpr (requires { r.length; }) r.length = 1e6f;
        },
        params.value);
    for (auto _ : st) {
        float ox, oy;
        BitmapPtr out = FindEffectTypeInfo(kType).apply(src, params, ox, oy);
        benchmark::DoNotOptimize(out);
    }
    st.SetItemsProcessed(int64_t(st.iterations()) * kLargeSide * kLargeSide);
}

#define FILTER_4096_HOSTILE(type, name) \
    BENCHMARK(BM_Filter4096Hostile<type>)->Name("BM_Filter4096Hostile_" name)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()
FILTER_4096_HOSTILE(kEffectInnerShadow, "InnerShadow");
FILTER_4096_HOSTILE(kEffectInnerGlow, "InnerGlow");
FILTER_4096_HOSTILE(kEffectGaussianBevel, "GaussianBevel");
FILTER_4096_HOSTILE(kEffectInnerBevel, "InnerBevel");
FILTER_4096_HOSTILE(kEffectKaleidoscopeBlur, "KaleidoscopeBlur");
FILTER_4096_HOSTILE(kEffectMotionBlur, "MotionBlur");
FILTER_4096_HOSTILE(kEffectNewtonianShadow, "NewtonianShadow");

}  // namespace

BENCHMARK_MAIN();
