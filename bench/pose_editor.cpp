// The Pose Editor's per-frame work on a 4-part scene (parts 1024 square)
// whose selected part shows 20 bone region overlays: the overlays rasterised
// as the view does (planned against a 1600 x 1000 viewport), a plain draw of
// the same parts, and the whole frame with the overlays drawn over the parts,
// rasterised afresh (as after a scroll or zoom) and from a warm cache (a
// repaint that changed nothing), at zoom 1 and 8; and one joint drag step of
// the runtime rig (move, links, IK), alone and as a whole frame at zoom 1
// and 8; and the 1024 x 1024 posed preview re-render.
// The frames follow the view's DrawScene: the parts are queued in draw order
// on one batch kept from frame to frame (bilinear, source-over, anti-aliased
// edges, the part's opacity and its rotation about its centre), then the
// selected part's bone overlays in one call (each bone's coverage mask drawn
// as a tint, magnified with filtering), and the batch is run once: one pass
// over the rows of the viewport. The view's vector drawing over that
// (frames, bone glyphs, joint markers, buttons) is not measured.
// The ...Rgba variants draw a tinted RGBA raster through the general
// bilinear bitmap draw instead, the way it was done before, for comparison.
// The frames take the zoom and the thread count (0: all threads).
#include "platform/CompositeSurface.h"
#include "platform/Raster.h"
#include "posable/BoneShape.h"
#include "posable/PosedPreview.h"
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
    RasterBatch batch;
    Affine worlds[4];

    explicit PartsView(float z) : zoom(z) {
        opt.interpolation = Interpolation::Bilinear;
        opt.compositing = Compositing::SourceOver;
        opt.antiAlias = true;
        opt.opacity = 1.0f;
        for (int y = 0; y < 1024; ++y)
            for (int x = 0; x < 1024; ++x) part->SetPixel(x, y, 0xFF000000u | uint32_t(x * 7 + y));
        surface.Create(kViewW, kViewH);
        target = RasterTarget::Of(surface);
    }
    // Starts a frame: the parts are queued, to be drawn by Finish with
    // whatever is queued after them.
    void DrawParts() {
        batch.Begin(target);
        for (int i = 0; i < 4; ++i) {
            // As the view queues a part: its rotation (none here) about its centre.
            const RectF r{(i % 2) * 512 * zoom, (i / 2) * 512 * zoom, 1024 * zoom, 1024 * zoom};
            worlds[i] = Affine::RotationAbout(0, double(r.x) + double(r.width) / 2, double(r.y) + double(r.height) / 2);
            ImageDrawOptions o = opt;
            o.world = &worlds[i];
            batch.AddBitmapRect(*part, r, o);
        }
    }
    void Finish() { batch.Run(); }
    static TintMaskDraw MaskDraw(const PlannedBone& b, const BoneShapeBox& box, int scale, const ByteMaskRect& mask) {
        const float k = float(scale);
        return {{mask.bytes.data(), mask.width, mask.height, mask.width},
                float(b.hx + box.left * k), float(b.hy + box.top * k), k, kTint};
    }
    // Queued after what is queued; the masks must last until Finish. The
    // surface is the viewport, which clips them.
    void DrawMask(const PlannedBone& b, const BoneShapeBox& box, int scale, const ByteMaskRect& mask) {
        const TintMaskDraw d = MaskDraw(b, box, scale, mask);
        batch.AddTintMasks(&d, 1);
    }
    // The selected part's overlays in bone order, in one call, as the view
    // queues them.
    void DrawMasks(const std::vector<TintMaskDraw>& draws) { batch.AddTintMasks(draws.data(), int(draws.size())); }
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
        v.Finish();
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
    // The masks of the frame before, as the view's cache holds them: each is
    // made again in its own buffer.
    ByteMaskRect masks[20];
    for (auto _ : state) {
        v.DrawParts();
        // As the view does for the part whose overlays it shows: the bones
        // are planned, their masks made side by side, then queued in order.
        PlannedBone planned[20];
        for (int k = 0; k < 20; ++k) planned[k] = PlanBone(k / 5, k % 5, v.zoom);
#pragma omp parallel for schedule(dynamic, 1)
        for (int k = 0; k < 20; ++k)
            if (!planned[k].plan.empty) BoneShape::RasterizeMask(planned[k].plan.scaled, planned[k].plan.box, masks[k]);
        std::vector<TintMaskDraw> draws;
        for (int k = 0; k < 20; ++k)
            if (!planned[k].plan.empty)
                draws.push_back(PartsView::MaskDraw(planned[k], planned[k].plan.box, planned[k].plan.scale, masks[k]));
        v.DrawMasks(draws);
        v.Finish();
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
    std::vector<TintMaskDraw> draws;
    for (auto _ : state) {
        v.DrawParts();
        draws.clear();
        for (int i = 0; i < 4; ++i) {
            for (int b = 0; b < 5; ++b) {
                const PlannedBone pb = PlanBone(i, b, v.zoom);
                if (pb.plan.empty) continue;
                Cached& c = cache[size_t(i * 5 + b)];
                if (c.mask.bytes.empty() || !c.key.Matches(pb.plan)) {
                    ++misses;  // never on a repaint that changed nothing
                    rasterize(c, pb.plan);
                }
                draws.push_back(PartsView::MaskDraw(pb, c.key.box, c.key.scale, c.mask));
            }
        }
        v.DrawMasks(draws);
        v.Finish();
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
        v.Finish();
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
        v.Finish();
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

// The runtime rig of a drag: 4 chains of 5 one-bone parts, linked head to
// tail, each chain cut from one object (ids "<object>__<bone>", as the
// runtime scene names its parts, so IK walks the chain).
struct DragRig {
    CanvasDocument scene;
    std::vector<JointLink> links;
    RuntimeRig rig;
    float t = 0;
    DragRig() {
        Layer& layer = scene.layers.front();
        for (int c = 0; c < 4; ++c)
            for (int b = 0; b < 5; ++b) {
                CanvasObject o;
                o.id = Part(c, b);
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
                    l.id = "link_" + std::to_string(c) + "_" + std::to_string(b);
                    l.ends = {{Part(c, b - 1), "bone_1", 1}, {o.id, "bone_1", 0}};
                    links.push_back(l);
                }
            }
        rig.doc = &scene;
        rig.links = &links;
        rig.CaptureRest();
    }
    static std::string Part(int chain, int bone) {
        return "object_" + std::to_string(chain + 1) + "__bone_" + std::to_string(bone + 1);
    }
    // One drag event on the last part's tail; true when IK moved the chain.
    bool Step() {
        t += 0.05f;
        const PointF target{float(50 + 40 * std::cos(t)), float(500 + 40 * std::sin(t))};
        rig.MoveJoint({Part(0, 4), "bone_1", 1}, target);
        rig.SatisfyLinks();
        return rig.SolveChainIK(Part(0, 4), target);
    }
};

// One drag event of a joint: move, links, IK.
void JointDragStep(benchmark::State& state) {
    DragRig drag;
    int solved = 0;
    for (auto _ : state) solved += drag.Step();
    state.counters["solved"] = benchmark::Counter(solved, benchmark::Counter::kAvgIterations);
}
BENCHMARK(JointDragStep)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A whole frame of a joint drag with the Select/Move Joint tool: the drag
// event (IK included), the plain draw of the parts, and the selected bone's
// overlay, which the drag changes, planned, rasterised afresh and drawn.
void JointDragFrame(benchmark::State& state) {
    ThreadScope threads(state);
    PartsView v(float(state.range(0)));
    DragRig drag;
    int solved = 0;
    for (auto _ : state) {
        solved += drag.Step();
        v.DrawParts();
        PlannedBone pb = PlanBone(0, int(drag.t * 20) % 5, v.zoom);
        ByteMaskRect mask;
        if (!pb.plan.empty) {
            BoneShape::RasterizeMask(pb.plan.scaled, pb.plan.box, mask);
            v.DrawMask(pb, pb.plan.box, pb.plan.scale, mask);
        }
        v.Finish();
        benchmark::DoNotOptimize(v.surface.pixels);
    }
    state.counters["solved"] = benchmark::Counter(solved, benchmark::Counter::kAvgIterations);
}
BENCHMARK(JointDragFrame)->Apply(FrameArgs);

// The posed preview re-rendered at 1024 x 1024 (as when a pose is committed
// or the object is enlarged): the 20 parts of the drag rig, each a 100 x 100
// picture, drawn into the render and encoded as PNG.
void PosedPreviewRender(benchmark::State& state) {
    ThreadScope threads(state);
    DragRig drag;
    for (CanvasObject& o : drag.scene.layers.front().objects) {
        BitmapPtr b = Bitmap::Create(100, 100);
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x) b->SetPixel(x, y, 0xFF000000u | uint32_t(x * 2) << 16 | uint32_t(y * 2) << 8 | 0x40);
        ImagePart part;
        part.id = "image_1";
        part.decoded = b;
        part.decodeTried = true;
        part.pixelWidth = part.displayWidth = 100;
        part.pixelHeight = part.displayHeight = 100;
        o.parts.push_back(std::move(part));
        o.rotation = float(o.x) * 0.05f;
    }
    for (auto _ : state) {
        PosePreviewImage image;
        SceneRect bounds;
        if (!RenderPosedScene(drag.scene, image, bounds, 1024, 1024)) state.SkipWithError("render failed");
        benchmark::DoNotOptimize(image.png.data());
    }
}
BENCHMARK(PosedPreviewRender)->ArgsProduct({{1024}, {1, 2, 0}})->ArgNames({"side", "threads"})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
