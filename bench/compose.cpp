// The two scene compositors on a 4096 x 4096 scene of several large objects
// (one turned, one Multiply, one at 70 % opacity, a light cone in Screen),
// beside a plain OpenCV reference that alpha-blends the same object images,
// unrotated, into the same canvas rectangles. BM_SceneCompose over
// BM_SceneRender is the software compositor's cost against the live one.
//
// The export (RenderSceneImage: the live compositor's picture as straight
// alpha, what Export as PNG writes) on a 4096 x 4096 scene with filters and
// warps, beside the live compositor on the same scene: BM_ExportFiltered over
// BM_SceneRenderFiltered, with the caches the display has built (as an export
// from the editor finds them), and both from cold caches (every image,
// warp and filter result rebuilt) as the Cold pair.
#include "filters/EffectRegistry.h"
#include "platform/Codecs.h"
#include "platform/CompositeSurface.h"
#include "scene/CanvasDocument.h"
#include "scene/SceneCompose.h"
#include "scene/SceneRender.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <vector>

namespace {

constexpr int kCanvas = 4096;

BitmapPtr Pattern(int w, int h, uint32_t seed) {
    BitmapPtr b = Bitmap::Create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t a = ((x + y) & 255) < 200 ? 255u : uint32_t((x * 7 + y) & 255);
            b->SetPixel(x, y, a << 24 | ((x + seed) & 255) << 16 | ((y * 3 + seed) & 255) << 8 | ((x ^ y) & 255));
        }
    return b;
}

CanvasObject ObjectFrom(const std::string& id, const BitmapPtr& b, float x, float y, int32_t z) {
    CanvasObject o;
    o.id = id;
    o.x = x;
    o.y = y;
    o.width = float(b->Width());
    o.height = float(b->Height());
    o.z = z;
    ImagePart p;
    p.id = "image_1";
    EncodePng(*b, p.encoded);
    p.pixelWidth = p.displayWidth = o.width;
    p.pixelHeight = p.displayHeight = o.height;
    o.parts.push_back(std::move(p));
    return o;
}

struct BenchScene {
    CanvasDocument scene;
    std::vector<BitmapPtr> images;  // object images, for the reference
    std::vector<cv::Rect> rects;
    std::vector<float> opacity;

    BenchScene() {
        scene.width = scene.height = kCanvas;
        scene.canvasColour = 0xFFFFFFFF;
        scene.layers.clear();
        Layer layer;
        layer.id = "layer_1";
        layer.order = 1;
        const struct {
            int x, y, w, h;
            float rotation, opacity;
            uint8_t mode;
        } placements[] = {{200, 200, 2400, 2400, 0, 1.0f, 0},
                          {1500, 900, 2000, 1800, 30, 1.0f, 0},
                          {600, 2200, 2600, 1600, 0, 1.0f, 4},
                          {2300, 300, 1600, 3000, 0, 0.7f, 0}};
        int32_t z = 0;
        for (const auto& s : placements) {
            BitmapPtr b = Pattern(s.w, s.h, uint32_t(z * 40));
            CanvasObject o = ObjectFrom("object_" + std::to_string(z + 1), b, float(s.x), float(s.y), z);
            o.rotation = s.rotation;
            o.opacity = s.opacity;
            o.blendMode = s.mode;
            layer.objects.push_back(std::move(o));
            images.push_back(b);
            rects.emplace_back(s.x, s.y, s.w, s.h);
            opacity.push_back(s.opacity);
            ++z;
        }
        CanvasObject light;
        light.id = "object_9";
        light.kind = kObjectLightCone;
        light.x = 1000;
        light.y = 1000;
        light.width = light.height = 2048;
        light.blendMode = 10;  // Screen
        light.lightCone.height = 900;
        light.z = z;
        layer.objects.push_back(light);
        scene.layers.push_back(std::move(layer));
        for (CanvasObject& o : scene.layers[0].objects)
            if (o.kind == kObjectLightCone) {
                BitmapPtr lb = o.GetLightConeBitmap();
                images.push_back(lb);
                rects.emplace_back(1000, 1000, 2048, 2048);
                opacity.push_back(1.0f);
            }
    }
};

