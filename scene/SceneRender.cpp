#include "scene/SceneRender.h"

#include "scene/CanvasDocument.h"
#include "scene/ObjectGeometry.h"
#include "scene/RenderCacheHolds.h"

#include <algorithm>
#include <cmath>
#include <utility>

std::vector<Drawable> CompositeRenderer::CollectDrawables(CanvasDocument& scene) {
    std::vector<Layer*> layers;
    for (Layer& layer : scene.layers)
        if (layer.visible) layers.push_back(&layer);
    std::stable_sort(layers.begin(), layers.end(), [](const Layer* a, const Layer* b) { return a->order < b->order; });
    std::vector<Drawable> out;
    for (Layer* layer : layers) {
        const size_t first = out.size();
        for (CanvasObject& o : layer->objects)
            if (o.visible) out.push_back({&o, layer->order});
        std::stable_sort(out.begin() + std::ptrdiff_t(first), out.end(),
                         [](const Drawable& a, const Drawable& b) { return a.object->z < b.object->z; });
    }
    return out;
}

namespace {

// The canvas colour over the whole surface, source-over.
void FillCanvasColour(CompositeRenderer& r, CompositeSurface& surface, const CanvasDocument& scene) {
    r.target = RasterTarget::Of(surface);
    r.world = Affine{};
    FillOptions fill;
    fill.compositing = Compositing::SourceOver;
    FillRect(r.target, RectF{0, 0, float(surface.width), float(surface.height)}, scene.canvasColour, fill);
}

// The clip base of drawable i: the nearest earlier drawable, across layers,
// that is not clipped itself; null for an unclipped object or when none.
CanvasObject* ClipBaseOf(const std::vector<Drawable>& list, size_t i) {
    if (!list[i].object->clipToLayerBelow) return nullptr;
    for (size_t k = i; k-- > 0;)
        if (!list[k].object->clipToLayerBelow) return list[k].object;
    return nullptr;
}

}  // namespace

void CompositeRenderer::RenderForSession(CompositeSurface& surface, CanvasDocument& scene, ScenePaintSession* session) {
    if (!surface.pixels || surface.width <= 0 || surface.height <= 0) return;
    FillCanvasColour(*this, surface, scene);

    const std::vector<Drawable> list = CollectDrawables(scene);
    for (size_t i = 0; i < list.size(); ++i) {
        CanvasObject& o = *list[i].object;
        CanvasObject* base = ClipBaseOf(list, i);
        if (session && session->IsActive() && session->HidesObject(o.id)) continue;
        if (session && session->IsActive() && session->PaintedObjectId() == o.id) {
            const int sw = session->CanvasWidth(), sh = session->CanvasHeight();
            if (sw > 0 && sh > 0) session->DrawLayer(*this, surface, o, 0, 0, float(sw), float(sh), false);
            continue;
        }
        DrawObject(surface, o, base);
    }
}

bool sceneRender(CompositeSurface& surface, CanvasDocument& scene, ScenePaintSession* session, std::string* error) {
    CompositeRenderer renderer(surface);
    renderer.RenderForSession(surface, scene, session);
    if (error) *error = renderer.failure;
    return renderer.failure.empty();
}

namespace {

bool Fail(std::string* error, std::string text) {
    if (error) *error = std::move(text);
    return false;
}

// True when the object's turned rectangle reaches into the W x H output.
bool Touches(const CanvasObject& o, int W, int H) {
    const double theta = double(DegreesToRadians(o.rotation));
    const double w = o.width, h = o.height;
    const RotatedBox box = RotatedRectBox(o.x, o.y, w, h, double(o.x) + w / 2, double(o.y) + h / 2, std::cos(theta),
                                          std::sin(theta));
    return box.IsFinite() && box.maxX > 0 && box.maxY > 0 && box.minX < W && box.minY < H;
}

// Premultiplied to straight in place or into another buffer of the same
// size: c' = round(c x 255 / a), at most 255.
void StraightenRows(const CompositeSurface& surface, const ComposeOutput& out) {
#pragma omp parallel for schedule(static)
    for (int y = 0; y < surface.height; ++y) {
        const uint8_t* s = surface.Row(y);
        uint8_t* d = out.pixels + size_t(y) * size_t(out.rowPitch);
        for (int x = 0; x < surface.width; ++x, s += 4, d += 4) {
            const uint32_t a = s[3];
            if (a == 255) {
                if (d != s) std::copy(s, s + 4, d);
                continue;
            }
            if (a == 0) {
                d[0] = d[1] = d[2] = d[3] = 0;
                continue;
            }
            for (int c = 0; c < 3; ++c) d[c] = uint8_t(std::min<uint32_t>(255, (s[c] * 255u + a / 2) / a));
            d[3] = uint8_t(a);
        }
    }
}

}  // namespace

bool RenderSceneImage(CanvasDocument& scene, const ComposeOutput& out, std::string* error) {
    if (!out.pixels || out.width <= 0 || out.height <= 0 || out.rowPitch < int64_t(out.width) * 4)
        return Fail(error, "There is no image to compose into.");
    if (!BitmapSizeAllowed(out.width, out.height))
        return Fail(error, "The image of " + std::to_string(out.width) + " x " + std::to_string(out.height) +
                               " pixels is too large to compose.");
    CompositeSurface surface;
    if (out.rowPitch == int64_t(out.width) * 4) {
        surface.Attach(out.pixels, out.width, out.height);
        surface.Clear(0);
    } else if (!surface.Create(out.width, out.height)) {
        return Fail(error, "Not enough memory to compose the image.");
    }
    CompositeRenderer renderer(surface);
    FillCanvasColour(renderer, surface, scene);

    const std::vector<Drawable> list = CompositeRenderer::CollectDrawables(scene);
    CacheHolds holds;
    for (size_t i = 0; i < list.size(); ++i) {
        CanvasObject& o = *list[i].object;
        CanvasObject* base = ClipBaseOf(list, i);
        if (!(o.opacity > 0) || (o.clipToLayerBelow && !base)) continue;
        holds.Keep(&o, base);
        // An object whose image cannot be made is left out by the display;
        // a file must not be written without it. One that lies wholly off
        // the output adds nothing either way.
        if (!o.GetBaseBitmap()) {
            if (Touches(o, out.width, out.height)) return Fail(error, ObjectRenderFailure(o));
            continue;
        }
        if (base && !base->GetBaseBitmap()) {
            if (Touches(o, out.width, out.height)) return Fail(error, ObjectRenderFailure(*base));
            continue;
        }
        renderer.DrawObject(surface, o, base);
        // Drawn incomplete (its warp, mask plane or blend layer could not be made).
        if (!renderer.failure.empty()) return Fail(error, renderer.failure);
    }
    holds.ReleaseAll();
    StraightenRows(surface, out);
    if (error) error->clear();
    return true;
}
