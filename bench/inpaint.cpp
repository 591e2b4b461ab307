// Smart fill: a whole fill on several threads beside the same fill on one
// thread along the plain reference paths (identical output); a large hole
// beside OpenCV's shift-map inpainting of the same image and hole; a small hole
// in a large image (time and peak memory, which must follow the hole, not the
// image); how long a cancel at the largest image takes to return; the banded
// vote beside the reference vote over the same field, and the packed patch
// distance beside the pixel-by-pixel one.
#include "selection/InpaintApply.h"
#include "selection/InpaintEngine.h"
#include "selection/InpaintFill.h"
#include "selection/InpaintSession.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/xphoto.hpp>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

// Colour waves with noise and a rectangular hole (by default the middle ninth
// of the image).
struct Scene {
    int w, h;
    std::vector<uint8_t> pixels, hole, out, source;
    Scene(int width, int height, int holeW = 0, int holeH = 0)
        : w(width), h(height), pixels(size_t(w) * h * 4), hole(size_t(w) * h), out(pixels.size()) {
        if (holeW == 0) holeW = w / 3, holeH = h / 3;
        const int hx = (w - holeW) / 2, hy = (h - holeH) / 2;
        std::mt19937 rng(9);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* p = &pixels[(size_t(y) * w + x) * 4];
                p[0] = uint8_t(128 + 100 * std::sin(x * 0.3) + rng() % 20);
                p[1] = uint8_t(128 + 100 * std::cos(y * 0.23 + x * 0.05) + rng() % 20);
                p[2] = uint8_t((x * 7 + y * 3) & 255);
                p[3] = 255;
                hole[size_t(y) * w + x] = (x >= hx && x < hx + holeW && y >= hy && y < hy + holeH) ? 255 : 0;
            }
    }
    // The inpaint workspace's starting source: everything outside the hole.
    void AddSource() {
        source.resize(hole.size());
        for (size_t i = 0; i < hole.size(); ++i) source[i] = hole[i] ? 0 : 255;
    }
    InpaintResult Fill(bool parallel, const std::atomic<bool>* cancel = nullptr) {
        const InpaintPlane src{source.data(), w, h, w};
        const InpaintResult r = InpaintFill({pixels.data(), w, h, int64_t(w) * 4}, {hole.data(), w, h, w},
                                            source.empty() ? nullptr : &src, {out.data(), w, h, int64_t(w) * 4},
                                            cancel, {1, parallel});
        benchmark::DoNotOptimize(r);
        return r;
    }
};

// Resident set figures of this process in MiB, from /proc/self/status.
double StatusMiB(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::atof(line.c_str() + std::strlen(key)) / 1024.0;
    return 0;
}
// Makes the peak resident set start again from the current one.
void ResetPeakRss() { std::ofstream("/proc/self/clear_refs") << "5"; }

void BM_InpaintFill(benchmark::State& state) {
    Scene s(int(state.range(0)), int(state.range(0)) * 3 / 4);
    for (auto _ : state) s.Fill(true);
}
BENCHMARK(BM_InpaintFill)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_InpaintFill_SerialReference(benchmark::State& state) {
    Scene s(int(state.range(0)), int(state.range(0)) * 3 / 4);
    for (auto _ : state) s.Fill(false);
}
BENCHMARK(BM_InpaintFill_SerialReference)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 16 x 16 hole in a 4096 x 4096 image on every thread, without a source mask
// (0) and with the workspace's starting one (1): the time and the memory must
// follow the hole. peak_MiB is the process's peak resident set during the
// fills (the scene's own image, masks and output included); fill_MiB what the
// fills added on top of the scene.
void BM_InpaintFill_SmallHoleLargeImage(benchmark::State& state) {
    Scene s(4096, 4096, 16, 16);
    if (state.range(0)) s.AddSource();
    const double before = StatusMiB("VmRSS:");
    ResetPeakRss();
    for (auto _ : state) s.Fill(true);
    const double peak = StatusMiB("VmHWM:");
    state.counters["peak_MiB"] = peak;
    state.counters["fill_MiB"] = peak - before;
}
BENCHMARK(BM_InpaintFill_SmallHoleLargeImage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A 256 x 256 hole in a 2048 x 2048 image on every thread, beside OpenCV's
// shift-map inpainting of the same image and hole (its default threads). The
// reference does the same work end to end: BGRA in, the filled BGRA out (its
// 3-channel input is meant to be Lab, so it converts both ways).
void BM_InpaintFill_LargeHole(benchmark::State& state) {
    Scene s(2048, 2048, 256, 256);
    for (auto _ : state) s.Fill(true);
}
BENCHMARK(BM_InpaintFill_LargeHole)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_InpaintFill_LargeHoleShiftMapOpenCV(benchmark::State& state) {
    Scene s(2048, 2048, 256, 256);
    const cv::Mat bgra(s.h, s.w, CV_8UC4, s.pixels.data());
    const cv::Mat hole(s.h, s.w, CV_8UC1, s.hole.data());
    cv::Mat valid, bgr, lab, filled, out(s.h, s.w, CV_8UC4, s.out.data());
    cv::compare(hole, 0, valid, cv::CMP_EQ);  // the reference wants the known pixels marked
    for (auto _ : state) {
        cv::cvtColor(bgra, bgr, cv::COLOR_BGRA2BGR);
        cv::cvtColor(bgr, lab, cv::COLOR_BGR2Lab);
        cv::xphoto::inpaint(lab, valid, filled, cv::xphoto::INPAINT_SHIFTMAP);
        cv::cvtColor(filled, bgr, cv::COLOR_Lab2BGR);
        cv::cvtColor(bgr, out, cv::COLOR_BGR2BGRA);
        benchmark::DoNotOptimize(out.data);
    }
}
BENCHMARK(BM_InpaintFill_LargeHoleShiftMapOpenCV)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// What a Cancel in the fill dialog waits for at the largest image the fill
// accepts (16384 x 16384, a 1024 x 1024 hole, the workspace's starting source):
// from the flag being set, 0.2 s to 1.4 s into the work, until the fill has
// returned and the dialog's job with its copies of the images is gone. The
// time reported is that latency alone; the goal is 100 ms.
void BM_InpaintCancel_LargestImage(benchmark::State& state) {
    Scene s(16384, 16384, 1024, 1024);
    InpaintSession session;
    session.active = true;
    session.objectId = "object_1";
    session.cropWidth = s.w;
    session.cropHeight = s.h;
    session.unfilled = cv::Mat(s.h, s.w, CV_8UC4, s.pixels.data());
    session.hole = cv::Mat(s.h, s.w, CV_8UC1, s.hole.data());
    s.AddSource();
    session.source = cv::Mat(s.h, s.w, CV_8UC1, s.source.data());
    const int delays[] = {200, 600, 1000, 1400};
    size_t k = 0;
    double worst = 0;
    for (auto _ : state) {
        auto job = std::make_unique<InpaintApplyJob>();
        if (!job->Prepare(session)) state.SkipWithError("the job could not be prepared");
        std::atomic<bool> cancel{false};
        bool filled = false;
        std::thread worker([&] { filled = job->Run(&cancel); });
        const int delay = delays[k++ % 4];
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        const auto requested = std::chrono::steady_clock::now();
        cancel = true;
        worker.join();
        job.reset();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - requested).count();
        worst = std::max(worst, seconds);
        state.counters["ms_at_" + std::to_string(delay)] = seconds * 1e3;
        state.SetIterationTime(seconds);
        if (filled) state.SkipWithError("the fill ended before the cancel");
    }
    state.counters["worst_ms"] = worst * 1e3;
}
BENCHMARK(BM_InpaintCancel_LargestImage)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(4);

