// Fresh object ids, copy names, and putting finished objects into the scene
// in use as one undo step each.
#include "document/CQuillfenEditorDoc.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace {

std::unordered_set<std::string> ObjectNames(const CanvasDocument& scene) {
    std::unordered_set<std::string> names;
    for (const Layer& layer : scene.layers)
        for (const CanvasObject& o : layer.objects) names.insert(o.name);
    return names;
}

}  // namespace

std::string CQuillfenEditorDoc::MakeUniqueObjectId() const { return SceneInUse().MakeObjectId(); }

std::string CQuillfenEditorDoc::MakeCopyName(const std::string& name) const {
    const std::string base = name.empty() ? std::string("Object") : name;
    const std::unordered_set<std::string> names = ObjectNames(SceneInUse());
    std::string candidate = base + " copy";
    if (!names.count(candidate)) return candidate;
    for (int n = 2; n <= 99999; ++n) {
        candidate = base + " copy " + std::to_string(n);
        if (!names.count(candidate)) return candidate;
    }
    return candidate;  // all taken: the last one, although in use
}

bool CQuillfenEditorDoc::InsertObject(CanvasObject object) {
    CanvasDocument& scene = SceneInUse();
    if (scene.activeLayerId.empty()) return false;
    Layer* layer = scene.FindLayer(scene.activeLayerId);
    if (!layer || layer->locked || scene.FindObject(object.id)) return false;

    return RecordEdit(
        kUndoObjectAdded,
        [&](UndoStep& step) {
            int32_t z = 0;
            if (!layer->objects.empty()) {
                int32_t top = layer->objects.front().z;
                for (const CanvasObject& o : layer->objects) top = std::max(top, o.z);
                z = top + 1;
            }
            object.z = z;
            const std::string layerId = layer->id;
            if (!scene.AddObjectToLayer(*layer, object)) return false;

            scene.selectedIds.clear();
            scene.selectedMaskObjectId.clear();
            scene.primarySelectedId = object.id;
            scene.selectedIds.push_back(object.id);

            step.layerId = layerId;
            step.objectId = object.id;
            if (const CanvasObject* added = scene.FindObject(object.id)) step.objectA = *added;
            return true;
        },
        {.selection = StoredSelection::ActiveAndPrimary});
}

bool CQuillfenEditorDoc::InsertFlattenedBitmap(std::vector<uint8_t> encoded, float width, float height,
                                               const std::string& nameBase) {
    // Written as !(x > 0) so that NaN sizes are refused too.
    if (encoded.empty() || !(width > 0) || !(height > 0)) return false;
    CanvasDocument& scene = SceneInUse();

    CanvasObject object;
    object.id = MakeUniqueObjectId();
    object.name = MakeCopyName(nameBase);
    object.x = std::round((scene.width - width) * 0.5f);
    object.y = std::round((scene.height - height) * 0.5f);
    object.width = std::max(std::round(width), 1.0f);
    object.height = std::max(std::round(height), 1.0f);

    ImagePart part;
    part.id = "image_1";
    part.name = object.name;
    part.source = object.name;
    part.encoded = std::move(encoded);
    part.pixelWidth = width;
    part.pixelHeight = height;
    part.offsetX = 0;
    part.offsetY = 0;
    part.displayWidth = width;
    part.displayHeight = height;

    UndoPair& pair = UndoPairInUse();
    const size_t stepsBefore = pair.undo.size();
    // Kept aside so that a failed insertion leaves the history as it was.
    std::vector<UndoStep> redo;
    redo.swap(pair.redo);
    if (!InsertObject(object)) {
        pair.redo.swap(redo);
        return false;
    }
    const bool recorded = pair.undo.size() > stepsBefore;

    const std::string newId = scene.primarySelectedId;
    if (!scene.AddImagePart(newId, part)) {
        scene.DeleteObject(newId);
        // The insertion is gone again: so is its step, or Redo would bring
        // back an object without its picture.
        if (recorded) pair.undo.pop_back();
        pair.redo.swap(redo);
        UpdateAllViews();
        return false;
    }
    // Redo must restore the object with its picture.
    if (recorded)
        if (const CanvasObject* added = scene.FindObject(newId)) pair.undo.back().objectA = *added;
    return true;
}
