#include "app/StatusText.h"

#include "scene/CanvasDocument.h"

#include <cstdio>

namespace {
const char* KindWord(uint8_t kind) {
    switch (kind) {
    case kObjectBitmap: return "Bitmap";
    case kObjectPosable: return "Posable";
    case kObjectLightCone: return "Light";
    default: return "Object";
    }
}

const CanvasObject* FindById(const CanvasDocument& scene, const std::string& id, const Layer** layerOut) {
    for (const Layer& layer : scene.layers)
        for (const CanvasObject& o : layer.objects)
            if (o.id == id) {
                if (layerOut) *layerOut = &layer;
                return &o;
            }
    return nullptr;
}
}  // namespace

StatusTexts ComposeStatusTexts(const CanvasDocument* scene, const std::string& hint) {
    StatusTexts t;
    if (!scene) return t;
    char buf[512];
    const size_t n = scene->selectedIds.size();
    if (!hint.empty()) {
        t.left = hint;
    } else if (n == 1) {
        const Layer* layer = nullptr;
        if (const CanvasObject* o = FindById(*scene, scene->primarySelectedId, &layer)) {
            if (!layer->name.empty()) t.left = std::string("1 ") + KindWord(o->kind) + " on " + layer->name;
            else t.left = std::string("1 ") + KindWord(o->kind);
        }
    } else if (n > 1) {
        std::snprintf(buf, sizeof buf, "%d objects", int(n));
        t.left = buf;
    }
    if (scene->width > 0 && scene->height > 0) {
        std::snprintf(buf, sizeof buf, "Canvas: %.0f x %.0f", double(scene->width), double(scene->height));
        t.right = buf;
    }
    if (n == 1)
        if (const CanvasObject* o = FindById(*scene, scene->primarySelectedId, nullptr)) {
            std::snprintf(buf, sizeof buf, "   Pos: %.0f, %.0f", double(o->x), double(o->y));
            t.right += buf;
        }
    return t;
}