// The final vote of a fill: a field of 400 x 300 entries, a third of them matched
// at random with useful weights, voting doubled into an 800 x 600 level.
struct VoteCase {
    InpaintLevel a, b, colour;
    InpaintContext ctx{nullptr, 1, true};
    NearestNeighborField field{&a, &b, ctx};
    InpaintAccumulator acc;

    static InpaintLevel Level(int w, int h, uint32_t seed) {
        std::mt19937 rng(seed);
        InpaintLevel l;
        l.width = w;
        l.height = h;
        l.image.resize(size_t(w) * h * 3);
        for (auto& v : l.image) v = uint8_t(rng());
        l.unknown.assign(size_t(w) * h, 0);
        InpaintComputeGradients(l);
        return l;
    }
    VoteCase() : a(Level(400, 300, 1)), b(Level(400, 300, 2)), colour(Level(800, 600, 3)) {
        field.InitRandom();
        std::mt19937 rng(4);
        for (int y = 0; y < field.Height(); ++y)
            for (int x = 0; x < field.Width(); ++x)
                if (rng() % 3) field.At(y, x) = NnfEntry{y, x, 0};
                else field.At(y, x).dist = int32_t(rng() % 4000);
    }
};

void BM_InpaintVote(benchmark::State& state) {
    VoteCase v;
    for (auto _ : state) {
        v.acc.Reset(800, 600, nullptr);
        v.field.Vote(kVoteSource, v.acc, v.colour, true);
        v.field.Vote(kVoteTarget, v.acc, v.colour, true);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_InpaintVote)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_InpaintVote_Reference(benchmark::State& state) {
    VoteCase v;
    for (auto _ : state) {
        v.acc.Reset(800, 600, nullptr);
        v.field.VoteReference(kVoteSource, v.acc, v.colour, true);
        v.field.VoteReference(kVoteTarget, v.acc, v.colour, true);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_InpaintVote_Reference)->Unit(benchmark::kMillisecond)->UseRealTime();

// 4096 patch pairs at random positions of two 400 x 300 levels, no cutoff: the
// packed distance beside the pixel-by-pixel reference.
struct DistanceCase {
    InpaintLevel a = VoteCase::Level(400, 300, 5), b = VoteCase::Level(400, 300, 6);
    std::vector<int32_t> pos;
    DistanceCase() {
        InpaintBuildFeatures(a);
        InpaintBuildFeatures(b);
        std::mt19937 rng(3);
        for (int k = 0; k < 4096; ++k)
            for (int32_t m : {300, 400, 300, 400}) pos.push_back(int32_t(rng() % uint32_t(m)));
    }
    template <class F>
    int64_t Sum(F distance) const {
        int64_t s = 0;
        for (size_t k = 0; k < pos.size(); k += 4) s += distance(a, pos[k], pos[k + 1], b, pos[k + 2], pos[k + 3], 4, 65536);
        return s;
    }
};

void BM_InpaintPatchDistance(benchmark::State& state) {
    DistanceCase d;
    for (auto _ : state) benchmark::DoNotOptimize(d.Sum(InpaintPatchDistance));
}
BENCHMARK(BM_InpaintPatchDistance)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_InpaintPatchDistance_Reference(benchmark::State& state) {
    DistanceCase d;
    for (auto _ : state) benchmark::DoNotOptimize(d.Sum(InpaintPatchDistanceReference));
}
BENCHMARK(BM_InpaintPatchDistance_Reference)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