BenchScene& Scene() {
    static BenchScene s;
    return s;
}

// Large objects with a drop shadow, a bevel, a colour filter, an inner glow,
// two warps, a turn, Multiply and a translucent object.
struct FilteredScene {
    CanvasDocument scene;

    FilteredScene() {
        scene.width = scene.height = kCanvas;
        scene.canvasColour = 0xFFFFFFFF;
        scene.layers.clear();
        Layer layer;
        layer.id = "layer_1";
        layer.order = 1;
        struct Placement {
            int x, y, w, h;
            float rotation, opacity;
            uint8_t mode, effect;
            Quad warp;
        };
        const Quad identity;
        const Placement placements[] = {
            {200, 200, 2400, 2400, 0, 1.0f, 0, kEffectDropShadow, identity},
            {1500, 900, 2000, 1800, 30, 1.0f, 0, kEffectOuterBevel, Quad{0.05f, 0, 1.1f, 0.1f, 1, 0.95f, -0.05f, 1.05f}},
            {600, 2200, 2600, 1600, 0, 1.0f, 4, kEffectHueSaturation, identity},
            {2300, 300, 1600, 3000, 0, 0.7f, 0, kEffectInnerGlow, Quad{0, 0.1f, 1, 0, 0.9f, 1, 0.1f, 0.9f}}};
        int32_t z = 0;
        for (const Placement& s : placements) {
            CanvasObject o = ObjectFrom("object_" + std::to_string(z + 1), Pattern(s.w, s.h, uint32_t(z * 40)),
                                        float(s.x), float(s.y), z);
            o.rotation = s.rotation;
            o.opacity = s.opacity;
            o.blendMode = s.mode;
            o.warp = s.warp;
            EffectInstance e = MakeEffectInstance(s.effect);
            if (auto* hs = e.params.Get<HueSaturationParams>()) hs->hue = 60;
            o.effects.push_back(std::move(e));
            layer.objects.push_back(std::move(o));
            ++z;
        }
        scene.layers.push_back(std::move(layer));
    }

    void DropCaches() {
        for (CanvasObject& o : scene.layers[0].objects) {
            o.caches = ObjectRenderCaches{};
            for (ImagePart& p : o.parts) {
                p.decoded.reset();
                p.argb.reset();
                p.decodeTried = p.argbValid = false;
            }
        }
    }
};

FilteredScene& Filtered() {
    static FilteredScene s;
    return s;
}

// The object images come from the render caches the display has built, as
// they do for an export from the editor; the compositor keeps caches that
// were there before it.
template <bool Reference> void ComposeRuns(benchmark::State& state) {
    BenchScene& s = Scene();
    {
        CompositeSurface surface;
        surface.Create(kCanvas, kCanvas);
        sceneRender(surface, s.scene, nullptr);
    }
    std::vector<CanvasObject*> list;
    for (const Drawable& d : CompositeRenderer::CollectDrawables(s.scene)) list.push_back(d.object);
    std::vector<uint8_t> out(size_t(kCanvas) * kCanvas * 4);
    const ComposeOutput o{out.data(), kCanvas, kCanvas, int64_t(kCanvas) * 4};
    for (auto _ : state) {
        const bool ok = Reference ? SceneComposeLayersReference(list, s.scene.canvasColour, 0, 0, o)
                                  : SceneComposeLayers(list, s.scene.canvasColour, 0, 0, o);
        if (!ok) state.SkipWithError("composition failed");
        benchmark::DoNotOptimize(out.data());
    }
}

// scene_compose's vector rows, beside the plain per-pixel form they match
// byte for byte (the Scalar reference) and the live compositor below.
void BM_SceneCompose(benchmark::State& state) { ComposeRuns<false>(state); }
void BM_SceneComposeScalar(benchmark::State& state) { ComposeRuns<true>(state); }

