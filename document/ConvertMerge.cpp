// Modify > Convert to Bitmap: one posable object or light cone becomes a
// bitmap object in place (its base image baked into one image part), or
// several objects are merged into one new bitmap object. One undo step each.
#include "document/CQuillfenEditorDoc.h"

#include "document/ClipboardFormats.h"
#include "platform/Prompts.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

namespace {

// A pixel side from a float size: halves away from zero, at least 1 (NaN 1).
int WholeSide(float v) {
    const float r = std::round(v);
    if (!(r >= 1)) return 1;
    return r < float(kMaxBitmapSide) ? int(r) : kMaxBitmapSide + 1;  // too large: refused by Bitmap::Create
}

bool Contains(const std::vector<std::string>& ids, const std::string& id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

ImagePart SinglePart(const std::string& name, std::vector<uint8_t>&& png, int w, int h) {
    ImagePart part;
    part.id = "image_1";
    part.name = name;
    part.source = name;
    part.encoded = std::move(png);
    part.pixelWidth = part.displayWidth = float(w);
    part.pixelHeight = part.displayHeight = float(h);
    return part;
}

const char* const kDiscardNote = "Type-specific data (bones, light parameters, posable skeleton) will be discarded.";

}  // namespace

bool CQuillfenEditorDoc::CanConvertToBitmap() const {
    const CanvasDocument& scene = SceneInUse();
    const size_t n = scene.selectedIds.size();
    if (n == 0) return false;
    if (n == 1) {
        const CanvasObject* o = scene.FindObject(scene.primarySelectedId);
        return o && o->kind != kObjectBitmap && !o->locked;
    }
    int usable = 0;
    for (const std::string& id : scene.selectedIds)
        if (const CanvasObject* o = scene.FindObject(id); o && o->visible && !o->locked) ++usable;
    return usable >= 2;
}

void CQuillfenEditorDoc::OnModifyConvertToBitmap() {
    CanvasDocument& scene = SceneInUse();
    const size_t n = scene.selectedIds.size();
    if (n == 0) return;
    Prompts* prompts = GetPrompts();
    if (n == 1) {
        const CanvasObject* o = scene.FindObject(scene.primarySelectedId);
        if (!o || o->kind == kObjectBitmap || o->locked) return;
        const std::string text = "Convert \"" + o->name + "\" to Bitmap?\n\n" + kDiscardNote;
        const std::string id = o->id;
        if (prompts && prompts->AskYesNo(text, PromptIcon::Exclamation)) ConvertObjectForEffect(id);
        return;
    }
    const std::string text = "Merge " + std::to_string(n) +
                             " selected objects into a single Bitmap?\n\nThe originals will be removed. " +
                             kDiscardNote;
    if (prompts && prompts->AskYesNo(text, PromptIcon::Exclamation)) {
        // What is painted on one of them goes into the merge.
        if (!CommitPaintSession()) return;
        const std::vector<std::string> ids = scene.selectedIds;
        MergeObjectsToBitmap(ids);
    }
}

bool CQuillfenEditorDoc::ConvertObjectForEffect(const std::string& objectId) {
    if (objectId.empty()) return false;
    CanvasObject* object = mainScene.FindObject(objectId);
    if (!object) return false;
    if (object->kind == kObjectBitmap) return true;

    BitmapPtr base = object->kind == kObjectLightCone ? object->GetLightConeBitmap() : object->ComposeBitmap();
    if (!base) return false;
    const int W = WholeSide(object->width), H = WholeSide(object->height);
    BitmapPtr baked = Bitmap::Create(W, H);
    if (!baked) return false;
    // The base image is rendered at this very size; copy what overlaps.
    const int cw = std::min(W, base->Width()), ch = std::min(H, base->Height());
    for (int y = 0; y < ch; ++y) std::memcpy(baked->Row(y), base->Row(y), size_t(cw) * 4);
    std::vector<uint8_t> png;
    if (!SaveImageToPngBytes(*baked, png)) return false;

    RecordEdit(
        kUndoWholeObject,
        [&](UndoStep& step) {
            step.objectId = objectId;
            step.objectA = *object;

            object->kind = kObjectBitmap;
            object->parts.clear();
            object->parts.push_back(SinglePart(object->name, std::move(png), W, H));
            object->bones.clear();
            object->hasPosableScene = false;
            object->posableScene = PosableScene{};
            object->hasPose = false;
            object->partPoses.clear();
            object->lightCone = LightConeParams{};
            object->width = float(W);
            object->height = float(H);
            object->rotation = 0;
            object->x = std::round(object->x);
            object->y = std::round(object->y);
            object->ClearMask();
            object->InvalidateCaches();
            step.objectB = *object;
        },
        {.mainScene = true});
    return true;
}

bool CQuillfenEditorDoc::MergeObjectsToBitmap(const std::vector<std::string>& ids) {
    if (ids.size() < 2) return false;
    CanvasDocument& scene = SceneInUse();

    std::vector<CanvasObject*> merged;
    std::vector<UndoObjectEntry> removed;
    std::string targetLayerId;
    for (Layer& layer : scene.layers) {
        if (layer.locked) continue;
        std::vector<size_t> order(layer.objects.size());
        std::iota(order.begin(), order.end(), size_t(0));
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return layer.objects[a].z < layer.objects[b].z; });
        for (size_t i : order) {
            CanvasObject& o = layer.objects[i];
            if (!Contains(ids, o.id) || !o.visible || o.locked) continue;
            merged.push_back(&o);
            removed.push_back({layer.id, o});
            targetLayerId = layer.id;
        }
    }
    if (merged.size() < 2 || targetLayerId.empty()) return false;

    SceneRect first = GetRotatedBounds(*merged.front());
    float minX = first.x, minY = first.y, maxX = first.x + first.width, maxY = first.y + first.height;
    for (const CanvasObject* o : merged) {
        const SceneRect r = GetRotatedBounds(*o);
        minX = std::min(minX, r.x);
        minY = std::min(minY, r.y);
        maxX = std::max(maxX, r.x + r.width);
        maxY = std::max(maxY, r.y + r.height);
    }
    // A merge that cannot make the whole picture says so and changes nothing.
    auto fail = [this](const std::string& text) {
        if (Prompts* prompts = GetPrompts()) prompts->Fail(text);
        return false;
    };
    const float spanX = std::ceil(maxX - minX), spanY = std::ceil(maxY - minY);
    if (!(spanX < float(kMaxBitmapSide) + 1) || !(spanY < float(kMaxBitmapSide) + 1))
        return fail("The merged bitmap would be too large.");
    const int W = std::max(1, int(spanX)), H = std::max(1, int(spanY));
    if (!BitmapSizeAllowed(W, H)) return fail("The merged bitmap would be too large.");
    BitmapPtr canvas = Bitmap::Create(W, H);
    if (!canvas) return fail("Not enough memory to merge the objects.");
    const RasterTarget target = RasterTarget::Of(*canvas);
    for (CanvasObject* o : merged) {
        // The drawing below leaves out an object whose image cannot be made.
        if (!o->ComposeBitmap())
            return fail("Could not merge the objects: \"" + (o->name.empty() ? o->id : o->name) +
                        "\" could not be rendered.");
        DrawImageTransformed(target, *o, -minX, -minY, Interpolation::Bicubic);
    }
    std::vector<uint8_t> png;
    if (!SaveImageToPngBytes(*canvas, png)) return fail("Could not encode the merged bitmap.");

    CanvasObject fresh;
    fresh.id = MakeUniqueObjectId();
    fresh.name = merged.back()->name;
    fresh.kind = kObjectBitmap;
    fresh.x = std::round(minX);
    fresh.y = std::round(minY);
    fresh.width = float(W);
    fresh.height = float(H);
    int32_t topZ = 0;
    bool any = false;
    if (Layer* layer = scene.FindLayer(targetLayerId))
        for (const CanvasObject& o : layer->objects)
            if (std::none_of(merged.begin(), merged.end(), [&](const CanvasObject* m) { return m == &o; })) {
                topZ = any ? std::max(topZ, o.z) : o.z;
                any = true;
            }
    fresh.z = any ? topZ + 1 : 1;
    fresh.parts.push_back(SinglePart(fresh.name, std::move(png), W, H));
    merged.clear();  // the pointers die with the deletions below

    return RecordEdit(kUndoObjectsMerged, [&](UndoStep& step) {
        for (const UndoObjectEntry& e : removed) scene.DeleteObject(e.object.id);
        Layer* layer = scene.FindLayer(targetLayerId);
        if (scene.FindObject(fresh.id) || !layer) {
            for (const UndoObjectEntry& e : removed)
                if (Layer* home = scene.FindLayer(e.layerId)) scene.AddObjectToLayer(*home, e.object);
            return false;
        }
        layer->objects.push_back(fresh);
        layer->NormalizeZ();

        scene.primarySelectedId.clear();
        scene.selectedIds.clear();
        scene.selectedMaskObjectId.clear();
        scene.selectedIds.push_back(fresh.id);
        scene.primarySelectedId = fresh.id;

        step.layerId = targetLayerId;
        step.objectId = fresh.id;
        if (const CanvasObject* added = scene.FindObject(fresh.id)) step.objectA = *added;
        step.objectEntries = std::move(removed);
        return true;
    });
}
