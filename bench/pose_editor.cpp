// The Pose Editor's per-frame work on a 4-part, 20-bone object (parts 1024
// square): the bone region overlays rasterised as the view does (planned
// against a 1600 x 1000 viewport), a plain draw of the same parts, and the
// whole frame with the overlays drawn over the parts, rasterised afresh (as
// after a scroll or zoom) and from a warm cache (a repaint that changed
// nothing), at zoom 1 and 8; and one joint drag step of the runtime rig
// (move, links, IK). The overlays go the way the view draws them: each
// bone's coverage mask drawn as a tint, magnified with filtering; the
// ...Rgba variants draw a tinted RGBA raster through the general bilinear
// bitmap draw instead, the way it was done before, for comparison.
// The frames take the zoom and the thread count (0: all threads).
#include "platform/CompositeSurface.h"
#include "platform/Raster.h"
#include "posable/BoneShape.h"
#include "posable/RuntimeRig.h"

#include <benchmark/benchmark.h>
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int kViewW = 1600, kViewH = 1000;

struct ThreadScope {
    int saved = omp_get_max_threads();
    explicit ThreadScope(const benchmark::State& st) {
        omp_set_num_threads(st.range(1) > 0 ? int(st.range(1)) : saved);
    }
    ~ThreadScope() { omp_set_num_threads(saved); }
};

void FrameArgs(benchmark::internal::Benchmark* b) {
    for (int zoom : {1, 8})
        for (int threads : {1, 2, 0}) b->Args({zoom, threads});
    b->ArgNames({"zoom", "threads"})->Unit(benchmark::kMillisecond)->UseRealTime();
}
// The overlay tint as 0xAARRGGBB (alpha 96 over a light red).
constexpr uint32_t kTint = 0x60FF6060u;

BoneShapeParams ViewParams(float zoom) {
    // Five bones per part along a diagonal, in view pixels from the head.
    const double s = 1024 * zoom, len = s / 5;
    BoneShapeParams p;
    p.tailX = len * 0.8;
    p.tailY = len * 0.6;
    p.halfWidth = s * 0.25 / 2 / 5;
    p.headCapLength = p.tailCapLength = len * 0.12;
    p.headCapHalfWidth = p.tailCapHalfWidth = p.halfWidth;
    p.feather = std::min(std::max(s * 0.01, 1.0), 254.0);
    return p;
}

// One bone's overlay as the view plans it: the head's view position (the
// view rasterises only what meets the viewport, as planned by PlanOverlay).
struct PlannedBone {
    double hx, hy;
    BoneShape::OverlayPlan plan;
};

PlannedBone PlanBone(int part, int bone, float zoom) {
    const double hx = (part % 2) * 512 * zoom + bone * 80 * zoom, hy = (part / 2) * 512 * zoom + bone * 60 * zoom;
    return {hx, hy, BoneShape::PlanOverlay(ViewParams(zoom), -hx, -hy, kViewW - hx, kViewH - hy)};
}

// What a cached overlay was planned for; a repaint reuses it while the plan
// still matches.
struct OverlayKey {
    BoneShapeBox box;
    int scale = 0;
    bool Matches(const BoneShape::OverlayPlan& plan) const {
        return scale == plan.scale && box.left == plan.box.left && box.top == plan.box.top &&
               box.width == plan.box.width && box.height == plan.box.height;
    }
};

// The four 1024-square parts and the view-sized surface they are drawn on.
struct PartsView {
    float zoom;
    BitmapPtr part = Bitmap::Create(1024, 1024);
    CompositeSurface surface;
    RasterTarget target;
    ImageDrawOptions opt;
    const RectF clip{0, 0, float(kViewW), float(kViewH)};

    explicit PartsView(float z) : zoom(z) {
        for (int y = 0; y < 1024; ++y)
            for (int x = 0; x < 1024; ++x) part->SetPixel(x, y, 0xFF000000u | uint32_t(x * 7 + y));
        surface.Create(kViewW, kViewH);
        target = RasterTarget::Of(surface);
    }
    void DrawParts() {
        for (int i = 0; i < 4; ++i)
            DrawBitmapRect(target, *part,
                           RectF{(i % 2) * 512 * zoom, (i / 2) * 512 * zoom, 1024 * zoom, 1024 * zoom}, opt);
    }
    void DrawMask(const PlannedBone& b, const BoneShapeBox& box, int scale, const ByteMaskRect& mask) {
        const float k = float(scale);
        DrawTintMask(target, {mask.bytes.data(), mask.width, mask.height, mask.width},
                     float(b.hx + box.left * k), float(b.hy + box.top * k), k, kTint, &clip);
    }
    void DrawRaster(const PlannedBone& b, const BoneShapeBox& box, int scale, const Bitmap& raster) {
        ImageDrawOptions overlay;
        overlay.interpolation = Interpolation::Bilinear;
        const float k = float(scale);
        DrawBitmapRect(target, raster,
                       RectF{float(b.hx + box.left * k), float(b.hy + box.top * k), raster.Width() * k,
                             raster.Height() * k},
                       overlay);
    }
};