void BM_SceneRender(benchmark::State& state) {
    BenchScene& s = Scene();
    CompositeSurface surface;
    surface.Create(kCanvas, kCanvas);
    sceneRender(surface, s.scene, nullptr);  // fill the caches once, as a static scene redraws
    for (auto _ : state) {
        sceneRender(surface, s.scene, nullptr);
        benchmark::DoNotOptimize(surface.pixels);
    }
}

// The export into a canvas-sized bitmap; Cold drops every cache first.
template <bool Cold> void ExportRuns(benchmark::State& state) {
    FilteredScene& s = Filtered();
    CompositeSurface surface;
    surface.Create(kCanvas, kCanvas);
    sceneRender(surface, s.scene, nullptr);  // the display has drawn the scene
    surface.Release();
    const BitmapPtr image = Bitmap::Create(kCanvas, kCanvas);
    const ComposeOutput o{image->Data(), kCanvas, kCanvas, image->Stride()};
    for (auto _ : state) {
        if (Cold) s.DropCaches();
        if (!RenderSceneImage(s.scene, o)) state.SkipWithError("export failed");
        benchmark::DoNotOptimize(image->Data());
    }
}

// Reference: the live compositor redrawing the same scene; Cold drops every cache first.
template <bool Cold> void LiveRuns(benchmark::State& state) {
    FilteredScene& s = Filtered();
    CompositeSurface surface;
    surface.Create(kCanvas, kCanvas);
    sceneRender(surface, s.scene, nullptr);
    for (auto _ : state) {
        if (Cold) s.DropCaches();
        sceneRender(surface, s.scene, nullptr);
        benchmark::DoNotOptimize(surface.pixels);
    }
}

void BM_ExportFiltered(benchmark::State& state) { ExportRuns<false>(state); }
void BM_SceneRenderFiltered(benchmark::State& state) { LiveRuns<false>(state); }
void BM_ExportFilteredCold(benchmark::State& state) { ExportRuns<true>(state); }
void BM_SceneRenderFilteredCold(benchmark::State& state) { LiveRuns<true>(state); }

// Reference: per object, cv::blendLinear of its BGR pixels over the canvas
// rectangle with per-pixel weights alpha x opacity (weights prepared once).
void BM_ReferenceOpenCvBlend(benchmark::State& state) {
    BenchScene& s = Scene();
    std::vector<cv::Mat> bgr, w, wInv;
    for (size_t i = 0; i < s.images.size(); ++i) {
        const Bitmap& b = *s.images[i];
        cv::Mat bgra(b.Height(), b.Width(), CV_8UC4, const_cast<uint8_t*>(b.Data()), size_t(b.Stride()));
        cv::Mat planes[4];
        cv::split(bgra, planes);
        cv::Mat m;
        cv::merge(planes, 3, m);
        bgr.push_back(m);
        cv::Mat a;
        planes[3].convertTo(a, CV_32F, s.opacity[i] / 255.0);
        w.push_back(a);
        wInv.push_back(1.0 - a);
    }
    cv::Mat canvas(kCanvas, kCanvas, CV_8UC3);
    for (auto _ : state) {
        canvas.setTo(cv::Scalar(255, 255, 255));
        for (size_t i = 0; i < bgr.size(); ++i) {
            cv::Mat roi = canvas(s.rects[i] & cv::Rect(0, 0, kCanvas, kCanvas));
            const cv::Rect local(0, 0, roi.cols, roi.rows);
            cv::blendLinear(bgr[i](local), roi, w[i](local), wInv[i](local), roi);
        }
        benchmark::DoNotOptimize(canvas.data);
    }
}

}  // namespace

BENCHMARK(BM_SceneCompose)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SceneComposeScalar)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SceneRender)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReferenceOpenCvBlend)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportFiltered)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SceneRenderFiltered)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportFilteredCold)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SceneRenderFilteredCold)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK_MAIN();
