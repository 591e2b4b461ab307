#include "canvas_view/StackingLookup.h"

#include "scene/CanvasDocument.h"

SelectedObjectInLayer FindSelectedObjectInLayer(const CanvasDocument* scene) {
    SelectedObjectInLayer r;
    if (!scene || scene->primarySelectedId.empty()) return r;
    for (const Layer& layer : scene->layers)
        for (size_t i = 0; i < layer.objects.size(); ++i)
            if (layer.objects[i].id == scene->primarySelectedId) {
                r.layerId = layer.id;
                r.index = int(i);
                r.count = int(layer.objects.size());
                r.found = true;
                return r;
            }
    return r;
}