// The overlay colour as the RGBA rasters of the old look take it.
const uint8_t kTintRgba[4] = {255, 96, 96, 96};

void OverlayFrame(benchmark::State& state) {
    const float zoom = float(state.range(0));
    for (auto _ : state) {
        for (int part = 0; part < 4; ++part)
            for (int b = 0; b < 5; ++b) {
                const PlannedBone pb = PlanBone(part, b, zoom);
                if (pb.plan.empty) continue;
                ByteMaskRect mask;
                BoneShape::RasterizeMask(pb.plan.scaled, pb.plan.box, mask);
                benchmark::DoNotOptimize(mask.bytes.data());
            }
    }
}
BENCHMARK(OverlayFrame)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

void PlainPartsFrame(benchmark::State& state) {
    ThreadScope threads(state);
    PartsView v(float(state.range(0)));
    for (auto _ : state) {
        v.DrawParts();
        benchmark::DoNotOptimize(v.surface.pixels);
    }
}
BENCHMARK(PlainPartsFrame)->Apply(FrameArgs);

// A whole frame with overlays shown: the plain draw above, then every bone's
// overlay planned, rasterised and drawn magnified over the parts, with no
// cache (as while scrolling or zooming). Compare with PlainPartsFrame.
void PartsAndOverlaysFrame(benchmark::State& state) {
    ThreadScope threads(state);
    PartsView v(float(state.range(0)));
    for (auto _ : state) {
        v.DrawParts();
        // As the view does: a part's bones are planned, their masks made
        // side by side, then drawn in order.
        for (int i = 0; i < 4; ++i) {
            PlannedBone planned[5];
            ByteMaskRect masks[5];
            for (int b = 0; b < 5; ++b) planned[b] = PlanBone(i, b, v.zoom);
#pragma omp parallel for schedule(dynamic, 1)
            for (int b = 0; b < 5; ++b)
                if (!planned[b].plan.empty)
                    BoneShape::RasterizeMask(planned[b].plan.scaled, planned[b].plan.box, masks[b]);
            for (int b = 0; b < 5; ++b)
                if (!planned[b].plan.empty)
                    v.DrawMask(planned[b], planned[b].plan.box, planned[b].plan.scale, masks[b]);
        }
        benchmark::DoNotOptimize(v.surface.pixels);
    }
}
BENCHMARK(PartsAndOverlaysFrame)->Apply(FrameArgs);

// The same frame repainted with a warm overlay cache, as the view runs it
// when nothing the overlays depend on changed (a hover, a timer tick, the
// brush cursor moving): every bone is still planned, to compare its key with
// the cached mask's, but none is rasterised; the cached masks are only drawn
// over the parts. Compare with PlainPartsFrame.
void PartsAndCachedOverlaysFrame(benchmark::State& state) {
    ThreadScope threads(state);
    PartsView v(float(state.range(0)));
    struct Cached {
        OverlayKey key;
        ByteMaskRect mask;
    };
    std::vector<Cached> cache(20);
    auto rasterize = [](Cached& c, const BoneShape::OverlayPlan& plan) {
        c.key = {plan.box, plan.scale};
        BoneShape::RasterizeMask(plan.scaled, plan.box, c.mask);
    };
    // The cache as the first frame leaves it: one mask per bone on screen.
    for (int i = 0; i < 4; ++i)
        for (int b = 0; b < 5; ++b) {
            const PlannedBone pb = PlanBone(i, b, v.zoom);
            if (!pb.plan.empty) rasterize(cache[size_t(i * 5 + b)], pb.plan);
        }
    int misses = 0;
    for (auto _ : state) {
        v.DrawParts();
        for (int i = 0; i < 4; ++i)
            for (int b = 0; b < 5; ++b) {
                const PlannedBone pb = PlanBone(i, b, v.zoom);
                if (pb.plan.empty) continue;
                Cached& c = cache[size_t(i * 5 + b)];
                if (c.mask.bytes.empty() || !c.key.Matches(pb.plan)) {
                    ++misses;  // never on a repaint that changed nothing
                    rasterize(c, pb.plan);
                }
                v.DrawMask(pb, c.key.box, c.key.scale, c.mask);
            }
        benchmark::DoNotOptimize(v.surface.pixels);
    }
    state.counters["misses"] = misses;
}
BENCHMARK(PartsAndCachedOverlaysFrame)->Apply(FrameArgs);

