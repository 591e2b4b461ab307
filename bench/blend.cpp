// Layer blending onto a 4096 x 4096 premultiplied surface, beside plain scalar
// references in the same run. The layer is opaque on its left half and
// translucent (random alpha) on its right half. The surface is translucent
// (alpha 200 to 255) unless the third argument asks for an opaque one, as a
// canvas is after its background fill. Items are pixels, so
// items_per_second reads as pixels per second. Arguments: mode, threads, opaque.
// Every reference covers the whole surface, as the kernels do.
#include "platform/Bitmap.h"
#include "platform/CompositeSurface.h"
#include "platform/CpuLevel.h"
#include "scene/BlendModes.h"
#include "scene/LayerBlend.h"

#include <benchmark/benchmark.h>
#include <omp.h>

#include <cstring>
#include <random>
#include <string>

namespace {

constexpr int kSide = 4096;

struct Fixture {
    CompositeSurface surface;
    BitmapPtr layer;
    CompositeSurface opaque;  // the same colours under alpha 255
    Fixture() {
        surface.Create(kSide, kSide);
        layer = Bitmap::Create(kSide, kSide);
        std::mt19937 rng(1);
        for (int y = 0; y < kSide; ++y) {
            uint32_t* l = layer->Row32(y);
            uint8_t* s = surface.Row(y);
            for (int x = 0; x < kSide; ++x) {
                const uint32_t a = x < kSide / 2 ? 255 : (rng() & 0xFF);
                l[x] = (a << 24) | (rng() & 0xFFFFFF);
                const uint8_t sa = uint8_t(200 + rng() % 56);
                for (int c = 0; c < 3; ++c) s[4 * x + c] = uint8_t(rng() % (sa + 1));
                s[4 * x + 3] = sa;
            }
        }
        opaque.Create(kSide, kSide);
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                std::memcpy(opaque.Row(y) + 4 * x, surface.Row(y) + 4 * x, 3);
                opaque.Row(y)[4 * x + 3] = 255;
            }
    }
};

Fixture& Data() {
    static Fixture f;
    return f;
}

struct Threads {
    int saved = omp_get_max_threads();
    explicit Threads(int n) { omp_set_num_threads(n > 0 ? n : saved); }
    ~Threads() { omp_set_num_threads(saved); }
};

int ThreadArg(const benchmark::State& st) { return int(st.range(1)) > 0 ? int(st.range(1)) : omp_get_max_threads(); }

// The reference for Normal: d = s + d (255 - as) / 255 in place, with the
// layer's bytes taken as premultiplied, one thread.
void BM_ReferenceOverLoop(benchmark::State& st) {
    Fixture& f = Data();
    for (auto _ : st) {
        for (int y = 0; y < kSide; ++y) {
            uint8_t* d = f.surface.Row(y);
            const uint8_t* s = f.layer->Row(y);
            for (int i = 0; i < kSide * 4; i += 4) {
                const unsigned k = 255u - s[i + 3];
                d[i] = uint8_t(s[i] + d[i] * k / 255u);
                d[i + 1] = uint8_t(s[i + 1] + d[i + 1] * k / 255u);
                d[i + 2] = uint8_t(s[i + 2] + d[i + 2] * k / 255u);
                d[i + 3] = uint8_t(s[i + 3] + d[i + 3] * k / 255u);
            }
        }
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * int64_t(kSide) * kSide);
}
BENCHMARK(BM_ReferenceOverLoop)->Unit(benchmark::kMillisecond)->UseRealTime();

