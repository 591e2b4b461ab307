// Decoding ordinary photographs (2048 x 2048, smooth gradients with texture):
// DecodeImage, which reads each format with its own library straight into the
// bitmap, beside cv::imdecode of the same bytes followed by the conversion to
// a BGRA bitmap it needed before.
#include "platform/Codecs.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cstring>
#include <vector>

namespace {

constexpr int kSide = 2048;

std::vector<uint8_t> Photo(const char* ext) {
    cv::Mat m(kSide, kSide, CV_8UC3);
    uint32_t seed = 7;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            seed = seed * 1103515245u + 12345u;
            const int noise = int(seed >> 28);
            m.at<cv::Vec3b>(y, x) = cv::Vec3b(uint8_t((x / 8 + noise) & 0xFF), uint8_t((y / 8 + noise) & 0xFF),
                                              uint8_t(((x + y) / 16) & 0xFF));
        }
    std::vector<uchar> out;
    cv::imencode(ext, m, out);
    return {out.begin(), out.end()};
}

const std::vector<uint8_t>& Bytes(int format) {
    static const std::vector<uint8_t> png = Photo(".png"), jpeg = Photo(".jpg"), bmp = Photo(".bmp");
    return format == 0 ? png : format == 1 ? jpeg : bmp;
}

void BM_Decode(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = Bytes(int(state.range(0)));
    for (auto _ : state) {
        BitmapPtr b = DecodeImage(bytes);
        if (!b) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(b);
    }
}
BENCHMARK(BM_Decode)->Arg(0)->Arg(1)->Arg(2)->ArgName("png0_jpeg1_bmp2")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Decode_OpenCVImdecode(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = Bytes(int(state.range(0)));
    for (auto _ : state) {
        cv::Mat buf(1, int(bytes.size()), CV_8UC1, const_cast<uint8_t*>(bytes.data()));
        cv::Mat img = cv::imdecode(buf, cv::IMREAD_UNCHANGED | cv::IMREAD_IGNORE_ORIENTATION);
        cv::Mat bgra;
        cv::cvtColor(img, bgra, cv::COLOR_BGR2BGRA);
        BitmapPtr out = Bitmap::Create(bgra.cols, bgra.rows);
        for (int y = 0; y < bgra.rows; ++y) std::memcpy(out->Row(y), bgra.ptr(y), size_t(bgra.cols) * 4);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_Decode_OpenCVImdecode)->Arg(0)->Arg(1)->Arg(2)->ArgName("png0_jpeg1_bmp2")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