// The magnified overlay draw alone, one full-viewport mask at zoom 8, fast
// path beside the per-pixel reference.
void TintMaskDraw(benchmark::State& state) {
    const bool reference = state.range(0) != 0;
    const BoneShape::OverlayPlan plan = BoneShape::PlanOverlay(ViewParams(8), -400, -300, kViewW - 400, kViewH - 300);
    ByteMaskRect mask;
    BoneShape::RasterizeMask(plan.scaled, plan.box, mask);
    CompositeSurface surface;
    surface.Create(kViewW, kViewH);
    const RasterTarget target = RasterTarget::Of(surface);
    const RectF clip{0, 0, float(kViewW), float(kViewH)};
    const TintMask tm{mask.bytes.data(), mask.width, mask.height, mask.width};
    const float k = float(plan.scale);
    for (auto _ : state) {
        if (reference)
            DrawTintMaskReference(target, tm, float(400 + plan.box.left * k), float(300 + plan.box.top * k), k,
                                  kTint, &clip);
        else
            DrawTintMask(target, tm, float(400 + plan.box.left * k), float(300 + plan.box.top * k), k, kTint, &clip);
        benchmark::DoNotOptimize(surface.pixels);
    }
}
BENCHMARK(TintMaskDraw)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// PartsAndOverlaysFrame with the overlays as RGBA rasters drawn by the
// general bilinear bitmap draw, the way it was done before.
void PartsAndOverlaysFrameRgba(benchmark::State& state) {
    ThreadScope threads(state);
    PartsView v(float(state.range(0)));
    for (auto _ : state) {
        v.DrawParts();
        for (int i = 0; i < 4; ++i)
            for (int b = 0; b < 5; ++b) {
                const PlannedBone pb = PlanBone(i, b, v.zoom);
                if (pb.plan.empty) continue;
                const BitmapPtr raster = BoneShape::Rasterize(pb.plan.scaled, pb.plan.box, kTintRgba);
                v.DrawRaster(pb, pb.plan.box, pb.plan.scale, *raster);
            }
        benchmark::DoNotOptimize(v.surface.pixels);
    }
}
BENCHMARK(PartsAndOverlaysFrameRgba)->Apply(FrameArgs);

// PartsAndCachedOverlaysFrame with cached RGBA rasters, the way it was done
// before.
void PartsAndCachedOverlaysFrameRgba(benchmark::State& state) {
    ThreadScope threads(state);
    PartsView v(float(state.range(0)));
    struct Cached {
        OverlayKey key;
        BitmapPtr raster;
    };
    std::vector<Cached> cache(20);
    for (int i = 0; i < 4; ++i)
        for (int b = 0; b < 5; ++b) {
            const PlannedBone pb = PlanBone(i, b, v.zoom);
            if (!pb.plan.empty)
                cache[size_t(i * 5 + b)] = {{pb.plan.box, pb.plan.scale},
                                            BoneShape::Rasterize(pb.plan.scaled, pb.plan.box, kTintRgba)};
        }
    int misses = 0;
    for (auto _ : state) {
        v.DrawParts();
        for (int i = 0; i < 4; ++i)
            for (int b = 0; b < 5; ++b) {
                const PlannedBone pb = PlanBone(i, b, v.zoom);
                if (pb.plan.empty) continue;
                Cached& c = cache[size_t(i * 5 + b)];
                if (!c.raster || !c.key.Matches(pb.plan)) {
                    ++misses;  // never on a repaint that changed nothing
                    c = {{pb.plan.box, pb.plan.scale}, BoneShape::Rasterize(pb.plan.scaled, pb.plan.box, kTintRgba)};
                }
                v.DrawRaster(pb, c.key.box, c.key.scale, *c.raster);
            }
        benchmark::DoNotOptimize(v.surface.pixels);
    }
    state.counters["misses"] = misses;
}
BENCHMARK(PartsAndCachedOverlaysFrameRgba)->Apply(FrameArgs);

// One drag event of a joint: 4 chains of 5 one-bone parts, linked head to tail.
void JointDragStep(benchmark::State& state) {
    CanvasDocument scene;
    std::vector<JointLink> links;
    Layer& layer = scene.layers.front();
    for (int c = 0; c < 4; ++c)
        for (int b = 0; b < 5; ++b) {
            CanvasObject o;
            o.id = "p" + std::to_string(c) + "_" + std::to_string(b);
            o.x = float(c * 300);
            o.y = float(b * 100);
            o.width = 100;
            o.height = 100;
            Bone bone;
            bone.id = "bone_1";
            bone.headX = 0.5f;
            bone.headY = 0;
            bone.tailX = 0.5f;
            bone.tailY = 1;
            o.bones.push_back(bone);
            layer.objects.push_back(o);
            if (b > 0) {
                JointLink l;
                l.id = o.id;
                l.ends = {{"p" + std::to_string(c) + "_" + std::to_string(b - 1), "bone_1", 1}, {o.id, "bone_1", 0}};
                links.push_back(l);
            }
        }
    RuntimeRig rig;
    rig.doc = &scene;
    rig.links = &links;
    rig.CaptureRest();
    float t = 0;
    for (auto _ : state) {
        t += 0.05f;
        const PointF target{float(50 + 40 * std::cos(t)), float(500 + 40 * std::sin(t))};
        rig.MoveJoint({"p0_4", "bone_1", 1}, target);
        rig.SatisfyLinks();
        rig.SolveChainIK("p0_4", target);
    }
}
BENCHMARK(JointDragStep)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
