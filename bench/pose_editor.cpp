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
#include "platform/CompositeSurface.h"
#include "platform/Raster.h"
#include "posable/BoneShape.h"
#include "posable/RuntimeRig.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int kViewW = 1600, kViewH = 1000;
// The overlay tint as 0xAARRGGBB (alpha 96 over a light red).
constexpr uint32_t kTint = 0x60FF6060u;

BoneShapeParams ViewParams(int bone, float zoom) {
    // Five bones per part along a diagonal, in view pixels from the head.
    const double s = 1024 * zoom, len = s / 5;
    BoneShapeParams p;
    p.tailX = len * 0.8;
    p.tailY = len * 0.6;
    p.halfWidth = s * 0.25 / 2 / 5;
    p.headCapLength = p.tailCapLength = len * 0.12;
    p.headCapHalfWidth = p.tailCapHalfWidth = p.halfWidth;
    p.feather = std::min(std::max(s * 0.01, 1.0), 254.0);
    (void)bone;
    return p;
}

void OverlayFrame(benchmark::State& state) {
    const float zoom = float(state.range(0));
    for (auto _ : state) {
        for (int part = 0; part < 4; ++part)
            for (int b = 0; b < 5; ++b) {
                const BoneShapeParams p = ViewParams(b, zoom);
                // The head's view position; the view rasterises only what
                // meets the viewport, as planned by PlanOverlay.
                const double hx = (part % 2) * 512 * zoom + b * 80 * zoom, hy = (part / 2) * 512 * zoom + b * 60 * zoom;
                const BoneShape::OverlayPlan plan = BoneShape::PlanOverlay(p, -hx, -hy, kViewW - hx, kViewH - hy);
                if (plan.empty) continue;
                ByteMaskRect mask;
                BoneShape::RasterizeMask(plan.scaled, plan.box, mask);
                benchmark::DoNotOptimize(mask.bytes.data());
            }
    }
}
BENCHMARK(OverlayFrame)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);

void PlainPartsFrame(benchmark::State& state) {
    const float zoom = float(state.range(0));
    BitmapPtr part = Bitmap::Create(1024, 1024);
    for (int y = 0; y < 1024; ++y)
        for (int x = 0; x < 1024; ++x) part->SetPixel(x, y, 0xFF000000u | uint32_t(x * 7 + y));
    CompositeSurface surface;
    surface.Create(kViewW, kViewH);
    const RasterTarget target = RasterTarget::Of(surface);
    ImageDrawOptions opt;
    for (auto _ : state) {
        for (int i = 0; i < 4; ++i)
            DrawBitmapRect(target, *part,
                           RectF{(i % 2) * 512 * zoom, (i / 2) * 512 * zoom, 1024 * zoom, 1024 * zoom}, opt);
        benchmark::DoNotOptimize(surface.pixels);
    }
}
BENCHMARK(PlainPartsFrame)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);

// A whole frame with overlays shown: the plain draw above, then every bone's
// overlay planned, rasterised and drawn magnified over the parts, with no
// cache (as while scrolling or zooming). Compare with PlainPartsFrame.
void PartsAndOverlaysFrame(benchmark::State& state) {
    const float zoom = float(state.range(0));
    BitmapPtr part = Bitmap::Create(1024, 1024);
    for (int y = 0; y < 1024; ++y)
        for (int x = 0; x < 1024; ++x) part->SetPixel(x, y, 0xFF000000u | uint32_t(x * 7 + y));
    CompositeSurface surface;
    surface.Create(kViewW, kViewH);
    const RasterTarget target = RasterTarget::Of(surface);
    ImageDrawOptions opt;
    const RectF clip{0, 0, float(kViewW), float(kViewH)};
    for (auto _ : state) {
        for (int i = 0; i < 4; ++i)
            DrawBitmapRect(target, *part,
                           RectF{(i % 2) * 512 * zoom, (i / 2) * 512 * zoom, 1024 * zoom, 1024 * zoom}, opt);
        // As the view does: a part's bones are planned, their masks made
        // side by side, then drawn in order.
        for (int i = 0; i < 4; ++i) {
            BoneShape::OverlayPlan plans[5];
            ByteMaskRect masks[5];
            for (int b = 0; b < 5; ++b) {
                const double hx = (i % 2) * 512 * zoom + b * 80 * zoom, hy = (i / 2) * 512 * zoom + b * 60 * zoom;
                plans[b] = BoneShape::PlanOverlay(ViewParams(b, zoom), -hx, -hy, kViewW - hx, kViewH - hy);
            }
#pragma omp parallel for schedule(dynamic, 1)
            for (int b = 0; b < 5; ++b)
                if (!plans[b].empty) BoneShape::RasterizeMask(plans[b].scaled, plans[b].box, masks[b]);
            for (int b = 0; b < 5; ++b) {
                if (plans[b].empty) continue;
                const double hx = (i % 2) * 512 * zoom + b * 80 * zoom, hy = (i / 2) * 512 * zoom + b * 60 * zoom;
                const float k = float(plans[b].scale);
                DrawTintMask(target, {masks[b].bytes.data(), masks[b].width, masks[b].height, masks[b].width},
                             float(hx + plans[b].box.left * k), float(hy + plans[b].box.top * k), k, kTint, &clip);
            }
        }
        benchmark::DoNotOptimize(surface.pixels);
    }
}
BENCHMARK(PartsAndOverlaysFrame)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);

