// Smart fill: a whole fill on several threads beside the same fill on one
// thread along the plain reference paths (identical output), the banded vote
// beside the reference vote over the same field, and the packed patch distance
// beside the pixel-by-pixel one.
#include "selection/InpaintEngine.h"
#include "selection/InpaintFill.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

// Colour waves with noise, a hole over the middle ninth of the image.
struct Scene {
    int w, h;
    std::vector<uint8_t> pixels, hole, out;
    Scene(int width, int height) : w(width), h(height), pixels(size_t(w) * h * 4), hole(size_t(w) * h), out(pixels.size()) {
        std::mt19937 rng(9);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* p = &pixels[(size_t(y) * w + x) * 4];
                p[0] = uint8_t(128 + 100 * std::sin(x * 0.3) + rng() % 20);
                p[1] = uint8_t(128 + 100 * std::cos(y * 0.23 + x * 0.05) + rng() % 20);
                p[2] = uint8_t((x * 7 + y * 3) & 255);
                p[3] = 255;
                hole[size_t(y) * w + x] = (x >= w / 3 && x < 2 * w / 3 && y >= h / 3 && y < 2 * h / 3) ? 255 : 0;
            }
    }
    void Fill(bool parallel) {
        const InpaintResult r = InpaintFill({pixels.data(), w, h, int64_t(w) * 4}, {hole.data(), w, h, w}, nullptr,
                                            {out.data(), w, h, int64_t(w) * 4}, nullptr, {1, parallel});
        benchmark::DoNotOptimize(r);
    }
};

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
