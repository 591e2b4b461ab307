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
    const Layer* layer = nullptr;
    const CanvasObject* primary = n == 1 ? FindById(*scene, scene->primarySelectedId, &layer) : nullptr;
    if (!hint.empty()) {
        t.left = hint;
    } else if (primary) {
        if (!layer->name.empty()) t.left = std::string("1 ") + KindWord(primary->kind) + " on " + layer->name;
        else t.left = std::string("1 ") + KindWord(primary->kind);
    } else if (n > 1) {
        std::snprintf(buf, sizeof buf, "%d objects", int(n));
        t.left = buf;
    }
    if (scene->width > 0 && scene->height > 0) {
        std::snprintf(buf, sizeof buf, "Canvas: %.0f x %.0f", double(scene->width), double(scene->height));
        t.right = buf;
    }
    if (primary) {
        std::snprintf(buf, sizeof buf, "   Pos: %.0f, %.0f", double(primary->x), double(primary->y));
        t.right += buf;
    }
    return t;
}