// The same frame repainted with a warm overlay cache, as the view runs it
// when nothing the overlays depend on changed (a hover, a timer tick, the
// brush cursor moving): every bone is still planned, to compare its key with
// the cached mask's, but none is rasterised; the cached masks are only drawn
// over the parts. Compare with PlainPartsFrame.
void PartsAndCachedOverlaysFrame(benchmark::State& state) {
    const float zoom = float(state.range(0));
    BitmapPtr part = Bitmap::Create(1024, 1024);
    for (int y = 0; y < 1024; ++y)
        for (int x = 0; x < 1024; ++x) part->SetPixel(x, y, 0xFF000000u | uint32_t(x * 7 + y));
    CompositeSurface surface;
    surface.Create(kViewW, kViewH);
    const RasterTarget target = RasterTarget::Of(surface);
    ImageDrawOptions opt;
    const RectF clip{0, 0, float(kViewW), float(kViewH)};
    struct Cached {
        BoneShapeBox box;
        int scale = 1;
        ByteMaskRect mask;
    };
    std::vector<Cached> cache(20);
    for (int i = 0; i < 4; ++i)
        for (int b = 0; b < 5; ++b) {
            const BoneShapeParams p = ViewParams(b, zoom);
            const double hx = (i % 2) * 512 * zoom + b * 80 * zoom, hy = (i / 2) * 512 * zoom + b * 60 * zoom;
            const BoneShape::OverlayPlan plan = BoneShape::PlanOverlay(p, -hx, -hy, kViewW - hx, kViewH - hy);
            if (plan.empty) continue;
            Cached& c = cache[size_t(i * 5 + b)];
            c.box = plan.box;
            c.scale = plan.scale;
            BoneShape::RasterizeMask(plan.scaled, plan.box, c.mask);
        }
    int misses = 0;
    for (auto _ : state) {
        for (int i = 0; i < 4; ++i)
            DrawBitmapRect(target, *part,
                           RectF{(i % 2) * 512 * zoom, (i / 2) * 512 * zoom, 1024 * zoom, 1024 * zoom}, opt);
        for (int i = 0; i < 4; ++i)
            for (int b = 0; b < 5; ++b) {
                const BoneShapeParams p = ViewParams(b, zoom);
                const double hx = (i % 2) * 512 * zoom + b * 80 * zoom, hy = (i / 2) * 512 * zoom + b * 60 * zoom;
                const BoneShape::OverlayPlan plan = BoneShape::PlanOverlay(p, -hx, -hy, kViewW - hx, kViewH - hy);
                if (plan.empty) continue;
                Cached& c = cache[size_t(i * 5 + b)];
                if (c.mask.bytes.empty() || c.scale != plan.scale || c.box.left != plan.box.left ||
                    c.box.top != plan.box.top || c.box.width != plan.box.width || c.box.height != plan.box.height) {
                    ++misses;  // never on a repaint that changed nothing
                    c.box = plan.box;
                    c.scale = plan.scale;
                    BoneShape::RasterizeMask(plan.scaled, plan.box, c.mask);
                }
                const float k = float(c.scale);
                DrawTintMask(target, {c.mask.bytes.data(), c.mask.width, c.mask.height, c.mask.width},
                             float(hx + c.box.left * k), float(hy + c.box.top * k), k, kTint, &clip);
            }
        benchmark::DoNotOptimize(surface.pixels);
    }
    state.counters["misses"] = misses;
}
BENCHMARK(PartsAndCachedOverlaysFrame)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);