// What memory alone costs a Normal blend, one thread: a plain read-modify-write
// stream over the same bytes (the layer read, the surface read and written
// back), with one add per 32-bit pixel so that nothing but the traffic counts.
void BM_StreamReference(benchmark::State& st) {
    Fixture& f = Data();
    for (auto _ : st) {
        for (int y = 0; y < kSide; ++y) {
            uint32_t* d = reinterpret_cast<uint32_t*>(f.surface.Row(y));
            const uint32_t* s = f.layer->Row32(y);
            for (int x = 0; x < kSide; ++x) d[x] += s[x];
        }
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * int64_t(kSide) * kSide);
}
BENCHMARK(BM_StreamReference)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DrawLayer(benchmark::State& st) {
    Fixture& f = Data();
    const int mode = int(st.range(0));
    Threads t(ThreadArg(st));
    const bool opaque = st.range(2) != 0;
    CompositeSurface& target = opaque ? f.opaque : f.surface;
    for (auto _ : st) {
        DrawLayerWithBlend(target, *f.layer, 0, 0, mode, 0.9f, {});
        benchmark::ClobberMemory();
    }
    st.SetLabel(std::string(BlendModeName(mode)) + (opaque ? " (opaque surface)" : ""));
    st.SetItemsProcessed(st.iterations() * int64_t(kSide) * kSide);
}

// The scalar references of the two direct-write paths, one thread.
void BM_ScalarReference(benchmark::State& st) {
    Fixture& f = Data();
    const int mode = int(st.range(0));
    const BlendRect r{0, 0, 0, 0, kSide, kSide};
    for (auto _ : st) {
        if (HasBlendKernel(mode)) BlendLayerSimdReference(f.surface, f.layer->Data(), f.layer->Stride(), r, mode, 0.9f);
        else BlendPixelRowsReference(f.surface, f.layer->Data(), f.layer->Stride(), r, mode, 0.9f);
        benchmark::ClobberMemory();
    }
    st.SetLabel(BlendModeName(mode));
    st.SetItemsProcessed(st.iterations() * int64_t(kSide) * kSide);
}

// One thread with the kernels held at one instruction-set level (argument 1,
// a CpuLevel), so each level's variant is timed beside the scalar references.
void BM_DrawLayerAtLevel(benchmark::State& st) {
    Fixture& f = Data();
    const int mode = int(st.range(0));
    const CpuLevel level = CpuLevel(st.range(1));
    if (level > AvailableCpuLevels().back()) {
        st.SkipWithError("level not available on this machine");
        return;
    }
    ScopedCpuLevel hold(level);
    Threads t(1);
    for (auto _ : st) {
        DrawLayerWithBlend(f.surface, *f.layer, 0, 0, mode, 0.9f, {});
        benchmark::ClobberMemory();
    }
    st.SetLabel(std::string(BlendModeName(mode)) + " at " + CpuLevelName(level));
    st.SetItemsProcessed(st.iterations() * int64_t(kSide) * kSide);
}

void ModesAtEveryLevel(benchmark::internal::Benchmark* b) {
    for (int m : {int(kBlendMultiply), int(kBlendSoftLight), int(kBlendHue)})
        for (CpuLevel l : {CpuLevel::Baseline, CpuLevel::Avx2, CpuLevel::Avx512}) b->Args({m, int(l)});
}

void ModesOneThread(benchmark::internal::Benchmark* b) {
    for (int m = 0; m < kBlendModeCount; ++m)
        if (m != kBlendNormal && m != kBlendPhotoBash) b->Args({m, 1, 0});
    for (int m : {int(kBlendMultiply), int(kBlendScreen), int(kBlendSoftLight), int(kBlendHue)}) b->Args({m, 1, 1});
}

}  // namespace

BENCHMARK(BM_DrawLayer)->Args({kBlendNormal, 1, 0})->Args({kBlendNormal, 0, 0})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DrawLayer)->Apply(ModesOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DrawLayer)->Args({kBlendMultiply, 0, 0})->Args({kBlendHue, 0, 0})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DrawLayerAtLevel)->Apply(ModesAtEveryLevel)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ScalarReference)
    ->Args({kBlendMultiply, 1})
    ->Args({kBlendSoftLight, 1})
    ->Args({kBlendHue, 1})
    ->Args({kBlendDissolve, 1})
    ->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
