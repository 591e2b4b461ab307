#include "scene/SceneRender.h"

#include "scene/CanvasDocument.h"

#include <algorithm>

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

void CompositeRenderer::RenderForSession(CompositeSurface& surface, CanvasDocument& scene, ScenePaintSession* session) {
    if (!surface.pixels || surface.width <= 0 || surface.height <= 0) return;
    target = RasterTarget::Of(surface);
    world = Affine{};
    FillOptions fill;
    fill.compositing = Compositing::SourceOver;
    FillRect(target, RectF{0, 0, float(surface.width), float(surface.height)}, scene.canvasColour, fill);

    const std::vector<Drawable> list = CollectDrawables(scene);
    for (size_t i = 0; i < list.size(); ++i) {
        CanvasObject& o = *list[i].object;
        CanvasObject* base = nullptr;
        if (o.clipToLayerBelow) {
            for (size_t k = i; k-- > 0;) {
                if (!list[k].object->clipToLayerBelow) {
                    base = list[k].object;
                    break;
                }
            }
        }
        if (session && session->IsActive() && session->HidesObject(o.id)) continue;
        if (session && session->IsActive() && session->PaintedObjectId() == o.id) {
            const int sw = session->CanvasWidth(), sh = session->CanvasHeight();
            if (sw > 0 && sh > 0) session->DrawLayer(*this, surface, o, 0, 0, float(sw), float(sh), false);
            continue;
        }
        DrawObject(surface, o, base);
    }
}

void sceneRender(CompositeSurface& surface, CanvasDocument& scene, ScenePaintSession* session) {
    CompositeRenderer renderer(surface);
    renderer.RenderForSession(surface, scene, session);
}