// The magnified overlay draw alone, one full-viewport mask at zoom 8, fast
// path beside the per-pixel reference.
void TintMaskDraw(benchmark::State& state) {
    const bool reference = state.range(0) != 0;
    const BoneShapeParams p = ViewParams(0, 8);
    const BoneShape::OverlayPlan plan = BoneShape::PlanOverlay(p, -400, -300, kViewW - 400, kViewH - 300);
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
BENCHMARK(TintMaskDraw)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// As below, with the overlays as RGBA rasters drawn by the general bilinear
// bitmap draw.
// A whole frame with overlays shown: the plain draw above, then every bone's
// overlay planned, rasterised and drawn magnified over the parts, with no
// cache (as while scrolling or zooming). Compare with PlainPartsFrame.
void PartsAndOverlaysFrameRgba(benchmark::State& state) {
    const float zoom = float(state.range(0));
    BitmapPtr part = Bitmap::Create(1024, 1024);
    for (int y = 0; y < 1024; ++y)
        for (int x = 0; x < 1024; ++x) part->SetPixel(x, y, 0xFF000000u | uint32_t(x * 7 + y));
    CompositeSurface surface;
    surface.Create(kViewW, kViewH);
    const RasterTarget target = RasterTarget::Of(surface);
    ImageDrawOptions opt;
    ImageDrawOptions overlay;
    overlay.interpolation = Interpolation::Bilinear;
    const uint8_t rgba[4] = {255, 96, 96, 96};
    for (auto _ : state) {
        for (int i = 0; i < 4; ++i)
            DrawBitmapRect(target, *part,
                           RectF{(i % 2) * 512 * zoom, (i / 2) * 512 * zoom, 1024 * zoom, 1024 * zoom}, opt);
        for (int i = 0; i < 4; ++i)
            for (int b = 0; b < 5; ++b) {
                const BoneShapeParams p = ViewParams(b, zoom);
                const double hx = (i % 2) * 512 * zoom + b * 80 * zoom, hy = (i / 2) * 512 * zoom + b * 60 * zoom;
                const BoneShape::OverlayPlan plan = BoneShape::PlanOverlay(p, -hx, -hy, kViewW - hx, kViewH - hy);
                if (plan.empty) continue;
                const BitmapPtr raster = BoneShape::Rasterize(plan.scaled, plan.box, rgba);
                const float k = float(plan.scale);
                DrawBitmapRect(target, *raster,
                               RectF{float(hx + plan.box.left * k), float(hy + plan.box.top * k),
                                     raster->Width() * k, raster->Height() * k},
                               overlay);
            }
        benchmark::DoNotOptimize(surface.pixels);
    }
}
BENCHMARK(PartsAndOverlaysFrameRgba)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);

// The same frame repainted with a warm overlay cache, as the view runs it
// when nothing the overlays depend on changed (a hover, a timer tick, the
// brush cursor moving): every bone is still planned, to compare its key with
// the cached raster's, but none is rasterised; the cached rasters are only
// drawn over the parts. Compare with PlainPartsFrame.
void PartsAndCachedOverlaysFrameRgba(benchmark::State& state) {
    const float zoom = float(state.range(0));
    BitmapPtr part = Bitmap::Create(1024, 1024);
    for (int y = 0; y < 1024; ++y)
        for (int x = 0; x < 1024; ++x) part->SetPixel(x, y, 0xFF000000u | uint32_t(x * 7 + y));
    CompositeSurface surface;
    surface.Create(kViewW, kViewH);
    const RasterTarget target = RasterTarget::Of(surface);
    ImageDrawOptions opt;
    ImageDrawOptions overlay;
    overlay.interpolation = Interpolation::Bilinear;
    const uint8_t rgba[4] = {255, 96, 96, 96};
    // The cache as the first frame leaves it: one raster per bone on screen,
    // with the box and scale it was planned for.
    struct Cached {
        BoneShapeBox box;
        int scale = 1;
        BitmapPtr raster;
    };
    std::vector<Cached> cache(20);
    for (int i = 0; i < 4; ++i)
        for (int b = 0; b < 5; ++b) {
            const BoneShapeParams p = ViewParams(b, zoom);
            const double hx = (i % 2) * 512 * zoom + b * 80 * zoom, hy = (i / 2) * 512 * zoom + b * 60 * zoom;
            const BoneShape::OverlayPlan plan = BoneShape::PlanOverlay(p, -hx, -hy, kViewW - hx, kViewH - hy);
            if (!plan.empty)
                cache[size_t(i * 5 + b)] = {plan.box, plan.scale, BoneShape::Rasterize(plan.scaled, plan.box, rgba)};
        }
    int misses = 0;
    for (auto _ : state) {
        for (int i = 0; i < 4; ++i)
            DrawBitmapRect(target, *part,
                           RectF{(i % 2) * 512 * zoom, (i / 2) * 512 * zoom, 1024 * zoom, 1024 * zoom}, opt);
        for (int i = 0; i < 4; ++i)
            for (int b = 0; b < 5; ++b) {
                const BoneShapeParams p = ViewParams(b, zoom);
                const double hx = (i % 2) * 512 * zoom + b * 80 * zoom, hy = (i / 2) * 512 * zoom + b * 60 * zoom;
                const BoneShape::OverlayPlan plan = BoneShape::PlanOverlay(p, -hx, -hy, kViewW - hx, kViewH - hy);
                if (plan.empty) continue;
                Cached& c = cache[size_t(i * 5 + b)];
                if (!c.raster || c.scale != plan.scale || c.box.left != plan.box.left || c.box.top != plan.box.top ||
                    c.box.width != plan.box.width || c.box.height != plan.box.height) {
                    ++misses;  // never on a repaint that changed nothing
                    c = {plan.box, plan.scale, BoneShape::Rasterize(plan.scaled, plan.box, rgba)};
                }
                const float k = float(c.scale);
                DrawBitmapRect(target, *c.raster,
                               RectF{float(hx + c.box.left * k), float(hy + c.box.top * k),
                                     c.raster->Width() * k, c.raster->Height() * k},
                               overlay);
            }
        benchmark::DoNotOptimize(surface.pixels);
    }
    state.counters["misses"] = misses;
}
BENCHMARK(PartsAndCachedOverlaysFrameRgba)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);

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
BENCHMARK(JointDragStep)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
